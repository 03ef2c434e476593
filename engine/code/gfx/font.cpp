// Text fonts: loading the three fonts, UTF-8 decoding, measuring and drawing glyphs as
// textured quads through the 2D buffer, with the console's 8x8 font as the fallback.
//
// Sections: decoding; glyph lookup and measuring; drawing; set-up and clean.

#include "engine/code/gfx/font.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/code/dbg.h"
#include "engine/code/files.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/xtx.h"

enum : uint32_t { FONT_TEXTURE_KIND = 6 };

// ---- decoding ----

bool font_is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int font_utf8_next(const char** text, uint32_t* code)
{
    const uint8_t* p = (const uint8_t*)*text;
    uint32_t lead = p[0], c;
    int more;
    if (lead == 0)
        return FONT_UTF8_END;
    if (lead < 0x80) {
        more = 0;
        c = lead;
    } else if (lead < 0xC0) {
        ++*text;
        return FONT_UTF8_INVALID;
    } else if (lead < 0xE0) {
        more = 1;
        c = lead & 0x1F;
    } else if (lead < 0xF0) {
        more = 2;
        c = lead & 0x0F;
    } else if (lead & 0x04) {
        ++*text;
        return FONT_UTF8_INVALID;
    } else {
        more = 3;
        c = lead & 0x07;
    }
    for (int i = 1; i <= more; ++i) {
        if (p[i] == 0) { // cut short: the string ends here
            *text = (const char*)(p + i);
            return FONT_UTF8_END;
        }
        c = (c << 6) | (p[i] & 0x3F);
    }
    if (c == 0)
        return FONT_UTF8_END;
    *text = (const char*)(p + 1 + more);
    *code = c;
    return FONT_UTF8_CODE;
}

// ---- glyph lookup and measuring ----

// The page that holds code, with the key index inside it; page 0 and index 0 when none does.
static font_page* glyph_page(font* f, uint32_t code, uint32_t* index)
{
    font_page* page = &f->page;
    if (f->page_count > 0 && code >= page->first && code - page->first < page->count) {
        *index = code - page->first;
        return page;
    }
    *index = 0;
    return page;
}

// A page whose image is gone (a device reset that could not reload it) has no glyphs: its
// characters advance by the space and draw nothing, rather than as untextured boxes.
static bool glyph_tile(const font_page* page, uint32_t index, xtx_tile* tile)
{
    return page->file && page->page_size > 0 && page->texture && page->texture->texture &&
           xtx_key_tile(page->file, index, tile);
}

float font_glyph_width(gfx* root, uint32_t code)
{
    font* f = root->current_font;
    if (!f)
        return 0.0f;
    if (root->space_width < 0)
        return -root->space_width + root->spacing;
    uint32_t index;
    font_page* page = glyph_page(f, code, &index);
    xtx_tile tile;
    if (!glyph_tile(page, index, &tile))
        return root->space_width + root->spacing;
    return tile.w * (root->text_size / page->page_size) + root->spacing;
}

float font_text_width(gfx* root, const char* text)
{
    if (!text)
        return 0.0f;
    if (!root->current_font)
        return (float)strlen(text) * root->text_size;
    float width = 0.0f;
    uint32_t code;
    while (font_utf8_next(&text, &code) == FONT_UTF8_CODE)
        width += font_glyph_width(root, code);
    return width;
}

float font_word_width(gfx* root, const char** text)
{
    const char* p = *text;
    while (*p && *p != '\n' && font_is_space(*p))
        ++p;
    if (*p == '\n') {
        *text = p + 1;
        return -1.0f;
    }
    float width = 0.0f;
    while (*p && !font_is_space(*p)) {
        uint32_t code = 0;
        int r = font_utf8_next(&p, &code);
        if (r == FONT_UTF8_END)
            break;
        width += font_glyph_width(root, r == FONT_UTF8_CODE ? code : 0);
    }
    *text = p;
    return width;
}

// ---- drawing ----

static void bind_page(gfx* root, font_page* page)
{
    d3d_state_set_texture(0, root->d3d_gfx.device, page && page->texture ? page->texture->texture : nullptr);
}

// Text drawing leaves stage 0 empty so later untextured drawing shows its vertex colours.
static void unbind(gfx* root)
{
    d3d_state_set_texture(0, root->d3d_gfx.device, nullptr);
    root->last_texture = nullptr;
}

