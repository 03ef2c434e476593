// The debug console: scroll-back and command history rings, the sliding panel, the
// command-line editor, the status text and the 8x8 console font.
//
// Sections: lifecycle, log hooks, glyphs, frame draw, keys and the command line.
#include "engine/code/gfx/d3d_dbg.h"

#include <cstring>

#include "app/code/con.h"
#include "engine/code/dbg.h"
#include "engine/code/safelua.h"
#include "engine/code/gfx/bmps.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_gfx.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8.h"
#include "platform/ilut_d3d8.h"

d3d_dbg D3D_DBG;

static const char FONT_FILE[] = "data/debug/debug8x8_font.png";
static const uint32_t CURSOR_TYPED = 0xF0FFFFFF;
static const uint32_t BACKGROUND_TOP = 0xE0004000;
static const uint32_t BACKGROUND_BOTTOM = 0xE0008000;

// Windows virtual-key codes of the keys the console reads (Page Up, Page Down and the
// editing keys), and the two characters it acts on.
enum {
    KEY_BACK = 8,
    KEY_PRIOR = 33,
    KEY_NEXT = 34,
    KEY_END = 35,
    KEY_HOME = 36,
    KEY_LEFT = 37,
    KEY_UP = 38,
    KEY_RIGHT = 39,
    KEY_DOWN = 40,
    KEY_DELETE = 46,
    CHAR_ENTER = 13,
    CHAR_BACKQUOTE = 96,
};

// --- lifecycle ------------------------------------------------------------------------

bool d3d_dbg_setup(d3d_dbg* console, d3d_gfx* gfx)
{
    console->gfx = gfx;
    console->shown = false;
    console->text_scale = 1.0f;
    console->height_lines = 8.0f;
    console->slide = 0.0f;

    dbg_print_hook = d3d_dbg_print_hook;
    dbg_warning_hook = d3d_dbg_print_hook;
    dbg_error_hook = d3d_dbg_print_hook;
    dbg_status_hook = d3d_dbg_status_hook;

    d3d_dbg_restore(console);
    if (!console->font) {
        d3d_dbg_clean(console);  // restore has logged the missing font
        return false;
    }
    if (!text_ring_setup(&console->scroll_back, D3D_DBG_SCROLL_BACK_BYTES)) {
        dbg_error("Failed to create scroll back,\n");
        d3d_dbg_clean(console);
        return false;
    }
    if (!text_ring_setup(&console->history, D3D_DBG_HISTORY_BYTES)) {
        dbg_error("Failed to create command history,\n");
        d3d_dbg_clean(console);
        return false;
    }

    console->line_text[0] = 0;
    console->line.history = &console->history;
    console->line.text = console->line_text;
    console->line.capacity = D3D_DBG_LINE_CAPACITY;
    console->line.cursor = 0;
    console->line.cursor_colour = 0x00FFFFFF;
    console->status[0] = 0;
    console->status_length = 0;

    timer_setup(&console->TOTAL);
    timer_setup(&console->CELLS);
    timer_setup(&console->DRAW);
    return true;
}

void d3d_dbg_clean(d3d_dbg* console)
{
    timer_clean(&console->DRAW);
    timer_clean(&console->CELLS);
    timer_clean(&console->TOTAL);
    text_ring_clean(&console->history);
    text_ring_clean(&console->scroll_back);
    d3d_dbg_lose(console);
}

bool d3d_dbg_reset(d3d_dbg* console)
{
    d3d_gfx* gfx = console->gfx;
    d3d_dbg_clean(console);
    return d3d_dbg_setup(console, gfx);
}

// A font that cannot be loaded is logged and left null, but the restore still succeeds: a
// file lost after start-up must not keep the whole device from coming back. Setup checks
// the font itself.
bool d3d_dbg_restore(d3d_dbg* console)
{
    d3d_dbg_lose(console);
    IDirect3DDevice8* device = console->gfx ? console->gfx->device : nullptr;
    IDirect3DTexture8* font = nullptr;
    if (device) {
        ilutSetInteger(ILUT_D3D_MIPLEVELS, 1);
        ilutSetInteger(ILUT_D3D_ALPHA_KEY_COLOR, 255);
        // The loader hands the file to the image library: it passes the same check as bitmaps,
        // and a failure names the file as theirs do.
        if (!bmps_file_check(FONT_FILE) || !ilutD3D8TexFromFile(device, FONT_FILE, &font)) {
            font = nullptr;
            bmps_report_load_failure(FONT_FILE);
        }
        // The loader's settings are shared: put them back whether or not the load worked.
        ilutSetInteger(ILUT_D3D_ALPHA_KEY_COLOR, -1);
        ilutSetInteger(ILUT_D3D_MIPLEVELS, 0);
    }
    if (!font)
        dbg_error("Failed to load DBG Font texture,\n");
    console->font = font;
    return true;
}

void d3d_dbg_lose(d3d_dbg* console)
{
    if (console->font) {
        IDirect3DTexture8_Release(console->font);
        console->font = nullptr;
    }
}

