// The buffer manager and its four record families. Records stay live across a device reset;
// only their device objects are released at a lose and made again at a restore.

#include "engine/code/gfx/d3d_buffers.h"

#include <cstring>

#include "engine/code/dbg.h"
#include "engine/code/gfx/bmps.h"
#include "engine/code/gfx/d3d_gfx.h"
#include "engine/code/gfx/d3d_state.h"

d3d_buffers D3D_BUFFERS;

static const uint32_t BUFFER_USAGE = D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC;
static const uint32_t DYNAMIC_BYTES = 65536;

// ---------------------------------------------------------------------------------------
// Dynamic vertex buffers
// ---------------------------------------------------------------------------------------

bool d3d_dynavtx_setup(d3d_dynavtx* d, d3d_gfx* g, uint32_t fvf, uint32_t stride)
{
    d->gfx = g;
    d->fvf = fvf;
    d->stride = stride;
    d->capacity = stride ? DYNAMIC_BYTES / stride : 0;
    d->size = d->capacity * stride;
    if (!stride)
        return false;
    return d3d_dynavtx_create(d);
}

bool d3d_dynavtx_reset(d3d_dynavtx* d)
{
    d3d_dynavtx_clean(d);
    return d3d_dynavtx_setup(d, d->gfx, d->fvf, d->stride);
}

void d3d_dynavtx_clean(d3d_dynavtx* d) { d3d_dynavtx_release(d); }

bool d3d_dynavtx_create(d3d_dynavtx* d)
{
    IDirect3DDevice8* dev = d->gfx->device;
    if (!dev || !D3DCHECK(dev->lpVtbl->CreateVertexBuffer(dev, d->size, BUFFER_USAGE, d->fvf, D3DPOOL_DEFAULT,
                                                          &d->buffer))) {
        dbg_error("Failed to allocate dynamic vertex buffer,\n");
        d3d_dynavtx_release(d);
        return false;
    }
    d->used = 0;
    d->locked_count = 0;
    d->locked = nullptr;
    return true;
}

bool d3d_dynavtx_recreate(d3d_dynavtx* d)
{
    d3d_dynavtx_release(d);
    return d3d_dynavtx_create(d);
}

void d3d_dynavtx_release(d3d_dynavtx* d)
{
    if (d->buffer) {
        d->buffer->lpVtbl->Release(d->buffer);
        d->buffer = nullptr;
    }
    d->locked = nullptr;
    d->locked_count = 0;
}

BYTE* d3d_dynavtx_lock(d3d_dynavtx* d, uint32_t n)
{
    // Refused before the device sees it, so an oversized request flags no reset.
    if (!d->buffer || n == 0 || n > d->capacity || d->locked)
        return nullptr;
    DWORD flags = D3DLOCK_NOOVERWRITE;
    if (!(d->used > 0 && d->used + n <= d->capacity)) {
        d->used = 0;
        flags = D3DLOCK_DISCARD;
    }
    BYTE* p = nullptr;
    HRESULT hr = d->buffer->lpVtbl->Lock(d->buffer, d->used * d->stride, n * d->stride, &p, flags);
    if (!D3DCHECK(hr) || hr != D3D_OK || !p) // any result but D3D_OK gives null
        return nullptr;
    d->locked_count = n;
    d->locked = p;
    return p;
}

void d3d_dynavtx_unlock(d3d_dynavtx* d)
{
    if (!d->locked)
        return;
    d->used += d->locked_count;
    D3DCHECK(d->buffer->lpVtbl->Unlock(d->buffer));
    d->locked_count = 0;
    d->locked = nullptr;
}

void d3d_dynavtx_rewind(d3d_dynavtx* d)
{
    d->used = 0;
    d->locked_count = 0;
    d->locked = nullptr;
}

// ---------------------------------------------------------------------------------------
// Static vertex buffers
// ---------------------------------------------------------------------------------------

bool d3d_vtx_setup(d3d_vtx* v, d3d_gfx* g, uint32_t fvf, uint32_t stride, uint32_t count)
{
    v->gfx = g;
    v->fvf = fvf;
    v->stride = stride;
    v->count = count;
    v->size = stride * count;
    return d3d_vtx_create(v);
}

