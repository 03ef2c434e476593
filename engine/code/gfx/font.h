// Text fonts (GFX.Font): three bitmap fonts whose metrics are XTX files keyed by character
// code and whose glyphs sit in one page image each, and the text API that measures and
// draws UTF-8 strings in screen pixels. The text state (current font, style, pen, colours)
// lives in the graphics root; without a current font, text falls back to the console's
// 8x8 font.
#pragma once

#include <cstdint>

struct gfx;
struct d3d_txt;
struct files_data;

// One glyph page: an XTX file (keys indexed by code - first) and its page texture.
struct font_page {
    uint32_t first;          // first character code of the page (0)
    uint32_t count;          // codes covered: the XTX key count
    float page_size;         // pixel height the glyphs were drawn at; text size / page size = scale
    d3d_txt* texture;
    const uint8_t* body;     // the XTX payload; read it through files_data accessors
    files_data* file;        // the loaded XTX file
};

struct font {
    float nominal_size;
    float nominal_space_width; // 8
    int32_t page_count;        // 1 after setup
    font_page page;
};

// Installation names, without extension: "<name>.xtx" holds the metrics, "<name>.png" the page.
#define FONT_OUTLINE16_NAME "data/fonts/outlined_16_latin"
#define FONT_COMIC16_NAME "data/fonts/comic_16_latin"
#define FONT_COMIC32_NAME "data/fonts/comic_32_latin"

// Sets up Outline16, Comic16 and Comic32 in the root. The first that fails logs its line,
// cleans the whole root (gfx_clean) and gives false.
bool fonts_setup(gfx* root);
void fonts_clean(gfx* root); // safe after a failed setup and twice
bool font_setup_outline16(font* f);
bool font_setup_comic16(font* f);
bool font_setup_comic32(font* f);
// Loads "<base>.xtx" and "<base>.png" into the page; any failure leaves the page clean.
// A file whose keys name tiles it does not hold is refused like a foreign file.
bool font_setup(font_page* page, const char* base);
void font_clean(font_page* page);
void font_free(font* f);

// Text state. A negative space width makes the font fixed-pitch (every character advances
// by its magnitude, glyphs centred in the cell).
void font_select(gfx* root, font* f); // null = the console font
void font_set_style(gfx* root, float space_width, float size, float spacing, uint32_t top_colour,
                    uint32_t bottom_colour);
void font_set_pos(gfx* root, float x, float y);
void font_move_x(gfx* root, float dx);

float font_glyph_width(gfx* root, uint32_t code);
float font_text_width(gfx* root, const char* text);
void font_draw_glyph(gfx* root, uint32_t code);
void font_draw_text(gfx* root, const char* text);
// Width of the next word; *text is left after it. -1 for a line feed (stepped over), 0 at
// the end of the text.
float font_word_width(gfx* root, const char** text);
// Draws the next word (white space before it skipped, line feeds included); *text is left
// after it.
void font_draw_word(gfx* root, const char** text);

// UTF-8 decoding as every text operation reads strings.
enum font_utf8_result {
    FONT_UTF8_END = 0,     // code 0, or a sequence cut short by the end of the string
    FONT_UTF8_CODE = 1,    // *code holds the character
    FONT_UTF8_INVALID = -1 // a continuation byte or an unusable lead where a character starts
};
// Reads one character at *text and moves *text past it (past the one bad byte for an
// invalid lead; not at all at the end). Never reads past a terminating zero.
int font_utf8_next(const char** text, uint32_t* code);
bool font_is_space(char c); // space, tab, line feed, vertical tab, form feed, carriage return
