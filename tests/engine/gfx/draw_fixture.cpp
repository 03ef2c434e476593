// Recording of 2D draws through the device's call log: draws and texture binds come from
// the log, the vertices from the 2D buffer where each draw started; the windings of what
// they cover.
#include "tests/engine/gfx/draw_fixture.h"

#include <cstring>

#include "platform/d3d8_debug.h"

void draws_start() { d3d8_log_start(); }

static uint32_t vertex_count(uint32_t type, uint32_t prims)
{
    switch (type) {
    case D3DPT_TRIANGLELIST: return 3 * prims;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return prims + 2;
    case D3DPT_LINELIST: return 2 * prims;
    default: return prims;
    }
}

static std::vector<d3d_vertex_2d> read_vertices(uint32_t start, uint32_t n)
{
    std::vector<d3d_vertex_2d> out(n);
    IDirect3DVertexBuffer8* vb = D3D_BUFFERS.buffer_2d ? D3D_BUFFERS.buffer_2d->buffer : nullptr;
    BYTE* p = nullptr;
    if (vb && vb->lpVtbl->Lock(vb, start * sizeof(d3d_vertex_2d), n * sizeof(d3d_vertex_2d), &p, D3DLOCK_READONLY) == D3D_OK) {
        memcpy(out.data(), p, n * sizeof(d3d_vertex_2d));
        vb->lpVtbl->Unlock(vb);
    }
    return out;
}

std::vector<drawn> draws_get()
{
    std::vector<d3d8_record> log;
    for (uint32_t i = 0; i < d3d8_log_count(); ++i)
        log.push_back(*d3d8_log_get(i));
    std::vector<drawn> out;
    bool textured = false;
    for (const d3d8_record& r : log) {
        if (r.call == D3D8_CALL_SetTexture && r.a[0] == 0)
            textured = r.a[1] != 0;
        if (r.call != D3D8_CALL_DrawPrimitive || r.result != D3D_OK)
            continue;
        drawn d;
        d.type = r.a[0];
        d.prims = r.a[2];
        d.v = read_vertices(r.a[1], vertex_count(d.type, d.prims));
        d.textured = textured;
        out.push_back(d);
    }
    return out;
}

int draws_binds()
{
    int n = 0;
    for (uint32_t i = 0; i < d3d8_log_count(); ++i) {
        const d3d8_record* r = d3d8_log_get(i);
        n += r->call == D3D8_CALL_SetTexture && r->a[0] == 0;
    }
    return n;
}

static float doubled_area(const d3d_vertex_2d& a, const d3d_vertex_2d& b, const d3d_vertex_2d& c)
{
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

std::vector<float> draws_windings(const drawn& d)
{
    std::vector<float> out;
    const std::vector<d3d_vertex_2d>& v = d.v;
    for (uint32_t i = 0; i < d.prims; ++i) {
        if (d.type == D3DPT_TRIANGLELIST && 3 * i + 2 < v.size())
            out.push_back(doubled_area(v[3 * i], v[3 * i + 1], v[3 * i + 2]));
        else if (d.type == D3DPT_TRIANGLESTRIP && i + 2 < v.size())
            // every second triangle of a strip is taken with its first two corners swapped
            out.push_back(i % 2 ? doubled_area(v[i + 1], v[i], v[i + 2]) : doubled_area(v[i], v[i + 1], v[i + 2]));
        else if (d.type == D3DPT_TRIANGLEFAN && i + 2 < v.size())
            out.push_back(doubled_area(v[0], v[i + 1], v[i + 2]));
    }
    return out;
}
