// The program end to end on a staged game folder: start-up reaches the menu; mouse clicks
// reach the buttons through the window layer, the input devices and the input script;
// Escape brings up the pause menu inside another state; Quit ends the run with the options
// written, and a missing logo stops the start. The mouse and keys are fed as SDL events by a driver that the
// message pump asks once a frame; the driver also reads back one frame of the menu.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/code/entry.h"
#include "app/code/menu.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8.h"
#include "platform/plat_msg.h"
#include "tests/app/shell_globals_fixture.h"
#include "tests/harness/staged_fixture.h"
#include "tests/harness/harness.h"
#include "tools/writer/wr_image.h"

namespace {

bool shown(int id) { return menu_table[id].gizmo && !(menu_table[id].gizmo->flags & HUDGIZMO_HIDDEN); }

hudgizmo* button_in(hudgizmo* panel, const char* name)
{
    for (list_node* n = list_first(&panel->children); n->next; n = n->next)
        if (((hudgizmo*)n)->name && strcasecmp(((hudgizmo*)n)->name, name) == 0)
            return (hudgizmo*)n;
    return NULL;
}

hudgizmo* options_button() { return button_in(menu_table[MENU_LayoutMain].gizmo, "MENU_Options"); }
hudgizmo* back_button() { return button_in(menu_table[MENU_LayoutOptions].gizmo, "MENU_MainMenu"); }
hudgizmo* quit_button() { return button_in(menu_table[MENU_LayoutMain].gizmo, "MENU_Quit"); }
hudgizmo* pause_main_button() { return button_in((hudgizmo*)list_first(&HUD.master_menu->children), "MENU_MainMenu"); }

// A game state of the test's own: like every game state it draws the HUD and takes the
// HUD's display and menu down in its clean.
bool probe_setup(gfx*) { return true; }
void probe_clean() { HUD.display_gizmo = NULL; HUD.displayed_menu = NULL; }
void probe_draw() { hud_draw(&HUD); }
const main_state_hooks probe_state = {probe_setup, NULL, probe_clean, NULL, probe_draw, NULL};

int frames_in_menu;
bool in_menu() { return main_state_curr == &main_state_menu && shown(MENU_LayoutMain) && options_button()->w > 0; }
bool menu_settled() { return in_menu() && ++frames_in_menu >= 48; } // the logo has grown
bool options_shown() { return shown(MENU_LayoutOptions) && !shown(MENU_LayoutMain); }
bool main_shown() { return shown(MENU_LayoutMain) && !shown(MENU_LayoutOptions); }
bool in_probe() { return main_state_curr == &probe_state; }
bool pause_shown() { return HUD.displayed_menu && HUD.displayed_menu == HUD.master_menu; }
bool pause_hidden() { return !HUD.displayed_menu; }
bool in_menu_alone() { return in_menu() && !HUD.displayed_menu; }

// ---- the frame read back ----

std::vector<uint8_t> shot; // RGBA, top row first
int shot_w, shot_h;
float button[4];           // the Options button's rectangle at that frame

void grab_frame()
{
    IDirect3DDevice8* device = GFX.d3d_gfx.device;
    IDirect3DSurface8* surface = NULL;
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT locked;
    if (!device || FAILED(IDirect3DDevice8_GetBackBuffer(device, 0, 0, &surface)))
        return;
    if (SUCCEEDED(IDirect3DSurface8_GetDesc(surface, &desc)) &&
        SUCCEEDED(IDirect3DSurface8_LockRect(surface, &locked, NULL, D3DLOCK_READONLY))) {
        shot_w = (int)desc.Width;
        shot_h = (int)desc.Height;
        shot.resize((size_t)shot_w * shot_h * 4);
        for (int y = 0; y < shot_h; y++)
            for (int x = 0; x < shot_w; x++) {
                const uint8_t* bgra = (const uint8_t*)locked.pBits + y * locked.Pitch + x * 4;
                uint8_t* rgba = &shot[((size_t)y * shot_w + x) * 4];
                rgba[0] = bgra[2], rgba[1] = bgra[1], rgba[2] = bgra[0], rgba[3] = 255;
            }
        IDirect3DSurface8_UnlockRect(surface);
    }
    IDirect3DSurface8_Release(surface);
    hudgizmo* b = options_button();
    button[0] = b->x, button[1] = b->y, button[2] = b->w, button[3] = b->h;
}

int count(int x0, int y0, int x1, int y1, bool (*test)(const uint8_t* rgb))
{
    int n = 0;
    for (int y = std::max(y0, 0); y < std::min(y1, shot_h); y++)
        for (int x = std::max(x0, 0); x < std::min(x1, shot_w); x++)
            n += test(&shot[((size_t)y * shot_w + x) * 4]);
    return n;
}

// Anything but the colour frames are cleared to (0x000080); the captions are white.
bool drawn(const uint8_t* c) { return c[0] > 16 || c[1] > 16 || c[2] < 0x70 || c[2] > 0x90; }
bool white(const uint8_t* c) { return c[0] > 220 && c[1] > 220 && c[2] > 220; }

// ---- the driver: one step at a time, each when its condition holds ----

struct step {
    const char* what;
    bool (*ready)();
    hudgizmo* (*click)(); // the button to click,
    SDL_Keycode key;      // or the key to press,
    void (*act)();        // or something else to do
};

void enter_probe() { main_state_next = &probe_state; }

const step script[] = {
    {"menu shown for a while", menu_settled, NULL, 0, grab_frame},
    {"menu shown", in_menu, options_button, 0, NULL},
    {"options layout after the click", options_shown, back_button, 0, NULL},
    {"main layout after Back", main_shown, options_button, 0, NULL},
    {"options layout again", options_shown, NULL, 0, enter_probe}, // left on a page other than the main
    {"another state", in_probe, NULL, SDLK_ESCAPE, NULL},
    {"pause menu on Escape", pause_shown, NULL, SDLK_ESCAPE, NULL},
    {"pause menu gone on Escape", pause_hidden, NULL, SDLK_ESCAPE, NULL},
    {"pause menu back", pause_shown, pause_main_button, 0, NULL},
    // Back in the menu it opens on the main page, whatever page it was left on.
    {"menu again on its main page, without the pause menu", in_menu_alone, quit_button, 0, NULL},
};
const int script_steps = sizeof script / sizeof script[0];

int step_at, click_phase, frames;
std::string stuck;

int emit(SDL_Event* ev, MSG* out, int max) { return plat_window_translate(ev, out, max); }

int driver(MSG* out, int max)
{
    int n = 0;
    SDL_Event ev;
    SDL_PumpEvents(); // the window's own events (size, focus) first
    while (n < max && SDL_PeepEvents(&ev, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0)
        n += plat_window_translate(&ev, out + n, max - n);
    if (++frames > 3000 && stuck.empty()) {
        stuck = step_at < script_steps ? script[step_at].what : "the quit";
        PostQuitMessage(0);
    }
    if (step_at >= script_steps || (click_phase == 0 && !script[step_at].ready()))
        return n;
    const step& s = script[step_at];
    memset(&ev, 0, sizeof ev);
    if (s.act) {
        s.act();
    } else if (s.key) {
        ev.type = SDL_KEYDOWN;
        ev.key.state = SDL_PRESSED;
        ev.key.keysym.sym = s.key;
        ev.key.keysym.scancode = SDL_GetScancodeFromKey(s.key);
        n += emit(&ev, out + n, max - n);
        ev.type = SDL_KEYUP;
        ev.key.state = SDL_RELEASED;
        emit(&ev, out + n, max - n);
    } else {
        // Move, press, release, each in a frame of its own so each edge reaches the HUD.
        hudgizmo* g = s.click();
        if (!g || g->w <= 0) // not laid out yet
            return n;
        if (click_phase == 0) {
            ev.type = SDL_MOUSEMOTION;
            ev.motion.x = (int)(g->x + g->w * 0.5f);
            ev.motion.y = (int)(g->y + g->h * 0.5f);
        } else {
            ev.type = click_phase == 1 ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
            ev.button.button = SDL_BUTTON_LEFT;
            ev.button.state = click_phase == 1 ? SDL_PRESSED : SDL_RELEASED;
        }
        n += emit(&ev, out + n, max - n);
        if (++click_phase < 3)
            return n;
        click_phase = 0;
    }
    step_at++;
    return n;
}

struct MenuRun : ShellProgramRun {};

} // namespace

TEST_F(MenuRun, ClickThroughTheMenuEscapeInAnotherStateAndQuit)
{
    plat_set_msg_source(driver);
    int code = dorvale_main();
    plat_set_msg_source(NULL);
    EXPECT_EQ("", stuck);
    EXPECT_EQ(script_steps, step_at);
    EXPECT_EQ(0, code);
    EXPECT_TRUE(harness_file_exists("local/lua/opts.lua"));
    EXPECT_EQ("", harness_read_file("ERROR.TXT"));

    // The frame read back shows the logo around the buttons and their captions.
    ASSERT_EQ((size_t)800 * 600 * 4, shot.size());
    ASSERT_TRUE(wr_image_save("menu.png", shot_w, shot_h, 4, shot.data()));
    if (const char* keep = getenv("DORVALE_SCREENSHOT"))
        std::filesystem::copy_file("menu.png", keep, std::filesystem::copy_options::overwrite_existing);
    int bx = (int)button[0], by = (int)button[1], bw = (int)button[2], bh = (int)button[3];
    EXPECT_GT(count(0, 40, bx - 8, shot_h, drawn), (bx - 8) * (shot_h - 40) / 10); // below the status lines
    EXPECT_GT(count(bx, by, bx + bw, by + bh, white), 50);
    EXPECT_EQ(0, count(bx, by + 3 * bh, bx + bw, by + 4 * bh, white)); // below the last button
}

TEST_F(MenuRun, MissingLogoStopsTheStartWithTheHookFailure)
{
    std::remove("data/logos/xox/qem.xox");
    EXPECT_EQ(MAIN_EXIT_FAILED, dorvale_main());
    EXPECT_NE(std::string::npos, harness_read_file("ERROR.TXT").find("main_state subsystem hook failed to initialize,\n"));
    EXPECT_TRUE(harness_file_exists("local/lua/opts.lua"));
}
