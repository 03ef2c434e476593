// Render state: the default table as the device holds it after a reset, and what the GL
// device shows for 2D quads and lines, unbound textures and materials.

#include "engine/code/gfx/d3d_state.h"

#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8_debug.h"
#include "tests/engine/gfx/device_fixture.h"

using D3dState = DeviceTest;

TEST_F(D3dState, QuadAfterResetShowsPureCornerColoursEvenAfterATextureWasBound)
{
    ASSERT_TRUE(setup_gfx());
    d3d_txt* t = d3d_buffers_alloc_txt(&D3D_BUFFERS, 0, 4, 4, 1, nullptr); // transparent black
    ASSERT_NE(t, nullptr);
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    d3d_txt_set(t, 0);
    d3d_state_reset(device());
    gfx_draw2d_quad(0, 0, 64, 48, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(device(), 0, 0), 0xFFFF0000, 8);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(device(), 63, 0), 0xFF00FF00, 8);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(device(), 0, 47), 0xFF0000FF, 8);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(device(), 63, 47), 0xFFFFFFFF, 8);
    gfx_end_scene(&GFX);
    EXPECT_EQ(errors(), "");
}
