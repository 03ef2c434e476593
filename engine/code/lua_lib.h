// Native Lua libraries and userdata types: the one way every library of the system is
// registered, and the two shapes its userdata take. All of these run inside a protected
// call (they may raise).
//
// Library: a global table of native functions, registered with a raw set; when the library
// has a script, local/lua/<name>.lua runs right after, its errors reported through _ALERT.
//
// Record userdata: the record lives inside the userdata; the metatable, registered under
// the type's name, is its own __index and holds the methods (and __gc when the type frees
// something). Methods fetch their record with lua_lib_check, which raises "bad <type>".
//
// Pointer userdata: the userdata is one pointer to a pooled record; its metatable holds
// only __gc. Scripts get a table of closures that each hold the userdata as upvalue 1, and
// fetch the record with lua_lib_bound_ptr, which raises "null pointer in <what> usedata".
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "engine/code/lua_compat.h"

// Global `name` := a new table holding funcs (may be NULL for an empty table).
void lua_lib_register(lua_State* L, const char* name, const luaL_Reg* funcs);
// Global `name` := nil.
void lua_lib_unregister(lua_State* L, const char* name);
// Runs local/lua/<name>.lua at once; failures are reported through _ALERT, never raised.
// Returns true when the script ran without error.
bool lua_lib_run_script(lua_State* L, const char* name);

// Record userdata: the metatable tname, its own __index, holding methods.
void lua_lib_new_type(lua_State* L, const char* tname, const luaL_Reg* methods);
// Pushes a new zeroed userdata of size bytes with the metatable tname; returns its record.
void* lua_lib_new_record(lua_State* L, const char* tname, size_t size);
// The record of the userdata at idx, or an argument error "bad <tname>".
void* lua_lib_check(lua_State* L, int idx, const char* tname);

// Pointer userdata: the metatable tname holding only __gc.
void lua_lib_new_ptr_type(lua_State* L, const char* tname, lua_CFunction gc);
// Pushes a new one-pointer userdata with the metatable tname, holding record; returns the
// slot, which the record may keep so native code that frees the record first can clear it.
void** lua_lib_new_ptr(lua_State* L, const char* tname, void* record);
// The slot of the pointer userdata at idx (for __gc), NULL when it is not one of tname.
void** lua_lib_ptr_slot(lua_State* L, int idx, const char* tname);
// Pushes a new table holding funcs as closures, each with the value at ud_idx as upvalue 1.
void lua_lib_push_bound(lua_State* L, int ud_idx, const luaL_Reg* funcs);
// Inside such a closure: the record its userdata points to, or the error
// "null pointer in <what> usedata" when the pointer has been cleared.
void* lua_lib_bound_ptr(lua_State* L, const char* what);

// Argument idx as an integer: luaL_checknumber truncated towards zero, saturated to the
// 32-bit range, NaN as 0 (a C cast of such numbers would be undefined).
int32_t lua_lib_check_int(lua_State* L, int idx);
