// The console's font image: 128 x 128 pixels, characters 32 to 126 in 10 x 10 cells, 12 to
// a row, each glyph in the 8 x 8 square one pixel inside its cell. White with alpha =
// coverage on a transparent ground, rendered from a monospaced font squeezed to fit.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "tools/gen/gen.h"
#include "tools/writer/wr_image.h"

enum { SIDE = 128, CELL = 10, PER_ROW = 12, GLYPH = 8, FIRST = 32, LAST = 126 };

static const char* const mono_sources[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
    nullptr,
};

// Extents over all characters at the face's current size: ink above and below the
// baseline, and the widest ink box.
static void measure(FT_Face face, int* above, int* below, int* widest)
{
    *above = *below = *widest = 0;
    for (int c = FIRST + 1; c <= LAST; ++c) {
        if (FT_Load_Char(face, (FT_ULong)c, FT_LOAD_RENDER) != 0)
            continue;
        const FT_GlyphSlot g = face->glyph;
        *above = std::max(*above, g->bitmap_top);
        *below = std::max(*below, (int)g->bitmap.rows - g->bitmap_top);
        *widest = std::max(*widest, (int)g->bitmap.width);
    }
}

// The tallest size whose ink fits 8 rows, then the widest squeeze that still fits 8 columns.
static bool fit(FT_Face face, int* baseline)
{
    for (int h = GLYPH; h >= 4; --h) {
        int above, below, widest;
        FT_Set_Pixel_Sizes(face, (FT_UInt)h, (FT_UInt)h);
        measure(face, &above, &below, &widest);
        if (above + below > GLYPH)
            continue;
        for (int w = 2 * h; w >= h / 2; --w) {
            FT_Set_Pixel_Sizes(face, (FT_UInt)w, (FT_UInt)h);
            measure(face, &above, &below, &widest);
            if (widest <= GLYPH && above + below <= GLYPH) {
                *baseline = above;
                return true;
            }
        }
    }
    return false;
}

// Draws character c centred in its 8-pixel square; ink outside the square is dropped.
static void draw_char(FT_Face face, gen_image* image, int c, int baseline)
{
    if (FT_Load_Char(face, (FT_ULong)c, FT_LOAD_RENDER) != 0)
        return;
    const FT_GlyphSlot g = face->glyph;
    const FT_Bitmap* bm = &g->bitmap;
    if (bm->pixel_mode != FT_PIXEL_MODE_GRAY || bm->pitch < 0)
        return;
    int col = (c - FIRST) % PER_ROW, row = (c - FIRST) / PER_ROW;
    int ox = col * CELL + 1 + (GLYPH - (int)bm->width) / 2;
    int oy = row * CELL + 1 + baseline - g->bitmap_top;
    for (int y = 0; y < (int)bm->rows; ++y)
        for (int x = 0; x < (int)bm->width; ++x) {
            int px = ox + x, py = oy + y;
            if (px < col * CELL + 1 || px >= col * CELL + 1 + GLYPH || py < row * CELL + 1
                || py >= row * CELL + 1 + GLYPH)
                continue;
            uint8_t* p = gen_image_pixel(image, px, py);
            p[0] = p[1] = p[2] = 255;
            p[3] = bm->buffer[(ptrdiff_t)y * bm->pitch + x];
        }
}

bool gen_debug_font(const char* data_dir)
{
    FT_Library lib;
    if (FT_Init_FreeType(&lib) != 0)
        return false;
    FT_Face face = nullptr;
    const char* used = nullptr;
    for (const char* const* s = mono_sources; *s && !face; ++s)
        if (FT_New_Face(lib, *s, 0, &face) == 0)
            used = *s;
        else
            face = nullptr;
    int baseline = 0;
    bool ok = face && fit(face, &baseline);
    if (ok) {
        gen_image image;
        gen_image_setup(&image, SIDE, SIDE);
        for (int c = FIRST + 1; c <= LAST; ++c)
            draw_char(face, &image, c, baseline);
        std::string path = std::string(data_dir) + "/debug/debug8x8_font.png";
        ok = wr_image_save(path.c_str(), SIDE, SIDE, 4, image.rgba.data());
        if (ok)
            printf("dorvale_gen: debug/debug8x8_font.png from %s\n", used);
    }
    if (!ok)
        fprintf(stderr, "dorvale_gen: cannot make the console font image\n");
    if (face)
        FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return ok;
}