bool d3d_vtx_reset(d3d_vtx* v)
{
    d3d_vtx_clean(v);
    return d3d_vtx_setup(v, v->gfx, v->fvf, v->stride, v->count);
}

void d3d_vtx_clean(d3d_vtx* v) { d3d_vtx_release(v); }

bool d3d_vtx_create(d3d_vtx* v)
{
    IDirect3DDevice8* dev = v->gfx->device;
    if (!dev || !D3DCHECK(dev->lpVtbl->CreateVertexBuffer(dev, v->size, BUFFER_USAGE, v->fvf, D3DPOOL_DEFAULT,
                                                          &v->buffer))) {
        dbg_error("Failed to allocate vertex buffer,\n");
        d3d_vtx_release(v);
        return false;
    }
    v->locked = nullptr;
    v->needs_refill = 1;
    return true;
}

bool d3d_vtx_recreate(d3d_vtx* v)
{
    d3d_vtx_release(v);
    return d3d_vtx_create(v);
}

void d3d_vtx_release(d3d_vtx* v)
{
    if (v->buffer) {
        v->buffer->lpVtbl->Release(v->buffer);
        v->buffer = nullptr;
    }
    v->locked = nullptr;
}

BYTE* d3d_vtx_lock(d3d_vtx* v)
{
    if (!v->buffer || v->gfx->reset_flag)
        return nullptr;
    BYTE* p = nullptr;
    HRESULT hr = v->buffer->lpVtbl->Lock(v->buffer, 0, v->count * v->stride, &p, D3DLOCK_DISCARD);
    if (!D3DCHECK(hr) || hr != D3D_OK)
        return nullptr;
    v->locked = p;
    return p;
}

void d3d_vtx_unlock(d3d_vtx* v)
{
    if (!v->locked)
        return;
    D3DCHECK(v->buffer->lpVtbl->Unlock(v->buffer));
    v->locked = nullptr;
}

bool d3d_vtx_set(d3d_vtx* v)
{
    IDirect3DDevice8* dev = v->gfx->device;
    D3DCHECK(dev->lpVtbl->SetStreamSource(dev, 0, v->buffer, v->stride));
    return D3DCHECK(dev->lpVtbl->SetVertexShader(dev, v->fvf));
}

// ---------------------------------------------------------------------------------------
// Index buffers
// ---------------------------------------------------------------------------------------

bool d3d_idx_setup(d3d_idx* i, d3d_gfx* g, uint32_t count)
{
    i->gfx = g;
    i->count = count;
    i->size = count * 2;
    return d3d_idx_create(i);
}

bool d3d_idx_reset(d3d_idx* i)
{
    d3d_idx_clean(i);
    return d3d_idx_setup(i, i->gfx, i->count);
}

void d3d_idx_clean(d3d_idx* i) { d3d_idx_release(i); }

bool d3d_idx_create(d3d_idx* i)
{
    IDirect3DDevice8* dev = i->gfx->device;
    if (!dev || !D3DCHECK(dev->lpVtbl->CreateIndexBuffer(dev, i->size, BUFFER_USAGE, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                                         &i->buffer))) {
        dbg_error("Failed to allocate index buffer,\n");
        d3d_idx_release(i);
        return false;
    }
    i->locked = nullptr;
    i->needs_refill = 1;
    return true;
}

bool d3d_idx_recreate(d3d_idx* i)
{
    d3d_idx_release(i);
    return d3d_idx_create(i);
}

void d3d_idx_release(d3d_idx* i)
{
    if (i->buffer) {
        i->buffer->lpVtbl->Release(i->buffer);
        i->buffer = nullptr;
    }
    i->locked = nullptr;
}

uint16_t* d3d_idx_lock(d3d_idx* i)
{
    if (!i->buffer)
        return nullptr;
    BYTE* p = nullptr;
    HRESULT hr = i->buffer->lpVtbl->Lock(i->buffer, 0, i->count * 2, &p, D3DLOCK_DISCARD);
    if (!D3DCHECK(hr) || hr != D3D_OK)
        return nullptr;
    i->locked = p;
    return (uint16_t*)p;
}

