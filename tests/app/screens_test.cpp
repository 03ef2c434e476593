// The pictures of the game states: the program itself on a staged game folder, switched from
// the menu into each state as the menu's buttons switch (a queued script line setting the
// option next_state), run for a while, then one frame read back, checked and saved as
// <name>.png, and into DORVALE_SCREENSHOT_DIR when that is set.
#include <gtest/gtest.h>

#include <algorithm>
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
#include "platform/d3d8_debug.h"
#include "platform/plat_msg.h"
#include "tests/app/shell_globals_fixture.h"
#include "tests/harness/harness.h"
#include "tests/harness/staged_fixture.h"
#include "tools/writer/wr_image.h"

namespace {

const int W = 800, H = 600; // the window the options of the staged scripts ask for
std::vector<uint8_t> shot;  // RGBA, top row first

void grab_frame()
{
    shot.resize((size_t)W * H * 4);
    for (int i = 0; i < W * H; i++) {
        uint32_t c = d3d8_read_pixel(GFX.d3d_gfx.device, i % W, i / W); // ARGB
        shot[i * 4] = (uint8_t)(c >> 16), shot[i * 4 + 1] = (uint8_t)(c >> 8);
        shot[i * 4 + 2] = (uint8_t)c, shot[i * 4 + 3] = 255;
    }
}

// The share, in percent, of the block's pixels that pass the test.
int percent(int x0, int y0, int x1, int y1, bool (*test)(const uint8_t* rgb))
{
    int n = 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++)
            n += test(&shot[((size_t)y * W + x) * 4]);
    return n * 100 / std::max(1, (x1 - x0) * (y1 - y0));
}

// Anything but the clear colour (0x000080) that every frame starts from.
bool drawn(const uint8_t* c) { return c[0] > 16 || c[1] > 16 || c[2] < 0x70 || c[2] > 0x90; }
// The structor's stone and balls: red well above blue (its liquid and ground are blue).
bool stone(const uint8_t* c) { return c[0] > 80 && c[0] > c[2] + 40; }

// The avatar fills a good part of the frame it turns in.
int editor_own()
{
    hudgizmo* f = hudgizmo_find_shown(HUD.display_gizmo, str_pool_add(&HUD.name_pool, "BTN_Avatar"));
    return f ? percent((int)f->x, (int)f->y, (int)(f->x + f->w), (int)(f->y + f->h), drawn) : 0;
}

struct screen_case {
    const char* name;
    const char* lua; // the line that requests the state
    const main_state_hooks* state;
    int frames;   // run in the state before the picture
    int (*own)(); // measures the state's own drawing in percent, at least `least`
    int least;
};

const screen_case cases[] = {
    {"editor", "opt.next_state('main_state_bud_test')", &main_state_bud_test, 90, editor_own, 5},
    // The follow camera keeps the protagonist, and so the map under it, mid-screen.
    {"amaze", "opt.next_level('basic') opt.next_number(1) opt.next_state('main_state_amaze')",
     &main_state_amaze, 90, [] { return percent(250, 200, 550, 400, drawn); }, 95},
    // The ramps of the level's wall picture, below the status lines and the number table.
    {"structor", "opt.next_state('main_state_structor')", &main_state_structor, 240,
     [] { return percent(0, 250, 800, 600, stone); }, 5},
};

const screen_case* running;
int frames, frames_in_menu, frames_in_state, own;

// Asked by the message pump once a frame, after the frame was presented; feeds no input.
int driver(MSG*, int)
{
    if (++frames == 3000) // stuck: end the run, the checks below fail
        PostQuitMessage(0);
    if (main_state_curr == &main_state_menu && ++frames_in_menu == 10)
        con_thread_string(&CON, running->lua);
    if (main_state_curr == running->state && ++frames_in_state == running->frames) {
        grab_frame();
        own = running->own();
        PostQuitMessage(0);
    }
    return 0;
}

// An index into cases. The run changes the shell's records; they are put back afterwards.
struct Screens : testing::TestWithParam<int> {
    shell_globals* saved = nullptr;
    void SetUp() override { saved = shell_globals_save(); }
    void TearDown() override
    {
        plat_set_msg_source(NULL);
        shell_globals_restore(saved);
        saved = nullptr;
    }
};

} // namespace

TEST_P(Screens, StateDrawsItsPicture)
{
    ASSERT_TRUE(staged_fixture_stage());
    running = &cases[GetParam()];
    frames = frames_in_menu = frames_in_state = own = 0;
    shot.clear();
    plat_set_msg_source(driver);
    EXPECT_EQ(0, dorvale_main());
    plat_set_msg_source(NULL);
    EXPECT_EQ("", harness_read_file("ERROR.TXT"));
    ASSERT_EQ((size_t)W * H * 4, shot.size()) << "the state was not reached";

    std::string file = std::string(running->name) + ".png";
    ASSERT_TRUE(wr_image_save(file.c_str(), W, H, 4, shot.data()));
    if (const char* keep = getenv("DORVALE_SCREENSHOT_DIR"))
        std::filesystem::copy_file(file, std::string(keep) + "/" + file,
                                   std::filesystem::copy_options::overwrite_existing);
    std::set<uint32_t> colours;
    for (size_t i = 0; i < shot.size(); i += 4)
        colours.insert(shot[i] << 16 | shot[i + 1] << 8 | shot[i + 2]);
    EXPECT_GT(colours.size(), 200u) << "a shaded picture, not a few flat colours";
    EXPECT_GE(own, running->least) << "percent of the state's own drawing";
}

INSTANTIATE_TEST_SUITE_P(States, Screens, testing::Range(0, (int)(sizeof cases / sizeof cases[0])),
                         [](const testing::TestParamInfo<int>& i) { return std::string(cases[i.param].name); });
