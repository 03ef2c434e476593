// The maze camera: zoom limits, turning inertia, the grid directions handed to scripts,
// the follow that keeps the view on the map, and the light turning with the camera.
#include <cmath>

#include "app/code/amaze/amaze_view.h"
#include "app/code/input.h"
#include "engine/code/gfx/gfx.h"
#include "tests/app/amaze/map_fixture.h"

namespace {

const float PI = 3.14159265358979f;

struct View : MapTest {
    amaze_view* v = &a.view;
    input_player* any = &INPUT.players[4];
    amazeitem hero = {};
    void SetUp() override
    {
        MapTest::SetUp();
        screen(800.0f, 600.0f);
        a.isomap.cells_x = 16;
        a.isomap.cells_y = 16;
        ASSERT_TRUE(amaze_view_setup(v, &a));
    }
    void frames(int n)
    {
        for (int i = 0; i < n; i++)
            amaze_view_update(v);
    }
    void follow(float x, float z)
    {
        hero.body.xform.position = {x, 3.0f, z};
        a.protagonists.count = 1;
        a.protagonists.items[0] = &hero;
    }
    // Where a world point lands on the screen.
    vec3 at(float x, float y, float z)
    {
        vec3 p = {x, y, z};
        view_project(&v->view, &p);
        return p;
    }
};

TEST_F(View, StartsLookingDownAtAnEighthTurn)
{
    EXPECT_EQ(VIEW_MODE_CAMERA, v->view.mode);
    EXPECT_FLOAT_EQ(PI / 8.0f, v->yaw);
    EXPECT_FLOAT_EQ(PI / 4.0f, v->pitch);
    EXPECT_FLOAT_EQ(64.0f, v->zoom);
    frames(1);
    // What amaze.getview_uprt answers at the start: 0, 1, 1, 0.
    EXPECT_FLOAT_EQ(0.0f, v->view_up.x);
    EXPECT_FLOAT_EQ(1.0f, v->view_up.z);
    EXPECT_FLOAT_EQ(1.0f, v->view_right.x);
    EXPECT_FLOAT_EQ(0.0f, v->view_right.z);
}

TEST_F(View, ZoomStopsAtItsLimits)
{
    any->in.held = 1;
    frames(60);
    EXPECT_FLOAT_EQ(16.0f, v->zoom);
    any->in.held = 0;
    any->out.held = 1;
    frames(200);
    EXPECT_FLOAT_EQ(128.0f, v->zoom);
    EXPECT_FLOAT_EQ(128.0f, v->view.camera.scale.x);
}

TEST_F(View, TurnsCarryOnAndDieAway)
{
    any->left.held = 1;
    frames(1);
    any->left.held = 0;
    float speed = 1.0f / 256.0f * 0.9375f;
    EXPECT_FLOAT_EQ(speed, v->yaw_speed);
    EXPECT_FLOAT_EQ(PI / 8.0f + speed, v->yaw);
    frames(1);
    EXPECT_FLOAT_EQ(speed * 0.9375f, v->yaw_speed);
    // Pitch turns the same way and wraps into [0, 2 pi].
    any->down.held = 1;
    frames(400);
    EXPECT_GE(v->pitch, 0.0f);
    EXPECT_LE(v->pitch, 2.0f * PI);
    EXPECT_LT(v->pitch_speed, 0.0f);
}

TEST_F(View, GridDirectionsFollowTheYawQuarter)
{
    struct {
        float yaw, up_x, up_z, right_x, right_z;
    } rows[] = {
        {0.1f, 0, 1, 1, 0},  {PI / 2, 1, 0, 0, -1},      {PI, 0, -1, -1, 0},
        {3 * PI / 2, -1, 0, 0, 1}, {1.9f * PI, 0, 1, 1, 0},
    };
    for (auto& r : rows) {
        v->yaw = r.yaw;
        frames(1);
        EXPECT_FLOAT_EQ(r.up_x, v->view_up.x) << r.yaw;
        EXPECT_FLOAT_EQ(r.up_z, v->view_up.z) << r.yaw;
        EXPECT_FLOAT_EQ(r.right_x, v->view_right.x) << r.yaw;
        EXPECT_FLOAT_EQ(r.right_z, v->view_right.z) << r.yaw;
        EXPECT_FLOAT_EQ(0.0f, v->view_up.y);
    }
}

TEST_F(View, CentresOnTheMapWithoutAProtagonist)
{
    frames(1);
    vec3 p = at(0.0f, 0.0f, 0.0f);
    EXPECT_NEAR(400.0f, p.x, 0.5f);
    EXPECT_NEAR(300.0f, p.y, 0.5f);
    // A unit along x spans zoom pixels on the screen at most.
    vec3 q = at(1.0f, 0.0f, 0.0f);
    EXPECT_LE(std::fabs(q.x - p.x), 64.5f);
    EXPECT_GT(std::fabs(q.x - p.x), 10.0f);
}

TEST_F(View, FollowsTheFirstProtagonistButKeepsTheViewOnTheMap)
{
    follow(2.0f, -1.5f);
    frames(1);
    vec3 p = at(2.0f, 0.0f, -1.5f);
    EXPECT_NEAR(400.0f, p.x, 0.5f);
    EXPECT_NEAR(300.0f, p.y, 0.5f);
    // Near the edge the view stops: half = 600 / 128, so x stops at 8 - 4.6875.
    follow(7.5f, 0.0f);
    frames(1);
    p = at(8.0f - 4.6875f, 0.0f, 0.0f);
    EXPECT_NEAR(400.0f, p.x, 0.5f);
    EXPECT_NEAR(300.0f, p.y, 0.5f);
    // A map narrower than the view stays centred across.
    a.isomap.cells_x = 6;
    frames(1);
    p = at(0.0f, 0.0f, 0.0f);
    EXPECT_NEAR(400.0f, p.x, 0.5f);
    EXPECT_NEAR(300.0f, p.y, 0.5f);
}

TEST_F(View, LightTurnsWithTheCamera)
{
    frames(1);
    vec3 first = v->view.light_dir;
    EXPECT_NEAR(1.0f, first.x * first.x + first.y * first.y + first.z * first.z, 1e-5f);
    EXPECT_NEAR(-0.683763f, first.y, 1e-5f);
    v->yaw += PI;
    frames(1);
    // Half a turn later the light's horizontal part points the other way.
    EXPECT_NEAR(-first.x, v->view.light_dir.x, 1e-4f);
    EXPECT_NEAR(-first.z, v->view.light_dir.z, 1e-4f);
    EXPECT_NEAR(first.y, v->view.light_dir.y, 1e-5f);
}

TEST_F(View, ResetStartsAfresh)
{
    any->out.held = 1;
    any->left.held = 1;
    frames(5);
    ASSERT_TRUE(amaze_view_reset(v));
    EXPECT_EQ(&a, v->owner);
    EXPECT_FLOAT_EQ(64.0f, v->zoom);
    EXPECT_FLOAT_EQ(0.0f, v->yaw_speed);
    EXPECT_FLOAT_EQ(PI / 8.0f, v->yaw);
}

} // namespace
