// Lua library tdata: data-file parsing (the same parsers as xtra) and the installation's
// folders for the scripts that read game data, then the script local/lua/tdata.lua.

#include "app/code/con.h"
#include "engine/code/lua_lib.h"
#include "engine/code/xtra.h"

static int tdata_dir_local(lua_State* L)
{
    lua_pushstring(L, "local/");
    return 1;
}

static int tdata_dir_data(lua_State* L)
{
    lua_pushstring(L, "data/");
    return 1;
}

static const luaL_Reg tdata_funcs[] = {
    {"parse_xml", xtra_parse_xml},
    {"parse_csv_line", xtra_parse_csv_line},
    {"dir_local", tdata_dir_local},
    {"dir_data", tdata_dir_data},
    {NULL, NULL},
};

void tdata_lua_setup(lua_State* L)
{
    lua_lib_register(L, "tdata", tdata_funcs);
    lua_lib_run_script(L, "tdata");
}
