// The maze tests' world.

#include "tests/app/amaze/amaze_fixture.h"

#include <cstring>
#include <filesystem>

#include "app/code/con.h"
#include "app/code/main_state.h"
#include "app/code/opt.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/mem.h"
#include "tests/harness/harness.h"
#include "tests/harness/lua_fixture.h"
#include "tests/harness/staged_fixture.h"

void AmazeTest::SetUp()
{
    memset(&AMAZE, 0, sizeof AMAZE);
    ASSERT_NO_FATAL_FAILURE(staged_open(true));
    mind_step = 100;
    body_step = 10;
    main_state_curr = &main_state_amaze;
}

void AmazeTest::TearDown()
{
    amaze_clean(&AMAZE);
    staged_close();
}

void AmazeTest::start(const char* levels)
{
    std::filesystem::create_directories("local/amaze/test");
    harness_write_file("local/amaze/test/levels.lua", levels);
    snprintf(OPT.next_level, sizeof OPT.next_level, "test");
    OPT.next_number = 1;
    ASSERT_TRUE(amaze_setup(&AMAZE, &GFX));
    con_update(&CON);
}

void AmazeTest::flat_map(int32_t w, int32_t h)
{
    isomap* m = &AMAZE.isomap;
    m->cells_x = w;
    m->cells_y = h;
    m->points = (isomap_point*)mem_alloc(sizeof(isomap_point) * (2 * h + 1) * (w + 1));
    amaze_items_alloc_cells(&AMAZE.items);
}

void AmazeTest::tick()
{
    amaze_update(&AMAZE, UPDATE_FRAME_BEGIN);
    amaze_update(&AMAZE, UPDATE_MIND_TICK);
    amaze_update(&AMAZE, UPDATE_MIND_AFTER);
    amaze_update(&AMAZE, UPDATE_FRAME_END);
}

void AmazeTest::body(int32_t ms)
{
    body_step = ms;
    amaze_update(&AMAZE, UPDATE_BODY_STEP);
}

std::string AmazeTest::run(const char* code) { return lua_fixture_run(CON.L, code); }
std::string AmazeTest::eval(const char* expr) { return lua_fixture_eval(CON.L, expr); }
amazeitem* AmazeTest::item(const char* global)
{
    lua_getglobal(CON.L, global);
    lua_getfield(CON.L, -1, "amazeitem");
    amazeitem** slot = lua_isuserdata(CON.L, -1) ? (amazeitem**)lua_touserdata(CON.L, -1) : nullptr;
    lua_pop(CON.L, 2);
    return slot ? *slot : nullptr;
}

std::string AmazeTest::errors() { return harness_read_file("ERROR.TXT"); }
