// Souls: the description of one avatar (part sizes, the objects hung on each part, the
// colours of its surfaces), read from and written to soul documents (XML).
#pragma once

#include <cstdint>

#include "engine/code/gfx/avatar_names.h"
#include "engine/code/maths.h"
#include "engine/code/pool.h"

struct avatars;

enum : int32_t { SOUL_OBJECTS = 4 };

struct soul_object {
    int32_t part;
    int32_t group;  // -1 for none
    char name[64];  // mesh-table entry; empty for an empty slot
};

struct soul_surface {
    char name[32];
    uint32_t argb;
    uint32_t spec;
    float gloss;
};

struct avatar_soul {
    list_node link;
    vec3 sizes[AVATAR_PART_COUNT];
    soul_object objects[AVATAR_PART_COUNT][SOUL_OBJECTS];
    soul_surface surfaces[AVATAR_SURFACE_COUNT];
};

// Null when the document cannot be read.
avatar_soul* soul_alloc(avatars* m, const char* name);
void soul_free(avatars* m, avatar_soul* soul); // null does nothing
// The name is a path when GFX.soul_path_flag is set, else local/avatar/soul/<name>.xml.
bool soul_load(avatar_soul* soul, const char* name);
// The file written always ends in ".xml".
bool soul_save(const avatar_soul* soul, const char* path);
