// Bitmaps: image pairs, palettes and grey images through the image library, the error
// discipline, the BGRA fill and copy, and the whole-file check that every path runs before
// it hands a file to the image library. Cut maps: layers composed from cuts of source
// images, the document's parse errors with their line, shared sources, and layers that
// outgrow their array or lose their textures. Held textures: made from files, their failures
// logged under the buffer manager's line, and the txts library's ownership rules (unref, bad
// allocations, a pool cleaned under a script).
#include <gtest/gtest.h>

#include <IL/il.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/code/gfx/bmps.h"
#include "engine/code/gfx/cmps.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/txts.h"
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
    std::vector<uint8_t> px((size_t)w * h * 3);
    for (size_t i = 0; i < px.size(); i += 3) {
        px[i] = r;
        px[i + 1] = g;
        px[i + 2] = b;
    }
    ASSERT_TRUE(wr_image_save(path, w, h, 3, px.data()));
}

void write_bytes(const char* path, const std::string& bytes)
{
    ASSERT_TRUE(std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size()).good());
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

// The lines of a file that does not exist: the library's, then its name.
std::string missing(const char* name)
{
    return std::string("Failed to ilLoadImage((char*const)filename) : could not open file \n"
                       "Failed to load image ") + name + ",\n";
}

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
    // and its name (both halves are tried).
    struct broken { const char* name; std::string log; } cases[] = {{"odd.b.png", ""}, {"half.b.png", missing("half.a.png")},
                                                                  {"none.b.png", missing("none.a.png") + missing("none.b.png")}};
    for (const broken& b : cases) {
        LOGGED.error.clear();
        EXPECT_EQ(bmps_load_image(b.name, 0, &info), 0u) << b.name;
        EXPECT_EQ(info.data, nullptr);
        EXPECT_EQ(LOGGED.error, b.log);
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

    // A 16-bit grey image must be described in 8-bit pixels, not as one of its bytes.
    const uint16_t px[2] = {0x8080, 0xFFFF};
    ILuint id = 0;
    ilGenImages(1, &id);
    ilBindImage(id);
    ASSERT_TRUE(ilTexImage(2, 1, 1, 1, IL_LUMINANCE, IL_UNSIGNED_SHORT, (void*)px) && ilSaveImage("g16.png"));
    ilDeleteImages(1, &id);
    image = bmps_load_image("g16.png", 0, &info);
    EXPECT_EQ(std::vector<uint8_t>(info.data, info.data + info.size), (std::vector<uint8_t>{0x80, 0xFF}));
    bmps_delete_image(image);
}

TEST_F(Bmps, FailuresLogTheCallAndEmptyTheErrorList)
{
    bmip info;
    // A missing file with an unknown extension pushes two codes.
    EXPECT_EQ(bmps_load_image("nothing.qqq", 5, &info), 0u);
    EXPECT_EQ(LOGGED.error.rfind("Failed to ilLoadImage((char*const)filename) : ", 0), 0u) << LOGGED.error;
    EXPECT_NE(LOGGED.error.find("ILERROR "), std::string::npos) << LOGGED.error;

    LOGGED.error.clear();
    EXPECT_EQ(bmps_alloc(&pool, BMIP_BGRA, 0x10000, 0x10000, 1, nullptr), nullptr);
    EXPECT_EQ(LOGGED.error, "Failed to ilTexImage(w,h,d,4,IL_BGRA,IL_UNSIGNED_BYTE,0) : invalid parameter \n"
                            "Failed to setup gfx bitmap,\n");
    EXPECT_TRUE(list_empty(&pool.records.live));
}

TEST_F(Bmps, AMissingNameIsTriedAgainAndFoundOnceItsFileAppears)
{
    EXPECT_EQ(bmps_find(&pool, "late.png"), nullptr);
    EXPECT_EQ(LOGGED.error, missing("late.png") + "Failed to setup gfx bitmap,\n");
    save_grey("late.png", 2, 1, 9);
    gfx_bmps* b = bmps_find(&pool, "late.png");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->info.data[1], 9);
    EXPECT_EQ(bmps_find(&pool, "LATE.png"), b) << "then shared, case ignored";
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

