// The device wrapper: creation tries and their warnings, failed creations, the reset after a
// failed call, a failing reset, and the frame drawn on the GL device (the D3DCHECK lines are
// read in the tests of failures and of informational results).

#include "engine/code/gfx/d3d_gfx.h"

#include <SDL2/SDL.h>

#include <string>

#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8_debug.h"
#include "tests/engine/gfx/device_fixture.h"

using D3dGfx = DeviceTest;

TEST_F(D3dGfx, CreationFallsBackThroughItsTriesWarningOfEach)
{
    // Hardware vertex processing, then software vertex processing on the hardware device,
    // then the other device types: each failed try is warned of in turn.
    d3d8_fault_set(D3D8_CALL_CreateDevice, D3DERR_NOTAVAILABLE, 0, 3);
    ASSERT_TRUE(setup_gfx());
    std::string w = warnings();
    EXPECT_EQ(w.substr(w.find("Failed")), "Failed to use windowed D3DCREATE_HARDWARE_VERTEXPROCESSING\n"
                                          "Failed to use windowed D3DDEVTYPE_HAL\n"
                                          "Failed to use windowed software device\n");
    EXPECT_EQ(GFX.d3d_gfx.reset_flag, 0) << "the restore at setup succeeded";
    EXPECT_NE(errors().find("****D3DCHECK**** 0x8876086a from:2166 code:2154 D3DERR_NOTAVAILABLE\n"), std::string::npos);
}

TEST_F(D3dGfx, CreationFailuresCleanUpAndCanBeCleanedTwice)
{
    struct {
        d3d8_call call;
        uint32_t count;
        const char* logged;
    } cases[] = {
        {D3D8_CALL_CreateDevice, 0, "Failed to create d3d device,\nGFX.D3D_GFX subsystem failed to initialize,\n"},
        {D3D8_CALL_Direct3DCreate8, 1, "Failed to open DirectX 9\n"},
        {D3D8_CALL_GetAdapterDisplayMode, 1, "Failed to get desktop mode,\n"},
    };
    for (const auto& c : cases) {
        d3d8_fault_set(c.call, D3DERR_NOTAVAILABLE, 0, c.count);
        EXPECT_FALSE(setup_gfx()) << c.logged;
        EXPECT_NE(errors().find(c.logged), std::string::npos) << c.logged;
        EXPECT_EQ(GFX.d3d_gfx.device, nullptr);
        EXPECT_EQ(GFX.d3d_gfx.d3d, nullptr);
        gfx_clean(&GFX);
        gfx_clean(&GFX);
        EXPECT_FALSE(gfx_begin_scene(&GFX));
        d3d8_fault_clear();
    }

    // A 2D buffer that cannot be made at the restore after creation does not fail the
    // setup: the first begin resets the device and makes it.
    d3d8_fault_set(D3D8_CALL_CreateVertexBuffer, D3DERR_OUTOFVIDEOMEMORY, 0, 1);
    ASSERT_TRUE(setup_gfx());
    EXPECT_NE(errors().find("Failed to setup dynamic D3DFVF_2D buffer,\nD3D_BUFFERS subsystem failed to initialize,\n"),
              std::string::npos);
    EXPECT_EQ(D3D_BUFFERS.buffer_2d, nullptr);
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    EXPECT_EQ(GFX.d3d_gfx.reset_flag, 0);
    EXPECT_NE(D3D_BUFFERS.buffer_2d, nullptr);
    gfx_end_scene(&GFX);
}

TEST_F(D3dGfx, AFailedPresentResetsAtTheNextBeginWhichDrawsAndAFailingResetDrawsNothing)
{
    ASSERT_TRUE(setup_gfx());
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    gfx_draw2d_quad(0, 0, 8, 8, ~0u, ~0u, ~0u, ~0u);
    d3d8_fault_set(D3D8_CALL_Present, D3DERR_DEVICELOST, 0, 1);
    gfx_end_scene(&GFX);

    ASSERT_TRUE(gfx_begin_scene(&GFX)); // the reset succeeds: no default-pool object was left alive
    EXPECT_EQ(GFX.d3d_gfx.reset_flag, 0);
    gfx_draw2d_quad(0, 0, 64, 48, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(device(), 10, 10), 0xFF00FF00, 0);
    gfx_end_scene(&GFX);

    // A reset that keeps failing is tried again every frame, draws nothing and leaves the
    // parts lost and the screen size as it was, until it succeeds.
    d3d8_fault_set(D3D8_CALL_Reset, D3DERR_DEVICELOST, 0, 0);
    GFX.d3d_gfx.reset_flag = 1;
    std::remove("ERROR.TXT");
    for (int frame = 0; frame < 2; frame++)
        EXPECT_FALSE(gfx_begin_scene(&GFX));
    EXPECT_EQ(GFX.screen_width, 64);
    EXPECT_EQ(GFX.screen_height, 48);
    std::string e = errors();
    EXPECT_NE(e.find("Failed to reset D3D device,\n", e.find("Failed to reset D3D device,\n") + 1), std::string::npos);
    d3d8_fault_clear();
    EXPECT_TRUE(gfx_begin_scene(&GFX));
    gfx_draw2d_quad(0, 0, 64, 48, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(device(), 10, 10), 0xFF0000FF, 0);
    gfx_end_scene(&GFX);
}

TEST_F(D3dGfx, BeginClearsToTheEngineBlueAndAResizeResetsToTheClientArea)
{
    ASSERT_TRUE(setup_gfx());
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    EXPECT_EQ(GFX.screen_width, 64);
    EXPECT_EQ(GFX.screen_height, 48);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(device(), 63, 47), 0xFF000080, 0);
    gfx_end_scene(&GFX);
    EXPECT_EQ(errors(), "");

    SDL_SetWindowSize(win.window, 40, 30);
    GFX.d3d_gfx.resize_flag = 1;
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    EXPECT_EQ(GFX.screen_width, 40);
    EXPECT_EQ(GFX.screen_height, 30);
    gfx_end_scene(&GFX);
}
