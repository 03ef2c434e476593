// The three kinds of structor item: the ball (falls, floats in the liquid, bounces off walls
// and rolls, in one force step and two collision-and-move sub-steps a frame), the brush (a
// textured rectangle whose cut map can be stamped into the cells) and the cells picture.

#include "app/code/structor/structor.h"

#include <float.h>
#include <string.h>

#include "engine/code/dbg.h"
#include "engine/code/gfx/cmps.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/txts.h"
#include "engine/code/gfx/xox.h"
#include "engine/code/mem.h"

static const float ROLL = -0.0009765625f; // radians of roll per unit moved
// The radius of a ball whose size cannot be one (0, below 0, NaN or infinite, as a script
// may set it): a sphere needs a radius above 0 to collide.
static const float BALL_RADIUS_FALLBACK = 0.0625f;

static structor_state* state_of(structor_item* it)
{
    return it->owner ? it->owner->owner : NULL;
}

static void set_world(const motion* m)
{
    mat4 world;
    mat4_from_transform(&world, &m->xform);
    if (GFX.d3d_gfx.device)
        IDirect3DDevice8_SetTransform(GFX.d3d_gfx.device, D3DTS_WORLD, (const D3DMATRIX*)&world);
}

static float clampf(float v, float lo, float hi) { return v < lo ? lo : v > hi ? hi : v; }

// Half a ball's size along one axis, or `fallback` when the size is 0, below 0, NaN or infinite.
static float half_size_or(float size, float fallback)
{
    return size > 0.0f && size <= FLT_MAX ? size * 0.5f : fallback;
}

static bool nothing_true(structor_item* it) { return true; }
static void nothing(structor_item* it) {}
static void nothing_update(structor_item* it, uint32_t phase) {}

// ---- ball ---------------------------------------------------------------------------------

struct aball_data {
    xox_mesh* mesh;  // null when the mesh would not load
};

static xox_mesh* ball_mesh(structor_item* it) { return it->data ? ((aball_data*)it->data)->mesh : NULL; }

static bool aball_setup(structor_item* it)
{
    aball_data* d = (aball_data*)mem_alloc(sizeof(aball_data));
    if (!d) {
        dbg_error("Failed to allocate memory.");
        return false;
    }
    structor_state* s = state_of(it);
    gfx* root = s && s->gfx ? s->gfx : &GFX;
    d->mesh = xoxs_load(&root->xoxs, "data/objects/xox/aball.xox");
    it->data = d;
    return true;
}

static void aball_clean(structor_item* it)
{
    aball_data* d = (aball_data*)it->data;
    if (!d)
        return;
    structor_state* s = state_of(it);
    gfx* root = s && s->gfx ? s->gfx : &GFX;
    xoxs_free(&root->xoxs, d->mesh);
    mem_free(d);
    it->data = NULL;
}

static void force_step(structor_item* it, structor_cells* cells)
{
    motion* m = &it->motion;
    vec3* p = &m->xform.position;
    vec3* v = &m->velocity;
    const vec3* a = &m->acceleration;
    float w = m->xform.scale.x, h = m->xform.scale.y;
    v->x = clampf(v->x, -32.0f, 32.0f);
    v->y = clampf(v->y, -32.0f, 32.0f);
    dbg_status(" pos = %16.8f , %16.8f , %16.8f \n", p->x, p->y, p->z);
    dbg_status(" vel = %16.8f , %16.8f , %16.8f \n", v->x, v->y, v->z);
    dbg_status(" acc = %16.8f , %16.8f , %16.8f \n", a->x, a->y, a->z);
    vec3 lo = {p->x - w * 0.5f, p->y - h * 0.5f, 0.0f}, hi = {p->x + w * 0.5f, p->y + h * 0.5f, 0.0f};
    vec3 flow = {0.0f, 0.0f, 0.0f};
    if (cells)
        structor_cells_sample(cells, &lo, &hi, &flow);
    dbg_status(" hmm = %16.8f , %16.8f , %16.8f \n", flow.x, flow.y, flow.z);
    float amount = flow.z;
    float k = amount * 0.5f;
    if (k > 1.0f)
        k = 1.0f;
    v->x += k * flow.x * 0.5f;
    v->y = v->y - k * flow.y * 0.5f - 0.5f + amount;
    float dry = 80.0f - amount;
    m->damping = (dry > 0.0f ? dry : 0.0f) * 0.0125f * 0.96875f;
    motion_step_velocity(m);
    v->x = clampf(v->x, -8.0f, 8.0f);
    v->y = clampf(v->y, -8.0f, 8.0f);
    v->z = clampf(v->z, -8.0f, 8.0f);
    it->move = *v;
}

