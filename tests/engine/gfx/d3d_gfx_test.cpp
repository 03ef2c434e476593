// The device wrapper: creation tries and their warnings, the present parameters, D3DCHECK,
// the reset after a failed call, a failing reset, and the frame drawn on the GL device.

#include "engine/code/gfx/d3d_gfx.h"

#include <SDL2/SDL.h>

#include <string>
#include <vector>

#include "app/code/opt.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8_debug.h"
#include "tests/engine/gfx/device_fixture.h"

using D3dGfx = DeviceTest;

// The device-type argument of each CreateDevice try, in order.
static std::vector<uint32_t> create_tries()
{
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < d3d8_log_count(); i++)
        if (d3d8_log_get(i)->call == D3D8_CALL_CreateDevice)
            out.push_back(d3d8_log_get(i)->a[1] * 100 + d3d8_log_get(i)->a[2]);
    return out;
}

TEST_F(D3dGfx, CreationFallsBackThroughItsTriesWarningOfEach)
{
    // Tries as device type x 100 + behaviour: HAL 1, software 2, reference 3; hardware
    // vertex processing 0x40, software 0x20. Full screen is tried only when asked for.
    struct {
        int fullscreen, failures;
        std::vector<uint32_t> tries;
        std::vector<const char*> warned;
    } cases[] = {
        {0, 3, {100 + 0x40, 100 + 0x20, 300 + 0x20, 200 + 0x20},
         {"Failed to use windowed D3DCREATE_HARDWARE_VERTEXPROCESSING\n", "Failed to use windowed D3DDEVTYPE_HAL\n",
          "Failed to use windowed software device\n"}},
        {1, 2, {100 + 0x40, 100 + 0x20, 100 + 0x40},
         {"Failed to use fullscreen(1024x768) D3DCREATE_HARDWARE_VERTEXPROCESSING\n",
          "Failed to use fullscreen(1024x768) D3DDEVTYPE_HAL\n"}},
    };
    for (const auto& c : cases) {
        gfx_clean(&GFX);
        std::remove("WARN.TXT");
        OPT.window_startup = c.fullscreen;
        OPT.window_width = 1024;
        OPT.window_height = 768;
        d3d8_log_start();
        d3d8_fault_set(D3D8_CALL_CreateDevice, D3DERR_NOTAVAILABLE, 0, c.failures);
        ASSERT_TRUE(setup_gfx());
        EXPECT_EQ(create_tries(), c.tries);
        EXPECT_EQ(d3d8_log_get(d3d8_log_find(D3D8_CALL_CreateDevice, 0))->a[3], (uint32_t)!c.fullscreen) << "windowed";
        std::string w = warnings(), want;
        for (const char* line : c.warned)
            want += line;
        EXPECT_EQ(w.substr(w.find("Failed")), want);
        EXPECT_EQ(GFX.d3d_gfx.reset_flag, 0) << "the restore at setup succeeded";
    }
    EXPECT_NE(errors().find("****D3DCHECK**** 0x8876086a from:2166 code:2154 D3DERR_NOTAVAILABLE\n"), std::string::npos);
    // Later resets ask for full screen only when the device window has the focus, and
    // the windowed device has none.
    EXPECT_EQ(GFX.d3d_gfx.present_params.hDeviceWindow, nullptr);
    GFX.d3d_gfx.resize_flag = 1;
    d3d8_log_start();
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    const d3d8_record* reset = d3d8_log_get(d3d8_log_find(D3D8_CALL_Reset, 0));
    ASSERT_NE(reset, nullptr);
    EXPECT_EQ(reset->a[0], 1u) << "windowed";
    gfx_end_scene(&GFX);
}

TEST_F(D3dGfx, CreationFailuresCleanUpAndCanBeCleanedTwice)
{
    d3d8_fault_set(D3D8_CALL_CreateDevice, D3DERR_NOTAVAILABLE, 0, 0);
    EXPECT_FALSE(setup_gfx());
    EXPECT_NE(errors().find("Failed to create d3d device,\nGFX.D3D_GFX subsystem failed to initialize,\n"),
              std::string::npos);
    EXPECT_EQ(GFX.d3d_gfx.device, nullptr);
    EXPECT_EQ(GFX.d3d_gfx.d3d, nullptr);
    gfx_clean(&GFX);
    gfx_clean(&GFX);
    EXPECT_FALSE(gfx_begin_scene(&GFX));

    d3d8_fault_clear();
    d3d8_fault_set(D3D8_CALL_Direct3DCreate8, E_FAIL, 0, 1);
    EXPECT_FALSE(setup_gfx());
    EXPECT_NE(errors().find("Failed to open DirectX 9\n"), std::string::npos);

    d3d8_fault_set(D3D8_CALL_GetAdapterDisplayMode, E_FAIL, 0, 1);
    EXPECT_FALSE(setup_gfx());
    EXPECT_NE(errors().find("Failed to get desktop mode,\n"), std::string::npos);
}

