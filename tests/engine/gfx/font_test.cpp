// Text: UTF-8 measuring and wrapping rules, the quads a glyph becomes, a page without its
// image, and the fonts' start-up.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/font.h"
#include "engine/code/gfx/gfx.h"
#include "tests/engine/gfx/device_fixture.h"
#include "tests/engine/gfx/draw_fixture.h"
#include "tests/harness/harness.h"
#include "platform/d3d8_debug.h"
#include "tools/writer/wr_image.h"
#include "tools/writer/wr_xtx.h"

namespace {

// A 64 x 32 page with two glyphs: 'A' (tile 1) and 'i' (tile 2, also used for e acute).
const xtx_tile kTiles[2] = {{4, 2, 10, 12, 0, 3}, {20, 4, 6, 8, 1, 5}};

void write_hand_font(const char* base, const uint16_t* keys = nullptr, uint32_t key_count = 256)
{
    uint16_t k[256] = {};
    k['A'] = 1;
    k['i'] = 2;
    k[0xE9] = 2;
    std::vector<uint8_t> px(64 * 32 * 4, 255);
    ASSERT_TRUE(wr_image_save((std::string(base) + ".png").c_str(), 64, 32, 4, px.data()));
    ASSERT_TRUE(wr_xtx_save((std::string(base) + ".xtx").c_str(), kTiles, 2, keys ? keys : k, key_count));
}

bool load_hand_font(font* f, const char* base)
{
    memset(f, 0, sizeof(*f));
    if (!font_setup(&f->page, base))
        return false;
    f->page.page_size = 16.0f;
    f->page_count = 1;
    return true;
}

struct Text : DeviceTest {
    font hand;
    void SetUp() override
    {
        DeviceTest::SetUp();
        ASSERT_TRUE(setup_gfx());
        write_hand_font("hand");
        ASSERT_TRUE(load_hand_font(&hand, "hand"));
        font_select(&GFX, &hand);
        font_set_style(&GFX, 8.0f, 32.0f, 1.0f, 0xFF112233, 0x80445566);
        font_set_pos(&GFX, 100.0f, 50.0f);
        draws_start();
    }
    void TearDown() override
    {
        font_select(&GFX, nullptr);
        font_free(&hand);
        DeviceTest::TearDown();
    }
};

struct FontSetup : DeviceTest {};

} // namespace

TEST_F(Text, MeasuresGlyphsSpacesAndFixedPitch)
{
    // Scale 32 / 16 = 2 and spacing 1: 'A' (10 wide) 21, 'i' (6) 13, a glyphless character
    // or one beyond the page (U+0141, U+20AC, U+1F600) the space width 8 + 1. An invalid lead
    // (a continuation byte, a lead above 0xF0 with bit 0x04), a sequence cut by the terminator
    // or an encoded zero ends the text.
    struct width_case {
        float space;
        const char* text;
        float width;
    } cases[] = {{8, "A", 21}, {8, "i", 13}, {8, " ", 9}, {8, "\xC5\x81", 9}, {8, "Ai \xC3\xA9", 21 + 13 + 9 + 13},
                 {8, "\xE2\x82\xAC\xF0\x9F\x98\x80", 18}, {8, "A\x80i", 21}, {8, "A\xF4i", 21}, {8, "A\xC3", 21},
                 {8, "A\xE2\x82", 21}, {8, "A\xC0\x80i", 21}, {-10, "A", 11}, {-10, " ", 11}, {-10, "AiA", 33}};
    for (const width_case& c : cases) {
        font_set_style(&GFX, c.space, 32.0f, 1.0f, 0, 0);
        EXPECT_FLOAT_EQ(font_text_width(&GFX, c.text), c.width) << c.space << " " << c.text;
    }
    EXPECT_FLOAT_EQ(font_glyph_width(&GFX, 0x141), 11.0f); // fixed pitch beyond the page

    // Drawn at fixed pitch, a glyph is centred in its cell.
    font_set_style(&GFX, -30.0f, 32.0f, 2.0f, 0, 0);
    font_draw_glyph(&GFX, 'i'); // 12 wide in a 30 cell
    std::vector<drawn> d = draws_get();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(std::vector<float>({d[0].v[0].x, d[0].v[1].x, GFX.pen_x}), std::vector<float>({109, 121, 132}));
}

