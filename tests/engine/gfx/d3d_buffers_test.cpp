// The buffer manager: the 2D buffer when full, locks while the device is flagged, texture
// copies that honour the pitch and expand greyscale, textures read again from their files
// at a reset, and clean with live records.

#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/font.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/code/gfx/bmps.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8_debug.h"
#include "tests/engine/gfx/device_fixture.h"

using D3dBuffers = DeviceTest;

TEST_F(D3dBuffers, ADrawThatDoesNotFitStartsTheBufferAgainAndOneTooBigIsRefused)
{
    ASSERT_TRUE(setup_gfx());
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    // 65536 bytes hold 2340 vertices of 28 bytes: after 2338, a quad's 4 start again at 0.
    static d3d_vertex_2d many[2341];
    ASSERT_TRUE(d3d_buffers_draw2d(&D3D_BUFFERS, many, 2338, D3DPT_POINTLIST, 2338));
    gfx_draw2d_quad(0, 0, 64, 48, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00);
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(device(), 20, 20), 0xFF00FF00, 0);
    // More than the whole buffer is refused before the device sees it.
    EXPECT_FALSE(d3d_buffers_draw2d(&D3D_BUFFERS, many, 2341, D3DPT_POINTLIST, 2341));
    EXPECT_EQ(GFX.d3d_gfx.reset_flag, 0);
    EXPECT_EQ(errors(), "");
    gfx_end_scene(&GFX);
}

// Each 2D draw's lock of the 2D buffer (offset, bytes, flags) and the start vertex of its
// draw, from the device's call log.
static std::vector<std::vector<uint32_t>> draws_2d()
{
    std::vector<std::vector<uint32_t>> out;
    for (uint32_t i = 0; i < d3d8_log_count(); i++) {
        const d3d8_record* r = d3d8_log_get(i);
        if (r->call == D3D8_CALL_VertexBufferLock)
            out.push_back({r->a[0], r->a[1], r->a[2]});
        if (r->call == D3D8_CALL_DrawPrimitive && !out.empty())
            out.back().push_back(r->a[1]);
    }
    return out;
}

// Quads of 4 vertices (112 bytes): the first of a frame discards (0x2000) and starts at
// vertex 0, the next appends without overwriting (0x1000) at vertex 4; after the present the
// first discards again and the next appends at vertex 4 again; one that would pass the 2340
// vertices (8 + 2338) discards too, and so does the quad after it (2338 + 4).
TEST_F(D3dBuffers, TwoDDrawsAppendWithinAFrameAndDiscardAfterThePresentOrWhenFull)
{
    ASSERT_TRUE(setup_gfx());
    const uint32_t DISCARD = D3DLOCK_DISCARD, APPEND = D3DLOCK_NOOVERWRITE;
    auto quad = [] { gfx_draw2d_quad(0, 0, 8, 8, ~0u, ~0u, ~0u, ~0u); };
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    d3d8_log_start();
    quad();
    quad();
    gfx_end_scene(&GFX);
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    quad();
    quad();
    static d3d_vertex_2d many[2338];
    ASSERT_TRUE(d3d_buffers_draw2d(&D3D_BUFFERS, many, 2338, D3DPT_POINTLIST, 2338));
    quad();
    EXPECT_EQ(draws_2d(), (std::vector<std::vector<uint32_t>>{{0, 112, DISCARD, 0}, {112, 112, APPEND, 4},
                                                               {0, 112, DISCARD, 0}, {112, 112, APPEND, 4},
                                                               {0, 2338 * 28, DISCARD, 0},
                                                               {0, 112, DISCARD, 0}}));
    gfx_end_scene(&GFX);
}

