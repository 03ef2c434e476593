// The mesh and animation writers: the exact layout of the smallest file of each kind (the
// mesh, animation and avatar tests read richer ones back through the loader).

#include <gtest/gtest.h>

#include <cstring>

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