// --- log hooks ------------------------------------------------------------------------

// While the scroll-back is being walked for drawing, a failing draw call can log a line;
// pushing it then could overwrite the entries under the walk, so such lines wait here and
// join the scroll-back when the walk is over.
static bool walking_scroll_back;
static char deferred[4096];
static uint32_t deferred_length;

void d3d_dbg_print_hook(const char* text)
{
    if (!walking_scroll_back) {
        text_ring_push(&D3D_DBG.scroll_back, text);
        return;
    }
    size_t n = strlen(text) + 1;
    if (deferred_length + n <= sizeof(deferred)) {
        memcpy(deferred + deferred_length, text, n);
        deferred_length += (uint32_t)n;
    }
}

static void push_deferred_lines(void)
{
    for (uint32_t at = 0; at < deferred_length; at += (uint32_t)strlen(deferred + at) + 1)
        text_ring_push(&D3D_DBG.scroll_back, deferred + at);
    deferred_length = 0;
}

void d3d_dbg_status_hook(const char* text)
{
    d3d_dbg* console = &D3D_DBG;
    size_t n = strlen(text);
    if (console->status_length + n < D3D_DBG_STATUS_BYTES) {
        memcpy(console->status + console->status_length, text, n + 1);
        console->status_length += (uint32_t)n;
    }
}

// --- glyphs ---------------------------------------------------------------------------

static IDirect3DDevice8* console_device(void)
{
    return D3D_DBG.gfx ? D3D_DBG.gfx->device : nullptr;
}

void d3d_dbg_draw_char(int c, float x, float y, float scale)
{
    if (!D3D_DBG.font)
        return;
    int code = (signed char)c;  // bytes from 128 up are negative: a space
    if (code < 32 || code == 127)
        code = 32;
    int col = (code - 32) % 12;
    int row = (code - 32) / 12;
    float left = (col * 10 + 1) / 128.0f, right = (col * 10 + 9) / 128.0f;
    float top = (row * 10 + 1) / 128.0f, bottom = (row * 10 + 9) / 128.0f;
    float size = 8.0f * scale;
    d3d_vertex_2d quad[4] = {
        {x, y, 0.0f, 1.0f, 0xFFFFFFFF, left, top},
        {x + size, y, 0.0f, 1.0f, 0xFFFFFFFF, right, top},
        {x, y + size, 0.0f, 1.0f, 0xFFFFFFFF, left, bottom},
        {x + size, y + size, 0.0f, 1.0f, 0xFFFFFFFF, right, bottom},
    };
    d3d_buffers_draw2d(&D3D_BUFFERS, quad, 4, D3DPT_TRIANGLESTRIP, 2);
}

void d3d_dbg_draw_text(const char* text, float x, float y, float scale)
{
    if (!D3D_DBG.font)
        return;
    IDirect3DDevice8* device = console_device();
    d3d_state_set_texture(0, device, D3D_DBG.font);
    for (const char* p = text; *p; ++p) {
        d3d_dbg_draw_char(*p, x, y, scale);
        x += scale * 8.0f;
    }
    d3d_state_set_texture(0, device, nullptr);
}

// --- frame draw -----------------------------------------------------------------------

// Half the remaining distance per frame, never less than one pixel. The panel never
// reaches above the screen's top: a height at or below zero (Page Up has no bound) keeps
// it shut at 0, so the status lines under it stay in view.
static void slide_step(d3d_dbg* console)
{
    float target = console->height_lines * 8.0f;
    if (console->shown && target > console->slide) {
        float step = (target - console->slide) * 0.5f;
        console->slide += step < 1.0f ? 1.0f : step;
    } else if (!console->shown && console->slide > 0.0f) {
        float step = console->slide * 0.5f;
        console->slide -= step < 1.0f ? 1.0f : step;
    }
    if (console->slide > target)
        console->slide = target;
    if (console->slide < 0.0f)
        console->slide = 0.0f;
}

// Newest line just above the command line, older lines climbing out of the top.
static void draw_scroll_back(d3d_dbg* console, float lh)
{
    text_ring* ring = &console->scroll_back;
    if (!ring->block)
        return;
    walking_scroll_back = true;
    float y = console->slide - 2.0f * lh;
    for (text_ring_entry* e = text_ring_previous(ring, ring->newest); e && y > -lh;
         e = text_ring_previous(ring, e)) {
        d3d_dbg_draw_text(text_ring_entry_text(e), 0.0f, (float)(int)y, console->text_scale);
        y -= lh;
    }
    walking_scroll_back = false;
    push_deferred_lines();
}

// Each line of the status text from the panel's bottom edge down, then empties it.
static void draw_status(d3d_dbg* console, float lh)
{
    if (!console->status_hidden) {
        float y = console->slide;
        char* part = console->status;
        for (;;) {
            char* end = strchr(part, '\n');
            if (end)
                *end = 0;
            d3d_dbg_draw_text(part, 0.0f, (float)(int)y, console->text_scale);
            y += lh;
            if (!end)
                break;
            part = end + 1;
        }
    }
    console->status[0] = 0;
    console->status_length = 0;
}

