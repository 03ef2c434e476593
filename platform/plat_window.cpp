// The window on SDL2: registered classes, the one window, process handles, and the
// translation of SDL events into window messages (and device items) during the pump.
//
// Sections: process, classes, the window, translation, test hooks.

#include "platform/plat_window.h"

#include <SDL.h>

#include <cstring>
#include <unistd.h>

#include "platform/dinput8.h"
#include "platform/plat_core.h"

// ---- process ----

DWORD GetModuleFileNameA(HMODULE module, char* path, DWORD size)
{
    if (!path || size == 0)
        return 0;
    ssize_t n = readlink("/proc/self/exe", path, size - 1);
    if (n < 0)
        n = 0;
    path[n] = 0;
    return (DWORD)n;
}

// Tokens: nothing here is ever dereferenced, they only need to be distinct and non-null.
static char module_token, process_token, duplicate_token;
static bool fail_duplicate;

HMODULE GetModuleHandleA(const char* name) { return name ? nullptr : &module_token; }

HANDLE GetCurrentProcess(void) { return &process_token; }

BOOL DuplicateHandle(HANDLE source_process, HANDLE source, HANDLE target_process, HANDLE* target,
                     DWORD access, BOOL inherit, DWORD options)
{
    if (!target)
        return FALSE;
    if (fail_duplicate) {
        fail_duplicate = false;
        *target = nullptr;
        return FALSE;
    }
    *target = &duplicate_token;
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) { return handle ? TRUE : FALSE; }

// The process handle is never signalled while the program runs: every wait times out.
DWORD WaitForSingleObject(HANDLE handle, DWORD ms)
{
    Sleep(ms);
    return WAIT_TIMEOUT;
}

HWND FindWindowA(const char* class_name, const char* title) { return nullptr; }

// Icons and cursors are not loaded: the window keeps SDL's defaults and the HUD draws
// its own pointer.
HICON LoadIconA(HINSTANCE module, const char* name) { return nullptr; }
HCURSOR LoadCursorA(HINSTANCE module, const char* name) { return nullptr; }
HGDIOBJ GetStockObject(int object) { return nullptr; }

// ---- classes ----

enum { CLASS_MAX = 4, CLASS_NAME_MAX = 64 };

struct window_class {
    char name[CLASS_NAME_MAX];
    WNDCLASSEXA wc;
};

static window_class classes[CLASS_MAX];

static window_class* class_find(const char* name)
{
    if (!name)
        return nullptr;
    for (window_class& c : classes)
        if (c.name[0] && strcmp(c.name, name) == 0)
            return &c;
    return nullptr;
}

ATOM RegisterClassExA(const WNDCLASSEXA* wc)
{
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpszClassName || !wc->lpszClassName[0] ||
        strlen(wc->lpszClassName) >= CLASS_NAME_MAX || class_find(wc->lpszClassName))
        return 0;
    for (int i = 0; i < CLASS_MAX; i++) {
        if (!classes[i].name[0]) {
            strcpy(classes[i].name, wc->lpszClassName);
            classes[i].wc = *wc;
            classes[i].wc.lpszClassName = classes[i].name;
            return (ATOM)(0xC000 + i);
        }
    }
    return 0;
}

BOOL UnregisterClassA(const char* class_name, HINSTANCE module)
{
    window_class* c = class_find(class_name);
    if (!c)
        return FALSE;
    memset(c, 0, sizeof(*c));
    return TRUE;
}

BOOL plat_window_class_registered(const char* class_name) { return class_find(class_name) != nullptr; }

// ---- the window ----

struct plat_window {
    SDL_Window* sdl;
    Uint32 id;
    WNDPROC proc;
};

static plat_window desktop;
static plat_window main_window;

HWND GetDesktopWindow(void) { return &desktop; }

static bool is_main(HWND w) { return w == &main_window && main_window.sdl; }

void plat_window_gl_attributes(void)
{
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
}

