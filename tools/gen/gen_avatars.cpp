// Generated avatar content: part meshes for every object group (materials named after the
// soul surfaces, morphs for hands, mouths and eyes), the 33 shared animations on the common
// skeleton, and the logo and pointer meshes.
//
// Sections: part meshes; poses and animations; logo and pointer; entry.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "tools/gen/gen.h"
#include "tools/gen/gen_shapes.h"
#include "tools/writer/wr_avatar.h"

// Default colours; souls recolour them by surface name.
enum : uint32_t {
    C_SKIN = 0xFFE8B894, C_LIPS = 0xFFC0605A, C_HAIR = 0xFF5A3A1E, C_HAIRHI = 0xFF7A5430, C_BEARD = 0xFF4A3018,
    C_SPECS = 0xFF202020, C_EYE = 0xFFF8F8F8, C_IRIS = 0xFF305880, C_BODY = 0xFF3C6EB4, C_BODYHI = 0xFF2C5494,
    C_BODYLO = 0xFF404850, C_FOOT = 0xFF603820, C_TOECAPS = 0xFF4A2A18, C_SOLE = 0xFF202020,
};

static std::string dir;

static bool save(gen_mesh* g, const char* folder, const char* name)
{
    std::string path = dir + "/" + folder + "/" + name + ".xox";
    return gen_mesh_save(g, path.c_str());
}

// ---------------------------------------------------------------------------------------
// Part meshes, each in the local space of the bone it hangs on (see the skeleton)

static bool body_mesh(const char* name, float rx, float ry, float rz)
{
    gen_mesh g;
    gen_mesh_material(&g, "body", C_BODY);
    gen_mesh_ellipsoid(&g, {0, 0.32f, 0}, {rx, ry, rz}, 16, 10);
    gen_mesh_material(&g, "bodyhi", C_BODYHI);
    gen_mesh_ellipsoid(&g, {0, 0.6f, 0}, {0.12f, 0.05f, 0.1f});
    gen_mesh_material(&g, "bodylo", C_BODYLO);
    gen_mesh_ellipsoid(&g, {0, 0.02f, 0}, {rx * 0.95f, 0.1f, rz * 0.95f});
    return save(&g, "avatar/xox", name);
}

static bool head_mesh(const char* name, float rx, float ry, float rz)
{
    gen_mesh g;
    gen_mesh_material(&g, "skin", C_SKIN);
    gen_mesh_ellipsoid(&g, {0, 0.2f, 0}, {rx, ry, rz}, 16, 10);
    gen_mesh_ellipsoid(&g, {0, 0, 0}, {0.07f, 0.08f, 0.07f}); // neck
    gen_mesh_material(&g, "eyebrows", C_HAIR);
    gen_mesh_box(&g, {-0.12f, 0.33f, -0.2f}, {-0.035f, 0.35f, -0.16f});
    gen_mesh_box(&g, {0.035f, 0.33f, -0.2f}, {0.12f, 0.35f, -0.16f});
    return save(&g, "avatar/xox", name);
}

static bool hair_mesh(const char* group_dir, const char* name, const char* material, uint32_t colour,
                      gen_v3 centre, gen_v3 radii)
{
    gen_mesh g;
    gen_mesh_material(&g, material, colour);
    gen_mesh_ellipsoid(&g, centre, radii, 14, 8);
    return save(&g, group_dir, name);
}

// The mouth with the morphs the mood poses drive.
static bool mouth_mesh(const char* name, float width)
{
    gen_mesh g;
    gen_mesh_material(&g, "lips", C_LIPS);
    gen_range r = gen_mesh_ellipsoid(&g, {0, 0, 0}, {width, 0.022f, 0.03f}, 14, 6);
    float curve = 0.04f / (width * width);
    gen_mesh_morph(&g, "smile", r, [&](const wr_xox_vertex& v, float* d) { d[1] = curve * v.x * v.x; });
    gen_mesh_morph(&g, "frown", r, [&](const wr_xox_vertex& v, float* d) { d[1] = -curve * v.x * v.x; });
    gen_mesh_morph(&g, "oh", r, [](const wr_xox_vertex& v, float* d) {
        d[0] = -0.4f * v.x;
        d[1] = 1.2f * v.y;
    });
    gen_mesh_morph(&g, "open", r, [](const wr_xox_vertex& v, float* d) { d[1] = 0.8f * v.y; });
    gen_mesh_morph(&g, "wide", r, [](const wr_xox_vertex& v, float* d) { d[0] = 0.3f * v.x; });
    return save(&g, "avatar/xox", name);
}

