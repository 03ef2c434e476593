// Library registration and the two userdata shapes, driven through a small library of
// the test's own: records whose metatable is their own __index, and one-pointer userdata
// handed out as closures.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <string>

#include "engine/code/lua_lib.h"
#include "engine/code/safelua.h"
#include "tests/harness/lua_fixture.h"

namespace {

struct thing {
    int value;
};

int freed;  // records freed by the pointer type's __gc

int thing_new(lua_State* L)
{
    int value = (int)luaL_optnumber(L, 1, 0);
    ((thing*)lua_lib_new_record(L, "thing", sizeof(thing)))->value = value;
    return 1;
}

int thing_get(lua_State* L)
{
    lua_pushnumber(L, ((thing*)lua_lib_check(L, 1, "thing"))->value);
    return 1;
}

int widget_gc(lua_State* L)
{
    void** slot = lua_lib_ptr_slot(L, 1, "widget*ptr");
    if (slot && *slot) {
        delete (thing*)*slot;
        *slot = NULL;
        freed++;
    }
    return 0;
}

int widget_get(lua_State* L)
{
    lua_pushnumber(L, ((thing*)lua_lib_bound_ptr(L, "widget"))->value);
    return 1;
}

int widget_drop(lua_State* L)
{
    lua_settop(L, 0);
    lua_pushvalue(L, lua_upvalueindex(1));
    widget_gc(L);
    return 0;
}

int widget_alloc(lua_State* L)
{
    static const luaL_Reg funcs[] = {{"get", widget_get}, {"drop", widget_drop}, {NULL, NULL}};
    int value = (int)luaL_checknumber(L, 1);
    lua_lib_new_ptr(L, "widget*ptr", new thing{value});
    lua_lib_push_bound(L, -1, funcs);
    return 1;
}

// A record of another type with the same size and no methods.
int other_new(lua_State* L)
{
    lua_lib_new_record(L, "other", sizeof(thing));
    return 1;
}

int register_test_lib(lua_State* L)
{
    static const luaL_Reg lib[] = {{"new", thing_new}, {"widget", widget_alloc}, {"other", other_new}, {NULL, NULL}};
    static const luaL_Reg methods[] = {{"get", thing_get}, {NULL, NULL}};
    lua_lib_new_type(L, "thing", methods);
    lua_lib_new_type(L, "other", nullptr);
    lua_lib_new_ptr_type(L, "widget*ptr", widget_gc);
    lua_lib_register(L, "lib", lib);
    lua_lib_run_script(L, "lib");
    return 0;
}

struct LuaLibTest : testing::Test {
    lua_State* L = nullptr;
    void SetUp() override
    {
        mkdir("local", 0777);
        mkdir("local/lua", 0777);
        std::ofstream("local/lua/lib.lua") << "lib.from_script = type(lib.new)";
        L = luaL_newstate();
        ASSERT_TRUE(safelua_cpcall(L, safelua_open_libs, nullptr));
        ASSERT_TRUE(safelua_cpcall(L, register_test_lib, nullptr));
        freed = 0;
    }
    void TearDown() override
    {
        if (L)
            lua_close(L);
    }
    std::string eval(const char* expr) { return lua_fixture_eval(L, expr); }
};

}  // namespace

TEST_F(LuaLibTest, RecordMethodsRefuseOtherValuesAndTheLibraryIsAGlobalTable)
{
    EXPECT_EQ(eval("lib.new(7):get()"), "7");
    EXPECT_EQ(eval("getmetatable(lib.new()).__index == getmetatable(lib.new())"), "true");
    // Anything but a thing is refused with the argument error "bad thing": a table, a
    // record of another type of the same size, a userdata without a metatable, a number.
    // The library's argument error reads "bad argument #<n> to '<function>' (<extra>)", and
    // a function called by pcall has no name: '?'.
    for (const char* arg : {"{}", "lib.other()", "lib.widget(1)", "newproxy(false)", "newproxy(true)", "7", "nil"}) {
        std::string err = eval(("select(2, pcall(lib.new().get, " + std::string(arg) + "))").c_str());
        EXPECT_EQ(err, "bad argument #1 to '?' (bad thing)") << arg;
    }

    // The library is a global table and its script runs after it.
    EXPECT_EQ(eval("lib.from_script"), "function");
    lua_lib_unregister(L, "lib");
    EXPECT_EQ(eval("lib"), "nil");
}

TEST_F(LuaLibTest, PointerUserdataLivesWithItsClosuresAndReportsAClearedPointer)
{
    EXPECT_EQ(eval("(function() w = lib.widget(5) return w.get() end)()"), "5");
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_EQ(freed, 0);  // the closures keep the userdata alive
    EXPECT_EQ(eval("w.get()"), "5");

    EXPECT_EQ(eval("(function() w.drop() return select(2, pcall(w.get)) end)()"),
              "null pointer in widget usedata");
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(eval("(function() w = nil lib.widget(2) return 0 end)()"), "0");
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_EQ(freed, 2);  // the unreachable one is freed by __gc, the dropped one not twice
}
