// Items, balls and the view without a device: the list, the ball's force, collision and move
// steps against the cells, and the view's zoom, keys and drag.

#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "app/code/input.h"
#include "app/code/structor/structor.h"
#include "engine/code/files.h"
#include "engine/code/gfx/gfx.h"
#include "tests/app/structor/structor_test_keep.h"
#include "tests/harness/log_capture.h"

namespace {

struct World : testing::Test {
    // Put back after TearDown: the fixture and its tests change all four.
    structor_test_keep<gfx> kept_gfx{GFX};
    structor_test_keep<hud_subsystem> kept_hud{HUD};
    structor_test_keep<input_state> kept_input{INPUT};
    structor_test_keep<files> kept_files{FILES};
    structor_state s = {};
    void SetUp() override
    {
        log_capture_start();
        memset(&GFX, 0, sizeof GFX);
        memset(&HUD, 0, sizeof HUD);
        memset(&INPUT, 0, sizeof INPUT);
        input_state_setup(&INPUT);
        GFX.screen_width = 800;
        GFX.screen_height = 600;
        HUD.window_width = 800.0f;
        HUD.window_height = 600.0f;
        HUD.pointer.x = 400.0f;
        HUD.pointer.y = 300.0f;
        files_setup(&FILES);
        xoxs_setup(&GFX.xoxs);
        s.gfx = &GFX;
        structor_view_setup(&s.view, &s);
        structor_cells* c = &s.cells;
        c->w = 256;
        c->h = 128;
        c->cell_size = 4.0f;
        c->blur_base = 4.0f;
        c->initial = (structor_cell*)calloc(256 * 128, sizeof(structor_cell));
        c->working = (structor_cell*)calloc(256 * 128, sizeof(structor_cell));
        structor_cells_border(c);
        structor_cells_reset(c);
        ASSERT_TRUE(structor_items_setup(&s.items, &s));
    }
    void TearDown() override
    {
        structor_items_clean(&s.items);
        structor_cells_clean(&s.cells);
        xoxs_clean(&GFX.xoxs);
        files_clean(&FILES);
        log_capture_stop();
    }
    structor_item* ball(float x, float y)
    {
        structor_item* it = structor_item_alloc(&s.items, &structor_item_aball);
        it->motion.xform.position = {x, y, 0.0f};
        return it;
    }
};

// One force step over cells all holding `amount` with flows (fx, fy): k = min(amount / 2, 1);
// v.x += k fx / 2; v.y += -k fy / 2 - 0.5 + amount; then v *= (80 - amount) x 0.0125 x 0.96875
// (0 from 80 on) and is clamped to [-8, 8].
TEST_F(World, TheLiquidUnderABallPushesLiftsAndDampsIt)
{
    struct Case {
        uint16_t amount;
        float fx, fy, vx0, vy0, vx, vy;
    } cases[] = {
        {0, 0, 0, 0, 0, 0, -0.5f * 0.96875f},             // dry: falls by 0.5, damped
        {0, 0, 0, 0, -20, 0, -8},                          // (-20 - 0.5) x 0.96875 clamped
        {1, 4, -2, 0, 0, 0.956640625f, 0.956640625f},      // k 0.5: 1 and 0.5 + 0.5; x 0.9875 x 0.96875
        {4, 2, 2, 0, 0, 0.9203125f, 2.30078125f},          // k 1: 1 and -1 - 0.5 + 4; x 0.95 x 0.96875
        {100, 0, 0, 3, -4, 0, 0},                          // 80 or more stops it for the tick
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.amount);
        for (int32_t i = 0; i < 256 * 128; i++)
            s.cells.working[i] = {t.amount, 0, t.fx, t.fy, 0, 0, 0, 0};
        structor_item* b = ball(0.0f, 0.0f);
        b->motion.velocity = {t.vx0, t.vy0, 0.0f};
        structor_items_phase(&s.items, 0x11);
        EXPECT_FLOAT_EQ(t.vx, b->motion.velocity.x);
        EXPECT_FLOAT_EQ(t.vy, b->motion.velocity.y);
        EXPECT_FLOAT_EQ(t.vy, b->move.y);
        structor_item_free(&s.items, b);
    }
    EXPECT_NE(std::string::npos, LOGGED.status.find(" hmm = "));
}

TEST_F(World, ABallInAWallIsPushedOutAndStuckBallsStop)
{
    // Centre 7 units from the left world edge: deep in the border's walls.
    structor_item* b = ball(-505.0f, 1.0f);
    b->motion.velocity = {-2.0f, 0.0f, 0.0f};
    b->move = {-2.0f, 0.0f, 0.0f};
    b->smoothed = 0.0f;
    structor_items_phase(&s.items, 0x20);
    ASSERT_EQ(0.0f, b->sphere.contact_time);
    // Two sub-steps at contact time 0: smoothed falls below 1/16, so the ball stops.
    EXPECT_EQ(1.0f, b->smoothed);
    EXPECT_EQ(0.0f, b->motion.velocity.x);
    EXPECT_EQ(0.0f, b->move.x);

    vec3 before = b->motion.xform.position;
    sphere contact = b->sphere;
    structor_items_phase(&s.items, 0x100);
    float depth = sqrtf(contact.overlap);
    EXPECT_NEAR(before.x + depth * contact.normal.x, b->motion.xform.position.x, 1e-4);
    EXPECT_NEAR(before.y + depth * contact.normal.y, b->motion.xform.position.y, 1e-4);
    EXPECT_GT(b->motion.xform.position.x, before.x) << "out of the wall, to the right";
}

