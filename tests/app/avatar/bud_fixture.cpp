// The avatar editor tests' world.

#include "tests/app/avatar/bud_fixture.h"

#include <IL/il.h>
#include <IL/ilu.h>
#include <stdio.h>

#include <cstring>
#include <filesystem>

#include "app/code/con.h"
#include "app/code/input.h"
#include "app/code/main_state.h"
#include "engine/code/dbg.h"
#include "engine/code/files.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/gfx.h"
#include "platform/plat_dialog.h"
#include "tests/harness/menu_fixture.h"
#include "tests/harness/harness.h"

namespace {

std::vector<std::string> answers;
int asked;
std::string title;

BOOL scripted_dialog(plat_dialog_kind kind, OPENFILENAMEA* ofn)
{
    asked++;
    title = ofn->lpstrTitle ? ofn->lpstrTitle : "";
    if (answers.empty() || answers.front().empty()) {
        if (!answers.empty())
            answers.erase(answers.begin());
        return FALSE;
    }
    snprintf(ofn->lpstrFile, ofn->nMaxFile, "%s", answers.front().c_str());
    answers.erase(answers.begin());
    return TRUE;
}

} // namespace

void BudTest::SetUp()
{
    std::remove("ERROR.TXT");
    dbg_reset_for_tests();
    memset(&GFX, 0, sizeof GFX);
    memset(&D3D_BUFFERS, 0, sizeof D3D_BUFFERS);
    memset(&HUD, 0, sizeof HUD);
    memset(&bud_test_state, 0, sizeof bud_test_state);
    memset(&INPUT, 0, sizeof INPUT);
    input_state_setup(&INPUT);
    ilInit();
    iluInit();
    ASSERT_TRUE(menu_fixture_stage());
    std::filesystem::create_directories("local/rendered");
    files_setup(&FILES);
    ASSERT_TRUE(gl_window_open(&win, 800, 600));
    ASSERT_TRUE(gfx_setup(&GFX));
    HUD.root = &GFX;
    ASSERT_TRUE(hud_setup_pools(&HUD));
    ASSERT_TRUE(con_setup(&CON));
    ASSERT_TRUE(con_postsetup(&CON));
    answers.clear();
    asked = 0;
    title.clear();
    plat_set_file_dialog(scripted_dialog);
    main_state_curr = &main_state_bud_test;
}

void BudTest::TearDown()
{
    bud_test_clean(&bud_test_state);
    plat_set_file_dialog(NULL);
    con_close(&CON);
    hud_clean(&HUD);
    gfx_clean(&GFX);
    files_clean(&FILES);
    gl_window_close(&win);
    main_state_curr = main_state_next = NULL;
    dbg_reset_for_tests();
}

void BudTest::answer(std::vector<std::string> paths) { answers = paths; }
int BudTest::dialogs() { return asked; }
std::string BudTest::last_title() { return title; }

void BudTest::start()
{
    ASSERT_TRUE(bud_test_setup(b, &GFX));
    // One frame, so the screen size is known and the gizmos have their places.
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    gfx_end_scene(&GFX);
    hud_update(&HUD);
}

void BudTest::click(int32_t id, hudgizmo* g)
{
    menu_def* r = &bud_test_menu[id];
    ASSERT_NE(nullptr, r->handler) << r->name;
    r->handler(r, g, 1, 0);
}

std::string BudTest::errors() { return harness_read_file("ERROR.TXT"); }
