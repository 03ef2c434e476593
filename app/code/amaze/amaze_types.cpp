// The four item types: base scenery that can spin and bob, clods that slide or roll one
// cell at a time, directors that only run their minds, and agonists (protagonists and
// antagonists) with an avatar, a smoothed body, a turning aim and a speech bubble.
//
// Sections: shared steps, base, director, clod, agonist.

#include <math.h>
#include <string.h>

#include "app/code/amaze/amaze.h"
#include "app/code/con.h"
#include "app/code/main_state.h"
#include "engine/code/dbg.h"
#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/bubs.h"
#include "engine/code/gfx/d3d_gfx.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/xox.h"
#include "engine/code/gfx/xsx.h"
#include "engine/code/mem.h"

static const float AMAZE_PI = 3.14159265f;
static const float CLOD_SPEED = 1.6666666f; // one cell in six mind ticks
static const float CLOD_ROLL = 2.0f;        // radians per second of a rolling clod
static const float CLOD_SLOPE = 0.1f;       // steeper cells make a rolling clod move

struct base_data {
    uint32_t bob;
    float bob_phase;
    float bob_amplitude;
};

struct clod_data {
    float push_x, push_y;
    uint32_t steps;
    uint8_t roll_x, roll_y;
};

struct director_data {
    uint32_t unused[3];
};

struct agonist_data {
    uint32_t unused[4];
};

// ---- shared steps ----

static float dt_mind(void) { return (float)mind_step / 1000.0f; }
static float dt_body(void) { return (float)body_step / 1000.0f; }

static bool alloc_data(amazeitem* item, size_t size)
{
    item->data = mem_alloc(size);
    if (!item->data) {
        dbg_error("Failed to allocate memory.");
        return false;
    }
    return true;
}

static void free_data(amazeitem* item)
{
    mem_free(item->data);
    item->data = NULL;
}

static void set_world(amazeitem* item, const mat4* m)
{
    gfx* root = item->owner->owner->gfx;
    IDirect3DDevice8* device = root ? root->d3d_gfx.device : NULL;
    if (device)
        IDirect3DDevice8_SetTransform(device, D3DTS_WORLD, (const D3DMATRIX*)m);
}

static void draw_mesh(amazeitem* item, const transform* t)
{
    mat4 world;
    mat4_from_transform(&world, t);
    set_world(item, &world);
    xox_draw(item->xox);
}

static void run_mind_if_ticking(amazeitem* item)
{
    if (item->mind_flags & 0x1)
        amaze_mind_tick(CON.L, item);
}

static float terrain_under(amazeitem* item, const vec3* p)
{
    isomap* map = &item->owner->owner->isomap;
    if (!map->points)
        return 0.0f;
    float mx = p->x, my = p->z;
    isomap_world_to_map(map, &mx, &my);
    return isomap_height(map, mx, my);
}

// A rotation rate scaled to the part dt of a second; w is scaled towards +1 or -1 to
// keep the sign of the rotation's half angle.
static void scale_spin(quat* out, const quat* s, float dt)
{
    out->x = s->x * dt;
    out->y = s->y * dt;
    out->z = s->z * dt;
    out->w = s->w >= 0.0f ? 1.0f - (1.0f - s->w) * dt : -1.0f - (-1.0f - s->w) * dt;
}

static void spin_step(motion* m, float dt)
{
    quat step;
    scale_spin(&step, &m->spin, dt);
    quat_renormalise(&step);
    quat_mul(&m->xform.orientation, &step, &m->xform.orientation);
    quat_renormalise(&m->xform.orientation);
}

static void move_by(motion* m, float dt)
{
    m->xform.position.x += dt * m->velocity.x;
    m->xform.position.y += dt * m->velocity.y;
    m->xform.position.z += dt * m->velocity.z;
}

// ---- base ----

static bool amaze_base_setup(amazeitem* item) { return alloc_data(item, sizeof(base_data)); }
static void amaze_base_clean(amazeitem* item) { free_data(item); }
static bool amaze_base_reset(amazeitem* item)
{
    amaze_base_clean(item);
    return amaze_base_setup(item);
}

