// Triangle windings of recorded 2D draws.
#include "tests/engine/gfx/draw_fixture.h"

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