TEST_F(Text, GlyphIsOneShadedQuadOfItsTileAndTextLeavesStageZeroEmpty)
{
    font_draw_glyph(&GFX, 'A');
    std::vector<drawn> d = draws_get();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(std::make_pair(d[0].type, d[0].prims), std::make_pair((uint32_t)D3DPT_TRIANGLESTRIP, 2u));
    EXPECT_TRUE(d[0].textured);
    // left 100, top 50 + 3 x 2, 20 x 24; u 4/64..14/64, v 2/32..14/32 (all exact in binary)
    std::vector<std::vector<float>> got, want = {{100, 56, 4 / 64.f, 2 / 32.f}, {120, 56, 14 / 64.f, 2 / 32.f},
                                                 {100, 80, 4 / 64.f, 14 / 32.f}, {120, 80, 14 / 64.f, 14 / 32.f}};
    std::vector<uint32_t> colours;
    for (const d3d_vertex_2d& v : d[0].v) {
        got.push_back({v.x, v.y, v.u, v.v});
        colours.push_back(v.diffuse);
    }
    EXPECT_EQ(got, want);
    EXPECT_EQ(colours, (std::vector<uint32_t>{0xFF112233, 0xFF112233, 0x80445566, 0x80445566}));
    EXPECT_EQ(std::vector<float>({GFX.pen_x, GFX.pen_y}), std::vector<float>({121, 50}));

    font_draw_glyph(&GFX, ' ');
    font_draw_glyph(&GFX, 0x141);
    EXPECT_EQ(draws_get().size(), 1u) << "glyphless characters draw nothing";
    EXPECT_FLOAT_EQ(GFX.pen_x, 121.0f + 9.0f + 9.0f);
    font_draw_text(&GFX, "AiA x");
    EXPECT_FLOAT_EQ(GFX.pen_x, 139.0f + font_text_width(&GFX, "AiA x"));
    EXPECT_EQ(GFX.last_texture, nullptr);
}

TEST_F(Text, WordsAndLineBreaksAndTheDrawnWordMatchesItsMeasure)
{
    // Each call's width and the text it leaves: a line feed is -1 and steps over itself only;
    // an invalid lead inside a word counts as code 0 (space 9) and reading goes on.
    struct word_case {
        const char* text;
        std::vector<std::pair<float, std::string>> calls;
    } cases[] = {{"\n  Ai A", {{-1, "  Ai A"}, {21 + 13, " A"}, {21, ""}, {0, ""}}},
                 {"A\x80i rest", {{21 + 9 + 13, " rest"}}},
                 {"A\xC3", {{21, ""}}}};
    for (const word_case& c : cases) {
        const char* t = c.text;
        for (const auto& call : c.calls) {
            float w = font_word_width(&GFX, &t);
            EXPECT_EQ(std::make_pair(w, std::string(t)), call) << c.text;
        }
    }

    // A drawn word advances as it measures. U+0141 has no glyph: it advances by the space as
    // measured, never as the glyph of 0x41.
    const char* m = " \n A\xC5\x81i next";
    const char* d = m;
    font_word_width(&GFX, &m); // line feed
    float width = font_word_width(&GFX, &m);
    float before = GFX.pen_x;
    font_draw_word(&GFX, &d);
    EXPECT_EQ(d, m);
    EXPECT_FLOAT_EQ(GFX.pen_x - before, width);
    std::vector<drawn> q = draws_get();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_FLOAT_EQ(q[1].v[0].x, before + 21.0f + 9.0f);
    EXPECT_EQ(GFX.last_texture, nullptr);
}

TEST_F(FontSetup, BadFilesFailAndLeaveNothingBehind)
{
    ASSERT_TRUE(setup_gfx());
    uint16_t keys[4] = {0, 1, 3, 0}; // key 3 with two tiles
    write_hand_font("badkeys", keys, 4);
    write_hand_font("noimage");
    remove("noimage.png");
    write_hand_font("mesh"); // a data file of another kind is foreign
    FILE* fp = fopen("mesh.xtx", "wb");
    fwrite("0XOX\x13\0\0\0\0\0\0\0", 1, 12, fp);
    fclose(fp);
    for (const char* base : {"missing", "badkeys", "noimage", "mesh"}) {
        font f;
        EXPECT_FALSE(load_hand_font(&f, base));
        EXPECT_TRUE(f.page.file == nullptr && f.page.texture == nullptr) << base;
    }
    EXPECT_EQ(D3D_BUFFERS.txt_count, 3) << "only the three start-up fonts hold textures";
}

