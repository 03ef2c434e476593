// Camera: screen-mode offsets, and the screen view made current on the device, read back as
// pixels (camera mode is seen through the maze's camera and its projections).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/view.h"
#include "platform/d3d8_debug.h"
#include "tests/engine/gfx/device_fixture.h"

// An offset in a screen view is scaled by the zoom (2) only: no shift, no centring and no
// flip.
TEST(View, ScreenModeScalesOffsetsOnly)
{
    // The view takes the root's screen size; the root is shared by every test of the
    // program, so the size goes back as found before anything can fail.
    const int32_t saved_width = GFX.screen_width, saved_height = GFX.screen_height;
    GFX.screen_width = 800;
    GFX.screen_height = 600;
    gfx_view v;
    bool made = view_setup(&v, VIEW_MODE_SCREEN);
    v.derived.position = {5.0f, 5.0f, 2.0f};
    view_build(&v);
    GFX.screen_width = saved_width;
    GFX.screen_height = saved_height;
    ASSERT_TRUE(made);
    vec3 o = {10, 10, 0};
    EXPECT_TRUE(view_project_offset(&v, &o));
    EXPECT_NEAR(o.x, 20.0f, 1e-3f);
    EXPECT_NEAR(o.y, 20.0f, 1e-3f);
}

// The screen size is read only at a build: a view not rebuilt after a resize keeps
// projecting onto the old centre. A reset keeps the mode and goes back to no shift and
// zoom 1. In camera mode the point the camera stands on lands at the screen centre, 10
// units right lands 10 pixels right, and the build leaves the negated camera position in
// the derived transform and the owner's light alone.
TEST(View, ResizesWaitForABuildResetsKeepTheModeAndTheCameraLooksFromItsPosition)
{
    int kept_w = GFX.screen_width, kept_h = GFX.screen_height;
    GFX.screen_width = 800;
    GFX.screen_height = 600;
    auto project = [](gfx_view* v, float x, float y, float z) {
        vec3 p = {x, y, z};
        EXPECT_TRUE(view_project(v, &p));
        return std::vector<float>{std::round(p.x * 1000) / 1000, std::round(p.y * 1000) / 1000};
    };
    gfx_view v;
    ASSERT_TRUE(view_setup(&v, VIEW_MODE_SCREEN));
    GFX.screen_width = 1000;
    GFX.screen_height = 500;
    EXPECT_EQ(project(&v, 0, 0, 0), (std::vector<float>{400, 300}));
    view_build(&v);
    EXPECT_EQ(project(&v, 0, 0, 0), (std::vector<float>{500, 250}));
    v.derived.position = {5, 5, 3};
    ASSERT_TRUE(view_reset(&v));
    EXPECT_EQ(v.mode, (int32_t)VIEW_MODE_SCREEN);
    EXPECT_EQ((std::vector<float>{0, 0, 1}), (std::vector<float>{v.derived.position.x, v.derived.position.y,
                                                                v.derived.position.z}));

    GFX.screen_width = 800;
    GFX.screen_height = 600;
    ASSERT_TRUE(view_setup(&v, VIEW_MODE_CAMERA));
    v.light_dir = {0, 0, 1};
    v.camera.position = {30, -40, 50};
    v.camera.orientation = {0, 0, 0, 1};
    v.camera.scale = {1, 1, 1};
    view_build(&v);
    EXPECT_EQ(project(&v, 30, -40, 50), (std::vector<float>{400, 300}));
    EXPECT_EQ(project(&v, 40, -40, 50)[0], 410.0f);
    EXPECT_EQ((std::vector<float>{-30, 40, -50, 1}),
              (std::vector<float>{v.derived.position.x, v.derived.position.y, v.derived.position.z, v.light_dir.z}));
    GFX.screen_width = kept_w;
    GFX.screen_height = kept_h;
}

