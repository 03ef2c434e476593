// Render state as the GL device shows it: 2D quads and lines after a reset, with and
// without a texture, depth test and write, and lit meshes under materials.

#include "engine/code/gfx/d3d_state.h"

#include <cstring>

#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8_debug.h"
#include "tests/engine/gfx/device_fixture.h"

using D3dState = DeviceTest;

// 2D quads and lines on the clear colour: the reset's pure vertex colours, the stage set
// up for no texture and for a texture, the depth limit of lines, and depth test and write
// following their setters.
TEST_F(D3dState, TwoDDrawsShowVertexColoursModulateABoundTextureAndFollowTheDepthSetters)
{
    ASSERT_TRUE(setup_gfx());
    d3d_txt* t = d3d_buffers_alloc_txt(&D3D_BUFFERS, 0, 1, 1, 1, nullptr);
    ASSERT_NE(t, nullptr);
    BYTE* p = d3d_txt_lock(t);
    ASSERT_NE(p, nullptr);
    const uint32_t texel = 0x80FFFF00; // yellow, half transparent
    memcpy(p, &texel, 4);
    d3d_txt_unlock(t);
    IDirect3DDevice8* dev = device();
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    d3d_txt_set(t, 0);
    d3d_state_reset(dev); // unbinds it
    gfx_draw2d_quad(0, 0, 64, 48, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(dev, 0, 0), 0xFFFF0000, 8);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(dev, 63, 0), 0xFF00FF00, 8);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(dev, 0, 47), 0xFF0000FF, 8);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(dev, 63, 47), 0xFFFFFFFF, 8);
    // Stage 0 selects the vertex colour: a texture bound behind the engine's back is ignored.
    dev->lpVtbl->SetTexture(dev, 0, (IDirect3DBaseTexture8*)t->texture);
    gfx_draw2d_quad(0, 0, 64, 48, 0xFF20C040, 0xFF20C040, 0xFF20C040, 0xFF20C040);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(dev, 32, 24), 0xFF20C040, 1);
    // No texture through the engine: plain vertex colour.
    EXPECT_TRUE(d3d_state_set_texture(0, dev, nullptr));
    gfx_draw2d_quad(0, 0, 64, 48, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(dev, 32, 24), 0xFF000000, 1);
    // Red times the yellow texel, at half alpha over that black.
    EXPECT_TRUE(d3d_txt_set(t, 0));
    gfx_draw2d_quad(0, 0, 64, 48, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(dev, 32, 24), 0xFF800000, 2);
    // A line beyond depth 1 is not drawn at all; one at depth 1 is.
    d3d_state_reset(dev);
    gfx_draw2d_line(0, 10.5f, 64, 10.5f, 1.0001f, 0xFF00FF00, 0xFF00FF00);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(dev, 30, 10), 0xFF800000, 2);
    gfx_draw2d_line(0, 10.5f, 64, 10.5f, 1.0f, 0xFF00FF00, 0xFF00FF00);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(dev, 30, 10), 0xFF00FF00, 0);

    // Quads at z 0 and 0.5 through the 2D buffer; the depth buffer was cleared to 1. The
    // defaults write no depth, so the far quad still covers the near one.
    const d3d_vertex_2d far_quad[4] = {{0, 0, 0.5f, 1, 0xFF00FF00, 0, 0}, {64, 0, 0.5f, 1, 0xFF00FF00, 0, 0},
                                       {0, 48, 0.5f, 1, 0xFF00FF00, 0, 0}, {64, 48, 0.5f, 1, 0xFF00FF00, 0, 0}};
    gfx_draw2d_quad(0, 0, 32, 48, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000);
    ASSERT_TRUE(d3d_buffers_draw2d(&D3D_BUFFERS, far_quad, 4, D3DPT_TRIANGLESTRIP, 2));
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(dev, 10, 10), 0xFF00FF00, 0);
    gfx_set_zwrite(&GFX, true);
    gfx_set_zfunc(&GFX, true);
    gfx_draw2d_quad(0, 0, 32, 48, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000);
    ASSERT_TRUE(d3d_buffers_draw2d(&D3D_BUFFERS, far_quad, 4, D3DPT_TRIANGLESTRIP, 2));
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(dev, 10, 10), 0xFFFF0000, 0); // the written depth hides it
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(dev, 50, 10), 0xFF00FF00, 0);
    gfx_set_zfunc(&GFX, false); // always
    ASSERT_TRUE(d3d_buffers_draw2d(&D3D_BUFFERS, far_quad, 4, D3DPT_TRIANGLESTRIP, 2));
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(dev, 10, 10), 0xFF00FF00, 0);
    gfx_end_scene(&GFX);
    EXPECT_EQ(errors(), "");
}

