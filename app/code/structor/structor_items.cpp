// The structor's item list (pooled items dispatched to their types, outlined in edit mode),
// its journal (an empty array kept for recording) and its view (pan and zoom over the world,
// the HUD pointer in world units).

#include "app/code/structor/structor.h"

#include <math.h>
#include <string.h>

#include "app/code/input.h"
#include "engine/code/dbg.h"
#include "engine/code/gfx/cmps.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/txts.h"

static void motion_rest(motion* m, float scale, float damping)
{
    memset(m, 0, sizeof *m);
    m->xform.orientation.w = m->spin.w = m->spin_acceleration.w = 1.0f;
    m->xform.scale = {scale, scale, scale};
    m->damping = damping;
}

static void set_world(const motion* m)
{
    mat4 world;
    mat4_from_transform(&world, &m->xform);
    if (GFX.d3d_gfx.device)
        IDirect3DDevice8_SetTransform(GFX.d3d_gfx.device, D3DTS_WORLD, (const D3DMATRIX*)&world);
}

// ---- items --------------------------------------------------------------------------------

bool structor_items_setup(structor_items_list* l, structor_state* owner)
{
    l->owner = owner;
    l->count = 0;
    if (!pool_setup(&l->records, sizeof(structor_item), 8))
        return false;
    list_setup(&l->records.live);
    return true;
}

void structor_items_clean(structor_items_list* l)
{
    if (!l->records.record_size)
        return; // never set up, or cleaned already
    list_node* n = list_first(&l->records.live);
    while (n && n->next) {
        list_node* next = n->next;
        structor_item_free(l, (structor_item*)n);
        n = next;
    }
    pool_clean(&l->records);
    memset(&l->records, 0, sizeof l->records);
    l->count = 0;
}

structor_item* structor_item_alloc(structor_items_list* l, const structor_item_type* type)
{
    structor_item* it = l->records.record_size ? (structor_item*)pool_alloc(&l->records) : NULL;
    if (!it) {
        dbg_error("Failed to allocate structor item,\n");
        return NULL;
    }
    list_append(&l->records.live, &it->links);
    l->count++;
    it->type = type;
    motion_rest(&it->motion, 32.0f, 0.96875f);
    it->initial = it->motion;
    it->owner = l;
    if (type && type->setup && !type->setup(it)) {
        dbg_error("Failed to setup structor item,\n");
        list_unlink(&it->links);
        l->count--;
        pool_free(&l->records, it);
        return NULL;
    }
    return it;
}

void structor_item_free(structor_items_list* l, structor_item* it)
{
    if (!it)
        return;
    list_unlink(&it->links);
    l->count--;
    structor_item_set_cut_map(it, NULL);
    structor_item_set_texture(it, NULL);
    if (it->type && it->type->clean)
        it->type->clean(it);
    if (it->lua_slot)
        *it->lua_slot = NULL;
    it->lua_slot = NULL;
    pool_free(&l->records, it);
}

// The item becomes the record's one holder: a Lua userdata that held it lets go, and should
// the pool free the record first (the graphics root's clean), the item's word is cleared.
void structor_item_set_texture(structor_item* it, gfx_txts* t)
{
    if (it->texture && it->texture != t) {
        it->texture->holder = NULL;
        gfx_txts_free(it->texture);
    }
    it->texture = t;
    if (t) {
        if (t->holder && t->holder != (void**)&it->texture)
            *t->holder = NULL;
        t->holder = (void**)&it->texture;
    }
}

void structor_item_set_cut_map(structor_item* it, gfx_cmps* c)
{
    if (it->cut_map && it->cut_map != c) {
        it->cut_map->holder = NULL;
        gfx_cmps_free(it->cut_map);
    }
    it->cut_map = c;
    if (c) {
        if (c->holder && c->holder != (void**)&it->cut_map)
            *c->holder = NULL;
        c->holder = (void**)&it->cut_map;
    }
}

void structor_item_reset(structor_item* it)
{
    it->motion = it->initial;
    if (it->type && it->type->reset)
        it->type->reset(it);
}

