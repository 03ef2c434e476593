// The mesh and animation writers: the exact layout of the smallest files of each kind, and
// richer files read back through the loader's checked accessors.

#include <gtest/gtest.h>

#include <cstring>

#include "engine/code/files.h"
#include "tools/writer/wr_avatar.h"
#include "tools/writer/wr_mesh.h"

static uint32_t word(const wr_buf& b, size_t at)
{
    uint32_t v;
    memcpy(&v, b.bytes.data() + at, 4);
    return v;
}

static float real(const wr_buf& b, size_t at)
{
    float v;
    memcpy(&v, b.bytes.data() + at, 4);
    return v;
}

TEST(MeshWriter, OneTriangleMeshHasTheDocumentedLayout)
{
    wr_xox_mesh m;
    m.vertices = {{0, 0, 0, 0, 0, -1, 0, 0}, {0, 1, 0, 0, 0, -1, 0, 1}, {1, 0, 0, 0, 0, -1, 1, 0}};
    m.indices = {0, 1, 2};
    wr_xox_material mat;
    mat.name = "skin";
    mat.strips = {3};
    m.materials.push_back(mat);
    wr_buf f;
    wr_xox_file(&f, &m);
    ASSERT_EQ(f.bytes.size(), 260u);
    EXPECT_EQ(word(f, 0), 0x584F5830u);
    EXPECT_EQ(word(f, 4), 19u);
    EXPECT_EQ(word(f, 8), 248u);
    const size_t b = 12;
    const uint32_t head[13] = {1, 0, 3, 0, 3, 0, 0, 56, 0, 128, 236, 0, 0};
    for (int i = 0; i < 13; i++)
        EXPECT_EQ(word(f, b + 4 * i), head[i]) << i;
    EXPECT_EQ(real(f, b + 52), 1.0f);
    EXPECT_STREQ((const char*)&f.bytes[b + 56], "skin");
    EXPECT_EQ(word(f, b + 56 + 48), 1u);   // strip count
    EXPECT_EQ(word(f, b + 56 + 56), 244u); // strip lengths
    EXPECT_EQ(word(f, b + 56 + 60), 0u);   // first index
    EXPECT_EQ(f.bytes[b + 244], 3);
}

TEST(MeshWriter, OneBoneAnimationHasTheDocumentedLayout)
{
    wr_xsx_anim a;
    wr_xsx_bone bone;
    bone.name = "body";
    const float values[9] = {0, 0, 0, 0, 0, 0, 1, 1, 1};
    for (float v : values)
        bone.tracks.push_back(wr_track_const("t", v));
    a.bones.push_back(bone);
    wr_buf f;
    wr_xsx_file(&f, &a);
    ASSERT_EQ(f.bytes.size(), 12u + 884u);
    EXPECT_EQ(word(f, 0), 0x58535830u);
    const size_t b = 12;
    const uint32_t head[6] = {1, 9, 0, 32, 308, 0};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(word(f, b + 4 * i), head[i]) << i;
    EXPECT_EQ(real(f, b + 28), 1.0f);
    EXPECT_EQ(word(f, b + 32 + 264), 9u);
    EXPECT_EQ(word(f, b + 32 + 268), 0u);
    EXPECT_EQ(word(f, b + 32 + 272), 308u);
    for (int k = 0; k < 9; k++) {
        EXPECT_EQ(word(f, b + 308 + 40 * k + 36), 668u + 24 * k);
        EXPECT_EQ(real(f, b + 668 + 24 * k + 4), values[k]);
    }
}

TEST(MeshWriter, WrittenFilesReadBackThroughTheLoader)
{
    files_setup(&FILES);
    wr_xox_mesh m;
    for (int i = 0; i < 5; i++)
        m.vertices.push_back({(float)i, 0, 0, 0, 0, -1, 0, 0});
    m.indices = {0, 1, 2, 3, 4};
    wr_xox_material a, b;
    a.name = "skin";
    a.strips = {3};
    b.name = "hair";
    b.first_index = 3;
    b.strips = {2};
    m.materials = {a, b};
    wr_xox_morph mo;
    mo.name = "smile";
    mo.first = 2;
    mo.deltas = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    m.morphs = {mo};
    ASSERT_TRUE(wr_xox_save("m.xox", &m));
    files_data* d = files_load(&FILES, "m.xox");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(files_u32(files_xox_material(d, 1), 60), 3u);
    EXPECT_EQ(files_u16(files_xox_strips(d, files_xox_material(d, 1)), 0), 2u);
    const uint8_t* deltas = files_xox_deltas(d, files_xox_morph(d, 0));
    ASSERT_NE(deltas, nullptr);
    EXPECT_EQ(files_f32(deltas, 24 + 20), 12.0f);
    EXPECT_EQ(files_f32(files_xox_vertex(d, 4), 0), 4.0f);
    files_free(&FILES, d);

    wr_xsx_anim anim;
    wr_avatar_skeleton(&anim, 2.5f);
    const float t[3] = {0, 1, 2}, v[3] = {0, 1, 0};
    wr_avatar_add_morph(&anim, 7, "smile", t, v, 3, WR_KEY_SPLINE);
    ASSERT_TRUE(wr_xsx_save("a.xsx", &anim));
    d = files_load(&FILES, "a.xsx");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(files_word(d, FILES_XSX_BONE_COUNT), 22u);
    EXPECT_EQ(files_word(d, FILES_XSX_TRACK_COUNT), 22u * 9 + 1);
    const uint8_t* mouth = files_xsx_bone(d, 7);
    EXPECT_EQ(files_u32(mouth, FILES_XSX_BONE_TRACK_COUNT), 10u);
    EXPECT_EQ(files_xsx_parent(d, mouth), 6);
    EXPECT_EQ(files_u32(files_xsx_bone(d, 11), FILES_XSX_BONE_FLAGS), 1u); // left_hand mirrored
    EXPECT_EQ(files_u32(files_xsx_bone(d, 17), FILES_XSX_BONE_FLAGS), 0u);
    const uint8_t* smile = files_xsx_track(d, (uint32_t)files_xsx_first_track(d, mouth) + 9);
    EXPECT_EQ(files_u32(smile, FILES_XSX_TRACK_KEY_COUNT), 3u);
    EXPECT_EQ(files_f32(files_xsx_keys(d, smile), 24 + 4), 1.0f);
    files_free(&FILES, d);
    files_clean(&FILES);
}
