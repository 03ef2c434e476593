// Lua library soul: builds soul.info from the avatar manager's name tables, mesh choices
// and loaded animations, runs local/lua/soul.lua, and applies the soul tables that its
// soul.random returns to an avatar's soul.

#include "app/code/soul_lib.h"

#include <stdio.h>
#include <string.h>

#include "app/code/con.h"
#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/soul.h"
#include "engine/code/gfx/xsx.h"
#include "engine/code/lua_lib.h"
#include "engine/code/safelua.h"

// ---- soul.info ----

// t[i] := value and t[value] := i for the table at idx, the value on the stack top (popped).
static void set_both_ways(lua_State* L, int idx, int i)
{
    lua_pushvalue(L, -1);
    lua_rawseti(L, idx, i);
    lua_pushinteger(L, i);
    lua_rawset(L, idx);
}

typedef const char* (*name_fn)(int32_t index);

static void push_name_list(lua_State* L, name_fn name, int32_t count)
{
    lua_newtable(L);
    int t = lua_gettop(L);
    for (int32_t i = 0; i < count; i++) {
        lua_pushstring(L, name(i));
        set_both_ways(L, t, i + 1);
    }
}

// One mesh choice: {group, name, boi, grl, id}.
static void push_choice(lua_State* L, const char* group_name, const xox_link* link, int id)
{
    lua_newtable(L);
    lua_pushstring(L, group_name);
    lua_setfield(L, -2, "group");
    lua_pushstring(L, link->name);
    lua_setfield(L, -2, "name");
    lua_pushnumber(L, link->boi);
    lua_setfield(L, -2, "boi");
    lua_pushnumber(L, link->grl);
    lua_setfield(L, -2, "grl");
    lua_pushinteger(L, id);
    lua_setfield(L, -2, "id");
}

// Group names come from the name table: the manager may not be set up yet when a start-up
// script reloads the library, and then every group simply has no choices.
static void push_groups(lua_State* L, const avatars* m)
{
    lua_newtable(L);
    int groups = lua_gettop(L);
    for (int32_t g = 0; g < AVATAR_GROUP_COUNT; g++) {
        const char* group_name = avatar_group_name(g);
        const avatar_group* group = &m->groups[g];
        lua_newtable(L);
        int gt = lua_gettop(L);
        for (int32_t e = 0; group->entries && e < group->count; e++) {
            push_choice(L, group_name, &group->entries[e], e + 1);
            lua_pushvalue(L, -1);
            lua_rawseti(L, gt, e + 1);
            lua_setfield(L, gt, group->entries[e].name);
        }
        // Last, so a choice that happens to be called "name" cannot hide the group's name.
        lua_pushstring(L, group_name);
        lua_setfield(L, gt, "name");
        lua_pushvalue(L, gt);
        lua_rawseti(L, groups, g + 1);
        lua_setfield(L, groups, group_name);
    }
}

static void push_animframes(lua_State* L, const avatars* m)
{
    lua_newtable(L);
    int t = lua_gettop(L);
    for (int32_t i = 0; i < AVATAR_ANIM_COUNT; i++) {
        const xsx_anim* anim = m->anims[i].anim;
        lua_Number frames = anim ? xsx_length(anim) : 0;
        lua_pushnumber(L, frames);
        lua_rawseti(L, t, i + 1);
        lua_pushnumber(L, frames);
        lua_setfield(L, t, avatar_anim_name(i));
    }
}

static const char* part_name(int32_t i) { return avatar_part_name(i); }
static const char* surface_name(int32_t i) { return avatar_surface_name(i); }
static const char* anim_name(int32_t i) { return avatar_anim_name(i); }

void soul_lua_setup(lua_State* L)
{
    lua_lib_register(L, "soul", NULL);
    lua_getglobal(L, "soul");
    lua_newtable(L);
    push_name_list(L, part_name, AVATAR_PART_COUNT);
    lua_setfield(L, -2, "parts");
    push_name_list(L, surface_name, AVATAR_SURFACE_COUNT);
    lua_setfield(L, -2, "surfaces");
    push_groups(L, &GFX.avatars);
    lua_setfield(L, -2, "groups");
    push_name_list(L, anim_name, AVATAR_ANIM_COUNT);
    lua_setfield(L, -2, "anims");
    push_animframes(L, &GFX.avatars);
    lua_setfield(L, -2, "animframes");
    lua_setfield(L, -2, "info");
    lua_pop(L, 1);
    lua_lib_run_script(L, "soul");
}

