// Animations: key interpolation, the order of a bone's rotations and scales, the parent
// chain in the row-vector convention, and keys that must be refused (damaged files are in
// the mesh tests, morph tracks are seen in the avatar's mesh weights, the transforms given
// to the device as pixels of the avatar render).

#include "engine/code/gfx/xsx.h"

#include <cmath>

#include "engine/code/gfx/gfx.h"
#include "tests/engine/gfx/avatar_fixture.h"

using Xsx = GfxTest;

static xsx_anim* load(const wr_xsx_anim& a, const char* path = "a.xsx")
{
    EXPECT_TRUE(wr_xsx_save(path, &a));
    return xsxs_load(&GFX.xsxs, path);
}

// One bone whose position-x track holds the given keys.
static xsx_anim* keyed(const std::vector<wr_xsx_key>& keys)
{
    wr_xsx_anim a = one_bone_anim("body", 0, 0, 0);
    a.bones[0].tracks[0].keys = keys;
    return load(a);
}

static float at(xsx_anim* anim, float t)
{
    xsx_track_value(&anim->tracks[0], t);
    return anim->tracks[0].value;
}

TEST_F(Xsx, KeysAreEvaluatedByTheEndKeysFlagsWithSplineTangentsAndMustRise)
{
    const std::vector<wr_xsx_key> none = {}, one = {{2, 7}};
    // The end key's low four bits choose the segment's interpolation: 0 spline, 3 linear,
    // anything else a step (0x13 is linear, 0xF7 a step).
    const std::vector<wr_xsx_key> mixed = {{0, 0, 0}, {1, 10, 3}, {2, 20, 1}, {3, 30, 0x13}, {4, 40, 0xF7}};
    // Spline from (0,0) to (1,1) to (2,0): m1 = 1 (no p0), m2 = 0 at s = 0.5 gives 0.625.
    const std::vector<wr_xsx_key> hill = {{0, 0, 0}, {1, 1, 0}, {2, 0, 0}};
    // Keys (0,0) (1,1) (2,3) (3,2); the segment 1..2 with tension 0.5 at key 1, continuity
    // 0.25 and bias -0.5 at key 2. By hand: a = 0.5, b = 0.5 so m1 = 0.5 * (0.5 + 1) = 0.75;
    // a' = 1 * 0.75 * 0.5 = 0.375, b' = 1.25 * 1.5 = 1.875, m2 = 0.5 * (0.75 - 1.875) = -0.5625.
    // At s = 0.5: 0.5 * 1 + 0.5 * 3 + 0.125 * 0.75 - 0.125 * -0.5625 = 2.1640625.
    const std::vector<wr_xsx_key> tcb = {{0, 0, 0}, {1, 1, 0, 0.5f, 0, 0}, {2, 3, 0, 0, 0.25f, -0.5f}, {3, 2, 0}};
    struct {
        const std::vector<wr_xsx_key>& keys;
        float t, value;
    } cases[] = {
        {none, 1, 0}, {one, -10, 7}, {one, 2, 7}, {one, 10, 7},
        {mixed, -1, 0}, {mixed, 0.25f, 2.5f}, {mixed, 1, 10}, // s = 1 at the end key of a linear segment
        {mixed, 1.5f, 10}, {mixed, 2, 10},                    // step: the start key's value up to the end key
        {mixed, 2.5f, 25}, {mixed, 3.5f, 30}, {mixed, 9, 40},
        {hill, 0.5f, 0.625f}, {hill, 1.5f, 0.625f}, {hill, 1, 1}, {tcb, 1.5f, 2.1640625f},
    };
    for (const auto& c : cases) {
        xsx_anim* a = keyed(c.keys);
        ASSERT_NE(a, nullptr);
        a->tracks[0].value = 5; // each evaluation sets the value afresh
        EXPECT_NEAR(at(a, c.t), c.value, 1e-5f) << "keys " << c.keys.size() << " at " << c.t;
    }

    // Keys that do not rise are refused, a segment of zero length too.
    int32_t before = GFX.xsxs.count;
    EXPECT_EQ(keyed({{0, 0}, {0, 1}}), nullptr);
    EXPECT_EQ(keyed({{1, 0}, {0, 1}}), nullptr);
    EXPECT_EQ(GFX.xsxs.count, before);
}

TEST_F(Xsx, AnimateBuildsYxzRotationAndScalesByBaseScaleThroughTheParentChain)
{
    wr_xsx_anim a = one_bone_anim("center", 0, 5, 0);
    a.bones[0].tracks[5].keys[0].value = (float)M_PI / 2; // about z
    wr_xsx_anim child = one_bone_anim("body", 1, 0, 0);
    child.bones[0].parent = 0;
    child.bones[0].tracks[6].keys[0].value = 2;
    a.bones.push_back(child.bones[0]);
    a.start = 3;
    xsx_anim* anim = load(a);
    ASSERT_NE(anim, nullptr);
    anim->bones[1].base_scale = {0.5f, 3, 1};
    anim->time = 1; // evaluated at start + time
    xsx_animate(anim);
    EXPECT_FLOAT_EQ(anim->bones[1].transform.scale.x, 1.0f);
    EXPECT_FLOAT_EQ(anim->bones[1].transform.scale.y, 3.0f);
    // The child's origin: (1, 0, 0) turned a quarter about z is (0, 1, 0), then moved to y 5.
    const mat4& w = anim->bones[1].world;
    EXPECT_NEAR(w.m[12], 0.0f, 1e-5f);
    EXPECT_NEAR(w.m[13], 6.0f, 1e-5f);
    EXPECT_NEAR(w.m[14], 0.0f, 1e-5f);

    // Three turns: the orientation is Ry(t3) x Rx(t4) x Rz(t5).
    wr_xsx_anim r = one_bone_anim("body", 0, 0, 0);
    r.bones[0].tracks[3].keys[0].value = 0.3f;
    r.bones[0].tracks[4].keys[0].value = 0.5f;
    r.bones[0].tracks[5].keys[0].value = 0.7f;
    xsx_anim* rot = load(r, "r.xsx");
    xsx_animate(rot);
    quat want = {0, 0, 0, 1}, step;
    quat_rotation_z(&step, 0.7f);
    quat_mul(&want, &step, &want);
    quat_rotation_x(&step, 0.5f);
    quat_mul(&want, &step, &want);
    quat_rotation_y(&step, 0.3f);
    quat_mul(&want, &step, &want);
    const quat& got = rot->bones[0].transform.orientation;
    EXPECT_NEAR(got.x, want.x, 1e-6f);
    EXPECT_NEAR(got.y, want.y, 1e-6f);
    EXPECT_NEAR(got.z, want.z, 1e-6f);
    EXPECT_NEAR(got.w, want.w, 1e-6f);
}