void structor_item_setinitial(structor_item* it) { it->initial = it->motion; }

void structor_item_rect(const structor_item* it, structor_rect* out)
{
    float w = it->motion.xform.scale.x, h = it->motion.xform.scale.y;
    *out = {it->motion.xform.position.x - w * 0.5f, it->motion.xform.position.y - h * 0.5f, w, h};
}

void structor_item_setcells(structor_item* it)
{
    if (it->type != &structor_item_brush || !it->cut_map || !it->owner || !it->owner->owner)
        return;
    structor_cells* cells = &it->owner->owner->cells;
    cmps_layer* layer = gfx_cmps_layer(it->cut_map, 0);
    if (!layer || cells->cell_size == 0.0f)
        return;
    if (!layer->bitmap && !cmps_layer_build(layer, NULL))
        return;
    float cs = cells->cell_size;
    float w = it->motion.xform.scale.x / cs, h = it->motion.xform.scale.y / cs;
    float cx = it->motion.xform.position.x / cs + (float)(cells->w / 2);
    float cy = (float)(cells->h / 2) - it->motion.xform.position.y / cs;
    structor_rect dest = {cx - w * 0.5f, cy - h * 0.5f, w, h};
    structor_rect source = {0.0f, 0.0f, (float)it->cut_map->w, (float)it->cut_map->h};
    structor_cells_stamp(cells, &layer->bitmap->info, &source, &dest);
}

void structor_items_reset_all(structor_items_list* l)
{
    for (list_node* n = list_first(&l->records.live); n && n->next; n = n->next)
        structor_item_reset((structor_item*)n);
}

void structor_items_phase(structor_items_list* l, uint32_t phase)
{
    for (list_node* n = list_first(&l->records.live); n && n->next; n = n->next) {
        structor_item* it = (structor_item*)n;
        if (it->type && it->type->update)
            it->type->update(it, phase);
    }
}

static void outline(structor_item* it, structor_view* view)
{
    uint32_t colour = (it->flags & STRUCTOR_ITEM_SELECTED) ? 0xFF00FF00u : 0xFF00C000u;
    set_world(&it->motion);
    structor_rect r;
    structor_item_rect(it, &r);
    vec3 lb = {r.x, r.y, 0.0f}, lt = {r.x, r.y + r.h, 0.0f}, rb = {r.x + r.w, r.y, 0.0f},
         rt = {r.x + r.w, r.y + r.h, 0.0f};
    view_project_point(&view->view, &lb);
    view_project_point(&view->view, &lt);
    view_project_point(&view->view, &rb);
    view_project_point(&view->view, &rt);
    gfx_draw2d_line(lb.x, lb.y, lt.x, lt.y, 0.0f, colour, colour);
    gfx_draw2d_line(lt.x, lt.y, rt.x, rt.y, 0.0f, colour, colour);
    gfx_draw2d_line(rb.x, rb.y, lb.x, lb.y, 0.0f, colour, colour);
    gfx_draw2d_line(rb.x, rb.y, rt.x, rt.y, 0.0f, colour, colour);
}

void structor_items_draw(structor_items_list* l)
{
    for (list_node* n = list_first(&l->records.live); n && n->next; n = n->next) {
        structor_item* it = (structor_item*)n;
        if (it->type && it->type->draw)
            it->type->draw(it);
    }
    structor_state* s = l->owner;
    if (!s || !s->edit_mode)
        return;
    for (list_node* n = list_first(&l->records.live); n && n->next; n = n->next) {
        structor_item* it = (structor_item*)n;
        if (it->flags & (STRUCTOR_ITEM_HOVERED | STRUCTOR_ITEM_SELECTED))
            outline(it, &s->view);
    }
}

// ---- journal ------------------------------------------------------------------------------

bool structor_journal_setup(structor_journal* j, structor_state* owner)
{
    j->owner = owner;
    return grow_array_setup(&j->entries, 16, 128, 0);
}

// ---- view ---------------------------------------------------------------------------------

