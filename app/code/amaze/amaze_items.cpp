// The maze items: the pool and its live list, the cell-contents lists, allocation and
// release, the phase dispatch, and the coroutine protocol of minds and bodies.
//
// Sections: cells, allocation and release, dispatch, minds and bodies.

#include "app/code/amaze/amaze.h"

#include <string.h>

#include "app/code/con.h"
#include "engine/code/dbg.h"
#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/bubs.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/xox.h"
#include "engine/code/gfx/xsx.h"
#include "engine/code/mem.h"
#include "engine/code/safelua.h"

// A record released while a dispatch walks the live list stays linked, marked by a null
// type, until the outermost dispatch ends; walks skip such records, so a mind that frees
// the next item in line never leaves the walk holding a recycled record.
static int32_t dispatch_depth;

static amazeitem* item_of(list_node* n) { return (amazeitem*)n; }

// ---- cells ----

static void cell_unlink(amazeitem* item)
{
    if (!item->cell_slot)
        return;
    if (*item->cell_slot == item) {
        *item->cell_slot = item->cell_next;
        if (item->cell_next)
            item->cell_next->cell_prev = NULL;
    } else {
        if (item->cell_prev)
            item->cell_prev->cell_next = item->cell_next;
        if (item->cell_next)
            item->cell_next->cell_prev = item->cell_prev;
    }
    item->cell_slot = NULL;
    item->cell_next = item->cell_prev = NULL;
}

static bool on_cells(const amaze_items* items, int32_t x, int32_t y)
{
    return items->cells && x >= 0 && y >= 0 && x < items->cells_x && y < items->cells_y;
}

void amaze_items_alloc_cells(amaze_items* items)
{
    const isomap* map = &items->owner->isomap;
    int32_t w = map->points ? map->cells_x : 0, h = map->points ? map->cells_y : 0;
    if (w <= 0 || h <= 0)
        return;
    // Items still linked into the old array no longer stand on any cell.
    for (list_node* n = list_first(&items->items.live); n->next; n = n->next) {
        amazeitem* item = item_of(n);
        item->cell_slot = NULL;
        item->cell_next = item->cell_prev = NULL;
    }
    mem_free(items->cells);
    items->cells = (amazeitem**)mem_alloc(sizeof(amazeitem*) * (size_t)w * (size_t)h);
    items->cells_x = items->cells ? w : 0;
    items->cells_y = items->cells ? h : 0;
    if (!items->cells)
        dbg_error("Failed to allocate amaze cells,\n");
}

bool amaze_items_cell_blocked(amaze_items* items, int32_t x, int32_t y)
{
    const isomap* map = &items->owner->isomap;
    if (x < 0 || y < 0 || x >= map->cells_x || y >= map->cells_y)
        return true;
    if (!on_cells(items, x, y))
        return false;
    for (amazeitem* i = items->cells[items->cells_x * y + x]; i; i = i->cell_next)
        if (i->solid)
            return true;
    return false;
}

void amazeitem_move_to_cell(amazeitem* item, int32_t x, int32_t y)
{
    amaze_items* items = item->owner;
    if (!on_cells(items, x, y))
        return;
    amazeitem** head = &items->cells[items->cells_x * y + x];
    if (item->cell_slot == head)
        return;
    cell_unlink(item);
    item->cell_next = *head;
    if (*head)
        (*head)->cell_prev = item;
    item->cell_prev = NULL;
    item->cell_slot = head;
    *head = item;
}

static void stand_on_cell(amazeitem* item, int32_t x, int32_t y)
{
    isomap* map = &item->owner->owner->isomap;
    float wx = (float)x, wz = (float)y;
    isomap_map_to_world(map, &wx, &wz);
    item->mind.xform.position.x = wx;
    item->mind.xform.position.z = wz;
    float mx = wx, my = wz;
    isomap_world_to_map(map, &mx, &my);
    item->mind.xform.position.y = map->points ? isomap_height(map, mx, my) : 0.0f;
}

void amazeitem_place_at_cell(amazeitem* item, int32_t x, int32_t y)
{
    item->cell_x = x;
    item->cell_y = y;
    amazeitem_move_to_cell(item, x, y);
    stand_on_cell(item, x, y);
}

// Rounds by adding 0.5 and truncating; a position no int can hold (a script may set any
// velocity) lands off the map instead of converting out of range.
static int32_t round_cell(float m)
{
    float r = m + 0.5f;
    return r > -1e9f && r < 1e9f ? (int32_t)r : -1;
}

