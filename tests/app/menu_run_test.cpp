// The program end to end on a staged game folder: start-up reaches the menu, a mouse click
// on a button works through the window layer, the input devices and the input script,
// Escape brings up the pause menu inside another state, and Quit or SIGTERM end the run
// with the options written. The mouse and keys are fed as SDL events by a driver that the
// message pump asks once a frame.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/code/entry.h"
#include "app/code/hud/hud.h"
#include "app/code/main_state.h"
#include "app/code/menu.h"
#include "platform/plat_msg.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8.h"
#include "tests/app/menu_fixture.h"
#include "tools/writer/wr_image.h"

namespace {

std::string read_text(const char* path)
{
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

bool exists(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0;
}

bool shown(int id)
{
    hudgizmo* g = menu_table[id].gizmo;
    return g && !(g->flags & HUDGIZMO_HIDDEN);
}

// The named button among the children of a panel.
hudgizmo* button_in(hudgizmo* panel, const char* name)
{
    for (list_node* n = list_first(&panel->children); n->next; n = n->next) {
        hudgizmo* g = (hudgizmo*)n;
        if (g->name && strcasecmp(g->name, name) == 0)
            return g;
    }
    return NULL;
}

// ---- the driver: one step per frame, each waiting for its condition ----

struct step {
    const char* what;
    bool (*ready)();                 // null: at once
    hudgizmo* (*target)();           // the button to click, or null
    SDL_Keycode key;                 // or the key to press
    void (*act)();                   // or something else to do
};

hudgizmo* options_button() { return button_in(menu_table[MENU_LayoutMain].gizmo, "MENU_Options"); }
hudgizmo* back_button() { return button_in(menu_table[MENU_LayoutOptions].gizmo, "MENU_MainMenu"); }
hudgizmo* pause_main_button() { return menu_table[MENU_MainMenu].gizmo; } // linked last: the pause menu's
hudgizmo* quit_button() { return button_in(menu_table[MENU_LayoutMain].gizmo, "MENU_Quit"); }

bool in_menu() { return main_state_curr == &main_state_menu && HUD.display_gizmo && shown(MENU_LayoutMain) && options_button()->w > 0; }
bool options_shown() { return shown(MENU_LayoutOptions) && !shown(MENU_LayoutMain); }
bool main_shown() { return shown(MENU_LayoutMain) && !shown(MENU_LayoutOptions); }
bool pause_shown() { return HUD.displayed_menu && HUD.displayed_menu == HUD.master_menu; }
bool pause_hidden() { return !HUD.displayed_menu; }
bool in_menu_alone() { return in_menu() && !HUD.displayed_menu; }
bool pause_laid_out() { return pause_shown() && menu_table[MENU_Restart].gizmo->w > 0; }

// A game state of the test's own: it runs the HUD as every game state does and, like
// them, takes the HUD's display and menu down in its clean.
bool probe_setup(gfx*) { return true; }
void probe_clean() { HUD.display_gizmo = NULL; HUD.displayed_menu = NULL; }
void probe_draw() { hud_draw(&HUD); }
const main_state_hooks probe_state = {probe_setup, NULL, probe_clean, NULL, probe_draw, NULL};
bool in_probe() { return main_state_curr == &probe_state; }
void enter_probe() { main_state_next = &probe_state; }

const step script[] = {
    {"menu shown", in_menu, options_button, 0, NULL},
    {"options layout after the click", options_shown, back_button, 0, NULL},
    {"main layout after Back", main_shown, NULL, 0, enter_probe},
    {"another state", in_probe, NULL, SDLK_ESCAPE, NULL},
    {"pause menu on Escape", pause_shown, NULL, SDLK_ESCAPE, NULL},
    {"pause menu gone on Escape", pause_hidden, NULL, SDLK_ESCAPE, NULL},
    {"pause menu back", pause_laid_out, pause_main_button, 0, NULL},
    {"menu again, without the pause menu", in_menu_alone, quit_button, 0, NULL},
};
const int script_steps = sizeof script / sizeof script[0];

int step_at;      // the step waited for
int click_phase;  // 0: move, 1: press, 2: release
int frames;       // pump calls, a guard against a stuck run
std::string stuck;

int emit(const SDL_Event& ev, MSG* out, int max) { return plat_window_translate(&ev, out, max); }

int mouse_move(hudgizmo* g, MSG* out, int max)
{
    SDL_Event ev;
    memset(&ev, 0, sizeof ev);
    ev.type = SDL_MOUSEMOTION;
    ev.motion.x = (int)(g->x + g->w * 0.5f);
    ev.motion.y = (int)(g->y + g->h * 0.5f);
    return emit(ev, out, max);
}

int mouse_button(bool down, MSG* out, int max)
{
    SDL_Event ev;
    memset(&ev, 0, sizeof ev);
    ev.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    ev.button.button = SDL_BUTTON_LEFT;
    ev.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    return emit(ev, out, max);
}

int key_press(SDL_Keycode key, MSG* out, int max)
{
    SDL_Event ev;
    memset(&ev, 0, sizeof ev);
    ev.type = SDL_KEYDOWN;
    ev.key.state = SDL_PRESSED;
    ev.key.keysym.sym = key;
    ev.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    int n = emit(ev, out, max);
    ev.type = SDL_KEYUP;
    ev.key.state = SDL_RELEASED;
    emit(ev, out + n, max - n);
    return n;
}

int driver(MSG* out, int max)
{
    // The real window events first (size, focus).
    int n = 0;
    SDL_PumpEvents();
    SDL_Event ev;
    while (n < max && SDL_PeepEvents(&ev, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0)
        if (ev.type != SDL_MOUSEMOTION && ev.type != SDL_MOUSEBUTTONDOWN && ev.type != SDL_MOUSEBUTTONUP)
            n += plat_window_translate(&ev, out + n, max - n);

    if (++frames > 2000) {
        stuck = step_at < script_steps ? script[step_at].what : "the quit";
        PostQuitMessage(0);
        return n;
    }
    if (step_at >= script_steps) {
        if (getenv("MENU_RUN_TRACE") && frames % 30 == 0)
            fprintf(stderr, "done: frame %d curr %p main %d displayed %p\n", frames, (void*)main_state_curr, shown(MENU_LayoutMain), (void*)HUD.displayed_menu);
        return n;
    }
    const step& s = script[step_at];
    if (getenv("MENU_RUN_TRACE") && frames % 30 == 0)
        fprintf(stderr, "frame %d step %d curr %p display %p main %d opt.w %g\n", frames, step_at, (void*)main_state_curr, (void*)HUD.display_gizmo, shown(MENU_LayoutMain), options_button() ? options_button()->w : -1.0f);
    if (click_phase == 0 && s.ready && !s.ready())
        return n;
    if (s.act) {
        s.act();
        step_at++;
        return n;
    }
    if (s.key) {
        n += key_press(s.key, out + n, max - n);
        step_at++;
        return n;
    }
    hudgizmo* g = s.target();
    if (!g) {
        stuck = std::string("no button after: ") + s.what;
        PostQuitMessage(0);
        return n;
    }
    if (click_phase == 0 && g->w <= 0) // not laid out yet
        return n;
    // Move, then press and release in later frames: each edge must reach the HUD in a
    // frame of its own.
    if (click_phase == 0)
        n += mouse_move(g, out + n, max - n);
    else
        n += mouse_button(click_phase == 1, out + n, max - n);
    if (++click_phase == 3) {
        click_phase = 0;
        step_at++;
    }
    return n;
}

struct MenuRun : testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(menu_fixture_stage());
        std::remove("local/lua/opts.lua");
    }
};

} // namespace

