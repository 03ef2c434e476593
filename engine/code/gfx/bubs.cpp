// Speech bubbles: allocation, the per-frame layout (follow the anchor, push apart, move a
// quarter of the way) and the balloon drawing with its tail.
//
// Sections: manager and records; layout; drawing.

#include "engine/code/gfx/bubs.h"

#include <cstring>

#include "engine/code/dbg.h"
#include "engine/code/gfx/font.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"

enum { BUBS_PER_CHUNK = 16 };

static const float BUB_HEIGHT = 40.0f;
static const float BUB_MARGIN = 8.0f;   // band around the body, and text width padding
static const float BUB_LIFT = 32.0f;    // the bottom edge rests this far above the anchor
static const float BUB_MIN_LIFE = 2.0f; // seconds

// ---- manager and records ----

bool bubs_setup(bubs* m, gfx* root)
{
    m->root = root;
    m->frame_time = 0.0f;
    return pool_setup(&m->records, sizeof(bub), BUBS_PER_CHUNK);
}

bool bubs_reset(bubs* m)
{
    gfx* root = m->root;
    bubs_clean(m);
    return bubs_setup(m, root);
}

void bubs_clean(bubs* m) { pool_clean(&m->records); }

bub* bub_alloc(bubs* m)
{
    bub* b = (bub*)pool_alloc(&m->records);
    if (!b) {
        dbg_error("Failed to allocate speech bubble,\n");
        return nullptr;
    }
    list_append(&m->records.live, &b->link);
    b->owner = m;
    return b;
}

void bub_free(bubs* m, bub* b)
{
    if (!b)
        return;
    list_unlink(&b->link);
    pool_free(&m->records, b);
}

void bub_set_text(bub* b, const char* text)
{
    if (!text)
        text = "";
    b->text = text;
    gfx* root = b->owner->root;
    font_set_style(root, 8.0f, 32.0f, 0.0f, 0xFFFFFFFF, 0xFFFFFFFF);
    font_select(root, &root->comic16);
    b->width = font_text_width(root, text) + BUB_MARGIN;
    b->height = BUB_HEIGHT;
    b->alpha = 1.0f;
    b->life = b->width * 0.015625f;
    if (b->life < BUB_MIN_LIFE)
        b->life = BUB_MIN_LIFE;
    b->flags = BUB_SEPARATE | BUB_MOVE | BUB_VISIBLE | BUB_LIFE;
}

// ---- layout ----

void bub_follow_anchor(bub* b, float frame_time)
{
    if (b->flags & BUB_LIFE) {
        if (b->life > 0) {
            b->life -= frame_time;
        } else {
            b->alpha -= frame_time * 0.5f;
            if (b->alpha <= 0) {
                b->flags = 0;
                b->text = nullptr;
            }
        }
    }
    b->push_x = 0.0f;
    b->count = 1.0f;
    b->push_y = (b->anchor_y - b->height - BUB_LIFT) - b->y;
    // Sideways only when the anchor lies outside the span widened by the lift on each side.
    if (b->x - BUB_LIFT > b->anchor_x)
        b->push_x = b->anchor_x - (b->x - BUB_LIFT);
    if (b->x + b->width + BUB_LIFT < b->anchor_x)
        b->push_x += b->anchor_x - (b->x + b->width + BUB_LIFT);
    if (b->flags == 0) {
        b->x += b->push_x;
        b->y += b->push_y;
    }
}

void bub_separate(bub* a, bub* b)
{
    if (!(a->flags & BUB_SEPARATE) || !(b->flags & BUB_SEPARATE))
        return;
    bool overlap = a->x + a->width > b->x && a->x < b->x + b->width && a->y + a->height > b->y
                   && a->y < b->y + b->height;
    if (!overlap)
        return;
    float dx = a->x + a->width * 0.5f >= b->x + b->width * 0.5f ? (b->x + b->width) - a->x
                                                                : b->x - (a->x + a->width);
    float dy = a->y + a->height * 0.5f >= b->y + b->height * 0.5f ? (b->y + b->height) - a->y
                                                                  : b->y - (a->y + a->height);
    a->push_x += dx;
    a->push_y += dy;
    b->push_x -= dx;
    b->push_y -= dy;
    a->count += 1.0f;
    b->count += 1.0f;
}

void bub_move(bub* b)
{
    if (!(b->flags & BUB_MOVE))
        return;
    if (b->count != 0) {
        b->push_x /= b->count;
        b->push_y /= b->count;
    }
    b->push_x *= 0.25f;
    b->push_y *= 0.25f;
    b->x += b->push_x;
    b->y += b->push_y;
}

static bub* bub_of(list_node* n) { return (bub*)n; }

void bubs_update(bubs* m)
{
    list* live = &m->records.live;
    for (list_node* n = list_first(live); n->next; n = n->next)
        bub_follow_anchor(bub_of(n), m->frame_time);
    for (list_node* a = list_first(live); a->next; a = a->next)
        for (list_node* b = a->next; b->next; b = b->next)
            bub_separate(bub_of(a), bub_of(b));
    for (list_node* n = list_first(live); n->next; n = n->next)
        bub_move(bub_of(n));
}

// ---- drawing ----

