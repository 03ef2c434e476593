// Cut maps GFX.CMPs: pictures composed of rectangles cut out of source images. A cut-map
// document (XML) names, per layer, its source images under "data/cuts/" and the cuts; loading
// it builds one BGRA bitmap per layer (opaque white, then every cut copied in) and turns each
// into a texture. The Lua library `cmps` lets scripts load cut maps and hand them to native code.
//
// The document:
//     <cutmap version="1" w="64" h="32" d="1">         w, h, d: layer size and expected layers
//       <layer>
//         <source name="stones.png">                  an image in data/cuts/ (pairs joined)
//           <c>0 16 16 0 0 8 8</c>                    source index, w, h, source x, y, destination x, y
//         </source>
//       </layer>
//     </cutmap>
// Names ignore case; anything else, a version other than 1, a second cutmap element, a c
// element without exactly seven numbers or malformed XML is a parse error. A source whose
// image cannot be loaded contributes nothing.
#pragma once

#include <cstdint>

#include "engine/code/gfx/bmps.h"
#include "engine/code/lua_compat.h"
#include "engine/code/pool.h"

struct cmps_pool;
struct cmps_layer;
struct gfx;
struct gfx_cmps;
struct gfx_txts;

struct cmps_cut {
    cmps_layer* layer;   // owning layer; null = none (then never drawn)
    float w, h;
    float source_x, source_y;
    float dest_x, dest_y;
    uint16_t source;     // position of the source in its layer's source list
};

struct cmps_source {
    cmps_layer* layer;
    char path[256];      // "data/cuts/" + the document's name
    gfx_bmps* bitmap;    // shared by path in GFX.BMPs, not owned; null when it could not be loaded
};

struct cmps_layer {
    gfx_cmps* owner;
    gfx_bmps* bitmap;    // built, owned (null until built)
    gfx_txts* texture;   // built, owned; nulled should the texture pool free it first
    grow_array cuts;     // cmps_cut, granule 64
    grow_array sources;  // cmps_source, granule 8
};

struct gfx_cmps {
    list_node link;      // the pool's live list
    cmps_pool* owner;
    int32_t w, h, d;     // layer size in pixels, expected layers
    grow_array layers;   // cmps_layer, granule 1
    void** holder;       // the outside word that refers to this record (nulled when it is freed), or null
};

struct cmps_pool {
    gfx* root;
    pool records;        // gfx_cmps, 64 a chunk; its live list holds every cut map handed out
};

bool cmps_setup(cmps_pool* p, gfx* root);  // always true
bool cmps_reset(cmps_pool* p);
void cmps_clean(cmps_pool* p);             // frees every cut map; safe after a failed setup and twice
// A cut map loaded from the document file (a missing file gives one with no layers), or an
// empty one of w x h x d without a file name. Null, logged, on failure.
gfx_cmps* cmps_alloc(cmps_pool* p, int32_t w, int32_t h, int32_t d, const char* file);
void cmps_free(cmps_pool* p, gfx_cmps* c);  // null ignored

bool gfx_cmps_setup(gfx_cmps* c, int32_t w, int32_t h, int32_t d, const char* file);
bool gfx_cmps_setup_empty(gfx_cmps* c, int32_t w, int32_t h, int32_t d);
void gfx_cmps_clean(gfx_cmps* c);
void gfx_cmps_free(gfx_cmps* c);
// Reads the document into c. False (logged with the line) on a parse error; the layers read
// so far stay until c is freed.
bool cutmap_load(gfx_cmps* c, const char* file);

// The layer at index i, or null.
cmps_layer* gfx_cmps_layer(gfx_cmps* c, int32_t i);

void cmps_layer_setup(cmps_layer* l, gfx_cmps* owner);
void cmps_layer_clean(cmps_layer* l);  // texture, bitmap, then the arrays; source bitmaps stay shared
// The layer's bitmap (made at the cut map's size when missing): white, then every cut of each
// source in turn, the later over the earlier. clip may be null.
bool cmps_layer_build(cmps_layer* l, const bmps_clip* clip);
bool cmps_layer_build_texture(cmps_layer* l);  // one mip level; true at once when there is one
void cmps_layer_free_bitmap(cmps_layer* l);
void cmps_layer_free_texture(cmps_layer* l);

void cmps_source_setup(cmps_source* s, cmps_layer* l);
bool cmps_source_load(cmps_source* s, const char* name);  // true when the image was found
void cmps_cut_setup(cmps_cut* cut, cmps_layer* l);

// Protected body (run through safelua_cpcall, its userdata the graphics root; null means GFX):
// the type gfx_cmps*ptr and the global `cmps` with `alloc`.
int cmps_lua_setup(lua_State* L);
void cmps_lua_clean(lua_State* L);  // global cmps := nil
