// Fuzz target for the script parsers of the xtra library: the first byte picks the XML
// parser or the CSV splitter (with an optional field number), the rest is the text. A Lua
// error is a valid outcome; a crash, a sanitizer report or a stack left unbalanced is not.
#include <cstdint>
#include <cstdlib>

#include "engine/code/safelua.h"
#include "engine/code/xtra.h"

static lua_State* L;

static int open_body(lua_State* s)
{
    safelua_open_libs(s);
    xtra_lua_register(s);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 1 << 16)
        return 0;
    if (!L) {
        L = luaL_newstate();
        if (!L || !safelua_cpcall(L, open_body, nullptr))
            abort();
    }
    int pick = data[0];
    int top = lua_gettop(L);
    lua_pushcfunction(L, (pick & 1) ? xtra_parse_csv_line : xtra_parse_xml);
    lua_pushlstring(L, (const char*)data + 1, size - 1);
    int args = 1;
    if ((pick & 1) && (pick & 2)) {
        lua_pushnumber(L, (lua_Number)((pick >> 2) - 8)); // field numbers -8 .. 55
        args = 2;
    }
    lua_pcall(L, args, LUA_MULTRET, 0);
    lua_settop(L, top);
    lua_gc(L, LUA_GCCOLLECT, 0);
    return 0;
}