HWND CreateWindowExA(DWORD ex_style, const char* class_name, const char* title, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE module, void* param)
{
    window_class* c = class_find(class_name);
    if (!c || main_window.sdl)
        return nullptr;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return nullptr;
    // The GL library stays loaded for the whole run, not just while a window exists.
    static bool gl_loaded;
    if (!gl_loaded)
        gl_loaded = SDL_GL_LoadLibrary(nullptr) == 0;
    plat_window_gl_attributes();
    SDL_Window* w = SDL_CreateWindow(title ? title : "", x, y, width, height,
                                     SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
    if (!w)
        return nullptr;
    main_window.sdl = w;
    main_window.id = SDL_GetWindowID(w);
    main_window.proc = c->wc.lpfnWndProc;
    SDL_StartTextInput();
    return &main_window;
}

BOOL DestroyWindow(HWND window)
{
    if (!is_main(window))
        return FALSE;
    SDL_StopTextInput();
    SDL_DestroyWindow(main_window.sdl);
    memset(&main_window, 0, sizeof(main_window));
    // SDL's video stays up (initialising it again is a count): unloading the GL drivers
    // while the process runs gains nothing.
    return TRUE;
}

// Showing activates the window, as it does on Windows, so the devices may be acquired.
BOOL ShowWindow(HWND window, int show)
{
    if (!is_main(window))
        return FALSE;
    bool was_visible = SDL_GetWindowFlags(main_window.sdl) & SDL_WINDOW_SHOWN;
    SDL_ShowWindow(main_window.sdl);
    if (show == SW_MAXIMIZE)
        SDL_MaximizeWindow(main_window.sdl);
    plat_di8_set_foreground(TRUE);
    return was_visible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window) { return is_main(window) ? TRUE : FALSE; }

HWND GetForegroundWindow(void) { return main_window.sdl && plat_di8_foreground() ? &main_window : nullptr; }

BOOL SetForegroundWindow(HWND window)
{
    if (!is_main(window) || !main_window.sdl)
        return FALSE;
    SDL_RaiseWindow(main_window.sdl);
    return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) { return window ? TRUE : FALSE; }

LRESULT DefWindowProcA(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) { return 0; }

SDL_Window* plat_window_sdl(HWND window) { return is_main(window) ? main_window.sdl : nullptr; }

WNDPROC plat_window_proc(HWND window) { return is_main(window) ? main_window.proc : nullptr; }

WNDPROC plat_window_wndproc(HWND window) { return plat_window_proc(window); }

// ---- translation ----

UINT plat_window_vk_from_keycode(int k)
{
    if (k >= SDLK_a && k <= SDLK_z)
        return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9)
        return (UINT)k;
    if (k >= SDLK_F1 && k <= SDLK_F12)
        return VK_F1 + (k - SDLK_F1);
    if (k >= SDLK_KP_1 && k <= SDLK_KP_9)
        return VK_NUMPAD0 + 1 + (k - SDLK_KP_1);
    switch (k) {
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_RETURN: case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_CAPSLOCK: return VK_CAPITAL;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_PRINTSCREEN: return VK_SNAPSHOT;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_LGUI: return VK_LWIN;
    case SDLK_RGUI: return VK_RWIN;
    case SDLK_APPLICATION: return VK_APPS;
    case SDLK_KP_0: return VK_NUMPAD0;
    case SDLK_KP_MULTIPLY: return VK_MULTIPLY;
    case SDLK_KP_PLUS: return VK_ADD;
    case SDLK_KP_MINUS: return VK_SUBTRACT;
    case SDLK_KP_PERIOD: return VK_DECIMAL;
    case SDLK_KP_DIVIDE: return VK_DIVIDE;
    case SDLK_NUMLOCKCLEAR: return VK_NUMLOCK;
    case SDLK_SCROLLLOCK: return VK_SCROLL;
    case SDLK_SEMICOLON: return VK_OEM_1;
    case SDLK_EQUALS: return VK_OEM_PLUS;
    case SDLK_COMMA: return VK_OEM_COMMA;
    case SDLK_MINUS: return VK_OEM_MINUS;
    case SDLK_PERIOD: return VK_OEM_PERIOD;
    case SDLK_SLASH: return VK_OEM_2;
    case SDLK_BACKQUOTE: return VK_OEM_3;
    case SDLK_LEFTBRACKET: return VK_OEM_4;
    case SDLK_BACKSLASH: return VK_OEM_5;
    case SDLK_RIGHTBRACKET: return VK_OEM_6;
    case SDLK_QUOTE: return VK_OEM_7;
    default: return 0;
    }
}

static int put(MSG* out, int n, int max, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (n >= max)
        return n;
    memset(&out[n], 0, sizeof(MSG));
    out[n].hwnd = &main_window;
    out[n].message = message;
    out[n].wParam = wparam;
    out[n].lParam = lparam;
    return n + 1;
}

