// Generated maze item content: the block that levels push around, the stone they build
// walls from, and the short sounds the level scripts play when a fire is collected and
// when a block is pushed.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tools/gen/gen.h"
#include "tools/gen/gen_shapes.h"
#include "tools/writer/wr_wav.h"

// A crate about one cell wide, standing on its base (the item stands 0.5 above the ground).
static bool block(const std::string& path)
{
    gen_mesh g;
    gen_mesh_material(&g, "wood", 0xFFA06830, 0xFF202020, 0.2f);
    gen_mesh_box(&g, {-0.42f, -0.42f, -0.42f}, {0.42f, 0.42f, 0.42f});
    gen_mesh_material(&g, "band", 0xFF603818, 0xFF202020, 0.2f);
    gen_mesh_box(&g, {-0.45f, -0.45f, -0.1f}, {0.45f, 0.45f, 0.1f});
    gen_mesh_box(&g, {-0.1f, -0.45f, -0.45f}, {0.1f, 0.45f, 0.45f});
    return gen_mesh_save(&g, path.c_str());
}

// A stone about one cell wide that levels build walls from; it cannot be pushed, so it
// looks unlike the crate.
static bool wall(const std::string& path)
{
    gen_mesh g;
    gen_mesh_material(&g, "stone", 0xFF707880, 0xFF303030, 0.1f);
    gen_mesh_box(&g, {-0.48f, -0.5f, -0.48f}, {0.48f, 0.3f, 0.48f});
    gen_mesh_material(&g, "cap", 0xFF505860, 0xFF303030, 0.1f);
    gen_mesh_box(&g, {-0.4f, 0.3f, -0.4f}, {0.4f, 0.5f, 0.4f});
    return gen_mesh_save(&g, path.c_str());
}

// A tone sliding from f0 to f1 Hz over the given seconds, with a quick attack and a decay.
static bool tone(const std::string& path, float f0, float f1, float seconds, float noise)
{
    const uint32_t rate = 22050;
    uint32_t n = (uint32_t)(seconds * rate);
    std::vector<int16_t> samples(n);
    float phase = 0.0f;
    uint32_t seed = 12345;
    for (uint32_t i = 0; i < n; i++) {
        float t = (float)i / (float)n;
        float f = f0 + (f1 - f0) * t;
        phase += 2.0f * 3.14159265f * f / (float)rate;
        seed = seed * 1103515245u + 12345u;
        float r = ((float)((seed >> 16) & 0x7FFF) / 16384.0f - 1.0f) * noise;
        float envelope = (t < 0.05f ? t / 0.05f : 1.0f) * (1.0f - t) * (1.0f - t);
        samples[i] = (int16_t)((sinf(phase) * (1.0f - noise) + r) * envelope * 20000.0f);
    }
    if (!wr_wav_save(path.c_str(), 1, rate, 16, samples.data(), n * 2)) {
        fprintf(stderr, "dorvale_gen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool gen_amaze_items(const char* data_dir)
{
    std::string dir = data_dir;
    std::error_code ec;
    for (const char* sub : {"/amaze/xox", "/amaze/sfx"})
        std::filesystem::create_directories(dir + sub, ec);
    if (ec) {
        fprintf(stderr, "dorvale_gen: cannot make the maze item folders: %s\n", ec.message().c_str());
        return false;
    }
    bool ok = block(dir + "/amaze/xox/block.xox");
    ok = wall(dir + "/amaze/xox/wall.xox") && ok;
    ok = tone(dir + "/amaze/sfx/pickup.wav", 660.0f, 1320.0f, 0.25f, 0.0f) && ok;
    ok = tone(dir + "/amaze/sfx/push.wav", 120.0f, 70.0f, 0.3f, 0.6f) && ok;
    return ok;
}
