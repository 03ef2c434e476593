// The Lua environment: opening and closing the state, the registration of every library in
// its fixed order, and the runners the rest of the program uses.

#include "app/code/con.h"

#include <string.h>

#include "app/code/opt.h"
#include "engine/code/dbg.h"
#include "engine/code/lua_lib.h"
#include "engine/code/safelua.h"

con_subsystem CON;

// Each library script sees the libraries registered before it and none after; global.lua
// sees only the standard ones. Only startup.lua (run by con_setup) is fatal.
int con_register(lua_State* L)
{
    safelua_open_libs(L);
    lua_lib_run_script(L, "global");
    zel_lua_setup(L);
    tdata_lua_setup(L);
    input_lua_setup(L);
    journal_lua_setup(L);
    profile_lua_setup(L);
    opt_lua_setup(L);
    xtra_lua_register(L);
    sfx_lua_setup(L);
    hud_lua_setup(L);
    devil_lua_setup(L);
    mmap_lua_setup(L);
    hmap_lua_setup(L);
    return 0;
}

int con_register_post(lua_State* L)
{
    soul_lua_setup(L);
    xlate_lua_setup(L);
    return 0;
}

bool con_setup(con_subsystem* con)
{
    memset(con, 0, sizeof(*con));
    memset(&OPT, 0, sizeof(OPT));
    con->L = lua_open();
    if (!con->L) {
        dbg_error("Failed to setup LUA environment");
        con_clean(con);
        return false;
    }
    if (!safelua_cpcall(con->L, con_register, con)) {
        con_clean(con);
        return false;
    }
    if (!con_dofile(con, "local/lua/startup.lua")) {
        dbg_error("Failed to run config file startup.lua\n");
        con_clean(con);
        return false;
    }
    return true;
}

bool con_postsetup(con_subsystem* con)
{
    if (!con->L)
        return false;
    if (!safelua_cpcall(con->L, con_register_post, con)) {
        con_clean(con);
        return false;
    }
    return true;
}

void con_clean(con_subsystem* con)
{
    opt_save(NULL);
    con_close(con);
}

void con_close(con_subsystem* con)
{
    if (!con->L)
        return;
    con_dostring(con, "xlate.onexit()");
    lua_close(con->L);
    con->L = NULL;
}

bool con_reset(con_subsystem* con)
{
    con_clean(con);
    return con_setup(con);
}

bool con_dofile(con_subsystem* con, const char* file_name)
{
    return con->L && safelua_dofile(con->L, file_name);
}

bool con_dostring(con_subsystem* con, const char* text)
{
    return con->L && safelua_dobuffer(con->L, text, strlen(text));
}

bool con_thread_string(con_subsystem* con, const char* text)
{
    if (!con->L || !safelua_loadbuffer(con->L, text, strlen(text)))
        return false;
    return safelua_thread_add(con->L);
}

bool con_exec_line(const char* text)
{
    return con_thread_string(&CON, text);
}

void con_update(con_subsystem* con)
{
    if (con->L)
        safelua_threads_update(con->L);
}