TEST_F(MenuRun, ClickThroughTheMenuEscapeInAnotherStateAndQuit)
{
    plat_set_msg_source(driver);
    int code = dorvale_main();
    plat_set_msg_source(NULL);
    EXPECT_EQ("", stuck);
    EXPECT_EQ(script_steps, step_at);
    EXPECT_EQ(0, code);
    EXPECT_TRUE(exists("local/lua/opts.lua"));
    EXPECT_EQ("", read_text("ERROR.TXT"));
}

TEST_F(MenuRun, MissingLogoStopsTheStartWithTheHookFailure)
{
    std::remove("data/logos/xox/qem.xox");
    EXPECT_EQ(MAIN_EXIT_FAILED, dorvale_main());
    EXPECT_NE(std::string::npos, read_text("ERROR.TXT").find("main_state subsystem hook failed to initialize,\n"));
    EXPECT_TRUE(exists("local/lua/opts.lua"));
}

// The real program in a process of its own, stopped by SIGTERM once the menu has been shown.
TEST_F(MenuRun, ProgramStopsCleanlyOnSigterm)
{
    // The staged menu script leaves a mark when the menu is first shown.
    std::ofstream("local/lua/menu.lua", std::ios::app)
        << "\nlocal refresh = menu.refresh\n"
           "function menu.refresh() refresh() io.open('menu_shown', 'w'):close() end\n";
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execl(DORVALE_GAME_DIR "/dorvale", "dorvale", (char*)NULL);
        _exit(127);
    }
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 1200 && !exists("menu_shown") && !ended; i++) {
        ended = waitpid(pid, &status, WNOHANG) == pid;
        usleep(50 * 1000);
    }
    bool shown = exists("menu_shown");
    if (!ended) {
        kill(pid, SIGTERM);
        waitpid(pid, &status, 0);
    }
    EXPECT_TRUE(shown);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
    EXPECT_TRUE(exists("local/lua/opts.lua"));
    EXPECT_EQ("", read_text("ERROR.TXT"));
}

