// Tile maps: an image of the image library cut into rectangular tiles, with identical tiles
// linked (within one map or to a key map's tiles), empty borders trimmed, the non-empty
// tiles of one map shelf-packed into another's image, and the XTX writer (tile rectangles
// plus, per key-map tile, the number of the tile linked to it). Scripts drive it through
// the Lua library mmap; height maps read a map's links.
//
// Links are pointers into other maps' tile arrays. Whenever a map's tiles are freed every
// link into them is cleared first, so a link never outlives the tile it names.
#pragma once

#include <stdint.h>

#include "engine/code/lua_compat.h"

struct mmap;

struct mmap_tile {
    mmap_tile* link;        // identical earlier tile (merge), key-map tile (keymap) or the
                            // source tile a packed tile was made from (layout); null = none
    int32_t x, y;           // top left pixel in the owner's image
    int32_t w, h;           // 0 x 0 = empty
    int32_t offset_x, offset_y; // where the trimmed rectangle lies in the cell it was cut from
    mmap* owner;
};

// One tile map; the Lua library keeps it inside an "mmap" userdata.
struct mmap {
    int32_t count;
    mmap_tile* tiles;       // runtime heap (not the tracked heap); null when none
    int32_t across, down;   // grid of the last cut-up
    uint32_t image;         // image-library name, refreshed from the script before each use
    // Refreshed from the bound image at the start of every operation that needs pixels.
    int32_t image_w, image_h;
    int32_t bpp;            // bytes per pixel
    uint32_t format, type;
    int32_t row;            // image_w x bpp
    uint8_t* data;          // null when the image has no usable pixels
    // Every map that holds tiles is on one list, so freeing tiles can clear links into them.
    mmap* live_next;
    mmap* live_prev;
    bool live;
};

bool mmap_setup(mmap* m);   // clears the record; true
bool mmap_clean(mmap* m);   // frees the tiles (clearing links into them); true
// Binds the image and reads its size, layout and pixels. False without pixels (image 0,
// a closed image, has none).
bool mmap_bind_image(mmap* m);
// Replaces the tiles with a grid of (image w / w) x (image h / h) cells of w x h, row by
// row. False for a cell size below 1, an image without pixels or a failed allocation.
bool mmap_cutup(mmap* m, int32_t w, int32_t h);
// Links each unlinked tile to the first earlier unlinked tile identical to it.
bool mmap_merge(mmap* m);
// Trims every unlinked tile.
bool mmap_shrink(mmap* m);
// Links each tile of m to the first unlinked tile of master identical to it (never to
// itself, so a map may be its own master); tiles without a match keep their link.
bool mmap_keymap(mmap* m, mmap* master);
// Packs the non-empty tiles of src, tallest first, into dst's image with border pixels of
// free space around each, replacing dst's tiles with one per such tile, and copies their
// pixels. False when a tile does not fit: dst keeps all its tiles, those placed so far and
// the others zero (0 x 0 at 0, 0, no link), and no pixels are copied. False, dst left
// alone, when src has no non-empty tile, when either has no pixels, when src is dst or the
// border is negative.
// Image-library errors of the copy are left pending for the caller.
bool mmap_layout(mmap* src, mmap* dst, int32_t border);
// Writes m's tiles and, for each tile of key, 1 + the number of m's first tile linked to
// it (0 for none) as an XTX file. Failures are logged.
bool mmap_save_xtx(const mmap* m, const mmap* key, const char* file_name);
// Same tile, or same size with every pixel byte equal (offsets not compared). Tiles of
// maps whose format, type or bytes per pixel differ, and tiles not inside their image,
// are never identical to another tile.
bool mmap_tile_compare(const mmap_tile* a, const mmap_tile* b);
// Removes empty rows (bottom, then top) and columns (right, then left); a pixel is empty
// when all its bytes are 0. A tile with nothing in it ends 0 x 0.
bool mmap_tile_trim(mmap_tile* t);

// Registers the types mmap and mmapt and the global table mmap. Runs inside a protected call.
void mmap_lua_setup(lua_State* L);
// The map in field "mmap" of the table argument arg (stores the image of its field "image"
// into the map when with_image); raises "bad mmap" / "bad DevIL*" for argument arg.
mmap* mmap_check_table(lua_State* L, int arg, bool with_image);
