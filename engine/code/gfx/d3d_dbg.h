// The debug console: a panel that slides down from the top of the screen with the log's
// scroll-back and a command line whose lines run as Lua script threads, the per-frame
// status text below it, its own 8x8 font (also the fallback font of text drawing) and the
// three frame timers.
#pragma once

#include <cstdint>

#include "engine/code/text_ring.h"
#include "engine/code/timer.h"

struct d3d_gfx;
struct IDirect3DTexture8;

enum {
    D3D_DBG_SCROLL_BACK_BYTES = 16384,
    D3D_DBG_HISTORY_BYTES = 4096,
    D3D_DBG_LINE_CAPACITY = 1024,  // so a line holds at most 1023 characters
    D3D_DBG_STATUS_BYTES = 4096,
};

// The command-line editor.
struct d3d_dbg_line {
    text_ring* history;
    char* text;
    int32_t capacity;
    int32_t cursor;         // character index
    uint32_t cursor_colour; // ARGB; typing makes it solid, each draw fades it
};

struct d3d_dbg {
    d3d_gfx* gfx;
    IDirect3DTexture8* font;   // null when not loaded: no console text is drawn
    bool shown;                // the panel is open and takes keys
    float text_scale;          // a line is text_scale * 8 pixels high, a character as wide
    float height_lines;        // the open panel's height in lines of 8 pixels
    float slide;               // the panel's current height in pixels
    uint8_t status_hidden;     // set by the frame loop while show_debug is off
    text_ring scroll_back;     // the log lines
    text_ring history;         // the entered command lines
    char line_text[D3D_DBG_LINE_CAPACITY];
    d3d_dbg_line line;
    char status[D3D_DBG_STATUS_BYTES]; // this frame's status lines, emptied by every draw
    uint32_t status_length;
    timer TOTAL;               // the frame's work (the status line's TOTAL)
    timer CELLS;               // simulation and animation steps
    timer DRAW;                // drawing
};

extern d3d_dbg D3D_DBG;

// Sets the log hooks and loads the font; a missing font fails the setup.
bool d3d_dbg_setup(d3d_dbg* console, d3d_gfx* gfx);
// The log hooks stay set: lines logged afterwards go nowhere.
void d3d_dbg_clean(d3d_dbg* console);
bool d3d_dbg_reset(d3d_dbg* console);
// (Re)loads the font texture after a device reset. A font that cannot be loaded is logged
// and left null (the console then draws no text) so a lost file cannot stop the device
// from coming back.
bool d3d_dbg_restore(d3d_dbg* console);
void d3d_dbg_lose(d3d_dbg* console);

// Log hooks: print, warning and error lines go to the scroll-back; status lines are
// collected for the next draw (a line that would overflow the frame's status is dropped).
void d3d_dbg_print_hook(const char* text);
void d3d_dbg_status_hook(const char* text);

// Glyph drawing with the console's font (the static instance); nothing without a font.
// draw_text leaves stage 0 without a texture.
void d3d_dbg_draw_char(int c, float x, float y, float scale);
void d3d_dbg_draw_text(const char* text, float x, float y, float scale);

// Once a frame, after the main state's draw and before the scene ends.
void d3d_dbg_draw(d3d_dbg* console);

// Window input: key-downs (virtual-key codes) and characters, while show_debug is on.
void d3d_dbg_key(d3d_dbg* console, uint32_t vk);
void d3d_dbg_char(d3d_dbg* console, uint32_t ch);

void d3d_dbg_line_insert(d3d_dbg_line* line, uint32_t ch);
void d3d_dbg_line_key(d3d_dbg_line* line, uint32_t vk);
