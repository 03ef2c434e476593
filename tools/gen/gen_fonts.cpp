// Text fonts: each Latin-1 glyph is rendered with FreeType, trimmed to its ink box and
// packed into one page image (white, alpha = coverage; the outlined font gets a one-pixel
// black rim). The metrics go to an XTX file with 256 keys indexed by character code.
//
// Sections: sources and plans; rendering; page packing; writing.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "tools/gen/gen.h"
#include "tools/writer/wr_image.h"
#include "tools/writer/wr_xtx.h"

// ---- sources and plans ----

static const char* const dejavu_bold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
static const char* const comic_sources[] = {
    "/usr/share/fonts/opentype/comic-neue/ComicNeue-Bold.otf",
    "/usr/share/fonts-comic-neue/woff/ComicNeue-Bold.woff",
    "/usr/share/fonts-comic-neue/woff2/ComicNeue-Bold.woff2",
    dejavu_bold,
    nullptr,
};
static const char* const outline_sources[] = {dejavu_bold, nullptr};

struct font_plan {
    const char* base;             // file name under data/fonts, without extension
    const char* const* sources;   // tried in order
    int page;                     // line cell height in pixels
    int rim;                      // outline width in pixels
    int image;                    // starting page image side
};

static const font_plan plans[] = {
    {"outlined_16_latin", outline_sources, 16, 1, 256},
    {"comic_16_latin", comic_sources, 16, 0, 256},
    {"comic_32_latin", comic_sources, 32, 0, 512},
};

enum { KEY_COUNT = 256, BORDER = 1 };

// Space, no-break space and the control ranges draw nothing: they advance by the space width.
static bool code_has_glyph(int code)
{
    return (code > 32 && code < 127) || (code > 160 && code < 256);
}

// ---- rendering ----

// One glyph's coverage, padded by the rim on every side. left/top place the grid's
// top-left corner relative to the pen on the baseline (top counts upwards).
struct coverage {
    int w, h, left, top;
    std::vector<uint8_t> a;
};

struct glyph {
    int code;
    int w, h;
    int offset_x, offset_y;   // from the cell's left edge at the pen and its top
    std::vector<uint8_t> rgba;
    int x, y;                 // place in the page image
};

static FT_Face open_face(FT_Library lib, const char* const* sources, const char** used)
{
    for (; *sources; ++sources) {
        FT_Face face;
        if (FT_New_Face(lib, *sources, 0, &face) == 0) {
            *used = *sources;
            return face;
        }
    }
    return nullptr;
}

static bool render(FT_Face face, int code, int rim, coverage* out)
{
    if (FT_Load_Char(face, (FT_ULong)code, FT_LOAD_RENDER) != 0)
        return false;
    const FT_Bitmap* bm = &face->glyph->bitmap;
    if (bm->pixel_mode != FT_PIXEL_MODE_GRAY || bm->pitch < 0)
        return false;
    out->w = (int)bm->width + 2 * rim;
    out->h = (int)bm->rows + 2 * rim;
    out->left = face->glyph->bitmap_left - rim;
    out->top = face->glyph->bitmap_top + rim;
    out->a.assign((size_t)out->w * out->h, 0);
    for (int y = 0; y < (int)bm->rows; ++y) {
        const uint8_t* row = bm->buffer + (ptrdiff_t)y * bm->pitch;
        memcpy(&out->a[(size_t)(y + rim) * out->w + rim], row, bm->width);
    }
    return true;
}

// The largest pixel size at which every glyph, rim included, fits the cell height; the
// baseline then sits below the cell top by the tallest glyph's height above it.
static int fit_size(FT_Face face, const font_plan* plan, int* baseline)
{
    for (int px = plan->page; px >= 4; --px) {
        if (FT_Set_Pixel_Sizes(face, 0, (FT_UInt)px) != 0)
            continue;
        int above = 0, below = 0;
        coverage c;
        for (int code = 0; code < KEY_COUNT; ++code) {
            if (!code_has_glyph(code) || !render(face, code, plan->rim, &c))
                continue;
            above = std::max(above, c.top);
            below = std::max(below, c.h - c.top);
        }
        if (above + below <= plan->page) {
            *baseline = above;
            return px;
        }
    }
    return 0;
}

// White fill over a black rim grown from it by `rim` pixels, composited "over"; without a
// rim the alpha is the coverage itself.
static void colour(const coverage& c, int rim, std::vector<uint8_t>* rgba)
{
    rgba->assign((size_t)c.w * c.h * 4, 0);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            int fill = c.a[(size_t)y * c.w + x];
            int edge = 0;
            for (int dy = -rim; rim && dy <= rim; ++dy)
                for (int dx = -rim; dx <= rim; ++dx) {
                    int sx = x + dx, sy = y + dy;
                    if (sx >= 0 && sy >= 0 && sx < c.w && sy < c.h)
                        edge = std::max(edge, (int)c.a[(size_t)sy * c.w + sx]);
                }
            int alpha = fill + edge * (255 - fill) / 255;
            int grey = alpha ? 255 * fill / alpha : 0;
            uint8_t* p = &(*rgba)[((size_t)y * c.w + x) * 4];
            p[0] = p[1] = p[2] = (uint8_t)grey;
            p[3] = (uint8_t)alpha;
        }
}