// The eye white with a blink: "close" flattens it to a slit.
static bool eye_mesh(const char* name, float rx, float ry)
{
    gen_mesh g;
    gen_mesh_material(&g, "eye", C_EYE, 0xFFFFFFFF, 0.3f);
    gen_range r = gen_mesh_ellipsoid(&g, {0, 0, 0}, {rx, ry, 0.03f}, 12, 8);
    gen_mesh_morph(&g, "close", r, [](const wr_xox_vertex& v, float* d) { d[1] = -0.9f * v.y; });
    gen_mesh_material(&g, "skin", C_SKIN);
    gen_range lid = gen_mesh_ellipsoid(&g, {0, ry * 0.75f, 0.004f}, {rx * 1.1f, ry * 0.35f, 0.032f}, 12, 4);
    gen_mesh_morph(&g, "close", lid, [&](const wr_xox_vertex& v, float* d) { d[1] = -ry * 0.75f; });
    return save(&g, "avatar/xox", name);
}

// An arm hanging from the shoulder, sleeve and hand; "fist0" closes the hand, "point0"
// stretches the finger.
static bool hand_mesh(const char* name, float sleeve, float palm)
{
    gen_mesh g;
    gen_mesh_material(&g, "bodyhi", C_BODYHI);
    gen_mesh_ellipsoid(&g, {0, -0.26f, 0}, {sleeve, 0.29f, sleeve}, 12, 8);
    gen_mesh_material(&g, "skin", C_SKIN);
    gen_range hand = gen_mesh_ellipsoid(&g, {0, -0.6f, 0}, {palm, 0.08f, palm * 0.8f}, 12, 8);
    gen_range finger = gen_mesh_ellipsoid(&g, {0, -0.69f, -0.02f}, {0.018f, 0.05f, 0.018f}, 8, 6);
    gen_range both = {hand.first, hand.count + finger.count};
    gen_mesh_morph(&g, "fist0", both, [](const wr_xox_vertex& v, float* d) {
        d[1] = (-0.6f - v.y) * 0.35f;
        d[0] = -0.2f * v.x;
    });
    gen_mesh_morph(&g, "point0", finger, [](const wr_xox_vertex& v, float* d) { d[1] = (v.y + 0.64f) * 0.8f; });
    return save(&g, "avatar/xox", name);
}

// A leg hanging from the hip down to the ground, with a shoe pointing forward (-z).
static bool foot_mesh(const char* name, float leg, float shoe)
{
    gen_mesh g;
    gen_mesh_material(&g, "bodylo", C_BODYLO);
    gen_mesh_ellipsoid(&g, {0, -0.46f, 0}, {leg, 0.48f, leg}, 12, 8);
    gen_mesh_material(&g, "socks", C_EYE);
    gen_mesh_ellipsoid(&g, {0, -0.88f, 0}, {leg * 0.8f, 0.06f, leg * 0.8f});
    gen_mesh_material(&g, "foot", C_FOOT);
    gen_mesh_ellipsoid(&g, {0, -0.93f, -0.05f}, {shoe, 0.06f, 0.15f});
    gen_mesh_material(&g, "toecaps", C_TOECAPS);
    gen_mesh_ellipsoid(&g, {0, -0.935f, -0.17f}, {shoe * 0.8f, 0.05f, 0.05f});
    gen_mesh_material(&g, "sole", C_SOLE);
    gen_mesh_box(&g, {-shoe, -1.0f, -0.21f}, {shoe, -0.97f, 0.1f});
    return save(&g, "avatar/xox", name);
}

static bool single(const char* name, const char* material, uint32_t colour, gen_v3 centre, gen_v3 radii)
{
    gen_mesh g;
    gen_mesh_material(&g, material, colour);
    gen_mesh_ellipsoid(&g, centre, radii, 12, 8);
    return save(&g, "avatar/xox", name);
}

