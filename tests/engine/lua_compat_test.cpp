// The older-API behaviours rebuilt on Lua 5.1: runners that report through _ALERT (or the
// error stream without one), resume classification, the non-raising userdata check and the
// collector figures.
#include <gtest/gtest.h>

#include <string>

#include "engine/code/lua_compat.h"
#include "tests/harness/lua_fixture.h"

namespace {

struct CompatTest : testing::Test {
    lua_State* L = nullptr;
    void SetUp() override
    {
        L = luaL_newstate();
        luaL_openlibs(L);
    }
    void TearDown() override { lua_close(L); }
};

}  // namespace

// A failed load or run hands its message to _ALERT and leaves the stack as it was; a run
// that succeeds keeps all its results. Without an alert function the message goes to the
// error stream.
TEST_F(CompatTest, FailuresGoToAlertOrTheErrorStreamAndLeaveTheStackAsItWas)
{
    luaL_dostring(L, "alerts = {} _ALERT = function(m) alerts[#alerts + 1] = m end");
    ASSERT_EQ(compat_dostring(L, "return 1, 2, 3"), 0);
    EXPECT_EQ(lua_gettop(L), 3);
    lua_settop(L, 0);
    struct {
        const char* what;
        bool file;
        const char* text;
        const char* alert;
    } cases[] = {
        {"run error", false, "error('boom', 0)", "boom"},
        {"syntax error", false, "this is not lua", "[string \"this is not lua\"]:1: '=' expected near 'is'"},
        {"missing file", true, "no/such/file.lua", "cannot open no/such/file.lua: No such file or directory"},
    };
    for (auto& c : cases) {
        EXPECT_NE(c.file ? compat_dofile(L, c.text) : compat_dostring(L, c.text), 0) << c.what;
        EXPECT_EQ(lua_gettop(L), 0) << c.what;
        EXPECT_EQ(lua_fixture_eval(L, "alerts[#alerts]"), c.alert) << c.what;
    }
    EXPECT_EQ(lua_fixture_eval(L, "#alerts"), "3");

    luaL_dostring(L, "_ALERT = nil");
    testing::internal::CaptureStderr();
    EXPECT_NE(compat_dostring(L, "error('to stderr', 0)"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "to stderr\n");
    EXPECT_EQ(lua_gettop(L), 0);
}

// A yield hands back its values, an error leaves the thread dead with its message on top
// (and any later resume is refused as dead, the message a dead coroutine gets), and a
// thread given nothing to run is refused without being marked dead.
TEST_F(CompatTest, ResumeClassifiesYieldErrorAndNothingToRun)
{
    struct {
        const char* chunk; // null: nothing loaded
        compat_resume_result result;
        const char* top;
        bool dead;
    } cases[] = {
        {"coroutine.yield(7) return 1", COMPAT_RESUME_YIELDED, "7", false},
        {"error('inside', 0)", COMPAT_RESUME_FAILED, "inside", true},
        {nullptr, COMPAT_RESUME_FAILED, "cannot resume dead coroutine", false},
    };
    for (auto& c : cases) {
        lua_State* co = lua_newthread(L);
        if (c.chunk)
            luaL_loadstring(co, c.chunk);
        EXPECT_EQ(compat_resume(co, 0), c.result) << (c.chunk ? c.chunk : "nothing");
        EXPECT_STREQ(lua_tostring(co, -1), c.top);
        EXPECT_EQ(compat_thread_is_dead(co), c.dead);
        lua_settop(co, 0);
        if (c.dead) { // stays refused as dead, also with an empty stack
            EXPECT_EQ(compat_resume(co, 0), COMPAT_RESUME_FAILED);
            EXPECT_STREQ(lua_tostring(co, -1), "cannot resume dead coroutine");
        }
        lua_pop(L, 1);
    }
}

// Failed and yielding threads are classified through the safe layer's thread queue.
TEST_F(CompatTest, AFinishedCoroutineIsRefusedNotCalled)
{
    lua_State* co = lua_newthread(L);
    luaL_loadstring(co, "return 1, 2");
    EXPECT_EQ(compat_resume(co, 0), COMPAT_RESUME_FINISHED);
    EXPECT_EQ(lua_gettop(co), 2);
    // Its stack now holds values, which a resume would call.
    EXPECT_EQ(compat_resume(co, 0), COMPAT_RESUME_FAILED);
    EXPECT_STREQ(lua_tostring(co, -1), "cannot resume dead coroutine");
}

TEST_F(CompatTest, CheckudataReturnsNullInsteadOfRaising)
{
    luaL_newmetatable(L, "alpha");
    lua_settop(L, 0);
    void* a = lua_newuserdata(L, 8); // 1: of the type
    luaL_getmetatable(L, "alpha");
    lua_setmetatable(L, -2);
    lua_newuserdata(L, 8);      // 2: no metatable
    lua_pushlightuserdata(L, a); // 3: the same address, but no userdata
    lua_pushnumber(L, 3);        // 4
    for (int i = 1; i <= 4; i++)
        EXPECT_EQ(compat_checkudata(L, i - 5, "alpha"), i == 1 ? a : nullptr) << i;
    EXPECT_EQ(compat_checkudata(L, 1, "unregistered"), nullptr);
    EXPECT_EQ(lua_gettop(L), 4);
}

// The collector's own figures: the count in kilobytes, and the threshold
// as the use at which a cycle finishing now would start the next (use x pause / 100).
TEST_F(CompatTest, GcFiguresFollowTheCollectorAndLeaveItsPauseAlone)
{
    luaL_dostring(L, "junk = {} for i = 1, 20000 do junk[i] = {i} end");
    for (int pause : {150, 300}) {
        lua_getglobal(L, "collectgarbage");
        lua_pushstring(L, "setpause");
        lua_pushnumber(L, pause);
        lua_call(L, 2, 0);
        double kb = lua_gc(L, LUA_GCCOUNT, 0) + lua_gc(L, LUA_GCCOUNTB, 0) / 1024.0;
        EXPECT_NEAR(compat_getgccount(L), kb, 1.0);
        // Whole kilobytes times the pause: at most pause / 100 KB below the exact figure.
        EXPECT_NEAR(compat_getgcthreshold(L), kb * pause / 100.0, pause / 100.0 + 1) << pause;
        EXPECT_EQ(lua_fixture_eval(L, "collectgarbage('setpause', 100)"), std::to_string(pause)) << "left as it was";
    }
}