// Two 16-bit halves, as Windows packs sizes and positions.
static LPARAM pack(int low, int high) { return (LPARAM)(DWORD)(((DWORD)low & 0xFFFF) | (((DWORD)high & 0xFFFF) << 16)); }

static LPARAM client_size(void)
{
    int w = 0, h = 0;
    SDL_GetWindowSize(main_window.sdl, &w, &h);
    return pack(w, h);
}

static int translate_window(const SDL_WindowEvent* e, MSG* out, int max)
{
    if (e->windowID != main_window.id)
        return 0;
    switch (e->event) {
    case SDL_WINDOWEVENT_CLOSE:
        return put(out, 0, max, WM_DESTROY, 0, 0);
    case SDL_WINDOWEVENT_MINIMIZED:
        return put(out, 0, max, WM_SIZE, SIZE_MINIMIZED, 0);
    case SDL_WINDOWEVENT_MAXIMIZED:
        return put(out, 0, max, WM_SIZE, SIZE_MAXIMIZED, client_size());
    case SDL_WINDOWEVENT_RESTORED:
        return put(out, 0, max, WM_SIZE, SIZE_RESTORED, client_size());
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        Uint32 flags = SDL_GetWindowFlags(main_window.sdl);
        WPARAM kind = (flags & SDL_WINDOW_MINIMIZED) ? SIZE_MINIMIZED
                      : (flags & SDL_WINDOW_MAXIMIZED) ? SIZE_MAXIMIZED : SIZE_RESTORED;
        return put(out, 0, max, WM_SIZE, kind, pack(e->data1, e->data2));
    }
    case SDL_WINDOWEVENT_EXPOSED:
        return put(out, 0, max, WM_PAINT, 0, 0);
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        plat_di8_set_foreground(TRUE);
        return 0;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        plat_di8_set_foreground(FALSE);
        return 0;
    default:
        return 0;
    }
}

// Key-downs, repeats included. Return also gives the character 13, which SDL's text
// input never carries.
static int translate_key(const SDL_KeyboardEvent* e, MSG* out, int max)
{
    UINT vk = plat_window_vk_from_keycode(e->keysym.sym);
    if (!vk)
        return 0;
    LPARAM info = (LPARAM)(1 | ((DWORD)(plat_di8_dik_from_scancode(e->keysym.scancode) & 0x7F) << 16) |
                           (e->repeat ? 1u << 30 : 0));
    int n = put(out, 0, max, WM_KEYDOWN, vk, info);
    if (vk == VK_RETURN)
        n = put(out, n, max, WM_CHAR, 13, info);
    return n;
}

// One character message per ASCII byte; other characters have no place in the console.
static int translate_text(const SDL_TextInputEvent* e, MSG* out, int max)
{
    int n = 0;
    for (const char* c = e->text; (size_t)(c - e->text) < sizeof(e->text) && *c; c++)
        if ((unsigned char)*c < 128)
            n = put(out, n, max, WM_CHAR, (WPARAM)(unsigned char)*c, 1);
    return n;
}

static int translate_motion(const SDL_MouseMotionEvent* e, MSG* out, int max)
{
    WPARAM keys = 0;
    if (e->state & SDL_BUTTON_LMASK)
        keys |= MK_LBUTTON;
    if (e->state & SDL_BUTTON_RMASK)
        keys |= MK_RBUTTON;
    if (e->state & SDL_BUTTON_MMASK)
        keys |= MK_MBUTTON;
    return put(out, 0, max, WM_MOUSEMOVE, keys, pack(e->x, e->y));
}

int plat_window_translate(const SDL_Event* ev, MSG* out, int max)
{
    plat_di8_feed(ev);
    if (!main_window.sdl || max <= 0)
        return 0;
    switch (ev->type) {
    case SDL_WINDOWEVENT:
        return translate_window(&ev->window, out, max);
    case SDL_KEYDOWN:
        return translate_key(&ev->key, out, max);
    case SDL_TEXTINPUT:
        return translate_text(&ev->text, out, max);
    case SDL_MOUSEMOTION:
        return translate_motion(&ev->motion, out, max);
    default:
        return 0;
    }
}

// ---- test hooks ----

void plat_window_fail_next_duplicate(void) { fail_duplicate = true; }