void font_draw_glyph(gfx* root, uint32_t code)
{
    font* f = root->current_font;
    if (!f)
        return;
    uint32_t index;
    font_page* page = glyph_page(f, code, &index);
    if (page != root->last_texture) {
        bind_page(root, page);
        root->last_texture = page;
    }
    float fixed = root->space_width < 0 ? -root->space_width : 0.0f;
    xtx_tile t;
    if (!glyph_tile(page, index, &t)) {
        root->pen_x += fabsf(root->space_width) + root->spacing;
        return;
    }
    float s = root->text_size / page->page_size;
    float w = t.w * s, h = t.h * s;
    float left = fixed > 0 ? root->pen_x + (fixed - w) * 0.5f : root->pen_x;
    float top = root->pen_y + t.offset_y * s;
    float iw = page->texture->inv_width, ih = page->texture->inv_height;
    float u0 = t.x * iw, u1 = (t.x + t.w) * iw, v0 = t.y * ih, v1 = (t.y + t.h) * ih;
    uint32_t tc = root->top_colour, bc = root->bottom_colour;
    d3d_vertex_2d quad[4] = {
        {left, top, 0.0f, 1.0f, tc, u0, v0},
        {left + w, top, 0.0f, 1.0f, tc, u1, v0},
        {left, top + h, 0.0f, 1.0f, bc, u0, v1},
        {left + w, top + h, 0.0f, 1.0f, bc, u1, v1},
    };
    d3d_buffers_draw2d(&D3D_BUFFERS, quad, 4, D3DPT_TRIANGLESTRIP, 2);
    root->pen_x += (fixed > 0 ? fixed : w) + root->spacing;
}

void font_draw_text(gfx* root, const char* text)
{
    if (!text)
        return;
    if (!root->current_font) {
        d3d_dbg_draw_text(text, root->pen_x, root->pen_y, root->text_size / 8.0f);
        root->pen_x += (float)strlen(text) * root->text_size;
        return;
    }
    uint32_t code;
    while (font_utf8_next(&text, &code) == FONT_UTF8_CODE)
        font_draw_glyph(root, code);
    unbind(root);
}

// Every character is drawn by its full code, so one the font lacks (any above 255 here)
// takes the space advance it was measured with, as in font_word_width.
void font_draw_word(gfx* root, const char** text)
{
    const char* p = *text;
    while (*p && font_is_space(*p))
        ++p;
    while (*p && !font_is_space(*p)) {
        uint32_t code = 0;
        int r = font_utf8_next(&p, &code);
        if (r == FONT_UTF8_END)
            break;
        font_draw_glyph(root, r == FONT_UTF8_CODE ? code : 0);
    }
    *text = p;
    unbind(root);
}

void font_select(gfx* root, font* f) { root->current_font = f; }

void font_set_style(gfx* root, float space_width, float size, float spacing, uint32_t top_colour,
                    uint32_t bottom_colour)
{
    root->space_width = space_width;
    root->text_size = size;
    root->spacing = spacing;
    root->top_colour = top_colour;
    root->bottom_colour = bottom_colour;
}

void font_set_pos(gfx* root, float x, float y)
{
    root->pen_x = x;
    root->pen_y = y;
}

void font_move_x(gfx* root, float dx) { root->pen_x += dx; }

// ---- set-up and clean ----

bool font_setup(font_page* page, const char* base)
{
    char path[512];
    snprintf(path, sizeof(path), "%s.xtx", base);
    page->file = files_load(&FILES, path);
    if (!page->file || page->file->header.magic != XTX_MAGIC || !xtx_keys_valid(page->file)) {
        font_clean(page);
        return false;
    }
    page->body = page->file->payload;
    snprintf(path, sizeof(path), "%s.png", base);
    page->texture = d3d_buffers_alloc_txt(&D3D_BUFFERS, FONT_TEXTURE_KIND, -1, -1, 1, path);
    if (!page->texture) {
        font_clean(page);
        return false;
    }
    page->count = xtx_key_count(page->file);
    return true;
}

void font_clean(font_page* page)
{
    files_free(&FILES, page->file);
    d3d_buffers_free_txt(&D3D_BUFFERS, page->texture);
    page->file = nullptr;
    page->body = nullptr;
    page->texture = nullptr;
}

void font_free(font* f)
{
    font_clean(&f->page);
    memset(f, 0, sizeof(*f));
}

static bool setup_one(font* f, const char* base, float size)
{
    memset(f, 0, sizeof(*f));
    f->nominal_size = size;
    f->nominal_space_width = 8.0f;
    f->page_count = 0;
    if (!font_setup(&f->page, base))
        return false;
    f->page.first = 0;
    f->page.page_size = size;
    f->page_count = 1;
    return true;
}

bool font_setup_outline16(font* f) { return setup_one(f, FONT_OUTLINE16_NAME, 16.0f); }
bool font_setup_comic16(font* f) { return setup_one(f, FONT_COMIC16_NAME, 16.0f); }
bool font_setup_comic32(font* f) { return setup_one(f, FONT_COMIC32_NAME, 32.0f); }

bool fonts_setup(gfx* root)
{
    const char* failed = nullptr;
    if (!font_setup_outline16(&root->outline16))
        failed = "GFX.Font.Outline16 subsystem failed to initialize,\n";
    else if (!font_setup_comic16(&root->comic16))
        failed = "GFX.Font.Comic16 subsystem failed to initialize,\n";
    else if (!font_setup_comic32(&root->comic32))
        failed = "GFX.Font.Comic32 subsystem failed to initialize,\n";
    if (!failed)
        return true;
    dbg_error("%s", failed);
    gfx_clean(root);
    return false;
}

void fonts_clean(gfx* root)
{
    font_free(&root->comic32);
    font_free(&root->comic16);
    font_free(&root->outline16);
}
