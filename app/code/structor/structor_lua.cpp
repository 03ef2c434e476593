// The structor's Lua libraries: `structor` (the state's request flags, folders and pointer)
// and `structor_items` (makes items, hands each back as a table of bound methods, and finds
// the selected ones). An item lives while its one-pointer userdata does; `structor_items`
// keeps each item's method table, and with it the userdata, until the script's unref.
//
// Upvalues: the structor functions hold the state; alloc and get hold (structor_items, state);
// each method holds (its userdata, structor_items).

#include "app/code/structor/structor.h"

#include <strings.h>

#include "engine/code/gfx/cmps.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/txts.h"
#include "engine/code/lua_lib.h"

static const char* const ITEM_PTR = "structor_items*ptr";
static const char* const ITEM_WHAT = "structor_items";

static structor_state* bound_state(lua_State* L, int upvalue)
{
    return (structor_state*)lua_touserdata(L, lua_upvalueindex(upvalue));
}

// ---- structor -----------------------------------------------------------------------------

static int s_dir_local(lua_State* L)
{
    lua_pushstring(L, bound_state(L, 1)->dir_local ? bound_state(L, 1)->dir_local : "local/structor/");
    return 1;
}

static int s_dir_data(lua_State* L)
{
    lua_pushstring(L, bound_state(L, 1)->dir_data ? bound_state(L, 1)->dir_data : "data/structor/");
    return 1;
}

// Set from a boolean first argument, any other leaves it; returns the flag.
static int flag(lua_State* L, uint8_t* f)
{
    if (lua_type(L, 1) == LUA_TBOOLEAN)
        *f = lua_toboolean(L, 1) ? 1 : 0;
    lua_pushboolean(L, *f);
    return 1;
}

static int s_pause_request(lua_State* L) { return flag(L, &bound_state(L, 1)->pause_request); }
static int s_reset_request(lua_State* L) { return flag(L, &bound_state(L, 1)->reset_request); }
static int s_edit_request(lua_State* L) { return flag(L, &bound_state(L, 1)->edit_request); }
static int s_rebuildcells_request(lua_State* L) { return flag(L, &bound_state(L, 1)->rebuildcells_request); }

static int s_pointer(lua_State* L)
{
    structor_state* s = bound_state(L, 1);
    lua_pushnumber(L, s->view.pointer.x);
    lua_pushnumber(L, s->view.pointer.y);
    return 2;
}

static const luaL_Reg structor_funcs[] = {
    {"dir_local", s_dir_local},
    {"dir_data", s_dir_data},
    {"pause_request", s_pause_request},
    {"reset_request", s_reset_request},
    {"edit_request", s_edit_request},
    {"rebuildcells_request", s_rebuildcells_request},
    {"pointer", s_pointer},
    {NULL, NULL},
};

// ---- item methods -------------------------------------------------------------------------

static structor_item* bound_item(lua_State* L) { return (structor_item*)lua_lib_bound_ptr(L, ITEM_WHAT); }

static int m_initialpos(lua_State* L)
{
    structor_item* it = bound_item(L);
    lua_pushnumber(L, it->initial.xform.position.x);
    lua_pushnumber(L, it->initial.xform.position.y);
    lua_pushnumber(L, it->initial.xform.position.z);
    return 3;
}

static int m_setpos(lua_State* L)
{
    structor_item* it = bound_item(L);
    float x = (float)luaL_checknumber(L, 1);
    float y = (float)luaL_checknumber(L, 2);
    it->motion.xform.position.x = x;
    it->motion.xform.position.y = y;
    return 0;
}

static int m_setsiz(lua_State* L)
{
    structor_item* it = bound_item(L);
    float size = (float)luaL_checknumber(L, 1);
    it->motion.xform.scale = {size, size, size};
    return 0;
}

// A pointer handed in from a script is used only when it is a live record of the pool: any
// other light userdata (a freed record, something else) would be written through.
static bool live_in(pool* p, const void* record)
{
    for (list_node* n = list_first(&p->live); n && n->next; n = n->next)
        if (n == record)
            return true;
    return false;
}

static gfx* root_of(structor_item* it)
{
    structor_state* s = it->owner ? it->owner->owner : NULL;
    return s && s->gfx ? s->gfx : &GFX;
}

// The record leaves the library that made it, as its steal_ptr would: the item is its one
// owner from now on, and the script's handle (if it only lent a getptr) is emptied.
static void leave_library(lua_State* L, const char* global, void* record)
{
    lua_getglobal(L, global);
    if (lua_istable(L, -1)) {
        lua_pushlightuserdata(L, record);
        lua_pushnil(L);
        lua_rawset(L, -3);
    }
    lua_pop(L, 1);
}

static int m_settxt(lua_State* L)
{
    structor_item* it = bound_item(L);
    gfx_txts* t = (gfx_txts*)lua_touserdata(L, 1);
    if (t && !live_in(&root_of(it)->txts_pool.records, t))
        luaL_argerror(L, 1, "not a live texture");
    if (t)
        leave_library(L, "txts", t);
    structor_item_set_texture(it, t);
    return 0;
}

static int m_setcmp(lua_State* L)
{
    structor_item* it = bound_item(L);
    gfx_cmps* c = (gfx_cmps*)lua_touserdata(L, 1);
    if (c && !live_in(&root_of(it)->cmps_pool.records, c))
        luaL_argerror(L, 1, "not a live cut map");
    if (c)
        leave_library(L, "cmps", c);
    // A missing or empty document loads as a cut map without layers: the item keeps it
    // quietly, and drawing and stamping pass over it.
    structor_item_set_cut_map(it, c);
    return 0;
}

