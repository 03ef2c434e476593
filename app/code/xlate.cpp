// Lua library xlate: an empty table that local/lua/xlate.lua fills; the environment runs
// its onexit() whenever the Lua state closes.

#include "app/code/con.h"
#include "engine/code/lua_lib.h"

void xlate_lua_setup(lua_State* L)
{
    lua_lib_register(L, "xlate", NULL);
    lua_lib_run_script(L, "xlate");
}
