// The avatar editor tests' world: the staged installation, a real device, the HUD pools and
// the Lua environment with its second stage, and scripted answers for the file dialogs.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/code/avatar/bud_test.h"
#include "tests/harness/staged_fixture.h"

class BudTest : public StagedFixture {
protected:
    void SetUp() override;
    void TearDown() override;
    // The next dialogs answer these paths in turn; an empty string cancels.
    void answer(std::vector<std::string> paths);
    // How many dialogs asked, and the title of the last.
    static int dialogs();
    static std::string last_title();
    // The editor set up; fails the test when it cannot be.
    void start();
    // Clicks a record as the HUD does, with the given gizmo.
    void click(int32_t id, hudgizmo* g = nullptr);
    hudgizmo* gizmo(int32_t id) { return bud_test_menu[id].gizmo; }
    static std::string errors();
    bud_test* b = &bud_test_state;
};
