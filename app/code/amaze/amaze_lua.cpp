// The Lua library amaze: the global table scripts build levels with (maps, items, the level
// clock, the pause request, the cell queries) and the two metatables of items: amazeitemt,
// the methods of an item's table, and amazeitem, the userdata inside it pointing at the record.
//
// Sections: checks, library functions, item methods, registration.

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "app/code/amaze/amaze.h"
#include "app/code/main_state.h"
#include "app/code/sfx/sfx.h"
#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/bubs.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/hmap.h"
#include "engine/code/gfx/xox.h"
#include "engine/code/lua_lib.h"
#include "engine/code/mem.h"

#define ITEM_UD "amazeitem"
#define ITEM_TABLE "amazeitemt"

static amaze* inst(void) { return &AMAZE; }

// ---- checks ----

// The record behind self's field amazeitem, or an argument error.
static amazeitem* check_item(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_getfield(L, 1, ITEM_UD);
    amazeitem** slot = (amazeitem**)compat_checkudata(L, -1, ITEM_UD);
    lua_pop(L, 1); // the table still holds the userdata
    if (!slot)
        luaL_argerror(L, 1, "bad amazeitem");
    if (!*slot)
        luaL_argerror(L, 1, "null amazeitem");
    return *slot;
}

static int32_t check_cell_x(lua_State* L, int idx)
{
    int32_t x = lua_lib_check_int(L, idx);
    if (x < 0 || x >= inst()->isomap.cells_x)
        luaL_argerror(L, idx, "cell X out of bounds");
    return x;
}

static int32_t check_cell_y(lua_State* L, int idx)
{
    int32_t y = lua_lib_check_int(L, idx);
    if (y < 0 || y >= inst()->isomap.cells_y)
        luaL_argerror(L, idx, "cell Y out of bounds");
    return y;
}

static amazeitem* cell_head(int32_t x, int32_t y)
{
    amaze_items* items = &inst()->items;
    if (!items->cells || x >= items->cells_x || y >= items->cells_y)
        return NULL;
    return items->cells[items->cells_x * y + x];
}

// Pushes amaze.items[serial] (nil when it is gone).
static void push_table_of(lua_State* L, const amazeitem* item)
{
    lua_getglobal(L, "amaze");
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        lua_pushnil(L);
        return;
    }
    lua_getfield(L, -1, "items");
    lua_remove(L, -2);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        lua_pushnil(L);
        return;
    }
    lua_rawgeti(L, -1, item->serial);
    lua_remove(L, -2);
}

