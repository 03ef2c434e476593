// The HUD pointer's lean: clamped motion, easing toward the resting pose, the held-click
// pose and the limits; and a pointer without a model.
#include <gtest/gtest.h>

#include "app/code/hud/hud.h"
#include "app/code/input.h"

namespace {

const float DEG = 0.017453292f;

struct HudPointer : testing::Test {
    hud_pointer p = {};
    hud_subsystem owner = {};
    void SetUp() override
    {
        INPUT = {};
        ASSERT_TRUE(hud_pointer_setup(&p, &owner)); // no model anywhere: still set up
    }
    void TearDown() override { hud_pointer_clean(&p); }
};

TEST_F(HudPointer, StartsAtRestWithoutAModelAndLimitsHold)
{
    EXPECT_EQ(p.owner, &owner);
    EXPECT_FLOAT_EQ(p.tilt, -80.0f * DEG);
    EXPECT_FLOAT_EQ(p.turn, 30.0f * DEG);
    EXPECT_EQ(p.mesh, nullptr);
    hud_pointer_update(&p);
    hud_pointer_draw(&p); // no graphics root: nothing to draw on
    EXPECT_FLOAT_EQ(p.tilt, -80.0f * DEG);

    // Limits hold.
    p.tilt = 50.0f * DEG;
    p.turn = -200.0f * DEG;
    hud_pointer_update(&p);
    EXPECT_EQ(p.tilt, 0.0f);
    EXPECT_FLOAT_EQ(p.turn, -90.0f * DEG);
    p.tilt = -200.0f * DEG;
    p.turn = 300.0f * DEG;
    hud_pointer_update(&p);
    EXPECT_FLOAT_EQ(p.tilt, -80.0f * DEG);
    EXPECT_FLOAT_EQ(p.turn, 90.0f * DEG);
}

TEST_F(HudPointer, ALargeJumpLeansByAtMostEightDegrees)
{
    hud_pointer_set_pos(&p, 200, 200);
    hud_pointer_update(&p);
    EXPECT_FLOAT_EQ(p.tilt, (-72.0f + (-8.0f) * 0.125f) * DEG);
    EXPECT_FLOAT_EQ(p.turn, (22.0f + 8.0f * 0.125f) * DEG);
    EXPECT_EQ(p.last_x, 200.0f);
    EXPECT_EQ(p.last_y, 200.0f);
    hud_pointer_set_pos(&p, 150, 200);
    hud_pointer_update(&p);
    EXPECT_GT(p.turn, (22.0f + 1.0f) * DEG); // moving left turns the other way
}

TEST_F(HudPointer, EasesAnEighthOfTheWayTowardTheRestingPose)
{
    p.tilt = -40.0f * DEG;
    p.turn = 70.0f * DEG;
    hud_pointer_update(&p);
    EXPECT_FLOAT_EQ(p.tilt, -45.0f * DEG);
    EXPECT_FLOAT_EQ(p.turn, 65.0f * DEG);
    INPUT.click.held = 1;
    hud_pointer_update(&p);
    EXPECT_FLOAT_EQ(p.tilt, (-45.0f + 15.0f * 0.125f) * DEG);
    EXPECT_FLOAT_EQ(p.turn, (65.0f - 50.0f * 0.125f) * DEG);
}

} // namespace
