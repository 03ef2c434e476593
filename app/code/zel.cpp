// Lua library zel: the installation's folders and a time stamp in local time, then the
// script local/lua/zel.lua.

#include "app/code/zel.h"

#include <stdio.h>

#include "app/code/con.h"
#include "engine/code/lua_lib.h"

static zel_clock_fn s_clock;

void zel_set_clock(zel_clock_fn clock) { s_clock = clock; }

static int zel_dir_local(lua_State* L)
{
    lua_pushstring(L, "local/");
    return 1;
}

static int zel_dir_data(lua_State* L)
{
    lua_pushstring(L, "data/");
    return 1;
}

// "YYYYMMDD_hhmmss" in local time, the time zone applied.
static int zel_date_time_now(lua_State* L)
{
    time_t now = s_clock ? s_clock() : time(NULL);
    struct tm t;
    char text[64];
    if (!localtime_r(&now, &t))
        return luaL_error(L, "local time is not available");
    snprintf(text, sizeof text, "%04d%02d%02d_%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1,
             t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    lua_pushstring(L, text);
    return 1;
}

static const luaL_Reg zel_funcs[] = {
    {"dir_local", zel_dir_local},
    {"dir_data", zel_dir_data},
    {"date_time_now", zel_date_time_now},
    {NULL, NULL},
};

void zel_lua_setup(lua_State* L)
{
    lua_lib_register(L, "zel", zel_funcs);
    lua_lib_run_script(L, "zel");
}