static bool specs_mesh(const char* name, float w, float h)
{
    gen_mesh g;
    gen_mesh_material(&g, "specs", C_SPECS, 0xFFFFFFFF, 0.5f);
    for (float side : {-1.0f, 1.0f}) {
        float x = side * 0.075f;
        gen_mesh_box(&g, {x - w, 0.07f + h, -0.05f}, {x + w, 0.07f + h + 0.012f, -0.04f});
        gen_mesh_box(&g, {x - w, 0.07f - h - 0.012f, -0.05f}, {x + w, 0.07f - h, -0.04f});
        gen_mesh_box(&g, {x - w - 0.012f, 0.07f - h, -0.05f}, {x - w, 0.07f + h, -0.04f});
        gen_mesh_box(&g, {x + w, 0.07f - h, -0.05f}, {x + w + 0.012f, 0.07f + h, -0.04f});
        gen_mesh_box(&g, {side * 0.19f - 0.006f, 0.08f, -0.04f}, {side * 0.19f + 0.006f, 0.09f, 0.2f});
    }
    gen_mesh_box(&g, {-0.075f + w, 0.08f, -0.05f}, {0.075f - w, 0.09f, -0.04f});
    return save(&g, "avatar/xox", name);
}

static bool hat_top()
{
    gen_mesh g;
    gen_mesh_material(&g, "bodylo", 0xFF181818);
    gen_mesh_box(&g, {-0.14f, 0.38f, -0.14f}, {0.14f, 0.62f, 0.14f});
    gen_mesh_box(&g, {-0.24f, 0.36f, -0.24f}, {0.24f, 0.39f, 0.24f});
    gen_mesh_material(&g, "bodyhi", 0xFFA02020);
    gen_mesh_box(&g, {-0.145f, 0.39f, -0.145f}, {0.145f, 0.43f, 0.145f});
    return save(&g, "avatar/xox", "hat_top");
}

static bool hat_cap()
{
    gen_mesh g;
    gen_mesh_material(&g, "bodyhi", 0xFFC03030);
    gen_mesh_ellipsoid(&g, {0, 0.32f, 0}, {0.2f, 0.14f, 0.2f});
    gen_mesh_box(&g, {-0.12f, 0.33f, -0.34f}, {0.12f, 0.35f, -0.12f});
    return save(&g, "avatar/xox", "hat_cap");
}

static bool part_meshes()
{
    bool ok = true;
    ok = body_mesh("body_round", 0.25f, 0.36f, 0.17f) && ok;
    ok = body_mesh("body_slim", 0.2f, 0.38f, 0.13f) && ok;
    ok = head_mesh("head_round", 0.19f, 0.22f, 0.19f) && ok;
    ok = head_mesh("head_long", 0.16f, 0.26f, 0.18f) && ok;
    ok = hair_mesh("avatar/xox", "hair_mop", "hair", C_HAIR, {0, 0.3f, 0.02f}, {0.205f, 0.16f, 0.205f}) && ok;
    ok = hair_mesh("avatar/xox", "hair_spiky", "hairhi", C_HAIRHI, {0, 0.36f, 0.0f}, {0.15f, 0.16f, 0.15f}) && ok;
    ok = hair_mesh("avatar/xox", "hair_base_short", "hair", C_HAIR, {0, 0.26f, 0.04f}, {0.2f, 0.15f, 0.19f}) && ok;
    ok = hair_mesh("avatar/xox", "hair_base_long", "hairlo", C_HAIR, {0, 0.15f, 0.07f}, {0.21f, 0.26f, 0.18f}) && ok;
    ok = hair_mesh("avatar/xox", "hair_xtra_bun", "hairhi", C_HAIRHI, {0, 0.42f, 0.14f}, {0.08f, 0.08f, 0.08f}) && ok;
    ok = hair_mesh("avatar/xox", "hair_xtra_tail", "hairlo", C_HAIR, {0, 0.12f, 0.24f}, {0.05f, 0.2f, 0.05f}) && ok;
    ok = hair_mesh("avatar/xox", "beard_full", "beard", C_BEARD, {0, -0.05f, 0.03f}, {0.13f, 0.09f, 0.06f}) && ok;
    ok = hair_mesh("avatar/xox", "beard_goatee", "beard", C_BEARD, {0, -0.07f, -0.01f}, {0.04f, 0.06f, 0.03f}) && ok;
    ok = mouth_mesh("mouth_wide", 0.075f) && ok;
    ok = mouth_mesh("mouth_small", 0.05f) && ok;
    ok = single("inmouth_teeth", "eye", C_EYE, {0, 0.008f, -0.012f}, {0.045f, 0.01f, 0.02f}) && ok;
    ok = single("inmouth_tongue", "lips", 0xFFE07070, {0, -0.012f, -0.016f}, {0.03f, 0.008f, 0.025f}) && ok;
    ok = single("nose_button", "skin", C_SKIN, {0, 0, -0.02f}, {0.03f, 0.035f, 0.04f}) && ok;
    ok = single("nose_long", "skin", C_SKIN, {0, -0.01f, -0.05f}, {0.025f, 0.03f, 0.08f}) && ok;
    ok = specs_mesh("specs_round", 0.045f, 0.035f) && ok;
    ok = specs_mesh("specs_square", 0.055f, 0.03f) && ok;
    ok = eye_mesh("eye_round", 0.045f, 0.05f) && ok;
    ok = eye_mesh("eye_oval", 0.05f, 0.038f) && ok;
    ok = single("eyeball_dot", "iris", C_IRIS, {0, 0, -0.028f}, {0.02f, 0.022f, 0.01f}) && ok;
    ok = single("eyeball_big", "iris", C_IRIS, {0, 0, -0.027f}, {0.03f, 0.032f, 0.012f}) && ok;
    ok = single("ear_round", "skin", C_SKIN, {0, 0, 0}, {0.03f, 0.06f, 0.045f}) && ok;
    ok = single("ear_pointy", "skin", C_SKIN, {0, 0.04f, 0.01f}, {0.025f, 0.1f, 0.035f}) && ok;
    ok = hand_mesh("hand_glove", 0.065f, 0.065f) && ok;
    ok = hand_mesh("hand_mitt", 0.075f, 0.08f) && ok;
    ok = foot_mesh("foot_boot", 0.085f, 0.085f) && ok;
    ok = foot_mesh("foot_shoe", 0.075f, 0.07f) && ok;
    ok = hat_top() && ok;
    ok = hat_cap() && ok;
    ok = single("tail_fluffy", "hair", C_HAIR, {0, -0.04f, 0.16f}, {0.06f, 0.06f, 0.18f}) && ok;
    ok = single("tail_thin", "hair", C_HAIR, {0, -0.08f, 0.22f}, {0.02f, 0.02f, 0.26f}) && ok;
    ok = single("inhand_ball", "specs", 0xFFD02020, {0, -0.62f, -0.09f}, {0.07f, 0.07f, 0.07f}) && ok;
    ok = single("inhand_wand", "specs", 0xFF603010, {0, -0.6f, -0.2f}, {0.015f, 0.015f, 0.22f}) && ok;
    return ok;
}

