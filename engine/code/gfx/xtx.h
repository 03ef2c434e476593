// XTX tile files: a list of tile rectangles in an image and a key table that maps key
// positions to 1-based tile numbers (0 = no tile). Fonts use them with keys indexed by
// character code; the tile-map writer produces them. The layout here is shared with the
// writer library, so it must stay free of engine dependencies.
//
// Layout after the 12-byte data-file header (little-endian, no padding):
//   body +0   xtx_info (28 bytes)
//   body +28  tile_count x xtx_tile (12 bytes each)
//   then      key_count x u16 keys
#pragma once

#include <cstdint>

enum : uint32_t {
    XTX_MAGIC = 0x58545830, // "0XTX"
    XTX_VERSION = 19,
    XTX_INFO_SIZE = 28,
    XTX_TILE_SIZE = 12,
};

struct xtx_info {
    uint32_t tile_count;
    uint32_t key_count;
    uint32_t zero;
    uint32_t reserved;      // written 0, ignored by readers
    uint32_t tiles_offset;  // from the body's start; 28
    uint32_t keys_offset;   // 28 + 12 x tiles
    uint32_t end_offset;    // 28 + 12 x tiles + 2 x keys
};

struct xtx_tile {
    uint16_t x, y, w, h;
    uint16_t offset_x, offset_y; // where the trimmed rectangle lies in its original cell
};

static_assert(sizeof(xtx_info) == XTX_INFO_SIZE, "xtx_info layout");
static_assert(sizeof(xtx_tile) == XTX_TILE_SIZE, "xtx_tile layout");

// A loaded body, checked once: every tile and key lies inside the body, and every key is
// at most the tile count. Readers go through it instead of the stored offsets.
struct xtx_view {
    uint32_t tile_count;
    uint32_t key_count;
    const xtx_tile* tiles;
    const uint16_t* keys;
};

// Checks `body` (body_size bytes, the data after the file header) and fills the view.
// An empty body (a bare header) is a valid view with no tiles and no keys. False (and a
// cleared view) for anything inconsistent.
bool xtx_view_setup(xtx_view* view, const void* body, uint32_t body_size);
// The tile that key position `index` names, or null for no tile or an index out of range.
const xtx_tile* xtx_view_tile(const xtx_view* view, uint32_t index);
