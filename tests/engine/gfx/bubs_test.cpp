// Speech bubbles: start from the text, fade, follow the anchor, push apart, and the
// balloon's pieces with the tail's gap.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/code/gfx/bubs.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/font.h"
#include "engine/code/gfx/gfx.h"
#include "tests/harness/harness.h"
#include "tests/engine/gfx/device_fixture.h"
#include "tests/engine/gfx/draw_fixture.h"
#include "platform/d3d8_debug.h"
#include "tools/writer/wr_image.h"
#include "tools/writer/wr_xtx.h"

namespace {

// Comic16 stand-in: 'A' is 25 pixels wide at page size 16, so 50 at the bubbles' size 32.
struct Bubbles : DeviceTest {
    bubs m;
    void SetUp() override
    {
        DeviceTest::SetUp();
        ASSERT_TRUE(setup_gfx());
        font_free(&GFX.comic16);
        const xtx_tile tile = {0, 0, 25, 10, 0, 2};
        uint16_t keys[256] = {};
        keys['A'] = 1;
        ASSERT_TRUE(wr_image_save("c16.png", 32, 16, 4, std::vector<uint8_t>(32 * 16 * 4, 255).data()));
        ASSERT_TRUE(wr_xtx_save("c16.xtx", &tile, 1, keys, 256));
        memset(&GFX.comic16, 0, sizeof(font));
        ASSERT_TRUE(font_setup(&GFX.comic16.page, "c16"));
        GFX.comic16.page.page_size = 16.0f;
        GFX.comic16.page_count = 1;
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

TEST_F(Bubbles, TextSetsSizeAndLifeThenItFadesAndStaysAllocated)
{
    bub* b = at(100, 100, "AAAA"); // 4 x 50 + 8 = 208 wide, life 208 / 64
    EXPECT_FLOAT_EQ(b->life, 3.25f);
    bub_set_text(b, "AA"); // life 108 / 64 = 1.6875 raised to the minimum 2
    EXPECT_EQ(row({b->width, b->height, b->life, b->alpha}), row({108, 40, 2, 1}));
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
    draws_start();
    bubs_draw(&m);
    EXPECT_TRUE(draws_get().empty());
}

TEST_F(Bubbles, MovesAQuarterTowardsItsAnchor)
{
    bub* b = at(100, 100, "AA");
    b->anchor_y += 100;
    m.frame_time = 0.01f;
    bubs_update(&m);
    EXPECT_EQ(row({b->x, b->y}), row({100, 125}));

    // Sideways only beyond 32 pixels past either edge.
    b->y = 100;
    b->anchor_y = 172;
    b->anchor_x = 100 - 32 - 40;
    bubs_update(&m);
    EXPECT_FLOAT_EQ(b->x, 90.0f);
    b->anchor_x = b->x + b->width + 32;
    bubs_update(&m);
    EXPECT_FLOAT_EQ(b->x, 90.0f);
}

TEST_F(Bubbles, OverlappingBubblesPushApart)
{
    bub* a = at(0, 0, "AA");
    bub* b = at(0, 0, "AA");
    m.frame_time = 0.01f;
    bubs_update(&m);
    // a's centre is not left of or above b's: a goes right and down by b's size (108 x 40),
    // halved by the two contributions and quartered; b the other way.
    EXPECT_EQ(row({a->x, a->y, b->x, b->y}), row({13.5f, 5, -13.5f, -5}));

    // Touching edges do not overlap.
    a->x = a->y = b->y = 0;
    b->x = 108;
    a->anchor_x = 10;
    b->anchor_x = 118;
    a->anchor_y = b->anchor_y = 72;
    bubs_update(&m);
    EXPECT_EQ(row({a->x, b->x}), row({0, 108}));

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
    bub* a = at(10, 20, "A");
    bub* hidden = at(300, 20, "AA");
    hidden->flags &= ~BUB_VISIBLE;
    a->alpha = 1.0f;
    draws_start();
    bubs_draw(&m);
    std::vector<drawn> d = draws_get();
    ASSERT_EQ(d.size(), 11u); // balloon with its tail, then one glyph
    const drawn& glyph = d.back();
    EXPECT_TRUE(glyph.textured && !d[0].textured);
    EXPECT_EQ(row({glyph.v[0].x, glyph.v[0].y}), row({14, 24 + 4}));
    EXPECT_EQ(glyph.v[0].diffuse, 0xC0000000u);

    bub_free(&m, hidden);
    EXPECT_EQ(live(), 1);
}

TEST_F(Bubbles, BalloonIsWhiteWhateverTextureWasLeftBound)
{
    // A texture whose texels are all transparent, left on stage 0 by earlier drawing.
    std::vector<uint8_t> clear(4 * 4 * 4, 0);
    ASSERT_TRUE(wr_image_save("clear.png", 4, 4, 4, clear.data()));
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
    EXPECT_EQ(GFX.last_texture, nullptr);
    gfx_end_scene(&GFX);
    d3d_buffers_free_txt(&D3D_BUFFERS, t);
}
