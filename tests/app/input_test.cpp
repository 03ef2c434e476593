// The control state through KEYS, the name tables, the dispatch of raw events to the Lua
// handlers, and the installation's bindings.
#include <gtest/gtest.h>

#include <lua5.1/lua.hpp>

#include <cmath>
#include <filesystem>
#include <string>

#include "app/code/con.h"
#include "app/code/entry.h"
#include "app/code/input.h"
#include "platform/dinput8.h"

namespace {

struct Input : ::testing::Test {
    lua_State* L = nullptr;
    void SetUp() override
    {
        INPUT = input_state();
        input_events.count = 0;
        L = luaL_newstate();
        luaL_openlibs(L);
        input_lua_setup(L); // no local/lua/input.lua here: the tables stay empty
        ASSERT_EQ(lua_gettop(L), 0);
    }
    void TearDown() override
    {
        CON.L = nullptr;
        lua_close(L);
    }
    // Runs a chunk; returns its results joined by commas ("t"/"f" for booleans).
    std::string run(const char* code)
    {
        int top = lua_gettop(L);
        if (luaL_loadstring(L, code) || lua_pcall(L, 0, LUA_MULTRET, 0)) {
            std::string e = lua_tostring(L, -1);
            lua_settop(L, top);
            return "error: " + e;
        }
        std::string out;
        for (int i = top + 1; i <= lua_gettop(L); i++) {
            if (!out.empty())
                out += ",";
            if (lua_isboolean(L, i))
                out += lua_toboolean(L, i) ? "t" : "f";
            else if (lua_isnil(L, i))
                out += "nil";
            else
                out += lua_tostring(L, i);
        }
        lua_settop(L, top);
        return out;
    }
    void event(int32_t device, int32_t kind, int32_t offset, int32_t data)
    {
        input_events.events[input_events.count++] = {device, kind, offset, data};
    }
    bool dispatch()
    {
        bool ok = lua_cpcall(L, input_lua_dispatch, &input_events) == 0;
        lua_settop(L, 0);
        input_events.count = 0;
        return ok;
    }
};

} // namespace

TEST_F(Input, AxisPressesOneDirectionAndReleasesTheOther)
{
    input_player& p1 = INPUT.players[0];
    EXPECT_EQ(run("return KEYS.p1_leftright(-1)"), "-1");
    EXPECT_EQ(p1.leftright, -1);
    EXPECT_TRUE(p1.left.held && p1.left.pressed);
    EXPECT_FALSE(p1.right.held);

    EXPECT_EQ(run("return KEYS.p1_leftright(1)"), "1");
    EXPECT_TRUE(!p1.left.held && p1.left.released);
    EXPECT_TRUE(p1.right.held && p1.right.pressed);

    EXPECT_EQ(run("return KEYS.p1_leftright(0)"), "0");
    EXPECT_TRUE(!p1.right.held && p1.right.released);
    EXPECT_FALSE(INPUT.players[1].left.pressed || INPUT.players[4].left.pressed); // other blocks untouched

    // A fraction truncates towards zero: -0.5 is 0 and releases both directions.
    run("KEYS.updown(-3)");
    EXPECT_EQ(run("return KEYS.updown(-0.5)"), "0");
    EXPECT_FALSE(INPUT.players[4].up.held || INPUT.players[4].down.held);
    EXPECT_EQ(run("return KEYS.inout()"), "0");
}

