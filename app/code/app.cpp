// The application object: start-up of the window and of every subsystem after the Lua
// environment in a fixed order, shut-down in the reverse order, the window procedure and
// the frame pacing.

#include "app/code/app.h"

#include <IL/il.h>
#include <IL/ilu.h>

#include <cstring>

#include "app/code/con.h"
#include "app/code/di_input.h"
#include "app/code/hud/hud.h"
#include "app/code/journal.h"
#include "app/code/opt.h"
#include "app/code/sfx/sfx.h"
#include "engine/code/dbg.h"
#include "engine/code/files.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/devil.h"
#include "engine/code/gfx/gfx.h"
#include "platform/plat_core.h"

app APP;

#define APP_TITLE "http://dorvale.invalid/ - Time control enabled."

// Every image is delivered top row first, saving replaces files, and loads favour speed.
static void image_setup(void)
{
    ilInit();
    iluInit();
    ilEnable(IL_FILE_OVERWRITE);
    ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
    ilEnable(IL_ORIGIN_SET);
    ilHint(IL_MEM_SPEED_HINT, IL_FASTEST);
    ilHint(IL_COMPRESSION_HINT, IL_USE_COMPRESSION);
    devil_library_ready(true);
}

static bool real_files_setup(void) { return files_setup(&FILES); }
static bool real_journals_setup(void) { return journals_setup(&JOURNALS); }
static bool real_di_input_setup(HWND window) { return di_input_setup(&DI_INPUT, window); }
static bool real_gfx_setup(void) { return gfx_setup(&GFX); }
static bool real_sfx_setup(void) { return sfx_setup(&SFX); }
static bool real_con_postsetup(void) { return con_postsetup(&CON); }
static bool real_gfx_begin_scene(void) { return gfx_begin_scene(&GFX); }
static void real_gfx_end_scene(void) { gfx_end_scene(&GFX); }
static bool real_hud_setup(void) { return hud_setup(&HUD, &GFX); }
static void real_con_close(void) { con_close(&CON); }
static void real_hud_clean(void) { hud_clean(&HUD); }
static void real_sfx_clean(void) { sfx_clean(&SFX); }
static void real_gfx_clean(void) { gfx_clean(&GFX); }
static void real_di_input_clean(void) { di_input_clean(&DI_INPUT); }
static void real_journals_clean(void) { journals_clean(&JOURNALS); }
static void real_files_clean(void) { files_clean(&FILES); }
static void real_dbg_key(uint32_t vk) { d3d_dbg_key(&D3D_DBG, vk); }
static void real_dbg_char(uint32_t c) { d3d_dbg_char(&D3D_DBG, c); }
static void real_set_pointer(int32_t x, int32_t y) { hud_set_pointer(&HUD, x, y); }

const app_hooks app_hooks_real = {
    image_setup,          real_files_setup,   real_journals_setup, real_di_input_setup,
    real_gfx_setup,       real_sfx_setup,     real_con_postsetup,  real_gfx_begin_scene,
    real_gfx_end_scene,   real_hud_setup,     real_con_close,      real_hud_clean,
    real_sfx_clean,       real_gfx_clean,     real_di_input_clean, real_journals_clean,
    real_files_clean,     real_dbg_key,       real_dbg_char,       real_set_pointer,
};

static const app_hooks* hooks = &app_hooks_real;

void app_set_hooks(const app_hooks* h) { hooks = h ? h : &app_hooks_real; }

static bool setup_failed(app* a, const char* message)
{
    dbg_error("%s", message);
    app_clean(a);
    return false;
}

static void register_class(app* a)
{
    memset(&a->wc, 0, sizeof(a->wc));
    a->wc.cbSize = sizeof(WNDCLASSEXA);
    a->wc.style = CS_CLASSDC;
    a->wc.lpfnWndProc = app_wndproc;
    a->wc.hInstance = a->module;
    a->wc.hIcon = LoadIconA(a->module, MAKEINTRESOURCEA(102));
    a->wc.hCursor = LoadCursorA(a->module, MAKEINTRESOURCEA(101));
    a->wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    a->wc.lpszClassName = APP_CLASS_NAME;
    RegisterClassExA(&a->wc);
}

