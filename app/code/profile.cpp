// Lua library profile: the data-file parsers of xtra for the profile scripts, then the
// script local/lua/profile.lua.

#include "app/code/con.h"
#include "engine/code/lua_lib.h"
#include "engine/code/xtra.h"

static const luaL_Reg profile_funcs[] = {
    {"parse_xml", xtra_parse_xml},
    {"parse_csv_line", xtra_parse_csv_line},
    {NULL, NULL},
};

void profile_lua_setup(lua_State* L)
{
    lua_lib_register(L, "profile", profile_funcs);
    lua_lib_run_script(L, "profile");
}
