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
#include "tests/harness/log_capture.h"

namespace {

struct World : testing::Test {
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
    void frame()
    {
        for (uint32_t ph : {0x11u, 0x20u, 0x100u, 0x20u, 0x100u, 0x80000000u})
            structor_items_phase(&s.items, ph);
    }
};

TEST_F(World, ItemsKeepTheOrderOfMakingAndFreeingClearsTheLuaSlot)
{
    structor_item* a = structor_item_alloc(&s.items, &structor_item_brush);
    structor_item* b = ball(0, 0);
    structor_item* c = structor_item_alloc(&s.items, &structor_item_cells);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(&a->links, list_first(&s.items.records.live));
    EXPECT_EQ(&b->links, a->links.next);
    EXPECT_EQ(&c->links, b->links.next);
    EXPECT_EQ(32.0f, b->motion.xform.scale.x);
    EXPECT_EQ(0.96875f, b->motion.damping);
    EXPECT_EQ(nullptr, ((void**)b->data)[0]) << "no mesh file here: the ball stands without one";

    void* slot = b;
    b->lua_slot = &slot;
    structor_item_free(&s.items, b);
    EXPECT_EQ(nullptr, slot);
    EXPECT_EQ(2, s.items.count);

    // Reset puts the motion back to the copy that setinitial took.
    a->motion.xform.position = {5, 6, 0};
    structor_item_setinitial(a);
    a->motion.xform.position = {50, 60, 0};
    structor_items_reset_all(&s.items);
    EXPECT_EQ(5.0f, a->motion.xform.position.x);
    EXPECT_EQ(6.0f, a->motion.xform.position.y);
}

TEST_F(World, ADryBallFallsDampedAndItsSpeedIsClampedToEight)
{
    structor_item* b = ball(0.0f, 100.0f);
    frame();
    EXPECT_FLOAT_EQ(-0.5f * 0.96875f, b->motion.velocity.y);
    EXPECT_EQ(0.0f, b->motion.velocity.x);
    EXPECT_LT(b->motion.xform.position.y, 100.0f);
    EXPECT_NE(std::string::npos, LOGGED.status.find(" hmm = "));

    b->motion.velocity.y = -20.0f;
    frame();
    EXPECT_EQ(-8.0f, b->motion.velocity.y);
}

TEST_F(World, DeepLiquidStopsABallForThatTick)
{
    structor_item* b = ball(0.0f, 0.0f);
    for (int32_t i = 0; i < 256 * 128; i++)
        if (!s.cells.working[i].solid)
            s.cells.working[i].amount = 100;
    b->motion.velocity = {3.0f, -4.0f, 0.0f};
    structor_items_phase(&s.items, 0x11);
    EXPECT_EQ(0.0f, b->motion.damping);
    EXPECT_EQ(0.0f, b->motion.velocity.x);
    EXPECT_EQ(0.0f, b->motion.velocity.y);
    EXPECT_EQ(0.0f, b->move.y);
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

TEST_F(World, ABallBouncesOffTheFloorInsteadOfPassingIt)
{
    structor_item* b = ball(0.0f, -200.0f);
    b->motion.velocity.y = -8.0f;
    for (int i = 0; i < 60; i++)
        frame();
    // The floor's walls start at y = -240; the ball's radius is 16.
    EXPECT_GT(b->motion.xform.position.y, -240.0f + 16.0f - 2.0f);
}

TEST_F(World, ZoomButtonsStopAtTheirLimitsAndKeepThePointPlace)
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
}

TEST_F(World, LeftAndRightTogetherPanAsRight)
{
    INPUT.players[4].left.held = 1;
    INPUT.players[4].right.held = 1;
    structor_view_update(&s.view);
    EXPECT_EQ(-1.0f, s.view.motion.acceleration.x);
    EXPECT_LT(s.view.motion.xform.position.x, 0.0f);
}

TEST_F(World, AGrabDragMovesThePanByThePointerOverTheZoom)
{
    vec3* pos = &s.view.motion.xform.position;
    pos->z = 2.0f;
    INPUT.grab.held = 1;
    HUD.pointer.x = 100.0f;
    HUD.pointer.y = 100.0f;
    structor_view_update(&s.view);
    float start = pos->x;
    HUD.pointer.x = 110.0f;
    structor_view_update(&s.view);
    EXPECT_FLOAT_EQ(start + 5.0f, pos->x);

    // The pointer in world units follows the pan and zoom.
    EXPECT_FLOAT_EQ((110.0f - 400.0f) / 2.0f - pos->x, s.view.pointer.x);
    INPUT.grab.held = 0;
    structor_view_update(&s.view);
    EXPECT_EQ(0u, s.view.dragging);
}

} // namespace
