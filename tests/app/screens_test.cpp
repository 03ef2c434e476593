// The pictures of the game states: the program itself on a staged game folder, switched from
// the menu into each state the way the menu's buttons switch (a queued script line setting
// the option next_state), run for a while, then one frame read back, checked and saved as
// <name>.png, and into DORVALE_SCREENSHOT_DIR when that is set.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/code/amaze/amaze.h"
#include "app/code/avatar/bud_test.h"
#include "app/code/con.h"
#include "app/code/entry.h"
#include "app/code/hud/hud.h"
#include "app/code/structor/structor.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8.h"
#include "platform/plat_msg.h"
#include "tests/harness/harness.h"
#include "tests/harness/staged_fixture.h"
#include "tools/writer/wr_image.h"

namespace {

std::vector<uint8_t> shot; // RGBA, top row first
int shot_w, shot_h;

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
        shot_w = (int)desc.Width, shot_h = (int)desc.Height;
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
}

// The share, in percent, of the block's pixels that pass the test.
int percent(int x0, int y0, int x1, int y1, bool (*test)(const uint8_t* rgb))
{
    int n = 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++)
            n += test(&shot[((size_t)y * shot_w + x) * 4]);
    return n * 100 / std::max(1, (x1 - x0) * (y1 - y0));
}

// Anything but the clear colour (0x000080) that every frame starts from.
bool drawn(const uint8_t* c) { return c[0] > 16 || c[1] > 16 || c[2] < 0x70 || c[2] > 0x90; }
// The structor's stone and balls: red well above blue (its liquid and ground are blue).
bool stone(const uint8_t* c) { return c[0] > 80 && c[0] > c[2] + 40; }

// The avatar fills a good part of the frame it turns in.
int editor_own()
{
    hudgizmo* frame = hudgizmo_find_shown(HUD.display_gizmo, str_pool_add(&HUD.name_pool, "BTN_Avatar"));
    if (!frame)
        return 0;
    return percent((int)frame->x, (int)frame->y, (int)(frame->x + frame->w), (int)(frame->y + frame->h), drawn);
}
// The follow camera keeps the protagonist, and so the map under it, mid-screen.
int amaze_own() { return percent(250, 200, 550, 400, drawn); }
// The ramps of the level's wall picture, below the status lines and the number table.
int structor_own() { return percent(0, 250, 800, 600, stone); }

struct screen_case {
    const char* name;
    const char* lua; // the line that requests the state
    const main_state_hooks* state;
    int frames;      // run in the state before the picture
    int (*own)();    // measures the state's own drawing in percent, at least `least`
    int least;
};

const screen_case cases[] = {
    {"editor", "opt.next_state('main_state_bud_test')", &main_state_bud_test, 90, editor_own, 5},
    {"amaze", "opt.next_level('basic') opt.next_number(1) opt.next_state('main_state_amaze')",
     &main_state_amaze, 90, amaze_own, 95},
    {"structor", "opt.next_state('main_state_structor')", &main_state_structor, 240, structor_own, 5},
};

const screen_case* running;
int frames, frames_in_menu, frames_in_state, own;
bool timed_out;

// Asked by the message pump once a frame, after the frame was presented.
int driver(MSG* out, int max)
{
    int n = 0;
    SDL_Event ev;
    SDL_PumpEvents();
    while (n < max && SDL_PeepEvents(&ev, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0)
        n += plat_window_translate(&ev, out + n, max - n);
    if (++frames > 3000 && !timed_out) {
        timed_out = true;
        PostQuitMessage(0);
    }
    if (main_state_curr == &main_state_menu && ++frames_in_menu == 10)
        con_thread_string(&CON, running->lua);
    if (main_state_curr == running->state && ++frames_in_state == running->frames) {
        grab_frame();
        own = running->own();
        PostQuitMessage(0);
    }
    return n;
}

struct Screens : testing::TestWithParam<screen_case> {
    void SetUp() override { ASSERT_TRUE(staged_fixture_stage()); }
};

} // namespace

TEST_P(Screens, StateDrawsItsPicture)
{
    running = &GetParam();
    frames = frames_in_menu = frames_in_state = own = 0;
    timed_out = false;
    shot.clear();
    plat_set_msg_source(driver);
    int code = dorvale_main();
    plat_set_msg_source(NULL);
    EXPECT_FALSE(timed_out);
    EXPECT_EQ(0, code);
    EXPECT_EQ("", harness_read_file("ERROR.TXT"));
    ASSERT_EQ((size_t)800 * 600 * 4, shot.size());

    std::string file = std::string(running->name) + ".png";
    ASSERT_TRUE(wr_image_save(file.c_str(), shot_w, shot_h, 4, shot.data()));
    if (const char* keep = getenv("DORVALE_SCREENSHOT_DIR"))
        std::filesystem::copy_file(file, std::string(keep) + "/" + file,
                                   std::filesystem::copy_options::overwrite_existing);

    std::set<uint32_t> colours;
    for (size_t i = 0; i < shot.size(); i += 4)
        colours.insert(shot[i] << 16 | shot[i + 1] << 8 | shot[i + 2]);
    EXPECT_GT(colours.size(), 200u) << "a shaded picture, not a few flat colours";
    EXPECT_GE(own, running->least) << "percent of the state's own drawing";
}

INSTANTIATE_TEST_SUITE_P(States, Screens, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<screen_case>& i) { return std::string(i.param.name); });
