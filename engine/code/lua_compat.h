// Lua compatibility: the few calls of the older Lua C API that the system's code relies on,
// rebuilt on the Lua 5.1 library. Every module that touches Lua includes this header
// (it brings in lua.h, lauxlib.h and lualib.h).
//
// Lua errors unwind with longjmp: no object with a destructor may be alive in a native
// function across a Lua call that can raise.
#pragma once

#include <stddef.h>

#include <lua5.1/lua.hpp>

// How a resumed coroutine came back.
enum compat_resume_result {
    COMPAT_RESUME_YIELDED = 0,   // suspended in a yield; resume it again later
    COMPAT_RESUME_FINISHED = 1,  // its function returned; its results are on its stack
    COMPAT_RESUME_FAILED = 2,    // it raised; the error object is on its stack, it is dead
};

// Load and run a file (compat_dofile), a buffer under a chunk name (compat_dobuffer) or a
// NUL-terminated text that is also its own chunk name (compat_dostring), keeping all the
// chunk's results on the stack. Any failure, a missing file or a syntax error included, is
// first handed to the global _ALERT function with the message (or written to stderr when
// _ALERT is not a function) and the message is removed. Returns 0 or the Lua error status.
// _ALERT itself is called unprotected, as it always was.
int compat_dofile(lua_State* L, const char* file_name);
int compat_dobuffer(lua_State* L, const char* buffer, size_t size, const char* chunk_name);
int compat_dostring(lua_State* L, const char* text);

// Resume the coroutine co with the nargs values on its stack top. A coroutine that cannot
// be resumed (already finished, failed, or running) gives COMPAT_RESUME_FAILED with a
// message on its stack instead of being called into.
compat_resume_result compat_resume(lua_State* co, int nargs);

// True for a coroutine that died by an error: it must not be called into again.
bool compat_thread_is_dead(lua_State* co);

// Open one standard library by calling its opener as a Lua function, as the 5.1 openers
// require (the io opener replaces the environment of the function that runs it).
void compat_open_lib(lua_State* L, lua_CFunction opener, const char* name);
// The io library together with os, which the older io library carried.
void compat_open_io(lua_State* L);

// Register the {name, function} pairs (ended by a {NULL, NULL} pair) into the table on the
// stack top.
void compat_register(lua_State* L, const luaL_Reg* funcs);

// The userdata at idx when its metatable is the one registered under tname; NULL otherwise
// (a wrong type never raises, so callers can raise their own "bad <type>" error).
void* compat_checkudata(lua_State* L, int idx, const char* tname);

// Memory in use by the Lua state, in kilobytes.
int compat_getgccount(lua_State* L);
// Stand-in for the collection threshold in kilobytes, which the 5.1 library keeps private:
// the memory in use scaled by the collector's pause (200% by default), i.e. the use at which
// a collector that has just finished a cycle at today's use would start the next one.
int compat_getgcthreshold(lua_State* L);
