// Height maps: a grid of cells, each a height and a slope, made at a given size or from a
// tile map whose tiles are linked to a master sheet (the master tile's column gives a
// slope's direction, its row the steepness; a relaxation turns the slopes into corner
// heights), and drawn into an image as the luminance picture the isometric map reads.
// Scripts drive it through the Lua library hmap; the userdata is also handed to the amaze
// state.
#pragma once

#include <stdint.h>

#include "engine/code/lua_compat.h"

#define HMAP_TYPE "hmap"

struct mmap;

struct hmap_cell {
    float height;
    float slope_x, slope_y;
};

// Cell (x, y) is number y x w + x. Built from a tile map of across x down tiles the grid
// is (across + 1) x (2 down + 1): even rows are tile corners, cell (c, 2r + 1) is tile
// (c, r)'s own (its slope and centre height).
struct hmap {
    int32_t count;      // w x h
    hmap_cell* cells;   // runtime heap (not the tracked heap); null when none
    int32_t w, h;
};

void hmap_setup(hmap* m);  // clears the record
void hmap_clean(hmap* m);  // frees the cells and clears the record; safe twice
// w x h zeroed cells, replacing any held before. False for a size below 1 x 1 or past the
// image limits of bmps.h (16384 cells a side, 256 MB of cells), checked before allocating
// and logged, or when they cannot be had; the map is then empty.
bool hmap_build(hmap* m, int32_t w, int32_t h);
// See the header comment; slopes are the unit vector of the master's column times its row
// times k. Tiles with no link, linked within their own map, or whose master has no size
// keep a flat slope (as do masters of a negative size).
bool hmap_build_from_mmap(hmap* m, const mmap* t, float k);
// Redefines the bound image as (2 w) x h luminance bytes, grey = 4 x (height - lowest),
// clamped to 0..255; odd rows are shifted by half a cell. False without cells or pixels.
bool hmap_draw(const hmap* m);

// Registers the type hmap and the global table hmap. Runs inside a protected call.
void hmap_lua_setup(lua_State* L);