// A device object that cannot be made logs the record's line, then the kind's line, and
// leaves the live counts as they were.
TEST_F(D3dBuffers, FailedCreationsLogTheirLinesAndLeaveTheCountsAlone)
{
    ASSERT_TRUE(setup_gfx());
    int32_t vtxs = D3D_BUFFERS.vtx_count, idxs = D3D_BUFFERS.idx_count, txts = D3D_BUFFERS.txt_count;
    struct {
        d3d8_call call;
        bool (*made)();
        const char* logged;
    } cases[] = {
        {D3D8_CALL_CreateVertexBuffer, [] { return d3d_buffers_alloc_vtx(&D3D_BUFFERS, 0x112, 32, 8) != nullptr; },
         "Failed to allocate vertex buffer,\nFailed to setup vertex buffer,\n"},
        {D3D8_CALL_CreateIndexBuffer, [] { return d3d_buffers_alloc_idx(&D3D_BUFFERS, 8) != nullptr; },
         "Failed to allocate index buffer,\nFailed to setup index buffer,\n"},
        {D3D8_CALL_CreateTexture, [] { return d3d_buffers_alloc_txt(&D3D_BUFFERS, 0, 4, 4, 1, nullptr) != nullptr; },
         "Failed to DX9 : CreateTexture\nFailed to setup texture buffer,\n"},
    };
    for (const auto& c : cases) {
        std::remove("ERROR.TXT");
        d3d8_fault_set(c.call, D3DERR_OUTOFVIDEOMEMORY, 0, 1);
        EXPECT_FALSE(c.made()) << c.logged;
        d3d8_fault_clear();
        EXPECT_NE(errors().find(c.logged), std::string::npos) << errors();
    }
    EXPECT_EQ((std::vector<int32_t>{vtxs, idxs, txts}),
              (std::vector<int32_t>{D3D_BUFFERS.vtx_count, D3D_BUFFERS.idx_count, D3D_BUFFERS.txt_count}));
}

TEST_F(D3dBuffers, VertexLocksWaitForTheResetWhileIndexLocksDoNot)
{
    ASSERT_TRUE(setup_gfx());
    d3d_vtx* v = d3d_buffers_alloc_vtx(&D3D_BUFFERS, 0x112, 32, 3);
    d3d_idx* i = d3d_buffers_alloc_idx(&D3D_BUFFERS, 3);
    ASSERT_TRUE(v && i);
    GFX.d3d_gfx.reset_flag = 1;
    EXPECT_EQ(d3d_vtx_lock(v), nullptr);
    ASSERT_NE(d3d_idx_lock(i), nullptr);
    d3d_idx_unlock(i);
    GFX.d3d_gfx.reset_flag = 0;
    ASSERT_NE(d3d_vtx_lock(v), nullptr);
    d3d_vtx_unlock(v);
    // Success with information is logged and not a failure, but still no lock.
    d3d8_fault_set(D3D8_CALL_IndexBufferLock, S_FALSE, 0, 1);
    EXPECT_EQ(d3d_idx_lock(i), nullptr);
    EXPECT_EQ(GFX.d3d_gfx.reset_flag, 0);
    EXPECT_NE(errors().find("****D3DCHECK**** 0x00000001 from:0 code:1 S_FALSE\n"), std::string::npos);
}

TEST_F(D3dBuffers, TexturesCopyRowsAtThePitchAndExpandGreyscale)
{
    d3d8_set_texture_pitch_pad(16);
    ASSERT_TRUE(setup_gfx());
    uint8_t bgra[3 * 2 * 4];
    for (int k = 0; k < (int)sizeof(bgra); k++)
        bgra[k] = (uint8_t)(k * 9 + 1);
    ASSERT_TRUE(write_image("colour.png", 3, 2, 4, bgra));
    const uint8_t grey[3 * 2] = {0, 50, 100, 150, 200, 250};
    ASSERT_TRUE(write_image("grey.png", 3, 2, 1, grey));

    d3d_txt* c = d3d_buffers_alloc_txt(&D3D_BUFFERS, 0, 0, 0, 1, "colour.png");
    d3d_txt* g = d3d_buffers_alloc_txt(&D3D_BUFFERS, 6, 0, 0, 1, "grey.png");
    ASSERT_TRUE(c && g);
    BYTE* p = d3d_txt_lock(c);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(c->pitch, 3 * 4 + 16);
    for (int y = 0; y < 2; y++)
        EXPECT_EQ(memcmp(p + y * c->pitch, bgra + y * 12, 12), 0) << "row " << y;
    d3d_txt_unlock(c);
    p = d3d_txt_lock(g);
    ASSERT_NE(p, nullptr);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++) {
            uint32_t texel;
            memcpy(&texel, p + y * g->pitch + x * 4, 4);
            EXPECT_EQ(texel, 0xFF000000u | grey[y * 3 + x] * 0x010101u) << x << "," << y;
        }
    d3d_txt_unlock(g);

    // From a bitmap (pitch 12): its rows are copied the same way.
    gfx_bmps bitmap = {};
    bitmap.info = {5, 3, 2, 1, 4, 12, 24, bgra};
    d3d_txt* b = d3d_buffers_alloc_txt_bitmap(&D3D_BUFFERS, &bitmap, 1);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(memcmp(d3d_txt_lock(b) + b->pitch, bgra + 12, 12), 0);
    d3d_txt_unlock(b);
}