static void amaze_base_update(amazeitem* item, uint32_t phase)
{
    if (phase & UPDATE_MIND_TICK)
        run_mind_if_ticking(item);
    if ((phase & UPDATE_BODY_STEP) && item->type && item->xox)
        xox_update(item->xox);
}

static void amaze_base_draw(amazeitem* item)
{
    base_data* d = (base_data*)item->data;
    if (!item->xox)
        return;
    if (!d || !d->bob) {
        draw_mesh(item, &item->mind.xform);
        return;
    }
    float v = fabsf(2.0f * (d->bob_phase - floorf(d->bob_phase)) - 1.0f);
    transform bob = {{0.0f, (3.0f * v * v - 2.0f * v * v * v - 0.5f) * d->bob_amplitude, 0.0f},
                     {0.0f, 0.0f, 0.0f, 1.0f},
                     {1.0f, 1.0f, 1.0f}};
    quat_rotation_y(&bob.orientation, 2.0f * AMAZE_PI * d->bob_phase);
    mat4 b, m, world;
    mat4_from_transform(&b, &bob);
    mat4_from_transform(&m, &item->mind.xform);
    mat4_mul(&world, &m, &b); // the bob first, then the item's place
    set_world(item, &world);
    xox_draw(item->xox);
    d->bob_phase += (float)body_step / 2048.0f;
}

void amaze_base_setbob(amazeitem* item, float phase, float amplitude)
{
    base_data* d = (base_data*)item->data;
    d->bob = 1;
    d->bob_phase = phase;
    d->bob_amplitude = amplitude;
}

extern const amaze_item_type amaze_item_base = {amaze_base_setup, amaze_base_reset, amaze_base_clean,
                                                amaze_base_update, amaze_base_draw, NULL};

// ---- director ----

static bool amaze_director_setup(amazeitem* item) { return alloc_data(item, sizeof(director_data)); }
static void amaze_director_clean(amazeitem* item) { free_data(item); }
static bool amaze_director_reset(amazeitem* item)
{
    amaze_director_clean(item);
    return amaze_director_setup(item);
}
static void amaze_director_update(amazeitem* item, uint32_t phase)
{
    if (phase & UPDATE_MIND_TICK)
        run_mind_if_ticking(item);
}
static void amaze_director_draw(amazeitem* item) {}

extern const amaze_item_type amaze_item_director = {amaze_director_setup, amaze_director_reset,
                                                    amaze_director_clean, amaze_director_update,
                                                    amaze_director_draw, NULL};

// ---- clod ----

static bool amaze_clod_setup(amazeitem* item) { return alloc_data(item, sizeof(clod_data)); }
static void amaze_clod_clean(amazeitem* item) { free_data(item); }
static bool amaze_clod_reset(amazeitem* item)
{
    amaze_clod_clean(item);
    return amaze_clod_setup(item);
}

static int32_t slope_direction(float g)
{
    return g > CLOD_SLOPE ? 1 : g < -CLOD_SLOPE ? -1 : 0;
}

// Spin about an axis at the clod's speed (the turn of one second, scaled as spins are).
static void roll_spin(quat* spin, int axis, float angle)
{
    if (axis == 0)
        quat_rotate_x(spin, angle);
    else
        quat_rotate_z(spin, angle);
    quat s = *spin;
    scale_spin(spin, &s, CLOD_SPEED);
}

