// The maze tests' world: a staged installation, a real device, the HUD pools, the Lua
// environment, and the amaze state set up on a level folder the test writes.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "app/code/amaze/amaze.h"
#include "app/code/app.h"
#include "app/code/con.h"
#include "app/code/main_state.h"
#include "app/code/opt.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/mem.h"
#include "tests/harness/harness.h"
#include "tests/harness/lua_fixture.h"
#include "tests/harness/staged_fixture.h"

class AmazeTest : public StagedFixture {
protected:
    void SetUp() override
    {
        memset(&AMAZE, 0, sizeof AMAZE);
        ASSERT_NO_FATAL_FAILURE(staged_open(true));
        mind_step = 100;
        body_step = 10;
        main_state_curr = &main_state_amaze;
    }
    void TearDown() override
    {
        amaze_clean(&AMAZE);
        staged_close();
        // What the tests and the state's setup change, as the test found it.
        mind_step = kept_mind_step;
        body_step = kept_body_step;
        OPT = kept_opt;
        APP.frame_period = kept_frame_period;
    }
    // Writes local/amaze/test/levels.lua, sets up the state on it and runs the queued start.
    void start(const char* levels)
    {
        std::filesystem::create_directories("local/amaze/test");
        harness_write_file("local/amaze/test/levels.lua", levels);
        snprintf(OPT.next_level, sizeof OPT.next_level, "test");
        OPT.next_number = 1;
        ASSERT_TRUE(amaze_setup(&AMAZE, &GFX));
        con_update(&CON);
    }
    // A flat map of w x h cells held by the terrain, with an empty cell array.
    void flat_map(int32_t w, int32_t h)
    {
        isomap* m = &AMAZE.isomap;
        m->cells_x = w;
        m->cells_y = h;
        m->points = (isomap_point*)mem_alloc(sizeof(isomap_point) * (2 * h + 1) * (w + 1));
        amaze_items_alloc_cells(&AMAZE.items);
    }
    // One mind tick's worth of phases, as the timing driver delivers them.
    void tick()
    {
        for (uint32_t phase : {UPDATE_FRAME_BEGIN, UPDATE_MIND_TICK, UPDATE_MIND_AFTER, UPDATE_FRAME_END})
            amaze_update(&AMAZE, phase);
    }
    void body(int32_t ms) // a body step of ms milliseconds
    {
        body_step = ms;
        amaze_update(&AMAZE, UPDATE_BODY_STEP);
    }
    std::string run(const char* code) { return lua_fixture_run(CON.L, code); }   // "" or the error
    std::string eval(const char* expr) { return lua_fixture_eval(CON.L, expr); } // tostring of the value
    // The record behind the Lua item table of that global name.
    amazeitem* item(const char* global)
    {
        lua_getglobal(CON.L, global);
        lua_getfield(CON.L, -1, "amazeitem");
        amazeitem** slot = lua_isuserdata(CON.L, -1) ? (amazeitem**)lua_touserdata(CON.L, -1) : nullptr;
        lua_pop(CON.L, 2);
        return slot ? *slot : nullptr;
    }
    static std::string errors() { return harness_read_file("ERROR.TXT"); }
    amaze* a = &AMAZE;

private:
    // Taken as the fixture is made, before SetUp changes anything.
    const int32_t kept_mind_step = mind_step, kept_body_step = body_step;
    const opts kept_opt = OPT;
    const int32_t kept_frame_period = APP.frame_period;
};