// A failing class or window is not detected here: the graphics set-up then fails.
bool app_setup(app* a)
{
    const app_hooks* h = hooks;
    GetModuleFileNameA(nullptr, a->path, sizeof(a->path));
    a->console_window = FindWindowA("ConsoleWindowClass", a->path);
    HANDLE self = GetCurrentProcess();
    if (!DuplicateHandle(self, self, self, &a->process, 0, TRUE, DUPLICATE_SAME_ACCESS))
        return setup_failed(a, "Couldn't get handle on current process,\n");

    a->module = GetModuleHandleA(nullptr);
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&counter);
    a->frequency = counter.QuadPart;
    a->frame_period = 33;
    QueryPerformanceCounter(&counter);
    a->last_frame = counter.QuadPart;

    register_class(a);
    a->window = CreateWindowExA(0, APP_CLASS_NAME, APP_TITLE, WS_OVERLAPPEDWINDOW, 16, 16, 800, 600,
                                GetDesktopWindow(), nullptr, a->module, nullptr);
    ShowWindow(a->window, SW_SHOWDEFAULT);
    UpdateWindow(a->window);

    h->image_setup();
    if (!h->files_setup())
        return setup_failed(a, "FILES subsystem failed to initialize,\n");
    if (!h->journals_setup())
        return setup_failed(a, "JOURNALS subsystem failed to initialize,\n");
    if (!h->di_input_setup(a->window))
        return setup_failed(a, "DI_INPUT subsystem failed to initialize,\n");
    if (!h->gfx_setup())
        return setup_failed(a, "GFX subsystem failed to initialize,\n");
    if (!h->sfx_setup())
        dbg_error("SFX subsystem failed to initialize,\n"); // the program runs without sound
    if (!h->con_postsetup())
        return setup_failed(a, "CON subsystem failed to postinitialize,\n");

    ShowWindow(a->window, OPT.window_startup == OPT_MAXIMISED ? SW_MAXIMIZE : SW_SHOWDEFAULT);
    UpdateWindow(a->window);

    // One empty frame; the end runs whatever the begin gave.
    h->gfx_begin_scene();
    h->gfx_end_scene();

    if (!h->hud_setup())
        return setup_failed(a, "HUD subsystem failed to initialize,\n");
    return true;
}

// The Lua environment closes first, while everything its scripts' objects refer to still
// exists. The window goes before its class, as a class with a window cannot be removed.
void app_clean(app* a)
{
    const app_hooks* h = hooks;
    h->con_close();
    h->hud_clean();
    h->sfx_clean();
    h->gfx_clean();
    h->di_input_clean();
    h->journals_clean();
    h->files_clean();
    if (a->window) {
        DestroyWindow(a->window);
        a->window = nullptr;
    }
    UnregisterClassA(APP_CLASS_NAME, a->module);
    if (a->process) {
        CloseHandle(a->process);
        a->process = nullptr;
    }
}

bool app_reset(app* a)
{
    app_clean(a);
    return app_setup(a);
}

// A frame that took longer than the period does not wait; the next period counts from the
// end of this call, not from the planned frame start. Each wait lasts at least 1 ms, so
// after frame_period of them the period has passed whatever the counter says: a counter
// that stands still, steps back or runs at another rate than `frequency` claims cannot hold
// the frame (and with it the message pump) for ever.
void app_wait_frame(app* a)
{
    int64_t period = (int64_t)a->frame_period * a->frequency / 1000;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    for (int32_t waits = 0; now.QuadPart - a->last_frame < period && waits < a->frame_period; waits++) {
        WaitForSingleObject(a->process, 1);
        QueryPerformanceCounter(&now);
    }
    a->last_frame = now.QuadPart;
}

// Runs only inside the frame loop's message pump, so what it changes takes effect in the
// next frame. Mouse positions are signed: while a button is held the pointer is still
// reported left of or above the window.
LRESULT app_wndproc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam)
{
    const app_hooks* h = hooks;
    switch (msg) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        if (wparam != SIZE_MINIMIZED)
            GFX.d3d_gfx.resize_flag = 1;
        break;
    case WM_PAINT:
        ValidateRect(window, nullptr);
        return 0;
    case WM_KEYDOWN:
        if (wparam == VK_ESCAPE) {
            if (HUD.master_menu)
                HUD.displayed_menu = HUD.displayed_menu ? nullptr : HUD.master_menu;
        } else if (OPT.show_debug) {
            h->dbg_key((uint32_t)wparam);
        }
        break;
    case WM_CHAR:
        if (OPT.show_debug)
            h->dbg_char((uint32_t)wparam);
        break;
    case WM_MOUSEMOVE:
        h->set_pointer(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
        break;
    default:
        break;
    }
    return DefWindowProcA(window, msg, wparam, lparam);
}
