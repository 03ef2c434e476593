// XTX tile files: a list of tile rectangles in an image and a key table that maps key
// positions to 1-based tile numbers (0 = no tile). Fonts use them with keys indexed by
// character code; the tile-map writer produces them. The layout here is shared with the
// writer library, so the layout part must stay free of engine dependencies.
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

// Size of the body (everything after the 12-byte header) for that many tiles and keys.
inline uint32_t xtx_body_size(uint32_t tile_count, uint32_t key_count)
{
    return XTX_INFO_SIZE + XTX_TILE_SIZE * tile_count + 2 * key_count;
}

// The info block every XTX writer puts first in the body (reserved word 0), so the
// engine's tile-map writer and the tools' writer cannot disagree on it.
inline xtx_info xtx_make_info(uint32_t tile_count, uint32_t key_count)
{
    uint32_t keys_offset = XTX_INFO_SIZE + XTX_TILE_SIZE * tile_count;
    return xtx_info{tile_count, key_count, 0, 0, XTX_INFO_SIZE, keys_offset,
                    xtx_body_size(tile_count, key_count)};
}

// Reading a loaded XTX file. Everything goes through the data-file loader's checked
// accessors, so no index can reach outside the file's block.
struct files_data;

uint32_t xtx_tile_count(const files_data* d);
uint32_t xtx_key_count(const files_data* d);
// Tile i (0-based) copied out; false when i is not below the tile count.
bool xtx_get_tile(const files_data* d, uint32_t i, xtx_tile* out);
// The tile that key position `index` names; false for key 0 (no tile), an index past the
// keys, or a key past the tiles.
bool xtx_key_tile(const files_data* d, uint32_t index, xtx_tile* out);
// True when every key is 0 or names an existing tile.
bool xtx_keys_valid(const files_data* d);