// One attempt to start a move in direction (dx, dy); true when one was taken.
static bool clod_try(amazeitem* item, clod_data* d, float dx, float dy)
{
    amaze_items* items = item->owner;
    motion* m = &item->mind;
    int32_t tx = item->cell_x, ty = item->cell_y;
    if (dy != 0.0f) {
        ty = dy > 0.0f ? item->cell_y + 1 : item->cell_y - 1;
        if (!amaze_items_cell_blocked(items, tx, ty)) {
            m->velocity = {0.0f, 0.0f, dy > 0.0f ? -CLOD_SPEED : CLOD_SPEED};
            m->spin = {0.0f, 0.0f, 0.0f, 1.0f};
            if (d->roll_y)
                roll_spin(&m->spin, 0, dy > 0.0f ? -CLOD_ROLL : CLOD_ROLL);
            goto take;
        }
        ty = item->cell_y;
    }
    if (dx == 0.0f)
        return false;
    tx = dx > 0.0f ? item->cell_x + 1 : item->cell_x - 1;
    if (amaze_items_cell_blocked(items, tx, ty))
        return false;
    m->velocity = {dx > 0.0f ? CLOD_SPEED : -CLOD_SPEED, 0.0f, 0.0f};
    m->spin = {0.0f, 0.0f, 0.0f, 1.0f};
    if (d->roll_x)
        roll_spin(&m->spin, 2, dx > 0.0f ? -CLOD_ROLL : CLOD_ROLL);
take:
    amazeitem_move_to_cell(item, tx, ty);
    item->cell_x = tx;
    item->cell_y = ty;
    d->steps = 6;
    amaze_mind_tick(CON.L, item);
    return true;
}

static void clod_mind(amazeitem* item, clod_data* d)
{
    motion* m = &item->mind;
    float dt = dt_mind();
    move_by(m, dt);
    spin_step(m, dt);
    if (d->steps) {
        if (--d->steps == 0) {
            m->velocity = {0.0f, 0.0f, 0.0f};
            m->spin = {0.0f, 0.0f, 0.0f, 1.0f};
            amazeitem_place_at_cell(item, item->cell_x, item->cell_y);
        } else {
            d->push_x = d->push_y = 0.0f;
            return;
        }
    }
    float gx = 0.0f, gy = 0.0f;
    isomap* map = &item->owner->owner->isomap;
    if (map->points)
        isomap_cell_slope(map, item->cell_x, item->cell_y, &gx, &gy);
    float sx = d->roll_x ? (float)slope_direction(gx) : 0.0f;
    float sy = d->roll_y ? (float)slope_direction(gy) : 0.0f;
    if (!clod_try(item, d, sx, sy) && item->type)
        clod_try(item, d, d->push_x, d->push_y);
    if (item->type) // its mind may have freed it
        d->push_x = d->push_y = 0.0f;
}

static void amaze_clod_update(amazeitem* item, uint32_t phase)
{
    clod_data* d = (clod_data*)item->data;
    if ((phase & UPDATE_MIND_TICK) && d)
        clod_mind(item, d);
    if (!item->type)
        return;
    if (phase & UPDATE_MIND_AFTER)
        item->body = item->mind;
    if (phase & UPDATE_BODY_STEP) {
        motion* b = &item->body;
        float dt = dt_body();
        move_by(b, dt);
        spin_step(b, dt);
        b->xform.position.y = terrain_under(item, &b->xform.position) + 0.5f;
        if (item->xox)
            xox_update(item->xox);
    }
}

static void amaze_clod_draw(amazeitem* item)
{
    if (item->xox)
        draw_mesh(item, &item->body.xform);
}

bool amaze_clod_push(amazeitem* item, float px, float py)
{
    if (item->type != &amaze_item_clod)
        return false;
    clod_data* d = (clod_data*)item->data;
    d->push_x = px;
    d->push_y = py;
    return true;
}

// Roll flags as bits: 0x1 x, 0x2 y. Set when mode >= 0.
int32_t amaze_clod_rolls(amazeitem* item, int32_t mode)
{
    clod_data* d = (clod_data*)item->data;
    if (mode >= 0) {
        d->roll_x = (mode & 0x1) ? 1 : 0;
        d->roll_y = (mode & 0x2) ? 1 : 0;
    }
    return (d->roll_x ? 0x1 : 0) | (d->roll_y ? 0x2 : 0);
}

extern const amaze_item_type amaze_item_clod = {amaze_clod_setup, amaze_clod_reset, amaze_clod_clean,
                                                amaze_clod_update, amaze_clod_draw, NULL};

