// Native Lua libraries and userdata types: registration, scripts and the record and
// pointer userdata shapes.

#include "engine/code/lua_lib.h"

#include <stdio.h>
#include <string.h>

void lua_lib_register(lua_State* L, const char* name, const luaL_Reg* funcs)
{
    lua_pushstring(L, name);
    lua_newtable(L);
    if (funcs)
        compat_register(L, funcs);
    lua_rawset(L, LUA_GLOBALSINDEX);
}

void lua_lib_unregister(lua_State* L, const char* name)
{
    lua_pushstring(L, name);
    lua_pushnil(L);
    lua_rawset(L, LUA_GLOBALSINDEX);
}

bool lua_lib_run_script(lua_State* L, const char* name)
{
    char path[300];
    snprintf(path, sizeof(path), "local/lua/%s.lua", name);
    int top = lua_gettop(L);
    int status = compat_dofile(L, path);
    lua_settop(L, top);
    return status == 0;
}

void lua_lib_new_type(lua_State* L, const char* tname, const luaL_Reg* methods)
{
    luaL_newmetatable(L, tname);
    lua_pushstring(L, "__index");
    lua_pushvalue(L, -2);
    lua_rawset(L, -3);
    if (methods)
        compat_register(L, methods);
    lua_pop(L, 1);
}

void* lua_lib_new_record(lua_State* L, const char* tname, size_t size)
{
    void* record = lua_newuserdata(L, size);
    memset(record, 0, size);
    luaL_getmetatable(L, tname);
    lua_setmetatable(L, -2);
    return record;
}

void* lua_lib_check(lua_State* L, int idx, const char* tname)
{
    void* record = compat_checkudata(L, idx, tname);
    if (!record)
        luaL_argerror(L, idx, lua_pushfstring(L, "bad %s", tname));
    return record;
}

void lua_lib_new_ptr_type(lua_State* L, const char* tname, lua_CFunction gc)
{
    luaL_newmetatable(L, tname);
    lua_pushstring(L, "__gc");
    lua_pushcfunction(L, gc);
    lua_rawset(L, -3);
    lua_pop(L, 1);
}

void** lua_lib_new_ptr(lua_State* L, const char* tname, void* record)
{
    void** slot = (void**)lua_newuserdata(L, sizeof(void*));
    *slot = record;
    luaL_getmetatable(L, tname);
    lua_setmetatable(L, -2);
    return slot;
}

void** lua_lib_ptr_slot(lua_State* L, int idx, const char* tname)
{
    return (void**)compat_checkudata(L, idx, tname);
}

void lua_lib_push_bound(lua_State* L, int ud_idx, const luaL_Reg* funcs)
{
    if (ud_idx < 0 && ud_idx > LUA_REGISTRYINDEX)
        ud_idx = lua_gettop(L) + ud_idx + 1;
    lua_newtable(L);
    for (; funcs->name; funcs++) {
        lua_pushstring(L, funcs->name);
        lua_pushvalue(L, ud_idx);
        lua_pushcclosure(L, funcs->func, 1);
        lua_rawset(L, -3);
    }
}

void* lua_lib_bound_ptr(lua_State* L, const char* what)
{
    void** slot = (void**)lua_touserdata(L, lua_upvalueindex(1));
    if (!slot || !*slot)
        luaL_error(L, "null pointer in %s usedata", what);
    return *slot;
}

int32_t lua_lib_check_int(lua_State* L, int idx)
{
    lua_Number n = luaL_checknumber(L, idx);
    if (n != n)
        return 0;
    if (n >= 2147483647.0)
        return INT32_MAX;
    if (n <= -2147483648.0)
        return INT32_MIN;
    return (int32_t)n;
}