void amazeitem_snap_to_cell(amazeitem* item)
{
    isomap* map = &item->owner->owner->isomap;
    float mx = item->mind.xform.position.x, my = item->mind.xform.position.z;
    isomap_world_to_map(map, &mx, &my);
    int32_t x = round_cell(mx), y = round_cell(my);
    item->cell_x = x;
    item->cell_y = y;
    amazeitem_move_to_cell(item, x, y);
    stand_on_cell(item, x, y);
}

// ---- allocation and release ----

bool amaze_items_setup(amaze_items* items, amaze* owner)
{
    memset(items, 0, sizeof *items);
    items->owner = owner;
    pool_setup(&items->items, sizeof(amazeitem), AMAZE_ITEMS_PER_CHUNK);
    return true;
}

bool amaze_items_reset(amaze_items* items)
{
    amaze* owner = items->owner;
    amaze_items_clean(items);
    return amaze_items_setup(items, owner);
}

static void motion_rest(motion* m)
{
    memset(m, 0, sizeof *m);
    m->xform.orientation.w = 1.0f;
    m->xform.scale = {1.0f, 1.0f, 1.0f};
    m->spin.w = m->spin_acceleration.w = 1.0f;
    m->damping = 1.0f;
}

amazeitem* amaze_item_alloc(amaze_items* items, const amaze_item_type* type)
{
    amazeitem* item = (amazeitem*)pool_alloc(&items->items);
    if (!item) {
        dbg_error("Failed to allocate amaze item,\n");
        return NULL;
    }
    list_append(&items->items.live, &item->links);
    item->type = type;
    motion_rest(&item->mind);
    item->serial = (int32_t)++items->serial;
    item->owner = items;
    if (!type->setup(item)) {
        dbg_error("Failed to setup amaze item,\n");
        amaze_item_free(items, item);
        return NULL;
    }
    return item;
}

// Everything but the live-list link and the record itself.
static void release_parts(amazeitem* item)
{
    gfx* root = item->owner->owner->gfx;
    cell_unlink(item);
    if (item->type)
        item->type->clean(item);
    if (root) {
        xoxs_free(&root->xoxs, item->xox);
        xsxs_free(&root->xsxs, item->anim);
        avatar_free(&root->avatars, item->avatar);
        bub_free(&root->bubs, item->bub);
    }
    item->xox = NULL;
    item->anim = NULL;
    item->avatar = NULL;
    item->bub = NULL;
    mem_free(item->said);
    item->said = NULL;
    if (item->list_slot)
        *item->list_slot = NULL;
    item->list_slot = NULL;
    if (item->lua_slot)
        *item->lua_slot = NULL;
    item->lua_slot = NULL;
    item->type = NULL;
}

void amazeitem_release(amazeitem* item)
{
    list_unlink(&item->links);
    release_parts(item);
}

void amaze_item_free(amaze_items* items, amazeitem* item)
{
    if (!item || !item->type)
        return;
    if (dispatch_depth > 0) {
        release_parts(item); // the record goes back when the walk is over
        return;
    }
    amazeitem_release(item);
    pool_free(&items->items, item);
}

static void dispatch_begin(void) { dispatch_depth++; }

static void dispatch_end(amaze_items* items)
{
    if (--dispatch_depth > 0)
        return;
    list_node* n = list_first(&items->items.live);
    while (n->next) {
        list_node* next = n->next;
        if (!item_of(n)->type) {
            list_unlink(n);
            pool_free(&items->items, n);
        }
        n = next;
    }
}

void amaze_items_clean(amaze_items* items)
{
    if (items->items.record_size) {
        list_node* n = list_last(&items->items.live);
        while (n->previous) {
            list_node* previous = n->previous;
            amazeitem_release(item_of(n));
            n = previous;
        }
        pool_clean(&items->items);
    }
    mem_free(items->cells);
    items->cells = NULL;
    items->cells_x = items->cells_y = 0;
}

// ---- dispatch ----

void amaze_items_update(amaze_items* items, uint32_t phase)
{
    // Items a mind allocates during the pass wait for the next one: a mind that spawns an
    // item whose mind spawns another must not keep one pass going for ever. Records freed
    // meanwhile stay linked until the pass ends, so the last one is still in the list.
    list_node* last = list_last(&items->items.live);
    dispatch_begin();
    for (list_node* n = list_first(&items->items.live); n->next; n = n->next) {
        amazeitem* item = item_of(n);
        if (item->type && item->type != &amaze_item_director)
            item->type->update(item, phase);
        if (n == last)
            break;
    }
    dispatch_end(items);
}

void amaze_items_mind_tick(amaze_items* items, uint32_t phase)
{
    amaze_item_list* l = &items->owner->directors;
    dispatch_begin();
    for (int32_t i = 0; i < l->count && i < AMAZE_LIST_MAX; i++)
        if (l->items[i] && l->items[i]->type)
            l->items[i]->type->update(l->items[i], phase);
    dispatch_end(items);
}

