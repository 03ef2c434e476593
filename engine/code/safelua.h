// Safe Lua layer: opens the standard libraries with the system's _ALERT and print, runs
// every native step that may raise inside a protected call, loads and runs files and
// buffers, and keeps the queue of script threads that the application resumes once a frame.
//
// It keeps no state of its own beyond two registry entries of the state it is given:
// "safelua_ret" (the chunk last loaded) and "safelua_threads" (the queued threads under the
// keys 1, 2, 3 ... and their counter "idx"). Reporting goes to the log: errors at the error
// level, print at the debug level.
#pragma once

#include <stddef.h>

#include "engine/code/lua_compat.h"

// Protected body: opens base (with coroutines), table, string, math, io with os, and debug,
// setting _ALERT before and print after the base library. Returns 0.
int safelua_open_libs(lua_State* L);

// The _ALERT reporter: logs "LUA ERROR <message>" and a line a tool can follow to the
// script, then pops the message. Safe on a coroutine that died by an error: it is never
// called into.
int safelua_alert(lua_State* L);

// The print replacement: every argument through tostring, tab separated, to the debug log.
int safelua_print(lua_State* L);

// lua_cpcall of body with ud. On failure the error is logged ("... in lua_cpcall") and
// popped. The stack is at its old height either way.
bool safelua_cpcall(lua_State* L, lua_CFunction body, void* ud);

// The text of the value at idx (converted in place, so it lives as long as the value stays
// on the stack); NULL when it is neither string nor number or the conversion failed.
const char* safelua_tostring(lua_State* L, int idx);

// Run a file / a buffer at once (the buffer text, NUL-terminated at length, is also the
// chunk name). False after logging when it cannot be loaded or raises.
bool safelua_dofile(lua_State* L, const char* file_name);
bool safelua_dobuffer(lua_State* L, const char* buffer, size_t length);

// Compile without running. On success the chunk becomes the registry's safelua_ret and is
// pushed; on failure nothing is pushed.
bool safelua_loadbuffer(lua_State* L, const char* buffer, size_t length);
bool safelua_loadfile(lua_State* L, const char* file_name);

// Queue the function on the stack top as a new script thread; always pops it.
bool safelua_thread_add(lua_State* L);

// Resume every queued thread once. A thread that yields stays; one that ends is removed;
// one that fails is reported once and removed. Each removal restarts the walk, so threads
// before a removed one are resumed again in the same update.
bool safelua_threads_update(lua_State* L);

// Append "()" to a bare name (a letter, then letters, digits, '.' or '_'). The line must
// have room for two more characters.
void safelua_add_parens(char* line);
