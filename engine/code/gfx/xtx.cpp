// XTX tile files: the one check of a loaded body, after which tiles and keys are read
// through the view without further bounds tests than the key's own index.

#include "engine/code/gfx/xtx.h"

#include <cstring>

// Whether [offset, offset + count * size) lies inside a body of body_size bytes, in 64 bits
// so that huge counts cannot wrap.
static bool span_fits(uint32_t offset, uint32_t count, uint32_t size, uint32_t body_size)
{
    return (uint64_t)offset + (uint64_t)count * size <= body_size;
}

bool xtx_view_setup(xtx_view* view, const void* body, uint32_t body_size)
{
    memset(view, 0, sizeof(*view));
    if (body_size == 0)
        return true;
    if (!body || body_size < XTX_INFO_SIZE)
        return false;
    xtx_info info;
    memcpy(&info, body, sizeof(info));
    if (!span_fits(info.tiles_offset, info.tile_count, XTX_TILE_SIZE, body_size)
        || !span_fits(info.keys_offset, info.key_count, 2, body_size))
        return false;
    // Tiles and keys are read in place: they need their natural 2-byte alignment.
    if ((info.tiles_offset | info.keys_offset) & 1)
        return false;
    const uint8_t* base = (const uint8_t*)body;
    const uint16_t* keys = (const uint16_t*)(base + info.keys_offset);
    for (uint32_t i = 0; i < info.key_count; ++i)
        if (keys[i] > info.tile_count)
            return false;
    view->tile_count = info.tile_count;
    view->key_count = info.key_count;
    view->tiles = info.tile_count ? (const xtx_tile*)(base + info.tiles_offset) : nullptr;
    view->keys = info.key_count ? keys : nullptr;
    return true;
}

const xtx_tile* xtx_view_tile(const xtx_view* view, uint32_t index)
{
    if (index >= view->key_count)
        return nullptr;
    uint16_t key = view->keys[index];
    if (key == 0 || key > view->tile_count)
        return nullptr;
    return &view->tiles[key - 1];
}
