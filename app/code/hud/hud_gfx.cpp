// The HUD's ties to the graphics root: the window size, the two gizmo fonts, the table of
// engine calls the gizmos draw and measure with, and the cartoon avatar.

#include "app/code/hud/hud.h"

#include "engine/code/gfx/bubs.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/font.h"
#include "engine/code/gfx/gfx.h"

void hud_refresh_window(hud_subsystem* hud)
{
    if (!hud->root)
        return;
    hud->window_width = (float)hud->root->screen_width;
    hud->window_height = (float)hud->root->screen_height;
}

font* hud_font_outline(hud_subsystem* hud) { return hud->root ? &hud->root->outline16 : nullptr; }
font* hud_font_comic(hud_subsystem* hud) { return hud->root ? &hud->root->comic16 : nullptr; }

// The avatar manager does not hand out avatars yet: the cartoon face draws its balloon only.
bool hud_cartoon_setup(hud_subsystem* hud)
{
    hud->cartoon_avatar = nullptr;
    return true;
}

void hud_cartoon_clean(hud_subsystem* hud) { hud->cartoon_avatar = nullptr; }

static void cartoon_avatar_draw(hud_subsystem* hud, float clock) {}
static float cartoon_length(hud_subsystem* hud) { return 0.0f; }

const hud_gfx_calls hud_gfx_engine = {
    gfx_draw2d_quad, font_select,     font_set_style, font_set_pos,       font_move_x,    font_text_width,
    font_word_width, font_draw_word, font_draw_text, bub_draw_balloon, cartoon_avatar_draw, cartoon_length,
};

const hud_gfx_calls* hud_gfx = &hud_gfx_engine;
