// Benchmark of meshes, animations and avatars: how fast mesh and animation files load and
// validate from the page cache, and what animating and drawing one dressed avatar costs a
// frame. Run from the game folder (or give it as the argument); it prints figures and
// judges nothing.

#include <cstdio>
#include <vector>

#include "bench/bench.h"
#include "engine/code/files.h"
#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/xsx.h"
#include "tools/writer/wr_avatar.h"
#include "tools/writer/wr_mesh.h"


// A mesh of about a megabyte: a grid of strips with a morph over every vertex.
static void big_mesh(const char* path)
{
    wr_xox_mesh m;
    const int w = 160, h = 180;
    for (int y = 0; y <= h; y++)
        for (int x = 0; x <= w; x++)
            m.vertices.push_back({(float)x, (float)y, 0, 0, 0, -1, 0, 0});
    wr_xox_material mat;
    mat.name = "skin";
    for (int y = 0; y < h; y++) {
        for (int x = 0; x <= w; x++) {
            m.indices.push_back((uint16_t)((y + 1) * (w + 1) + x));
            m.indices.push_back((uint16_t)(y * (w + 1) + x));
        }
        mat.strips.push_back((uint16_t)(2 * (w + 1)));
    }
    m.materials.push_back(mat);
    wr_xox_morph mo;
    mo.name = "smile";
    mo.deltas.assign(m.vertices.size() * 6, 0.01f);
    m.morphs.push_back(mo);
    wr_xox_save(path, &m);
}

// An animation of 22 bones with 240 keys on every track.
static void big_anim(const char* path)
{
    wr_xsx_anim a;
    wr_avatar_skeleton(&a, 10);
    std::vector<float> t(240), v(240);
    for (int i = 0; i < 240; i++)
        t[i] = i / 24.0f, v[i] = (float)(i % 7);
    for (int b = 0; b < WR_AVATAR_BONES; b++)
        for (int k = 3; k < 6; k++)
            wr_avatar_set_track(&a, b, k, t.data(), v.data(), 240, WR_KEY_SPLINE);
    wr_xsx_save(path, &a);
}

// A load reads every byte of the file (and zeroes the block it reads into), so its rate over
// the file's bytes is set beside memcpy's on a buffer of the same size, the most it can reach.
static void load_rate(const char* what, const char* path)
{
    files_data* d = files_load(&FILES, path);
    if (!d) {
        printf("%s: cannot load\n", what);
        return;
    }
    double bytes = FILES_HEADER_SIZE + d->payload_size;
    files_free(&FILES, d);
    double s = bench_per_call([&] {
        files_data* loaded = files_load(&FILES, path);
        bench_keep(loaded);
        files_free(&FILES, loaded);
    });
    printf("%s (%.0f KB): load and validate %.1f us, %.2f GB/s (memcpy of that size %.2f GB/s)\n", what,
           bytes / 1024, s * 1e6, bytes / s / 1e9, bench_memcpy_rate((size_t)bytes) / 1e9);
}

// The check reads the record tables (and a mesh's indices), not the vertices, deltas or keys
// that make up most of a file, so its figure is a time per file and not a rate over the file.
static void validate_time(const char* what, const char* path)
{
    FILE* f = fopen(path, "rb");
    std::vector<uint8_t> block;
    int c;
    while (f && (c = fgetc(f)) != EOF)
        block.push_back((uint8_t)c);
    if (f)
        fclose(f);
    if (!files_validate(block.data(), (uint32_t)block.size())) {
        printf("%s: does not validate\n", what);
        return;
    }
    double s = bench_per_call([&] { bench_keep(files_validate(block.data(), (uint32_t)block.size())); });
    printf("%s (%.0f KB): validate only %.2f us\n", what, block.size() / 1024.0, s * 1e6);
}

int main(int argc, char** argv)
{
    if (!bench_enter_game(argc, argv))
        return 1;
    big_mesh("/tmp/bench_big.xox");
    big_anim("/tmp/bench_big.xsx");
    load_rate("mesh", "/tmp/bench_big.xox");
    validate_time("mesh", "/tmp/bench_big.xox");
    load_rate("animation", "/tmp/bench_big.xsx");
    validate_time("animation", "/tmp/bench_big.xsx");
    load_rate("generated hand mesh", "data/avatar/xox/hand_glove.xox");

    bench_gl gl;
    if (!bench_gl_open(&gl) || !gfx_setup(&GFX)) {
        fprintf(stderr, "no GL device or no avatar content\n");
        return 1;
    }
    avatar* a = avatar_alloc(&GFX.avatars, "me");
    if (!a) {
        fprintf(stderr, "no avatar\n");
        return 1;
    }
    avatar_load_parts(a);
    a->layers[0] = {0.6f, 0, &GFX.avatars.anims[avatar_anim_find("cycle_walk")]};
    a->layers[1] = {0.4f, 0, &GFX.avatars.anims[avatar_anim_find("cycle_breath")]};
    transform place = {{0, -93.75f, 0}, {0, 0, 0, 1}, {87.5f, 87.5f, 87.5f}};
    double update = bench_per_call([&] {
        a->layers[0].time = a->layers[0].time + 0.033f > 1 ? 0 : a->layers[0].time + 0.033f;
        a->layers[1].time = a->layers[1].time + 0.033f > 3 ? 0 : a->layers[1].time + 0.033f;
        avatar_update(a);
    });
    mat4_from_transform(&a->base.anim->matrix, &place);
    gfx_begin_scene(&GFX);
    // The span ends when the device has drawn every avatar given to it.
    double draw = bench_per_call([&] { avatar_draw(a); }, bench_gl_finish);
    gfx_end_scene(&GFX);
    printf("avatar_update, two layers with morphs: %.1f us\n", update * 1e6);
    printf("avatar_draw (%d meshes), drawn: %.1f us\n", GFX.xoxs.count, draw * 1e6);
    avatar_free(&GFX.avatars, a);
    gfx_clean(&GFX);
    files_clean(&FILES);
    bench_gl_close(&gl);
    return 0;
}
