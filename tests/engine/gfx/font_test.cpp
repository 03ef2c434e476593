// Text: UTF-8 measuring and wrapping rules, the quads a glyph becomes, a page without its
// image, and the fonts' start-up. Speech bubbles: started from their text, fading, following
// the anchor, pushed apart, and the balloon's pieces with the tail's gap.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/code/gfx/bubs.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_state.h"
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
    font hand = {}; // zero until loaded, so a failed SetUp leaves nothing to free
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

// The hand font stands in for Comic16: 'A' is 10 pixels wide at page size 16, so 20 at the
// bubbles' size 32 (spacing 0), and drawn 3 x 2 below the pen.
struct Bubbles : DeviceTest {
    bubs m = {}; // zero until set up, so a failed SetUp leaves nothing to clean
    void SetUp() override
    {
        DeviceTest::SetUp();
        ASSERT_TRUE(setup_gfx());
        font_free(&GFX.comic16);
        write_hand_font("hand");
        ASSERT_TRUE(load_hand_font(&GFX.comic16, "hand"));
        memset(&m, 0, sizeof(m));
        ASSERT_TRUE(bubs_setup(&m, &GFX));
    }
    void TearDown() override
    {
        bubs_clean(&m);
        bubs_clean(&m);
        font_free(&GFX.comic16);
        font_select(&GFX, nullptr);
        DeviceTest::TearDown();
    }
    // A bubble at rest: its anchor pulls neither way.
    bub* at(float x, float y, const char* text)
    {
        bub* b = bub_alloc(&m);
        bub_set_text(b, text);
        b->x = x;
        b->y = y;
        b->anchor_x = x + 10;
        b->anchor_y = y + b->height + 32;
        return b;
    }
    int live() { return harness_list_count(&m.records.live); }
};

// Exact positions and sizes, compared as one row.
std::vector<float> row(std::initializer_list<float> v) { return v; }


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
                 {8, "\xE2\x82\xAC\xF0\x9F\x98\x80", 18}, {8, "A\x80i", 21}, {8, "A\xF4\x80\x80\x80i", 21},
                 {8, "A\xC3", 21}, {8, "A\xE2\x82", 21}, {8, "A\xC0\x80i", 21}, {-10, "A", 11}, {-10, " ", 11},
                 {-10, "AiA", 33}};
    for (const width_case& c : cases) {
        font_set_style(&GFX, c.space, 32.0f, 1.0f, 0, 0);
        EXPECT_FLOAT_EQ(font_text_width(&GFX, c.text), c.width) << c.space << " " << c.text;
    }

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
                 {"A\x80i rest", {{21 + 9 + 13, " rest"}}}};
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

// Codes as UTF-8 assembles them, up to four bytes; a sequence cut by the terminator ends
// the string without reading past it, and so does an encoded zero; a continuation byte or
// a lead above 0xF0 with bit 0x04 is invalid and only itself is stepped over.
TEST(Utf8, DecodesLeadsAndStopsAtTheEnd)
{
    struct utf8_case {
        const char* text;
        std::vector<std::pair<int, uint32_t>> steps; // result, code when a code
        size_t stop;                                  // bytes read at the end
    } cases[] = {
        {"\xC3\xA9\xC2\xA9z", {{FONT_UTF8_CODE, 0xE9}, {FONT_UTF8_CODE, 0xA9}, {FONT_UTF8_CODE, 'z'}, {FONT_UTF8_END, 0}}, 5},
        {"\xE2\x82\xAC\xF0\x9F\x98\x80", {{FONT_UTF8_CODE, 0x20AC}, {FONT_UTF8_CODE, 0x1F600}, {FONT_UTF8_END, 0}}, 7},
        {"\xE2\x82\0AB", {{FONT_UTF8_END, 0}}, 2},
        {"\x80\xF4", {{FONT_UTF8_INVALID, 0}, {FONT_UTF8_INVALID, 0}, {FONT_UTF8_END, 0}}, 2},
        {"\xC0\x80x", {{FONT_UTF8_END, 0}}, 0}, // not stepped over: the string ends at its start
    };
    for (const utf8_case& c : cases) {
        const char* t = c.text;
        for (const auto& step : c.steps) {
            uint32_t code = 0;
            int got = font_utf8_next(&t, &code);
            EXPECT_EQ(std::make_pair(got, got == FONT_UTF8_CODE ? code : 0u), step) << c.text;
        }
        EXPECT_EQ((size_t)(t - c.text), c.stop) << c.text;
    }
}

