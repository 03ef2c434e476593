// Textures: the pool of held textures over the buffer manager, and the Lua library `txts`.

#include "engine/code/gfx/txts.h"

#include "engine/code/dbg.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/owned_lib.h"
#include "engine/code/lua_lib.h"

// ---- pool ------------------------------------------------------------------------------

bool txts_setup(txts_pool* p, gfx* root)
{
    p->root = root;
    return pool_setup(&p->records, sizeof(gfx_txts), 64);
}

bool txts_reset(txts_pool* p)
{
    gfx* root = p->root;
    txts_clean(p);
    return txts_setup(p, root);
}

void txts_clean(txts_pool* p)
{
    // A pool never set up has null links: nothing to free.
    if (p->records.live.head.next)
        while (!list_empty(&p->records.live))
            gfx_txts_free((gfx_txts*)list_first(&p->records.live));
    pool_clean(&p->records);
}

// A record linked into the live list, or null (logged).
static gfx_txts* take(txts_pool* p)
{
    gfx_txts* t = (gfx_txts*)pool_alloc(&p->records);
    if (!t) {
        dbg_error("Failed to allocate gfx texture,\n");
        return nullptr;
    }
    list_append(&p->records.live, &t->link);
    t->owner = p;
    return t;
}

static gfx_txts* made_or_freed(txts_pool* p, gfx_txts* t, bool ok)
{
    if (ok)
        return t;
    dbg_error("Failed to setup gfx texture,\n");
    txts_free(p, t);
    return nullptr;
}

gfx_txts* txts_alloc(txts_pool* p, uint32_t kind, int32_t w, int32_t h, uint32_t levels, const char* file)
{
    gfx_txts* t = take(p);
    return t ? made_or_freed(p, t, gfx_txts_setup(t, kind, w, h, levels, file)) : nullptr;
}

gfx_txts* txts_alloc_bitmap(txts_pool* p, gfx_bmps* bitmap, uint32_t levels)
{
    gfx_txts* t = take(p);
    return t ? made_or_freed(p, t, gfx_txts_setup_bitmap(t, bitmap, levels)) : nullptr;
}

void txts_free(txts_pool* p, gfx_txts* t)
{
    if (!t)
        return;
    list_unlink(&t->link);
    gfx_txts_clean(t);
    if (t->holder) {
        *t->holder = nullptr;
        t->holder = nullptr;
    }
    pool_free(&p->records, t);
}

// ---- record ----------------------------------------------------------------------------

bool gfx_txts_setup(gfx_txts* t, uint32_t kind, int32_t w, int32_t h, uint32_t levels, const char* file)
{
    t->texture = d3d_buffers_alloc_txt(&D3D_BUFFERS, kind, w, h, levels, file);
    return t->texture != nullptr;
}

bool gfx_txts_setup_bitmap(gfx_txts* t, gfx_bmps* bitmap, uint32_t levels)
{
    t->texture = d3d_buffers_alloc_txt_bitmap(&D3D_BUFFERS, bitmap, levels);
    return t->texture != nullptr;
}

void gfx_txts_clean(gfx_txts* t)
{
    d3d_buffers_free_txt(&D3D_BUFFERS, t->texture);
    t->texture = nullptr;
}

void gfx_txts_free(gfx_txts* t)
{
    if (t)
        txts_free(t->owner, t);
}

bool gfx_txts_set(gfx_txts* t, uint32_t stage) { return t && t->texture && d3d_txt_set(t->texture, stage); }

// ---- Lua library -----------------------------------------------------------------------

static void* txts_make(gfx* root, const char* name) { return txts_alloc(&root->txts_pool, 0, 0, 0, 0, name); }
static void txts_set_holder(void* record, void** word) { ((gfx_txts*)record)->holder = word; }
static void txts_release(void* record) { gfx_txts_free((gfx_txts*)record); }

static const owned_lib_kind TXTS_KIND = {"txts", "gfx_txts*ptr", "gfx_txts", txts_make, txts_set_holder, txts_release};

static int txts_gc(lua_State* L) { return owned_lib_gc(L, &TXTS_KIND); }

int txts_lua_setup(lua_State* L)
{
    gfx* root = (gfx*)lua_touserdata(L, 1);
    owned_lib_setup(L, &TXTS_KIND, root ? root : &GFX, txts_gc);
    return 0;
}

void txts_lua_clean(lua_State* L) { lua_lib_unregister(L, "txts"); }