// A made bitmap: packed rows (4 bytes a pixel for BGRA, 1 for luminance), zeroed pixels.
// A fill and a copy are cut to their rectangles and to a clip box as well as to the bitmap:
// the fill {-2, 1, w 4} reaches columns 0-1 of row 1 only; the copy of source columns 0-9
// to row 1 is cut to the 8 columns of the bitmap, then to the clip x 4..6: source columns
// 4 and 5 land on columns 4 and 5, the rest of the row keeps the white.
TEST_F(Bmps, MadeBitmapsAreZeroedAndFillsAndCopiesKeepToTheirRectanglesAndClip)
{
    gfx_bmps* dst = bmps_alloc(&pool, BMIP_BGRA, 8, 2, 1, nullptr);
    gfx_bmps* src = bmps_alloc(&pool, BMIP_BGRA, 10, 1, 1, nullptr);
    gfx_bmps* grey = bmps_alloc(&pool, BMIP_LUMINANCE, 5, 3, 1, "");
    ASSERT_TRUE(dst && src && grey);
    EXPECT_STREQ(dst->name, "");
    EXPECT_EQ((std::vector<int>{32, 64, 4, 5, 15, BMIP_LUMINANCE}), (std::vector<int>{dst->info.row, dst->info.size,
              src->info.bpp, grey->info.row, grey->info.size, grey->info.format}));
    const uint32_t* px = (const uint32_t*)dst->info.data;
    EXPECT_EQ(std::vector<uint32_t>(px, px + 16), std::vector<uint32_t>(16, 0u));
    for (int x = 0; x < 10; x++)
        memcpy(src->info.data + 4 * x, &x, 4);
    const uint32_t W = 0xFFFFFFFF;
    bmps_fill(&dst->info, W, nullptr);
    bmps_rect part = {-2, 1, 0, 4, 5, 1};
    bmps_fill(&dst->info, 0x11, &part);
    bmps_rect s = {0, 0, 0, 10, 1, 1}, t = {0, 1, 0, 10, 1, 1};
    bmps_clip clip = {4, 0, 0, 6, 10, 1};
    bmps_copy_rect(&src->info, &s, &dst->info, &t, &clip, -1.0f);
    EXPECT_EQ(std::vector<uint32_t>(px, px + 16),
              (std::vector<uint32_t>{W, W, W, W, W, W, W, W, 0x11, 0x11, W, W, 4, 5, W, W}));
    gfx_bmps_free(grey);
    bmps_clean(&pool);
    EXPECT_EQ(live_images(), 0);
    bmps_clean(&pool);
    ASSERT_TRUE(bmps_reset(&pool));
}

namespace {

// The image library never returned on the first and third file and overran its buffer on
// the second. The inputs are the fuzz corpus's regressions (after its selector byte).
struct ImageFiles : DeviceTest {
    void SetUp() override
    {
        DeviceTest::SetUp();
        devil_library_ready(true);
    }
    void TearDown() override
    {
        devil_library_ready(false); // as a program starts
        DeviceTest::TearDown();
    }
};

std::string corpus(const char* name)
{
    return harness_read_file((std::string(DORVALE_SOURCE_DIR "/tests/fuzz/corpus/bmps/") + name).c_str()).substr(1);
}

} // namespace

TEST_F(ImageFiles, DamagedAndHugeFilesAreRefusedOnEveryPath)
{
    ASSERT_TRUE(setup_gfx());
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
        EXPECT_EQ(errors(), std::string("Failed to ilLoadImage((char*const)filename) : file read error \n"
                                        "Failed to load image ") + name + ",\n"
                            "Failed to load image data/debug/debug8x8_font.png,\nFailed to load DBG Font texture,\n")
            << input;
        std::string code = std::string("devil.alloc():load('") + name + "')";
        EXPECT_TRUE(harness_ends_with(lua_fixture_run(L, code.c_str()), "DevIL ERROR file read error")) << input;
    }
    lua_close(L);
}