namespace {

using ViewDevice = DeviceTest;

struct lit_vertex {
    float x, y, z, nx, ny, nz, u, v;
};

// A square 6 units on a side centred at (cx, cy, z) with the given normal.
void fill_square(lit_vertex* out, float cx, float cy, float z, vec3 n)
{
    const float c[4][2] = {{-3, 3}, {3, 3}, {-3, -3}, {3, -3}};
    for (int i = 0; i < 4; ++i)
        out[i] = {cx + c[i][0], cy + c[i][1], z, n.x, n.y, n.z, 0.0f, 0.0f};
}

} // namespace

// Squares drawn after view_apply on the 64 x 48 screen with shift (4, -3) and zoom 2: a
// point (x, y) lands at pixel ((x + 4) * 2 + 32, 24 - (y - 3) * 2). Grey 128/255 lit by the
// view's ambient 0x60 (0.376) and the screen light, which shines along
// (1, -1.5, 1.25) / 2.193171 = (0.455842, -0.683763, 0.569803):
//   normal +y: N.L = 0.683763, (0.376 + 0.684) x 0.502 = 0.532 -> 136
//   normal -z: N.L = 0.569803, (0.376 + 0.570) x 0.502 = 0.475 -> 121
//   normal -x: N.L = 0.455842, (0.376 + 0.456) x 0.502 = 0.418 -> 107
//   normal -y: faces away, ambient only: 0.376 x 0.502 = 0.189 -> 48
TEST_F(ViewDevice, AppliedViewPlacesAndLightsWhatIsDrawn)
{
    ASSERT_TRUE(setup_gfx());
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    gfx_view v;
    view_setup(&v, VIEW_MODE_SCREEN);
    v.derived.position = {4, -3, 2};
    view_build(&v);
    IDirect3DDevice8_SetRenderState(device(), D3DRS_ZWRITEENABLE, 0);
    view_apply(&v);
    IDirect3DDevice8_SetRenderState(device(), D3DRS_CULLMODE, D3DCULL_NONE);
    gfx_material grey = {0xFF808080, 0xFF808080, 0, 0.0f};
    gfx_set_material(&GFX, &grey);
    D3DMATRIX world = {};
    world.m[0][0] = world.m[1][1] = world.m[2][2] = world.m[3][3] = 1.0f;
    IDirect3DDevice8_SetTransform(device(), D3DTS_WORLD, &world);

    d3d_vtx* quads = d3d_buffers_alloc_vtx(&D3D_BUFFERS, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1,
                                           sizeof(lit_vertex), 16);
    ASSERT_NE(quads, nullptr);
    lit_vertex* p = (lit_vertex*)d3d_vtx_lock(quads);
    ASSERT_NE(p, nullptr);
    fill_square(p, -12, 4, 0, {0, 1, 0});      // pixels 10-22 across, 16-28 down
    fill_square(p + 4, 8, -4, 0, {0, 0, -1});  // pixels 50-62, 32-44
    fill_square(p + 8, -12, -4, 0, {-1, 0, 0}); // pixels 10-22, 32-44
    fill_square(p + 12, -12, 4, 100, {0, -1, 0}); // behind the first: depth 0.27 against 0.25
    d3d_vtx_unlock(quads);
    d3d_vtx_set(quads);
    for (UINT first = 0; first < 16; first += 4)
        IDirect3DDevice8_DrawPrimitive(device(), D3DPT_TRIANGLESTRIP, first, 2);

    struct {
        int x, y;
        uint32_t argb;
    } cases[] = {
        {16, 22, 0xFF888888}, {56, 38, 0xFF797979}, {16, 38, 0xFF6B6B6B},
        {8, 22, 0xFF000080}, {24, 22, 0xFF000080}, {16, 14, 0xFF000080}, {16, 30, 0xFF000080}, // the clear
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        EXPECT_COLOUR_NEAR(d3d8_read_pixel(device(), c.x, c.y), c.argb, 2);
    }
    gfx_end_scene(&GFX);
}
