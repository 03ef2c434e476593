// The buffer manager D3D_BUFFERS: hands out the records that own device resources (dynamic
// and static vertex buffers, 16-bit index buffers, textures), keeps each kind in a live list
// so a device reset can release and remake them all, and owns the one dynamic buffer that
// every 2D draw goes through.
#pragma once

#include <cstdint>

#include "engine/code/pool.h"
#include "platform/d3d8.h"

struct d3d_gfx;
struct gfx_bmps;

// The vertex of all screen-space drawing: pixels, z 0..1, rhw, ARGB colour, texture u, v.
#define D3DFVF_2D (D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1)
struct d3d_vertex_2d {
    float x, y, z, rhw;
    uint32_t diffuse;
    float u, v;
};

// A dynamic vertex buffer: filled by appending within a frame, discarded when full and at
// the first lock after a rewind.
struct d3d_dynavtx {
    list_node link;
    d3d_gfx* gfx;
    uint32_t fvf;
    uint32_t stride;
    uint32_t capacity;     // vertices: 65536 / stride
    uint32_t size;         // bytes: capacity * stride
    uint32_t used;         // vertices written since the last discard or rewind
    uint32_t locked_count; // vertices in the open lock
    BYTE* locked;
    IDirect3DVertexBuffer8* buffer;
};

struct d3d_vtx {
    list_node link;
    d3d_gfx* gfx;
    uint32_t fvf;
    uint32_t stride;
    uint32_t count;
    uint32_t size;
    BYTE* locked;
    IDirect3DVertexBuffer8* buffer;
    uint32_t needs_refill; // 1 whenever the buffer is made anew; the owner refills and clears it
};

struct d3d_idx {
    list_node link;
    d3d_gfx* gfx;
    uint32_t count;
    uint32_t size;
    BYTE* locked;
    IDirect3DIndexBuffer8* buffer;
    uint32_t needs_refill;
};

// A texture made from a file, from a bitmap (which must outlive it: every restore copies
// from it again) or empty of a size.
struct d3d_txt {
    list_node link;
    d3d_gfx* gfx;
    uint32_t kind;           // the caller's tag
    int32_t request_width;   // used only without file and bitmap
    int32_t request_height;
    uint32_t levels;         // 0 asks for a full chain
    gfx_bmps* bitmap;
    char file[256];          // empty for none
    int32_t width, height;   // the real size
    float inv_width, inv_height;
    uint32_t format;         // always D3DFMT_A8R8G8B8
    BYTE* locked;
    int32_t pitch;
    IDirect3DTexture8* texture;
};

struct d3d_buffers {
    d3d_gfx* gfx;
    pool dynavtxs;   // live records in pool.live, in allocation order
    int32_t dynavtx_count;
    pool vtxs;
    int32_t vtx_count;
    pool idxs;
    int32_t idx_count;
    pool txts;
    int32_t txt_count;
    d3d_dynavtx* buffer_2d; // between a restore and the next lose
};

extern d3d_buffers D3D_BUFFERS;

bool d3d_buffers_setup(d3d_buffers* m, d3d_gfx* g); // always true; makes no device object
void d3d_buffers_clean(d3d_buffers* m);              // frees every record, the 2D buffer included
bool d3d_buffers_reset(d3d_buffers* m);
bool d3d_buffers_restore(d3d_buffers* m);            // remakes every record's object, then the 2D buffer
void d3d_buffers_lose(d3d_buffers* m);               // frees the 2D buffer, releases every object
bool d3d_buffers_relose(d3d_buffers* m);
void d3d_buffers_rewind(d3d_buffers* m);             // after every Present

d3d_dynavtx* d3d_buffers_alloc_dynavtx(d3d_buffers* m, uint32_t fvf, uint32_t stride);
d3d_vtx* d3d_buffers_alloc_vtx(d3d_buffers* m, uint32_t fvf, uint32_t stride, uint32_t count);
d3d_idx* d3d_buffers_alloc_idx(d3d_buffers* m, uint32_t count);
// From the file when a name is given, else an empty texture of width x height.
d3d_txt* d3d_buffers_alloc_txt(d3d_buffers* m, uint32_t kind, int32_t width, int32_t height, uint32_t levels,
                               const char* file);
