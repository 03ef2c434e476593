// Avatar name tables and their lookups.

#include "engine/code/gfx/avatar_names.h"

#include <cassert>
#include <strings.h>

static const char* const group_names[AVATAR_GROUP_COUNT] = {
    "beard", "body", "ear", "eye", "eyeball", "foot", "hair", "hair_base", "hair_xtra",
    "hat", "hand", "head", "mouth", "inmouth", "nose", "specs", "tail", "inhand",
};

static const char* const part_names[AVATAR_PART_COUNT] = {
    "handle", "center", "legs", "upper", "arms", "body", "head", "mouth", "nose", "tail",
    "left_wrist", "left_hand", "left_foot", "left_eye", "left_eyeball", "left_ear",
    "right_wrist", "right_hand", "right_foot", "right_eye", "right_eyeball", "right_ear",
};

static const char* const bone_names[AVATAR_BONE_NAME_COUNT] = {
    "handle", "center", "legs", "upper", "arms", "body", "head", "mouth", "nose", "tail",
    "wrist", "hand", "foot", "eye", "eyeball", "ear",
};

static const char* const surface_names[AVATAR_SURFACE_COUNT] = {
    "skin", "lips", "nipples", "hair", "hairhi", "hairlo", "eyebrows", "beard", "specs",
    "eye", "iris", "body", "bodyhi", "bodylo", "foot", "toecaps", "sole", "socks",
};

static const char* const anim_names[AVATAR_ANIM_COUNT] = {
    "_base", "pose_idle", "pose_gunner", "pose_hands_on_hips", "pose_point_up_down",
    "pose_point_down_up", "anim_splat_to_idle", "anim_push", "cycle_breath", "cycle_walk",
    "pose_bird", "pose_teapot", "pose_angry", "pose_awake", "pose_confused", "pose_determind",
    "pose_devious", "pose_embarrassed", "pose_energetic", "pose_enthralled", "pose_excited",
    "pose_happy", "pose_indescribable", "pose_nerdy", "pose_okay", "pose_sad", "pose_scared",
    "pose_sleepy", "pose_thoughtful", "pose_working", "pose_quad_base", "cycle_quad_walk",
    "cycle_quad_run",
};

static const char* const morph_names[AVATAR_MORPH_COUNT] = {
    "down", "left", "right", "up", "close", "frown", "oh", "out", "side", "smile", "open",
    "wide", "rest", "bent", "bird0", "bird5", "evil0", "evil5", "fist0", "fist5", "point0",
    "point5",
};

static int32_t find(const char* const* table, int32_t count, const char* name)
{
    if (!name)
        return -1;
    for (int32_t i = 0; i < count; i++)
        if (strcasecmp(table[i], name) == 0)
            return i;
    return -1;
}

int32_t avatar_group_find(const char* name) { return find(group_names, AVATAR_GROUP_COUNT, name); }
int32_t avatar_part_find(const char* name) { return find(part_names, AVATAR_PART_COUNT, name); }
int32_t avatar_bone_find(const char* name) { return find(bone_names, AVATAR_BONE_NAME_COUNT, name); }
int32_t avatar_surface_find(const char* name) { return find(surface_names, AVATAR_SURFACE_COUNT, name); }
int32_t avatar_anim_find(const char* name) { return find(anim_names, AVATAR_ANIM_COUNT, name); }
int32_t avatar_morph_find(const char* name) { return find(morph_names, AVATAR_MORPH_COUNT, name); }

const char* avatar_group_name(int32_t index)
{
    assert(index >= 0 && index < AVATAR_GROUP_COUNT);
    return group_names[index];
}

const char* avatar_part_name(int32_t index)
{
    assert(index >= 0 && index < AVATAR_PART_COUNT);
    return part_names[index];
}

const char* avatar_surface_name(int32_t index)
{
    assert(index >= 0 && index < AVATAR_SURFACE_COUNT);
    return surface_names[index];
}

const char* avatar_anim_name(int32_t index)
{
    return index >= 0 && index < AVATAR_ANIM_COUNT ? anim_names[index] : nullptr;
}

const char* avatar_morph_name(int32_t index)
{
    return index >= 0 && index < AVATAR_MORPH_COUNT ? morph_names[index] : nullptr;
}
