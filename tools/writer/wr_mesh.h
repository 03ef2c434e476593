// XOX mesh and XSX animation writers: build the bodies of the engine's mesh and animation
// data files from plain descriptions, behind the common data-file header.
//
// Mesh body: 56-byte head, materials, morphs, vertices, indices, then each material's strip
// lengths and each morph's deltas, every section 4-byte aligned. Animation body: 32-byte
// head, bones, the tracks of every bone one after the other, then the keys.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/writer/wr_buf.h"

struct wr_xox_vertex {
    float x, y, z, nx, ny, nz, u, v;
};

struct wr_xox_material {
    std::string name;             // at most 31 characters
    uint32_t colour = 0xFFFFFFFF; // ARGB
    uint32_t specular = 0;
    float gloss = 0;
    uint32_t first_index = 0;     // where the first strip starts in the index array
    std::vector<uint16_t> strips; // indices per triangle strip, one after the other
};

struct wr_xox_morph {
    std::string name;
    uint32_t first = 0;        // first vertex moved
    std::vector<float> deltas; // six floats per vertex: dx dy dz dnx dny dnz
};

struct wr_xox_mesh {
    std::vector<wr_xox_material> materials;
    std::vector<wr_xox_morph> morphs;
    std::vector<wr_xox_vertex> vertices;
    std::vector<uint16_t> indices;
    float extent = 1.0f;
};

void wr_xox_body(wr_buf* out, const wr_xox_mesh* mesh);
void wr_xox_file(wr_buf* out, const wr_xox_mesh* mesh);
bool wr_xox_save(const char* path, const wr_xox_mesh* mesh);

// Key interpolation of the segment that ends at a key.
enum : uint32_t { WR_KEY_SPLINE = 0, WR_KEY_STEP = 1, WR_KEY_LINEAR = 3 };

struct wr_xsx_key {
    float time, value;
    uint32_t flags = WR_KEY_LINEAR;
    float tension = 0, continuity = 0, bias = 0;
};

struct wr_xsx_track {
    std::string name; // at most 31 characters
    std::vector<wr_xsx_key> keys;
};

// Tracks 0-8: position x y z, rotation about y x z (radians), scale x y z; later tracks are
// morph weights named after their morph.
struct wr_xsx_bone {
    std::string name;   // at most 255 characters
    uint32_t flags = 0; // bit 0: mirrored
    int32_t parent = -1;
    std::vector<wr_xsx_track> tracks;
};

struct wr_xsx_anim {
    std::vector<wr_xsx_bone> bones;
    float start = 0;
    float length = 1;
};

void wr_xsx_body(wr_buf* out, const wr_xsx_anim* anim);
void wr_xsx_file(wr_buf* out, const wr_xsx_anim* anim);
bool wr_xsx_save(const char* path, const wr_xsx_anim* anim);