void d3d_idx_unlock(d3d_idx* i)
{
    if (!i->locked)
        return;
    D3DCHECK(i->buffer->lpVtbl->Unlock(i->buffer));
    i->locked = nullptr;
}

bool d3d_idx_set(d3d_idx* i)
{
    IDirect3DDevice8* dev = i->gfx->device;
    return D3DCHECK(dev->lpVtbl->SetIndices(dev, i->buffer, 0));
}

// ---------------------------------------------------------------------------------------
// Textures
// ---------------------------------------------------------------------------------------

bool d3d_txt_setup(d3d_txt* t, d3d_gfx* g, uint32_t kind, int32_t width, int32_t height, uint32_t levels,
                   const char* file)
{
    t->gfx = g;
    t->kind = kind;
    t->request_width = width;
    t->request_height = height;
    t->levels = levels;
    t->bitmap = nullptr;
    t->file[0] = 0;
    if (file) {
        strncpy(t->file, file, sizeof(t->file) - 1);
        t->file[sizeof(t->file) - 1] = 0;
    }
    return d3d_txt_create(t);
}

bool d3d_txt_setup_bitmap(d3d_txt* t, d3d_gfx* g, gfx_bmps* bitmap, uint32_t levels)
{
    t->gfx = g;
    t->kind = 0;
    t->request_width = 0;
    t->request_height = 0;
    t->levels = levels;
    t->bitmap = bitmap;
    t->file[0] = 0;
    return d3d_txt_create(t);
}

bool d3d_txt_reset(d3d_txt* t)
{
    d3d_txt_clean(t);
    if (t->bitmap)
        return d3d_txt_setup_bitmap(t, t->gfx, t->bitmap, t->levels);
    char file[sizeof(t->file)];
    memcpy(file, t->file, sizeof(file));
    return d3d_txt_setup(t, t->gfx, t->kind, t->request_width, t->request_height, t->levels, file[0] ? file : nullptr);
}

void d3d_txt_clean(d3d_txt* t) { d3d_txt_release(t); }

// Copies a source image into level 0 row by row, honouring the lock's pitch. Sources that
// are not 32-bit BGRA (luminance files and bitmaps) are expanded pixel by pixel: grey g
// becomes B = G = R = g with alpha 255, so the copy never reads past a 1-byte-a-pixel image.
static void copy_pixels(d3d_txt* t, const bmip* src)
{
    int32_t bpp = src->format == 5 ? 4 : 1;
    int32_t row_bytes = src->row > 0 ? src->row : src->w * bpp;
    for (int32_t y = 0; y < t->height; y++) {
        const uint8_t* in = src->data + (size_t)y * row_bytes;
        uint8_t* out = t->locked + (size_t)y * t->pitch;
        if (bpp == 4)
            memcpy(out, in, (size_t)t->width * 4);
        else
            for (int32_t x = 0; x < t->width; x++) {
                uint8_t g = in[x];
                out[x * 4 + 0] = g;
                out[x * 4 + 1] = g;
                out[x * 4 + 2] = g;
                out[x * 4 + 3] = 255;
            }
    }
}

// Set by the last d3d_txt_create that failed because its file could not be read.
static bool txt_file_missing;

bool d3d_txt_create(d3d_txt* t)
{
    IDirect3DDevice8* dev = t->gfx->device;
    txt_file_missing = false;
    bmip loaded = {};
    const bmip* source = nullptr;
    uint32_t image = 0;
    if (t->bitmap) {
        source = &t->bitmap->info;
        t->width = source->w;
        t->height = source->h;
    } else if (t->file[0]) {
        image = bmps_load_image(t->file, 0, &loaded);
        if (!image || !loaded.data) {
            dbg_error("Failed to Load Texture\n");
            txt_file_missing = true;
            if (image)
                bmps_delete_image(image);
            return false;
        }
        source = &loaded;
        t->width = loaded.w;
        t->height = loaded.h;
    } else {
        t->width = t->request_width;
        t->height = t->request_height;
    }
    t->format = D3DFMT_A8R8G8B8;
    t->inv_width = t->width ? 1.0f / (float)t->width : 0.0f;
    t->inv_height = t->height ? 1.0f / (float)t->height : 0.0f;
    bool ok = dev && t->width > 0 && t->height > 0 &&
              D3DCHECK(dev->lpVtbl->CreateTexture(dev, (UINT)t->width, (UINT)t->height, t->levels, 0,
                                                  D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t->texture));
    if (!ok)
        dbg_error("Failed to DX9 : CreateTexture\n");
    else if (!d3d_txt_lock(t)) {
        dbg_error("Failed to Lock Texture\n");
        ok = false;
    } else {
        if (source && source->data && (source->format == 5 || source->format == 6 || source->format == 7))
            copy_pixels(t, source);
        d3d_txt_unlock(t);
    }
    if (image)
        bmps_delete_image(image);
    if (!ok)
        d3d_txt_release(t);
    return ok;
}

