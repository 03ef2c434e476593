// Meshes on the GL device: what the vertex buffer holds after blending morphs (plain and
// mirrored), the draw calls per material and strip, recolouring, recovery after a device
// reset. Animations: key interpolation, the order of a bone's rotations and scales, the
// parent chain in the row-vector convention (morph tracks are seen in the avatar's mesh
// weights, the transforms given to the device as pixels of the avatar render). Files and
// keys of both that must be refused.

#include "engine/code/gfx/xox.h"
#include "engine/code/gfx/xsx.h"

#include <cmath>
#include <cstring>

#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/soul.h"
#include "platform/d3d8_debug.h"
#include "tests/engine/gfx/device_fixture.h"
#include "tests/harness/log_capture.h"
#include "tools/writer/wr_avatar.h"

using Xox = GfxTest;
using Xsx = GfxTest;

// Hands use every truncation of good (each of the first 64 lengths, then every step-th) and
// 400 copies with one byte after the header changed at random from seed.
static void for_each_damaged(const wr_buf& good, size_t step, uint32_t seed, void (*use)(const wr_buf&))
{
    for (size_t n = 0; n < good.bytes.size(); n += n < 64 ? 1 : step) {
        wr_buf b = good;
        b.bytes.resize(n);
        use(b);
    }
    for (int i = 0; i < 400; i++) {
        wr_buf b = good;
        seed = seed * 1664525u + 1013904223u;
        b.bytes[12 + (seed >> 8) % (b.bytes.size() - 12)] = (uint8_t)(seed >> 3);
        use(b);
    }
}

// The mesh's vertex buffer as the device holds it: eight floats a vertex.
static std::vector<float> vertex_buffer(const xox_mesh* mesh)
{
    IDirect3DVertexBuffer8* vb = mesh->vtx->buffer;
    BYTE* p = nullptr;
    std::vector<float> out;
    if (vb->lpVtbl->Lock(vb, 0, mesh->vtx->size, &p, D3DLOCK_READONLY) != D3D_OK || !p)
        return out;
    out.resize(mesh->vtx->size / 4);
    memcpy(out.data(), p, mesh->vtx->size);
    vb->lpVtbl->Unlock(vb);
    return out;
}

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

