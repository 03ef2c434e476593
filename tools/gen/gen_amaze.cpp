// Generated maze content: the terrain images of the basic levels (grey images whose bytes
// are eighths of a height unit, corners on even rows and cell centres on odd rows) and the
// fire mesh of the maze's screen furniture.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "tools/gen/gen.h"
#include "tools/gen/gen_shapes.h"
#include "tools/writer/wr_image.h"

// A terrain of cx x cy cells from a height function of (u, v) in cell units, u across
// and v down from the upper-left corner. Pixel (x, r) stands at (x / 2, r / 2): even rows
// are corners at even x, odd rows centres at odd x.
static bool terrain(const std::string& path, int cx, int cy, const std::function<float(float, float)>& f)
{
    int w = 2 * (cx + 1), h = 2 * cy + 1;
    std::vector<uint8_t> grey((size_t)w * h, 0);
    for (int r = 0; r < h; r++)
        for (int x = 0; x < w; x++) {
            float v = f(x * 0.5f, r * 0.5f) * 8.0f;
            grey[(size_t)r * w + x] = (uint8_t)(v < 0.0f ? 0.0f : v > 255.0f ? 255.0f : v + 0.5f);
        }
    if (!wr_image_save(path.c_str(), w, h, 1, grey.data())) {
        fprintf(stderr, "dorvale_gen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

static float clamp01(float t) { return t < 0.0f ? 0.0f : t > 1.0f ? 1.0f : t; }

// A shallow bowl: everything rolls gently towards the middle.
static float bowl(float u, float v)
{
    float du = (u - 8.0f) / 8.0f, dv = (v - 8.0f) / 8.0f;
    return 1.0f + 1.5f * (du * du + dv * dv);
}

// Rolling hills with a flat valley along the middle row.
static float hills(float u, float v)
{
    float valley = clamp01(fabsf(v - 10.0f) / 4.0f);
    return valley * (1.5f + sinf(u * 0.6f) * cosf(v * 0.45f) * 1.25f);
}

// Three terraces joined by ramps, high at the top-left.
static float terraces(float u, float v)
{
    float d = (u + v) / 4.0f;
    float step = floorf(d), frac = d - step;
    float ramp = clamp01((frac - 0.7f) / 0.3f);
    float level = step + ramp;
    return level > 6.0f ? 0.0f : (6.0f - level) * 0.5f;
}

static bool fire(const std::string& path)
{
    gen_mesh g;
    gen_mesh_material(&g, "flame", 0xFFFF6010, 0xFFFFFFC0, 0.4f);
    gen_mesh_ellipsoid(&g, {0, 0, -0.05f}, {0.3f, 0.3f, 0.3f}, 14, 8);
    gen_mesh_ellipsoid(&g, {0, 0, -0.3f}, {0.14f, 0.14f, 0.25f}, 10, 6);
    gen_mesh_material(&g, "core", 0xFFFFE040, 0xFFFFFFFF, 0.6f);
    gen_mesh_ellipsoid(&g, {0, -0.12f, 0.02f}, {0.16f, 0.2f, 0.16f}, 10, 6);
    return gen_mesh_save(&g, path.c_str());
}

bool gen_amaze(const char* data_dir)
{
    std::string dir = data_dir;
    std::error_code ec;
    for (const char* sub : {"/amaze/basic", "/objects/xox"})
        std::filesystem::create_directories(dir + sub, ec);
    if (ec) {
        fprintf(stderr, "dorvale_gen: cannot make the maze folders: %s\n", ec.message().c_str());
        return false;
    }
    bool ok = terrain(dir + "/amaze/basic/map1.png", 16, 16, bowl);
    ok = terrain(dir + "/amaze/basic/map2.png", 24, 20, hills) && ok;
    ok = terrain(dir + "/amaze/basic/map3.png", 20, 20, terraces) && ok;
    ok = fire(dir + "/objects/xox/solid_fire.xox") && ok;
    return ok;
}
