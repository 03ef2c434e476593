// XTX tile-file writer: tile rectangles and a key table, in the layout engine/code/gfx/xtx.h
// describes, behind the common data-file header.
#pragma once

#include <cstdint>

#include "engine/code/gfx/xtx.h"
#include "tools/writer/wr_buf.h"

// The body alone: 28-byte info (reserved word 0), the tiles, then the keys.
void wr_xtx_body(wr_buf* out, const xtx_tile* tiles, uint32_t tile_count,
                 const uint16_t* keys, uint32_t key_count);
// Header and body: 40 + 12 x tiles + 2 x keys bytes.
void wr_xtx_file(wr_buf* out, const xtx_tile* tiles, uint32_t tile_count,
                 const uint16_t* keys, uint32_t key_count);
bool wr_xtx_save(const char* path, const xtx_tile* tiles, uint32_t tile_count,
                 const uint16_t* keys, uint32_t key_count);