TEST(ImageFileCheck, DeclaredSizesUpToTheLimitAndTheLastChunkOrSegmentAtTheEnd)
{
    // PNG chunk: length, type, data, checksum (not verified); JPEG segment: FF, code, length
    // (counting its own two bytes), data. extra bytes are declared but not written.
    auto be32 = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    auto chunk = [&](const char* type, const std::string& data, uint32_t extra = 0) {
        return be32((uint32_t)data.size() + extra) + type + data + "crc!";
    };
    auto png = [&](uint32_t w, uint32_t h) {
        return "\x89PNG\r\n\x1a\n" + chunk("IHDR", be32(w) + be32(h) + std::string("\x08\x06\0\0\0", 5));
    };
    auto seg = [](char code, const std::string& data, size_t extra = 0) {
        size_t n = data.size() + 2 + extra;
        return std::string{'\xff', code, char(n >> 8), char(n)} + data;
    };
    auto cut = [](const std::string& s) { return s.substr(0, s.size() - 1); };
    const std::string head = png(1, 1), iend = chunk("IEND", ""), soi = "\xff\xd8", eoi = "\xff\xd9";
    const std::string frame("\x08\0\x01\0\x01", 5);
    const std::string scanned = soi + seg('\xda', "ok") + std::string("\x12\xff\x00\x34", 4); // a stuffed FF in the data
    struct file { const char* what; std::string bytes; bool ok; } files[] = {
        // Limits: 16384 on a side and 256 MB at 4 bytes a pixel (16384 * 4096 * 4 = 2^28).
        {"16384 x 4096", png(16384, 4096) + iend, true}, {"16384 x 4097", png(16384, 4097) + iend, false},
        {"16385 x 1", png(16385, 1) + iend, false}, {"1 x 16385", png(1, 16385) + iend, false},
        {"0 x 4", png(0, 4) + iend, false},
        // The last chunk or segment of each kind the walk reads, one byte past the end of the
        // file (by its length or its checksum) and exactly at it. A PNG ends with its end chunk,
        // a JPEG with its end marker or inside scan data (the library stops there itself).
        {"header chunk's checksum cut", cut(head), false},
        {"data chunk one byte longer than the file", head + chunk("IDAT", "data", 1), false},
        {"end chunk exactly at the end", head + chunk("IDAT", "data") + iend, true},
        {"end chunk's checksum cut", cut(head + iend), false},
        {"end chunk with data, exactly at the end", head + chunk("IEND", "x"), true},
        {"end chunk with data one byte longer", head + chunk("IEND", "x", 1), false},
        {"comment up to the end marker", soi + seg('\xfe', "ok") + eoi, true},
        {"comment one byte longer than the file", soi + seg('\xfe', "ok", 1), false},
        {"frame up to the end marker", soi + seg('\xc0', frame) + eoi, true},
        {"frame one byte longer than the file", soi + seg('\xc0', frame, 1), false},
        {"scan header exactly at the end", soi + seg('\xda', "ok"), true},
        {"scan header one byte longer than the file", soi + seg('\xda', "ok", 1), false},
        {"comment after the scan up to the end marker", scanned + seg('\xfe', "ok") + eoi, true},
        {"comment after the scan one byte longer", scanned + seg('\xfe', "ok", 1), false},
        {"the committed whole JPEG", corpus("jpeg-seed"), true},
    };
    for (const file& f : files) {
        write_bytes("check.img", f.bytes);
        EXPECT_EQ(bmps_file_check("check.img"), f.ok) << f.what;
    }
}

namespace {

const uint32_t WHITE = 0xFFFFFFFFu;

// The source "grid.png": 10 x 4, each pixel names its place (blue x, green y).
uint32_t grid(int x, int y) { return 0xFF800000u | (uint32_t)(y << 8) | (uint32_t)x; }

const char* kDoc = "<?xml version=\"1.0\"?>\n"
                   "<CutMap version=\"1\" w=\"12\" h=\"6\" d=\"1\">\n"
                   "  <layer>\n"
                   "    <source name=\"green.png\">\n"
                   "      <c>0 2 1 0 0 3 1</c>\n"
                   "    </source>\n"
                   "    <source name=\"grid.png\">\n"
                   "      <c>1 2 2 0 0 1 1</c>\n"
                   "      <c>1 2 2 4 0 2 1</c>\n"
                   "      <c>1 10 1 0 0 -4 4</c>\n"
                   "    </source>\n"
                   "  </layer>\n"
                   "  <layer><source name=\"missing.png\"><c>0 1 1 0 0 0 0</c></source></layer>\n"
                   "</cutmap>\n";

int live_cutmaps() { return harness_list_count(&GFX.cmps_pool.records.live); }

uint32_t pixel(const gfx_bmps* b, int x, int y)
{
    uint32_t v;
    memcpy(&v, b->info.data + y * b->info.row + x * 4, 4);
    return v;
}

struct Cmps : DeviceTest {
    void SetUp() override
    {
        DeviceTest::SetUp();
        ASSERT_TRUE(setup_gfx());
        std::filesystem::create_directories("data/cuts");
        std::vector<uint8_t> px;
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 10; x++)
                px.insert(px.end(), {(uint8_t)x, (uint8_t)y, 0x80, 0xFF});
        ASSERT_TRUE(write_image("data/cuts/grid.png", 10, 4, 4, px.data()));
        std::vector<uint32_t> green(4 * 4, 0xFF00FF00u);
        ASSERT_TRUE(write_image("data/cuts/green.png", 4, 4, 4, (const uint8_t*)green.data()));
        harness_write_file("map.xml", kDoc);
    }
};

