// Meshes on the GL device: what the vertex buffer holds after blending morphs (plain and
// mirrored), the draw calls per material and strip, recolouring, recovery after a device
// reset, and files that must be refused.

#include "engine/code/gfx/xox.h"

#include <cstring>

#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/soul.h"
#include "platform/d3d8_debug.h"
#include "tests/engine/gfx/avatar_fixture.h"
#include "tests/harness/log_capture.h"
#include "tools/writer/wr_avatar.h"

using Xox = GfxTest;

static xox_mesh* load(const wr_xox_mesh& m, const char* path = "m.xox")
{
    EXPECT_TRUE(wr_xox_save(path, &m));
    return xoxs_load(&GFX.xoxs, path);
}

// The calls of one xox_draw: each indexed draw's five arguments, each culling change as
// {cull mode} and each material as {power, 0}.
static std::vector<std::vector<uint32_t>> drawn(xox_mesh* mesh)
{
    EXPECT_TRUE(gfx_begin_scene(&GFX));
    d3d8_log_start();
    xox_draw(mesh);
    d3d8_log_stop();
    gfx_end_scene(&GFX);
    std::vector<std::vector<uint32_t>> out;
    for (uint32_t i = 0; i < d3d8_log_count(); i++) {
        const d3d8_record* r = d3d8_log_get(i);
        if (r->call == D3D8_CALL_DrawIndexedPrimitive)
            out.push_back({r->a[0], r->a[1], r->a[2], r->a[3], r->a[4]});
        if (r->call == D3D8_CALL_SetRenderState && r->a[0] == D3DRS_CULLMODE)
            out.push_back({r->a[1]});
        float power;
        memcpy(&power, &r->a[2], 4);
        if (r->call == D3D8_CALL_SetMaterial)
            out.push_back({(uint32_t)power, 0});
    }
    return out;
}

TEST_F(Xox, WeightsAreAbsoluteAndANewBufferIsRefilled)
{
    wr_xox_mesh m = quad_mesh("skin");
    m.morphs = {uniform_morph("up", 0, 1, 0, 0, 0.5f, 0), uniform_morph("out", 0, 0, -2)};
    m.morphs[1].first = 2; // vertices 2 and 3 only
    m.morphs[1].deltas.resize(12);
    xox_mesh* mesh = load(m);
    ASSERT_NE(mesh, nullptr);
    mesh->weights[0].weight = 0.5f;
    mesh->weights[1].weight = 1.0f;
    xox_update(mesh);
    std::vector<float> v = vertex_buffer(mesh);
    EXPECT_FLOAT_EQ(v[0 * 8 + 1], 0.5f);  // y 0 + 0.5 x 1
    EXPECT_FLOAT_EQ(v[0 * 8 + 4], 0.25f); // ny 0 + 0.5 x 0.5
    EXPECT_FLOAT_EQ(v[0 * 8 + 2], 0.0f);  // outside the second morph's range
    EXPECT_FLOAT_EQ(v[3 * 8 + 2], -2.0f);
    mesh->weights[0].weight = 0;
    xox_update(mesh);
    EXPECT_FLOAT_EQ(vertex_buffer(mesh)[0 * 8 + 1], 0.0f); // back to the file vertex, not cumulative

    // While the device waits for a reset the lock is refused and the change stays pending.
    mesh->weights[0].weight = 1;
    GFX.d3d_gfx.reset_flag = 1;
    xox_update(mesh);
    EXPECT_EQ(mesh->weights[0].applied, 0.0f);
    GFX.d3d_gfx.reset_flag = 0;
    xox_update(mesh);
    EXPECT_FLOAT_EQ(vertex_buffer(mesh)[0 * 8 + 1], 1.0f);

    // A device reset remakes both buffers; the next update refills them.
    d3d_gfx_lose(&GFX.d3d_gfx);
    ASSERT_TRUE(d3d_gfx_restore(&GFX.d3d_gfx));
    d3d8_log_start();
    xox_update(mesh);
    EXPECT_EQ(d3d8_log_count_of(D3D8_CALL_IndexBufferLock), 1u) << "the indices are written again";
    EXPECT_FLOAT_EQ(vertex_buffer(mesh)[3 * 8 + 2], -2.0f);
}

// A mesh of two materials: "skin" with strips of 4, 2 and 3 indices (the 2-index strip
// draws nothing but still takes its indices) and "Hair" from index 9, a morph on all four
// vertices, and vertex 3's normal x 0.5.
TEST_F(Xox, MirroredMeshesNegateXAndCullClockwiseAndDrawsWalkMaterialsAndStrips)
{
    wr_xox_mesh m = quad_mesh("skin");
    m.vertices[3].nx = 0.5f;
    m.morphs = {uniform_morph("left", 0.25f, 0.5f, 0, 0.1f, 0, 0)};
    m.indices = {0, 1, 2, 3, 0, 1, 2, 3, 2, 1, 0, 1};
    m.materials[0].strips = {4, 2, 3};
    wr_xox_material second;
    second.name = "Hair";
    second.gloss = 0.25f;
    second.first_index = 9;
    second.strips = {3};
    m.materials.push_back(second);
    xox_mesh* mesh = load(m);
    ASSERT_NE(mesh, nullptr);
    mesh->mirrored = 1;
    mesh->weights[0].weight = 1;
    xox_update(mesh);
    std::vector<float> v = vertex_buffer(mesh);
    EXPECT_FLOAT_EQ(v[3 * 8 + 0], -1.25f); // -(1) - 0.25
    EXPECT_FLOAT_EQ(v[3 * 8 + 1], 1.5f);
    EXPECT_FLOAT_EQ(v[3 * 8 + 3], -0.6f); // -(0.5) - 0.1
    // Power gloss x 512 + 2, then strips (type 5) from index 0 (2 triangles) and 6 (1); the
    // second material's power 130 and its strip from 9; culling turned and put back.
    std::vector<std::vector<uint32_t>> want = {{D3DCULL_CW}, {2, 0}, {5, 0, 4, 0, 2}, {5, 0, 4, 6, 1},
                                               {130, 0}, {5, 0, 4, 9, 1}, {D3DCULL_CCW}};
    EXPECT_EQ(drawn(mesh), want);
    mesh->mirrored = 0; // culling left alone
    want.erase(want.begin());
    want.pop_back();
    EXPECT_EQ(drawn(mesh), want);
    EXPECT_EQ(errors(), "");

    // Recolouring takes the first surface of exactly the material's name.
    uint32_t hair = mesh->materials[1].colour;
    soul_surface s[4] = {{"", 0xFF000001, 0, 0}, {"skin", 0xFF000002, 0xFF0000AA, 0.5f}, {"skin", 0xFF000003, 0, 0},
                         {"hair", 0xFF000004, 0, 0}};
    xox_recolour(mesh, s, 4);
    EXPECT_EQ(mesh->materials[0].colour, 0xFF000002u);
    EXPECT_EQ(mesh->materials[0].specular, 0xFF0000AAu);
    EXPECT_EQ(mesh->materials[0].gloss, 0.5f);
    EXPECT_EQ(mesh->materials[1].colour, hair); // "Hair" is not "hair"
}

