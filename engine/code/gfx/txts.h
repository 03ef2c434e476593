// Textures GFX.TXTs: the graphics root's pool of textures that game code and scripts hold,
// each wrapping one texture of the buffer manager, made from an image file (or an empty
// size) or from a bitmap; and the Lua library `txts` through which scripts make them.
#pragma once

#include <cstdint>

#include "engine/code/lua_compat.h"
#include "engine/code/pool.h"

struct d3d_txt;
struct gfx;
struct gfx_bmps;
struct txts_pool;

struct gfx_txts {
    list_node link;      // the pool's live list
    txts_pool* owner;
    void** holder;       // the outside word that refers to this record (nulled when it is freed), or null
    d3d_txt* texture;    // null after clean
};

struct txts_pool {
    gfx* root;
    pool records;        // gfx_txts, 64 a chunk; its live list holds every texture handed out
};

bool txts_setup(txts_pool* p, gfx* root);  // always true
bool txts_reset(txts_pool* p);
void txts_clean(txts_pool* p);             // frees every texture; safe after a failed setup and twice
// A texture from the file when one is named, else an empty one of w x h (kind: the caller's
// tag; levels 0 for a full mip chain). Null, logged, on failure.
gfx_txts* txts_alloc(txts_pool* p, uint32_t kind, int32_t w, int32_t h, uint32_t levels, const char* file);
// A texture with the bitmap's pixels; the bitmap must outlive it (a device reset copies again).
gfx_txts* txts_alloc_bitmap(txts_pool* p, gfx_bmps* bitmap, uint32_t levels);
void txts_free(txts_pool* p, gfx_txts* t);  // null ignored

bool gfx_txts_setup(gfx_txts* t, uint32_t kind, int32_t w, int32_t h, uint32_t levels, const char* file);
bool gfx_txts_setup_bitmap(gfx_txts* t, gfx_bmps* bitmap, uint32_t levels);
void gfx_txts_clean(gfx_txts* t);
void gfx_txts_free(gfx_txts* t);
bool gfx_txts_set(gfx_txts* t, uint32_t stage);  // binds it to the texture stage

// Protected body (run through safelua_cpcall, its userdata the graphics root; null means GFX):
// the type gfx_txts*ptr and the global `txts` with `alloc`.
int txts_lua_setup(lua_State* L);
void txts_lua_clean(lua_State* L);  // global txts := nil