// ---------------------------------------------------------------------------------------
// Poses and animations
//
// A pose is a set of keyed changes on the rest skeleton. Rotation signs, for a bone whose
// mesh hangs down (arms, legs): +x swings it forward (towards -z), +z swings a left limb
// out and -z a right one. For the head and the upper body, -x leans forward.

enum { HANDLE, CENTER, LEGS, UPPER, ARMS, BODY, HEAD, MOUTH, NOSE, TAIL, LWRIST, LHAND, LFOOT, LEYE,
       LEYEBALL, LEAR, RWRIST, RHAND, RFOOT, REYE, REYEBALL, REAR };
enum { PX, PY, PZ, RY, RX, RZ, SX, SY, SZ };

struct anim_builder {
    wr_xsx_anim a;
};

static void begin(anim_builder* b, float length)
{
    wr_avatar_skeleton(&b->a, length);
}

// Track k of a bone to a constant offset from its rest value (positions) or a value.
static void hold(anim_builder* b, int bone, int track, float value)
{
    float rest = b->a.bones[bone].tracks[track].keys[0].value;
    float v = track <= PZ ? rest + value : value;
    const float t[1] = {0};
    wr_avatar_set_track(&b->a, bone, track, t, &v, 1, WR_KEY_LINEAR);
}

// Keys at the given times (spline); position tracks are offsets from rest.
static void keys(anim_builder* b, int bone, int track, std::initializer_list<float> times,
                 std::initializer_list<float> values, uint32_t flags = WR_KEY_SPLINE)
{
    float rest = b->a.bones[bone].tracks[track].keys[0].value;
    std::vector<float> t(times), v(values);
    for (float& x : v)
        if (track <= PZ)
            x += rest;
    wr_avatar_set_track(&b->a, bone, track, t.data(), v.data(), (int32_t)t.size(), flags);
}

static void morph(anim_builder* b, int bone, const char* name, float value)
{
    const float t[1] = {0};
    wr_avatar_add_morph(&b->a, bone, name, t, &value, 1, WR_KEY_LINEAR);
}

static void morph_keys(anim_builder* b, int bone, const char* name, std::initializer_list<float> times,
                       std::initializer_list<float> values, uint32_t flags = WR_KEY_LINEAR)
{
    std::vector<float> t(times), v(values);
    wr_avatar_add_morph(&b->a, bone, name, t.data(), v.data(), (int32_t)t.size(), flags);
}