static void set_items_entry_nil(lua_State* L, int32_t serial)
{
    lua_getglobal(L, "amaze");
    if (lua_istable(L, -1)) {
        lua_getfield(L, -1, "items");
        if (lua_istable(L, -1)) {
            lua_pushnil(L);
            lua_rawseti(L, -2, serial);
        }
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
}

// Releases the item behind a pointer word; a second release does nothing.
static void release_slot(lua_State* L, amazeitem** slot)
{
    if (!slot || !*slot)
        return;
    amazeitem* item = *slot;
    set_items_entry_nil(L, item->serial);
    amaze_item_free(item->owner, item);
    *slot = NULL;
}

// Items and maps need the whole state: the library exists from before the items are set up
// (local/amaze/amaze.lua runs then) and a script may keep the table after the state is gone.
static void check_built(lua_State* L)
{
    if (!inst()->items.owner || !inst()->isomap.owner)
        luaL_error(L, "the amaze state is not running");
}

// ---- library functions ----

static int amaze_loadhmap(lua_State* L)
{
    const char* name = luaL_checkstring(L, 1);
    check_built(L);
    char path[512];
    snprintf(path, sizeof path, "data/%s", name);
    if (!isomap_load(&inst()->isomap, path))
        luaL_error(L, "Failed to load isomap \"%s\".", path);
    amaze_items_alloc_cells(&inst()->items);
    return 0;
}

static int amaze_usehmap(lua_State* L)
{
    hmap* h = (hmap*)lua_lib_check(L, 1, HMAP_TYPE);
    check_built(L);
    if (!isomap_from_hmap(&inst()->isomap, h))
        luaL_error(L, "Failed to use hmap.");
    amaze_items_alloc_cells(&inst()->items);
    return 0;
}

static int amaze_alloc_item(lua_State* L)
{
    const char* name = luaL_checkstring(L, 1);
    amaze* a = inst();
    const amaze_item_type* type = NULL;
    amaze_item_list* list = NULL;
    if (!strcmp(name, "base"))
        type = &amaze_item_base;
    else if (!strcmp(name, "clod"))
        type = &amaze_item_clod;
    else if (!strcmp(name, "director"))
        type = &amaze_item_director, list = &a->directors;
    else if (!strcmp(name, "protagonist"))
        type = &amaze_item_agonist, list = &a->protagonists;
    else if (!strcmp(name, "antagonist"))
        type = &amaze_item_agonist, list = &a->antagonists;
    else
        luaL_error(L, "unknow amaze item type %s", name);
    check_built(L);

    lua_newtable(L);
    int t = lua_gettop(L);
    luaL_getmetatable(L, ITEM_TABLE);
    lua_setmetatable(L, t);
    amazeitem** slot = (amazeitem**)lua_newuserdata(L, sizeof(amazeitem*));
    *slot = NULL;
    int ud = lua_gettop(L);
    // Everything that may raise is done before the item exists, so an error cannot leave a
    // record without its table.
    lua_getglobal(L, "amaze");
    lua_getfield(L, -1, "items");
    int items_table = lua_gettop(L);
    if (!lua_istable(L, items_table))
        luaL_error(L, "amaze.items is not a table");
    luaL_getmetatable(L, ITEM_UD);
    lua_setmetatable(L, ud);
    lua_pushvalue(L, ud);
    lua_setfield(L, t, ITEM_UD);

    amazeitem* item = amaze_item_alloc(&a->items, type);
    if (item) {
        if (list && list->count < AMAZE_LIST_MAX) {
            list->items[list->count] = item;
            item->list_slot = &list->items[list->count];
            list->count++;
        }
        *slot = item;
        item->lua_slot = slot;
        lua_pushvalue(L, t);
        lua_rawseti(L, items_table, item->serial);
    }
    lua_pushvalue(L, t);
    return 1;
}

static int amaze_getview_uprt(lua_State* L)
{
    const amaze_view* v = &inst()->view;
    lua_pushnumber(L, v->view_up.x);
    lua_pushnumber(L, v->view_up.z);
    lua_pushnumber(L, v->view_right.x);
    lua_pushnumber(L, v->view_right.z);
    return 4;
}

static int amaze_getcell_contents(lua_State* L)
{
    int32_t x = check_cell_x(L, 1), y = check_cell_y(L, 2);
    lua_newtable(L);
    int n = 0;
    for (amazeitem* i = cell_head(x, y); i; i = i->cell_next) {
        push_table_of(L, i);
        // An item whose table a script took out of amaze.items would leave a hole.
        if (lua_isnil(L, -1))
            lua_pop(L, 1);
        else
            lua_rawseti(L, -2, ++n);
    }
    return 1;
}

static int amaze_cell_find_solid(lua_State* L)
{
    int32_t x = check_cell_x(L, 1), y = check_cell_y(L, 2);
    int32_t dir = lua_isnumber(L, 3) ? lua_lib_check_int(L, 3) : 0;
    static const int32_t step[5][2] = {{0, 0}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    if (dir < 0 || dir > 4)
        luaL_argerror(L, 3, "look direction out of bounds");
    const isomap* map = &inst()->isomap;
    while (x >= 0 && y >= 0 && x < map->cells_x && y < map->cells_y) {
        for (amazeitem* i = cell_head(x, y); i; i = i->cell_next)
            if (i->solid) {
                push_table_of(L, i);
                return 1;
            }
        if (dir == 0)
            break;
        x += step[dir][0];
        y += step[dir][1];
    }
    lua_pushnil(L);
    return 1;
}

static int amaze_iscell_solid(lua_State* L)
{
    int32_t x = check_cell_x(L, 1), y = check_cell_y(L, 2);
    bool solid = false;
    for (amazeitem* i = cell_head(x, y); i && !solid; i = i->cell_next)
        solid = i->solid != 0;
    lua_pushboolean(L, solid);
    return 1;
}

static int amaze_time(lua_State* L)
{
    amaze_overlay* o = &inst()->overlay;
    if (lua_isnumber(L, 1))
        o->time = lua_lib_check_int(L, 1);
    lua_pushnumber(L, o->time);
    return 1;
}

static int amaze_time_init(lua_State* L)
{
    amaze_overlay* o = &inst()->overlay;
    if (lua_isnumber(L, 1))
        o->time = o->time_init = lua_lib_check_int(L, 1);
    lua_pushnumber(L, o->time_init);
    return 1;
}

static int amaze_time_step(lua_State* L)
{
    amaze_overlay* o = &inst()->overlay;
    if (lua_isnumber(L, 1))
        o->time_step = lua_lib_check_int(L, 1);
    lua_pushnumber(L, o->time_step);
    return 1;
}

static int amaze_time_str(lua_State* L)
{
    int32_t n = lua_isnumber(L, 1) ? lua_lib_check_int(L, 1) : inst()->overlay.time;
    char text[48];
    amaze_overlay_time_str(text, sizeof text, n);
    lua_pushstring(L, text);
    return 1;
}

static int amaze_dir_local(lua_State* L)
{
    lua_pushstring(L, "local/amaze/");
    return 1;
}

static int amaze_dir_data(lua_State* L)
{
    lua_pushstring(L, "data/amaze/");
    return 1;
}

// The state clocks are kept in milliseconds and read by scripts in seconds.
static int push_seconds(lua_State* L, int32_t ms)
{
    lua_pushnumber(L, ms / 1000.0);
    return 1;
}

static int amaze_body_time(lua_State* L) { return push_seconds(L, body_time); }
static int amaze_body_step_fn(lua_State* L) { return push_seconds(L, body_step); }
static int amaze_mind_time(lua_State* L) { return push_seconds(L, mind_time); }
static int amaze_mind_step(lua_State* L) { return push_seconds(L, mind_step); }

static int amaze_pause_request(lua_State* L)
{
    if (lua_isboolean(L, 1))
        inst()->pause_request = lua_toboolean(L, 1) ? 1 : 0;
    lua_pushboolean(L, inst()->pause_request);
    return 1;
}

static const luaL_Reg amaze_funcs[] = {
    {"loadhmap", amaze_loadhmap},
    {"usehmap", amaze_usehmap},
    {"alloc_item", amaze_alloc_item},
    {"getview_uprt", amaze_getview_uprt},
    {"getcell_contents", amaze_getcell_contents},
    {"cell_find_solid", amaze_cell_find_solid},
    {"iscell_solid", amaze_iscell_solid},
    {"time", amaze_time},
    {"time_init", amaze_time_init},
    {"time_step", amaze_time_step},
    {"time_str", amaze_time_str},
    {"dir_local", amaze_dir_local},
    {"dir_data", amaze_dir_data},
    {"body_time", amaze_body_time},
    {"body_step", amaze_body_step_fn},
    {"mind_time", amaze_mind_time},
    {"mind_step", amaze_mind_step},
    {"pause_request", amaze_pause_request},
    {NULL, NULL},
};

// ---- item methods ----

static int item_free(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_getfield(L, 1, ITEM_UD);
    amazeitem** slot = (amazeitem**)compat_checkudata(L, -1, ITEM_UD);
    if (!slot)
        luaL_argerror(L, 1, "bad amazeitem");
    release_slot(L, slot);
    return 0;
}

// free and __gc of the userdata itself.
static int item_ud_free(lua_State* L)
{
    release_slot(L, (amazeitem**)compat_checkudata(L, 1, ITEM_UD));
    return 0;
}

static int item_setcell(lua_State* L)
{
    amazeitem* item = check_item(L);
    int32_t x = check_cell_x(L, 2), y = check_cell_y(L, 3);
    float dy = (float)luaL_optnumber(L, 4, 0.0);
    amazeitem_place_at_cell(item, x, y);
    item->mind.xform.position.y += dy;
    return 0;
}

static int item_setxox(lua_State* L)
{
    amazeitem* item = check_item(L);
    const char* name = luaL_checkstring(L, 2);
    gfx* root = inst()->gfx;
    char path[512];
    snprintf(path, sizeof path, "data/%s", name);
    if (!root)
        return 0;
    xox_mesh* mesh = xoxs_load(&root->xoxs, path);
    xoxs_free(&root->xoxs, item->xox); // a second mesh replaces the first
    item->xox = mesh;
    return 0;
}

static int item_setsoul(lua_State* L)
{
    amazeitem* item = check_item(L);
    const char* name = luaL_checkstring(L, 2);
    gfx* root = inst()->gfx;
    avatar* a = root ? avatar_alloc(&root->avatars, name) : NULL;
    if (!a)
        luaL_error(L, "failed to load soul %s", name);
    avatar_free(&root->avatars, item->avatar); // a second soul replaces the first
    item->avatar = a;
    avatar_load_parts(a);
    return 0;
}

static int item_setsize(lua_State* L)
{
    amazeitem* item = check_item(L);
    float s = (float)luaL_checknumber(L, 2);
    item->mind.xform.scale = {s, s, s};
    return 0;
}

static int item_setbob(lua_State* L)
{
    amazeitem* item = check_item(L);
    if (item->type != &amaze_item_base)
        luaL_error(L, "not an amaze base type item");
    float phase = (float)luaL_checknumber(L, 2), amplitude = (float)luaL_checknumber(L, 3);
    amaze_base_setbob(item, phase, amplitude);
    return 0;
}

// setmind and setbody: the run flags, and the function to run next kept in the item's table.
static int set_next_run(lua_State* L, uint32_t* flags, const char* field)
{
    *flags = parse_run_flags(luaL_checkstring(L, 3));
    lua_pushvalue(L, 2);
    lua_setfield(L, 1, field);
    return 0;
}

static int item_setmind(lua_State* L) { return set_next_run(L, &check_item(L)->mind_flags, "mind_next"); }
static int item_setbody(lua_State* L) { return set_next_run(L, &check_item(L)->body_flags, "body_next"); }

static int item_solid(lua_State* L)
{
    amazeitem* item = check_item(L);
    if (lua_isboolean(L, 2))
        item->solid = lua_toboolean(L, 2) ? 1 : 0;
    lua_pushboolean(L, item->solid);
    return 1;
}

static int item_pushable(lua_State* L)
{
    amazeitem* item = check_item(L);
    lua_pushboolean(L, item->type == &amaze_item_clod || item->type == &amaze_item_agonist);
    return 1;
}

static int item_vel(lua_State* L)
{
    amazeitem* item = check_item(L);
    vec3* v = &item->mind.velocity;
    if (lua_isnumber(L, 2))
        *v = {(float)lua_tonumber(L, 2), (float)luaL_checknumber(L, 3), (float)luaL_checknumber(L, 4)};
    lua_pushnumber(L, v->x);
    lua_pushnumber(L, v->y);
    lua_pushnumber(L, v->z);
    return 3;
}

static int item_aim_yrot(lua_State* L)
{
    amazeitem* item = check_item(L);
    if (lua_isnumber(L, 2)) {
        float angle = (float)lua_tonumber(L, 2), rate = (float)luaL_checknumber(L, 3);
        item->yaw = amaze_wrap_pi(item->yaw); // the same heading; a runaway turn may have left it huge
        float delta = amaze_wrap_pi(angle - item->yaw);
        item->yaw_delta = delta;
        item->yaw_from = item->yaw;
        item->turn_t = 0.0f;
        item->turn_rate = rate;
        if (rate == 0.0f) {
            item->yaw = item->yaw_from + item->yaw_delta;
            item->yaw_from = item->yaw;
            item->yaw_delta = item->turn_t = item->turn_rate = 0.0f;
        }
    }
    lua_pushnumber(L, item->yaw);
    return 1;
}

static int item_snapcell(lua_State* L)
{
    amazeitem* item = check_item(L);
    amazeitem_snap_to_cell(item);
    lua_pushnumber(L, item->cell_x);
    lua_pushnumber(L, item->cell_y);
    return 2;
}

static int item_placecell(lua_State* L)
{
    amazeitem* item = check_item(L);
    int32_t x = check_cell_x(L, 2), y = check_cell_y(L, 3);
    amazeitem_move_to_cell(item, x, y);
    return 0;
}

static int item_say(lua_State* L)
{
    amazeitem* item = check_item(L);
    const char* text = luaL_checkstring(L, 2);
    if (!item->bub)
        return 0;
    // The bubble keeps the pointer, not the text: the item owns a copy until the next say.
    size_t n = strlen(text) + 1;
    char* copy = (char*)mem_alloc(n);
    if (!copy)
        return 0;
    memcpy(copy, text, n);
    bub_set_text(item->bub, copy);
    mem_free(item->said);
    item->said = copy;
    return 0;
}

static int item_play(lua_State* L)
{
    amazeitem* item = check_item(L);
    oal_sfx_handle* h = sfx_lua_check_handle(L, 2);
    float gain = (float)luaL_checknumber(L, 3), pitch = (float)luaL_checknumber(L, 4);
    sfx_handle_play(h, gain, pitch, &item->mind.xform.position, NULL);
    return 0;
}

static int item_score(lua_State* L)
{
    amazeitem* item = check_item(L);
    if (lua_isnumber(L, 2))
        item->score = lua_lib_check_int(L, 2);
    lua_pushnumber(L, item->score);
    return 1;
}

static int item_score_init(lua_State* L)
{
    amazeitem* item = check_item(L);
    if (lua_isnumber(L, 2))
        item->score = item->score_init = lua_lib_check_int(L, 2);
    lua_pushnumber(L, item->score_init);
    return 1;
}

static int item_push(lua_State* L)
{
    amazeitem* item = check_item(L);
    float px = (float)luaL_checknumber(L, 2), py = (float)luaL_checknumber(L, 3);
    lua_pushboolean(L, amaze_clod_push(item, px, py));
    return 1;
}

static int item_rolls(lua_State* L)
{
    amazeitem* item = check_item(L);
    if (item->type != &amaze_item_clod)
        return 0;
    int32_t mode = -1;
    if (lua_type(L, 2) == LUA_TSTRING) {
        const char* m = lua_tostring(L, 2);
        mode = !strcmp(m, "XY") ? 0x3 : !strcmp(m, "X") ? 0x1 : !strcmp(m, "Y") ? 0x2 : 0;
    }
    static const char* const names[4] = {"", "X", "Y", "XY"};
    lua_pushstring(L, names[amaze_clod_rolls(item, mode) & 0x3]);
    return 1;
}

static int item_swish(lua_State* L)
{
    amazeitem* item = check_item(L);
    amaze_overlay_swish(&inst()->overlay, &item->mind.xform.position);
    return 0;
}

static const luaL_Reg item_methods[] = {
    {"free", item_free},
    {"setcell", item_setcell},
    {"setxox", item_setxox},
    {"setsoul", item_setsoul},
    {"setsize", item_setsize},
    {"setbob", item_setbob},
    {"setmind", item_setmind},
    {"setbody", item_setbody},
    {"solid", item_solid},
    {"pushable", item_pushable},
    {"vel", item_vel},
    {"aim_yrot", item_aim_yrot},
    {"snapcell", item_snapcell},
    {"placecell", item_placecell},
    {"say", item_say},
    {"play", item_play},
    {"score", item_score},
    {"score_init", item_score_init},
    {"push", item_push},
    {"rolls", item_rolls},
    {"swish", item_swish},
    {NULL, NULL},
};

static const luaL_Reg item_ud_methods[] = {
    {"free", item_ud_free},
    {"__gc", item_ud_free},
    {NULL, NULL},
};

// ---- registration ----

int amaze_lua_register(lua_State* L)
{
    lua_lib_new_type(L, ITEM_UD, item_ud_methods);
    lua_lib_new_type(L, ITEM_TABLE, item_methods);
    lua_newtable(L);
    compat_register(L, amaze_funcs);
    lua_newtable(L);
    lua_setfield(L, -2, "items");
    lua_setglobal(L, "amaze");
    compat_dofile(L, "local/amaze/amaze.lua");
    lua_settop(L, 0);
    return 0;
}

int amaze_lua_remove(lua_State* L)
{
    lua_lib_unregister(L, "amaze");
    return 0;
}