// ---- applying a soul table ----

static void empty_slot(soul_object* o)
{
    o->part = 0;
    o->group = 0;
    o->name[0] = '\0';
}

// The object table on the stack top into the slot.
static void apply_object(lua_State* L, soul_object* o)
{
    lua_getfield(L, -1, "group");
    const char* group = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : NULL;
    o->group = avatar_group_find(group);
    lua_pop(L, 1);
    lua_getfield(L, -1, "name");
    const char* name = lua_isstring(L, -1) ? lua_tostring(L, -1) : "";
    snprintf(o->name, sizeof o->name, "%s", name);
    lua_pop(L, 1);
    o->part = 0;
}

static void apply_parts(lua_State* L, int ret, avatar_soul* soul)
{
    lua_getfield(L, ret, "parts");
    int parts = lua_gettop(L);
    for (int32_t p = 0; p < AVATAR_PART_COUNT; p++) {
        lua_getfield(L, parts, avatar_part_name(p));
        bool is_list = lua_istable(L, -1);
        for (int32_t s = 0; s < SOUL_OBJECTS; s++) {
            soul_object* o = &soul->objects[p][s];
            if (!is_list) {
                empty_slot(o);
                continue;
            }
            lua_rawgeti(L, -1, s + 1);
            if (lua_istable(L, -1))
                apply_object(L, o);
            else
                empty_slot(o);
            lua_pop(L, 1);
        }
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
}

// A colour text such as "0xFF8040C0"; 0 when the field is missing or does not scan.
static uint32_t read_hex(lua_State* L, const char* field)
{
    unsigned int value = 0;
    lua_getfield(L, -1, field);
    if (lua_isstring(L, -1) && sscanf(lua_tostring(L, -1), " 0x%x ", &value) != 1)
        value = 0;
    lua_pop(L, 1);
    return value;
}

static void apply_surfaces(lua_State* L, int ret, avatar_soul* soul)
{
    lua_getfield(L, ret, "surfaces");
    int surfaces = lua_gettop(L);
    for (int32_t i = 0; i < AVATAR_SURFACE_COUNT; i++) {
        soul_surface* s = &soul->surfaces[i];
        lua_getfield(L, surfaces, avatar_surface_name(i));
        if (lua_istable(L, -1)) {
            s->argb = read_hex(L, "argb");
            s->spec = read_hex(L, "spec");
            lua_getfield(L, -1, "gloss");
            s->gloss = (float)lua_tonumber(L, -1);
            lua_pop(L, 1);
        } else {
            s->argb = 0xFFFFFFFFu;
            s->spec = 0;
            s->gloss = 0.0f;
        }
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
}

static bool field_is_table(lua_State* L, int idx, const char* field)
{
    lua_getfield(L, idx, field);
    bool is_table = lua_istable(L, -1);
    lua_pop(L, 1);
    return is_table;
}

void soul_apply_table(lua_State* L, avatar* a)
{
    int ret = lua_gettop(L);
    if (!lua_istable(L, ret))
        luaL_error(L, "soul table expected, got %s", luaL_typename(L, ret));
    if (!field_is_table(L, ret, "parts") || !field_is_table(L, ret, "surfaces"))
        luaL_error(L, "soul table needs parts and surfaces tables");
    if (!a || !a->soul)
        luaL_error(L, "avatar has no soul");
    for (int32_t p = 0; p < AVATAR_PART_COUNT; p++)
        for (int32_t s = 0; s < SOUL_OBJECTS; s++)
            empty_slot(&a->soul->objects[p][s]);
    apply_parts(L, ret, a->soul);
    apply_surfaces(L, ret, a->soul);
}

// ---- the randomiser ----

struct soul_random_args {
    avatar* a;
    int32_t sex;
};

static int soul_random_lua(lua_State* L)
{
    soul_random_args* args = (soul_random_args*)lua_touserdata(L, 1);
    const char* call = args->sex > 0   ? "global.ret=soul.random(\"boi\");"
                       : args->sex < 0 ? "global.ret=soul.random(\"grl\");"
                                       : "global.ret=soul.random();";
    lua_settop(L, 0);
    compat_dostring(L, call);
    lua_settop(L, 0);
    lua_getglobal(L, "ret");
    soul_apply_table(L, args->a);
    lua_pop(L, 1);
    return 0;
}

bool soul_randomize(lua_State* L, avatar* a, int32_t sex)
{
    soul_random_args args = {a, sex};
    return safelua_cpcall(L, soul_random_lua, &args);
}