bool d3d_txt_recreate(d3d_txt* t)
{
    d3d_txt_release(t);
    return d3d_txt_create(t);
}

void d3d_txt_release(d3d_txt* t)
{
    if (t->texture) {
        t->texture->lpVtbl->Release(t->texture);
        t->texture = nullptr;
    }
    t->locked = nullptr;
}

BYTE* d3d_txt_lock(d3d_txt* t)
{
    if (!t->texture)
        return nullptr;
    D3DLOCKED_RECT lr = {};
    if (!D3DCHECK(t->texture->lpVtbl->LockRect(t->texture, 0, &lr, nullptr, 0)))
        return nullptr;
    t->pitch = lr.Pitch;
    t->locked = (BYTE*)lr.pBits;
    return t->locked;
}

void d3d_txt_unlock(d3d_txt* t)
{
    if (!t->locked)
        return;
    D3DCHECK(t->texture->lpVtbl->UnlockRect(t->texture, 0));
    t->locked = nullptr;
}

bool d3d_txt_set(d3d_txt* t, uint32_t stage)
{
    return d3d_state_set_texture(stage, t->gfx->device, t->texture);
}

// ---------------------------------------------------------------------------------------
// The manager
// ---------------------------------------------------------------------------------------

bool d3d_buffers_setup(d3d_buffers* m, d3d_gfx* g)
{
    m->gfx = g;
    pool_setup(&m->dynavtxs, sizeof(d3d_dynavtx), 8);
    m->dynavtx_count = 0;
    pool_setup(&m->vtxs, sizeof(d3d_vtx), 32);
    m->vtx_count = 0;
    pool_setup(&m->idxs, sizeof(d3d_idx), 32);
    m->idx_count = 0;
    pool_setup(&m->txts, sizeof(d3d_txt), 32);
    m->txt_count = 0;
    m->buffer_2d = nullptr;
    return true;
}

// A pool that was never set up (or was cleaned) has no sentinels linked yet.
static bool pool_ready(pool* p) { return p->live.head.next != nullptr; }

void d3d_buffers_clean(d3d_buffers* m)
{
    if (pool_ready(&m->dynavtxs)) {
        while (!list_empty(&m->dynavtxs.live))
            d3d_buffers_free_dynavtx(m, (d3d_dynavtx*)list_last(&m->dynavtxs.live));
        pool_clean(&m->dynavtxs);
    }
    if (pool_ready(&m->vtxs)) {
        while (!list_empty(&m->vtxs.live))
            d3d_buffers_free_vtx(m, (d3d_vtx*)list_last(&m->vtxs.live));
        pool_clean(&m->vtxs);
    }
    if (pool_ready(&m->idxs)) {
        while (!list_empty(&m->idxs.live))
            d3d_buffers_free_idx(m, (d3d_idx*)list_last(&m->idxs.live));
        pool_clean(&m->idxs);
    }
    if (pool_ready(&m->txts)) {
        while (!list_empty(&m->txts.live))
            d3d_buffers_free_txt(m, (d3d_txt*)list_last(&m->txts.live));
        pool_clean(&m->txts);
    }
    memset(&m->dynavtxs, 0, sizeof(m->dynavtxs));
    memset(&m->vtxs, 0, sizeof(m->vtxs));
    memset(&m->idxs, 0, sizeof(m->idxs));
    memset(&m->txts, 0, sizeof(m->txts));
    m->buffer_2d = nullptr;
}

