// The avatar skeleton shared by the generated animations and the tests: 22 bones, one per
// avatar part, named after the parts (left and right prefixes, left bones flagged mirrored),
// about two units tall with the origin between the feet and the face towards -z.
//
// Arms hang from the hand bones (at the shoulders) and legs from the foot bones (at the
// hips), so the hand and foot meshes carry the limbs and a pose swings them whole.
#pragma once

#include <cstdint>

#include "tools/writer/wr_mesh.h"

enum : int32_t { WR_AVATAR_BONES = 22 };

// Bone index by part index: the skeleton lists its bones in part order.
struct wr_avatar_rest {
    const char* name;
    int32_t parent; // -1 for the root
    float x, y, z;  // rest position relative to the parent
};

const wr_avatar_rest* wr_avatar_rest_pose(void); // WR_AVATAR_BONES entries

// A track holding one value at time 0.
wr_xsx_track wr_track_const(const char* name, float value);

// The rest pose as an animation: every bone with its nine transform tracks at one key
// (rest position, no rotation, scale 1) and no morph tracks; start 0, the given length.
void wr_avatar_skeleton(wr_xsx_anim* out, float length);

// Replaces track k of a bone with keys (time, value) pairs, all of the given interpolation.
void wr_avatar_set_track(wr_xsx_anim* anim, int32_t bone, int32_t track, const float* times,
                         const float* values, int32_t n, uint32_t flags);
// Adds a morph track to a bone.
void wr_avatar_add_morph(wr_xsx_anim* anim, int32_t bone, const char* morph, const float* times,
                         const float* values, int32_t n, uint32_t flags);
