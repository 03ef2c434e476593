// Script-owned graphics records: alloc and the closures unref, getptr and steal_ptr.
//
// Upvalues: alloc holds (library table, root, kind); each closure holds (userdata, library
// table, kind), the userdata first so that lua_lib_bound_ptr finds it.

#include "engine/code/gfx/owned_lib.h"

#include "engine/code/lua_lib.h"

static const owned_lib_kind* bound_kind(lua_State* L)
{
    return (const owned_lib_kind*)lua_touserdata(L, lua_upvalueindex(3));
}

// library[record as a light userdata] := the value on the stack top (popped).
static void set_entry(lua_State* L, int library, void* record)
{
    lua_pushlightuserdata(L, record);
    lua_insert(L, -2);
    lua_rawset(L, library);
}

static int owned_unref(lua_State* L)
{
    void* record = lua_lib_bound_ptr(L, bound_kind(L)->what);
    lua_pushnil(L);
    set_entry(L, lua_upvalueindex(2), record);
    return 0;
}

static int owned_getptr(lua_State* L)
{
    lua_pushlightuserdata(L, lua_lib_bound_ptr(L, bound_kind(L)->what));
    return 1;
}

// The record leaves Lua: whoever takes the pointer must free it.
static int owned_steal_ptr(lua_State* L)
{
    const owned_lib_kind* kind = bound_kind(L);
    void* record = lua_lib_bound_ptr(L, kind->what);
    lua_pushnil(L);
    set_entry(L, lua_upvalueindex(2), record);
    kind->set_holder(record, nullptr);
    *(void**)lua_touserdata(L, lua_upvalueindex(1)) = nullptr;
    lua_pushlightuserdata(L, record);
    return 1;
}

static const luaL_Reg owned_funcs[] = {
    {"unref", owned_unref},
    {"getptr", owned_getptr},
    {"steal_ptr", owned_steal_ptr},
    {nullptr, nullptr},
};

static int owned_alloc(lua_State* L)
{
    const owned_lib_kind* kind = (const owned_lib_kind*)lua_touserdata(L, lua_upvalueindex(3));
    gfx* root = (gfx*)lua_touserdata(L, lua_upvalueindex(2));
    const char* name = lua_isstring(L, 1) ? lua_tostring(L, 1) : nullptr;
    void** word = lua_lib_new_ptr(L, kind->tname, nullptr);
    int ud = lua_gettop(L);
    lua_newtable(L);
    int table = lua_gettop(L);
    for (const luaL_Reg* f = owned_funcs; f->name; f++) {
        lua_pushstring(L, f->name);
        lua_pushvalue(L, ud);
        lua_pushvalue(L, lua_upvalueindex(1));
        lua_pushlightuserdata(L, (void*)kind);
        lua_pushcclosure(L, f->func, 3);
        lua_rawset(L, table);
    }
    // No Lua call may come between making the record and handing it to the userdata, so a
    // raised error can only ever find it owned.
    void* record = name ? kind->make(root, name) : nullptr;
    if (record) {
        *word = record;
        kind->set_holder(record, word);
    }
    lua_pushvalue(L, table);
    set_entry(L, lua_upvalueindex(1), record);
    return 1;
}

void owned_lib_setup(lua_State* L, const owned_lib_kind* kind, gfx* root, lua_CFunction gc)
{
    lua_lib_new_ptr_type(L, kind->tname, gc);
    lua_pushstring(L, kind->global);
    lua_newtable(L);
    lua_pushstring(L, "alloc");
    lua_pushvalue(L, -2);
    lua_pushlightuserdata(L, root);
    lua_pushlightuserdata(L, (void*)kind);
    lua_pushcclosure(L, owned_alloc, 3);
    lua_rawset(L, -3);
    lua_rawset(L, LUA_GLOBALSINDEX);
}

int owned_lib_gc(lua_State* L, const owned_lib_kind* kind)
{
    void** word = lua_lib_ptr_slot(L, 1, kind->tname);
    if (word && *word) {
        kind->release(*word);
        *word = nullptr;
    }
    return 0;
}