d3d_txt* d3d_buffers_alloc_txt_bitmap(d3d_buffers* m, gfx_bmps* bitmap, uint32_t levels);
void d3d_buffers_free_dynavtx(d3d_buffers* m, d3d_dynavtx* d); // null does nothing
void d3d_buffers_free_vtx(d3d_buffers* m, d3d_vtx* v);
void d3d_buffers_free_idx(d3d_buffers* m, d3d_idx* i);
void d3d_buffers_free_txt(d3d_buffers* m, d3d_txt* t);

// Draws n 2D vertices through the 2D buffer; false when nothing was drawn.
bool d3d_buffers_draw2d(d3d_buffers* m, const d3d_vertex_2d* vertices, uint32_t n, D3DPRIMITIVETYPE type,
                        uint32_t primitives);

// Records. setup stores its parameters then creates; reset is clean then setup with the
// stored values; clean = release; create makes the device object; recreate = release then
// create; release drops the object; set binds it to the device.
bool d3d_dynavtx_setup(d3d_dynavtx* d, d3d_gfx* g, uint32_t fvf, uint32_t stride);
bool d3d_dynavtx_reset(d3d_dynavtx* d);
void d3d_dynavtx_clean(d3d_dynavtx* d);
bool d3d_dynavtx_create(d3d_dynavtx* d);
bool d3d_dynavtx_recreate(d3d_dynavtx* d);
void d3d_dynavtx_release(d3d_dynavtx* d);
// Room for n vertices after those drawn this frame (starting at vertex `used`), or null.
BYTE* d3d_dynavtx_lock(d3d_dynavtx* d, uint32_t n);
void d3d_dynavtx_unlock(d3d_dynavtx* d);
void d3d_dynavtx_rewind(d3d_dynavtx* d);

bool d3d_vtx_setup(d3d_vtx* v, d3d_gfx* g, uint32_t fvf, uint32_t stride, uint32_t count);
bool d3d_vtx_reset(d3d_vtx* v);
void d3d_vtx_clean(d3d_vtx* v);
bool d3d_vtx_create(d3d_vtx* v);
bool d3d_vtx_recreate(d3d_vtx* v);
void d3d_vtx_release(d3d_vtx* v);
BYTE* d3d_vtx_lock(d3d_vtx* v);  // null without a buffer or while the device is flagged for a reset
void d3d_vtx_unlock(d3d_vtx* v);
bool d3d_vtx_set(d3d_vtx* v);

bool d3d_idx_setup(d3d_idx* i, d3d_gfx* g, uint32_t count);
bool d3d_idx_reset(d3d_idx* i);
void d3d_idx_clean(d3d_idx* i);
bool d3d_idx_create(d3d_idx* i);
bool d3d_idx_recreate(d3d_idx* i);
void d3d_idx_release(d3d_idx* i);
uint16_t* d3d_idx_lock(d3d_idx* i); // null without a buffer
void d3d_idx_unlock(d3d_idx* i);
bool d3d_idx_set(d3d_idx* i);

bool d3d_txt_setup(d3d_txt* t, d3d_gfx* g, uint32_t kind, int32_t width, int32_t height, uint32_t levels,
                   const char* file);
bool d3d_txt_setup_bitmap(d3d_txt* t, d3d_gfx* g, gfx_bmps* bitmap, uint32_t levels);
bool d3d_txt_reset(d3d_txt* t);
void d3d_txt_clean(d3d_txt* t);
bool d3d_txt_create(d3d_txt* t);
bool d3d_txt_recreate(d3d_txt* t);
void d3d_txt_release(d3d_txt* t);
BYTE* d3d_txt_lock(d3d_txt* t);     // level 0; pitch in t->pitch
void d3d_txt_unlock(d3d_txt* t);
bool d3d_txt_set(d3d_txt* t, uint32_t stage);