// Both arms: forward swing and outward spread (mirrored for the right arm).
static void arms(anim_builder* b, float lx, float lz, float rx, float rz)
{
    hold(b, LHAND, RX, lx);
    hold(b, LHAND, RZ, lz);
    hold(b, RHAND, RX, rx);
    hold(b, RHAND, RZ, -rz);
}

static void face(anim_builder* b, float smile, float frown, float oh, float close)
{
    if (smile)
        morph(b, MOUTH, "smile", smile);
    if (frown)
        morph(b, MOUTH, "frown", frown);
    if (oh)
        morph(b, MOUTH, "oh", oh);
    if (close) {
        morph(b, LEYE, "close", close);
        morph(b, REYE, "close", close);
    }
}

static void fists(anim_builder* b, float left, float right)
{
    if (left)
        morph(b, LHAND, "fist0", left);
    if (right)
        morph(b, RHAND, "fist0", right);
}

static bool save_anim(anim_builder* b, const char* name)
{
    std::string path = dir + "/avatar/xsx/" + name + ".xsx";
    if (wr_xsx_save(path.c_str(), &b->a))
        return true;
    fprintf(stderr, "dorvale_gen: cannot write %s\n", path.c_str());
    return false;
}

// A mood: arms, head tilt and turn, upper-body lean, face and fists.
struct mood {
    const char* name;
    float lx, lz, rx, rz;       // arms
    float head_x, head_z;       // nod (-x down) and tilt
    float lean;                 // upper body, -x forward
    float smile, frown, oh, close;
    float fist_l, fist_r;
};

static const mood moods[] = {
    {"pose_idle", 0.05f, 0.12f, 0.05f, 0.12f, 0, 0, 0, 0.2f, 0, 0, 0, 0, 0},
    {"pose_angry", 0.2f, 0.35f, 0.2f, 0.35f, -0.2f, 0, -0.15f, 0, 1, 0, 0.2f, 1, 1},
    {"pose_awake", 0, 0.08f, 0, 0.08f, 0.12f, 0, 0.05f, 0, 0, 0.5f, 0, 0, 0},
    {"pose_confused", 0, 0.1f, 2.4f, 0.45f, 0, 0.3f, 0, 0, 0.3f, 0.2f, 0, 0, 0},
    {"pose_determind", 0.35f, 0.2f, 0.35f, 0.2f, -0.1f, 0, -0.2f, 0, 0.3f, 0, 0, 1, 1},
    {"pose_devious", 0.8f, -0.35f, 0.8f, -0.35f, -0.25f, 0.1f, -0.05f, 0.7f, 0, 0, 0.4f, 0, 0},
    {"pose_embarrassed", 0.6f, -0.3f, 0.6f, -0.3f, -0.4f, 0.15f, -0.1f, 0, 0.2f, 0, 0.5f, 0, 0},
    {"pose_energetic", 0, 2.6f, 0, 2.6f, 0.2f, 0, 0.1f, 1, 0, 0, 0, 1, 1},
    {"pose_enthralled", 0.5f, 0.1f, 0.5f, 0.1f, 0.3f, 0, 0.1f, 0, 0, 1, 0, 0, 0},
    {"pose_excited", 2.9f, 0.3f, 2.9f, 0.3f, 0.15f, 0, 0.05f, 1, 0, 0.6f, 0, 0, 0},
    {"pose_happy", 0.1f, 0.4f, 0.1f, 0.4f, 0.05f, -0.12f, 0, 1, 0, 0, 0, 0, 0},
    {"pose_indescribable", 0, 2.2f, 1.4f, 0.1f, 0, 0.35f, 0.15f, 0, 0, 0.5f, 0, 0, 1},
    {"pose_nerdy", 0.3f, 0.05f, 2.6f, 0.55f, -0.15f, 0, -0.05f, 0.3f, 0, 0, 0, 0, 0},
    {"pose_okay", 0, 0.1f, 1.1f, 0.15f, 0, 0.08f, 0, 0.5f, 0, 0, 0, 0, 1},
    {"pose_sad", 0.15f, 0.02f, 0.15f, 0.02f, -0.5f, 0, -0.25f, 0, 1, 0, 0.3f, 0, 0},
    {"pose_scared", 1.6f, 0.4f, 1.6f, 0.4f, 0.1f, 0, 0.2f, 0, 0, 1, 0, 0, 0},
    {"pose_sleepy", 0.05f, 0.03f, 0.05f, 0.03f, -0.3f, 0.4f, 0, 0, 0, 0.2f, 0.85f, 0, 0},
    {"pose_thoughtful", 0.8f, -0.5f, 2.3f, 0.6f, 0.15f, -0.1f, 0, 0, 0.1f, 0, 0, 0, 1},
    {"pose_working", 1.2f, 0.05f, 1.2f, 0.05f, -0.3f, 0, -0.15f, 0, 0, 0, 0, 0, 0},
    {"pose_gunner", 1.45f, -0.05f, 1.55f, 0.05f, -0.05f, 0, -0.05f, 0, 0.2f, 0, 0, 1, 0},
    {"pose_hands_on_hips", 0.1f, 0.75f, 0.1f, 0.75f, 0.05f, 0, 0.05f, 0.3f, 0, 0, 0, 1, 1},
};