TEST_F(D3dGfx, CheckLogsResultsAndFlagsOnlyFailures)
{
    EXPECT_TRUE(d3d_check(D3D_OK, "a.cpp", 1, "Fri Aug 12 01:26:18 2005"));
    EXPECT_EQ(errors(), "");
    EXPECT_TRUE(d3d_check(S_FALSE, "a.cpp", 12, "Fri Aug 12 01:26:18 2005"));
    EXPECT_EQ(GFX.d3d_gfx.reset_flag, 0);
    EXPECT_FALSE(d3d_check(D3DERR_DEVICELOST, "b.cpp", 34, "Sat Aug 13 02:00:00 2005"));
    EXPECT_EQ(GFX.d3d_gfx.reset_flag, 1);
    d3d_check((HRESULT)0x88761234u, "c.cpp", 5, "t");
    std::string e = errors();
    EXPECT_NE(e.find("\na.cpp(12) : Fri Aug 12 01:26:18 2005 ****D3DCHECK**** 0x00000001 from:0 code:1 S_FALSE\n"),
              std::string::npos)
        << e;
    EXPECT_NE(e.find("\nb.cpp(34) : Sat Aug 13 02:00:00 2005 ****D3DCHECK**** 0x88760868 from:2166 code:2152 "
                     "D3DERR_DEVICELOST\n"),
              std::string::npos)
        << e;
    EXPECT_NE(e.find("0x88761234 from:2166 code:4660 unknown\n"), std::string::npos) << e;
}

TEST_F(D3dGfx, AFailedPresentResetsAtTheNextBeginWhichDrawsAndAFailingResetDrawsNothing)
{
    ASSERT_TRUE(setup_gfx());
    d3d_vtx* v = d3d_buffers_alloc_vtx(&D3D_BUFFERS, 0x112, 32, 4);
    d3d_idx* i = d3d_buffers_alloc_idx(&D3D_BUFFERS, 6);
    ASSERT_TRUE(v && i);
    v->needs_refill = 0;
    i->needs_refill = 0;
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    gfx_draw2d_quad(0, 0, 8, 8, ~0u, ~0u, ~0u, ~0u);
    d3d8_fault_set(D3D8_CALL_Present, D3DERR_DEVICELOST, 0, 1);
    gfx_end_scene(&GFX);
    EXPECT_EQ(GFX.d3d_gfx.reset_flag, 1);

    d3d8_log_start();
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    const d3d8_record* reset = d3d8_log_get(d3d8_log_find(D3D8_CALL_Reset, 0));
    ASSERT_NE(reset, nullptr);
    EXPECT_EQ(reset->result, D3D_OK) << "no default-pool object was left alive";
    EXPECT_EQ(GFX.d3d_gfx.reset_flag, 0);
    EXPECT_EQ(v->needs_refill, 1u);
    EXPECT_EQ(i->needs_refill, 1u);
    EXPECT_NE(D3D_DBG.font, nullptr);
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
    EXPECT_EQ(D3D_BUFFERS.buffer_2d, nullptr);
    d3d8_fault_clear();
    EXPECT_TRUE(gfx_begin_scene(&GFX));
    EXPECT_NE(D3D_BUFFERS.buffer_2d, nullptr);
    gfx_end_scene(&GFX);
}

TEST_F(D3dGfx, BeginClearsToTheEngineBlueAndAResizeResetsToTheClientArea)
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

    SDL_SetWindowSize(win.window, 40, 30);
    GFX.d3d_gfx.resize_flag = 1;
    d3d8_log_start();
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    const d3d8_record* reset = d3d8_log_get(d3d8_log_find(D3D8_CALL_Reset, 0));
    ASSERT_NE(reset, nullptr);
    EXPECT_EQ(reset->a[1], 0u);
    EXPECT_EQ(reset->a[2], 0u);
    EXPECT_EQ(GFX.d3d_gfx.resize_flag, 0);
    EXPECT_EQ(GFX.screen_width, 40);
    EXPECT_EQ(GFX.screen_height, 30);
    gfx_end_scene(&GFX);
}

TEST_F(D3dGfx, AFailedFirstRestoreLeavesTheResetToTheFirstBegin)
{
    d3d8_fault_set(D3D8_CALL_CreateVertexBuffer, D3DERR_OUTOFVIDEOMEMORY, 0, 1); // the 2D buffer
    ASSERT_TRUE(setup_gfx()) << "the restore's result is not looked at";
    EXPECT_NE(errors().find("Failed to setup dynamic D3DFVF_2D buffer,\nD3D_BUFFERS subsystem failed to initialize,\n"),
              std::string::npos);
    EXPECT_EQ(GFX.d3d_gfx.reset_flag, 1);
    EXPECT_EQ(D3D_BUFFERS.buffer_2d, nullptr);
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    EXPECT_EQ(GFX.d3d_gfx.reset_flag, 0);
    EXPECT_NE(D3D_BUFFERS.buffer_2d, nullptr);
    gfx_end_scene(&GFX);
}
