// Animations: key interpolation, the order of a bone's rotations and scales, the parent
// chain in the row-vector convention, and files that must be refused (morph tracks are seen
// in the avatar's mesh weights, the transforms given to the device as pixels of the avatar
// render).

#include "engine/code/gfx/xsx.h"

#include <cmath>

#include "engine/code/files.h"
#include "engine/code/gfx/gfx.h"
#include "tests/engine/gfx/avatar_fixture.h"
#include "tools/writer/wr_avatar.h"

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

TEST_F(Xsx, KeysAreEvaluatedAtTheEndsAndByTheEndKeysFlagsAndMustRise)
{
    xsx_anim* none = keyed({});
    ASSERT_NE(none, nullptr);
    none->tracks[0].value = 5;
    EXPECT_EQ(at(none, 1), 0.0f);
    xsx_anim* one = keyed({{2, 7}});
    EXPECT_EQ(at(one, -10), 7.0f);
    EXPECT_EQ(at(one, 2), 7.0f);
    EXPECT_EQ(at(one, 10), 7.0f);

    // The end key's low four bits choose the segment's interpolation.
    xsx_anim* mixed = keyed({{0, 0, 0}, {1, 10, 3}, {2, 20, 1}, {3, 30, 0x13}, {4, 40, 0xF7}});
    ASSERT_NE(mixed, nullptr);
    EXPECT_EQ(at(mixed, -1), 0.0f);
    EXPECT_FLOAT_EQ(at(mixed, 0.25f), 2.5f); // linear
    EXPECT_EQ(at(mixed, 1), 10.0f);          // s = 1 at the end key of a linear segment
    EXPECT_EQ(at(mixed, 1.5f), 10.0f);       // step keeps the start key's value
    EXPECT_EQ(at(mixed, 2), 10.0f);          // ... up to and including the end key's time
    EXPECT_FLOAT_EQ(at(mixed, 2.5f), 25.0f); // 0x13: linear
    EXPECT_EQ(at(mixed, 3.5f), 30.0f);       // 0xF7: step
    EXPECT_EQ(at(mixed, 9), 40.0f);

    // Keys that do not rise are refused, a segment of zero length too.
    int32_t before = GFX.xsxs.count;
    EXPECT_EQ(keyed({{0, 0}, {0, 1}}), nullptr);
    EXPECT_EQ(keyed({{1, 0}, {0, 1}}), nullptr);
    EXPECT_EQ(GFX.xsxs.count, before);
}

TEST_F(Xsx, SplineSegmentsUseHalfSumTangentsAtTheEndsAndTcbInside)
{
    xsx_anim* a = keyed({{0, 0, 0}, {1, 1, 0}, {2, 0, 0}});
    ASSERT_NE(a, nullptr);
    EXPECT_FLOAT_EQ(at(a, 0.5f), 0.625f); // m1 = 1 (no p0), m2 = 0
    EXPECT_FLOAT_EQ(at(a, 1.5f), 0.625f);
    EXPECT_FLOAT_EQ(at(a, 1), 1.0f);

    // Keys (0,0) (1,1) (2,3) (3,2); the segment 1..2 with tension 0.5 at key 1, continuity
    // 0.25 and bias -0.5 at key 2. By hand: a = 0.5, b = 0.5 so m1 = 0.5 * (0.5 + 1) = 0.75;
    // a' = 1 * 0.75 * 0.5 = 0.375, b' = 1.25 * 1.5 = 1.875, m2 = 0.5 * (0.75 - 1.875) = -0.5625.
    // At s = 0.5: 0.5 * 1 + 0.5 * 3 + 0.125 * 0.75 - 0.125 * -0.5625 = 2.1640625.
    wr_xsx_key k1 = {1, 1, 0, 0.5f, 0, 0};
    wr_xsx_key k2 = {2, 3, 0, 0, 0.25f, -0.5f};
    xsx_anim* tcb = keyed({{0, 0, 0}, k1, k2, {3, 2, 0}});
    ASSERT_NE(tcb, nullptr);
    EXPECT_NEAR(at(tcb, 1.5f), 2.1640625f, 1e-5f);
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
    EXPECT_EQ(anim->bones[1].parent, &anim->bones[0]);
    EXPECT_EQ(anim->bones[0].parent, nullptr);
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

// Truncations and a run of byte changes of a two-bone animation with morph tracks: each
// file is refused or loads into an instance that animates and draws safely.
TEST_F(Xsx, DamagedFilesAreRefusedOrStaySafeToUse)
{
    wr_xsx_anim a = one_bone_anim("hand", 0, 1, 0);
    a.bones.push_back(a.bones[0]);
    a.bones[1].parent = 0;
    a.bones[1].tracks.push_back(wr_track_const("fist0", 1));
    a.bones[0].tracks[3].keys = {{0, 0, 0}, {1, 1, 0}, {2, 0, 3}};
    wr_buf good;
    wr_xsx_file(&good, &a);
    int32_t before = GFX.xsxs.count;
    auto exercise = [&](const wr_buf& b) {
        wr_buf_save(&b, "d.xsx");
        xsx_anim* anim = xsxs_load(&GFX.xsxs, "d.xsx");
        if (!anim)
            return;
        anim->time = 0.5f;
        xsx_animate(anim);
        xsx_draw(anim);
        xsxs_free(&GFX.xsxs, anim);
    };
    for_each_damaged(good, 9, 777, exercise);
    EXPECT_EQ(GFX.xsxs.count, before);
}
