// Bridges the Lua C API differences the engine relies on.
#pragma once

struct lua_State;

// Memory in use by the Lua state, in kilobytes.
int compat_getgccount(lua_State* L);
// The collection threshold in kilobytes (5.1 keeps it private: an estimate).
int compat_getgcthreshold(lua_State* L);