// A quad filling the screen at z 0.5 (identity transforms, so the eye is at the origin),
// normal -z, lit by a white light shining along +z: N.L = 1 everywhere. At each corner
// (+-1, +-1, 0.5) the eye direction is -(+-1, +-1, 0.5)/1.5 and the half vector with the
// light's (0, 0, -1) gives N.H = 1.333/1.633 = 0.8165.
TEST_F(D3dState, IndexedDrawsLightMeshesWithTheScaledMaterial)
{
    ASSERT_TRUE(setup_gfx());
    struct V {
        float x, y, z, nx, ny, nz, u, v;
    };
    d3d_vtx* vb = d3d_buffers_alloc_vtx(&D3D_BUFFERS, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, sizeof(V), 4);
    d3d_idx* ib = d3d_buffers_alloc_idx(&D3D_BUFFERS, 4);
    ASSERT_TRUE(vb && ib);
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    const V quad[4] = {{-1, 1, 0.5f, 0, 0, -1, 0, 0}, {1, 1, 0.5f, 0, 0, -1, 0, 0},
                       {-1, -1, 0.5f, 0, 0, -1, 0, 0}, {1, -1, 0.5f, 0, 0, -1, 0, 0}};
    memcpy(d3d_vtx_lock(vb), quad, sizeof(quad));
    d3d_vtx_unlock(vb);
    const uint16_t strip[4] = {0, 1, 2, 3};
    memcpy(d3d_idx_lock(ib), strip, sizeof(strip));
    d3d_idx_unlock(ib);
    IDirect3DDevice8* dev = device();
    // The white light gives its SetLight's result, and lights what follows once enabled.
    d3d8_fault_set(D3D8_CALL_SetLight, D3DERR_NOTAVAILABLE, 0, 1);
    EXPECT_EQ(D3DERR_NOTAVAILABLE, d3d_state_white_light(dev, 0, 0, 1));
    EXPECT_EQ(D3D_OK, d3d_state_white_light(dev, 0, 0, 1));
    ASSERT_EQ(D3D_OK, dev->lpVtbl->LightEnable(dev, 0, TRUE));
    struct {
        gfx_material m;
        uint32_t ambient, seen;
    } cases[] = {
        // Diffuse green in full, plus red from the ambient light on a white ambient material.
        {{0xFF00FF00, 0xFFFFFFFF, 0, 0}, 0xFF400000, 0xFF40FF00},
        // Each channel by itself; gloss 0 is power 2: 0x40 x 0.8165^2 = 42.7 of specular.
        {{0xFF804020, 0, 0xFF404040, 0}, 0, 0xFFAB6B4B},
        // Gloss 1 is power 514: 0.8165^514 leaves no specular at all.
        {{0xFF804020, 0, 0xFF404040, 1}, 0, 0xFF804020},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(gfx_set_material(&GFX, &c.m)) << "a power GL cannot take is still accepted";
        gfx_set_ambient(&GFX, c.ambient);
        gfx_draw2d_quad(0, 0, 8, 8, ~0u, ~0u, ~0u, ~0u); // 2D draws between must not lose the 3D state
        EXPECT_TRUE(d3d_vtx_set(vb));
        EXPECT_TRUE(d3d_idx_set(ib));
        EXPECT_TRUE(gfx_draw3d_tristrip(0, 4, 0, 2));
        SCOPED_TRACE(testing::Message() << std::hex << c.seen);
        EXPECT_COLOUR_NEAR(d3d8_read_pixel(dev, 32, 24), c.seen, 2);
    }
    // Lighting off: a format without colour draws white.
    dev->lpVtbl->SetRenderState(dev, D3DRS_LIGHTING, FALSE);
    EXPECT_TRUE(gfx_draw3d_tristrip(0, 4, 0, 2));
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(dev, 32, 24), 0xFFFFFFFF, 0);
    gfx_end_scene(&GFX);
}
