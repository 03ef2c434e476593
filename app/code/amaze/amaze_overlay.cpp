// The maze's screen furniture: clock, score and the fire sprites that fly to the score's
// icon, drawn in a pixel camera of their own on top of everything but the HUD.
//
// Sections: life, sprites, draw.

#include "app/code/amaze/amaze_overlay.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/code/amaze/amaze.h"
#include "app/code/hud/hud.h"
#include "app/code/main_state.h"
#include "engine/code/gfx/d3d_gfx.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/font.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/xox.h"

static const char OVERLAY_MESH[] = "data/objects/xox/solid_fire.xox";
static const float OVERLAY_PI = 3.14159265358979f;

static gfx* root_of(const amaze_overlay* o) { return o->owner && o->owner->gfx ? o->owner->gfx : &GFX; }

// ---- life ----------------------------------------------------------------------------------

bool amaze_overlay_setup(amaze_overlay* o, amaze* owner)
{
    memset(o, 0, sizeof *o);
    o->owner = owner;
    o->mesh = xoxs_load(&root_of(o)->xoxs, OVERLAY_MESH);
    amaze_sprite* icon = &o->sprites[0];
    icon->active = 1;
    icon->from_x = 32.0f;
    icon->from_y = HUD.window_height - 32.0f;
    icon->from_size = 32.0f;
    icon->mesh = o->mesh;
    return true;
}

void amaze_overlay_clean(amaze_overlay* o)
{
    if (o->mesh)
        xoxs_free(&root_of(o)->xoxs, o->mesh);
    o->mesh = NULL;
    // The sprites held the same mesh.
    for (amaze_sprite& s : o->sprites)
        s.mesh = NULL;
}

// ---- sprites -------------------------------------------------------------------------------

void amaze_overlay_update(amaze_overlay* o)
{
    if (o->mesh)
        xox_update(o->mesh);
    const amaze_sprite* icon = &o->sprites[0];
    float step = (float)body_step * 0.001f;
    for (amaze_sprite& s : o->sprites) {
        if (!s.active)
            continue;
        s.to_x = icon->from_x;
        s.to_y = icon->from_y;
        s.to_size = icon->from_size;
        s.spin += step;
        s.t += step * s.speed;
        if (s.t >= 1.0f)
            s.active = 0;
    }
}

amaze_sprite* amaze_overlay_free_sprite(amaze_overlay* o)
{
    for (amaze_sprite& s : o->sprites)
        if (!s.active)
            return &s;
    return NULL;
}

void amaze_overlay_swish(amaze_overlay* o, const vec3* at)
{
    if (!o->owner)
        return;
    amaze_sprite* s = amaze_overlay_free_sprite(o);
    if (!s)
        return;
    vec3 p = {at->x, at->y + 1.0f, at->z};
    view_project(&o->owner->view.view, &p);
    s->active = 1;
    s->from_x = p.x;
    s->from_y = p.y;
    s->from_size = o->owner->view.zoom * 0.25f;
    s->t = 0.0f;
    s->speed = 0.75f;
    s->mesh = o->mesh;
}

// ---- draw ----------------------------------------------------------------------------------

void amaze_overlay_time_str(char* out, int32_t size, int32_t c)
{
    // In 64 bits so the lowest clock does not wrap round; a clock run past zero shows one
    // sign in front rather than a minus on every field.
    int64_t t = (int64_t)c - 2;
    const char* sign = t < 0 ? "-" : "";
    if (t < 0)
        t = -t;
    snprintf(out, (size_t)size, "%s%lld:%02lld.%lld", sign, (long long)(t / 600), (long long)((t % 600) / 10),
             (long long)(t % 10));
}

static void set_matrix(IDirect3DDevice8* device, D3DTRANSFORMSTATETYPE which, const mat4* m)
{
    D3DCHECK(IDirect3DDevice8_SetTransform(device, which, (const D3DMATRIX*)m));
}

// Pixels from the lower-left corner, y up, over the whole screen.
static void screen_camera(IDirect3DDevice8* device, const gfx* root)
{
    float w = (float)root->screen_width, h = (float)root->screen_height;
    mat4 view, proj;
    memset(&view, 0, sizeof view);
    view.m[0] = view.m[5] = view.m[10] = view.m[15] = 1.0f;
    view.m[12] = -w * 0.5f;
    view.m[13] = -h * 0.5f;
    view.m[14] = 1024.0f;
    memset(&proj, 0, sizeof proj);
    proj.m[0] = w > 0.0f ? 2.0f / w : 0.0f;
    proj.m[5] = h > 0.0f ? 2.0f / h : 0.0f;
    proj.m[10] = 1.0f / 4096.0f;
    proj.m[15] = 1.0f;
    set_matrix(device, D3DTS_VIEW, &view);
    set_matrix(device, D3DTS_PROJECTION, &proj);
}

static void draw_sprite(IDirect3DDevice8* device, const amaze_sprite* s, float window_h)
{
    float a = fabsf(s->t - 0.5f);
    float arc = (1.0f - 2.0f * (3.0f * a * a - 2.0f * a * a * a)) * window_h * 0.5f;
    transform t;
    t.position = {s->from_x + (s->to_x - s->from_x) * s->t,
                  window_h - (s->from_y + (s->to_y - s->from_y) * s->t - arc), 0.0f};
    t.orientation = {0.0f, 0.0f, 0.0f, 1.0f};
    quat_rotate_x(&t.orientation, OVERLAY_PI * 0.5f);
    quat_rotate_y(&t.orientation, OVERLAY_PI * s->spin);
    float size = s->from_size + (s->to_size - s->from_size) * s->t;
    t.scale = {size, size, size};
    mat4 world;
    mat4_from_transform(&world, &t);
    IDirect3DDevice8_SetTransform(device, D3DTS_WORLD, (const D3DMATRIX*)&world);
    xox_draw(s->mesh);
}

void amaze_overlay_draw(amaze_overlay* o)
{
    gfx* root = root_of(o);
    float window_w = HUD.window_width, window_h = HUD.window_height;
    char clock[64], score[32] = "";
    amaze_overlay_time_str(clock, sizeof clock, o->time);
    if (o->owner && o->owner->protagonists.count > 0 && o->owner->protagonists.items[0])
        snprintf(score, sizeof score, "%d", o->owner->protagonists.items[0]->score);

    font_set_style(root, -35.0f, 80.0f, 0.0f, 0xFFFFFF00, 0xFFFF0000);
    font_select(root, &root->outline16);
    float w = font_text_width(root, clock);
    font_set_pos(root, window_w - w - 10.0f, window_h - 70.0f);
    font_draw_text(root, clock);
    font_set_pos(root, 69.0f, window_h - 70.0f);
    o->sprites[0].from_x = 32.0f;
    o->sprites[0].from_y = window_h - 32.0f;
    font_draw_text(root, score);
    font_select(root, NULL);

    IDirect3DDevice8* device = root->d3d_gfx.device;
    if (!device)
        return;
    screen_camera(device, root);
    D3DCHECK(IDirect3DDevice8_Clear(device, 0, NULL, D3DCLEAR_ZBUFFER, 0xFF000080, 1.0f, 0));
    D3DCHECK(d3d_state_white_light(device, 1.0f, -1.5f, 1.25f));
    IDirect3DDevice8_LightEnable(device, 0, TRUE); // outside the check, as drawing code's enables are
    for (const amaze_sprite& s : o->sprites)
        if (s.active && s.mesh)
            draw_sprite(device, &s, window_h);
}
