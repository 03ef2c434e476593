// Lua compatibility: file and buffer runners that report through _ALERT, coroutine
// resumption by status, library opening, a non-raising userdata check and the collector
// figures of the status line.

#include "engine/code/lua_compat.h"

#include <stdio.h>
#include <string.h>

// Hands a failed load or run to _ALERT; the message is on the stack top and is consumed.
static void call_alert(lua_State* L, int status)
{
    if (status == 0)
        return;
    lua_getglobal(L, "_ALERT");
    if (lua_isfunction(L, -1)) {
        lua_insert(L, -2);
        lua_call(L, 1, 0);
    } else {
        const char* msg = lua_tostring(L, -2);
        fprintf(stderr, "%s\n", msg ? msg : "(error with no message)");
        lua_pop(L, 2);
    }
}

static int run_loaded(lua_State* L, int status)
{
    if (status == 0)
        status = lua_pcall(L, 0, LUA_MULTRET, 0);
    call_alert(L, status);
    return status;
}

int compat_dofile(lua_State* L, const char* file_name)
{
    return run_loaded(L, luaL_loadfile(L, file_name));
}

int compat_dobuffer(lua_State* L, const char* buffer, size_t size, const char* chunk_name)
{
    return run_loaded(L, luaL_loadbuffer(L, buffer, size, chunk_name));
}

int compat_dostring(lua_State* L, const char* text)
{
    return compat_dobuffer(L, text, strlen(text), text);
}

bool compat_thread_is_dead(lua_State* co)
{
    int status = lua_status(co);
    return status != 0 && status != LUA_YIELD;
}

compat_resume_result compat_resume(lua_State* co, int nargs)
{
    // The library checks some of this itself, but a finished coroutine whose stack still
    // holds a function would be started again; refuse everything that is not suspended
    // or fresh, without calling into it.
    if (compat_thread_is_dead(co)) {
        lua_pushstring(co, "cannot resume dead coroutine");
        return COMPAT_RESUME_FAILED;
    }
    if (lua_status(co) == 0) {
        lua_Debug ar;
        if (lua_getstack(co, 0, &ar)) {
            lua_pushstring(co, "cannot resume non-suspended coroutine");
            return COMPAT_RESUME_FAILED;
        }
        if (lua_gettop(co) < nargs + 1 || !lua_isfunction(co, -(nargs + 1))) {
            lua_pushstring(co, "cannot resume dead coroutine");
            return COMPAT_RESUME_FAILED;
        }
    }
    int status = lua_resume(co, nargs);
    if (status == LUA_YIELD)
        return COMPAT_RESUME_YIELDED;
    if (status == 0)
        return COMPAT_RESUME_FINISHED;
    return COMPAT_RESUME_FAILED;
}

void compat_open_lib(lua_State* L, lua_CFunction opener, const char* name)
{
    lua_pushcfunction(L, opener);
    lua_pushstring(L, name);
    lua_call(L, 1, 0);
}

void compat_open_io(lua_State* L)
{
    compat_open_lib(L, luaopen_io, LUA_IOLIBNAME);
    compat_open_lib(L, luaopen_os, LUA_OSLIBNAME);
}

void compat_register(lua_State* L, const luaL_Reg* funcs)
{
    luaL_register(L, NULL, funcs);
}

void* compat_checkudata(lua_State* L, int idx, const char* tname)
{
    void* p = lua_touserdata(L, idx);
    if (!p || !lua_getmetatable(L, idx))
        return NULL;
    luaL_getmetatable(L, tname);
    bool same = lua_rawequal(L, -1, -2) != 0;
    lua_pop(L, 2);
    return same ? p : NULL;
}

int compat_getgccount(lua_State* L)
{
    return lua_gc(L, LUA_GCCOUNT, 0);
}

int compat_getgcthreshold(lua_State* L)
{
    // Setting the pause returns the previous one; put it straight back.
    int pause = lua_gc(L, LUA_GCSETPAUSE, 200);
    lua_gc(L, LUA_GCSETPAUSE, pause);
    return (int)((long long)lua_gc(L, LUA_GCCOUNT, 0) * pause / 100);
}
