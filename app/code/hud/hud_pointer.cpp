// HUD.POINTER: the small 3D model drawn over everything at the last mouse position. It leans
// with the pointer's motion, eases back to a resting pose, and rests differently while the
// click button is held.

#include <cmath>

#include "app/code/hud/hud.h"
#include "app/code/input.h"
#include "engine/code/gfx/d3d_gfx.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/xox.h"
#include "engine/code/maths.h"

static const float DEG = 0.017453292f;
static const char* const POINTER_MESH = "data/objects/xox/pointer.xox";

bool hud_pointer_setup(hud_pointer* p, hud_subsystem* owner)
{
    p->owner = owner;
    p->tilt = -80.0f * DEG;
    p->turn = 30.0f * DEG;
    p->x = p->y = p->z = 0.0f;
    p->last_x = p->last_y = p->last_z = 0.0f;
    gfx* root = owner ? owner->root : nullptr;
    p->mesh = root ? xoxs_load(&root->xoxs, POINTER_MESH) : nullptr;
    return true;
}

bool hud_pointer_reset(hud_pointer* p)
{
    hud_subsystem* owner = p->owner;
    hud_pointer_clean(p);
    return hud_pointer_setup(p, owner);
}

void hud_pointer_clean(hud_pointer* p)
{
    gfx* root = p->owner ? p->owner->root : nullptr;
    if (p->mesh && root)
        xoxs_free(&root->xoxs, p->mesh);
    p->mesh = nullptr;
}

void hud_pointer_set_pos(hud_pointer* p, int32_t x, int32_t y)
{
    p->x = (float)x;
    p->y = (float)y;
    p->z = 0.0f;
}

static float clampf(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

void hud_pointer_update(hud_pointer* p)
{
    bool held = INPUT.click.held != 0;
    float rest_tilt = (held ? -30.0f : -80.0f) * DEG;
    float rest_turn = (held ? 15.0f : 30.0f) * DEG;
    float dx = clampf(p->x - p->last_x, -32.0f, 32.0f);
    float dy = clampf(p->y - p->last_y, -32.0f, 32.0f);
    p->tilt += dy * 0.25f * DEG;
    p->turn -= dx * 0.25f * DEG;
    p->tilt += (rest_tilt - p->tilt) * 0.125f;
    p->turn += (rest_turn - p->turn) * 0.125f;
    p->tilt = clampf(p->tilt, -80.0f * DEG, 0.0f);
    p->turn = clampf(p->turn, -90.0f * DEG, 90.0f * DEG);
    if (p->mesh)
        xox_update(p->mesh);
    p->last_x = p->x;
    p->last_y = p->y;
    p->last_z = p->z;
}

static D3DMATRIX scaling(float x, float y, float z)
{
    D3DMATRIX m = {};
    m.m[0][0] = x;
    m.m[1][1] = y;
    m.m[2][2] = z;
    m.m[3][3] = 1.0f;
    return m;
}

static void set_world(IDirect3DDevice8* device, const hud_pointer* p, float height)
{
    transform t = {};
    t.position = {p->x, height - p->y, 0.0f};
    t.orientation = {0.0f, 0.0f, 0.0f, 1.0f};
    quat_rotate_x(&t.orientation, -90.0f * DEG);
    quat_rotate_z(&t.orientation, p->turn);
    quat_rotate_x(&t.orientation, 90.0f * DEG);
    quat_rotate_x(&t.orientation, p->tilt);
    t.scale = {128.0f, 128.0f, 128.0f};
    mat4 world;
    mat4_from_transform(&world, &t);
    D3DMATRIX d3d;
    static_assert(sizeof(d3d) == sizeof(world), "same layout");
    for (int i = 0; i < 16; i++)
        d3d.m[i / 4][i % 4] = world.m[i];
    IDirect3DDevice8_SetTransform(device, D3DTS_WORLD, &d3d);
}

void hud_pointer_draw(hud_pointer* p)
{
    gfx* root = p->owner ? p->owner->root : nullptr;
    if (p->hidden || !root || !root->d3d_gfx.device)
        return;
    // Without a screen size the projection would divide by zero.
    if (root->screen_width <= 0 || root->screen_height <= 0)
        return;
    IDirect3DDevice8* device = root->d3d_gfx.device;
    float w = (float)root->screen_width, h = (float)root->screen_height;
    D3DMATRIX view = scaling(1.0f, 1.0f, 1.0f);
    view.m[3][0] = -w * 0.5f;
    view.m[3][1] = -h * 0.5f;
    view.m[3][2] = 1024.0f;
    D3DMATRIX projection = scaling(2.0f / w, 2.0f / h, 1.0f / 4096.0f);
    D3DCHECK(IDirect3DDevice8_SetTransform(device, D3DTS_VIEW, &view));
    D3DCHECK(IDirect3DDevice8_SetTransform(device, D3DTS_PROJECTION, &projection));
    set_world(device, p, h);
    D3DCHECK(IDirect3DDevice8_Clear(device, 0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0));
    D3DCHECK(d3d_state_white_light(device, 1.0f, -1.5f, 1.25f));
    IDirect3DDevice8_LightEnable(device, 0, TRUE); // outside the check, as drawing code's enables are
    if (p->mesh)
        xox_draw(p->mesh);
}
