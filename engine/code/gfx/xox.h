// Meshes: a loaded xox data file made drawable. Vertices live in a vertex buffer that morph
// weights are blended into, 16-bit indices in an index buffer; the materials are copied so
// souls can recolour them. The manager GFX.xoxs hands meshes out from its pool.
#pragma once

#include <cstdint>

#include "engine/code/pool.h"

struct files_data;
struct d3d_vtx;
struct d3d_idx;
struct soul_surface;
struct xoxs;

enum : uint32_t {
    XOX_FVF = 0x112,   // position, normal, one texture pair
    XOX_STRIDE = 32,
    XOX_NO_MORPH = 255, // morph_map entry of a morph the mesh lacks
};

// One morph's weight. Weights are absolute: every blend starts again from the file vertices.
struct xox_weight {
    const uint8_t* morph; // the morph record in the loaded file
    float weight;         // wanted now
    float applied;        // last blended into the vertex buffer
};

// The mesh's own copy of a material record, its strip lengths resolved.
struct xox_material {
    char name[32];
    uint32_t colour;       // ARGB, diffuse and ambient
    uint32_t specular;     // ARGB
    float gloss;
    uint32_t strip_count;
    const uint8_t* strips; // strip_count u16 lengths inside the loaded file
    uint32_t first_index;
};

struct xox_mesh {
    list_node link;
    xoxs* owner;
    uint8_t mirrored;          // drawn mirrored in x; set by the user before the first update
    d3d_vtx* vtx;
    d3d_idx* idx;
    uint32_t morph_count;
    xox_weight* weights;       // null without morphs
    uint8_t* morph_map;        // 22 bytes after the weights, by morph index; null without morphs
    uint32_t material_count;
    xox_material* materials;
    files_data* file;
    const uint8_t* body;
};

struct xoxs {
    pool records; // live list: the meshes handed out
    int32_t count;
};

bool xoxs_setup(xoxs* m);  // always true
void xoxs_clean(xoxs* m);  // frees every mesh still out
bool xoxs_reset(xoxs* m);
// The path is used as given. Null for a missing or bad file or no memory (nothing logged
// except a buffer failure).
xox_mesh* xoxs_load(xoxs* m, const char* path);
void xoxs_free(xoxs* m, xox_mesh* mesh); // null does nothing
void xox_free(xox_mesh* mesh);            // through its owner

bool xox_setup(xox_mesh* mesh, const char* path);
void xox_clean(xox_mesh* mesh); // safe on a partly built or cleaned mesh
// Refills buffers made anew and blends changed weights; once a frame before drawing.
void xox_update(xox_mesh* mesh);
void xox_morph_blend(xox_mesh* mesh);
// Materials take colours from the first surface of the same name (case matters).
void xox_recolour(xox_mesh* mesh, const soul_surface* surfaces, int32_t count);
// Draws with the world transform already set.
void xox_draw(xox_mesh* mesh);
xox_weight* xox_find_weight(xox_mesh* mesh, const char* morph_name);
void xox_weight_setup(xox_weight* w, const uint8_t* morph);
