// The menu state: its actions and layouts, the first-time run of menu.lua and the links it
// makes, and the logo's animation on a real device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>

#include "app/code/app.h"
#include "app/code/con.h"
#include "app/code/main_state.h"
#include "app/code/menu.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8.h"
#include "tests/harness/staged_fixture.h"
#include "tests/harness/harness.h"
#include "tests/harness/lua_fixture.h"

namespace {

// ---- actions, with the layout panels as plain gizmos ----

struct MenuActions : testing::Test {
    hudgizmo panels[5];
    void SetUp() override
    {
        memset(panels, 0, sizeof panels);
        for (int i = 0; i < 5; i++)
            menu_table[MENU_LayoutMain + i].gizmo = &panels[i];
        main_state_curr = &main_state_menu;
        main_state_next = NULL;
    }
    void TearDown() override
    {
        for (int i = 0; i < MENU_RECORDS; i++)
            menu_table[i].gizmo = NULL;
        main_state_curr = main_state_next = NULL;
        HUD.displayed_menu = NULL;
    }
    void act(int id, hudgizmo* g = NULL) { menu_table[id].handler(&menu_table[id], g, 1, 0); }
    // Which of the five panels show, as a string of 0/1 from main to amaze.
    std::string shown()
    {
        std::string s;
        for (auto& p : panels)
            s += (p.flags & HUDGIZMO_HIDDEN) ? '0' : '1';
        return s;
    }
};

} // namespace

TEST_F(MenuActions, ActionsSwitchStatesOrShowOnePanel)
{
    // In the running state: the record clicked, the state requested, the panels shown
    // (main, continue/quit, options, language, amaze), "-" where they stay as they were.
    // Options and Main Menu, inside the menu and out, are clicked in the program run.
    const struct {
        const main_state_hooks* curr;
        int id;
        const main_state_hooks* next;
        const char* shown;
    } cases[] = {
        {&main_state_menu, MENU_StartAvatarEditor, &main_state_bud_test, "-"},
        {&main_state_menu, MENU_StartLevelTest, &main_state_structor, "-"},
        {&main_state_amaze, MENU_Restart, &main_state_amaze, "-"},
        {&main_state_menu, MENU_StartAmaze, NULL, "00001"},
        {&main_state_menu, MENU_Lang, NULL, "00010"},
    };
    for (const auto& c : cases) {
        main_state_curr = c.curr;
        main_state_next = NULL;
        std::string before = shown();
        act(c.id);
        EXPECT_EQ(c.next, main_state_next) << menu_table[c.id].name;
        EXPECT_EQ(c.shown[0] == '-' ? before : c.shown, shown()) << menu_table[c.id].name;
    }
    menu_show_layout(MENU_Lua); // no panel of its own: all hidden
    EXPECT_EQ("00000", shown());
}

// Quit is clicked in the program's end-to-end run.
TEST_F(MenuActions, ContinueHidesThePauseMenu)
{
    hudgizmo pause;
    HUD.displayed_menu = &pause;
    act(MENU_Continue);
    EXPECT_EQ(nullptr, HUD.displayed_menu);
}

// ---- the whole state on a device, with the installation's scripts ----

namespace {

// Records every world matrix the device is given, then passes the call on.
IDirect3DDevice8Vtbl recording_vtbl;
const IDirect3DDevice8Vtbl* real_vtbl;
std::vector<D3DMATRIX> worlds;

HRESULT record_transform(IDirect3DDevice8* self, D3DTRANSFORMSTATETYPE state, const D3DMATRIX* m)
{
    if (state == D3DTS_WORLD)
        worlds.push_back(*m);
    return real_vtbl->SetTransform(self, state, m);
}

struct MenuState : StagedFixture {
    void SetUp() override
    {
        memset(&MENU, 0, sizeof MENU);
        ASSERT_NO_FATAL_FAILURE(staged_open(false));
        main_state_curr = &main_state_menu;
    }
    void TearDown() override
    {
        menu_clean(&MENU);
        staged_close();
    }
    std::string eval(const char* expr) { return lua_fixture_eval(CON.L, expr); }
};

} // namespace