int live_textures() { return harness_list_count(&GFX.txts_pool.records.live); }

struct Txts : Cmps {
    lua_State* L = nullptr;
    void SetUp() override
    {
        Cmps::SetUp();
        ASSERT_TRUE(write_image("t.png", 4, 2, 4, std::vector<uint8_t>(4 * 2 * 4).data()));
        L = luaL_newstate();
        ASSERT_TRUE(safelua_cpcall(L, safelua_open_libs, nullptr));
        ASSERT_TRUE(safelua_cpcall(L, txts_lua_setup, &GFX));
    }
    void TearDown() override
    {
        if (L)
            lua_close(L);
        Cmps::TearDown();
    }
    std::string run(const char* code) { return lua_fixture_run(L, code); }
    bool null_error(const char* code) { return run(code).find("null pointer in gfx_txts usedata") != std::string::npos; }
};

} // namespace

TEST_F(Cmps, LayersAreComposedFromCuts)
{
    gfx_cmps* c = cmps_alloc(&GFX.cmps_pool, 0, 0, 0, "map.xml");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(std::make_pair(c->w, c->h), std::make_pair(12, 6));
    ASSERT_EQ(c->layers.count, 2);
    cmps_layer* l = gfx_cmps_layer(c, 0);
    ASSERT_NE(l->bitmap, nullptr);
    // Row 1: white, the first grid cut, the later cut over it, grid over green (columns 3-4),
    // green alone.
    // Row 4: a destination 4 left of the layer puts source columns 4-9 in columns 0-5.
    std::vector<uint32_t> row1, row4;
    for (int x = 0; x < 7; x++) {
        row1.push_back(pixel(l->bitmap, x, 1));
        row4.push_back(pixel(l->bitmap, x, 4));
    }
    const uint32_t green = 0xFF00FF00u;
    EXPECT_EQ(row1, (std::vector<uint32_t>{WHITE, grid(0, 0), grid(4, 0), grid(5, 0), green, WHITE, WHITE}));
    EXPECT_EQ(row4, (std::vector<uint32_t>{grid(4, 0), grid(5, 0), grid(6, 0), grid(7, 0), grid(8, 0), grid(9, 0), WHITE}));
    EXPECT_EQ(pixel(l->bitmap, 1, 2), grid(0, 1));

    ASSERT_NE(l->texture, nullptr);
    EXPECT_EQ(l->texture->texture->bitmap, l->bitmap);
    EXPECT_EQ(pixel(gfx_cmps_layer(c, 1)->bitmap, 0, 0), WHITE) << "a missing source is no error";
    EXPECT_EQ(errors().find("Faild to parse"), std::string::npos);
}