void d3d_dbg_draw(d3d_dbg* console)
{
    float lh = console->text_scale * 8.0f;
    slide_step(console);
    IDirect3DDevice8* device = console->gfx ? console->gfx->device : nullptr;
    if (device)
        d3d_state_reset(device);

    gfx_draw2d_quad(0.0f, 0.0f, (float)GFX.screen_width, console->slide, BACKGROUND_TOP,
                    BACKGROUND_TOP, BACKGROUND_BOTTOM, BACKGROUND_BOTTOM);
    draw_scroll_back(console, lh);

    float row = (float)(int)(console->slide - lh);
    d3d_dbg_draw_text(">", 0.0f, row, console->text_scale);
    d3d_dbg_draw_text(console->line.text, lh, row, console->text_scale);

    uint32_t colour = console->line.cursor_colour - 0x10000000u;
    console->line.cursor_colour = colour;
    float x = (float)(int)((console->line.cursor + 1) * lh);
    gfx_draw2d_quad(x, row, x + lh, row + lh, colour, colour, colour, colour);

    draw_status(console, lh);
}

// --- keys and the command line --------------------------------------------------------

void d3d_dbg_key(d3d_dbg* console, uint32_t vk)
{
    if (!console->shown)
        return;
    if (vk == KEY_PRIOR) {
        console->height_lines -= 1.0f;
    } else if (vk == KEY_NEXT) {
        console->height_lines += 1.0f;
    } else {
        console->line.cursor_colour = CURSOR_TYPED;
        d3d_dbg_line_key(&console->line, vk);
    }
}

// Runs the typed line as a script thread of the shell's Lua environment (next frame).
static void run_line(d3d_dbg* console)
{
    d3d_dbg_line* line = &console->line;
    if ((int32_t)strlen(line->text) < line->capacity - 4)
        safelua_add_parens(line->text);
    dbg_print("%s\n", line->text);
    con_exec_line(line->text);
    text_ring_push(line->history, line->text);
    line->text[0] = 0;
    line->cursor = 0;
}

void d3d_dbg_char(d3d_dbg* console, uint32_t ch)
{
    if (!console->shown) {
        if (ch == CHAR_BACKQUOTE)
            console->shown = true;
        return;
    }
    if (ch == CHAR_BACKQUOTE) {
        console->shown = false;
    } else if (ch == CHAR_ENTER) {
        run_line(console);
    } else {
        console->line.cursor_colour = CURSOR_TYPED;
        d3d_dbg_line_insert(&console->line, ch);
    }
}

void d3d_dbg_line_insert(d3d_dbg_line* line, uint32_t ch)
{
    if (ch < 32 || ch > 127)
        return;
    int32_t length = (int32_t)strlen(line->text);
    if (length >= line->capacity - 1)
        return;
    if (line->cursor > length)
        line->cursor = length;
    memmove(line->text + line->cursor + 1, line->text + line->cursor,
            (size_t)(length - line->cursor) + 1);
    line->text[line->cursor] = (char)ch;
    if (line->cursor < line->capacity - 1)
        line->cursor += 1;
}

// Up and Down: a line that differs from the selected history entry is saved first, so
// coming back down returns to it.
static void history_step(d3d_dbg_line* line, int32_t delta)
{
    text_ring* history = line->history;
    if (strcmp(line->text, text_ring_get(history)) != 0) {
        text_ring_push(history, line->text);
        text_ring_move(history, 1);
    }
    text_ring_move(history, delta);
    const char* text = text_ring_get(history);
    size_t n = strlen(text);
    if (n > (size_t)line->capacity - 1)
        n = (size_t)line->capacity - 1;
    memmove(line->text, text, n);
    line->text[n] = 0;
    line->cursor = (int32_t)n;
}

void d3d_dbg_line_key(d3d_dbg_line* line, uint32_t vk)
{
    int32_t length = (int32_t)strlen(line->text);
    switch (vk) {
    case KEY_BACK:
        if (line->cursor >= 1) {
            memmove(line->text + line->cursor - 1, line->text + line->cursor,
                    (size_t)(length - line->cursor) + 1);
            line->cursor -= 1;
        }
        break;
    case KEY_END:
        line->cursor = length;
        break;
    case KEY_HOME:
        line->cursor = 0;
        break;
    case KEY_LEFT:
        if (line->cursor >= 1)
            line->cursor -= 1;
        break;
    case KEY_UP:
        history_step(line, 1);
        break;
    case KEY_RIGHT:
        if (line->cursor < length)
            line->cursor += 1;
        break;
    case KEY_DOWN:
        history_step(line, -1);
        break;
    case KEY_DELETE:
        if (line->cursor < length)
            memmove(line->text + line->cursor, line->text + line->cursor + 1,
                    (size_t)(length - line->cursor));
        break;
    default:
        break;
    }
}