// Crops the glyph to its pixels with any alpha; false when nothing is left.
static bool trim(glyph* g)
{
    int x0 = g->w, y0 = g->h, x1 = -1, y1 = -1;
    for (int y = 0; y < g->h; ++y)
        for (int x = 0; x < g->w; ++x)
            if (g->rgba[((size_t)y * g->w + x) * 4 + 3]) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
    if (x1 < 0)
        return false;
    int w = x1 - x0 + 1, h = y1 - y0 + 1;
    std::vector<uint8_t> out((size_t)w * h * 4);
    for (int y = 0; y < h; ++y)
        memcpy(&out[(size_t)y * w * 4], &g->rgba[((size_t)(y + y0) * g->w + x0) * 4], (size_t)w * 4);
    g->rgba.swap(out);
    g->w = w;
    g->h = h;
    g->offset_x += x0;
    g->offset_y += y0;
    return true;
}

static bool render_all(FT_Face face, const font_plan* plan, int baseline, std::vector<glyph>* out)
{
    coverage c;
    for (int code = 0; code < KEY_COUNT; ++code) {
        if (!code_has_glyph(code) || !render(face, code, plan->rim, &c))
            continue;
        glyph g;
        g.code = code;
        g.w = c.w;
        g.h = c.h;
        g.offset_x = c.left;
        g.offset_y = baseline - c.top;
        g.x = g.y = 0;
        colour(c, plan->rim, &g.rgba);
        if (!trim(&g))
            continue;
        if (g.offset_y < 0 || g.offset_y + g.h > plan->page)
            return false; // the fitted size guarantees this; never write a glyph outside its cell
        g.offset_x = std::max(g.offset_x, 0); // written but unused by readers
        out->push_back(std::move(g));
    }
    return !out->empty();
}

// ---- page packing ----

// Shelves of glyphs taken tallest first, each with a free border around it.
static bool pack(std::vector<glyph>* glyphs, int side)
{
    std::vector<glyph*> order;
    for (glyph& g : *glyphs)
        order.push_back(&g);
    std::stable_sort(order.begin(), order.end(), [](const glyph* a, const glyph* b) { return a->h > b->h; });
    int cx = 0, cy = 0, shelf = 0;
    for (glyph* g : order) {
        if (cx + g->w + 2 * BORDER > side) {
            cy += shelf + 2 * BORDER;
            cx = 0;
            shelf = 0;
        }
        if (cy + g->h + 2 * BORDER > side || g->w + 2 * BORDER > side)
            return false;
        g->x = cx + BORDER;
        g->y = cy + BORDER;
        shelf = std::max(shelf, g->h);
        cx += g->w + 2 * BORDER;
    }
    return true;
}

// ---- writing ----

static bool write_font(const char* data_dir, const font_plan* plan, const std::vector<glyph>& glyphs, int side)
{
    gen_image page;
    gen_image_setup(&page, side, side);
    std::vector<xtx_tile> tiles;
    uint16_t keys[KEY_COUNT] = {};
    for (const glyph& g : glyphs) {
        for (int y = 0; y < g.h; ++y)
            memcpy(gen_image_pixel(&page, g.x, g.y + y), &g.rgba[(size_t)y * g.w * 4], (size_t)g.w * 4);
        xtx_tile t = {(uint16_t)g.x, (uint16_t)g.y, (uint16_t)g.w, (uint16_t)g.h,
                      (uint16_t)g.offset_x, (uint16_t)g.offset_y};
        tiles.push_back(t);
        keys[g.code] = (uint16_t)tiles.size();
    }
    std::string base = std::string(data_dir) + "/fonts/" + plan->base;
    if (!wr_image_save((base + ".png").c_str(), side, side, 4, page.rgba.data())) {
        fprintf(stderr, "dorvale_gen: cannot write %s.png\n", base.c_str());
        return false;
    }
    if (!wr_xtx_save((base + ".xtx").c_str(), tiles.data(), (uint32_t)tiles.size(), keys, KEY_COUNT)) {
        fprintf(stderr, "dorvale_gen: cannot write %s.xtx\n", base.c_str());
        return false;
    }
    return true;
}

static bool make_font(FT_Library lib, const char* data_dir, const font_plan* plan)
{
    const char* used = nullptr;
    FT_Face face = open_face(lib, plan->sources, &used);
    if (!face) {
        fprintf(stderr, "dorvale_gen: no source font for %s (first choice %s)\n", plan->base, plan->sources[0]);
        return false;
    }
    int baseline = 0;
    int px = fit_size(face, plan, &baseline);
    std::vector<glyph> glyphs;
    bool ok = px > 0 && render_all(face, plan, baseline, &glyphs);
    FT_Done_Face(face);
    if (!ok) {
        fprintf(stderr, "dorvale_gen: cannot fit %s into %d-pixel cells\n", used, plan->page);
        return false;
    }
    int side = plan->image;
    while (!pack(&glyphs, side) && side < 4096)
        side *= 2;
    if (side >= 4096 && !pack(&glyphs, side))
        return false;
    if (!write_font(data_dir, plan, glyphs, side))
        return false;
    printf("dorvale_gen: fonts/%s from %s at %d px: %d glyphs on %dx%d\n", plan->base, used, px,
           (int)glyphs.size(), side, side);
    return true;
}

bool gen_fonts(const char* data_dir)
{
    FT_Library lib;
    if (FT_Init_FreeType(&lib) != 0) {
        fprintf(stderr, "dorvale_gen: FreeType did not start\n");
        return false;
    }
    bool ok = true;
    for (const font_plan& plan : plans)
        ok = make_font(lib, data_dir, &plan) && ok;
    FT_Done_FreeType(lib);
    return ok;
}
