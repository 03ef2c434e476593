// The writer library's data files: the exact layout of the smallest file of each kind (the
// loaders' tests read richer ones back, so these pin the bytes both sides must agree on).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/harness/harness.h"
#include "tools/writer/wr_avatar.h"
#include "tools/writer/wr_buf.h"
#include "tools/writer/wr_mesh.h"
#include "tools/writer/wr_xtx.h"

template <class T> static T at(const wr_buf& b, size_t offset)
{
    T v;
    memcpy(&v, b.bytes.data() + offset, sizeof v);
    return v;
}

TEST(WriterXtx, ThreeTilesFiveKeysExactLayout)
{
    const xtx_tile tiles[3] = {{1, 2, 3, 4, 5, 6}, {10, 20, 30, 40, 0, 7}, {0xFFFF, 0, 1, 1, 0, 0}};
    const uint16_t keys[5] = {0, 1, 2, 3, 1};
    wr_buf b;
    wr_xtx_file(&b, tiles, 3, keys, 5);
    ASSERT_EQ(wr_buf_size(&b), 86u);
    EXPECT_EQ(memcmp(b.bytes.data(), "0XTX", 4), 0);
    EXPECT_EQ(at<uint32_t>(b, 4), 19u);
    EXPECT_EQ(at<uint32_t>(b, 8), 74u); // 28 + 36 + 10
    const uint32_t info[7] = {3, 5, 0, 0, 28, 64, 74}; // counts, then offsets of tiles, keys, end
    EXPECT_EQ(memcmp(&b.bytes[12], info, sizeof info), 0);
    EXPECT_EQ(memcmp(&b.bytes[40], tiles, sizeof tiles), 0); // six little-endian words a tile
    EXPECT_EQ(memcmp(&b.bytes[76], keys, sizeof keys), 0);

    ASSERT_TRUE(wr_xtx_save("three.xtx", tiles, 3, keys, 5));
    EXPECT_EQ(harness_read_file("three.xtx"), std::string(b.bytes.begin(), b.bytes.end()));
}

TEST(WriterMesh, OneTriangleMeshExactLayout)
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
    const uint32_t file_head[3] = {0x584F5830u, 19, 248}; // "0XOX", version, body size
    EXPECT_EQ(memcmp(&f.bytes[0], file_head, sizeof file_head), 0);
    const size_t b = 12;
    const uint32_t head[13] = {1, 0, 3, 0, 3, 0, 0, 56, 0, 128, 236, 0, 0};
    EXPECT_EQ(memcmp(&f.bytes[b], head, sizeof head), 0);
    EXPECT_EQ(at<float>(f, b + 52), 1.0f);
    EXPECT_STREQ((const char*)&f.bytes[b + 56], "skin");
    EXPECT_EQ(at<uint32_t>(f, b + 56 + 48), 1u);   // strip count
    EXPECT_EQ(at<uint32_t>(f, b + 56 + 56), 244u); // strip lengths
    EXPECT_EQ(at<uint32_t>(f, b + 56 + 60), 0u);   // first index
    EXPECT_EQ(f.bytes[b + 244], 3);
}

TEST(WriterMesh, OneBoneAnimationExactLayout)
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
    EXPECT_EQ(at<uint32_t>(f, 0), 0x58535830u);
    const size_t b = 12;
    const uint32_t head[6] = {1, 9, 0, 32, 308, 0};
    EXPECT_EQ(memcmp(&f.bytes[b], head, sizeof head), 0);
    EXPECT_EQ(at<float>(f, b + 28), 1.0f);
    const uint32_t bone_tail[3] = {9, 0, 308}; // bone record words at 264, 268, 272: 9 tracks from 308
    EXPECT_EQ(memcmp(&f.bytes[b + 32 + 264], bone_tail, sizeof bone_tail), 0);
    for (int k = 0; k < 9; k++) {
        EXPECT_EQ(at<uint32_t>(f, b + 308 + 40 * k + 36), 668u + 24 * k);
        EXPECT_EQ(at<float>(f, b + 668 + 24 * k + 4), values[k]);
    }
}
