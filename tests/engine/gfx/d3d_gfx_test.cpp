// The device wrapper: creation tries and their warnings, failed creations, the reset after a
// failed call, a failing reset, and the frame drawn on the GL device (the D3DCHECK lines are
// read in the tests of failures and of informational results).

#include "engine/code/gfx/d3d_gfx.h"

#include <SDL2/SDL.h>

#include <string>
#include <vector>

#include "app/code/opt.h"
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

// The option window_startup 1 (fullscreen) puts two full-screen tries first, with the
// options' size; both failing, the device is made windowed and later resets stay windowed
// (the device window of a windowed creation is null, so it never has the focus). Each
// row: failed tries, then the back buffer's width, height, count, depth format, interval
// and whether it is windowed.
TEST_F(D3dGfx, FullscreenTriesComeFirstWithTheOptionsSizeAndFallBackToAWindow)
{
    opts kept = OPT;
    OPT.window_startup = 1;
    OPT.window_width = 1024;
    OPT.window_height = 768;
    struct {
        uint32_t failures;
        std::vector<uint32_t> params;
        const char* warned;
    } cases[] = {
        {0, {1024, 768, 1, D3DFMT_D24S8, D3DPRESENT_INTERVAL_IMMEDIATE, 0}, ""},
        {2, {0, 0, 0, D3DFMT_D16, 0, 1},
         "Failed to use fullscreen(1024x768) D3DCREATE_HARDWARE_VERTEXPROCESSING\n"
         "Failed to use fullscreen(1024x768) D3DDEVTYPE_HAL\n"},
    };
    for (const auto& c : cases) {
        std::remove("WARN.TXT");
        if (c.failures)
            d3d8_fault_set(D3D8_CALL_CreateDevice, D3DERR_NOTAVAILABLE, 0, c.failures);
        ASSERT_TRUE(setup_gfx());
        d3d8_fault_clear();
        const D3DPRESENT_PARAMETERS& p = GFX.d3d_gfx.present_params;
        EXPECT_EQ(c.params, (std::vector<uint32_t>{p.BackBufferWidth, p.BackBufferHeight, p.BackBufferCount,
                                                   (uint32_t)p.AutoDepthStencilFormat,
                                                   p.FullScreen_PresentationInterval, (uint32_t)p.Windowed}));
        std::string w = warnings();
        EXPECT_EQ(w.substr(std::min(w.size(), w.find("Failed"))), c.warned);
        gfx_clean(&GFX);
    }
    d3d8_fault_set(D3D8_CALL_CreateDevice, D3DERR_NOTAVAILABLE, 0, 2);
    ASSERT_TRUE(setup_gfx());
    d3d8_fault_clear();
    EXPECT_EQ(GFX.d3d_gfx.present_params.hDeviceWindow, nullptr);
    GFX.d3d_gfx.resize_flag = 1;
    d3d8_log_start();
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    int32_t reset = d3d8_log_find(D3D8_CALL_Reset, 0);
    ASSERT_GE(reset, 0);
    EXPECT_EQ(d3d8_log_get(reset)->a[0], 1u) << "windowed";
    gfx_end_scene(&GFX);
    OPT = kept;
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

// At the reset after a failed present the parts are lost console font first (the one
// default-pool texture), then the buffers, all before the Reset; after it the buffers are
// made again in list order, then the 2D buffer (65520 bytes), then the console font, all
// before the frame's Clear; every static buffer then asks its owner for a refill.
TEST_F(D3dGfx, AResetLosesTheConsoleFontFirstRestoresItLastAndAsksForRefills)
{
    ASSERT_TRUE(setup_gfx());
    d3d_vtx* v = d3d_buffers_alloc_vtx(&D3D_BUFFERS, 0x112, 32, 4);
    d3d_idx* i = d3d_buffers_alloc_idx(&D3D_BUFFERS, 6);
    ASSERT_TRUE(v && i);
    v->needs_refill = i->needs_refill = 0;
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    d3d8_fault_set(D3D8_CALL_Present, D3DERR_DEVICELOST, 0, 1);
    gfx_end_scene(&GFX);
    d3d8_log_start();
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    gfx_end_scene(&GFX);
    int32_t reset = d3d8_log_find(D3D8_CALL_Reset, 0), release = d3d8_log_find(D3D8_CALL_Release, 0);
    ASSERT_TRUE(reset >= 0 && release >= 0 && release < reset);
    EXPECT_EQ((std::vector<uint32_t>{D3D8_KIND_TEXTURE, D3DPOOL_DEFAULT}),
              (std::vector<uint32_t>{d3d8_log_get((uint32_t)release)->a[0], d3d8_log_get((uint32_t)release)->a[1]}));
    EXPECT_EQ(d3d8_log_find(D3D8_CALL_Release, (uint32_t)reset), -1) << "nothing released after the reset";
    std::vector<uint32_t> made; // the sizes of the vertex buffers made
    int32_t last = reset;
    for (int32_t k = d3d8_log_find(D3D8_CALL_CreateVertexBuffer, (uint32_t)reset); k >= 0;
         k = d3d8_log_find(D3D8_CALL_CreateVertexBuffer, (uint32_t)k + 1))
        made.push_back(d3d8_log_get((uint32_t)(last = k))->a[0]);
    int32_t font = d3d8_log_find(D3D8_CALL_CreateTexture, (uint32_t)reset); // the text fonts' come first
    while (font >= 0 && d3d8_log_get((uint32_t)font)->a[4] != D3DPOOL_DEFAULT)
        font = d3d8_log_find(D3D8_CALL_CreateTexture, (uint32_t)font + 1);
    ASSERT_GT(font, last);
    EXPECT_EQ(made, (std::vector<uint32_t>{32 * 4, 65520}));
    EXPECT_LT(font, d3d8_log_find(D3D8_CALL_Clear, (uint32_t)reset));
    EXPECT_EQ((std::vector<uint32_t>{1, 1, 0}), (std::vector<uint32_t>{v->needs_refill, i->needs_refill,
                                                                     (uint32_t)GFX.d3d_gfx.reset_flag}));
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
