// XOX mesh and XSX animation writers.

#include "tools/writer/wr_mesh.h"

#include <cstring>

#include "tools/writer/wr_data.h"

static void name_field(wr_buf* out, const std::string& name, size_t size)
{
    size_t n = name.size() < size - 1 ? name.size() : size - 1;
    wr_buf_bytes(out, name.data(), n);
    wr_buf_zeros(out, size - n);
}

static void align4(wr_buf* out)
{
    while (wr_buf_size(out) % 4)
        wr_buf_u8(out, 0);
}

// ---------------------------------------------------------------------------------------
// Meshes

void wr_xox_body(wr_buf* out, const wr_xox_mesh* m)
{
    uint32_t mc = (uint32_t)m->materials.size(), oc = (uint32_t)m->morphs.size();
    uint32_t vc = (uint32_t)m->vertices.size(), ic = (uint32_t)m->indices.size();
    uint32_t materials = 56, morphs = materials + 72 * mc, vertices = morphs + 44 * oc;
    uint32_t indices = vertices + 36 * vc;
    uint32_t tail = (indices + 2 * ic + 3) & ~3u;

    wr_buf_u32(out, mc);
    wr_buf_u32(out, oc);
    wr_buf_u32(out, vc);
    wr_buf_u32(out, 0);
    wr_buf_u32(out, ic);
    wr_buf_u32(out, 0);
    wr_buf_u32(out, 0);
    wr_buf_u32(out, mc ? materials : 0);
    wr_buf_u32(out, oc ? morphs : 0);
    wr_buf_u32(out, vc ? vertices : 0);
    wr_buf_u32(out, ic ? indices : 0);
    wr_buf_u32(out, 0);
    wr_buf_u32(out, 0);
    wr_buf_f32(out, m->extent);

    uint32_t at = tail;
    for (const wr_xox_material& mat : m->materials) {
        name_field(out, mat.name, 32);
        wr_buf_u32(out, mat.colour);
        wr_buf_u32(out, mat.specular);
        wr_buf_f32(out, mat.gloss);
        wr_buf_u32(out, 0);
        wr_buf_u32(out, (uint32_t)mat.strips.size());
        wr_buf_u32(out, 0);
        wr_buf_u32(out, mat.strips.empty() ? 0 : at);
        wr_buf_u32(out, mat.first_index);
        wr_buf_u32(out, 0);
        wr_buf_u32(out, 0);
        at += ((uint32_t)mat.strips.size() * 2 + 3) & ~3u;
    }
    for (const wr_xox_morph& mo : m->morphs) {
        uint32_t n = (uint32_t)(mo.deltas.size() / 6);
        name_field(out, mo.name, 32);
        wr_buf_u32(out, mo.first);
        wr_buf_u32(out, n);
        wr_buf_u32(out, n ? at : 0);
        at += 24 * n;
    }
    for (const wr_xox_vertex& v : m->vertices) {
        const float f[8] = {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.u, v.v};
        for (float x : f)
            wr_buf_f32(out, x);
        wr_buf_u32(out, 0);
    }
    for (uint16_t i : m->indices)
        wr_buf_u16(out, i);
    align4(out);
    for (const wr_xox_material& mat : m->materials) {
        for (uint16_t s : mat.strips)
            wr_buf_u16(out, s);
        align4(out);
    }
    for (const wr_xox_morph& mo : m->morphs)
        for (size_t i = 0; i < mo.deltas.size() / 6 * 6; i++)
            wr_buf_f32(out, mo.deltas[i]);
}

void wr_xox_file(wr_buf* out, const wr_xox_mesh* mesh)
{
    wr_buf body;
    wr_xox_body(&body, mesh);
    wr_data_file(out, WR_MAGIC_XOX, &body);
}

bool wr_xox_save(const char* path, const wr_xox_mesh* mesh)
{
    wr_buf out;
    wr_xox_file(&out, mesh);
    return wr_buf_save(&out, path);
}

// ---------------------------------------------------------------------------------------
// Animations

void wr_xsx_body(wr_buf* out, const wr_xsx_anim* a)
{
    uint32_t bc = (uint32_t)a->bones.size(), tc = 0;
    for (const wr_xsx_bone& b : a->bones)
        tc += (uint32_t)b.tracks.size();
    uint32_t bones = 32, tracks = bones + 276 * bc, keys = tracks + 40 * tc;

    wr_buf_u32(out, bc);
    wr_buf_u32(out, tc);
    wr_buf_u32(out, 0);
    wr_buf_u32(out, bc ? bones : 0);
    wr_buf_u32(out, tc ? tracks : 0);
    wr_buf_u32(out, 0);
    wr_buf_f32(out, a->start);
    wr_buf_f32(out, a->length);

    uint32_t first = 0;
    for (const wr_xsx_bone& b : a->bones) {
        name_field(out, b.name, 256);
        wr_buf_u32(out, 0);
        wr_buf_u32(out, b.flags);
        wr_buf_u32(out, (uint32_t)b.tracks.size());
        wr_buf_u32(out, b.parent >= 0 ? bones + 276 * (uint32_t)b.parent : 0);
        wr_buf_u32(out, b.tracks.empty() ? 0 : tracks + 40 * first);
        first += (uint32_t)b.tracks.size();
    }
    uint32_t at = keys;
    for (const wr_xsx_bone& b : a->bones)
        for (const wr_xsx_track& t : b.tracks) {
            name_field(out, t.name, 32);
            wr_buf_u32(out, (uint32_t)t.keys.size());
            wr_buf_u32(out, t.keys.empty() ? 0 : at);
            at += 24 * (uint32_t)t.keys.size();
        }
    for (const wr_xsx_bone& b : a->bones)
        for (const wr_xsx_track& t : b.tracks)
            for (const wr_xsx_key& k : t.keys) {
                wr_buf_f32(out, k.time);
                wr_buf_f32(out, k.value);
                wr_buf_u32(out, k.flags);
                wr_buf_f32(out, k.tension);
                wr_buf_f32(out, k.continuity);
                wr_buf_f32(out, k.bias);
            }
}

void wr_xsx_file(wr_buf* out, const wr_xsx_anim* anim)
{
    wr_buf body;
    wr_xsx_body(&body, anim);
    wr_data_file(out, WR_MAGIC_XSX, &body);
}

bool wr_xsx_save(const char* path, const wr_xsx_anim* anim)
{
    wr_buf out;
    wr_xsx_file(&out, anim);
    return wr_buf_save(&out, path);
}