static void collision_step(structor_item* it, structor_cells* cells)
{
    motion* m = &it->motion;
    const vec3* p = &m->xform.position;
    float w = m->xform.scale.x, h = m->xform.scale.y, d = m->xform.scale.z;
    sphere* s = &it->sphere;
    memset(s, 0, sizeof *s);
    s->position = *p;
    s->velocity = it->move;
    s->radius = half_size_or(d, BALL_RADIUS_FALLBACK);
    s->contact_time = 2.0f;
    if (cells) {
        float cs = cells->cell_size;
        // A ball without a usable size looks for walls as a point would (an infinite box
        // would fill the contacts with the top rows and miss the floor).
        float ex = cs * 4.0f + half_size_or(w, 0.0f), ey = cs * 4.0f + half_size_or(h, 0.0f);
        float x0 = p->x < p->x + it->move.x ? p->x : p->x + it->move.x;
        float x1 = p->x > p->x + it->move.x ? p->x : p->x + it->move.x;
        float y0 = p->y < p->y + it->move.y ? p->y : p->y + it->move.y;
        float y1 = p->y > p->y + it->move.y ? p->y : p->y + it->move.y;
        vec3 lo = {x0 - ex, y0 - ey, 0.0f}, hi = {x1 + ex, y1 + ey, 0.0f};
        structor_cells_solid_spheres(cells, &lo, &hi);
        for (int32_t i = 0; i < cells->contact_count; i++)
            sphere_collide(s, &cells->contacts[i]);
    }
    dbg_status(" mov = %16.8f \n", s->contact_time);
    it->smoothed = (it->smoothed + s->contact_time) * 0.5f;
    if (it->smoothed < 0.0625f) {
        it->smoothed = 1.0f;
        m->velocity = {0.0f, 0.0f, 0.0f};
        it->move = {0.0f, 0.0f, 0.0f};
    }
}

// v := v + r n with r = -2 (v . n), only when v points into the wall.
static void reflect(vec3* v, const vec3* n)
{
    float r = (v->x * n->x + v->y * n->y + v->z * n->z) * -2.0f;
    if (r >= 0.0f) {
        v->x += r * n->x;
        v->y += r * n->y;
        v->z += r * n->z;
    }
}

static void move_step(structor_item* it)
{
    motion* m = &it->motion;
    vec3* p = &m->xform.position;
    vec3* v = &m->velocity;
    const sphere* s = &it->sphere;
    float t = s->contact_time;
    if (t <= 1.0f) {
        const vec3* n = &s->normal;
        if (t == 0.0f) {
            float depth = math_sqrt(s->overlap > 0.0f ? s->overlap : 0.0f);
            p->x += depth * n->x;
            p->y += depth * n->y;
            p->z += depth * n->z;
        } else {
            p->x += it->move.x * t;
            p->y += it->move.y * t;
            p->z += it->move.z * t;
        }
        reflect(v, n);
        float rest = 1.0f - t;
        it->move = {it->move.x * rest, it->move.y * rest, it->move.z * rest};
        reflect(&it->move, n);
        quat_rotate_y(&m->spin, v->x * t * ROLL);
        quat_rotate_x(&m->spin, v->y * t * ROLL);
    } else {
        motion_apply(m, 1.0f);
        quat_rotate_y(&m->spin, v->x * ROLL);
        quat_rotate_x(&m->spin, v->y * ROLL);
    }
}