// The alpha byte of a bubble: up to 192, so even a fresh bubble stays translucent.
static uint32_t alpha_byte(float alpha)
{
    int a = (int)(alpha * 192.0f);
    if (a < 0)
        a = 0;
    if (a > 255)
        a = 255;
    return (uint32_t)a << 24;
}

static d3d_vertex_2d vtx(float x, float y, uint32_t colour) { return d3d_vertex_2d{x, y, 0.0f, 1.0f, colour, 0.0f, 0.0f}; }

static void draw_rect(float x0, float y0, float x1, float y1, uint32_t c)
{
    d3d_vertex_2d v[4] = {vtx(x0, y0, c), vtx(x1, y0, c), vtx(x0, y1, c), vtx(x1, y1, c)};
    d3d_buffers_draw2d(&D3D_BUFFERS, v, 4, D3DPT_TRIANGLESTRIP, 2);
}

// A quarter disc of radius 8 around corner (cx, cy), bulging towards (sx, sy). Points go
// round so that the fan keeps the same screen winding as the quads whatever the mirror.
static void draw_corner(float cx, float cy, float sx, float sy, uint32_t c)
{
    static const float arc[4][2] = {{8.0f, 0.0f}, {7.2f, 4.0f}, {4.0f, 7.2f}, {0.0f, 8.0f}};
    d3d_vertex_2d v[5];
    v[0] = vtx(cx, cy, c);
    bool reversed = sx * sy < 0;
    for (int i = 0; i < 4; ++i) {
        const float* p = arc[reversed ? 3 - i : i];
        v[1 + i] = vtx(cx + sx * p[0], cy + sy * p[1], c);
    }
    d3d_buffers_draw2d(&D3D_BUFFERS, v, 5, D3DPT_TRIANGLEFAN, 3);
}

// The band under the body. With the anchor below and within the span, the band's outer
// edge opens for the tail: the gap of 16 pixels is centred on the anchor, shifted to lie
// within the body, and clamped to it when the body is narrower than the gap.
static void draw_bottom(const bub* b, uint32_t c)
{
    float x0 = b->x, x1 = b->x + b->width;
    float in = b->y + b->height, out = in + BUB_MARGIN;
    if (!(b->anchor_y > in && b->anchor_x >= x0 && b->anchor_x <= x1)) {
        draw_rect(x0, in, x1, out, c);
        return;
    }
    float g0 = b->anchor_x - BUB_MARGIN, g1 = b->anchor_x + BUB_MARGIN;
    if (g0 < x0) {
        g1 += x0 - g0;
        g0 = x0;
    }
    if (g1 > x1) {
        g0 -= g1 - x1;
        g1 = x1;
    }
    if (g0 < x0)
        g0 = x0;
    d3d_vertex_2d band[6] = {vtx(x0, out, c), vtx(x0, in, c), vtx(g0, out, c),
                            vtx(x1, in, c),  vtx(g1, out, c), vtx(x1, out, c)};
    d3d_buffers_draw2d(&D3D_BUFFERS, band, 6, D3DPT_TRIANGLESTRIP, 4);
    d3d_vertex_2d tail[3] = {vtx(g0, out, c), vtx(g1, out, c), vtx(b->anchor_x, b->anchor_y, c)};
    d3d_buffers_draw2d(&D3D_BUFFERS, tail, 3, D3DPT_TRIANGLELIST, 1);
}

void bub_draw_balloon(const bub* b)
{
    // The balloon is vertex colour only: whatever earlier drawing left on stage 0 would
    // otherwise tint it (or, for a transparent texel, hide it). Text drawn next binds its
    // page again.
    if (GFX.d3d_gfx.device)
        d3d_state_set_texture(0, GFX.d3d_gfx.device, nullptr);
    GFX.last_texture = nullptr;
    uint32_t c = 0x00FFFFFF | alpha_byte(b->alpha);
    float x0 = b->x, y0 = b->y, x1 = b->x + b->width, y1 = b->y + b->height;
    const float m = BUB_MARGIN;
    draw_rect(x0, y0, x1, y1, c);
    draw_rect(x0 - m, y0, x0, y1, c);
    draw_rect(x1, y0, x1 + m, y1, c);
    draw_rect(x0, y0 - m, x1, y0, c);
    draw_bottom(b, c);
    draw_corner(x0, y0, -1.0f, -1.0f, c);
    draw_corner(x1, y0, 1.0f, -1.0f, c);
    draw_corner(x0, y1, -1.0f, 1.0f, c);
    draw_corner(x1, y1, 1.0f, 1.0f, c);
}

void bub_draw(gfx* root, bub* b)
{
    uint32_t c = alpha_byte(b->alpha);
    font_set_style(root, 8.0f, 32.0f, 0.0f, c, c);
    font_select(root, &root->comic16);
    bub_draw_balloon(b);
    font_set_pos(root, b->x + 4.0f, b->y + 4.0f);
    font_draw_text(root, b->text);
}

void bubs_draw(bubs* m)
{
    list* live = &m->records.live;
    for (list_node* n = list_first(live); n->next; n = n->next)
        if (bub_of(n)->flags & BUB_VISIBLE)
            bub_draw(m->root, bub_of(n));
}