TEST_F(Cmps, ParseErrorsNameTheLineAndAMissingDocumentGivesNoLayers)
{
    struct bad {
        const char* what;
        const char* doc;
        int line;
    } cases[] = {
        {"a second cutmap", "<cutmap>\n</cutmap>\n<cutmap></cutmap>", 3},
        {"six numbers", "<cutmap><layer>\n<source>\n<c>0 1 1 0 0 0</c></source></layer></cutmap>", 3},
        {"eight numbers", "<cutmap><layer><source><c>0 1 1 0 0 0 0\n8</c></source></layer></cutmap>", 2},
        {"version 2", "\n\n<cutmap version='2' w='4'></cutmap>", 3},
        {"an unknown attribute", "<cutmap size='4'></cutmap>", 1},
        {"an unknown element", "<cutmap>\n<layer>\n<cut></cut></layer></cutmap>", 3},
        {"text outside a cut", "<cutmap><layer>\nhello</layer></cutmap>", 2},
        {"a negative layer count", "<cutmap d='-1'><layer></layer></cutmap>", 1},
        {"a stray control character", "<cutmap>\n\n\x01</cutmap>", 3},
        // The index is stored in 16 bits: 65536 would wrap onto source 0.
        {"a source index of 65536", "<cutmap><layer><source>\n<c>65536 1 1 0 0 0 0</c></source></layer></cutmap>", 2},
        {"a negative source index", "<cutmap><layer><source><c>-1 1 1 0 0 0 0</c></source></layer></cutmap>", 1},
    };
    int textures = D3D_BUFFERS.txt_count;
    for (const bad& b : cases) {
        std::remove("ERROR.TXT");
        harness_write_file("bad.xml", b.doc);
        EXPECT_EQ(cmps_alloc(&GFX.cmps_pool, 0, 0, 0, "bad.xml"), nullptr) << b.what;
        std::string expect = "Faild to parse xml file \"bad.xml\"\n../../../vizavev/bad.xml(" +
                             std::to_string(b.line) + ") :  xml error\nFailed to setup cmp,\n";
        EXPECT_NE(errors().find(expect), std::string::npos) << b.what << "\n" << errors();
    }
    EXPECT_EQ(live_cutmaps(), 0);
    EXPECT_EQ(D3D_BUFFERS.txt_count, textures);

    // A missing document, or none, is no error: a cut map without layers.
    gfx_cmps* c = cmps_alloc(&GFX.cmps_pool, 0, 0, 0, "nowhere.xml");
    gfx_cmps* e = cmps_alloc(&GFX.cmps_pool, 8, 8, 3, nullptr);
    ASSERT_TRUE(c && e);
    EXPECT_EQ(c->layers.count + e->layers.count, 0);
}

TEST_F(Cmps, SourcesAreSharedAndOutliveTheirCutMaps)
{
    gfx_cmps* a = cmps_alloc(&GFX.cmps_pool, 0, 0, 0, "map.xml");
    gfx_cmps* b = cmps_alloc(&GFX.cmps_pool, 0, 0, 0, "map.xml");
    ASSERT_TRUE(a && b);
    gfx_bmps* shared = ((const cmps_source*)gfx_cmps_layer(b, 0)->sources.data)[1].bitmap;
    EXPECT_EQ(((const cmps_source*)gfx_cmps_layer(a, 0)->sources.data)[1].bitmap, shared);
    gfx_cmps_free(a);
    EXPECT_EQ(live_cutmaps(), 1);
    EXPECT_EQ(bmps_find(&GFX.bmps_pool, "DATA/CUTS/Grid.png"), shared) << "still the loaded one, case ignored";
    EXPECT_EQ(pixel(shared, 9, 3), grid(9, 3));
}

TEST_F(Cmps, ManyLayersAndATexturePoolCleanedFirst)
{
    // More layers than announced: the layer array grows and what points into it follows.
    std::string doc = "<cutmap w='4' h='4' d='1'>";
    for (int i = 0; i < 20; i++)
        doc += "<layer><source name='grid.png'><c>0 1 1 3 2 0 0</c></source></layer>";
    doc += "</cutmap>";
    harness_write_file("many.xml", doc.c_str());
    gfx_cmps* c = cmps_alloc(&GFX.cmps_pool, 0, 0, 0, "many.xml");
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->layers.count, 20);
    for (int i = 0; i < 20; i++) {
        cmps_layer* l = gfx_cmps_layer(c, i);
        EXPECT_EQ(((cmps_cut*)l->cuts.data)[0].layer, l);
        EXPECT_EQ(((cmps_source*)l->sources.data)[0].layer, l);
        EXPECT_EQ(pixel(l->bitmap, 0, 0), grid(3, 2));
    }
    // Freed by its own pool first, each texture is struck from its layer.
    int before = D3D_BUFFERS.txt_count;
    txts_clean(&GFX.txts_pool);
    EXPECT_EQ(D3D_BUFFERS.txt_count, before - 20);
    EXPECT_EQ(gfx_cmps_layer(c, 7)->texture, nullptr);
    txts_setup(&GFX.txts_pool, &GFX);
    cmps_clean(&GFX.cmps_pool);
    EXPECT_EQ(live_cutmaps(), 0);
    cmps_clean(&GFX.cmps_pool);
}

