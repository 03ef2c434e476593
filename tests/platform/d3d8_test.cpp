// The Direct3D-shaped device on GL: what it shows (clears, culling, depth, lighting, the
// order of the transforms, texture stages) and how it keeps its contract (reset with live
// default-pool objects, refused out-of-range draws, injected faults and their log, no device
// without a GL context). Render targets are read back by the avatar render tests.

#include "platform/d3d8.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstring>

#include "platform/d3d8_debug.h"
#include "tests/harness/gl_window.h"

namespace {

struct V3 { // XYZ | NORMAL | DIFFUSE
    float x, y, z, nx, ny, nz;
    uint32_t colour;
};
struct VT { // XYZRHW | DIFFUSE | TEX1; untextured it draws the vertex colour
    float x, y, z, rhw;
    uint32_t colour;
    float u, v;
};
const DWORD FVF_V3 = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;
const DWORD FVF_VT = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

::testing::AssertionResult near(uint32_t actual, uint32_t expected, int tolerance = 3)
{
    for (int s = 0; s < 32; s += 8)
        if (abs((int)((actual >> s) & 0xFF) - (int)((expected >> s) & 0xFF)) > tolerance)
            return ::testing::AssertionFailure() << std::hex << "0x" << actual << " is not near 0x" << expected;
    return ::testing::AssertionSuccess();
}

struct D3d8 : ::testing::Test {
    gl_window win = {};
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* dev = nullptr;
    IDirect3DVertexBuffer8* vb = nullptr;

    void SetUp() override
    {
        d3d8_set_texture_pitch_pad(0);
        ASSERT_TRUE(gl_window_open(&win, 32, 32));
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS pp = {};
        pp.Windowed = TRUE;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.EnableAutoDepthStencil = TRUE;
        pp.AutoDepthStencilFormat = D3DFMT_D16;
        ASSERT_EQ(d3d->lpVtbl->CreateDevice(d3d, 0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                                            &dev),
                  D3D_OK);
        ASSERT_EQ(dev->lpVtbl->CreateVertexBuffer(dev, 4096, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb), D3D_OK);
    }

    void TearDown() override
    {
        if (vb)
            vb->lpVtbl->Release(vb);
        if (dev)
            dev->lpVtbl->Release(dev);
        if (d3d)
            d3d->lpVtbl->Release(d3d);
        gl_window_close(&win);
    }

    template <typename T> HRESULT draw(DWORD fvf, D3DPRIMITIVETYPE type, const T* v, UINT n, UINT primitives)
    {
        BYTE* p = nullptr;
        EXPECT_EQ(vb->lpVtbl->Lock(vb, 0, n * sizeof(T), &p, 0), D3D_OK);
        memcpy(p, v, n * sizeof(T));
        vb->lpVtbl->Unlock(vb);
        dev->lpVtbl->SetStreamSource(dev, 0, vb, sizeof(T));
        dev->lpVtbl->SetVertexShader(dev, fvf);
        return dev->lpVtbl->DrawPrimitive(dev, type, 0, primitives);
    }

    void clear(D3DCOLOR colour, float z = 1.0f)
    {
        ASSERT_EQ(dev->lpVtbl->Clear(dev, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, z, 0), D3D_OK);
    }

    // Screen-space triangle over the top-left half; clockwise on screen unless `ccw`.
    void triangle_2d(uint32_t colour, bool ccw, float z = 0.0f)
    {
        VT t[3] = {{2, 2, z, 1, colour, 0, 0}, {30, 2, z, 1, colour, 0, 0}, {2, 30, z, 1, colour, 0, 0}};
        if (ccw)
            std::swap(t[1], t[2]);
        EXPECT_EQ(draw(FVF_VT, D3DPT_TRIANGLELIST, t, 3, 1), D3D_OK);
    }

    // Transformed triangle over the top-left half of the view at depth z; clockwise on
    // screen unless `ccw`.
    HRESULT triangle_3d(uint32_t colour, float z, bool ccw = false)
    {
        V3 t[3] = {{-1, 1, z, 0, 0, -1, colour}, {1, 1, z, 0, 0, -1, colour}, {-1, -1, z, 0, 0, -1, colour}};
        if (ccw)
            std::swap(t[1], t[2]);
        return draw(FVF_V3, D3DPT_TRIANGLELIST, t, 3, 1);
    }

