// Bitmaps: image pairs, palettes and grey images through the image library, the error
// discipline, the BGRA fill and copy, and the whole-file check that every path runs before
// it hands a file to the image library.
#include <gtest/gtest.h>

#include <IL/il.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/code/gfx/bmps.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "tests/engine/gfx/device_fixture.h"
#include "tests/engine/gfx/image_lua_fixture.h"
#include "tools/writer/wr_image.h"

namespace {

int baseline = 0; // image names the library keeps for itself
int live_images() { return harness_il_images() - baseline; }

void save_grey(const char* path, int w, int h, uint8_t v)
{
    ASSERT_TRUE(wr_image_save(path, w, h, 1, std::vector<uint8_t>(w * h, v).data()));
}

void save_rgb(const char* path, int w, int h, uint8_t r, uint8_t g, uint8_t b)
{
    std::vector<uint8_t> px;
    for (int i = 0; i < w * h; i++)
        px.insert(px.end(), {r, g, b});
    ASSERT_TRUE(wr_image_save(path, w, h, 3, px.data()));
}

void write_bytes(const char* path, const std::string& bytes)
{
    FILE* f = fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// The pixels of a BGRA image (its rows are packed), and the image deleted.
std::vector<uint32_t> pixels_of(uint32_t image, const bmip& info)
{
    std::vector<uint32_t> out;
    if (image)
        out.assign((const uint32_t*)info.data, (const uint32_t*)info.data + info.w * info.h);
    bmps_delete_image(image);
    return out;
}

const char* OPEN_FAILED = "Failed to ilLoadImage((char*const)filename) : could not open file \n";

struct Bmps : testing::Test {
    bmps_pool pool;
    void SetUp() override
    {
        harness_il_start();
        baseline = harness_il_images();
        log_capture_start();
        memset(&pool, 0, sizeof(pool));
        ASSERT_TRUE(bmps_setup(&pool, nullptr));
    }
    void TearDown() override
    {
        bmps_clean(&pool);
        EXPECT_EQ(live_images(), 0) << "every image was deleted";
        EXPECT_EQ(ilGetError(), (ILenum)IL_NO_ERROR) << "no error left pending";
        log_capture_stop();
    }
};

} // namespace

TEST_F(Bmps, ImagePairsJoinAlphaAndColourAndBrokenPairsGiveNothing)
{
    // Alpha 128 from the grey half, red 255 from the colour half, by either name; the rule
    // ignores case and only the letter between the dots is replaced.
    save_grey("x.a.png", 3, 2, 128);
    save_rgb("x.b.png", 3, 2, 255, 0, 0);
    save_grey("Sky.a.PNG", 1, 1, 7);
    save_rgb("Sky.b.PNG", 1, 1, 1, 2, 3);
    bmip info;
    for (const char* name : {"x.a.png", "x.b.png"})
        EXPECT_EQ(pixels_of(bmps_load_image(name, 0, &info), info), std::vector<uint32_t>(6, 0x80FF0000u)) << name;
    EXPECT_EQ(pixels_of(bmps_load_image("Sky.A.PNG", 7, &info), info), std::vector<uint32_t>{0x07010203u});
    EXPECT_EQ(LOGGED.error, "");

    save_grey("odd.a.png", 2, 2, 1);
    save_rgb("odd.b.png", 3, 2, 1, 1, 1);
    save_rgb("half.b.png", 2, 2, 1, 1, 1);
    // Halves of different sizes log nothing of their own; each missing half logs its line
    // (both halves are tried).
    struct broken { const char* name; int lines; } cases[] = {{"odd.b.png", 0}, {"half.b.png", 1}, {"none.b.png", 2}};
    for (const broken& b : cases) {
        LOGGED.error.clear();
        EXPECT_EQ(bmps_load_image(b.name, 0, &info), 0u) << b.name;
        EXPECT_EQ(info.data, nullptr);
        EXPECT_EQ(LOGGED.error, b.lines == 0 ? "" : b.lines == 1 ? OPEN_FAILED : std::string(OPEN_FAILED) + OPEN_FAILED);
    }
    EXPECT_EQ(live_images(), 0) << "the halves are deleted";
}

TEST_F(Bmps, PaletteIndexZeroIsTransparentAndGreyStaysGrey)
{
    const uint8_t indices[] = {0, 1, 2, 0};
    const uint8_t palette[] = {10, 20, 30, 255, 0, 0, 0, 0, 255};
    ASSERT_TRUE(wr_image_save_indexed("pal.png", 2, 2, indices, palette, 3));
    bmip info;
    EXPECT_EQ(pixels_of(bmps_load_image("pal.png", 0, &info), info),
              (std::vector<uint32_t>{0x000A141Eu, 0xFFFF0000u, 0xFF0000FFu, 0x000A141Eu})) << "colour kept, alpha 0";

    save_grey(".a.png", 2, 2, 200); // six characters: a plain file, not a pair
    uint32_t image = bmps_load_image(".a.png", 0, &info);
    EXPECT_EQ(info.format, BMIP_LUMINANCE);
    EXPECT_EQ(info.data[3], 200);
    bmps_delete_image(image);
    EXPECT_EQ(pixels_of(bmps_load_image(".a.png", BMIP_BGRA, &info), info), std::vector<uint32_t>(4, 0xFFC8C8C8u));
}

TEST_F(Bmps, FailuresLogTheCallAndEmptyTheErrorList)
{
    bmip info;
    // A missing file with an unknown extension pushes two codes.
    EXPECT_EQ(bmps_load_image("nothing.qqq", 5, &info), 0u);
    EXPECT_EQ(info.format, BMIP_NONE);
    EXPECT_EQ(LOGGED.error.rfind("Failed to ilLoadImage((char*const)filename) : ", 0), 0u) << LOGGED.error;
    EXPECT_NE(LOGGED.error.find("ILERROR "), std::string::npos) << LOGGED.error;
    EXPECT_EQ(ilGetError(), (ILenum)IL_NO_ERROR);

    LOGGED.error.clear();
    EXPECT_EQ(bmps_alloc(&pool, BMIP_BGRA, 0x10000, 0x10000, 1, nullptr), nullptr);
    EXPECT_EQ(LOGGED.error, "Failed to ilTexImage(w,h,d,4,IL_BGRA,IL_UNSIGNED_BYTE,0) : invalid parameter \n"
                            "Failed to setup gfx bitmap,\n");
    EXPECT_TRUE(list_empty(&pool.records.live));
}

TEST_F(Bmps, CopiesAreCutToBothBitmapsAndOnlyBgraIsWritten)
{
    gfx_bmps* dst = bmps_alloc(&pool, BMIP_BGRA, 8, 1, 1, nullptr);
    gfx_bmps* src = bmps_alloc(&pool, BMIP_BGRA, 10, 1, 1, nullptr);
    gfx_bmps* grey = bmps_alloc(&pool, BMIP_LUMINANCE, 4, 1, 1, nullptr);
    ASSERT_TRUE(dst && src && grey);
    for (int x = 0; x < 10; x++)
        memcpy(src->info.data + 4 * x, &x, 4);
    const uint32_t W = 0xFFFFFFFF;
    bmps_fill(&dst->info, W, nullptr);
    // A destination at x -4, width 10: source columns 4..9 land in columns 0..5.
    bmps_rect s = {0, 0, 0, 10, 1, 1}, t = {-4, 0, 0, 10, 1, 1};
    bmps_copy_rect(&src->info, &s, &dst->info, &t, nullptr, -1.0f);
    // Far, non-finite and other modes copy nothing.
    bmps_rect far = {1e9f, 0, 0, 1e9f, 1, 1}, nan = {0.0f / 0.0f, 0, 0, 5, 1, 1};
    bmps_copy_rect(&src->info, &s, &dst->info, &far, nullptr, -1.0f);
    bmps_copy_rect(&src->info, &nan, &dst->info, &s, nullptr, -1.0f);
    bmps_copy_rect(&src->info, &s, &dst->info, &s, nullptr, 0.5f);
    EXPECT_EQ(std::vector<uint32_t>((uint32_t*)dst->info.data, (uint32_t*)dst->info.data + 8),
              (std::vector<uint32_t>{4, 5, 6, 7, 8, 9, W, W}));
    bmps_fill(&grey->info, W, nullptr);
    EXPECT_EQ(grey->info.data[0], 0) << "only BGRA bitmaps are written";
}

namespace {

// The image library never returned on the first and third file and overran its buffer on
// the second. The inputs are the fuzz corpus's regressions (after its selector byte).
struct ImageFiles : DeviceTest {};

std::string corpus(const char* name)
{
    return harness_read_file((std::string(DORVALE_SOURCE_DIR "/tests/fuzz/corpus/bmps/") + name).c_str()).substr(1);
}

} // namespace

TEST_F(ImageFiles, DamagedAndHugeFilesAreRefusedOnEveryPath)
{
    ASSERT_TRUE(setup_gfx());
    devil_library_ready(true);
    lua_State* L = luaL_newstate();
    ASSERT_TRUE(safelua_cpcall(L, ImageLua::open_body, nullptr));
    for (const char* input : {"png-chunk-past-end", "png-huge", "jpeg-segment-after-scan", "jpeg-huge"}) {
        const char* name = input[0] == 'j' ? "bad.jpg" : "bad.img"; // PNG is found by content
        write_bytes(name, corpus(input));
        write_bytes("data/debug/debug8x8_font.png", corpus(input)); // the console goes by content too
        std::remove("ERROR.TXT");
        bmip info;
        EXPECT_EQ(bmps_load_image(name, 0, &info), 0u) << input; // also the isomap's reader
        EXPECT_TRUE(d3d_dbg_restore(&D3D_DBG));
        EXPECT_EQ(D3D_DBG.font, nullptr) << input;
        EXPECT_EQ(errors(), "Failed to ilLoadImage((char*const)filename) : file read error \n"
                            "Failed to load DBG Font texture,\n") << input;
        std::string code = std::string("devil.alloc():load('") + name + "')";
        EXPECT_TRUE(harness_ends_with(lua_fixture_run(L, code.c_str()), "DevIL ERROR file read error")) << input;
    }
    lua_close(L);
}

TEST(ImageFileCheck, DeclaredSizesUpToTheLimitAndWholeFilesPass)
{
    // Limits: 16384 on a side and 256 MB at 4 bytes a pixel, so 16384 x 4096 (16384 * 4096 *
    // 4 = 268435456 = 256 MB) is the largest full-width image.
    struct size { uint32_t w, h; bool ok; } sizes[] = {
        {16384, 4096, true}, {16384, 4097, false}, {16385, 1, false}, {1, 16385, false}, {0, 4, false}, {1, 1, true},
    };
    auto be32 = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    for (const size& z : sizes) {
        std::string ihdr = be32(13) + "IHDR" + be32(z.w) + be32(z.h) + std::string("\x08\x06\0\0\0crc!", 9);
        write_bytes("size.png", std::string("\x89PNG\r\n\x1a\n") + ihdr + be32(0) + "IENDcrc!");
        EXPECT_EQ(bmps_file_check("size.png"), z.ok) << z.w << " x " << z.h;
    }
    // A whole segment after the scan data passes, and so does a JPEG cut inside its scan data
    // (the library stops there itself); the seed itself loads.
    std::string scan = corpus("jpeg-seed").substr(0, corpus("jpeg-seed").size() - 2);
    for (const std::string& ok : {scan + std::string("\xff\xfe\0\x04ok\xff\xd9", 8), scan.substr(0, scan.size() - 8)}) {
        write_bytes("ok.jpg", ok);
        EXPECT_TRUE(bmps_file_check("ok.jpg")) << ok.size();
    }
    harness_il_start();
    write_bytes("seed.jpg", corpus("jpeg-seed"));
    bmip info;
    bmps_delete_image(bmps_load_image("seed.jpg", 5, &info));
    EXPECT_EQ(info.w, 8) << "a whole JPEG passes the check";
}