bool d3d_buffers_reset(d3d_buffers* m)
{
    d3d_gfx* g = m->gfx;
    d3d_buffers_clean(m);
    return d3d_buffers_setup(m, g);
}

// Walks a live list in allocation order, calling create on each record.
#define FOR_LIVE(type, p, rec) \
    for (list_node* n_ = list_first(&(p)->live), *next_ = nullptr; n_->next && ((next_ = n_->next), true); n_ = next_) \
        if (type* rec = (type*)n_; true)

bool d3d_buffers_restore(d3d_buffers* m)
{
    if (!pool_ready(&m->dynavtxs))
        return false;
    // Recreate rather than create: a restore without a lose before it must not leak objects.
    d3d_buffers_free_dynavtx(m, m->buffer_2d);
    bool ok = true;
    FOR_LIVE(d3d_dynavtx, &m->dynavtxs, d) if (ok) ok = d3d_dynavtx_recreate(d);
    FOR_LIVE(d3d_vtx, &m->vtxs, v) if (ok) ok = d3d_vtx_recreate(v);
    FOR_LIVE(d3d_idx, &m->idxs, i) if (ok) ok = d3d_idx_recreate(i);
    FOR_LIVE(d3d_txt, &m->txts, t) if (ok && !d3d_txt_recreate(t)) {
        // A texture whose file can no longer be read stays without its image (it binds as no
        // texture): one vanished file must not fail every later reset, and all drawing with it.
        if (txt_file_missing)
            dbg_error("Texture %s restored without its image,\n", t->file);
        else
            ok = false;
    }
    if (ok) {
        m->buffer_2d = d3d_buffers_alloc_dynavtx(m, D3DFVF_2D, sizeof(d3d_vertex_2d));
        if (!m->buffer_2d) {
            dbg_error("Failed to setup dynamic D3DFVF_2D buffer,\n");
            ok = false;
        }
    }
    if (!ok)
        d3d_buffers_lose(m);
    return ok;
}

void d3d_buffers_lose(d3d_buffers* m)
{
    if (!pool_ready(&m->dynavtxs))
        return;
    d3d_buffers_free_dynavtx(m, m->buffer_2d);
    m->buffer_2d = nullptr;
    FOR_LIVE(d3d_dynavtx, &m->dynavtxs, d) d3d_dynavtx_release(d);
    FOR_LIVE(d3d_vtx, &m->vtxs, v) d3d_vtx_release(v);
    FOR_LIVE(d3d_idx, &m->idxs, i) d3d_idx_release(i);
    FOR_LIVE(d3d_txt, &m->txts, t) d3d_txt_release(t);
}

bool d3d_buffers_relose(d3d_buffers* m)
{
    d3d_buffers_lose(m);
    return d3d_buffers_restore(m);
}

void d3d_buffers_rewind(d3d_buffers* m)
{
    if (!pool_ready(&m->dynavtxs))
        return;
    FOR_LIVE(d3d_dynavtx, &m->dynavtxs, d) d3d_dynavtx_rewind(d);
}

// Takes a zeroed record from `p`, appends it to the live list and counts it; null (and the
// failure logged) when none can be had.
static void* take(pool* p, int32_t* count, const char* what)
{
    list_node* rec = pool_ready(p) ? (list_node*)pool_alloc(p) : nullptr;
    if (!rec) {
        dbg_error("Failed to allocate %s handler,\n", what);
        return nullptr;
    }
    list_append(&p->live, rec);
    (*count)++;
    return rec;
}

static void give_back(pool* p, void* rec)
{
    list_unlink((list_node*)rec);
    pool_free(p, rec);
}

d3d_dynavtx* d3d_buffers_alloc_dynavtx(d3d_buffers* m, uint32_t fvf, uint32_t stride)
{
    d3d_dynavtx* d = (d3d_dynavtx*)take(&m->dynavtxs, &m->dynavtx_count, "dynamic vertex buffer");
    if (!d)
        return nullptr;
    if (!d3d_dynavtx_setup(d, m->gfx, fvf, stride)) {
        dbg_error("Failed to setup dynamic vertex buffer,\n");
        d3d_buffers_free_dynavtx(m, d);
        return nullptr;
    }
    return d;
}