void amaze_items_draw(amaze_items* items)
{
    for (list_node* n = list_first(&items->items.live); n->next; n = n->next)
        if (item_of(n)->type)
            item_of(n)->type->draw(item_of(n));
}

// ---- minds and bodies ----

// Pushes amaze.items[serial]; false (nothing pushed) when there is no such table.
static bool push_item_table(lua_State* L, const amazeitem* item)
{
    lua_getglobal(L, "amaze");
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    lua_getfield(L, -1, "items");
    lua_remove(L, -2);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    lua_rawgeti(L, -1, item->serial);
    lua_remove(L, -2);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    return true;
}

// With the item table at the stack top: starts the coroutine waiting in next_field, then
// resumes the one in co_field once. The table stays on the stack.
static void resume_field(lua_State* L, const char* next_field, const char* co_field)
{
    int t = lua_gettop(L);
    bool start = false;
    lua_getfield(L, t, next_field);
    // Only Lua functions start: a C function that yields (coroutine.yield itself) cannot be
    // resumed again, which is why scripts' own coroutine.create refuses them too.
    if (lua_isfunction(L, -1) && !lua_iscfunction(L, -1)) {
        lua_State* co = lua_newthread(L);
        lua_setfield(L, t, co_field);
        lua_xmove(L, co, 1); // the function
        lua_pushnil(L);
        lua_setfield(L, t, next_field);
        start = true;
    } else {
        lua_pop(L, 1);
    }
    lua_getfield(L, t, co_field);
    lua_State* co = lua_tothread(L, -1);
    lua_pop(L, 1);
    if (!co)
        return;
    if (start) {
        lua_pushvalue(L, t);
        lua_xmove(L, co, 1);
    }
    compat_resume_result r = compat_resume(co, start ? 1 : 0);
    if (r == COMPAT_RESUME_YIELDED) {
        lua_settop(co, 0); // what it yielded is not used
        return;
    }
    if (r == COMPAT_RESUME_FAILED)
        safelua_alert(co);
    // Ended (with or without results) or failed: a finished coroutine is never resumed.
    lua_pushnil(L);
    lua_setfield(L, t, co_field);
}

int amaze_mind_resume(lua_State* L)
{
    amazeitem* item = (amazeitem*)lua_touserdata(L, 1);
    if (!push_item_table(L, item))
        return 0;
    resume_field(L, "mind_next", "mind");
    return 0;
}

// Avatar layers from the item table's tweens: entries 1 to 8 with a nonzero blend fill the
// layers from layer 0 in entry order.
static void copy_tweens(lua_State* L, int t, amazeitem* item)
{
    avatar* a = item->avatar;
    avatars* m = &item->owner->owner->gfx->avatars;
    lua_getfield(L, t, "tweens");
    int tw = lua_gettop(L);
    int32_t k = 0;
    for (int32_t i = 1; i <= AVATAR_LAYERS; i++) {
        if (k < AVATAR_LAYERS)
            a->layers[k].slot = NULL;
        if (!lua_istable(L, tw))
            continue;
        lua_rawgeti(L, tw, i);
        if (!lua_istable(L, -1)) {
            lua_pop(L, 1);
            continue;
        }
        int e = lua_gettop(L);
        lua_getfield(L, e, "blend");
        float blend = (float)lua_tonumber(L, -1);
        lua_pop(L, 1);
        if (blend != 0.0f && k < AVATAR_LAYERS) {
            lua_getfield(L, e, "frame");
            float frame = (float)lua_tonumber(L, -1);
            lua_getfield(L, e, "ID");
            lua_Number id = lua_tonumber(L, -1);
            lua_pop(L, 2);
            avatar_layer* layer = &a->layers[k];
            if (id >= 0.0 && id < (lua_Number)AVATAR_ANIM_COUNT)
                layer->slot = &m->anims[(int32_t)id];
            layer->weight = blend;
            layer->time = frame;
            k++;
        }
        lua_pop(L, 1);
    }
    lua_settop(L, t);
}

int amaze_body_resume(lua_State* L)
{
    amazeitem* item = (amazeitem*)lua_touserdata(L, 1);
    if (!push_item_table(L, item))
        return 0;
    int t = lua_gettop(L);
    resume_field(L, "body_next", "body");
    // The body may have freed its own item.
    if (item->type && item->avatar && item->owner->owner->gfx)
        copy_tweens(L, t, item);
    return 0;
}

bool amaze_mind_tick(lua_State* L, amazeitem* item)
{
    return L && safelua_cpcall(L, amaze_mind_resume, item);
}

bool amaze_body_step(lua_State* L, amazeitem* item)
{
    return L && safelua_cpcall(L, amaze_body_resume, item);
}
