// The HUD's ties to the graphics root: the window size, the two gizmo fonts, the table of
// engine calls the gizmos draw and measure with, and the cartoon avatar.

#include "app/code/hud/hud.h"

#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/avatars.h"
#include "engine/code/gfx/bubs.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/font.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/xsx.h"
#include "engine/code/maths.h"

// The shared animation the cartoon avatar plays.
static const int32_t CARTOON_ANIM = 8; // cycle_breath

void hud_refresh_window(hud_subsystem* hud)
{
    if (!hud->root)
        return;
    hud->window_width = (float)hud->root->screen_width;
    hud->window_height = (float)hud->root->screen_height;
}

font* hud_font_outline(hud_subsystem* hud) { return hud->root ? &hud->root->outline16 : nullptr; }
font* hud_font_comic(hud_subsystem* hud) { return hud->root ? &hud->root->comic16 : nullptr; }

bool hud_cartoon_setup(hud_subsystem* hud)
{
    hud->cartoon_avatar = hud->root ? avatar_alloc(&hud->root->avatars, "tovin") : nullptr;
    if (!hud->cartoon_avatar)
        return false;
    avatar_load_parts(hud->cartoon_avatar);
    return true;
}

void hud_cartoon_clean(hud_subsystem* hud)
{
    if (hud->cartoon_avatar && hud->root)
        avatar_free(&hud->root->avatars, hud->cartoon_avatar);
    hud->cartoon_avatar = nullptr;
}

// Poses the avatar below the balloons, breathing at the clock's time, and draws it.
static void cartoon_avatar_draw(hud_subsystem* hud, float clock)
{
    avatar* a = hud->cartoon_avatar;
    if (!a || !hud->root)
        return;
    transform t = {};
    t.position = {200.0f, 0.0f, 0.0f};
    t.orientation = {0.0f, 0.0f, 0.0f, 1.0f};
    t.scale = {64.0f, 64.0f, 64.0f};
    if (a->base.anim)
        mat4_from_transform(&a->base.anim->matrix, &t);
    a->layers[0].slot = &hud->root->avatars.anims[CARTOON_ANIM];
    a->layers[0].weight = 1.0f;
    a->layers[0].time = clock;
    a->layers[1].slot = nullptr;
    avatar_update(a);
    avatar_draw(a);
}

static float cartoon_length(hud_subsystem* hud)
{
    const xsx_anim* anim = hud->root ? hud->root->avatars.anims[CARTOON_ANIM].anim : nullptr;
    return anim ? xsx_length(anim) : 0.0f;
}

const hud_gfx_calls hud_gfx_engine = {
    gfx_draw2d_quad, font_select,     font_set_style, font_set_pos,       font_move_x,    font_text_width,
    font_word_width, font_draw_word, font_draw_text, bub_draw_balloon, cartoon_avatar_draw, cartoon_length,
};

const hud_gfx_calls* hud_gfx = &hud_gfx_engine;
