// The Lua environment: the one Lua state on which all of the program's scripts run. It is
// set up first of all subsystems (the start-up scripts set the options the others read);
// a second stage registers the libraries that need the graphics. It runs Lua from native
// code at once or as queued script threads, which it steps once a frame.
#pragma once

#include "engine/code/lua_compat.h"

struct con_subsystem {
    lua_State* L;  // NULL while closed
};

extern con_subsystem CON;

// Zeroes CON and OPT, opens the state, registers the libraries (running their scripts) and
// runs local/lua/startup.lua. On failure the environment is cleaned (the options file is
// written) and the result is false.
bool con_setup(con_subsystem* con);
// Second stage: soul and xlate with their scripts. A failure cleans the environment.
bool con_postsetup(con_subsystem* con);
// Writes the options file, then closes.
void con_clean(con_subsystem* con);
// When open: runs "xlate.onexit()", closes the state.
void con_close(con_subsystem* con);
bool con_reset(con_subsystem* con);

// Run a file / a NUL-terminated text (also its chunk name) at once. False when closed or
// after the error has been logged.
bool con_dofile(con_subsystem* con, const char* file_name);
bool con_dostring(con_subsystem* con, const char* text);
// Compile now, run as a script thread from the next con_update on. False when it does not
// compile (nothing is queued).
bool con_thread_string(con_subsystem* con, const char* text);
// The debug console's command line: con_thread_string on CON.
bool con_exec_line(const char* text);
// Resumes every queued script thread once (once a frame).
void con_update(con_subsystem* con);

// Protected bodies (ud: the con_subsystem): the start-up registration in its fixed order,
// and the second stage.
int con_register(lua_State* L);
int con_register_post(lua_State* L);

// Registration functions of the system's Lua libraries, called at their steps. Each
// registers its global table (and its userdata types); a library with a script of its own
// name under local/lua/ runs it at the end. They run inside the protected registration.
void zel_lua_setup(lua_State* L);
void tdata_lua_setup(lua_State* L);
void input_lua_setup(lua_State* L);
void journal_lua_setup(lua_State* L);
void profile_lua_setup(lua_State* L);
void xtra_lua_register(lua_State* L);
void sfx_lua_setup(lua_State* L);
void hud_lua_setup(lua_State* L);
void devil_lua_setup(lua_State* L);
void mmap_lua_setup(lua_State* L);
void hmap_lua_setup(lua_State* L);
void soul_lua_setup(lua_State* L);
void xlate_lua_setup(lua_State* L);