TEST_F(Input, ButtonsReportHeldPressedReleased)
{
    EXPECT_EQ(run("return KEYS.click(0x80)"), "t,t,f");
    EXPECT_EQ(run("return KEYS.click(0x80)"), "t,t,f");
    EXPECT_EQ(run("return KEYS.click(0)"), "f,t,t");

    EXPECT_EQ(run("return KEYS.p2_up(true)"), "t,t,f");
    EXPECT_EQ(run("return KEYS.p2_up(false)"), "f,t,t");
    INPUT.players[1].up = input_button();
    EXPECT_EQ(run("return KEYS.p2_up()"), "f,f,f");
    EXPECT_EQ(run("return KEYS.p2_up(nil)"), "f,f,f");
    EXPECT_EQ(run("return KEYS.p2_up({})"), "f,f,f");
    EXPECT_EQ(run("return KEYS.p2_up('128')"), "t,t,f"); // numeric strings count
    EXPECT_EQ(run("return KEYS.p2_up('down')"), "t,t,f"); // other strings change nothing
    EXPECT_EQ(run("return KEYS['in'](1), KEYS.p4_out(1), KEYS.grab(1), KEYS.menu(1)"), "t,t,t,t,t,f"); // all but the last call give one value
    EXPECT_TRUE(INPUT.players[4].in.held && INPUT.players[3].out.held && INPUT.grab.held && INPUT.menu.held);

    // The top of the next frame clears the edges; held stays until a release.
    main_loop_clear_input(&INPUT);
    EXPECT_EQ(run("return KEYS.grab()"), "t,f,f");
    EXPECT_EQ(run("return KEYS.grab(0)"), "f,f,t");
}

TEST_F(Input, OutOfRangeNumbersSaturateAndNeverRaise)
{
    EXPECT_EQ(run("return KEYS.leftright(1e300)"), "2147483647");
    EXPECT_EQ(run("return KEYS.leftright(-1/0)"), "-2147483648");
    EXPECT_EQ(run("return KEYS.leftright(0/0)"), "0");
    EXPECT_FALSE(INPUT.players[4].left.held || INPUT.players[4].right.held);
    EXPECT_EQ(run("return KEYS.click(0/0)"), "f,f,f");
}

TEST_F(Input, NameTablesMapBothWaysAndKeysHoldsItsFunctions)
{
    const char* count = "local t = input[...] local n = 0 for k in pairs(t) do if type(k) == 'string' then n = n + 1 end end return n";
    auto count_names = [&](const char* table) {
        std::string code = std::string("return (function(...) ") + count + " end)('" + table + "')";
        return run(code.c_str());
    };
    EXPECT_EQ(count_names("key_names"), "144");
    EXPECT_EQ(count_names("joy_names"), "164");
    EXPECT_EQ(count_names("mouse_names"), "11");
    EXPECT_EQ(run("local k = input.key_names return k.ESCAPE, k[200], k.NUMPADENTER, k[1], k['1'], k[237]"),
              "1,UP,156,ESCAPE,2,MEDIASELECT");
    EXPECT_EQ(run("local j = input.joy_names return j.B127, j[175], j.POV3, j.FS1, j[176], j.ARX"), "175,B127,44,268,VX,220");
    EXPECT_EQ(run("local m = input.mouse_names return m[19], m.Z, m.B1"), "B7,8,13");
    EXPECT_EQ(run("for k = 0, 23 do if type(input[k]) ~= 'table' then return k end end return 'all'"), "all");
    EXPECT_EQ(run("return input[24]"), "nil");
    EXPECT_EQ(run("local n = 0 for k, v in pairs(KEYS) do if type(v) == 'function' then n = n + 1 end end return n"), "48");
    EXPECT_EQ(run("return type(KEYS.p3_inout), type(KEYS.p4_out), type(KEYS.out), type(KEYS.p5_left)"),
              "function,function,function,nil");
}

TEST_F(Input, EveryKeyTheDevicesReportHasAName)
{
    lua_getglobal(L, "input");
    lua_getfield(L, -1, "key_names");
    for (int sc = 0; sc < 512; sc++) {
        DWORD dik = plat_di8_dik_from_scancode(sc);
        if (!dik)
            continue;
        lua_rawgeti(L, -1, (int)dik);
        EXPECT_TRUE(lua_isstring(L, -1)) << "scan code " << dik;
        lua_pop(L, 1);
    }
    lua_settop(L, 0);
}

