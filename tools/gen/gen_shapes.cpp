// Solid shapes for the generated meshes.

#include "tools/gen/gen_shapes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void gen_mesh_material(gen_mesh* g, const char* name, uint32_t colour, uint32_t specular, float gloss)
{
    wr_xox_material m;
    m.name = name;
    m.colour = colour;
    m.specular = specular;
    m.gloss = gloss;
    m.first_index = (uint32_t)g->mesh.indices.size();
    g->mesh.materials.push_back(m);
}

static void strip(gen_mesh* g, const std::vector<uint16_t>& indices)
{
    g->mesh.indices.insert(g->mesh.indices.end(), indices.begin(), indices.end());
    g->mesh.materials.back().strips.push_back((uint16_t)indices.size());
}

gen_range gen_mesh_ellipsoid(gen_mesh* g, gen_v3 c, gen_v3 r, int slices, int stacks)
{
    const float pi = 3.14159265f;
    uint32_t first = (uint32_t)g->mesh.vertices.size();
    for (int i = 0; i <= stacks; i++) {
        float t = pi * i / stacks; // from the top
        for (int j = 0; j <= slices; j++) {
            float p = 2 * pi * j / slices; // 0 faces -z, growing towards +x
            float ux = sinf(t) * sinf(p), uy = cosf(t), uz = -sinf(t) * cosf(p);
            float nx = ux / r.x, ny = uy / r.y, nz = uz / r.z;
            float n = sqrtf(nx * nx + ny * ny + nz * nz);
            g->mesh.vertices.push_back({c.x + r.x * ux, c.y + r.y * uy, c.z + r.z * uz, nx / n, ny / n, nz / n,
                                        (float)j / slices, (float)i / stacks});
        }
    }
    // Each band is one strip, lower ring first so that the first triangle runs clockwise
    // seen from outside.
    for (int i = 0; i < stacks; i++) {
        std::vector<uint16_t> s;
        for (int j = 0; j <= slices; j++) {
            s.push_back((uint16_t)(first + (i + 1) * (slices + 1) + j));
            s.push_back((uint16_t)(first + i * (slices + 1) + j));
        }
        strip(g, s);
    }
    return {first, (uint32_t)g->mesh.vertices.size() - first};
}

gen_range gen_mesh_box(gen_mesh* g, gen_v3 lo, gen_v3 hi)
{
    uint32_t first = (uint32_t)g->mesh.vertices.size();
    gen_v3 mid = {(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2};
    gen_v3 half = {(hi.x - lo.x) / 2, (hi.y - lo.y) / 2, (hi.z - lo.z) / 2};
    // Outward normal, and the up axis as seen from outside; right = normal x up.
    const int faces[6][6] = {{0, 0, -1, 0, 1, 0}, {0, 0, 1, 0, 1, 0}, {-1, 0, 0, 0, 1, 0},
                             {1, 0, 0, 0, 1, 0},  {0, 1, 0, 0, 0, 1}, {0, -1, 0, 0, 0, -1}};
    for (const int* f : faces) {
        gen_v3 n = {(float)f[0], (float)f[1], (float)f[2]}, u = {(float)f[3], (float)f[4], (float)f[5]};
        gen_v3 rt = {n.y * u.z - n.z * u.y, n.z * u.x - n.x * u.z, n.x * u.y - n.y * u.x};
        uint16_t base = (uint16_t)g->mesh.vertices.size();
        const float corners[4][2] = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}}; // bottom-left, top-left, ...
        for (const float* k : corners) {
            float px = n.x + k[0] * rt.x + k[1] * u.x, py = n.y + k[0] * rt.y + k[1] * u.y,
                  pz = n.z + k[0] * rt.z + k[1] * u.z;
            g->mesh.vertices.push_back({mid.x + px * half.x, mid.y + py * half.y, mid.z + pz * half.z, n.x, n.y,
                                        n.z, (k[0] + 1) / 2, (k[1] + 1) / 2});
        }
        strip(g, {base, (uint16_t)(base + 1), (uint16_t)(base + 2), (uint16_t)(base + 3)});
    }
    return {first, (uint32_t)g->mesh.vertices.size() - first};
}

void gen_mesh_morph(gen_mesh* g, const char* name, gen_range range,
                    const std::function<void(const wr_xox_vertex&, float* delta)>& delta)
{
    wr_xox_morph m;
    m.name = name;
    m.first = range.first;
    for (uint32_t i = 0; i < range.count; i++) {
        float d[6] = {0, 0, 0, 0, 0, 0};
        delta(g->mesh.vertices[range.first + i], d);
        m.deltas.insert(m.deltas.end(), d, d + 6);
    }
    g->mesh.morphs.push_back(m);
}

bool gen_mesh_save(gen_mesh* g, const char* path)
{
    gen_v3 lo = {1e9f, 1e9f, 1e9f}, hi = {-1e9f, -1e9f, -1e9f};
    for (const wr_xox_vertex& v : g->mesh.vertices) {
        lo = {std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
        hi = {std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
    }
    float extent = std::max(hi.x - lo.x, std::max(hi.y - lo.y, hi.z - lo.z));
    g->mesh.extent = extent > 0 ? extent : 1.0f;
    if (wr_xox_save(path, &g->mesh))
        return true;
    fprintf(stderr, "dorvale_gen: cannot write %s\n", path);
    return false;
}