static const float VIEW_ZOOM_IN_LIMIT = 0.16777219f;
static const float VIEW_ZOOM_OUT_LIMIT = 5.9604645f;
static const float VIEW_ZOOM_MIN = 0.13421774f;
static const float VIEW_ZOOM_MAX = 7.4505806f;

bool structor_view_setup(structor_view* v, structor_state* owner)
{
    v->owner = owner;
    view_setup(&v->view, VIEW_MODE_SCREEN);
    motion_rest(&v->motion, 1.0f, 0.9375f);
    v->motion.xform.position.z = 1.0f;
    v->dragging = 0;
    v->pointer = {0.0f, 0.0f, 0.0f};
    return true;
}

static bool clamp_pan(float* pan, float limit)
{
    if (*pan > limit) {
        *pan = limit;
        return true;
    }
    if (*pan < -limit) {
        *pan = -limit;
        return true;
    }
    return false;
}

void structor_view_update(structor_view* v)
{
    motion* m = &v->motion;
    vec3* pos = &m->xform.position;
    float px_ = HUD.pointer.x, py_ = HUD.pointer.y;
    float sw = HUD.window_width, sh = HUD.window_height;
    float zoom = pos->z;
    float inv = 1.0f / zoom;
    m->acceleration = {0.0f, 0.0f, 0.0f};

    const input_player* keys = &INPUT.players[4];
    if (keys->left.held)
        m->acceleration.x = 1.0f;
    if (keys->right.held)
        m->acceleration.x = -1.0f;
    if (keys->up.held)
        m->acceleration.y = -1.0f;
    if (keys->down.held)
        m->acceleration.y = 1.0f;

    float px = (px_ - sw * 0.5f) * inv, py = -(py_ - sh * 0.5f) * inv;
    if (keys->in.pressed && pos->z > VIEW_ZOOM_IN_LIMIT) {
        pos->z *= 0.8f;
        pos->x += 0.25f * px;
        pos->y += 0.25f * py;
    }
    if (keys->out.pressed && pos->z < VIEW_ZOOM_OUT_LIMIT) {
        pos->z *= 1.25f;
        pos->x -= 0.2f * px;
        pos->y -= 0.2f * py;
    }

    if (!INPUT.grab.held) {
        v->dragging = 0;
    } else if (v->dragging) {
        pos->x = v->drag_pan_x + (px_ - v->drag_x) / pos->z;
        pos->y = v->drag_pan_y - (py_ - v->drag_y) / pos->z;
    } else {
        v->drag_pan_x = pos->x;
        v->drag_pan_y = pos->y;
        v->drag_zoom = pos->z;
        v->drag_x = px_;
        v->drag_y = py_;
        v->drag_z = HUD.pointer.z;
        v->dragging = 1;
    }

    motion_step(m);

    if (pos->z < VIEW_ZOOM_MIN || pos->z > VIEW_ZOOM_MAX) {
        pos->z = pos->z < VIEW_ZOOM_MIN ? VIEW_ZOOM_MIN : VIEW_ZOOM_MAX;
        m->velocity.z = 0.0f;
        m->acceleration.z = 0.0f;
    }

    vec3 world = {1024.0f, 512.0f, 0.0f};
    view_project_offset(&v->view, &world);
    float dx = ((float)GFX.screen_width - world.x) * inv;
    float dy = ((float)GFX.screen_height - world.y) * inv;
    if (clamp_pan(&pos->x, 1024.0f * inv + fabsf(dx) * 0.5f)) {
        m->velocity.x = 0.0f;
        m->acceleration.x = 0.0f;
    }
    if (clamp_pan(&pos->y, 512.0f * inv + fabsf(dy) * 0.5f)) {
        m->velocity.y = 0.0f;
        m->acceleration.y = 0.0f;
    }

    v->view.derived = m->xform;
    view_build(&v->view);

    v->pointer = {(px_ - sw * 0.5f) / pos->z - pos->x, -(py_ - sh * 0.5f) / pos->z - pos->y, 0.0f};
    dbg_status("pointer=%f,%f\n", v->pointer.x, v->pointer.y);
}

void structor_view_draw(structor_view* v) { view_apply(&v->view); }