static int m_setcells(lua_State* L)
{
    structor_item_setcells(bound_item(L));
    return 0;
}

static int m_setinitial(lua_State* L)
{
    structor_item_setinitial(bound_item(L));
    return 0;
}

static int m_unref(lua_State* L)
{
    structor_item* it = bound_item(L);
    lua_pushlightuserdata(L, it);
    lua_pushnil(L);
    lua_rawset(L, lua_upvalueindex(2));
    return 0;
}

static const luaL_Reg item_methods[] = {
    {"initialpos", m_initialpos},
    {"setpos", m_setpos},
    {"setsiz", m_setsiz},
    {"settxt", m_settxt},
    {"setcmp", m_setcmp},
    {"setcells", m_setcells},
    {"setinitial", m_setinitial},
    {"unref", m_unref},
    {NULL, NULL},
};

static int item_gc(lua_State* L)
{
    void** slot = lua_lib_ptr_slot(L, 1, ITEM_PTR);
    if (slot && *slot) {
        structor_item* it = (structor_item*)*slot;
        it->lua_slot = NULL;
        *slot = NULL;
        structor_item_free(it->owner, it);
    }
    return 0;
}

// ---- structor_items -----------------------------------------------------------------------

static const structor_item_type* kind_named(const char* name)
{
    if (!strcasecmp(name, "aball"))
        return &structor_item_aball;
    if (!strcasecmp(name, "brush"))
        return &structor_item_brush;
    if (!strcasecmp(name, "cells"))
        return &structor_item_cells;
    return NULL;
}

static int i_alloc(lua_State* L)
{
    structor_state* s = bound_state(L, 2);
    const structor_item_type* type = lua_type(L, 1) == LUA_TSTRING ? kind_named(lua_tostring(L, 1)) : NULL;
    void** slot = lua_lib_new_ptr(L, ITEM_PTR, NULL);
    int ud = lua_gettop(L);
    lua_newtable(L);
    int table = lua_gettop(L);
    for (const luaL_Reg* f = item_methods; f->name; f++) {
        lua_pushstring(L, f->name);
        lua_pushvalue(L, ud);
        lua_pushvalue(L, lua_upvalueindex(1));
        lua_pushcclosure(L, f->func, 2);
        lua_rawset(L, table);
    }
    // Made last, with no Lua call before the userdata holds it, so an error cannot orphan it.
    structor_item* it = type ? structor_item_alloc(&s->items, type) : NULL;
    if (it) {
        it->lua_slot = slot;
        *slot = it;
        lua_pushlightuserdata(L, it);
        lua_pushvalue(L, table);
        lua_rawset(L, lua_upvalueindex(1));
    }
    return 1;
}

static int i_get(lua_State* L)
{
    structor_state* s = bound_state(L, 2);
    if (lua_type(L, 1) != LUA_TSTRING || strcasecmp(lua_tostring(L, 1), "selected") != 0)
        return 0;
    int n = 0;
    for (list_node* node = list_first(&s->items.records.live); node && node->next; node = node->next) {
        if (!(((structor_item*)node)->flags & STRUCTOR_ITEM_SELECTED))
            continue;
        luaL_checkstack(L, 2, "too many selected items");
        lua_pushlightuserdata(L, node);
        lua_rawget(L, lua_upvalueindex(1));
        n++;
    }
    return n;
}

// ---- registration -------------------------------------------------------------------------

static void new_plain_metatable(lua_State* L, const char* name)
{
    luaL_newmetatable(L, name);
    lua_pushstring(L, "__index");
    lua_pushvalue(L, -2);
    lua_rawset(L, -3);
    lua_pop(L, 1);
}

int structor_lua_setup(lua_State* L)
{
    structor_state* s = (structor_state*)lua_touserdata(L, 1);
    if (!s)
        s = &structor_state_main;
    new_plain_metatable(L, "structoritem");
    new_plain_metatable(L, "structoritemt");

    lua_pushstring(L, "structor");
    lua_newtable(L);
    for (const luaL_Reg* f = structor_funcs; f->name; f++) {
        lua_pushstring(L, f->name);
        lua_pushlightuserdata(L, s);
        lua_pushcclosure(L, f->func, 1);
        lua_rawset(L, -3);
    }
    lua_pushstring(L, "items");
    lua_newtable(L);
    lua_rawset(L, -3);
    lua_rawset(L, LUA_GLOBALSINDEX);

    lua_lib_new_ptr_type(L, ITEM_PTR, item_gc);
    lua_pushstring(L, "structor_items");
    lua_newtable(L);
    int items = lua_gettop(L);
    lua_pushstring(L, "alloc");
    lua_pushvalue(L, items);
    lua_pushlightuserdata(L, s);
    lua_pushcclosure(L, i_alloc, 2);
    lua_rawset(L, items);
    lua_pushstring(L, "get");
    lua_pushvalue(L, items);
    lua_pushlightuserdata(L, s);
    lua_pushcclosure(L, i_get, 2);
    lua_rawset(L, items);
    lua_rawset(L, LUA_GLOBALSINDEX);

    int top = lua_gettop(L);
    compat_dofile(L, "local/structor/structor.lua");
    lua_settop(L, top);
    return 0;
}

int structor_lua_clean(lua_State* L)
{
    lua_lib_unregister(L, "structor_items");
    lua_lib_unregister(L, "structor");
    return 0;
}
