// XTX tile-file writer.

#include "tools/writer/wr_xtx.h"

#include "tools/writer/wr_data.h"

void wr_xtx_body(wr_buf* out, const xtx_tile* tiles, uint32_t tile_count,
                 const uint16_t* keys, uint32_t key_count)
{
    xtx_info info = xtx_make_info(tile_count, key_count);
    wr_buf_u32(out, info.tile_count);
    wr_buf_u32(out, info.key_count);
    wr_buf_u32(out, info.zero);
    wr_buf_u32(out, info.reserved);
    wr_buf_u32(out, info.tiles_offset);
    wr_buf_u32(out, info.keys_offset);
    wr_buf_u32(out, info.end_offset);
    for (uint32_t i = 0; i < tile_count; ++i) {
        const xtx_tile* t = &tiles[i];
        wr_buf_u16(out, t->x);
        wr_buf_u16(out, t->y);
        wr_buf_u16(out, t->w);
        wr_buf_u16(out, t->h);
        wr_buf_u16(out, t->offset_x);
        wr_buf_u16(out, t->offset_y);
    }
    for (uint32_t i = 0; i < key_count; ++i)
        wr_buf_u16(out, keys[i]);
}

void wr_xtx_file(wr_buf* out, const xtx_tile* tiles, uint32_t tile_count,
                 const uint16_t* keys, uint32_t key_count)
{
    wr_buf body;
    wr_xtx_body(&body, tiles, tile_count, keys, key_count);
    wr_data_file(out, WR_MAGIC_XTX, &body);
}

bool wr_xtx_save(const char* path, const xtx_tile* tiles, uint32_t tile_count,
                 const uint16_t* keys, uint32_t key_count)
{
    wr_buf file;
    wr_xtx_file(&file, tiles, tile_count, keys, key_count);
    return wr_buf_save(&file, path);
}
