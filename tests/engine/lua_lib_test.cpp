// Pointer userdata bound to closures, driven through a small library of the test's own.
// (Record types refusing other values, "null pointer in ... usedata" and the libraries'
// scripts are exercised by every script library's own tests.)
#include <gtest/gtest.h>

#include <string>

#include "engine/code/lua_lib.h"
#include "engine/code/safelua.h"
#include "tests/harness/lua_fixture.h"

namespace {

struct thing {
    int value;
};

int freed; // records freed by the pointer type's __gc

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

int register_test_lib(lua_State* L)
{
    static const luaL_Reg lib[] = {{"widget", widget_alloc}, {NULL, NULL}};
    lua_lib_new_ptr_type(L, "widget*ptr", widget_gc);
    lua_lib_register(L, "lib", lib);
    return 0;
}

} // namespace

TEST(LuaLib, PointerUserdataLivesWithItsClosuresAndReportsAClearedPointer)
{
    lua_State* L = luaL_newstate();
    ASSERT_TRUE(safelua_cpcall(L, safelua_open_libs, nullptr));
    ASSERT_TRUE(safelua_cpcall(L, register_test_lib, nullptr));
    freed = 0;
    EXPECT_EQ(lua_fixture_eval(L, "(function() w = lib.widget(5) return w.get() end)()"), "5");
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_EQ(freed, 0); // the closures keep the userdata alive
    EXPECT_EQ(lua_fixture_eval(L, "w.get()"), "5");

    EXPECT_EQ(lua_fixture_eval(L, "(function() w.drop() return select(2, pcall(w.get)) end)()"),
              "null pointer in widget usedata");
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(lua_fixture_eval(L, "(function() w = nil lib.widget(2) return 0 end)()"), "0");
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_EQ(freed, 2); // the unreachable one is freed by __gc, the dropped one not twice
    lua_close(L);
}
