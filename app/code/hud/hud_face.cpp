// Gizmo faces: the bevelled rectangle that buttons and handles draw in four states (raised,
// hover, down, down and hover), in the styles normal, nofill and invisible, and the cartoon
// style, a speech balloon said by the HUD's small breathing avatar.

#include <cmath>

#include "app/code/hud/hud.h"
#include "app/code/main_state.h"
#include "engine/code/gfx/bubs.h"

float hudgizmo_cartoon_clock;

float hudgizmo_face_width(hudgizmo* g)
{
    switch (g->style) {
    case HUDGIZMO_STYLE_NORMAL:
    case HUDGIZMO_STYLE_NOFILL:
    case HUDGIZMO_STYLE_INVISIBLE:
        return 4.0f;
    case HUDGIZMO_STYLE_CARTOON:
        return 20.0f;
    default:
        return 0.0f;
    }
}

float hudgizmo_face_height(hudgizmo* g) { return hudgizmo_face_width(g); }

// c with delta added to each of red, green and blue, clamped to 0..255; alpha kept.
static uint32_t shade(uint32_t c, int32_t delta)
{
    uint32_t out = c & 0xff000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        int32_t v = (int32_t)((c >> shift) & 0xff) + delta;
        v = v < 0 ? 0 : (v > 255 ? 255 : v);
        out |= (uint32_t)v << shift;
    }
    return out;
}

static void quad(float x1, float y1, float x2, float y2, uint32_t c) { hud_gfx->draw2d_quad(x1, y1, x2, y2, c, c, c, c); }

static void bevel_face(hudgizmo* g, int32_t state)
{
    bool hover = state & HUDGIZMO_FACE_HOVER;
    uint32_t light = shade(g->colour, hover ? 34 : 17);
    uint32_t dark = shade(g->colour, hover ? -34 : -51);
    uint32_t fill = shade(g->colour, hover ? 0 : -17);
    uint32_t down_fill = shade(g->colour, hover ? -8 : -25);
    bool filled = g->style == HUDGIZMO_STYLE_NORMAL;
    float x0 = g->x - hudgizmo_face_width(g) * 0.5f, y0 = g->y - hudgizmo_face_height(g) * 0.5f;
    float w = g->w, h = g->h;
    if (state & HUDGIZMO_FACE_DOWN) { // lit from the bottom right
        if (filled)
            quad(x0, y0, x0 + w, y0 + h, down_fill);
        quad(x0 + w - 3, y0 + 2, x0 + w, y0 + h, light);
        quad(x0 + 2, y0 + h - 3, x0 + w, y0 + h, light);
        quad(x0, y0, x0 + 3, y0 + h - 2, dark);
        quad(x0, y0, x0 + w - 2, y0 + 3, dark);
    } else { // lit from the top left
        if (filled)
            quad(x0, y0, x0 + w - 1, y0 + h - 1, fill);
        quad(x0, y0, x0 + 3, y0 + h - 2, light);
        quad(x0, y0, x0 + w - 2, y0 + 3, light);
        quad(x0 + w - 3, y0 + 2, x0 + w, y0 + h, dark);
        quad(x0 + 2, y0 + h - 3, x0 + w, y0 + h, dark);
    }
}

static void cartoon_face(hudgizmo* g, int32_t state)
{
    bub b = {};
    b.x = g->x;
    b.y = g->y;
    b.width = g->w;
    b.height = g->h;
    b.anchor_x = 200.0f;
    b.anchor_y = HUD.window_height - 64.0f;
    b.alpha = (state & HUDGIZMO_FACE_FAINT) ? 0.25f : 1.0f;
    hud_gfx->draw_balloon(&b);
    hud_gfx->cartoon_avatar_draw(&HUD, hudgizmo_cartoon_clock);
    hudgizmo_cartoon_clock += (float)body_step * 0.001f;
    // A length of 0 (or not a number) read from the animation would never wrap.
    float length = hud_gfx->cartoon_length(&HUD);
    if (length > 0.0f && hudgizmo_cartoon_clock >= length)
        hudgizmo_cartoon_clock = fmodf(hudgizmo_cartoon_clock, length);
}

void hudgizmo_face_draw(hudgizmo* g, int32_t state)
{
    switch (g->style) {
    case HUDGIZMO_STYLE_NORMAL:
    case HUDGIZMO_STYLE_NOFILL:
        if (!(state & HUDGIZMO_FACE_FAINT))
            bevel_face(g, state);
        break;
    case HUDGIZMO_STYLE_CARTOON:
        cartoon_face(g, state);
        break;
    default:
        break;
    }
}
