// Avatar name tables: the fixed names of body parts, bones, object groups, surfaces, shared
// animations and morphs, with case-blind lookups. Stateless; every other avatar module and
// the script libraries use them.
#pragma once

#include <cstdint>

enum : int32_t {
    AVATAR_GROUP_COUNT = 18,
    AVATAR_PART_COUNT = 22,
    AVATAR_BONE_NAME_COUNT = 16,
    AVATAR_SURFACE_COUNT = 18,
    AVATAR_ANIM_COUNT = 33,
    AVATAR_MORPH_COUNT = 22,
    AVATAR_PART_LEFT_HAND = 11,
    AVATAR_PART_RIGHT_HAND = 17,
    AVATAR_PAIR_FIRST = 10, // bone names from here on name a left part; its right twin is 6 on
    AVATAR_PAIR_OFFSET = 6,
    AVATAR_MORPH_FIST0 = 18,
};

// Lookups ignore ASCII case and give -1 for an unknown or null name.
int32_t avatar_group_find(const char* name);
int32_t avatar_part_find(const char* name);
int32_t avatar_bone_find(const char* name);
int32_t avatar_surface_find(const char* name);
int32_t avatar_anim_find(const char* name);
int32_t avatar_morph_find(const char* name);

// The index must be in range for these three.
const char* avatar_group_name(int32_t index);
const char* avatar_part_name(int32_t index);
const char* avatar_surface_name(int32_t index);
// Null outside the table.
const char* avatar_anim_name(int32_t index);
const char* avatar_morph_name(int32_t index);
