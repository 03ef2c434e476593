// Meshes: loading, morph blending into the vertex buffer, recolouring and drawing.
//
// Sections: manager; setup and clean; update and blend; recolour and draw.

#include "engine/code/gfx/xox.h"

#include <cstring>
#include <strings.h>

#include "engine/code/dbg.h"
#include "engine/code/files.h"
#include "engine/code/gfx/avatar_names.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/soul.h"
#include "engine/code/mem.h"

static uint32_t vertex_count(const xox_mesh* mesh) { return files_word(mesh->file, FILES_XOX_VERTEX_COUNT); }
static uint32_t index_count(const xox_mesh* mesh) { return files_word(mesh->file, FILES_XOX_INDEX_COUNT); }

// ---------------------------------------------------------------------------------------
// Manager

bool xoxs_setup(xoxs* m)
{
    memset(m, 0, sizeof *m);
    return pool_setup(&m->records, sizeof(xox_mesh), 64);
}

void xoxs_clean(xoxs* m)
{
    if (!m->records.record_size)
        return;
    for (list_node* n = list_first(&m->records.live); n->next;) {
        list_node* next = n->next;
        xoxs_free(m, (xox_mesh*)n);
        n = next;
    }
    pool_clean(&m->records);
    memset(m, 0, sizeof *m);
}

bool xoxs_reset(xoxs* m)
{
    xoxs_clean(m);
    return xoxs_setup(m);
}

// Every caller (avatar parts, the HUD pointer, the game states' items and logos) learns of
// a failure only through the null result, so the file is named here, once for all of them.
xox_mesh* xoxs_load(xoxs* m, const char* path)
{
    xox_mesh* mesh = (xox_mesh*)pool_alloc(&m->records);
    if (!mesh) { // nothing counted: the count follows the records actually held
        dbg_error("Failed to allocate xox mesh %s,\n", path ? path : "");
        return nullptr;
    }
    m->count++;
    if (!xox_setup(mesh, path)) {
        xox_clean(mesh);
        m->count--;
        pool_free(&m->records, mesh);
        dbg_error("Failed to load xox mesh %s,\n", path ? path : "");
        return nullptr;
    }
    mesh->owner = m;
    list_append(&m->records.live, &mesh->link);
    return mesh;
}

void xoxs_free(xoxs* m, xox_mesh* mesh)
{
    if (!mesh)
        return;
    m->count--;
    xox_clean(mesh);
    list_unlink(&mesh->link);
    pool_free(&m->records, mesh);
}

void xox_free(xox_mesh* mesh)
{
    if (mesh && mesh->owner)
        xoxs_free(mesh->owner, mesh);
}

// ---------------------------------------------------------------------------------------
// Setup and clean

static bool copy_materials(xox_mesh* mesh)
{
    mesh->material_count = files_word(mesh->file, FILES_XOX_MATERIAL_COUNT);
    mesh->materials = (xox_material*)mem_alloc(sizeof(xox_material) * (mesh->material_count ? mesh->material_count : 1));
    if (!mesh->materials)
        return false;
    for (uint32_t i = 0; i < mesh->material_count; i++) {
        const uint8_t* rec = files_xox_material(mesh->file, i);
        xox_material* mat = &mesh->materials[i];
        files_name(rec + FILES_XOX_MAT_NAME, 32, mat->name, sizeof mat->name);
        mat->colour = files_u32(rec, FILES_XOX_MAT_COLOUR);
        mat->specular = files_u32(rec, FILES_XOX_MAT_SPECULAR);
        mat->gloss = files_f32(rec, FILES_XOX_MAT_GLOSS);
        mat->strip_count = files_u32(rec, FILES_XOX_MAT_STRIP_COUNT);
        mat->strips = files_xox_strips(mesh->file, rec);
        if (!mat->strips)
            mat->strip_count = 0;
        mat->first_index = files_u32(rec, FILES_XOX_MAT_FIRST_INDEX);
    }
    return true;
}