static bool mood_pose(const mood& m)
{
    anim_builder b;
    begin(&b, 1.0f);
    arms(&b, m.lx, m.lz, m.rx, m.rz);
    hold(&b, HEAD, RX, m.head_x);
    hold(&b, HEAD, RZ, m.head_z);
    hold(&b, UPPER, RX, m.lean);
    face(&b, m.smile, m.frown, m.oh, m.close);
    fists(&b, m.fist_l, m.fist_r);
    return save_anim(&b, m.name);
}

static bool pose_point(const char* name, bool up_first)
{
    anim_builder b;
    begin(&b, 2.0f);
    float up = 2.9f, down = 0.7f;
    keys(&b, RHAND, RX, {0, 2}, {up_first ? up : down, up_first ? down : up});
    hold(&b, LHAND, RZ, 0.1f);
    keys(&b, HEAD, RX, {0, 2}, {up_first ? 0.3f : -0.25f, up_first ? -0.25f : 0.3f});
    morph(&b, RHAND, "point0", 1);
    morph(&b, RHAND, "fist0", 0.6f);
    face(&b, 0.3f, 0, 0, 0);
    return save_anim(&b, name);
}

static bool anim_splat()
{
    anim_builder b;
    begin(&b, 1.5f);
    keys(&b, CENTER, SY, {0, 0.4f, 1.5f}, {0.35f, 0.7f, 1});
    keys(&b, CENTER, SX, {0, 0.4f, 1.5f}, {1.5f, 1.2f, 1});
    keys(&b, CENTER, PY, {0, 0.4f, 1.5f}, {-0.65f, -0.3f, 0});
    keys(&b, LHAND, RZ, {0, 1.5f}, {1.5f, 0.12f});
    keys(&b, RHAND, RZ, {0, 1.5f}, {-1.5f, -0.12f});
    keys(&b, LFOOT, RZ, {0, 1.5f}, {0.9f, 0});
    keys(&b, RFOOT, RZ, {0, 1.5f}, {-0.9f, 0});
    morph_keys(&b, MOUTH, "oh", {0, 0.8f, 1.5f}, {1, 0.3f, 0});
    morph_keys(&b, LEYE, "close", {0, 0.6f, 1.5f}, {1, 0.2f, 0});
    morph_keys(&b, REYE, "close", {0, 0.6f, 1.5f}, {1, 0.2f, 0});
    return save_anim(&b, "anim_splat_to_idle");
}

static bool anim_push()
{
    anim_builder b;
    begin(&b, 1.2f);
    keys(&b, UPPER, RX, {0, 0.6f, 1.2f}, {-0.15f, -0.45f, -0.15f});
    keys(&b, LHAND, RX, {0, 0.6f, 1.2f}, {1.2f, 1.7f, 1.2f});
    keys(&b, RHAND, RX, {0, 0.6f, 1.2f}, {1.2f, 1.7f, 1.2f});
    keys(&b, LFOOT, RX, {0, 0.6f, 1.2f}, {0.1f, 0.45f, 0.1f});
    keys(&b, RFOOT, RX, {0, 0.6f, 1.2f}, {-0.1f, -0.4f, -0.1f});
    keys(&b, CENTER, PZ, {0, 0.6f, 1.2f}, {0, -0.08f, 0});
    face(&b, 0, 0.6f, 0, 0.3f);
    return save_anim(&b, "anim_push");
}