    void set(D3DRENDERSTATETYPE s, DWORD v) { ASSERT_EQ(dev->lpVtbl->SetRenderState(dev, s, v), D3D_OK); }
    uint32_t pixel(int x, int y) { return d3d8_read_pixel(dev, x, y); }
};

const D3DMATRIX IDENTITY = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

} // namespace

TEST_F(D3d8, ClearIgnoresTheWriteMasksAndTransformedDepthRunsFromZeroToOne)
{
    set(D3DRS_COLORWRITEENABLE, 0);
    set(D3DRS_ZWRITEENABLE, FALSE);
    triangle_2d(0xFFFFFFFF, false); // a draw sends the masks to GL
    clear(0xFF102030, 0.25f);
    EXPECT_TRUE(near(pixel(5, 5), 0xFF102030, 0));
    // Depth was cleared to 0.25 too: a triangle at 0.5 fails the depth test, one at 0.2 passes.
    set(D3DRS_COLORWRITEENABLE, 15);
    set(D3DRS_LIGHTING, FALSE);
    triangle_2d(0xFFFFFFFF, false, 0.5f);
    EXPECT_TRUE(near(pixel(5, 5), 0xFF102030, 0));
    triangle_2d(0xFFFFFFFF, false, 0.2f);
    EXPECT_TRUE(near(pixel(5, 5), 0xFFFFFFFF, 0));

    set(D3DRS_CULLMODE, D3DCULL_NONE);
    set(D3DRS_ZWRITEENABLE, TRUE);
    clear(0xFF000000);
    EXPECT_EQ(triangle_3d(0xFFFF0000, -0.25f), D3D_OK);
    EXPECT_TRUE(near(pixel(3, 3), 0xFF000000)) << "z below 0 lies before the near plane";
    EXPECT_EQ(triangle_3d(0xFF0000FF, 0.25f), D3D_OK);
    EXPECT_EQ(triangle_3d(0xFF00FF00, 0.75f), D3D_OK);
    EXPECT_TRUE(near(pixel(3, 3), 0xFF0000FF));
}

TEST_F(D3d8, CullingFollowsTheWindingSeenOnScreen)
{
    set(D3DRS_LIGHTING, FALSE);
    // Transformed vertices have y running up, yet cull by the same on-screen sense.
    struct {
        DWORD cull;
        bool transformed, ccw, drawn;
    } cases[] = {
        {D3DCULL_CCW, false, true, false}, {D3DCULL_CCW, false, false, true},
        {D3DCULL_CW, false, false, false}, {D3DCULL_CW, false, true, true},
        {D3DCULL_CCW, true, false, true},  {D3DCULL_CCW, true, true, false},
    };
    for (auto& c : cases) {
        set(D3DRS_CULLMODE, c.cull);
        clear(0xFF000000);
        if (c.transformed)
            EXPECT_EQ(triangle_3d(0xFFFFFFFF, 0.5f, c.ccw), D3D_OK);
        else
            triangle_2d(0xFFFFFFFF, c.ccw);
        EXPECT_TRUE(near(pixel(3, 3), c.drawn ? 0xFFFFFFFF : 0xFF000000))
            << "cull " << c.cull << (c.transformed ? " transformed" : " screen") << (c.ccw ? " ccw" : " cw");
    }
}

