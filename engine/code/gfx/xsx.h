// Animations: a loaded xsx data file turned into a live skeleton. Bones in a parent
// hierarchy are driven by keyframe tracks; each bone carries up to four meshes. The manager
// GFX.xsxs hands instances out from its pool.
#pragma once

#include <cstdint>

#include "engine/code/maths.h"
#include "engine/code/pool.h"

struct files_data;
struct xox_mesh;

enum : uint32_t {
    XSX_BONE_MESHES = 4,
    XSX_TRANSFORM_TRACKS = 9, // position x y z, rotation about y x z, scale x y z
    XSX_BONE_MIRRORED = 1,    // file bone flag: the left one of a pair
};

struct xsx_track {
    const uint8_t* track; // the file's track record
    float value;          // at the last evaluation
    int32_t morph;        // morph index of a morph track, else -1
    const uint8_t* keys;  // resolved at setup: key_count 24-byte key records
    uint32_t key_count;
};

struct xsx_bone {
    vec3 base_scale;            // factor on the scale tracks; 1 after setup
    ::transform transform;
    mat4 world;                 // relative to the instance
    xox_mesh* meshes[XSX_BONE_MESHES];
    const uint8_t* bone;        // the file's bone record
    uint32_t track_count;
    xsx_track* tracks;          // the bone's first track
    xsx_bone* parent;           // null for a root
};

struct xsx_anim {
    list_node link;
    float time;                 // set by the user
    uint32_t bone_count;
    xsx_bone* bones;
    uint32_t track_count;
    xsx_track* tracks;
    files_data* file;
    const uint8_t* body;
    mat4 matrix;                // placement at drawing; zero after setup
};

struct xsxs {
    pool records; // live list: the instances handed out
    int32_t count;
};

bool xsxs_setup(xsxs* m);  // always true
void xsxs_clean(xsxs* m);  // frees every instance still out, with its meshes
bool xsxs_reset(xsxs* m);
xsx_anim* xsxs_load(xsxs* m, const char* path); // null for a missing or bad file
void xsxs_free(xsxs* m, xsx_anim* anim);        // null does nothing

// Rejects (false) bones whose tracks are not strictly increasing in time besides what the
// loader checks, so a segment never has zero length.
bool xsx_setup(xsx_anim* anim, const char* path);
void xsx_clean(xsx_anim* anim); // frees the hung meshes; safe on a partly built instance
// Evaluates every track at the start time + time, rebuilds the bones' transforms and
// worlds and updates the hung meshes.
void xsx_animate(xsx_anim* anim);
void xsx_bone_matrix(const xsx_bone* bone, mat4* out);
void xsx_draw(xsx_anim* anim);
void xsx_track_value(xsx_track* track, float t);
float xsx_start(const xsx_anim* anim);  // the file's start time
float xsx_length(const xsx_anim* anim); // the file's length, in key-time units
// Bone flags word and name (NUL-terminated copy) from the file.
uint32_t xsx_bone_flags(const xsx_bone* bone);
void xsx_bone_name(const xsx_bone* bone, char* out, uint32_t size);
// Hangs a random mesh of the matching object group on every bone whose base word names one.
void xsx_attach_parts(xsx_anim* anim);