static bool cycle_breath()
{
    anim_builder b;
    begin(&b, 3.0f);
    keys(&b, BODY, SX, {0, 1.5f, 3}, {1, 1.04f, 1});
    keys(&b, BODY, SZ, {0, 1.5f, 3}, {1, 1.06f, 1});
    keys(&b, HEAD, RX, {0, 1.5f, 3}, {0, 0.04f, 0});
    keys(&b, ARMS, PY, {0, 1.5f, 3}, {0, 0.015f, 0});
    keys(&b, LHAND, RZ, {0, 1.5f, 3}, {0.1f, 0.16f, 0.1f});
    keys(&b, RHAND, RZ, {0, 1.5f, 3}, {-0.1f, -0.16f, -0.1f});
    for (int eye : {LEYE, REYE})
        morph_keys(&b, eye, "close", {0, 2.0f, 2.08f, 2.16f, 3}, {0, 0, 1, 0, 0});
    morph(&b, MOUTH, "smile", 0.15f);
    return save_anim(&b, "cycle_breath");
}

static bool cycle_walk()
{
    anim_builder b;
    begin(&b, 1.0f);
    const float s = 0.5f;
    keys(&b, LFOOT, RX, {0, 0.25f, 0.5f, 0.75f, 1}, {s, 0, -s, 0, s});
    keys(&b, RFOOT, RX, {0, 0.25f, 0.5f, 0.75f, 1}, {-s, 0, s, 0, -s});
    keys(&b, LHAND, RX, {0, 0.25f, 0.5f, 0.75f, 1}, {-s * 0.8f, 0, s * 0.8f, 0, -s * 0.8f});
    keys(&b, RHAND, RX, {0, 0.25f, 0.5f, 0.75f, 1}, {s * 0.8f, 0, -s * 0.8f, 0, s * 0.8f});
    hold(&b, LHAND, RZ, 0.08f);
    hold(&b, RHAND, RZ, -0.08f);
    keys(&b, CENTER, PY, {0, 0.25f, 0.5f, 0.75f, 1}, {-0.04f, 0.01f, -0.04f, 0.01f, -0.04f});
    keys(&b, UPPER, RY, {0, 0.5f, 1}, {0.08f, -0.08f, 0.08f});
    hold(&b, UPPER, RX, -0.06f);
    face(&b, 0.3f, 0, 0, 0);
    return save_anim(&b, "cycle_walk");
}

static bool pose_bird()
{
    anim_builder b;
    begin(&b, 1.0f);
    arms(&b, 0, 1.5f, 0, 1.5f);
    hold(&b, HEAD, RX, 0.25f);
    morph(&b, LHAND, "bird0", 1);
    morph(&b, RHAND, "bird0", 1);
    face(&b, 0, 0, 0.7f, 0);
    return save_anim(&b, "pose_bird");
}

static bool pose_teapot()
{
    anim_builder b;
    begin(&b, 1.0f);
    arms(&b, 0.2f, 0.75f, 0.3f, 1.3f);
    hold(&b, UPPER, RZ, 0.2f);
    hold(&b, HEAD, RZ, -0.15f);
    fists(&b, 1, 0);
    face(&b, 0.5f, 0, 0, 0);
    return save_anim(&b, "pose_teapot");
}

// On all fours: the upper body tips forward, arms and shortened legs reach the ground.
static void quad_base(anim_builder* b)
{
    hold(b, CENTER, PY, -0.4f);
    hold(b, UPPER, RX, -1.35f);
    hold(b, HEAD, RX, 1.15f);
    hold(b, LFOOT, SY, 0.6f);
    hold(b, RFOOT, SY, 0.6f);
    hold(b, LHAND, SY, 0.72f);
    hold(b, RHAND, SY, 0.72f);
    hold(b, TAIL, RX, 0.4f);
}

static bool quad_cycle(const char* name, float length, float swing, float bob)
{
    anim_builder b;
    begin(&b, length);
    quad_base(&b);
    float q = length / 4;
    keys(&b, LFOOT, RX, {0, q, 2 * q, 3 * q, length}, {swing, 0, -swing, 0, swing});
    keys(&b, RFOOT, RX, {0, q, 2 * q, 3 * q, length}, {-swing, 0, swing, 0, -swing});
    keys(&b, LHAND, RX, {0, q, 2 * q, 3 * q, length}, {1.35f - swing, 1.35f, 1.35f + swing, 1.35f, 1.35f - swing});
    keys(&b, RHAND, RX, {0, q, 2 * q, 3 * q, length}, {1.35f + swing, 1.35f, 1.35f - swing, 1.35f, 1.35f + swing});
    keys(&b, CENTER, PY, {0, q, 2 * q, 3 * q, length}, {-0.4f - bob, -0.4f, -0.4f - bob, -0.4f, -0.4f - bob});
    keys(&b, TAIL, RY, {0, 2 * q, length}, {0.4f, -0.4f, 0.4f});
    face(&b, 0.4f, 0, swing > 0.5f ? 0.6f : 0, 0);
    return save_anim(&b, name);
}