static bool setup_weights(xox_mesh* mesh)
{
    mesh->morph_count = files_word(mesh->file, FILES_XOX_MORPH_COUNT);
    if (!mesh->morph_count)
        return true;
    if (mesh->morph_count >= XOX_NO_MORPH) // the byte map could not address them
        return false;
    size_t size = sizeof(xox_weight) * mesh->morph_count;
    uint8_t* block = (uint8_t*)mem_alloc(size + AVATAR_MORPH_COUNT);
    if (!block)
        return false;
    mesh->weights = (xox_weight*)block;
    mesh->morph_map = block + size;
    memset(mesh->morph_map, XOX_NO_MORPH, AVATAR_MORPH_COUNT);
    for (uint32_t i = 0; i < mesh->morph_count; i++) {
        const uint8_t* rec = files_xox_morph(mesh->file, i);
        xox_weight_setup(&mesh->weights[i], rec);
        char name[33];
        files_name(rec + FILES_XOX_MORPH_NAME, 32, name, sizeof name);
        int32_t m = avatar_morph_find(name);
        if (m >= 0)
            mesh->morph_map[m] = (uint8_t)i;
    }
    return true;
}

bool xox_setup(xox_mesh* mesh, const char* path)
{
    memset(mesh, 0, sizeof *mesh);
    mesh->file = files_load(&FILES, path);
    if (!mesh->file || mesh->file->header.magic != FILES_MAGIC_XOX) {
        xox_clean(mesh);
        return false;
    }
    mesh->body = mesh->file->payload;
    mesh->vtx = d3d_buffers_alloc_vtx(&D3D_BUFFERS, XOX_FVF, XOX_STRIDE, vertex_count(mesh));
    if (!mesh->vtx) {
        dbg_error("Failed to allocate xox vertex buffer,\n");
        xox_clean(mesh);
        return false;
    }
    mesh->idx = d3d_buffers_alloc_idx(&D3D_BUFFERS, index_count(mesh));
    if (!mesh->idx) {
        dbg_error("Failed to allocate xox index buffer,\n");
        xox_clean(mesh);
        return false;
    }
    if (!setup_weights(mesh) || !copy_materials(mesh)) {
        xox_clean(mesh);
        return false;
    }
    return true;
}

void xox_clean(xox_mesh* mesh)
{
    mem_free(mesh->materials);
    mesh->materials = nullptr;
    mesh->material_count = 0;
    d3d_buffers_free_vtx(&D3D_BUFFERS, mesh->vtx);
    mesh->vtx = nullptr;
    d3d_buffers_free_idx(&D3D_BUFFERS, mesh->idx);
    mesh->idx = nullptr;
    files_free(&FILES, mesh->file);
    mesh->file = nullptr;
    mesh->body = nullptr;
    mem_free(mesh->weights);
    mesh->weights = nullptr;
    mesh->morph_map = nullptr;
    mesh->morph_count = 0;
}

void xox_weight_setup(xox_weight* w, const uint8_t* morph)
{
    w->morph = morph;
    w->weight = 0;
}