// Every refused file is named on the error log by the loader itself, so no caller (avatar
// parts, the HUD pointer, the game states' items) can fail silently.
TEST_F(Xox, BadFilesAreRefusedNamedOnTheLogAndLeaveNothingCounted)
{
    wr_xsx_anim a = one_bone_anim("body", 0, 0, 0);
    ASSERT_TRUE(wr_xsx_save("anim.bin", &a));
    wr_xox_mesh many = quad_mesh("skin");
    ASSERT_TRUE(wr_xox_save("mesh.bin", &many));
    for (int i = 0; i < 255; i++) // more than the byte map can address
        many.morphs.push_back(uniform_morph("up", 0, 1, 0));
    ASSERT_TRUE(wr_xox_save("many.xox", &many));
    struct {
        bool mesh;
        const char* path;
        const char* logged;
    } cases[] = {
        {true, "anim.bin", "Failed to load xox mesh anim.bin,\n"}, // an animation is no mesh
        {true, "missing.xox", "Failed to load xox mesh missing.xox,\n"},
        {true, "many.xox", "Failed to load xox mesh many.xox,\n"},
        {false, "mesh.bin", "Failed to load xsx animation mesh.bin,\n"}, // a mesh is no animation
        {false, "missing.xsx", "Failed to load xsx animation missing.xsx,\n"},
    };
    int32_t anims = GFX.xsxs.count;
    for (const auto& c : cases) {
        log_capture_start();
        if (c.mesh)
            EXPECT_EQ(xoxs_load(&GFX.xoxs, c.path), nullptr) << c.path;
        else
            EXPECT_EQ(xsxs_load(&GFX.xsxs, c.path), nullptr) << c.path;
        EXPECT_EQ(LOGGED.error, c.logged);
        log_capture_stop();
    }
    many.morphs.pop_back();
    xox_mesh* ok = load(many);
    EXPECT_NE(ok, nullptr);
    xox_free(ok);
    EXPECT_EQ(GFX.xoxs.count, 0);
    EXPECT_EQ(GFX.xsxs.count, anims);
    EXPECT_EQ(D3D_BUFFERS.vtx_count, 0);
}

// Truncations and a run of byte changes of a mesh with morphs and of a two-bone animation
// with morph tracks: each file is refused or loads into something that blends, animates and
// draws without reading outside its block.
TEST_F(Xox, DamagedMeshesAndAnimationsAreRefusedOrStaySafeToUse)
{
    wr_xox_mesh m = quad_mesh("skin");
    m.morphs = {uniform_morph("up", 0, 1, 0), uniform_morph("smile", 1, 0, 0)};
    m.materials.push_back(m.materials[0]);
    wr_buf good;
    wr_xox_file(&good, &m);
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    for_each_damaged(good, 3, 12345, [](const wr_buf& b) {
        wr_buf_save(&b, "d.xox");
        xox_mesh* mesh = xoxs_load(&GFX.xoxs, "d.xox");
        if (!mesh)
            return;
        for (uint32_t i = 0; i < mesh->morph_count; i++)
            mesh->weights[i].weight = 1;
        xox_update(mesh);
        xox_draw(mesh);
        xox_free(mesh);
    });
    EXPECT_EQ(GFX.xoxs.count, 0);

    wr_xsx_anim a = one_bone_anim("hand", 0, 1, 0);
    a.bones.push_back(a.bones[0]);
    a.bones[1].parent = 0;
    a.bones[1].tracks.push_back(wr_track_const("fist0", 1));
    a.bones[0].tracks[3].keys = {{0, 0, 0}, {1, 1, 0}, {2, 0, 3}};
    wr_buf anim_file;
    wr_xsx_file(&anim_file, &a);
    int32_t anims = GFX.xsxs.count;
    for_each_damaged(anim_file, 9, 777, [](const wr_buf& b) {
        wr_buf_save(&b, "d.xsx");
        xsx_anim* anim = xsxs_load(&GFX.xsxs, "d.xsx");
        if (!anim)
            return;
        anim->time = 0.5f;
        xsx_animate(anim);
        xsx_draw(anim);
        xsxs_free(&GFX.xsxs, anim);
    });
    gfx_end_scene(&GFX);
    EXPECT_EQ(GFX.xsxs.count, anims);
}
