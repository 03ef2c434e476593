// A whole staged game folder for the tests of the states that run on the installation, and
// the world those states need on it: a real device, the HUD pools and the Lua environment.
#pragma once

#include <gtest/gtest.h>

#include "tests/harness/gl_window.h"

// The working folder as a game folder: the build's generated data and the source tree's
// scripts, as the build stages them.
bool staged_fixture_stage();

class StagedFixture : public testing::Test {
protected:
    // Clears the shared records, stages the installation, opens an 800 x 600 device with the
    // HUD pools and sets up the Lua environment; `postsetup` also runs its second stage.
    // Fails the test (fatally) when any of it cannot be had: wrap in ASSERT_NO_FATAL_FAILURE.
    void staged_open(bool postsetup);
    // Closes what staged_open opened, after the test has cleaned its own state; safe after a
    // failed open.
    void staged_close();
    gl_window win = {};
};