TEST_F(MenuState, TheScriptRunsOnceAndEverySetupOpensOnTheMainPage)
{
    std::ofstream("local/lua/menu.lua", std::ios::app) << "\nmenu_runs = (menu_runs or 0) + 1\n";
    auto on_main_page = [] {
        return HUD.display_gizmo && HUD.display_gizmo == menu_table[MENU_LayoutMain].gizmo->root &&
               !(menu_table[MENU_LayoutMain].gizmo->flags & HUDGIZMO_HIDDEN) &&
               (menu_table[MENU_LayoutOptions].gizmo->flags & HUDGIZMO_HIDDEN);
    };
    ASSERT_TRUE(menu_setup(&MENU, &GFX));
    EXPECT_EQ(33, APP.frame_period);
    EXPECT_TRUE(on_main_page());

    // The clean leaves the pause menu as the master; the next setup reuses the gizmos and,
    // left on another page, opens again on the main one.
    menu_clean(&MENU);
    EXPECT_EQ(nullptr, HUD.display_gizmo);
    EXPECT_EQ(nullptr, HUD.displayed_menu);
    ASSERT_NE(nullptr, HUD.master_menu);
    EXPECT_EQ(menu_table[MENU_Restart].gizmo->root, HUD.master_menu);
    menu_show_layout(MENU_LayoutOptions);
    ASSERT_TRUE(menu_setup(&MENU, &GFX));
    EXPECT_EQ("1", eval("menu_runs"));
    EXPECT_TRUE(on_main_page());

    // Restart inside the menu cleans and sets it up again; the Escape menu survives.
    hudgizmo* pause = HUD.master_menu;
    ASSERT_TRUE(main_state_menu.reset());
    EXPECT_EQ(pause, HUD.master_menu);
    EXPECT_EQ("1", eval("menu_runs"));
}

TEST_F(MenuState, LogoCopiesGrowFiveFoldTurnAQuarterAndStepBackAndCycleIn128Frames)
{
    ASSERT_TRUE(menu_setup(&MENU, &GFX));
    menu_update(&MENU, UPDATE_FRAME_END);
    IDirect3DDevice8* device = GFX.d3d_gfx.device;
    real_vtbl = device->lpVtbl;
    recording_vtbl = *real_vtbl;
    recording_vtbl.SetTransform = record_transform;
    device->lpVtbl = &recording_vtbl;

    menu_logo_zoom = 1.0f;
    menu_logo_frame = 0;
    worlds.clear();
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    menu_draw(&MENU);
    gfx_end_scene(&GFX);
    device->lpVtbl = real_vtbl;

    // The first draw counts frame 1 at zoom 1.0254663. Copy i: scale s = 1.0254663 * 0.04 *
    // 5^i, turn about z by -pi/128 + i * pi/2, z = 32, then each copy adds its own s * 0.34
    // (copy 1: 32 + 0.2050933 * 0.34 = 32.06973). Row 0 of the matrix is s (cos, sin, 0).
    ASSERT_EQ(8u, worlds.size());
    double scale = 1.0254663 * 0.04, z = 32.0;
    for (int i = 0; i < 8; i++) {
        double turn = -M_PI / 128 + i * M_PI / 2;
        if (i > 0)
            z += scale * 0.34;
        const D3DMATRIX& m = worlds[i];
        EXPECT_NEAR(scale * std::cos(turn), m.m[0][0], scale * 1e-4) << i;
        EXPECT_NEAR(scale * std::sin(turn), m.m[0][1], scale * 1e-4) << i;
        EXPECT_NEAR(scale, m.m[2][2], scale * 1e-4) << i;
        EXPECT_NEAR(z, m.m[3][2], z * 1e-5) << i;
        scale *= 5.0;
    }

    for (int i = 1; i < 128; i++)
        menu_draw(&MENU);
    EXPECT_EQ(0, menu_logo_frame);
    EXPECT_FLOAT_EQ(1.0f, menu_logo_zoom);
    EXPECT_EQ("", harness_read_file("ERROR.TXT"));
}