static void aball_update(structor_item* it, uint32_t phase)
{
    structor_state* s = state_of(it);
    structor_cells* cells = s && s->cells.working ? &s->cells : NULL;
    while (phase) {
        uint32_t bit = phase & (0u - phase);
        phase &= ~bit;
        if (bit == 0x10)
            force_step(it, cells);
        else if (bit == 0x20)
            collision_step(it, cells);
        else if (bit == 0x100)
            move_step(it);
        else if (bit == 0x80000000u)
            break;
    }
    if (ball_mesh(it))
        xox_update(ball_mesh(it));
}

static void aball_draw(structor_item* it)
{
    xox_mesh* mesh = ball_mesh(it);
    if (!mesh)
        return;
    // A ball made, or a device reset, while the structor is paused gets no update before it
    // is drawn: its index buffer is filled here then, or it would not show until the run.
    if (mesh->idx && mesh->idx->needs_refill)
        xox_update(mesh);
    set_world(&it->motion);
    xox_draw(mesh);
}

extern const structor_item_type structor_item_aball = {aball_setup, nothing_true, aball_clean, aball_update,
                                                       aball_draw, NULL};

// ---- brush --------------------------------------------------------------------------------

static bool brush_setup(structor_item* it)
{
    void* d = mem_alloc(4);
    if (!d) {
        dbg_error("Failed to allocate memory.");
        return false;
    }
    it->data = d;
    return true;
}

static void brush_clean(structor_item* it)
{
    mem_free(it->data);
    it->data = NULL;
}

static void brush_draw(structor_item* it)
{
    // A cut map without layers (from a missing or empty document) has nothing to show: the
    // brush draws as if it had none.
    cmps_layer* layer = it->cut_map ? gfx_cmps_layer(it->cut_map, 0) : NULL;
    if (!layer && !it->texture)
        return;
    structor_state* s = state_of(it);
    if (!s)
        return;
    set_world(&it->motion);
    structor_rect r;
    structor_item_rect(it, &r);
    vec3 corners[4] = {{r.x, r.y, 0.0f}, {r.x, r.y + r.h, 0.0f}, {r.x + r.w, r.y, 0.0f}, {r.x + r.w, r.y + r.h, 0.0f}};
    static const float uv[4][2] = {{0, 1}, {0, 0}, {1, 1}, {1, 0}};
    d3d_vertex_2d quad[4];
    for (int i = 0; i < 4; i++) {
        view_project_point(&s->view.view, &corners[i]);
        quad[i] = {corners[i].x, corners[i].y, 0.0f, 1.0f, 0xFFFFFFFFu, uv[i][0], uv[i][1]};
    }
    gfx_set_zfunc(&GFX, false);
    gfx_set_zwrite(&GFX, false);
    // A cut map whose layer failed to build at load shows untextured: building it again here
    // would fail again, and log again, every frame.
    gfx_txts* texture = layer ? layer->texture : it->texture;
    if (!gfx_txts_set(texture, 0))
        d3d_state_set_texture(0, GFX.d3d_gfx.device, NULL);
    d3d_buffers_draw2d(&D3D_BUFFERS, quad, 4, D3DPT_TRIANGLESTRIP, 2);
    d3d_state_set_texture(0, GFX.d3d_gfx.device, NULL);
    gfx_set_zwrite(&GFX, true);
    gfx_set_zfunc(&GFX, true);
}

extern const structor_item_type structor_item_brush = {brush_setup, nothing_true, brush_clean, nothing_update,
                                                       brush_draw, NULL};

// ---- cells picture ------------------------------------------------------------------------

static void cells_draw(structor_item* it)
{
    structor_state* s = state_of(it);
    if (s)
        structor_cells_draw(&s->cells);
}

extern const structor_item_type structor_item_cells = {nothing_true, nothing_true, nothing, nothing_update,
                                                       cells_draw, NULL};
