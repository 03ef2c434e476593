// XTX tile files: tiles and keys read through the loader's accessors.

#include "engine/code/gfx/xtx.h"

#include "engine/code/files.h"

uint32_t xtx_tile_count(const files_data* d) { return files_word(d, FILES_XTX_TILE_COUNT); }

uint32_t xtx_key_count(const files_data* d) { return files_word(d, FILES_XTX_KEY_COUNT); }

bool xtx_get_tile(const files_data* d, uint32_t i, xtx_tile* out)
{
    const uint8_t* rec = files_xtx_tile(d, i);
    if (!rec)
        return false;
    out->x = files_u16(rec, 0);
    out->y = files_u16(rec, 2);
    out->w = files_u16(rec, 4);
    out->h = files_u16(rec, 6);
    out->offset_x = files_u16(rec, 8);
    out->offset_y = files_u16(rec, 10);
    return true;
}

bool xtx_key_tile(const files_data* d, uint32_t index, xtx_tile* out)
{
    uint16_t key = files_xtx_key(d, index);
    return key != 0 && xtx_get_tile(d, key - 1u, out);
}

bool xtx_keys_valid(const files_data* d)
{
    uint32_t tiles = xtx_tile_count(d), keys = xtx_key_count(d);
    for (uint32_t i = 0; i < keys; ++i)
        if (files_xtx_key(d, i) > tiles)
            return false;
    return true;
}