TEST_F(D3d8, LightingLightsFacesTowardsTheLightAndNeverPreTransformedVertices)
{
    D3DMATERIAL8 m = {};
    m.Diffuse = {1, 1, 1, 1};
    m.Power = 514; // beyond GL's range: clamped, never refused
    ASSERT_EQ(dev->lpVtbl->SetMaterial(dev, &m), D3D_OK);
    D3DLIGHT8 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 1};
    light.Direction = {0, 0, 1}; // travelling into the screen
    ASSERT_EQ(dev->lpVtbl->SetLight(dev, 0, &light), D3D_OK);
    ASSERT_EQ(dev->lpVtbl->LightEnable(dev, 0, TRUE), D3D_OK);
    set(D3DRS_CULLMODE, D3DCULL_NONE);
    // The view turns the world half around: lights stay fixed in the world, not in the view.
    const D3DMATRIX view = {{{-1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -1, 0}, {0, 0, 0.5f, 1}}};
    dev->lpVtbl->SetTransform(dev, D3DTS_VIEW, &view);
    clear(0xFF000000);
    V3 lit[3] = {{-1, 1, 0, 0, 0, -1, 0}, {1, 1, 0, 0, 0, -1, 0}, {-1, -1, 0, 0, 0, -1, 0}};
    EXPECT_EQ(draw(FVF_V3, D3DPT_TRIANGLELIST, lit, 3, 1), D3D_OK);
    EXPECT_TRUE(near(pixel(29, 3), 0xFFFFFFFF)) << "faces the light";
    clear(0xFF000000);
    for (V3& v : lit)
        v.nz = 1;
    EXPECT_EQ(draw(FVF_V3, D3DPT_TRIANGLELIST, lit, 3, 1), D3D_OK);
    EXPECT_TRUE(near(pixel(29, 3), 0xFF000000)) << "faces away, no ambient";

    clear(0xFF000000);
    triangle_2d(0xFF336699, false);
    EXPECT_TRUE(near(pixel(5, 5), 0xFF336699)) << "pre-transformed vertices are not lit";
}

TEST_F(D3d8, WorldAppliesBeforeViewAndProjection)
{
    set(D3DRS_LIGHTING, FALSE);
    set(D3DRS_CULLMODE, D3DCULL_NONE);
    D3DMATRIX world = IDENTITY, view = IDENTITY, proj = IDENTITY;
    world.m[3][0] = 1.0f;   // move right by 1
    view.m[0][0] = 0.5f;    // then halve x: the square lands right of the centre
    proj.m[1][1] = 2.0f;    // then stretch y
    dev->lpVtbl->SetTransform(dev, D3DTS_WORLD, &world);
    dev->lpVtbl->SetTransform(dev, D3DTS_VIEW, &view);
    dev->lpVtbl->SetTransform(dev, D3DTS_PROJECTION, &proj);
    clear(0xFF000000);
    const float h = 0.25f;
    V3 sq[6] = {{-h, h, 0.5f, 0, 0, -1, ~0u}, {h, h, 0.5f, 0, 0, -1, ~0u}, {-h, -h, 0.5f, 0, 0, -1, ~0u},
                {h, h, 0.5f, 0, 0, -1, ~0u}, {h, -h, 0.5f, 0, 0, -1, ~0u}, {-h, -h, 0.5f, 0, 0, -1, ~0u}};
    EXPECT_EQ(draw(FVF_V3, D3DPT_TRIANGLELIST, sq, 6, 2), D3D_OK);
    // Row vectors: x = (x + 1) * 0.5 in [0.375, 0.625] -> pixels 22..26 of 32; y = 2y in
    // [-0.5, 0.5] -> pixels 8..24. Any other order would put the square elsewhere.
    EXPECT_TRUE(near(pixel(24, 16), 0xFFFFFFFF));
    EXPECT_TRUE(near(pixel(24, 10), 0xFFFFFFFF));
    EXPECT_TRUE(near(pixel(20, 16), 0xFF000000));
    EXPECT_TRUE(near(pixel(28, 16), 0xFF000000));
    EXPECT_TRUE(near(pixel(24, 6), 0xFF000000));
}

