// The maze terrain: a grid of square cells, each with four corner heights and a centre
// height, drawn as four lit triangles per cell in two alternating greys. It answers the
// height under any point and the slope of a cell, and converts world and map coordinates.
#pragma once
#include <cstdint>

struct amaze;
struct d3d_vtx;
struct d3d_idx;
struct hmap;

// One point of the height lattice: its height and its lighting normal.
struct isomap_point {
    float height;
    float nx, ny, nz;
};

// The lattice has 2 cells_y + 1 rows of cells_x + 1 points: even rows are cell corners,
// odd rows the cell centres (only their first cells_x points are used). Cell (i, j) has
// corners P(2j, i), P(2j, i+1), P(2j+2, i), P(2j+2, i+1) and centre P(2j+1, i).
// Map coordinates: one unit per cell, cell (i, j) centred on (i, j). World: x right,
// y up, z falling with the cell row.
struct isomap {
    amaze* owner;
    d3d_vtx* vtx;
    d3d_idx* idx;
    isomap_point* points;  // runtime heap, zeroed; null while no map is loaded
    int32_t cells_x;       // even, at least 2 once loaded
    int32_t cells_y;
};

// Vertex of the map's buffer: position, normal, one unused texture pair (format 0x112).
struct isomap_vertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
enum { ISOMAP_FVF = 0x112 };

bool isomap_setup(isomap* m, amaze* owner);  // stores the owner; true
bool isomap_reset(isomap* m);
void isomap_clean(isomap* m);                // frees lattice and buffers; safe twice
// A w x h cell lattice (each rounded down to even, at least 2), its buffers, built flat.
// Any map held before is released first. False (and empty) on a too small size or when
// memory or a buffer cannot be had.
bool isomap_alloc(isomap* m, int32_t w, int32_t h);
// Heights from a grey image (one byte a pixel, byte / 8): cells (w / 2 - 1) x ((h - 1) / 2).
bool isomap_load(isomap* m, const char* path);
// Heights from a height map of w x h cells: cells (w - 1) x ((h - 1) / 2).
bool isomap_from_hmap(isomap* m, const hmap* h);
// Normals, vertices and indices from the lattice; nothing without lattice and buffers.
void isomap_build(isomap* m);
void isomap_update(isomap* m);  // rebuilds after the device remade the buffers
void isomap_draw(isomap* m);
// The terrain height at a map point; points off the map answer the nearest edge point.
// Needs a loaded map.
float isomap_height(const isomap* m, float mx, float my);
// The fall of a cell (clamped onto the map): gx > 0 falls towards +x, gy > 0 towards +y.
// Needs a loaded map.
void isomap_cell_slope(const isomap* m, int32_t x, int32_t y, float* gx, float* gy);
void isomap_world_to_map(const isomap* m, float* x, float* z);
void isomap_map_to_world(const isomap* m, float* x, float* z);

// Lattice point c of row r.
inline isomap_point* isomap_at(const isomap* m, int32_t r, int32_t c)
{
    return &m->points[(m->cells_x + 1) * r + c];
}