TEST_F(D3dBuffers, AResetReadsFileTexturesAgainAndSurvivesAVanishedFile)
{
    ASSERT_TRUE(setup_gfx());
    int32_t fonts = D3D_BUFFERS.txt_count;
    uint32_t red[4] = {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000};
    uint32_t blue[4] = {0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF};
    ASSERT_TRUE(write_image("tile.png", 2, 2, 4, (const uint8_t*)red));
    ASSERT_TRUE(write_image("gone.png", 2, 2, 4, (const uint8_t*)red));
    d3d_txt* tile = d3d_buffers_alloc_txt(&D3D_BUFFERS, 0, 0, 0, 1, "tile.png");
    d3d_txt* gone = d3d_buffers_alloc_txt(&D3D_BUFFERS, 0, 0, 0, 1, "gone.png");
    ASSERT_TRUE(tile && gone);

    ASSERT_TRUE(write_image("tile.png", 2, 2, 4, (const uint8_t*)blue));
    std::remove("gone.png");
    GFX.d3d_gfx.resize_flag = 1;
    ASSERT_TRUE(gfx_begin_scene(&GFX)) << errors();
    EXPECT_NE(errors().find("Failed to Load Texture\n"), std::string::npos);
    EXPECT_EQ(gone->texture, nullptr);
    EXPECT_EQ(D3D_BUFFERS.txt_count, fonts + 2);
    d3d_txt_set(tile, 0);
    const d3d_vertex_2d q[4] = {{0, 0, 0, 1, ~0u, 0, 0}, {64, 0, 0, 1, ~0u, 1, 0}, {0, 48, 0, 1, ~0u, 0, 1},
                                {64, 48, 0, 1, ~0u, 1, 1}};
    ASSERT_TRUE(d3d_buffers_draw2d(&D3D_BUFFERS, q, 4, D3DPT_TRIANGLESTRIP, 2));
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(device(), 20, 20), 0xFF0000FF, 0); // the file's new pixels
    d3d_txt_set(gone, 0); // binds no texture: white times the vertex colour
    ASSERT_TRUE(d3d_buffers_draw2d(&D3D_BUFFERS, q, 4, D3DPT_TRIANGLESTRIP, 2));
    EXPECT_COLOUR_NEAR(d3d8_read_pixel(device(), 20, 20), 0xFFFFFFFF, 0);
    gfx_end_scene(&GFX);
}

TEST_F(D3dBuffers, CleanFreesEveryLiveRecordAndReleasesEveryObject)
{
    ASSERT_TRUE(setup_gfx());
    uint32_t others = d3d8_live_objects(D3DPOOL_DEFAULT) - 1; // all but the 2D buffer (the console's font)
    ASSERT_TRUE(d3d_buffers_alloc_dynavtx(&D3D_BUFFERS, 0x144, 28));
    ASSERT_TRUE(d3d_buffers_alloc_vtx(&D3D_BUFFERS, 0x112, 32, 8));
    ASSERT_TRUE(d3d_buffers_alloc_idx(&D3D_BUFFERS, 8));
    ASSERT_TRUE(d3d_buffers_alloc_txt(&D3D_BUFFERS, 0, 8, 8, 0, nullptr));
    fonts_clean(&GFX); // the fonts give their textures back before the buffers go, as in gfx_clean
    d3d_buffers_clean(&D3D_BUFFERS);
    EXPECT_EQ(d3d8_live_objects(D3DPOOL_DEFAULT), others);
    EXPECT_EQ(d3d8_live_objects(D3DPOOL_MANAGED), 0u);
    d3d_buffers_clean(&D3D_BUFFERS);
    EXPECT_FALSE(d3d_buffers_draw2d(&D3D_BUFFERS, nullptr, 4, D3DPT_TRIANGLESTRIP, 2));
}