xox_weight* xox_find_weight(xox_mesh* mesh, const char* morph_name)
{
    if (!morph_name)
        return nullptr;
    for (uint32_t i = 0; i < mesh->morph_count; i++) {
        char name[33];
        files_name(mesh->weights[i].morph + FILES_XOX_MORPH_NAME, 32, name, sizeof name);
        if (strcasecmp(name, morph_name) == 0)
            return &mesh->weights[i];
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------
// Update and blend

void xox_update(xox_mesh* mesh)
{
    if (mesh->idx && mesh->idx->needs_refill) {
        uint16_t* out = d3d_idx_lock(mesh->idx);
        if (out) {
            uint32_t n = index_count(mesh);
            const uint8_t* in = files_xox_indices(mesh->file);
            if (in)
                memcpy(out, in, (size_t)n * 2);
            d3d_idx_unlock(mesh->idx);
            mesh->idx->needs_refill = 0;
        }
    }
    xox_morph_blend(mesh);
}

static void add_morph(const xox_mesh* mesh, const xox_weight* w, float* out)
{
    const uint8_t* deltas = files_xox_deltas(mesh->file, w->morph);
    if (!deltas)
        return;
    uint32_t first = files_u32(w->morph, FILES_XOX_MORPH_FIRST);
    uint32_t n = files_u32(w->morph, FILES_XOX_MORPH_VERTICES);
    float sx = mesh->mirrored ? -w->weight : w->weight;
    for (uint32_t i = 0; i < n; i++) {
        float* v = out + (size_t)(first + i) * 8;
        const uint8_t* d = deltas + (size_t)i * FILES_XOX_DELTA_SIZE;
        v[0] += sx * files_f32(d, 0);
        v[1] += w->weight * files_f32(d, 4);
        v[2] += w->weight * files_f32(d, 8);
        v[3] += sx * files_f32(d, 12);
        v[4] += w->weight * files_f32(d, 16);
        v[5] += w->weight * files_f32(d, 20);
    }
}

void xox_morph_blend(xox_mesh* mesh)
{
    if (!mesh->vtx)
        return;
    bool changed = false;
    for (uint32_t i = 0; i < mesh->morph_count && !changed; i++)
        changed = mesh->weights[i].weight != mesh->weights[i].applied;
    if (!mesh->vtx->needs_refill && !changed)
        return;
    float* out = (float*)d3d_vtx_lock(mesh->vtx);
    if (!out)
        return; // retried later: neither the flag nor the weights were touched
    uint32_t vc = vertex_count(mesh);
    for (uint32_t i = 0; i < vc; i++) {
        const uint8_t* v = files_xox_vertex(mesh->file, i);
        float* o = out + (size_t)i * 8;
        memcpy(o, v, 32);
        if (mesh->mirrored) {
            o[0] = -o[0];
            o[3] = -o[3];
        }
    }
    for (uint32_t i = 0; i < mesh->morph_count; i++) {
        xox_weight* w = &mesh->weights[i];
        if (w->weight != 0.0f)
            add_morph(mesh, w, out);
        w->applied = w->weight;
    }
    d3d_vtx_unlock(mesh->vtx);
    mesh->vtx->needs_refill = 0;
}

// ---------------------------------------------------------------------------------------
// Recolour and draw

void xox_recolour(xox_mesh* mesh, const soul_surface* surfaces, int32_t count)
{
    for (uint32_t i = 0; i < mesh->material_count; i++) {
        xox_material* mat = &mesh->materials[i];
        if (!mat->name[0])
            continue;
        for (int32_t s = 0; s < count; s++) {
            const soul_surface* sf = &surfaces[s];
            if (sf->name[0] && strncmp(sf->name, mat->name, sizeof mat->name) == 0) {
                mat->colour = sf->argb;
                mat->specular = sf->spec;
                mat->gloss = sf->gloss;
                break;
            }
        }
    }
}

void xox_draw(xox_mesh* mesh)
{
    if (!mesh->vtx || !mesh->idx)
        return;
    d3d_vtx_set(mesh->vtx);
    d3d_idx_set(mesh->idx);
    if (mesh->mirrored)
        gfx_set_cull(&GFX, false);
    uint32_t vc = vertex_count(mesh);
    for (uint32_t i = 0; i < mesh->material_count; i++) {
        const xox_material* mat = &mesh->materials[i];
        gfx_material gm = {mat->colour, mat->colour, mat->specular, mat->gloss};
        gfx_set_material(&GFX, &gm);
        uint32_t start = mat->first_index;
        for (uint32_t k = 0; k < mat->strip_count; k++) {
            uint32_t n = files_u16(mat->strips, 2 * k);
            // A strip of fewer than three indices has no triangle; drawing it would ask the
            // device for a wrapped-around primitive count.
            if (n >= 3)
                gfx_draw3d_tristrip(0, vc, start, n - 2);
            start += n;
        }
    }
    if (mesh->mirrored)
        gfx_set_cull(&GFX, true);
}