// A script's cut map stays until unref (the library keeps it under its pointer) clears its
// entry, then the collector frees it; a failed allocation gives a table whose getptr
// raises; cleaning the library removes its global.
TEST_F(Cmps, ScriptsOwnTheirCutMapsUntilUnref)
{
    lua_State* L = luaL_newstate();
    ASSERT_TRUE(safelua_cpcall(L, safelua_open_libs, nullptr));
    ASSERT_TRUE(safelua_cpcall(L, cmps_lua_setup, &GFX));
    EXPECT_EQ(lua_fixture_run(L, "m = cmps.alloc('map.xml') p = m.getptr() k = (cmps[p] == m) m = nil collectgarbage()"),
              "");
    EXPECT_EQ(lua_fixture_eval(L, "k"), "true");
    EXPECT_EQ(live_cutmaps(), 1);
    EXPECT_NE(((gfx_cmps*)list_first(&GFX.cmps_pool.records.live))->holder, nullptr);
    EXPECT_EQ(lua_fixture_run(L, "cmps[p].unref() gone = (rawget(cmps, p) == nil) collectgarbage()"), "");
    EXPECT_EQ(lua_fixture_eval(L, "gone"), "true") << "unref clears the entry";
    EXPECT_EQ(live_cutmaps(), 0);
    harness_write_file("bad.xml", "<cutmap size='4'></cutmap>");
    EXPECT_NE(lua_fixture_run(L, "cmps.alloc('bad.xml').getptr()").find("null pointer in gfx_cmps usedata"),
              std::string::npos);
    cmps_lua_clean(L);
    EXPECT_EQ(lua_fixture_eval(L, "cmps"), "nil");
    lua_close(L);
}

TEST_F(Txts, FileTexturesAndFailuresThatLeaveNothingBehind)
{
    int before = D3D_BUFFERS.txt_count;
    gfx_txts* t = txts_alloc(&GFX.txts_pool, 0, 0, 0, 0, "t.png");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::make_pair(t->texture->width, t->texture->height), std::make_pair(4, 2));
    EXPECT_EQ(txts_alloc(&GFX.txts_pool, 0, 0, 0, 0, "missing.png"), nullptr);
    EXPECT_EQ(txts_alloc_bitmap(&GFX.txts_pool, nullptr, 1), nullptr);
    std::string e = errors();
    size_t below = e.find("Failed to setup texture buffer,\n");
    EXPECT_NE(e.find("Failed to setup gfx texture,\n", below), std::string::npos) << e;
    txts_clean(&GFX.txts_pool);
    txts_clean(&GFX.txts_pool);
    EXPECT_EQ(D3D_BUFFERS.txt_count, before);
}

// Stealing a texture for native code is checked where the structor's items take theirs.
TEST_F(Txts, ScriptsOwnTheirTexturesUntilUnref)
{
    // Dropping the table alone is not enough: the library keeps it until unref.
    ASSERT_EQ(run("a = txts.alloc('t.png') pa = a.getptr() a = nil collectgarbage()"), "");
    EXPECT_EQ(live_textures(), 1);
    ASSERT_EQ(run("txts[pa].unref() collectgarbage()"), "");
    EXPECT_EQ(live_textures(), 0);
    for (const char* bad : {"txts.alloc()", "txts.alloc({})", "txts.alloc('missing.png')"}) {
        ASSERT_EQ(run((std::string("n = ") + bad).c_str()), "");
        EXPECT_TRUE(null_error("n.unref()")) << bad;
    }

    // A pool cleaned under the script leaves only the error.
    ASSERT_EQ(run("k = txts.alloc('t.png')"), "");
    txts_clean(&GFX.txts_pool);
    EXPECT_TRUE(null_error("k.getptr()"));
    ASSERT_EQ(run("k = nil collectgarbage()"), "");
}