// Without a current font the console's font stands in: a text measures its byte length
// times the size (3 x 16) and drawing moves the pen by that much; a glyph measures and
// moves nothing. A text drawn in a font binds its page once and unbinds it at the end.
TEST_F(Text, WithoutAFontTheConsoleFontStandsInAndTextBindsItsPageOnce)
{
    font_draw_text(&GFX, "AiA x");
    EXPECT_EQ(draws_binds(), 2) << "the page, then none";
    font_select(&GFX, nullptr);
    font_set_style(&GFX, 8.0f, 16.0f, 0.0f, 0, 0);
    font_set_pos(&GFX, 10.0f, 20.0f);
    EXPECT_EQ(row({font_text_width(&GFX, "abc"), font_glyph_width(&GFX, 'a')}), row({48, 0}));
    font_draw_text(&GFX, "abc");
    EXPECT_FLOAT_EQ(GFX.pen_x, 58.0f);
    font_draw_glyph(&GFX, 'a');
    EXPECT_FLOAT_EQ(GFX.pen_x, 58.0f);
}

TEST_F(FontSetup, BadFilesFailAndLeaveNothingBehind)
{
    ASSERT_TRUE(setup_gfx());
    uint16_t keys[4] = {0, 1, 3, 0}; // key 3 with two tiles
    write_hand_font("badkeys", keys, 4);
    write_hand_font("noimage");
    remove("noimage.png");
    write_hand_font("mesh"); // a data file of another kind is foreign
    std::ofstream("mesh.xtx", std::ios::binary).write("0XOX\x13\0\0\0\0\0\0\0", 12);
    for (const char* base : {"missing", "badkeys", "noimage", "mesh"}) {
        font f;
        EXPECT_FALSE(load_hand_font(&f, base));
        EXPECT_TRUE(f.page.file == nullptr && f.page.texture == nullptr) << base;
    }
    EXPECT_EQ(D3D_BUFFERS.txt_count, 3) << "only the three start-up fonts hold textures";
}

TEST_F(FontSetup, GeneratedFontsMeasureByTheTilesOfTheirFilesAndInkStaysInside)
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

    ASSERT_TRUE(gfx_begin_scene(&GFX));
    font_select(&GFX, &GFX.comic32);
    font_set_style(&GFX, 8.0f, 32.0f, 0.0f, 0xFFFFFFFF, 0xFFFFFFFF);
    font_set_pos(&GFX, 4.0f, 8.0f);
    float width = font_text_width(&GFX, "W");
    font_draw_text(&GFX, "W");
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
    fonts_clean(&GFX);
    fonts_clean(&GFX);
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
    EXPECT_EQ(D3D_BUFFERS.txt_count, 0);
}

TEST_F(Bubbles, TextSetsSizeAndLifeThenItFadesAndStaysAllocated)
{
    bub* b = at(100, 100, "AAAAAAAAAA"); // 10 x 20 + 8 = 208 wide, life 208 / 64
    EXPECT_FLOAT_EQ(b->life, 3.25f);
    bub_set_text(b, "AA"); // 2 x 20 + 8 = 48 wide, life 48 / 64 raised to the minimum 2
    EXPECT_EQ(row({b->width, b->height, b->life, b->alpha}), row({48, 40, 2, 1}));
    EXPECT_EQ(b->flags, 15u);
    m.frame_time = 0.5f;
    for (int i = 0; i < 4; ++i)
        bubs_update(&m);
    EXPECT_EQ(row({b->life, b->alpha}), row({0, 1}));
    // Then alpha falls by half the frame time: 0.75, 0.5, 0.25, 0.
    for (int i = 0; i < 3; ++i)
        bubs_update(&m);
    EXPECT_EQ(row({b->alpha, (float)b->flags}), row({0.25f, 15}));
    bubs_update(&m);
    EXPECT_EQ(b->flags, 0u);
    EXPECT_EQ(b->text, nullptr);
    EXPECT_EQ(live(), 1);
}

TEST_F(Bubbles, MovesAQuarterTowardsItsAnchorAndOverlappingOnesPushApart)
{
    bub* a = at(0, 0, "AA");
    a->anchor_y += 100;
    m.frame_time = 0.01f;
    bubs_update(&m);
    EXPECT_EQ(row({a->x, a->y}), row({0, 25}));
    // Sideways only beyond 32 pixels past either edge.
    a->y = 0;
    a->anchor_y = 72;
    a->anchor_x = -32 - 40;
    bubs_update(&m);
    EXPECT_FLOAT_EQ(a->x, -10.0f);
    a->anchor_x = a->x + a->width + 32;
    bubs_update(&m);
    EXPECT_FLOAT_EQ(a->x, -10.0f);

    bub* b = at(0, 0, "AA");
    a->x = 0;
    a->anchor_x = 10;
    bubs_update(&m);
    // a's centre is not left of or above b's: a goes right and down by b's size (48 x 40),
    // halved by the two contributions and quartered; b the other way.
    EXPECT_EQ(row({a->x, a->y, b->x, b->y}), row({6, 5, -6, -5}));

    // Touching edges do not overlap.
    a->x = a->y = b->y = 0;
    b->x = 48;
    b->anchor_x = 58;
    bubs_update(&m);
    EXPECT_EQ(row({a->x, b->x}), row({0, 48}));

    // Without the separate flag nothing pushes.
    b->x = 0;
    b->flags &= ~BUB_SEPARATE;
    bubs_update(&m);
    EXPECT_EQ(row({a->x, b->x}), row({0, 0}));
}

