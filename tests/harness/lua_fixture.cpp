// Lua helpers for tests (see lua_fixture.h).

#include "tests/harness/lua_fixture.h"

std::string lua_fixture_run(lua_State* L, const char* code)
{
    int top = lua_gettop(L);
    std::string msg;
    if (luaL_loadstring(L, code) != 0 || lua_pcall(L, 0, 0, 0) != 0) {
        const char* s = lua_tostring(L, -1);
        msg = s ? s : "(error without a message)";
    }
    lua_settop(L, top);
    return msg;
}

std::string lua_fixture_eval(lua_State* L, const char* expr)
{
    int top = lua_gettop(L);
    std::string chunk = std::string("return tostring(") + expr + ")";
    std::string out;
    if (luaL_loadstring(L, chunk.c_str()) != 0 || lua_pcall(L, 0, 1, 0) != 0)
        out = "error: ";
    const char* s = lua_tostring(L, -1);
    out += s ? s : "(no text)";
    lua_settop(L, top);
    return out;
}
