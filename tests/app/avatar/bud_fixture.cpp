// The avatar editor tests' world.

#include "tests/app/avatar/bud_fixture.h"

#include <stdio.h>

#include <cstring>
#include <filesystem>

#include "app/code/con.h"
#include "app/code/main_state.h"
#include "engine/code/gfx/gfx.h"
#include "platform/plat_dialog.h"
#include "tests/harness/staged_fixture.h"
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
    memset(&bud_test_state, 0, sizeof bud_test_state);
    ASSERT_NO_FATAL_FAILURE(staged_open(true));
    std::filesystem::create_directories("local/rendered");
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
    staged_close();
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
