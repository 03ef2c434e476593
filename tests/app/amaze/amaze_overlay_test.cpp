// The maze's screen furniture: the clock text, the sprites' flights to the icon, and the
// clock, score and fire drawn on the real device.
#include <cstring>

#include "app/code/amaze/amaze_overlay.h"
#include "app/code/hud/hud.h"
#include "app/code/main_state.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8_debug.h"
#include "tests/app/amaze/map_fixture.h"

namespace {

std::string time_str(int32_t c)
{
    char text[32];
    amaze_overlay_time_str(text, sizeof text, c);
    return text;
}

TEST(AmazeClock, ShowsMinutesSecondsAndTenthsTwoTicksBehind)
{
    EXPECT_EQ("1:00.0", time_str(602));
    EXPECT_EQ("0:59.8", time_str(600));
    EXPECT_EQ("0:00.0", time_str(2));
    EXPECT_EQ("10:00.5", time_str(6007));
}

struct Overlay : MapTest {
    amaze_overlay* o = &a.overlay;
    amazeitem hero = {};
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
    // Pixels in the rectangle whose colour passes the test.
    template <typename F> int count(int x0, int y0, int x1, int y1, F f)
    {
        int n = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++)
                n += f(pixel(x, y)) ? 1 : 0;
        return n;
    }
};

bool warm(uint32_t c) { return ((c >> 16) & 0xFF) > 0x80 && (c & 0xFF) < 0x60; }

TEST_F(Overlay, TheIconWaitsAtTheLowerLeft)
{
    ASSERT_NE(nullptr, o->mesh);
    EXPECT_EQ(1, active());
    EXPECT_FLOAT_EQ(32.0f, o->sprites[0].from_x);
    EXPECT_FLOAT_EQ(240.0f - 32.0f, o->sprites[0].from_y);
    EXPECT_FLOAT_EQ(32.0f, o->sprites[0].from_size);
    body_step = 500;
    amaze_overlay_update(o);
    EXPECT_EQ(1, active());
    EXPECT_FLOAT_EQ(0.0f, o->sprites[0].t);
}

TEST_F(Overlay, SwishesFlyToTheIconAndFifteenAtMost)
{
    vec3 at = {0.0f, 0.0f, 0.0f};
    for (int i = 0; i < 16; i++)
        amaze_overlay_swish(o, &at);
    EXPECT_EQ(16, active());
    EXPECT_EQ(nullptr, amaze_overlay_free_sprite(o));
    const amaze_sprite& s = o->sprites[1];
    EXPECT_NEAR(160.0f, s.from_x, 0.5f); // one unit above the map's centre
    EXPECT_LT(s.from_y, 120.0f);
    EXPECT_FLOAT_EQ(16.0f, s.from_size);
    EXPECT_FLOAT_EQ(0.75f, s.speed);

    body_step = 400;
    amaze_overlay_update(o);
    EXPECT_FLOAT_EQ(0.3f, s.t);
    EXPECT_FLOAT_EQ(0.4f, s.spin);
    EXPECT_FLOAT_EQ(32.0f, s.to_x);
    EXPECT_FLOAT_EQ(208.0f, s.to_y);
    EXPECT_FLOAT_EQ(32.0f, s.to_size);
    body_step = 1000;
    amaze_overlay_update(o);
    EXPECT_EQ(1, active()); // 1.05 of the flight: all landed
    EXPECT_EQ(&o->sprites[1], amaze_overlay_free_sprite(o));
    EXPECT_EQ(1, o->sprites[0].active);
}

TEST_F(Overlay, ClockScoreAndFireAreDrawnWhereTheWindowPutsThem)
{
    hero.score = 7;
    a.protagonists.count = 1;
    a.protagonists.items[0] = &hero;
    o->time = 602;
    vec3 at = {0.0f, 0.0f, 0.0f};
    amaze_overlay_swish(o, &at);
    body_step = 500;
    amaze_overlay_update(o); // halfway up the arc
    ASSERT_TRUE(begin());
    amaze_view_draw(&a.view); // the state's draw starts with the camera's states
    amaze_overlay_draw(o);
    end();
    save_frame("overlay.png");
    EXPECT_EQ("", errors());
    // The fire icon at the lower left, the score beside it, the clock at the lower right.
    EXPECT_GT(count(16, 240 - 48, 48, 240 - 16, warm), 40);
    EXPECT_GT(count(69, 170, 130, 240, warm), 10);
    EXPECT_GT(count(200, 170, 320, 240, warm), 40);
    // Nothing in the top-left corner, away from the flight.
    EXPECT_EQ(0, count(0, 0, 40, 40, warm));
    // The flying sprite is high above the line from the map's centre to the icon.
    EXPECT_GT(count(60, 0, 160, 150, warm), 20);

    // A taller window moves the icon (and the flights' target) on the next draw.
    screen(320.0f, 200.0f);
    ASSERT_TRUE(begin());
    amaze_overlay_draw(o);
    end();
    EXPECT_FLOAT_EQ(168.0f, o->sprites[0].from_y);

    // A refused depth clear is reported with this source's name and the drawing goes on.
    screen(320.0f, 240.0f);
    d3d8_fault_set(D3D8_CALL_Clear, D3DERR_INVALIDCALL, 1, 1); // after the frame's own clear
    ASSERT_TRUE(begin());
    amaze_overlay_draw(o);
    end();
    EXPECT_NE(std::string::npos, errors().find("amaze_overlay")) << errors();
    EXPECT_GT(count(16, 240 - 48, 48, 240 - 16, warm), 40);
}

TEST_F(Overlay, WithoutTheFireMeshOnlyTheTextsAreDrawn)
{
    amaze_overlay_clean(o);
    unlink("data/objects");
    ASSERT_TRUE(amaze_overlay_setup(o, &a));
    EXPECT_EQ(nullptr, o->mesh);
    vec3 at = {0.0f, 0.0f, 0.0f};
    amaze_overlay_swish(o, &at);
    body_step = 100;
    amaze_overlay_update(o);
    ASSERT_TRUE(begin());
    amaze_overlay_draw(o); // no protagonist: an empty score
    end();
    EXPECT_EQ(0, count(16, 240 - 48, 48, 240 - 16, warm));
    EXPECT_GT(count(200, 170, 320, 240, warm), 40);
    amaze_overlay_clean(o);
    amaze_overlay_clean(o);
}

} // namespace
