// The graphics root GFX through which the rest of the system reaches the graphics engine:
// the device wrapper and every graphics manager by value, the screen size that drawing code
// reads, the three text fonts and the text pen. Handed to every main state's setup hook.
#pragma once

#include <cstdint>

#include "engine/code/gfx/bmps.h"
#include "engine/code/gfx/bubs.h"
#include "engine/code/gfx/cmps.h"
#include "engine/code/gfx/d3d_gfx.h"
#include "engine/code/gfx/font.h"
#include "engine/code/gfx/txts.h"
#include "engine/code/gfx/avatars.h"
#include "engine/code/gfx/xox.h"
#include "engine/code/gfx/xsx.h"


struct gfx {
    uint32_t soul_path_flag;       // nonzero: soul names are file paths
    struct d3d_gfx d3d_gfx;
    struct xoxs xoxs;              // GFX.XOXS
    struct xsxs xsxs;              // GFX.XSXS
    struct avatars avatars;        // GFX.Avatars
    struct bubs bubs;              // GFX.Bubs
    struct bmps_pool bmps_pool;    // GFX.BMPs
    struct txts_pool txts_pool;    // GFX.TXTs
    struct cmps_pool cmps_pool;    // GFX.CMPs
    int32_t screen_width;          // the viewport at the last successful begin scene; 0 before
    int32_t screen_height;
    font outline16;                // GFX.Font.Outline16
    font comic16;                  // GFX.Font.Comic16
    font comic32;                  // GFX.Font.Comic32
    // Text state.
    font* current_font;            // null: the console's 8x8 font
    font_page* last_texture;       // the page text drawing bound last; cleared when it ends
    float space_width;
    float text_size;               // pixels; the console font's scale is text_size / 8
    float spacing;                 // extra advance after each glyph
    float pen_x, pen_y;
    uint32_t top_colour, bottom_colour;
};

extern gfx GFX;

bool gfx_setup(gfx* root);       // device, BMPs, TXTs, CMPs, XOXS, XSXS, Avatars, fonts, Bubs
void gfx_clean(gfx* root);       // reverse order, device last; safe after a failed setup and twice
bool gfx_reset(gfx* root);
bool gfx_begin_scene(gfx* root); // true when the frame may be drawn
void gfx_end_scene(gfx* root);
