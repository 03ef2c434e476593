// The writer library: exact bytes of the data files it makes, and images that read back
// through the image library as they were given. (Sounds are read back by the sound tests.)
#include <gtest/gtest.h>

#include <IL/il.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/harness/harness.h"
#include "tools/writer/wr_buf.h"
#include "tools/writer/wr_data.h"
#include "tools/writer/wr_image.h"
#include "tools/writer/wr_xtx.h"

static uint32_t u32_at(const wr_buf& b, size_t at)
{
    uint32_t v;
    memcpy(&v, b.bytes.data() + at, 4);
    return v;
}

static uint16_t u16_at(const wr_buf& b, size_t at)
{
    return (uint16_t)(b.bytes[at] | b.bytes[at + 1] << 8);
}

static std::vector<uint8_t> read_file(const char* path)
{
    std::string text = harness_read_file(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

TEST(WriterXtx, ThreeTilesFiveKeysExactLayout)
{
    const xtx_tile tiles[3] = {{1, 2, 3, 4, 5, 6}, {10, 20, 30, 40, 0, 7}, {0xFFFF, 0, 1, 1, 0, 0}};
    const uint16_t keys[5] = {0, 1, 2, 3, 1};
    wr_buf b;
    wr_xtx_file(&b, tiles, 3, keys, 5);
    ASSERT_EQ(wr_buf_size(&b), 86u);
    EXPECT_EQ(memcmp(b.bytes.data(), "0XTX", 4), 0);
    EXPECT_EQ(u32_at(b, 4), 19u);
    EXPECT_EQ(u32_at(b, 8), 74u); // 28 + 36 + 10
    const uint32_t info[7] = {3, 5, 0, 0, 28, 64, 74};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(u32_at(b, 12 + 4 * i), info[i]) << "info word " << i;
    const uint16_t* first = &tiles[0].x;
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(u16_at(b, 40 + 2 * i), first[i]) << "tile word " << i;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(u16_at(b, 76 + 2 * i), keys[i]);

    ASSERT_TRUE(wr_xtx_save("three.xtx", tiles, 3, keys, 5));
    EXPECT_EQ(read_file("three.xtx"), b.bytes);
}

// Loads a file the way the program sets the image library up (origin upper left).
static ILuint load_image(const char* path)
{
    ilInit();
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
    ILuint id = 0;
    ilGenImages(1, &id);
    ilBindImage(id);
    if (!ilLoadImage(path)) {
        ilDeleteImages(1, &id);
        return 0;
    }
    return id;
}

TEST(WriterImage, RgbaPngReadsBackTopRowFirst)
{
    const uint8_t px[2 * 3 * 4] = {
        255, 0, 0, 255,   0, 255, 0, 128,
        0, 0, 255, 0,     1, 2, 3, 4,
        9, 9, 9, 9,       200, 100, 50, 25,
    };
    ASSERT_TRUE(wr_image_save("rgba.png", 2, 3, 4, px));
    ILuint id = load_image("rgba.png");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(ilGetInteger(IL_IMAGE_WIDTH), 2);
    EXPECT_EQ(ilGetInteger(IL_IMAGE_HEIGHT), 3);
    EXPECT_EQ(ilGetInteger(IL_IMAGE_FORMAT), IL_RGBA);
    EXPECT_EQ(memcmp(ilGetData(), px, sizeof(px)), 0);
    ilDeleteImages(1, &id);
    EXPECT_EQ(ilGetError(), (ILenum)IL_NO_ERROR);
}

// Grey and paletted files are read back by the image loader's tests.
TEST(WriterImage, ReplacesAnExistingFileAndRejectsBadShapes)
{
    const uint8_t a[4] = {1, 2, 3, 4}, b[4] = {5, 6, 7, 8};
    ASSERT_TRUE(wr_image_save("twice.png", 1, 1, 4, a));
    ASSERT_TRUE(wr_image_save("twice.png", 1, 1, 4, b));
    ILuint id = load_image("twice.png");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(memcmp(ilGetData(), b, 4), 0);
    EXPECT_FALSE(wr_image_save("bad.png", 1, 1, 2, a));
    EXPECT_FALSE(wr_image_save("bad.png", 0, 1, 4, a));
    EXPECT_FALSE(wr_image_save("no/such/folder/x.png", 1, 1, 4, a));
    EXPECT_EQ(ilGetError(), (ILenum)IL_NO_ERROR);
}