// Morph names map to the avatar morphs without case, a later morph of a name winning
// ("smile" is morph 9); weights are found by name the same way. Vertices are written only
// when a weight changed since the last write, and a mesh without morphs once per buffer.
TEST_F(Xox, KnownMorphNamesMapLastOneWinningAndOnlyAChangeRewritesTheVertices)
{
    wr_xox_mesh m = quad_mesh("skin");
    m.morphs = {uniform_morph("SMILE", 0, 1, 0), uniform_morph("wobble", 1, 0, 0), uniform_morph("smile", 0, 2, 0)};
    xox_mesh* mesh = load(m);
    ASSERT_NE(mesh, nullptr);
    std::vector<int> mapped;
    for (int i = 0; i < 22; i++)
        if (mesh->morph_map[i] != XOX_NO_MORPH)
            mapped.push_back(i * 100 + mesh->morph_map[i]);
    EXPECT_EQ(mapped, std::vector<int>{9 * 100 + 2});
    EXPECT_EQ(xox_find_weight(mesh, "WOBBLE"), &mesh->weights[1]);
    EXPECT_EQ(xox_find_weight(mesh, "none"), nullptr);

    xox_mesh* plain = load(quad_mesh("skin"), "plain.xox");
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(plain->weights == nullptr && plain->morph_map == nullptr);
    struct {
        xox_mesh* mesh;
        float weight; // set on weight 0 of a mesh with morphs before the update
        uint32_t locks;
    } steps[] = {{mesh, 0, 1}, {mesh, 0, 0}, {mesh, 0.5f, 1}, {mesh, 0.5f, 0}, {plain, 0, 1}, {plain, 0, 0}};
    for (const auto& st : steps) {
        if (st.mesh->weights)
            st.mesh->weights[0].weight = st.weight;
        d3d8_log_start();
        xox_update(st.mesh);
        EXPECT_EQ(d3d8_log_count_of(D3D8_CALL_VertexBufferLock), st.locks) << st.weight;
        d3d8_log_stop();
    }
    EXPECT_FLOAT_EQ(vertex_buffer(mesh)[0 * 8 + 1], 0.5f); // y 0 + 0.5 x 1 of "SMILE"
    xox_free(plain);
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

static xsx_anim* load(const wr_xsx_anim& a, const char* path = "a.xsx")
{
    EXPECT_TRUE(wr_xsx_save(path, &a));
    return xsxs_load(&GFX.xsxs, path);
}

// One bone whose position-x track holds the given keys.
static xsx_anim* keyed(const std::vector<wr_xsx_key>& keys)
{
    wr_xsx_anim a = one_bone_anim("body", 0, 0, 0);
    a.bones[0].tracks[0].keys = keys;
    return load(a);
}

static float at(xsx_anim* anim, float t)
{
    xsx_track_value(&anim->tracks[0], t);
    return anim->tracks[0].value;
}

TEST_F(Xsx, KeysAreEvaluatedByTheEndKeysFlagsWithSplineTangentsAndMustRise)
{
    const std::vector<wr_xsx_key> none = {}, one = {{2, 7}};
    // The end key's low four bits choose the segment's interpolation: 0 spline, 3 linear,
    // anything else a step (0x13 is linear, 0xF7 a step).
    const std::vector<wr_xsx_key> mixed = {{0, 0, 0}, {1, 10, 3}, {2, 20, 1}, {3, 30, 0x13}, {4, 40, 0xF7}};
    // Spline from (0,0) to (1,1) to (2,0): m1 = 1 (no p0), m2 = 0 at s = 0.5 gives 0.625.
    const std::vector<wr_xsx_key> hill = {{0, 0, 0}, {1, 1, 0}, {2, 0, 0}};
    // Keys (0,0) (1,1) (2,3) (3,2); the segment 1..2 with tension 0.5 at key 1, continuity
    // 0.25 and bias -0.5 at key 2. By hand: a = 0.5, b = 0.5 so m1 = 0.5 * (0.5 + 1) = 0.75;
    // a' = 1 * 0.75 * 0.5 = 0.375, b' = 1.25 * 1.5 = 1.875, m2 = 0.5 * (0.75 - 1.875) = -0.5625.
    // At s = 0.5: 0.5 * 1 + 0.5 * 3 + 0.125 * 0.75 - 0.125 * -0.5625 = 2.1640625.
    const std::vector<wr_xsx_key> tcb = {{0, 0, 0}, {1, 1, 0, 0.5f, 0, 0}, {2, 3, 0, 0, 0.25f, -0.5f}, {3, 2, 0}};
    struct {
        const std::vector<wr_xsx_key>& keys;
        float t, value;
    } cases[] = {
        {none, 1, 0}, {one, -10, 7}, {one, 2, 7}, {one, 10, 7},
        {mixed, -1, 0}, {mixed, 0.25f, 2.5f}, {mixed, 1, 10}, // s = 1 at the end key of a linear segment
        {mixed, 1.5f, 10}, {mixed, 2, 10},                    // step: the start key's value up to the end key
        {mixed, 2.5f, 25}, {mixed, 3.5f, 30}, {mixed, 9, 40},
        {hill, 0.5f, 0.625f}, {hill, 1.5f, 0.625f}, {hill, 1, 1}, {tcb, 1.5f, 2.1640625f},
    };
    for (const auto& c : cases) {
        xsx_anim* a = keyed(c.keys);
        ASSERT_NE(a, nullptr);
        a->tracks[0].value = 5; // each evaluation sets the value afresh
        EXPECT_NEAR(at(a, c.t), c.value, 1e-5f) << "keys " << c.keys.size() << " at " << c.t;
    }

    // Keys that do not rise are refused, a segment of zero length too.
    int32_t before = GFX.xsxs.count;
    EXPECT_EQ(keyed({{0, 0}, {0, 1}}), nullptr);
    EXPECT_EQ(keyed({{1, 0}, {0, 1}}), nullptr);
    EXPECT_EQ(GFX.xsxs.count, before);
}

TEST_F(Xsx, AnimateBuildsYxzRotationAndScalesByBaseScaleThroughTheParentChain)
{
    wr_xsx_anim a = one_bone_anim("center", 0, 5, 0);
    a.bones[0].tracks[5].keys[0].value = (float)M_PI / 2; // about z
    wr_xsx_anim child = one_bone_anim("body", 1, 0, 0);
    child.bones[0].parent = 0;
    child.bones[0].tracks[6].keys[0].value = 2;
    a.bones.push_back(child.bones[0]);
    a.start = 3;
    xsx_anim* anim = load(a);
    ASSERT_NE(anim, nullptr);
    anim->bones[1].base_scale = {0.5f, 3, 1};
    anim->time = 1; // evaluated at start + time
    xsx_animate(anim);
    EXPECT_FLOAT_EQ(anim->bones[1].transform.scale.x, 1.0f);
    EXPECT_FLOAT_EQ(anim->bones[1].transform.scale.y, 3.0f);
    // The child's origin: (1, 0, 0) turned a quarter about z is (0, 1, 0), then moved to y 5.
    const mat4& w = anim->bones[1].world;
    EXPECT_NEAR(w.m[12], 0.0f, 1e-5f);
    EXPECT_NEAR(w.m[13], 6.0f, 1e-5f);
    EXPECT_NEAR(w.m[14], 0.0f, 1e-5f);

    // Three turns: the orientation is Ry(t3) x Rx(t4) x Rz(t5).
    wr_xsx_anim r = one_bone_anim("body", 0, 0, 0);
    r.bones[0].tracks[3].keys[0].value = 0.3f;
    r.bones[0].tracks[4].keys[0].value = 0.5f;
    r.bones[0].tracks[5].keys[0].value = 0.7f;
    xsx_anim* rot = load(r, "r.xsx");
    xsx_animate(rot);
    quat want = {0, 0, 0, 1}, step;
    quat_rotation_z(&step, 0.7f);
    quat_mul(&want, &step, &want);
    quat_rotation_x(&step, 0.5f);
    quat_mul(&want, &step, &want);
    quat_rotation_y(&step, 0.3f);
    quat_mul(&want, &step, &want);
    const quat& got = rot->bones[0].transform.orientation;
    EXPECT_NEAR(got.x, want.x, 1e-6f);
    EXPECT_NEAR(got.y, want.y, 1e-6f);
    EXPECT_NEAR(got.z, want.z, 1e-6f);
    EXPECT_NEAR(got.w, want.w, 1e-6f);
}
