// The menu state: its actions and layouts, the first-time run of menu.lua and the links it
// makes, and the logo's animation cycle on a real device.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/code/app.h"
#include "app/code/con.h"
#include "app/code/main_state.h"
#include "app/code/menu.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8.h"
#include "tests/app/shell_globals_fixture.h"
#include "tests/harness/staged_fixture.h"
#include "tests/harness/harness.h"
#include "tests/harness/lua_fixture.h"

namespace {

// ---- actions, with the layout panels as plain gizmos ----

struct MenuActions : testing::Test {
    hudgizmo panels[5];
    shell_globals* saved = nullptr;
    void SetUp() override
    {
        saved = shell_globals_save();
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
        shell_globals_restore(saved);
        saved = nullptr;
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

// The two records left to the implementer run, at once, the text of the button released
// over them; a gizmo of another kind, or none, runs nothing.
TEST_F(MenuActions, SetOptRecordsRunTheTextOfTheirButton)
{
    CON.L = luaL_newstate();
    luaL_openlibs(CON.L);
    hudgizmo g;
    memset(&g, 0, sizeof g);
    g.text = "ran = (ran or 0) + 1";
    const struct {
        int id;
        int32_t kind;
        hudgizmo* gizmo;
        int runs; // the count afterwards
    } cases[] = {{MENU_SetOpt, HUDGIZMO_DATA_BUTTON, &g, 1},
                 {MENU_SetOptLang, HUDGIZMO_DATA_BUTTON, &g, 2},
                 {MENU_SetOpt, HUDGIZMO_DATA_TEXT, &g, 2},
                 {MENU_SetOpt, HUDGIZMO_DATA_BUTTON, NULL, 2}};
    for (auto& c : cases) {
        g.data_kind = c.kind;
        act(c.id, c.gizmo);
        EXPECT_EQ(lua_fixture_eval(CON.L, "ran"), std::to_string(c.runs)) << menu_table[c.id].name << " " << c.kind;
    }
    lua_close(CON.L);
    CON.L = NULL;
}

// ---- the whole state on a device, with the installation's scripts ----

namespace {

struct MenuState : StagedFixture {
    shell_globals* saved = nullptr;
    void SetUp() override
    {
        saved = shell_globals_save();
        memset(&MENU, 0, sizeof MENU);
        ASSERT_NO_FATAL_FAILURE(staged_open(false));
        main_state_curr = &main_state_menu;
    }
    void TearDown() override
    {
        menu_clean(&MENU);
        staged_close();
        shell_globals_restore(saved);
        saved = nullptr;
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

// 128 frames make one cycle of the logo: the counter and the zoom start again.
TEST_F(MenuState, TheLogoAnimationStartsAgainAfter128Frames)
{
    ASSERT_TRUE(menu_setup(&MENU, &GFX));
    menu_update(&MENU, UPDATE_FRAME_END);
    menu_logo_zoom = 1.0f;
    menu_logo_frame = 0;
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    for (int i = 0; i < 127; i++)
        menu_draw(&MENU);
    EXPECT_EQ(127, menu_logo_frame);
    menu_draw(&MENU);
    gfx_end_scene(&GFX);
    EXPECT_EQ(0, menu_logo_frame);
    EXPECT_FLOAT_EQ(1.0f, menu_logo_zoom);
    EXPECT_EQ("", harness_read_file("ERROR.TXT"));
}

// Setup points the HUD at the menu's table, and the installation's menu.lua builds a gizmo
// for every record that acts or lays out a panel.
TEST_F(MenuState, SetupPointsTheHudAtTheTableAndEveryRecordIsLinked)
{
    ASSERT_TRUE(menu_setup(&MENU, &GFX));
    EXPECT_EQ(menu_table, HUD.menu_table);
    for (int id : {MENU_StartAvatarEditor, MENU_StartLevelTest, MENU_StartAmaze, MENU_LayoutMain,
                   MENU_LayoutContinueQuit, MENU_LayoutOptions, MENU_LayoutLang, MENU_LayoutAmazeBasic,
                   MENU_Options, MENU_Quit, MENU_Continue, MENU_Restart, MENU_MainMenu, MENU_Lang})
        EXPECT_NE(nullptr, menu_table[id].gizmo) << menu_table[id].name;
    EXPECT_EQ("", harness_read_file("ERROR.TXT"));
}

TEST_F(MenuState, WithoutLuaTheMenuLibraryFailsSetup)
{
    con_close(&CON);
    EXPECT_FALSE(menu_setup(&MENU, &GFX));
    EXPECT_NE(std::string::npos, harness_read_file("ERROR.TXT").find("MENU.LUA subsystem failed to initialize,\n"));
}

namespace {

// Keeps every world matrix the device is given, then passes the call on.
IDirect3DDevice8Vtbl recording_vtbl;
const IDirect3DDevice8Vtbl* real_vtbl;
std::vector<D3DMATRIX> worlds;

HRESULT record_transform(IDirect3DDevice8* self, D3DTRANSFORMSTATETYPE state, const D3DMATRIX* m)
{
    if (state == D3DTS_WORLD)
        worlds.push_back(*m);
    return real_vtbl->SetTransform(self, state, m);
}

} // namespace

// One logo frame draws eight copies. The first frame of a cycle has the zoom 1.0254663, so
// copy 0 is scaled 0.04 x 1.0254663 at z 32; each next copy is five times larger, a quarter
// turn further about Z (its first row at right angles to the one before) and further back
// by 0.34 times its own scale: copy 1 at z = 32 + 0.34 x 5 x 0.04 x 1.0254663.
TEST_F(MenuState, LogoDrawsEightCopiesFiveTimesApart)
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
    bool began = gfx_begin_scene(&GFX);
    if (began) {
        menu_draw(&MENU);
        gfx_end_scene(&GFX);
    }
    device->lpVtbl = real_vtbl;
    ASSERT_TRUE(began);

    auto row = [](const D3DMATRIX& m) { return std::array<float, 3>{m.m[0][0], m.m[0][1], m.m[0][2]}; };
    auto scale = [&](const D3DMATRIX& m) { return std::hypot(m.m[0][0], m.m[0][1], m.m[0][2]); };
    const float s0 = 0.04f * 1.0254663f;
    ASSERT_EQ(8u, worlds.size());
    EXPECT_NEAR(s0, scale(worlds[0]), 1e-6f);
    EXPECT_FLOAT_EQ(32.0f, worlds[0].m[3][2]);
    EXPECT_NEAR(32.0f + 0.34f * 5.0f * s0, worlds[1].m[3][2], 1e-4f);
    for (size_t i = 1; i < worlds.size(); i++) {
        EXPECT_NEAR(5.0f, scale(worlds[i]) / scale(worlds[i - 1]), 1e-3f) << i;
        auto a = row(worlds[i - 1]), b = row(worlds[i]);
        float cosine = (a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) / (scale(worlds[i - 1]) * scale(worlds[i]));
        EXPECT_NEAR(0.0f, cosine, 1e-4f) << i;
        EXPECT_GT(worlds[i].m[3][2], worlds[i - 1].m[3][2]) << i;
    }
}