d3d_vtx* d3d_buffers_alloc_vtx(d3d_buffers* m, uint32_t fvf, uint32_t stride, uint32_t count)
{
    d3d_vtx* v = (d3d_vtx*)take(&m->vtxs, &m->vtx_count, "vertex buffer");
    if (!v)
        return nullptr;
    if (!d3d_vtx_setup(v, m->gfx, fvf, stride, count)) {
        dbg_error("Failed to setup vertex buffer,\n");
        d3d_buffers_free_vtx(m, v);
        return nullptr;
    }
    return v;
}

d3d_idx* d3d_buffers_alloc_idx(d3d_buffers* m, uint32_t count)
{
    d3d_idx* i = (d3d_idx*)take(&m->idxs, &m->idx_count, "index buffer");
    if (!i)
        return nullptr;
    if (!d3d_idx_setup(i, m->gfx, count)) {
        dbg_error("Failed to setup index buffer,\n");
        d3d_buffers_free_idx(m, i);
        return nullptr;
    }
    return i;
}

d3d_txt* d3d_buffers_alloc_txt(d3d_buffers* m, uint32_t kind, int32_t width, int32_t height, uint32_t levels,
                               const char* file)
{
    d3d_txt* t = (d3d_txt*)take(&m->txts, &m->txt_count, "texture buffer");
    if (!t)
        return nullptr;
    if (!d3d_txt_setup(t, m->gfx, kind, width, height, levels, file)) {
        dbg_error("Failed to setup texture buffer,\n");
        d3d_buffers_free_txt(m, t);
        return nullptr;
    }
    return t;
}

d3d_txt* d3d_buffers_alloc_txt_bitmap(d3d_buffers* m, gfx_bmps* bitmap, uint32_t levels)
{
    d3d_txt* t = (d3d_txt*)take(&m->txts, &m->txt_count, "texture buffer");
    if (!t)
        return nullptr;
    if (!bitmap || !d3d_txt_setup_bitmap(t, m->gfx, bitmap, levels)) {
        dbg_error("Failed to setup texture buffer,\n");
        d3d_buffers_free_txt(m, t);
        return nullptr;
    }
    return t;
}

void d3d_buffers_free_dynavtx(d3d_buffers* m, d3d_dynavtx* d)
{
    if (!d)
        return;
    if (m->buffer_2d == d)
        m->buffer_2d = nullptr;
    m->dynavtx_count--;
    d3d_dynavtx_release(d);
    give_back(&m->dynavtxs, d);
}

void d3d_buffers_free_vtx(d3d_buffers* m, d3d_vtx* v)
{
    if (!v)
        return;
    m->vtx_count--;
    d3d_vtx_release(v);
    give_back(&m->vtxs, v);
}

void d3d_buffers_free_idx(d3d_buffers* m, d3d_idx* i)
{
    if (!i)
        return;
    m->idx_count--;
    d3d_idx_release(i);
    give_back(&m->idxs, i);
}

void d3d_buffers_free_txt(d3d_buffers* m, d3d_txt* t)
{
    if (!t)
        return;
    m->txt_count--;
    d3d_txt_release(t);
    give_back(&m->txts, t);
}

bool d3d_buffers_draw2d(d3d_buffers* m, const d3d_vertex_2d* vertices, uint32_t n, D3DPRIMITIVETYPE type,
                        uint32_t primitives)
{
    d3d_dynavtx* d = m->buffer_2d;
    if (!d)
        return false;
    BYTE* p = d3d_dynavtx_lock(d, n);
    if (!p)
        return false;
    uint32_t start = d->used;
    memcpy(p, vertices, (size_t)n * sizeof(d3d_vertex_2d));
    d3d_dynavtx_unlock(d);
    IDirect3DDevice8* dev = m->gfx->device;
    return D3DCHECK(dev->lpVtbl->SetStreamSource(dev, 0, d->buffer, sizeof(d3d_vertex_2d))) &&
           D3DCHECK(dev->lpVtbl->SetVertexShader(dev, D3DFVF_2D)) &&
           D3DCHECK(dev->lpVtbl->DrawPrimitive(dev, type, start, primitives));
}
