// The shell's Lua environment CON: the one Lua state all of the program's scripts run on.
#pragma once

struct lua_State;

struct con_subsystem {
    lua_State* L; // NULL while closed
};

extern con_subsystem CON;

bool con_setup(con_subsystem* con);  // opens Lua and runs local/lua/startup.lua
void con_clean(con_subsystem* con);  // writes the options file, then closes Lua
void con_update(con_subsystem* con); // resumes every queued script thread once