// ---- the screenshot: the menu as the program draws it, read back from the device ----

namespace {

int shot_frames;          // frames since the menu was first shown
std::vector<uint8_t> shot; // RGBA, top row first
int shot_w, shot_h;
float button_x, button_y, button_w, button_h; // the Options button when the shot was taken

void grab_back_buffer()
{
    IDirect3DDevice8* device = GFX.d3d_gfx.device;
    IDirect3DSurface8* surface = NULL;
    if (!device || FAILED(IDirect3DDevice8_GetBackBuffer(device, 0, 0, &surface)))
        return;
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT locked;
    if (SUCCEEDED(IDirect3DSurface8_GetDesc(surface, &desc)) &&
        SUCCEEDED(IDirect3DSurface8_LockRect(surface, &locked, NULL, D3DLOCK_READONLY))) {
        shot_w = (int)desc.Width;
        shot_h = (int)desc.Height;
        shot.resize((size_t)shot_w * shot_h * 4);
        for (int y = 0; y < shot_h; y++)
            for (int x = 0; x < shot_w; x++) {
                const uint8_t* bgra = (const uint8_t*)locked.pBits + y * locked.Pitch + x * 4;
                uint8_t* rgba = &shot[((size_t)y * shot_w + x) * 4];
                rgba[0] = bgra[2];
                rgba[1] = bgra[1];
                rgba[2] = bgra[0];
                rgba[3] = 255;
            }
        IDirect3DSurface8_UnlockRect(surface);
    }
    IDirect3DSurface8_Release(surface);
}

// Lets the logo grow for a while, then reads the frame just drawn and quits.
int screenshot_driver(MSG* out, int max)
{
    int n = 0;
    SDL_PumpEvents();
    SDL_Event ev;
    while (n < max && SDL_PeepEvents(&ev, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0)
        n += plat_window_translate(&ev, out + n, max - n);
    if (++frames > 2000 || (shot_frames == 0 && !in_menu()))
        return n;
    if (++shot_frames == 48) {
        grab_back_buffer();
        hudgizmo* b = options_button();
        button_x = b->x, button_y = b->y, button_w = b->w, button_h = b->h;
        PostQuitMessage(0);
    }
    return n;
}

// Pixels of the rectangle whose colour passes the test.
int count(int x0, int y0, int x1, int y1, bool (*test)(const uint8_t* rgb))
{
    int n = 0;
    for (int y = std::max(y0, 0); y < std::min(y1, shot_h); y++)
        for (int x = std::max(x0, 0); x < std::min(x1, shot_w); x++)
            n += test(&shot[((size_t)y * shot_w + x) * 4]);
    return n;
}

// Anything but the colour the frame is cleared to (0x000080); the captions are white.
bool drawn(const uint8_t* c) { return c[0] > 16 || c[1] > 16 || c[2] < 0x70 || c[2] > 0x90; }
bool white(const uint8_t* c) { return c[0] > 220 && c[1] > 220 && c[2] > 220; }

} // namespace

TEST_F(MenuRun, ScreenshotShowsTheLogoAndTheButtons)
{
    frames = 0;
    plat_set_msg_source(screenshot_driver);
    EXPECT_EQ(0, dorvale_main());
    plat_set_msg_source(NULL);
    ASSERT_EQ((size_t)800 * 600 * 4, shot.size());
    ASSERT_TRUE(wr_image_save("menu.png", shot_w, shot_h, 4, shot.data()));
    ASSERT_GT(button_w, 0.0f);
    int bx = (int)button_x, by = (int)button_y, bw = (int)button_w, bh = (int)button_h;
    // The logo: beside the buttons and below the status lines, much of the frame is drawn.
    EXPECT_GT(count(0, 40, bx - 8, shot_h, drawn), (bx - 8) * (shot_h - 40) / 10);
    EXPECT_GT(count(bx, by, bx + bw, by + bh, white), 50);
    // No caption below the last button.
    EXPECT_EQ(0, count(bx, by + 3 * bh, bx + bw, by + 4 * bh, white));
    if (const char* keep = getenv("DORVALE_SCREENSHOT"))
        std::filesystem::copy_file("menu.png", keep, std::filesystem::copy_options::overwrite_existing);
}