// A ball straight above the floor's wall at x = 2 (centre y = -242, radius 2), moving -8,
// stops where the centres are r + 2 apart, at y = -240 + r: r = size / 2 for any positive,
// finite size, and 1/16 for a size a script set to 0, below 0, NaN or infinity (which must
// also look for walls as a point would, or it misses the floor). At size 32 from -220 the gap
// of 22 - 18 = 4 closes halfway with the normal (0, 1); the velocity reflects to +8, the rest
// of the move (-4) to +4, and it rolls about X by 8 x 0.5 x -1/1024 = -1/256.
TEST_F(World, ABallMeetsTheFloorAtItsRadiusWhateverItsSize)
{
    struct Case {
        float size, y0, r;
    } cases[] = {{32, -220, 16},       {0.2f, -233, 0.1f}, {0.125f, -233, 0.0625f}, {0.124f, -233, 0.062f},
                 {0.1f, -233, 0.05f},  {0, -233, 0.0625f}, {-1, -233, 0.0625f},     {NAN, -233, 0.0625f},
                 {INFINITY, -233, 0.0625f}};
    for (const Case& t : cases) {
        SCOPED_TRACE(t.size);
        structor_item* b = ball(2.0f, t.y0);
        b->motion.xform.scale = {t.size, t.size, t.size};
        b->motion.velocity = b->move = {0.0f, -8.0f, 0.0f};
        b->smoothed = 1.0f;
        structor_items_phase(&s.items, 0x20);
        structor_items_phase(&s.items, 0x100);
        EXPECT_NEAR(-240.0f + t.r, b->motion.xform.position.y, 1e-4);
        EXPECT_EQ(2.0f, b->motion.xform.position.x);
        EXPECT_FLOAT_EQ(8.0f, b->motion.velocity.y);
        if (t.size == 32.0f) {
            EXPECT_EQ(4.0f, b->move.y);
            EXPECT_NEAR(sinf(-1.0f / 512.0f), b->motion.spin.x, 1e-7);
            EXPECT_NEAR(cosf(1.0f / 512.0f), b->motion.spin.w, 1e-7);
        }
        structor_item_free(&s.items, b);
    }
}

// Holding left and right together pans as right. The world (1024 x 512) is w x zoom,
// h x zoom pixels on the 800 x 600 screen (as the view was last built); the pan stays within
// (1024 + |800 - 1024 zoom| / 2) / zoom and (512 + |600 - 512 zoom| / 2) / zoom.
TEST_F(World, ThePanFollowsTheKeysAndStaysWithinTheWorldAndTheScreen)
{
    INPUT.players[4].left.held = INPUT.players[4].right.held = 1;
    structor_view_update(&s.view);
    EXPECT_EQ(-1.0f, s.view.motion.acceleration.x);
    EXPECT_LT(s.view.motion.xform.position.x, 0.0f);
    INPUT.players[4].left.held = INPUT.players[4].right.held = 0;

    struct Case {
        float zoom, x0, y0, x, y;
    } cases[] = {
        {1.0f, 5000, -5000, 1136, -556},  // 1024 + 224 / 2, 512 + 88 / 2
        {2.0f, -5000, 5000, -824, 362},   // (1024 + 1248 / 2) / 2, (512 + 424 / 2) / 2
        {1.0f, 100, -100, 100, -100},     // inside: kept, with its velocity
    };
    for (const Case& t : cases) {
        for (int built = 0; built < 2; built++) {
            s.view.motion.xform.position = {t.x0, t.y0, t.zoom};
            s.view.motion.velocity = {0.0f, 0.0f, 0.0f};
            structor_view_update(&s.view);
        }
        EXPECT_FLOAT_EQ(t.x, s.view.motion.xform.position.x) << t.x0;
        EXPECT_FLOAT_EQ(t.y, s.view.motion.xform.position.y) << t.y0;
    }
}

TEST_F(World, ZoomButtonsStopAtTheirLimitsKeepThePointAndAGrabDragsThePan)
{
    vec3* pos = &s.view.motion.xform.position;
    INPUT.players[4].in.pressed = 1;
    structor_view_update(&s.view);
    EXPECT_FLOAT_EQ(0.8f, pos->z);

    pos->z = 0.16777216f; // 0.8^8
    structor_view_update(&s.view);
    EXPECT_FLOAT_EQ(0.16777216f, pos->z);

    INPUT.players[4].in.pressed = 0;
    INPUT.players[4].out.pressed = 1;
    pos->z = 5.9604645f; // 1.25^8
    structor_view_update(&s.view);
    EXPECT_FLOAT_EQ(5.9604645f, pos->z);

    // Zooming about a pointer off the centre moves the pan towards it.
    pos->z = 1.0f;
    pos->x = pos->y = 0.0f;
    HUD.pointer.x = 500.0f;
    structor_view_update(&s.view);
    EXPECT_FLOAT_EQ(1.25f, pos->z);
    EXPECT_FLOAT_EQ(-20.0f, pos->x);

    // A grab drag from pointer (100, 100) to (110, 100) at zoom 2 moves the pan x by 5.
    INPUT.players[4].out.pressed = 0;
    pos->z = 2.0f;
    INPUT.grab.held = 1;
    HUD.pointer.x = HUD.pointer.y = 100.0f;
    structor_view_update(&s.view);
    float start = pos->x;
    HUD.pointer.x = 110.0f;
    structor_view_update(&s.view);
    EXPECT_FLOAT_EQ(start + 5.0f, pos->x);
    EXPECT_FLOAT_EQ((110.0f - 400.0f) / 2.0f - pos->x, s.view.pointer.x) << "the pointer in world units";
    INPUT.grab.held = 0;
    structor_view_update(&s.view);
    EXPECT_EQ(0u, s.view.dragging);
}

} // namespace
