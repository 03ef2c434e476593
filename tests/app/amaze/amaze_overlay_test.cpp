// The maze's screen furniture: the sprites' flights to the icon, and the
// clock, score and fire drawn on the real device.
#include <unistd.h>

#include <cmath>

#include "app/code/amaze/amaze_overlay.h"
#include "app/code/main_state.h"
#include "tests/app/amaze/map_fixture.h"

namespace {

bool warm(uint32_t c) { return ((c >> 16) & 0xFF) > 0x80 && (c & 0xFF) < 0x60; }

struct Overlay : MapTest {
    amaze_overlay* o = &a.overlay;
    vec3 centre = {0.0f, 0.0f, 0.0f};
    void SetUp() override
    {
        MapTest::SetUp();
        ASSERT_TRUE(open(320, 240)) << "no GL context";
        ASSERT_TRUE(amaze_view_setup(&a.view, &a));
        amaze_view_update(&a.view);
        ASSERT_TRUE(amaze_overlay_setup(o, &a));
    }
    int active()
    {
        int n = 0;
        for (auto& s : o->sprites)
            n += s.active;
        return n;
    }
    void draw()
    {
        ASSERT_TRUE(begin());
        amaze_view_draw(&a.view); // as the state's draw begins
        amaze_overlay_draw(o);
        end();
    }
    int warm_in(int x0, int y0, int x1, int y1)
    {
        int n = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++)
                n += warm(pixel(x, y));
        return n;
    }
};

TEST_F(Overlay, SwishesFlyInAnArcHalfTheWindowHighToTheIconAndFifteenAtMost)
{
    for (int i = 0; i < 16; i++)
        amaze_overlay_swish(o, &centre);
    EXPECT_EQ(16, active()); // the icon and 15 flying
    const amaze_sprite& s = o->sprites[1];
    EXPECT_NEAR(160.0f, s.from_x, 0.5f); // one unit above the map's centre
    EXPECT_LT(s.from_y, 120.0f);
    EXPECT_FLOAT_EQ(16.0f, s.from_size); // zoom / 4

    body_step = 400;
    amaze_overlay_update(o);
    EXPECT_FLOAT_EQ(0.3f, s.t);
    EXPECT_FLOAT_EQ(0.4f, s.spin);
    EXPECT_FLOAT_EQ(32.0f, s.to_x);
    EXPECT_FLOAT_EQ(208.0f, s.to_y);
    body_step = 1000;
    amaze_overlay_update(o);
    EXPECT_EQ(1, active()); // all landed; the icon stays
    EXPECT_EQ(&o->sprites[1], amaze_overlay_free_sprite(o));

    // From (100, 100) to (32, 208) in a 240-high window, y down; with a = |t - 0.5| the arc is
    // (1 - 2 (3a^2 - 2a^3)) * 120: t = 0.25 gives a^2 terms 0.1875 - 0.03125, arc 82.5; t = 0.5
    // gives 120. Drawn at (100 - 68t, 240 - (100 + 108t - arc)), size 16 + 16t.
    struct Case {
        float t, x, y, size;
    } cases[] = {{0.0f, 100.0f, 140.0f, 16.0f}, {0.25f, 83.0f, 195.5f, 20.0f}, {0.5f, 66.0f, 206.0f, 24.0f}};
    for (const Case& c : cases) {
        o->sprites[1] = {1, 100.0f, 100.0f, 16.0f, 32.0f, 208.0f, 32.0f, c.t, 0.0f, 0.0f, o->mesh};
        draw();
        D3DMATRIX m;
        ASSERT_EQ(D3D_OK, IDirect3DDevice8_GetTransform(GFX.d3d_gfx.device, D3DTS_WORLD, &m));
        EXPECT_NEAR(c.x, m.m[3][0], 1e-3f) << c.t;
        EXPECT_NEAR(c.y, m.m[3][1], 1e-3f) << c.t;
        // A quarter turn about x and none about y: the scale stands in the third row's y.
        EXPECT_NEAR(c.size, std::fabs(m.m[2][1]), 1e-3f) << c.t;
    }
}

TEST_F(Overlay, ClockScoreAndFireAreDrawnWhereTheWindowPutsThemAndTextsWithoutTheMesh)
{
    amazeitem hero = {};
    hero.score = 7;
    a.protagonists.count = 1;
    a.protagonists.items[0] = &hero;
    o->time = 602;
    amaze_overlay_swish(o, &centre);
    body_step = 500;
    amaze_overlay_update(o); // two thirds of the flight, high on its arc
    draw();
    EXPECT_EQ("", errors());
    EXPECT_GT(warm_in(16, 192, 48, 224), 40); // the icon at the lower left
    EXPECT_GT(warm_in(69, 170, 130, 240), 10); // the score beside it
    EXPECT_GT(warm_in(200, 170, 320, 240), 40); // the clock at the lower right
    EXPECT_GT(warm_in(60, 0, 160, 150), 20);   // the flying fire
    EXPECT_EQ(0, warm_in(0, 0, 40, 40));

    screen(320.0f, 200.0f); // the icon follows the window
    draw();
    EXPECT_FLOAT_EQ(168.0f, o->sprites[0].from_y);

    // A refused depth clear is reported with this source's name and the drawing goes on.
    screen(320.0f, 240.0f);
    d3d8_fault_set(D3D8_CALL_Clear, D3DERR_INVALIDCALL, 1, 1); // after the frame's own clear
    draw();
    EXPECT_NE(std::string::npos, errors().find("amaze_overlay")) << errors();
    EXPECT_GT(warm_in(16, 192, 48, 224), 40);
    // The view's and the overlay's light enables stay outside the check: refused, they log nothing.
    size_t seen = errors().size();
    d3d8_fault_set(D3D8_CALL_LightEnable, D3DERR_INVALIDCALL, 0, 100);
    draw();
    d3d8_fault_clear();
    EXPECT_EQ(seen, errors().size()) << errors();

    // Without the fire mesh only the texts are drawn.
    amaze_overlay_clean(o);
    ASSERT_EQ(0, unlink("data/objects")); // the link the fixture made
    ASSERT_TRUE(amaze_overlay_setup(o, &a));
    EXPECT_EQ(nullptr, o->mesh);
    amaze_overlay_swish(o, &centre);
    body_step = 100;
    amaze_overlay_update(o);
    o->time = 602;
    draw(); // no protagonist: no score either
    EXPECT_EQ(0, warm_in(0, 0, 60, 240));
    EXPECT_GT(warm_in(200, 170, 320, 240), 40);
    amaze_overlay_clean(o);
    amaze_overlay_clean(o);
}

} // namespace
