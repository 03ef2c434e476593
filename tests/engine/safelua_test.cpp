// The safe Lua layer: error reports, protected runners and loaders, the script-thread
// queue, print and the console's call completion. (The file-and-line report of a failing
// script file is pinned by the Lua environment's start-up tests.)
#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/stat.h>

#include <string>

#include "engine/code/dbg.h"
#include "engine/code/safelua.h"
#include "tests/harness/harness.h"
#include "tests/harness/log_capture.h"
#include "tests/harness/lua_fixture.h"

namespace {

std::string print_pieces;

void on_print(const char* text) { print_pieces += "[" + std::string(text) + "]"; }

struct SafeluaTest : testing::Test {
    lua_State* L = nullptr;
    void SetUp() override
    {
        log_capture_start();
        dbg_print_hook = on_print; // keeps the pieces apart
        L = luaL_newstate();
        ASSERT_TRUE(safelua_cpcall(L, safelua_open_libs, nullptr));
        LOGGED.error.clear();
        print_pieces.clear();
    }
    void TearDown() override
    {
        lua_close(L);
        log_capture_stop();
    }

    bool run(const char* text) { return safelua_dobuffer(L, text, strlen(text)); }
    bool queue(const char* text)
    {
        return safelua_loadbuffer(L, text, strlen(text)) && safelua_thread_add(L);
    }
    std::string eval(const char* expr) { return lua_fixture_eval(L, expr); }
};

}  // namespace

TEST_F(SafeluaTest, PlainErrorHasEmptySecondLineThenTheRunnerErrorAndCpcallPopsIt)
{
    int top = lua_gettop(L);
    EXPECT_TRUE(run("x = 5 return 1, 2"));  // results are not left behind
    EXPECT_EQ(lua_gettop(L), top);
    EXPECT_EQ(LOGGED.error, "");
    EXPECT_FALSE(run("error('boom', 0)"));
    EXPECT_EQ(LOGGED.error,
              "LUA ERROR boom\n"
              "LUA ERROR lua_dobuffer(\"error('boom', 0)\") failed. in lua_cpcall\n");
    EXPECT_EQ(lua_gettop(L), top);

    // A failing protected call logs, pops its error and fails.
    LOGGED.error.clear();
    lua_pushnumber(L, 1);
    auto body = [](lua_State* S) -> int { return luaL_error(S, "from body"); };
    EXPECT_FALSE(safelua_cpcall(L, body, nullptr));
    EXPECT_EQ(LOGGED.error, "LUA ERROR from body in lua_cpcall\n");
    EXPECT_EQ(lua_gettop(L), 1);
}

TEST_F(SafeluaTest, TostringConvertsNumbersInPlaceAndRefusesOtherSlots)
{
    lua_pushnumber(L, 2.5);
    lua_newtable(L);
    EXPECT_STREQ(safelua_tostring(L, -2), "2.5");
    EXPECT_EQ(lua_type(L, 1), LUA_TSTRING);  // the text lives in the caller's slot
    for (int slot : {-1, 3, -3})
        EXPECT_EQ(safelua_tostring(L, slot), nullptr) << slot;
    EXPECT_EQ(lua_gettop(L), 2);
}

TEST_F(SafeluaTest, LoadsPushTheChunkOrNothingAndPrintWritesPiecesSeparatedByTabs)
{
    EXPECT_FALSE(safelua_loadbuffer(L, "x = = 1", 7));
    EXPECT_FALSE(safelua_loadfile(L, "nope.lua"));
    EXPECT_EQ(lua_gettop(L), 0);
    // The compiler's own message is not reported.
    EXPECT_EQ(LOGGED.error, "LUA ERROR luaL_loadbuffer(\"x = = 1\") failed. in lua_cpcall\n"
                            "LUA ERROR luaL_loadfile(\"nope.lua\") failed. in lua_cpcall\n");
    ASSERT_TRUE(safelua_loadbuffer(L, "y = 3", 5));
    EXPECT_TRUE(lua_isfunction(L, -1) && lua_gettop(L) == 1);
    EXPECT_EQ(eval("y"), "nil");  // compiled, not run
    lua_settop(L, 0);

    EXPECT_TRUE(run("print(1, 'a', nil) print()"));
    EXPECT_EQ(print_pieces, "[1][\t][a][\t][nil][\n][\n]");
    EXPECT_FALSE(run("tostring = function() return {} end print(1)"));
    EXPECT_NE(LOGGED.error.find("'tostring' must return a string to 'print'"), std::string::npos);
}

