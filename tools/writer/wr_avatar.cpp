// The avatar skeleton shared by generated animations and tests.

#include "tools/writer/wr_avatar.h"

static const wr_avatar_rest rest[WR_AVATAR_BONES] = {
    {"handle", -1, 0, 0, 0},
    {"center", 0, 0, 1.0f, 0},          // hips
    {"legs", 1, 0, 0, 0},
    {"upper", 1, 0, 0, 0},
    {"arms", 3, 0, 0.55f, 0},           // shoulder line
    {"body", 3, 0, 0, 0},
    {"head", 5, 0, 0.62f, 0},           // top of the neck
    {"mouth", 6, 0, 0.1f, -0.17f},
    {"nose", 6, 0, 0.2f, -0.2f},
    {"tail", 1, 0, 0.05f, 0.13f},
    {"left_wrist", 4, 0.3f, 0, 0},
    {"left_hand", 10, 0, 0, 0},         // the arm hangs from here
    {"left_foot", 2, 0.12f, 0, 0},      // the leg hangs from here
    {"left_eye", 6, 0.075f, 0.27f, -0.165f},
    {"left_eyeball", 13, 0, 0, 0},
    {"left_ear", 6, 0.2f, 0.2f, 0},
    {"right_wrist", 4, -0.3f, 0, 0},
    {"right_hand", 16, 0, 0, 0},
    {"right_foot", 2, -0.12f, 0, 0},
    {"right_eye", 6, -0.075f, 0.27f, -0.165f},
    {"right_eyeball", 19, 0, 0, 0},
    {"right_ear", 6, -0.2f, 0.2f, 0},
};

const wr_avatar_rest* wr_avatar_rest_pose(void) { return rest; }

wr_xsx_track wr_track_const(const char* name, float value)
{
    wr_xsx_track t;
    t.name = name;
    wr_xsx_key k;
    k.time = 0;
    k.value = value;
    t.keys.push_back(k);
    return t;
}

void wr_avatar_skeleton(wr_xsx_anim* out, float length)
{
    static const char* const names[9] = {"pos_x", "pos_y", "pos_z", "rot_y", "rot_x", "rot_z",
                                          "scale_x", "scale_y", "scale_z"};
    out->bones.clear();
    out->start = 0;
    out->length = length;
    for (const wr_avatar_rest& r : rest) {
        wr_xsx_bone b;
        b.name = r.name;
        b.parent = r.parent;
        b.flags = b.name.compare(0, 5, "left_") == 0 ? 1 : 0;
        const float values[9] = {r.x, r.y, r.z, 0, 0, 0, 1, 1, 1};
        for (int k = 0; k < 9; k++)
            b.tracks.push_back(wr_track_const(names[k], values[k]));
        out->bones.push_back(b);
    }
}

static wr_xsx_track keyed(const char* name, const float* times, const float* values, int32_t n, uint32_t flags)
{
    wr_xsx_track t;
    t.name = name;
    for (int32_t i = 0; i < n; i++) {
        wr_xsx_key k;
        k.time = times[i];
        k.value = values[i];
        k.flags = flags;
        t.keys.push_back(k);
    }
    return t;
}

void wr_avatar_set_track(wr_xsx_anim* anim, int32_t bone, int32_t track, const float* times,
                         const float* values, int32_t n, uint32_t flags)
{
    wr_xsx_track& t = anim->bones[bone].tracks[track];
    t = keyed(t.name.c_str(), times, values, n, flags);
}

void wr_avatar_add_morph(wr_xsx_anim* anim, int32_t bone, const char* morph, const float* times,
                         const float* values, int32_t n, uint32_t flags)
{
    anim->bones[bone].tracks.push_back(keyed(morph, times, values, n, flags));
}