TEST_F(Bubbles, BalloonPiecesAndTailGapAlsoOnANarrowBubble)
{
    bub b;
    memset(&b, 0, sizeof(b)); // as a caller outside the pool makes it
    b.x = b.anchor_x = 100;   // the anchor under the left edge
    b.y = 50;
    b.width = 108;
    b.height = 40;
    b.anchor_y = 130;
    b.alpha = 0.5f;
    draws_start();
    bub_draw_balloon(&b);
    std::vector<drawn> d = draws_get();
    ASSERT_EQ(d.size(), 10u);
    for (const drawn& p : d) {
        for (const d3d_vertex_2d& v : p.v)
            EXPECT_EQ(v.diffuse, 0x60FFFFFFu); // alpha 0.5 x 192
        for (float w : draws_windings(p))
            EXPECT_GE(w, 0.0f) << "a piece faces away and would be culled";
    }
    // body, left, right and top bands
    EXPECT_EQ(row({d[0].v[0].x, d[0].v[3].x, d[0].v[3].y, d[1].v[0].x, d[2].v[3].x, d[3].v[0].y}),
              row({100, 208, 90, 92, 216, 42}));
    // bottom band around the gap x .. x + 16 on its outer edge, then the tail
    ASSERT_TRUE(d[4].v.size() == 6 && d[5].v.size() == 3);
    EXPECT_EQ(row({(float)d[4].prims, d[4].v[2].x, d[4].v[2].y, d[4].v[4].x, d[4].v[4].y}), row({4, 100, 98, 116, 98}));
    EXPECT_EQ(row({(float)d[5].prims, d[5].v[2].x, d[5].v[2].y}), row({1, 100, 130}));
    // four rounded corners of radius 8: the arc points lie 8 to 8.24 out
    for (int i = 6; i < 10; ++i) {
        ASSERT_EQ(std::make_pair(d[i].type, d[i].v.size()), std::make_pair((uint32_t)D3DPT_TRIANGLEFAN, (size_t)5));
        for (int k = 1; k < 5; ++k)
            EXPECT_NEAR(std::hypot(d[i].v[k].x - d[i].v[0].x, d[i].v[k].y - d[i].v[0].y), 8.1f, 0.15f);
    }

    b.anchor_y = 10; // above the bubble: a plain band and no tail
    draws_start();
    bub_draw_balloon(&b);
    EXPECT_EQ(draws_get().size(), 9u);

    // A bubble narrower than the gap keeps the tail inside, the band unfolded.
    bub* narrow = at(100, 50, nullptr); // null is the empty text: 8 wide
    ASSERT_FLOAT_EQ(narrow->width, 8.0f);
    narrow->anchor_x = 104;
    narrow->anchor_y = 200;
    draws_start();
    bub_draw_balloon(narrow);
    d = draws_get();
    ASSERT_EQ(d.size(), 10u);
    for (const d3d_vertex_2d& v : d[4].v)
        EXPECT_TRUE(v.x >= 100.0f && v.x <= 108.0f) << v.x;
    for (float w : draws_windings(d[4]))
        EXPECT_GE(w, 0.0f) << "the band folds over itself";
}

TEST_F(Bubbles, DrawsVisibleBubblesWithTheirText)
{
    at(10, 20, "A");
    bub* hidden = at(300, 20, "AA");
    hidden->flags &= ~BUB_VISIBLE;
    draws_start();
    bubs_draw(&m);
    std::vector<drawn> d = draws_get();
    ASSERT_EQ(d.size(), 11u); // balloon with its tail, then one glyph
    const drawn& glyph = d.back();
    EXPECT_TRUE(glyph.textured && !d[0].textured);
    EXPECT_EQ(row({glyph.v[0].x, glyph.v[0].y}), row({14, 24 + 6})); // the pen at x + 4, y + 4
    EXPECT_EQ(glyph.v[0].diffuse, 0xC0000000u);
}

TEST_F(Bubbles, BalloonIsWhiteWhateverTextureWasLeftBound)
{
    // A texture whose texels are all transparent, left on stage 0 by earlier drawing.
    ASSERT_TRUE(wr_image_save("clear.png", 4, 4, 4, std::vector<uint8_t>(4 * 4 * 4, 0).data()));
    d3d_txt* t = d3d_buffers_alloc_txt(&D3D_BUFFERS, 6, -1, -1, 1, "clear.png");
    ASSERT_NE(t, nullptr);
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    d3d_state_set_texture(0, device(), t->texture);
    bub b;
    memset(&b, 0, sizeof(b));
    b.x = b.y = 10;
    b.width = 30;
    b.height = 20;
    b.alpha = 1.0f;
    bub_draw_balloon(&b);
    // White at alpha 192 over the dark clear colour.
    EXPECT_NEAR(channel(d3d8_read_pixel(device(), 25, 20), 16), 192, 4);
    gfx_end_scene(&GFX);
    d3d_buffers_free_txt(&D3D_BUFFERS, t);
}
