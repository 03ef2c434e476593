// The safe Lua layer: error reports with the line that names the script and its line,
// protected runners and loaders, the script-thread queue, print and the console's call
// completion.
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

// The report's second line is the message's leading "chunk:line: " turned into a line a tool
// can follow, "../../../vizavev/" + chunk + "(" + line + ") : LUAFILE\n"; a message that does
// not start that way gets an empty second line. A file chunk is named by its path; a buffer
// chunk by [string "text"], the text cut at its first line break or after 43 characters
// (the 60 bytes of a chunk name less the 17 of ' [string "..."] ' with its end), "..."
// marking a cut.
TEST_F(SafeluaTest, ScriptErrorsNameTheirChunkAndLineOnTheSecondLine)
{
    enum how { DOFILE, DOBUFFER, THREAD };
    const std::string long_text = "error('far') -- " + std::string(40, 'p'); // 56 characters
    const std::string long_name = "[string \"error('far') -- " + std::string(27, 'p') + "...\"]"; // 16 + 27
    struct {
        const char* what;
        how run;
        std::string text;    // the file name or the chunk
        std::string message; // the first report line, after "LUA ERROR "
        std::string where;   // the second line
    } cases[] = {
        {"runtime error at line 12 of a file", DOFILE, "local/lua/startup.lua",
         "local/lua/startup.lua:12: bad value", "../../../vizavev/local/lua/startup.lua(12) : LUAFILE\n"},
        {"syntax error at line 3 of a file", DOFILE, "bad.lua", "bad.lua:3: unexpected symbol near '='",
         "../../../vizavev/bad.lua(3) : LUAFILE\n"},
        {"a missing file: a colon, but no number after it", DOFILE, "absent.lua",
         "cannot open absent.lua: No such file or directory", ""},
        {"runtime error in a buffer", DOBUFFER, "x = nil + 1",
         "[string \"x = nil + 1\"]:1: attempt to perform arithmetic on a nil value",
         "../../../vizavev/[string \"x = nil + 1\"](1) : LUAFILE\n"},
        {"syntax error on a buffer's second line", DOBUFFER, "a = 1\nb = = 2",
         "[string \"a = 1...\"]:2: unexpected symbol near '='", "../../../vizavev/[string \"a = 1...\"](2) : LUAFILE\n"},
        {"a long buffer's name is cut", DOBUFFER, long_text, long_name + ":1: far",
         "../../../vizavev/" + long_name + "(1) : LUAFILE\n"},
        {"a colon inside the chunk name ends the scan early", DOBUFFER, "t = {} t:nope()",
         "[string \"t = {} t:nope()\"]:1: attempt to call method 'nope' (a nil value)", ""},
        {"an error raised in a file and run from a buffer names the file", DOBUFFER, "dofile('lib.lua') f()",
         "lib.lua:2: deep", "../../../vizavev/lib.lua(2) : LUAFILE\n"},
        {"a plain text has no position", DOBUFFER, "error('boom', 0)", "boom", ""},
        {"a queued thread failing in its second resume", THREAD, "coroutine.yield() error('late')",
         "[string \"coroutine.yield() error('late')\"]:1: late",
         "../../../vizavev/[string \"coroutine.yield() error('late')\"](1) : LUAFILE\n"},
    };
    ASSERT_EQ(0, mkdir("local", 0777));
    ASSERT_EQ(0, mkdir("local/lua", 0777));
    harness_write_file("local/lua/startup.lua", (std::string(11, '\n') + "error('bad value')\n").c_str());
    harness_write_file("bad.lua", "a = 1\nb = 2\nc = = 3\n");
    harness_write_file("lib.lua", "function f()\n  error('deep')\nend\n");
    for (const auto& c : cases) {
        LOGGED.error.clear();
        std::string tail;
        if (c.run == DOFILE) {
            EXPECT_FALSE(safelua_dofile(L, c.text.c_str())) << c.what;
            tail = "LUA ERROR lua_dofile(\"" + c.text + "\") failed. in lua_cpcall\n";
        } else if (c.run == DOBUFFER) {
            EXPECT_FALSE(safelua_dobuffer(L, c.text.c_str(), c.text.size())) << c.what;
            tail = "LUA ERROR lua_dobuffer(\"" + c.text + "\") failed. in lua_cpcall\n";
        } else {
            ASSERT_TRUE(queue(c.text.c_str())) << c.what;
            ASSERT_TRUE(safelua_threads_update(L));
            EXPECT_EQ(LOGGED.error, "") << c.what;
            ASSERT_TRUE(safelua_threads_update(L));
        }
        EXPECT_EQ(LOGGED.error, "LUA ERROR " + c.message + "\n" + c.where + tail) << c.what;
        EXPECT_EQ(lua_gettop(L), 0) << c.what;
    }
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