static bool animations()
{
    bool ok = true;
    anim_builder base;
    begin(&base, 1.0f);
    ok = save_anim(&base, "_base") && ok;
    for (const mood& m : moods)
        ok = mood_pose(m) && ok;
    ok = pose_point("pose_point_up_down", true) && ok;
    ok = pose_point("pose_point_down_up", false) && ok;
    ok = anim_splat() && ok;
    ok = anim_push() && ok;
    ok = cycle_breath() && ok;
    ok = cycle_walk() && ok;
    ok = pose_bird() && ok;
    ok = pose_teapot() && ok;
    anim_builder quad;
    begin(&quad, 1.0f);
    quad_base(&quad);
    hold(&quad, LHAND, RX, 1.35f);
    hold(&quad, RHAND, RX, 1.35f);
    ok = save_anim(&quad, "pose_quad_base") && ok;
    ok = quad_cycle("cycle_quad_walk", 1.2f, 0.35f, 0.02f) && ok;
    ok = quad_cycle("cycle_quad_run", 0.6f, 0.7f, 0.06f) && ok;
    return ok;
}

// ---------------------------------------------------------------------------------------
// Logo and pointer

// Three block letters "QEM" in the x-y plane, about two units wide, facing -z.
static bool logo()
{
    gen_mesh g;
    const float d = 0.08f;
    auto block = [&](float x0, float y0, float x1, float y1) { gen_mesh_box(&g, {x0, y0, -d}, {x1, y1, d}); };
    gen_mesh_material(&g, "logo", 0xFFF0C020, 0xFFFFFFFF, 0.3f);
    // Q
    block(-1.0f, -0.4f, -0.88f, 0.4f);
    block(-0.52f, -0.4f, -0.4f, 0.4f);
    block(-0.88f, 0.28f, -0.52f, 0.4f);
    block(-0.88f, -0.4f, -0.52f, -0.28f);
    block(-0.56f, -0.55f, -0.4f, -0.36f);
    gen_mesh_material(&g, "logohi", 0xFFE04020, 0xFFFFFFFF, 0.3f);
    // E
    block(-0.3f, -0.4f, -0.18f, 0.4f);
    block(-0.18f, 0.28f, 0.2f, 0.4f);
    block(-0.18f, -0.06f, 0.12f, 0.06f);
    block(-0.18f, -0.4f, 0.2f, -0.28f);
    gen_mesh_material(&g, "logolo", 0xFF2060E0, 0xFFFFFFFF, 0.3f);
    // M
    block(0.3f, -0.4f, 0.42f, 0.4f);
    block(0.88f, -0.4f, 1.0f, 0.4f);
    block(0.42f, 0.28f, 0.88f, 0.4f);
    block(0.59f, -0.1f, 0.71f, 0.28f);
    return save(&g, "logos/xox", "qem");
}

// A small arrow whose tip is at the origin, pointing up and to the left.
static bool pointer()
{
    gen_mesh g;
    gen_mesh_material(&g, "body", 0xFFF8F8F8, 0xFFFFFFFF, 0.5f);
    gen_mesh_ellipsoid(&g, {0.06f, -0.06f, 0}, {0.03f, 0.09f, 0.03f}, 10, 6);
    gen_mesh_material(&g, "bodyhi", 0xFFE02020, 0xFFFFFFFF, 0.5f);
    gen_mesh_box(&g, {0.02f, -0.1f, -0.02f}, {0.1f, -0.02f, 0.02f});
    return save(&g, "objects/xox", "pointer");
}

// ---------------------------------------------------------------------------------------
// Entry

bool gen_avatars(const char* data_dir)
{
    dir = data_dir;
    std::error_code ec;
    for (const char* sub : {"/avatar/xox", "/avatar/xsx", "/logos/xox", "/objects/xox"})
        std::filesystem::create_directories(dir + sub, ec);
    if (ec) {
        fprintf(stderr, "dorvale_gen: cannot make the avatar folders: %s\n", ec.message().c_str());
        return false;
    }
    bool ok = part_meshes();
    ok = animations() && ok;
    ok = logo() && ok;
    ok = pointer() && ok;
    return ok;
}