// ---- agonist ----

static bool amaze_agonist_setup(amazeitem* item)
{
    if (!alloc_data(item, sizeof(agonist_data)))
        return false;
    gfx* root = item->owner->owner->gfx;
    item->bub = root ? bub_alloc(&root->bubs) : NULL;
    if (!item->bub) {
        dbg_error("Failed to allocate bub.");
        return false;
    }
    return true;
}
static void amaze_agonist_clean(amazeitem* item) { free_data(item); }
static bool amaze_agonist_reset(amazeitem* item)
{
    amaze_agonist_clean(item);
    return amaze_agonist_setup(item);
}

float amaze_wrap_pi(float a)
{
    if (!isfinite(a))
        return 0.0f;
    // Past a few turns, subtracting one turn at a time is slow, and for large floats it no
    // longer changes the value at all.
    if (a > 4.0f * AMAZE_PI || a < -4.0f * AMAZE_PI)
        a = remainderf(a, 2.0f * AMAZE_PI);
    while (a > AMAZE_PI)
        a -= 2.0f * AMAZE_PI;
    while (a < -AMAZE_PI)
        a += 2.0f * AMAZE_PI;
    return a;
}

// The turn starts fast and eases into the target.
static void turn_step(amazeitem* item, float dt)
{
    item->yaw_from = amaze_wrap_pi(item->yaw_from);
    item->yaw = amaze_wrap_pi(item->yaw);
    if (item->turn_rate == 0.0f)
        return;
    item->turn_t += dt * item->turn_rate;
    if (item->turn_t >= 1.0f) {
        item->yaw = item->yaw_from + item->yaw_delta;
        item->yaw_from = item->yaw;
        item->yaw_delta = item->turn_t = item->turn_rate = 0.0f;
        return;
    }
    float s = fabsf(item->turn_t) * 0.5f + 0.5f;
    item->yaw = item->yaw_from + 2.0f * (3.0f * s * s - 2.0f * s * s * s - 0.5f) * item->yaw_delta;
}

static void agonist_body(amazeitem* item)
{
    amaze* a = item->owner->owner;
    float dt = dt_body();
    amaze_body_step(CON.L, item);
    if (!item->type)
        return; // its body freed it
    motion* b = &item->body;
    move_by(b, dt);
    turn_step(item, dt);
    b->xform.orientation = {0.0f, 0.0f, 0.0f, 1.0f};
    quat_rotate_y(&b->xform.orientation, item->yaw);
    b->xform.position.y = terrain_under(item, &b->xform.position);
    if (item->avatar) {
        if (item->avatar->base.anim)
            mat4_from_transform(&item->avatar->base.anim->matrix, &b->xform);
        avatar_update(item->avatar);
    }
    if (item->bub) {
        vec3 p = {b->xform.position.x, b->xform.position.y + 1.0f, b->xform.position.z};
        view_project(&a->view.view, &p);
        item->bub->anchor_x = p.x;
        item->bub->anchor_y = p.y;
    }
}

static void amaze_agonist_update(amazeitem* item, uint32_t phase)
{
    if (phase & UPDATE_MIND_TICK) {
        move_by(&item->mind, dt_mind());
        run_mind_if_ticking(item);
        if (!item->type)
            return;
    }
    if (phase & UPDATE_MIND_AFTER)
        item->body = item->mind;
    if (phase & UPDATE_BODY_STEP)
        agonist_body(item);
}

static void amaze_agonist_draw(amazeitem* item)
{
    if (item->xox)
        draw_mesh(item, &item->mind.xform);
    if (item->avatar) {
        if (item->avatar->base.anim)
            mat4_from_transform(&item->avatar->base.anim->matrix, &item->body.xform);
        avatar_draw(item->avatar);
    }
}

extern const amaze_item_type amaze_item_agonist = {amaze_agonist_setup, amaze_agonist_reset,
                                                   amaze_agonist_clean, amaze_agonist_update,
                                                   amaze_agonist_draw, NULL};
