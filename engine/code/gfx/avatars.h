// The avatar manager GFX.avatars: the mesh choices of every object group read from
// local/avatar/xox_links.lua, the 33 shared animations that avatars blend, and the pools of
// avatars and souls.
#pragma once

#include <cstdint>

#include "engine/code/gfx/avatar_names.h"
#include "engine/code/pool.h"

struct xsx_anim;
struct xsx_bone;

// One mesh choice of an object group.
struct xox_link {
    char name[64]; // the entry's key
    char xox[64];  // mesh file, used as "data/avatar/xox/%s.xox"; empty for none
    float boi;
    float grl;
};

struct avatar_group {
    const char* name;
    int32_t count;
    xox_link* entries; // into the manager's table
};

// An animation with the bone that moves each part (null where it has none).
struct avatar_anim_slot {
    xsx_anim* anim;
    xsx_bone* part_bones[AVATAR_PART_COUNT];
};

struct avatars {
    avatar_group groups[AVATAR_GROUP_COUNT];
    avatar_anim_slot anims[AVATAR_ANIM_COUNT];
    int32_t link_count;
    xox_link* links;
    pool avatar_pool; // live list: the avatars handed out
    int32_t avatar_count;
    pool soul_pool;   // live list: the souls handed out
    int32_t soul_count;
};

// False when the mesh-choice table cannot be allocated or a shared animation cannot be
// loaded. A missing or broken xox_links.lua only leaves the groups empty.
bool avatars_setup(avatars* m);
void avatars_clean(avatars* m); // frees avatars, souls and links; the animations go with GFX.xsxs
bool avatars_reset(avatars* m);
// Loads "data/avatar/xsx/<name>.xsx" into the slot (freeing what it held) and maps its
// bones to parts.
bool avatar_anim_load(avatar_anim_slot* slot, const char* name);
// The entry of that name (case ignored), else the last "default", else the first; null for
// an empty group.
xox_link* avatars_find_xox_link(const avatar_group* group, const char* name);