TEST_F(SafeluaTest, ThreadsRunUntilTheyEndAndARemovalRestartsTheWalk)
{
    EXPECT_TRUE(safelua_threads_update(L));  // no queue yet
    EXPECT_FALSE(safelua_thread_add(L));     // nothing on the stack to queue
    ASSERT_TRUE(queue("while true do a = (a or 0) + 1 coroutine.yield() end"));
    ASSERT_TRUE(queue("b = (b or 0) + 1 return 1"));
    ASSERT_TRUE(queue("c = (c or 0) + 1 coroutine.yield() c = c + 1 coroutine.yield() c = c + 1"));
    // The second ends in the first update; its removal restarts the walk, so the first
    // runs twice in that update.
    ASSERT_TRUE(safelua_threads_update(L));
    EXPECT_EQ(eval("a .. b .. c"), "211");
    // A new thread takes a fresh key: one reusing the third's would stop it.
    ASSERT_TRUE(queue("d = 1"));
    // The third yielded twice: it runs in three updates and is removed in the third.
    ASSERT_TRUE(safelua_threads_update(L));
    ASSERT_TRUE(safelua_threads_update(L));
    EXPECT_EQ(eval("b .. c .. d"), "131");
    EXPECT_EQ(lua_gettop(L), 0);
    EXPECT_EQ(LOGGED.error, "");
}

TEST_F(SafeluaTest, FailingThreadIsReportedOnceAndDroppedAndAThreadQueuedByAThreadRunsLater)
{
    ASSERT_TRUE(queue("while true do a = (a or 0) + 1 coroutine.yield() end"));
    ASSERT_TRUE(queue("coroutine.yield() error('thread broke', 0)"));
    for (int i = 0; i < 5; i++)
        ASSERT_TRUE(safelua_threads_update(L));
    EXPECT_EQ(LOGGED.error, "LUA ERROR thread broke\n");
    EXPECT_EQ(eval("a"), "6");  // 1 + 2 (the failure's removal restarts the walk) + 1 + 1 + 1

    LOGGED.error.clear();
    ASSERT_TRUE(queue("error(42, 0)"));
    ASSERT_TRUE(queue("error({})"));
    lua_register(L, "queue", [](lua_State* S) -> int {
        size_t n;
        const char* text = luaL_checklstring(S, 1, &n);
        safelua_loadbuffer(S, text, n);
        safelua_thread_add(S);
        return 0;
    });
    ASSERT_TRUE(queue("queue('late = true')"));
    ASSERT_TRUE(safelua_threads_update(L));
    EXPECT_EQ(LOGGED.error, "LUA ERROR 42\nLUA ERROR (error with no message)\n");
    ASSERT_TRUE(safelua_threads_update(L));
    EXPECT_EQ(eval("late"), "true");
}

TEST(SafeluaAddParens, CompletesOnlyBareNames)
{
    struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"a", "a()"},
        {"menu.refresh", "menu.refresh()"},
        {"opt.dump_2", "opt.dump_2()"},
        {"9a", "9a"},
        {"x = 1", "x = 1"},
        {"_x", "_x"},
    };
    for (auto& c : cases) {
        char line[64];
        snprintf(line, sizeof(line), "%s", c.in);
        safelua_add_parens(line);
        EXPECT_STREQ(line, c.out) << c.in;
    }
}
