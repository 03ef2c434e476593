// The avatar editor's render tools: base names, the box filter, the bounding box, the
// paletted copy with its transparent entry, and the image series the tools write.

#include <gtest/gtest.h>

#include <IL/il.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/code/avatar/bud_tools.h"
#include "app/code/input.h"
#include "app/code/main_state.h"
#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/soul.h"
#include "engine/code/files.h"
#include "engine/code/gfx/xox.h"
#include "engine/code/gfx/xsx.h"
#include "tests/app/avatar/bud_fixture.h"
#include "tests/harness/harness.h"

namespace {

std::string base(const char* path)
{
    char out[FILE_DIALOG_PATH_CHARS];
    bud_test_base_name(out, path);
    return out;
}

// A fresh BGRA image filled from ARGB words, rows in memory order.
ILuint image(int w, int h, const std::vector<uint32_t>& argb)
{
    ILuint id;
    ilGenImages(1, &id);
    ilBindImage(id);
    ilTexImage(w, h, 1, 4, IL_BGRA, IL_UNSIGNED_BYTE, (void*)argb.data());
    return id;
}

uint32_t at(ILuint id, int x, int y)
{
    ilBindImage(id);
    return ((const uint32_t*)ilGetData())[y * ilGetInteger(IL_IMAGE_WIDTH) + x];
}

std::vector<std::string> files_in(const char* folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(BudImages, BaseNamesCutAtTheFirstDigitOrDotOfTheFileName)
{
    EXPECT_EQ("local/rendered/test", base("local/rendered/test.png"));
    EXPECT_EQ("a/pic", base("a/pic12.png"));
    for (const char* p : {"shot.png", "shot", "shot7.png"})
        EXPECT_EQ("shot", base(p)) << p;
    EXPECT_EQ("v1.2\\dir/x", base("v1.2\\dir/x3"));
    EXPECT_EQ("local/rendered/random_A_B_", base("local/rendered/random_A_B_"));
    EXPECT_EQ(std::string(FILE_DIALOG_PATH_CHARS - 1, 'a'), base(std::string(400, 'a').c_str()));
}

TEST(BudImages, AnimationFramesAreCountedSoEveryLengthEnds)
{
    // Frame k stands at k * 0.05 s: the count is the frames starting before the length.
    // From 2^20 s a float clock no longer grows by 0.05, so the count must not be summed.
    const struct {
        float length;
        int64_t frames;
    } cases[] = {
        {0.0f, 0}, {-1.0f, 0}, {NAN, 0}, {INFINITY, 0}, {0.05f, 1}, {0.06f, 2}, {1.0f, 20},
        // 2^21 s: 2^21 * 20 frames, less the last, whose time 2097151.95 rounds to the
        // float 2^21 (floats there are 0.125 apart).
        {2097152.0f, 41943039},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.frames, bud_test_anim_frames(c.length)) << c.length;
}

TEST(BudImages, OutputImageAveragesBoxesAndRepeatsPixelsWhenEnlarging)
{
    ilInit();
    ILuint src = image(4, 2, {0xFF000000, 0x00FF0000, 0x80000000, 0x80000000,   //
                              0xFF0000FF, 0x000000FF, 0x80000002, 0x80000001});
    ILuint dst;
    ilGenImages(1, &dst);
    ASSERT_TRUE(bud_test_output_image(src, dst, 2, 1));
    EXPECT_EQ(IL_BGRA, ilGetInteger(IL_IMAGE_FORMAT));
    EXPECT_EQ(0x7F3F007Fu, at(dst, 0, 0)); // (255+0+255+0)/4, (0+255)/4, 0, (0+0+255+255)/4
    EXPECT_EQ(0x80000000u, at(dst, 1, 0)); // 3/4 truncates to 0
    // Each of four columns from two source pixels: no column is left empty.
    ILuint two = image(2, 1, {0xFF102030, 0xFF405060});
    ASSERT_TRUE(bud_test_output_image(two, dst, 4, 1));
    EXPECT_EQ(0xFF102030u, at(dst, 0, 0));
    EXPECT_EQ(0xFF102030u, at(dst, 1, 0));
    EXPECT_EQ(0xFF405060u, at(dst, 3, 0));
    ILuint ids[3] = {src, dst, two};
    ilDeleteImages(3, ids);
}

TEST(BudImages, BoundsOfTheOpaquePixelsOrTheWholeImage)
{
    ilInit();
    std::vector<uint32_t> px(6 * 5, 0x00FFFFFF); // white but transparent
    ILuint id = image(6, 5, px);
    int32_t x, y, w, h;
    bud_test_image_bounds(id, &x, &y, &w, &h);
    EXPECT_EQ(0, x);
    EXPECT_EQ(0, y);
    EXPECT_EQ(6, w);
    EXPECT_EQ(5, h);
    px[1 * 6 + 2] = 0x01000000;
    px[3 * 6 + 4] = 0xFF000000;
    ilDeleteImages(1, &id);
    id = image(6, 5, px);
    bud_test_image_bounds(id, &x, &y, &w, &h);
    EXPECT_EQ(2, x);
    EXPECT_EQ(1, y);
    EXPECT_EQ(3, w);
    EXPECT_EQ(3, h);
    ilDeleteImages(1, &id);
}

TEST(BudImages, PalettisedCopiesKeepIndexZeroForTheTransparentBackground)
{
    ilInit();
    ILuint src = image(3, 1, {0x00000000, 0xF7FF0000, 0xFF00FF00});
    ILuint dst;
    ilGenImages(1, &dst);
    bud_test_palettise(src, dst);
    ilBindImage(dst);
    ASSERT_EQ(IL_COLOUR_INDEX, ilGetInteger(IL_IMAGE_FORMAT));
    const ILubyte* index = ilGetData();
    EXPECT_EQ(0, index[0]);
    EXPECT_EQ(0, index[1]); // below 0xF8 counts as background
    ASSERT_GE(index[2], 1);
    const ILubyte* pal = ilGetPalette();
    int bpp = ilGetInteger(IL_PALETTE_BPP);
    EXPECT_EQ(256, ilGetInteger(IL_PALETTE_NUM_COLS));
    EXPECT_EQ(128, pal[0]);
    EXPECT_EQ(128, pal[1]);
    EXPECT_EQ(128, pal[2]);
    EXPECT_NEAR(0xFF, pal[index[2] * bpp + 1], 8); // green survives
    EXPECT_EQ(256, ilGetInteger(IL_MAX_QUANT_INDEXS));
    ILuint ids[2] = {src, dst};
    ilDeleteImages(2, ids);
}

// ---- the tools, on the installation's avatar ----

namespace {

class BudTools : public BudTest {
protected:
    // The image library delivers rows top first, as the shell sets it up.
    void SetUp() override
    {
        BudTest::SetUp();
        ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
        ilEnable(IL_ORIGIN_SET);
    }
    void TearDown() override
    {
        ilDisable(IL_ORIGIN_SET);
        BudTest::TearDown();
    }
    void run(int32_t id)
    {
        bud_test_update(b, UPDATE_FRAME_END); // the layers as a frame leaves them
        b->pending_command = id;
        bud_test_update(b, UPDATE_FRAME_END);
    }
    // Share of the picture's pixels that are not the transparent entry.
    static double covered(const std::string& path)
    {
        ILuint id;
        ilGenImages(1, &id);
        ilBindImage(id);
        EXPECT_TRUE(ilLoadImage(path.c_str())) << path;
        int w = ilGetInteger(IL_IMAGE_WIDTH), h = ilGetInteger(IL_IMAGE_HEIGHT);
        ilConvertImage(IL_BGRA, IL_UNSIGNED_BYTE);
        const uint32_t* px = (const uint32_t*)ilGetData();
        int n = 0;
        for (int i = 0; px && i < w * h; i++)
            n += (px[i] >> 24) != 0;
        ilDeleteImages(1, &id);
        return w > 0 && h > 0 ? (double)n / (w * h) : 0;
    }
    // Which pixels of a saved picture are covered, rows in memory order; side in *w.
    static std::vector<bool> coverage(const std::string& path, int* w)
    {
        ILuint id;
        ilGenImages(1, &id);
        ilBindImage(id);
        EXPECT_TRUE(ilLoadImage(path.c_str())) << path;
        *w = ilGetInteger(IL_IMAGE_WIDTH);
        ilConvertImage(IL_BGRA, IL_UNSIGNED_BYTE);
        const uint32_t* px = (const uint32_t*)ilGetData();
        std::vector<bool> mask;
        for (int i = 0; px && i < *w * ilGetInteger(IL_IMAGE_HEIGHT); i++)
            mask.push_back((px[i] >> 24) != 0);
        ilDeleteImages(1, &id);
        return mask;
    }
};

} // namespace

TEST_F(BudTools, SavePngWritesEverySizeInThreeVariants)
{
    start();
    std::filesystem::create_directories("out");
    answer({"out/shot7.png"});
    INPUT.click.held = 1;
    run(BTN_SavePNG);
    EXPECT_EQ("Select base name of PNG output", last_title());
    std::vector<std::string> expected;
    for (const char* s : {"050", "064", "080", "100", "200"})
        for (const char* v : {"", "c", "z"})
            expected.push_back(std::string("shot") + s + v + ".png");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, files_in("out"));
    ILuint id;
    ilGenImages(1, &id);
    ilBindImage(id);
    ASSERT_TRUE(ilLoadImage("out/shot064c.png"));
    EXPECT_EQ(64, ilGetInteger(IL_IMAGE_WIDTH));
    ilDeleteImages(1, &id);
    // The avatar shows in each variant, most of all in the zoomed one, on a clear background.
    double plain = covered("out/shot100.png"), zoomed = covered("out/shot100z.png");
    EXPECT_GT(plain, 0.03);
    EXPECT_LT(plain, 0.9);
    EXPECT_GT(zoomed, plain);
    EXPECT_GT(covered("out/shot100c.png"), 0.03);
    // The close-up at 100 is the middle of the plain picture at 200, mirrored left to right
    // and standing the same way up.
    int pw, cw;
    std::vector<bool> whole = coverage("out/shot200.png", &pw), middle = coverage("out/shot100c.png", &cw);
    ASSERT_EQ(200, pw);
    ASSERT_EQ(100, cw);
    int differ = 0;
    for (int y = 0; y < 100; y++)
        for (int x = 0; x < 100; x++)
            differ += middle[y * 100 + x] != whole[(50 + y) * 200 + 149 - x];
    EXPECT_LT(differ, 50);
    // The post-dialog step ran.
    EXPECT_EQ(1, GFX.d3d_gfx.resize_flag);
    EXPECT_EQ(0, INPUT.click.held);
    EXPECT_EQ(0, b->pending_command);
}

TEST_F(BudTools, MoodsWithZoomAndCloseUpBothSetWriteOnlyZoomedImages)
{
    start();
    click(BTN_SetSize50x50c);
    b->render_z = 1; // both flags, as no button sets them
    std::filesystem::create_directories("moods");
    answer({"moods/m.png"});
    run(BTN_SaveMoods);
    std::vector<std::string> names = files_in("moods");
    EXPECT_EQ(33u, names.size());
    for (const auto& n : names)
        EXPECT_EQ(0u, n.find("m050z")) << n;
    EXPECT_TRUE(harness_file_exists("moods/m050zcycle_walk.png"));
}

TEST_F(BudTools, AnAnimationIsWrittenFrameByFrameAndACancelWritesNothing)
{
    start();
    std::vector<std::string> before = files_in("local/rendered");
    answer({""});
    run(BTN_SaveAnim);
    EXPECT_EQ(1, dialogs());
    EXPECT_EQ(before, files_in("local/rendered"));

    std::filesystem::create_directories("anim");
    answer({"anim/walk.png"});
    b->anim_current = 9;
    run(BTN_SaveAnim);
    // One frame per 0.05 s that starts before the end.
    double length = xsx_length(GFX.avatars.anims[9].anim);
    EXPECT_EQ((size_t)std::ceil(length * 20.0), files_in("anim").size());
    EXPECT_TRUE(harness_file_exists("anim/walk100_000.png"));
}

TEST_F(BudTools, RandomBatchPutsTheEditedAvatarBack)
{
    start();
    avatar_soul* soul = b->avatar->soul;
    soul->surfaces[0].argb = 0xFF123456;
    soul->sizes[8] = {1.5f, 0.5f, 2.0f};
    avatar_soul edited = *soul;
    auto bodies = [&] { // the file size of every part mesh, part by part
        std::vector<uint32_t> v;
        for (xsx_bone* bone : b->avatar->base.part_bones)
            for (int j = 0; bone && j < XSX_BONE_MESHES; j++)
                v.push_back(bone->meshes[j] ? bone->meshes[j]->file->payload_size : 0);
        return v;
    };
    std::vector<uint32_t> meshes = bodies();
    b->sex = 0.0f;
    run(BTN_RandomSave);
    EXPECT_EQ(meshes, bodies());
    EXPECT_TRUE(harness_file_exists("local/rendered/random_H_P_050c.png"));
    ASSERT_EQ(soul, b->avatar->soul);
    EXPECT_EQ(0, memcmp(&edited.sizes, &soul->sizes, sizeof edited - offsetof(avatar_soul, sizes)));
    EXPECT_EQ(0.0f, b->sex);
    EXPECT_EQ(0xFF123456u, gizmo(BTN_ColorSkin)->colour);
}
