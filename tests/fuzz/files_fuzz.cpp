// Fuzz target for the data-file loader: a whole file image goes through the validation that
// files_load runs; an accepted image is then read through every resolver, which must stay
// inside the block (the address sanitizer checks every byte read).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/code/files.h"

static volatile uint32_t sink;

static void touch(const uint8_t* p, uint64_t bytes)
{
    if (!p)
        return;
    uint32_t sum = 0;
    for (uint64_t i = 0; i < bytes; i++)
        sum += p[i];
    sink = sink + sum;
}

static void walk_xox(const files_data* d)
{
    uint32_t mats = files_word(d, FILES_XOX_MATERIAL_COUNT), morphs = files_word(d, FILES_XOX_MORPH_COUNT);
    uint32_t verts = files_word(d, FILES_XOX_VERTEX_COUNT), idxs = files_word(d, FILES_XOX_INDEX_COUNT);
    for (uint32_t i = 0; i < mats; i++) {
        const uint8_t* m = files_xox_material(d, i);
        touch(m, FILES_XOX_MATERIAL_SIZE);
        touch(files_xox_strips(d, m), 2ull * (m ? files_u32(m, FILES_XOX_MAT_STRIP_COUNT) : 0));
    }
    for (uint32_t i = 0; i < morphs; i++) {
        const uint8_t* m = files_xox_morph(d, i);
        touch(m, FILES_XOX_MORPH_SIZE);
        touch(files_xox_deltas(d, m), (uint64_t)FILES_XOX_DELTA_SIZE * (m ? files_u32(m, FILES_XOX_MORPH_VERTICES) : 0));
    }
    for (uint32_t i = 0; i < verts; i++)
        touch(files_xox_vertex(d, i), FILES_XOX_VERTEX_SIZE);
    touch(files_xox_indices(d), 2ull * idxs);
}

static void walk_xsx(const files_data* d)
{
    uint32_t bones = files_word(d, FILES_XSX_BONE_COUNT), tracks = files_word(d, FILES_XSX_TRACK_COUNT);
    for (uint32_t i = 0; i < bones; i++) {
        const uint8_t* b = files_xsx_bone(d, i);
        touch(b, FILES_XSX_BONE_SIZE);
        // Every parent chain ends at a root within the bone count.
        int32_t p = files_xsx_parent(d, b);
        for (uint32_t steps = 0; p >= 0; steps++) {
            if (steps > bones)
                abort();
            p = files_xsx_parent(d, files_xsx_bone(d, (uint32_t)p));
        }
        sink = sink + (uint32_t)files_xsx_first_track(d, b);
    }
    for (uint32_t i = 0; i < tracks; i++) {
        const uint8_t* t = files_xsx_track(d, i);
        touch(t, FILES_XSX_TRACK_SIZE);
        touch(files_xsx_keys(d, t), (uint64_t)FILES_XSX_KEY_SIZE * (t ? files_u32(t, FILES_XSX_TRACK_KEY_COUNT) : 0));
    }
}

static void walk_xtx(const files_data* d)
{
    uint32_t tiles = files_word(d, FILES_XTX_TILE_COUNT), keys = files_word(d, FILES_XTX_KEY_COUNT);
    for (uint32_t i = 0; i < tiles; i++)
        touch(files_xtx_tile(d, i), FILES_XTX_TILE_SIZE);
    for (uint32_t i = 0; i < keys; i++)
        sink = sink + files_xtx_key(d, i);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    // An exact-size copy, so a read one byte beyond the file is caught.
    uint8_t* block = (uint8_t*)malloc(size ? size : 1);
    if (size)
        memcpy(block, data, size);
    if (files_validate(block, (uint32_t)size)) {
        files_data d;
        memset(&d, 0, sizeof(d));
        memcpy(&d.header, block, FILES_HEADER_SIZE);
        d.data = block;
        d.payload = block + FILES_HEADER_SIZE;
        d.payload_size = (uint32_t)size - FILES_HEADER_SIZE;
        d.refs = 1;
        if (d.header.magic == FILES_MAGIC_XOX)
            walk_xox(&d);
        else if (d.header.magic == FILES_MAGIC_XSX)
            walk_xsx(&d);
        else
            walk_xtx(&d);
    }
    free(block);
    return 0;
}
