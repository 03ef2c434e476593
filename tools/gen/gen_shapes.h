// Solid shapes for the generated meshes: ellipsoids and boxes as triangle strips, grouped
// into materials, with morphs computed per vertex. Faces wind clockwise seen from outside,
// the engine's front faces.
#pragma once

#include <cstdint>
#include <functional>

#include "tools/writer/wr_mesh.h"

struct gen_v3 {
    float x, y, z;
};

// A run of vertices that one shape added.
struct gen_range {
    uint32_t first, count;
};

struct gen_mesh {
    wr_xox_mesh mesh;
};

// Starts a material: the shapes that follow draw with it.
void gen_mesh_material(gen_mesh* g, const char* name, uint32_t colour, uint32_t specular = 0xFF303030,
                       float gloss = 0.04f);
gen_range gen_mesh_ellipsoid(gen_mesh* g, gen_v3 centre, gen_v3 radii, int slices = 14, int stacks = 8);
gen_range gen_mesh_box(gen_mesh* g, gen_v3 lo, gen_v3 hi);
// Adds a morph over the range; delta fills dx dy dz dnx dny dnz for one vertex.
void gen_mesh_morph(gen_mesh* g, const char* name, gen_range range,
                    const std::function<void(const wr_xox_vertex&, float* delta)>& delta);
// Sets the extent to the largest side of the bounding box and writes the file.
bool gen_mesh_save(gen_mesh* g, const char* path);
