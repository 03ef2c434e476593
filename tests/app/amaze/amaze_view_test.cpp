// The maze camera: zoom limits, turning inertia, the grid directions handed to scripts,
// the follow that keeps the view on the map, and the light turning with the camera.
#include <cmath>

#include "app/code/amaze/amaze_view.h"
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
    // Where a world point on the ground lands on the screen; expects the centre.
    void expect_centred(float x, float z)
    {
        vec3 p = {x, 0.0f, z};
        view_project(&v->view, &p);
        EXPECT_NEAR(400.0f, p.x, 0.5f) << x << "," << z;
        EXPECT_NEAR(300.0f, p.y, 0.5f) << x << "," << z;
    }
};

TEST_F(View, ZoomStopsAtItsLimitsAndTurnsDieAway)
{
    any->in.held = 1;
    frames(60);
    EXPECT_FLOAT_EQ(16.0f, v->zoom);
    any->in.held = 0;
    any->out.held = 1;
    frames(200);
    EXPECT_FLOAT_EQ(128.0f, v->zoom);

    any->left.held = 1;
    frames(1);
    any->left.held = 0;
    float speed = 1.0f / 256.0f * 0.9375f;
    EXPECT_FLOAT_EQ(speed, v->yaw_speed);
    EXPECT_FLOAT_EQ(PI / 8.0f + speed, v->yaw);
    frames(1);
    EXPECT_FLOAT_EQ(speed * 0.9375f, v->yaw_speed);
    any->down.held = 1; // pitch turns the same way and wraps into [0, 2 pi]
    frames(400);
    EXPECT_GE(v->pitch, 0.0f);
    EXPECT_LE(v->pitch, 2.0f * PI);
}

TEST_F(View, GridDirectionsAndTheLightFollowTheYaw)
{
    struct {
        float yaw, up_x, up_z, right_x, right_z;
    } rows[] = {
        {PI / 8, 0, 1, 1, 0}, {PI / 2, 1, 0, 0, -1}, {PI, 0, -1, -1, 0}, {3 * PI / 2, -1, 0, 0, 1}, {1.9f * PI, 0, 1, 1, 0},
    };
    for (auto& r : rows) {
        v->yaw = r.yaw;
        frames(1);
        EXPECT_FLOAT_EQ(r.up_x, v->view_up.x) << r.yaw;
        EXPECT_FLOAT_EQ(r.up_z, v->view_up.z) << r.yaw;
        EXPECT_FLOAT_EQ(r.right_x, v->view_right.x) << r.yaw;
        EXPECT_FLOAT_EQ(r.right_z, v->view_right.z) << r.yaw;
    }

    frames(1);
    vec3 first = v->view.light_dir;
    EXPECT_NEAR(-0.683763f, first.y, 1e-5f);
    v->yaw += PI;
    frames(1);
    EXPECT_NEAR(-first.x, v->view.light_dir.x, 1e-4f);
    EXPECT_NEAR(-first.z, v->view.light_dir.z, 1e-4f);
    EXPECT_NEAR(first.y, v->view.light_dir.y, 1e-5f);
}

TEST_F(View, FollowsTheFirstProtagonistButKeepsTheViewOnTheMap)
{
    frames(1);
    expect_centred(0.0f, 0.0f); // nobody to follow: the map's centre
    a.protagonists.count = 1;
    a.protagonists.items[0] = &hero;
    hero.body.xform.position = {2.0f, 3.0f, -1.5f};
    frames(1);
    expect_centred(2.0f, -1.5f);
    hero.body.xform.position = {7.5f, 0.0f, 0.0f}; // x stops at 8 - 600 / 128
    frames(1);
    expect_centred(8.0f - 4.6875f, 0.0f);
    a.isomap.cells_x = 6; // narrower than the view: centred across
    frames(1);
    expect_centred(0.0f, 0.0f);
}

} // namespace
