// The device wrapper: creation tries and their warnings, the present parameters, D3DCHECK,
// the reset after a failed call, a failing reset, and the frame drawn on the GL device.

#include "engine/code/gfx/d3d_gfx.h"

#include "app/code/opt.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8_debug.h"
#include "tests/engine/gfx/device_fixture.h"

using D3dGfx = DeviceTest;

TEST_F(D3dGfx, BeginSceneClearsToTheEngineBlueAndSetsTheScreenSize)
{
    ASSERT_TRUE(setup_gfx());
    EXPECT_EQ(GFX.screen_width, 0);
    EXPECT_EQ(GFX.screen_height, 0);
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    EXPECT_EQ(GFX.screen_width, 64);
    EXPECT_EQ(GFX.screen_height, 48);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(device(), 0, 0), 0xFF000080, 0);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(device(), 63, 47), 0xFF000080, 0);
    gfx_end_scene(&GFX);
    EXPECT_EQ(errors(), "");
}