TEST_F(FontSetup, GeneratedFontsMeasureByTheTilesOfTheirFiles)
{
    ASSERT_TRUE(setup_gfx());
    struct generated {
        font* f;
        const char* file;
        float size;
    } fonts[] = {{&GFX.outline16, "data/fonts/outlined_16_latin.xtx", 16.0f},
                 {&GFX.comic16, "data/fonts/comic_16_latin.xtx", 16.0f},
                 {&GFX.comic32, "data/fonts/comic_32_latin.xtx", 32.0f}};
    for (const generated& g : fonts) {
        // Read by hand: tile count at byte 12, key count at 16, tiles from 40 (12 bytes, w
        // at +4), then the u16 keys (1-based tile numbers).
        std::string x = harness_read_file(g.file);
        ASSERT_GT(x.size(), 40u) << g.file;
        auto u = [&](size_t at, size_t n) { uint32_t v = 0; memcpy(&v, x.data() + at, n); return v; };
        uint32_t tiles = u(12, 4);
        auto width = [&](uint32_t c) {
            uint32_t k = u(40 + 12 * tiles + 2 * c, 2);
            return k ? (float)u(40 + 12 * (k - 1) + 4, 2) : -1.0f;
        };
        EXPECT_EQ(g.f->page.count, u(16, 4)) << g.file;
        EXPECT_FLOAT_EQ(g.f->nominal_size, g.size);
        font_select(&GFX, g.f);
        font_set_style(&GFX, 8.0f, 2 * g.size, 1.0f, 0, 0); // twice the page size: scale 2
        ASSERT_TRUE(width('W') > 0 && width('i') > 0) << g.file;
        EXPECT_FLOAT_EQ(font_text_width(&GFX, "Wi"), 2 * width('W') + 1 + 2 * width('i') + 1) << g.file;
    }
    fonts_clean(&GFX);
    fonts_clean(&GFX);
    EXPECT_EQ(GFX.comic16.page.file, nullptr);
    EXPECT_EQ(D3D_BUFFERS.txt_count, 0);
}

TEST_F(Text, APageWhoseImageVanishedHasNoGlyphs)
{
    // A device reset after the image was deleted leaves the page's texture without pixels.
    remove("hand.png");
    d3d_buffers_lose(&D3D_BUFFERS);
    d3d_buffers_restore(&D3D_BUFFERS);
    ASSERT_EQ(hand.page.texture->texture, nullptr);
    EXPECT_FLOAT_EQ(font_glyph_width(&GFX, 'A'), 9.0f); // space 8 + spacing 1
    draws_start();
    font_draw_text(&GFX, "AiA");
    EXPECT_TRUE(draws_get().empty()) << "no untextured boxes";
    EXPECT_FLOAT_EQ(GFX.pen_x, 100.0f + 3 * 9.0f);
}

TEST_F(FontSetup, MissingFontStopsStartUpWithItsName)
{
    std::filesystem::remove("data/fonts");
    std::filesystem::create_directories("data/fonts");
    for (const char* ext : {".xtx", ".png"}) {
        std::string name = std::string("/fonts/outlined_16_latin") + ext;
        std::filesystem::create_symlink(DORVALE_GAME_DIR "/data" + name, "data" + name);
    }
    EXPECT_FALSE(setup_gfx());
    EXPECT_NE(errors().find("GFX.Font.Comic16 subsystem failed to initialize,\n"
                            "GFX.Font subsystem failed to initialize,\n"),
              std::string::npos)
        << errors();
    EXPECT_EQ(errors().find("Outline16"), std::string::npos);
    EXPECT_EQ(GFX.outline16.page.file, nullptr) << "the root was cleaned";
    EXPECT_EQ(GFX.outline16.page.texture, nullptr);
    EXPECT_EQ(D3D_BUFFERS.txt_count, 0);
}

TEST_F(FontSetup, DrawnWordPutsInkWhereItIsMeasured)
{
    ASSERT_TRUE(setup_gfx());
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    font_select(&GFX, &GFX.comic32);
    font_set_style(&GFX, 8.0f, 32.0f, 0.0f, 0xFFFFFFFF, 0xFFFFFFFF);
    font_set_pos(&GFX, 4.0f, 8.0f);
    const char* word = "W";
    float width = font_text_width(&GFX, word);
    font_draw_text(&GFX, word);
    // The clear colour is dark blue; white ink shows as a bright red channel.
    int inside = 0, outside = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            bool ink = channel(d3d8_read_pixel(device(), x, y), 16) > 128;
            bool within = x >= 4 && x < 4 + width && y >= 8 && y < 40;
            (within ? inside : outside) += ink;
        }
    EXPECT_GT(inside, 20);
    EXPECT_EQ(outside, 0);
    gfx_end_scene(&GFX);
}