TEST_F(Input, DeviceHandlerFirstThenKindWithoutFallingThroughOtherValues)
{
    run("log = {}"
        " input[8][12] = function(v) log[#log + 1] = 'kind' .. v end"
        " input[9][12] = 5"
        " input[8][13] = function(v) log[#log + 1] = 'kind13:' .. v end"
        " input[10][12] = function(v) log[#log + 1] = 'dev' .. v end");
    event(9, 8, 12, 128);  // a number in the device table: no handler at all
    event(9, 8, 13, -1);   // no entry in the device table: falls back to the kind
    event(10, 8, 12, 0);   // the device's own handler
    event(30, 8, 12, 7);   // a key without a table: the kind's handler
    EXPECT_TRUE(dispatch());
    EXPECT_EQ(run("return table.concat(log, ' ')"), "kind13:-1 dev0 kind7");

    // Tables replaced by scripts with something else mean no handler, never an error.
    run("input[16] = 'nope'");
    event(17, 16, 1, 1);
    EXPECT_TRUE(dispatch());
    run("input = nil");
    event(17, 16, 1, 1);
    EXPECT_TRUE(dispatch());
}

TEST_F(Input, HandlerErrorEndsOnlyThisFramesDispatch)
{
    run("log = {}"
        " input[16][1] = function(v) error('boom') end"
        " input[16][2] = function(v) log[#log + 1] = v end");
    event(17, 16, 2, 1);
    event(17, 16, 1, 0x80);
    event(17, 16, 2, 2);
    EXPECT_FALSE(dispatch());
    event(17, 16, 2, 3);
    EXPECT_TRUE(dispatch());
    EXPECT_EQ(run("return table.concat(log, ' ')"), "1 3");
}

TEST_F(Input, DispatchRunsOnTheShellsLuaState)
{
    run("input[16][30] = function(v) KEYS.click(v) end");
    event(17, 16, 30, 0x80);
    EXPECT_FALSE(input_dispatch()); // no Lua environment: nothing runs
    EXPECT_FALSE(INPUT.click.held);
    CON.L = L;
    EXPECT_TRUE(input_dispatch());
    EXPECT_TRUE(INPUT.click.held);
    run("input[16][30] = function(v) error('x') end");
    EXPECT_FALSE(input_dispatch());
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(Input, InstallationBindingsReachKeys)
{
    namespace fs = std::filesystem;
    fs::create_directories("local/lua");
    fs::copy_file(fs::path(DORVALE_SOURCE_DIR) / "local/lua/input.lua", "local/lua/input.lua",
                  fs::copy_options::overwrite_existing);
    lua_close(L);
    L = luaL_newstate();
    luaL_openlibs(L);
    input_lua_setup(L);
    event(9, 8, 12, 0x80);    // first mouse, left button
    event(17, 16, 200, 0x80); // Up
    event(17, 16, 201, 0x80); // Page Up
    event(1, 0, 0, 0);        // joystick X fully left
    event(9, 8, 13, 0x80);    // right button
    event(9, 8, 14, 0x80);    // middle button
    event(17, 16, 1, 0x80);   // Escape: the window's alone
    ASSERT_TRUE(dispatch());
    EXPECT_TRUE(INPUT.click.held && INPUT.click.pressed);
    EXPECT_TRUE(INPUT.players[4].up.held);
    EXPECT_TRUE(INPUT.players[4].in.held);
    EXPECT_TRUE(INPUT.players[4].left.held);
    EXPECT_TRUE(INPUT.grab.held);
    EXPECT_TRUE(INPUT.menu.held && INPUT.menu.pressed);
    event(9, 8, 13, 0);
    event(17, 16, 1, 0x80);
    ASSERT_TRUE(dispatch());
    EXPECT_FALSE(INPUT.menu.held);
    event(1, 0, 0, 32768); // centred
    ASSERT_TRUE(dispatch());
    EXPECT_EQ(INPUT.players[4].leftright, 0);
    EXPECT_TRUE(INPUT.players[4].left.released);
}
