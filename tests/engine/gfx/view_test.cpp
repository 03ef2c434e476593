// Camera: screen-mode and camera-mode builds, projection to pixels, and the screen size
// being picked up only at a rebuild.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/view.h"

namespace {

struct screen_size {
    int w, h;
    screen_size(int width, int height) : w(GFX.screen_width), h(GFX.screen_height)
    {
        GFX.screen_width = width;
        GFX.screen_height = height;
    }
    ~screen_size()
    {
        GFX.screen_width = w;
        GFX.screen_height = h;
    }
};

vec3 project(gfx_view* v, float x, float y, float z)
{
    vec3 p = {x, y, z};
    EXPECT_TRUE(view_project(v, &p));
    return p;
}

} // namespace

TEST(View, ScreenModeMapsUnitsToPixelsAroundTheCentre)
{
    screen_size s(800, 600);
    gfx_view v;
    ASSERT_TRUE(view_setup(&v, VIEW_MODE_SCREEN));
    vec3 p = project(&v, 0, 0, 0);
    EXPECT_NEAR(p.x, 400.0f, 1e-3f);
    EXPECT_NEAR(p.y, 300.0f, 1e-3f);
    EXPECT_NEAR(p.z, 1024.0f / 4096.0f, 1e-6f);
    p = project(&v, 100, 50, 0);
    EXPECT_NEAR(p.x, 500.0f, 1e-3f);
    EXPECT_NEAR(p.y, 250.0f, 1e-3f);  // y runs down the screen

    // Zoom and shift.
    v.derived.position.z = 2.0f;
    view_build(&v);
    p = project(&v, 100, 0, 0);
    EXPECT_NEAR(p.x, 600.0f, 1e-3f);
    v.derived.position = {10.0f, 20.0f, 1.0f};
    view_build(&v);
    p = project(&v, 0, 0, 0);
    EXPECT_NEAR(p.x, 410.0f, 1e-3f);
    EXPECT_NEAR(p.y, 280.0f, 1e-3f);

    // An offset is scaled only: no centring, no flip.
    v.derived.position = {0.0f, 0.0f, 1.0f};
    view_build(&v);
    vec3 o = {10, 10, 0};
    EXPECT_TRUE(view_project_offset(&v, &o));
    EXPECT_NEAR(o.x, 10.0f, 1e-4f);
    EXPECT_NEAR(o.y, 10.0f, 1e-4f);

    EXPECT_NEAR(v.light_dir.x, 0.455842f, 1e-5f);
    EXPECT_NEAR(v.light_dir.y, -0.683763f, 1e-5f);
    EXPECT_NEAR(v.light_dir.z, 0.569803f, 1e-5f);
}

TEST(View, ResizeTakesEffectOnlyAtTheNextBuild)
{
    screen_size s(800, 600);
    gfx_view v;
    view_setup(&v, VIEW_MODE_SCREEN);
    GFX.screen_width = 1000;
    GFX.screen_height = 500;
    vec3 p = project(&v, 0, 0, 0);
    EXPECT_NEAR(p.x, 400.0f, 1e-3f);
    view_build(&v);
    p = project(&v, 0, 0, 0);
    EXPECT_NEAR(p.x, 500.0f, 1e-3f);
    EXPECT_NEAR(p.y, 250.0f, 1e-3f);
    EXPECT_EQ(v.width, 1000.0f);

    // A reset keeps the mode and goes back to no shift and zoom 1.
    v.derived.position = {5, 5, 3};
    ASSERT_TRUE(view_reset(&v));
    EXPECT_EQ(v.mode, VIEW_MODE_SCREEN);
    EXPECT_EQ(v.derived.position.z, 1.0f);
}

TEST(View, CameraModeLooksFromThePositionAndKeepsItNegated)
{
    screen_size s(800, 600);
    gfx_view v;
    view_setup(&v, VIEW_MODE_CAMERA);
    v.light_dir = {0, 0, 1};
    v.camera.position = {30, -40, 50};
    quat_rotation_z(&v.camera.orientation, 0.7f);
    v.camera.scale = {2, 2, 2};
    view_build(&v);

    EXPECT_NEAR(v.derived.position.x, -30.0f, 1e-4f);
    EXPECT_NEAR(v.derived.position.y, 40.0f, 1e-4f);
    EXPECT_NEAR(v.derived.position.z, -50.0f, 1e-4f);
    EXPECT_EQ(v.light_dir.z, 1.0f);  // the owner's light is left alone
    EXPECT_NEAR(v.projection.m[10], 1.0f / 256.0f, 1e-9f);

    // With no rotation and unit scale the camera position lands at the screen centre.
    v.camera.position = {30, -40, 50};
    v.camera.orientation = {0, 0, 0, 1};
    v.camera.scale = {1, 1, 1};
    view_build(&v);
    vec3 p = project(&v, 30, -40, 50);
    EXPECT_NEAR(p.x, 400.0f, 1e-3f);
    EXPECT_NEAR(p.y, 300.0f, 1e-3f);
    p = project(&v, 40, -40, 50);  // 10 units right: 10 pixels right
    EXPECT_NEAR(p.x, 410.0f, 1e-3f);
}
