// Second Lua environment: opening and closing the state, running files and strings, and
// the cursor-like reading of tables through the current pair.

#include "engine/code/luaenv.h"

#include <cstdio>
#include <cstring>

#include "engine/code/dbg.h"
#include "engine/code/safelua.h"

// An unprotected error would end the program; at least say why before it does.
static int luaenv_panic(lua_State* L)
{
    const char* msg = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : "(error with no message)";
    dbg_error("LUA PANIC %s\n", msg);
    return 0;
}

static int luaenv_open_body(lua_State* L)
{
    return safelua_open_libs(L);
}

bool luaenv_setup(luaenv* e)
{
    memset(e, 0, sizeof(*e));
    e->L = luaL_newstate();
    if (!e->L) {
        dbg_error("Failed to setup LUA environment");
        luaenv_clean(e);
        return false;
    }
    lua_atpanic(e->L, luaenv_panic);
    if (!safelua_cpcall(e->L, luaenv_open_body, e)) {
        luaenv_clean(e);
        return false;
    }
    return true;
}

void luaenv_clean(luaenv* e)
{
    if (e->L)
        lua_close(e->L);
    e->L = nullptr;
}

bool luaenv_reset(luaenv* e)
{
    luaenv_clean(e);
    return luaenv_setup(e);
}

bool luaenv_dofile(luaenv* e, const char* file_name)
{
    return e->L && safelua_dofile(e->L, file_name);
}

bool luaenv_dostring(luaenv* e, const char* text)
{
    return e->L && safelua_dobuffer(e->L, text, strlen(text));
}

// Every operation below only uses calls that cannot raise on a well-formed stack: raw
// table access, type tests, pushes within the checked stack space, and lua_next with a key
// known to be in the table.

bool luaenv_get_global(luaenv* e, const char* name)
{
    lua_State* L = e->L;
    if (!L)
        return false;
    lua_settop(L, 0);
    lua_pushstring(L, name);
    lua_pushstring(L, name);
    lua_rawget(L, LUA_GLOBALSINDEX);
    return !lua_isnil(L, -1);
}

static bool luaenv_push_pair(lua_State* L)
{
    if (!lua_checkstack(L, 3))
        return false;
    lua_pushnil(L);
    lua_pushnil(L);
    return true;
}

void luaenv_enter(luaenv* e)
{
    if (e->L)
        luaenv_push_pair(e->L);
}

// The table being walked sits below the pair.
static bool luaenv_has_table(lua_State* L)
{
    return lua_gettop(L) >= 3 && lua_istable(L, -3);
}

bool luaenv_next(luaenv* e)
{
    lua_State* L = e->L;
    if (!L || lua_gettop(L) < 2)
        return false;
    bool found = false;
    if (luaenv_has_table(L)) {
        lua_pop(L, 1); // table key
        bool key_ok = lua_isnil(L, -1);
        if (!key_ok) {
            // lua_next raises for a key that is not in the table (the pair may have been
            // replaced by luaenv_get_field); such a walk simply ends.
            lua_pushvalue(L, -1);
            lua_rawget(L, -3);
            key_ok = !lua_isnil(L, -1);
            lua_pop(L, 1);
        }
        if (key_ok) {
            found = lua_next(L, -2) != 0; // pops the key; pushes key, value when found
        } else {
            lua_pop(L, 1);
        }
        if (!found)
            luaenv_push_pair(L);
        return found;
    }
    lua_pop(L, 2);
    luaenv_push_pair(L);
    return false;
}

bool luaenv_get_field(luaenv* e, const char* name)
{
    lua_State* L = e->L;
    if (!L || lua_gettop(L) < 2)
        return false;
    bool table = luaenv_has_table(L);
    lua_pop(L, 2);
    lua_pushstring(L, name);
    if (table) {
        lua_pushvalue(L, -1);
        lua_rawget(L, -3);
    } else {
        lua_pushnil(L);
    }
    return !lua_isnil(L, -1);
}

void luaenv_leave(luaenv* e)
{
    lua_State* L = e->L;
    if (!L)
        return;
    lua_settop(L, lua_gettop(L) >= 2 ? lua_gettop(L) - 2 : 0);
}

bool luaenv_is_table(luaenv* e)
{
    return e->L && lua_gettop(e->L) >= 1 && lua_istable(e->L, -1);
}

const char* luaenv_get_key(luaenv* e)
{
    lua_State* L = e->L;
    if (!L || lua_gettop(L) < 2)
        return nullptr;
    switch (lua_type(L, -2)) {
    case LUA_TSTRING: return lua_tostring(L, -2);
    case LUA_TNUMBER:
        snprintf(e->key_text, sizeof(e->key_text), LUA_NUMBER_FMT, (LUA_NUMBER)lua_tonumber(L, -2));
        return e->key_text;
    default: return nullptr;
    }
}

const char* luaenv_get_value(luaenv* e)
{
    lua_State* L = e->L;
    if (!L || lua_gettop(L) < 1)
        return nullptr;
    int t = lua_type(L, -1);
    return t == LUA_TSTRING || t == LUA_TNUMBER ? lua_tostring(L, -1) : nullptr;
}
