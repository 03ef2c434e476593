// The maze tests' world: a staged installation, a real device, the HUD pools, the Lua
// environment, and the amaze state set up on a level folder the test writes.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/code/amaze/amaze.h"
#include "tests/harness/staged_fixture.h"

class AmazeTest : public StagedFixture {
protected:
    void SetUp() override;
    void TearDown() override;
    // Writes local/amaze/test/levels.lua, sets up the state on it and runs the queued start.
    void start(const char* levels);
    // A flat map of w x h cells held by the terrain, with an empty cell array.
    void flat_map(int32_t w, int32_t h);
    // One mind tick's worth of phases, as the timing driver delivers them.
    void tick();
    // A body step of ms milliseconds.
    void body(int32_t ms);
    std::string run(const char* code);  // "" or the error
    std::string eval(const char* expr); // tostring of the value
    amazeitem* item(const char* global); // the record behind the Lua item table of that name
    static std::string errors();
    amaze* a = &AMAZE;
};