TEST_F(D3d8, TexturesArePointSampledWrapAndModulateAndAMissingOneCountsAsWhite)
{
    d3d8_set_texture_pitch_pad(16); // rows must follow the locked pitch
    // A full chain asked for, only level 0 filled: it must still sample.
    IDirect3DTexture8* tex = nullptr;
    ASSERT_EQ(dev->lpVtbl->CreateTexture(dev, 2, 2, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex), D3D_OK);
    EXPECT_EQ(tex->lpVtbl->GetLevelCount(tex), 2u);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(tex->lpVtbl->LockRect(tex, 0, &lr, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, 2 * 4 + 16);
    const uint32_t rows[2][2] = {{0xFFFF0000, 0xFF808080}, {0xFF00FF00, 0xFF00FF00}};
    for (int y = 0; y < 2; y++)
        memcpy((BYTE*)lr.pBits + y * lr.Pitch, rows[y], 8);
    ASSERT_EQ(tex->lpVtbl->UnlockRect(tex, 0), D3D_OK);
    set(D3DRS_LIGHTING, FALSE);
    dev->lpVtbl->SetTexture(dev, 0, tex); // default stage 0: texture MODULATE current

    // u runs 0..2 across the quad: each texel column shows twice, 8 pixels wide. The
    // vertices are yellow, so red x yellow = red and grey x yellow = (128, 128, 0).
    const uint32_t yellow = 0xFFFFFF00;
    VT q[4] = {{0, 0, 0, 1, yellow, 0, 0}, {32, 0, 0, 1, yellow, 2, 0}, {0, 32, 0, 1, yellow, 0, 1},
               {32, 32, 0, 1, yellow, 2, 1}};
    // Draws the quad and reads one of its pixels.
    auto shown = [&](int x, int y) {
        clear(0xFF000000);
        EXPECT_EQ(draw(FVF_VT, D3DPT_TRIANGLESTRIP, q, 4, 2), D3D_OK);
        return pixel(x, y);
    };
    // Next to each texel edge a filtered texture would blend the two colours.
    EXPECT_TRUE(near(shown(6, 4), 0xFFFF0000)) << "red texel";
    EXPECT_TRUE(near(shown(9, 4), 0xFF808000)) << "grey texel";
    EXPECT_TRUE(near(shown(17, 4), 0xFFFF0000)) << "wrapped, not clamped";
    EXPECT_TRUE(near(shown(30, 4), 0xFF808000)) << "grey again";
    EXPECT_TRUE(near(shown(6, 24), 0xFF00FF00)) << "bottom row";

    dev->lpVtbl->SetTexture(dev, 0, nullptr);
    EXPECT_TRUE(near(shown(6, 24), yellow)) << "no texture: the vertex colour";
    dev->lpVtbl->SetTexture(dev, 0, tex);
    EXPECT_EQ(tex->lpVtbl->Release(tex), 0u);
    EXPECT_TRUE(near(shown(6, 24), yellow)) << "a texture released while bound is unbound, never read";
}

TEST_F(D3d8, ResetFailsWhileDefaultPoolObjectsLiveAndRestoresDefaultStates)
{
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(dev->lpVtbl->CreateIndexBuffer(dev, 64, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib), D3D_OK);
    set(D3DRS_ZWRITEENABLE, FALSE);
    D3DPRESENT_PARAMETERS pp = {};
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    EXPECT_EQ(dev->lpVtbl->Reset(dev, &pp), D3DERR_INVALIDCALL);
    ib->lpVtbl->Release(ib);
    EXPECT_EQ(dev->lpVtbl->Reset(dev, &pp), D3D_OK);
    DWORD v = 0;
    dev->lpVtbl->GetRenderState(dev, D3DRS_ZWRITEENABLE, &v);
    EXPECT_EQ(v, (DWORD)TRUE);
}

TEST_F(D3d8, DrawsOutsideTheirBuffersAreRefused)
{
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(dev->lpVtbl->CreateIndexBuffer(dev, 6, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), D3D_OK);
    BYTE* p = nullptr;
    ASSERT_EQ(ib->lpVtbl->Lock(ib, 0, 6, &p, 0), D3D_OK);
    const uint16_t idx[3] = {0, 1, 200};
    memcpy(p, idx, 6);
    ib->lpVtbl->Unlock(ib);
    EXPECT_EQ(ib->lpVtbl->Lock(ib, 4, 4, &p, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(p, nullptr);
    V3 t[3] = {};
    EXPECT_EQ(draw(FVF_V3, D3DPT_TRIANGLELIST, t, 3, 1), D3D_OK);
    dev->lpVtbl->SetIndices(dev, ib, 0);
    EXPECT_EQ(dev->lpVtbl->DrawIndexedPrimitive(dev, D3DPT_TRIANGLELIST, 0, 3, 0, 1), D3DERR_INVALIDCALL)
        << "index 200 lies outside the declared range";
    EXPECT_EQ(dev->lpVtbl->DrawIndexedPrimitive(dev, D3DPT_TRIANGLELIST, 0, 201, 0, 1), D3DERR_INVALIDCALL)
        << "range beyond the vertex buffer";
    EXPECT_EQ(dev->lpVtbl->DrawPrimitive(dev, D3DPT_TRIANGLELIST, 4096 / sizeof(V3), 1), D3DERR_INVALIDCALL);
    ib->lpVtbl->Release(ib);
    EXPECT_EQ(dev->lpVtbl->DrawIndexedPrimitive(dev, D3DPT_TRIANGLELIST, 0, 3, 0, 1), D3DERR_INVALIDCALL)
        << "a released index buffer is unbound";
}

TEST_F(D3d8, FaultsSkipThenFailForTheirCountAndAreLogged)
{
    // Skip one call, then fail two; a count of 0 fails every call from then on.
    struct restore {
        ~restore()
        {
            d3d8_fault_clear();
            d3d8_log_stop();
        }
    } restore_faults_and_log;
    d3d8_log_start();
    d3d8_fault_set(D3D8_CALL_Present, D3DERR_DEVICELOST, 1, 2);
    EXPECT_EQ(dev->lpVtbl->Present(dev, nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(dev->lpVtbl->Present(dev, nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(dev->lpVtbl->Present(dev, nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(dev->lpVtbl->Present(dev, nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // The log holds each of the four calls with what it returned, the failed ones too.
    const HRESULT logged[] = {D3D_OK, D3DERR_DEVICELOST, D3DERR_DEVICELOST, D3D_OK};
    ASSERT_EQ(d3d8_log_count(), 4u);
    for (uint32_t i = 0; i < 4; i++) {
        EXPECT_EQ(d3d8_log_get(i)->call, D3D8_CALL_Present) << i;
        EXPECT_EQ(d3d8_log_get(i)->result, logged[i]) << i;
    }

    d3d8_fault_set(D3D8_CALL_SetRenderState, E_FAIL, 0, 0); // every call from now on
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(dev->lpVtbl->SetRenderState(dev, D3DRS_ZENABLE, 0), E_FAIL);
    DWORD v = 7;
    dev->lpVtbl->GetRenderState(dev, D3DRS_ZENABLE, &v);
    EXPECT_EQ(v, (DWORD)D3DZB_TRUE) << "a failed call changes nothing";
    d3d8_fault_set(D3D8_CALL_Direct3DCreate8, E_FAIL, 0, 1);
    EXPECT_EQ(Direct3DCreate8(D3D_SDK_VERSION), nullptr);
    EXPECT_EQ(Direct3DCreate8(120), nullptr) << "another SDK version";
}

TEST(D3d8Create, WithoutAGlContextTheDeviceIsNotAvailable)
{
    gl_window win = {};
    ASSERT_TRUE(gl_window_open(&win, 16, 16));
    SDL_GL_MakeCurrent(win.window, nullptr);
    IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DDISPLAYMODE mode = {};
    EXPECT_EQ(d3d->lpVtbl->GetAdapterDisplayMode(d3d, D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, (D3DFORMAT)D3DFMT_X8R8G8B8);
    EXPECT_GT(mode.Width, 0u);
    D3DPRESENT_PARAMETERS pp = {};
    pp.Windowed = TRUE;
    IDirect3DDevice8* dev = (IDirect3DDevice8*)&pp; // must be cleared
    EXPECT_EQ(d3d->lpVtbl->CreateDevice(d3d, 0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(dev, nullptr);
    EXPECT_EQ(d3d->lpVtbl->Release(d3d), 0u);
    SDL_GL_MakeCurrent(win.window, (SDL_GLContext)win.context);
    gl_window_close(&win);
}
