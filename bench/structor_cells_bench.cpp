// Benchmark of the structor's cell step: for every shipped level, the grid as the level builds
// it, 2,000 steps to fill it with liquid, then 1,000 steps of the reference and of the
// program's step taken in turn in the same run. Run from the game folder (or give it as the
// argument); it prints figures and judges nothing.

#include <IL/ilu.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/code/con.h"
#include "app/code/hud/hud.h"
#include "app/code/main_state.h"
#include "app/code/opt.h"
#include "app/code/structor/structor.h"
#include "app/code/structor/structor_cells_ref.h"
#include "bench/bench.h"
#include "engine/code/gfx/gfx.h"

enum { WARM_UP = 2000, TIMED = 1000 };

static size_t grid_bytes(const structor_cells* g) { return (size_t)g->w * g->h * sizeof(structor_cell); }

// A grid of its own (no textures) starting from the level's built cells.
static structor_cells grid_copy(const structor_cells* from)
{
    structor_cells g = {};
    g.w = from->w;
    g.h = from->h;
    g.cell_size = from->cell_size;
    g.blur_base = from->blur_base;
    g.initial = (structor_cell*)calloc(1, grid_bytes(&g));
    g.working = (structor_cell*)calloc(1, grid_bytes(&g));
    memcpy(g.initial, from->initial, grid_bytes(&g));
    memcpy(g.working, from->initial, grid_bytes(&g));
    return g;
}

// One step on its own: each step finds the grid the last one left, so the two steps are
// timed one call at a time, in turn, over the same course of the liquid. A step takes a tenth
// of a millisecond or more, far above the clock's nanoseconds, and the thousand of them over
// 100 ms.
static double ms_of(void (*step)(structor_cells*), structor_cells* g)
{
    return bench_seconds(1, [&] { step(g); }) * 1e3;
}

static double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Builds level `number` of the basic levels as the structor does (its walls stamped) and
// gives its initial grid; false when the level could not be had.
static bool level_grid(int number, structor_cells* out, int* levels)
{
    structor_state* s = &structor_state_main;
    memset(s, 0, sizeof *s);
    snprintf(OPT.next_level, sizeof OPT.next_level, "basic");
    OPT.next_number = number;
    if (!structor_setup(s, &GFX)) {
        structor_clean(s);
        return false;
    }
    con_update(&CON);                        // the level's start
    structor_update(s, UPDATE_FRAME_END);    // its rebuild
    lua_getglobal(CON.L, "structor");
    lua_getfield(CON.L, -1, "levels");
    *levels = lua_istable(CON.L, -1) ? (int)lua_objlen(CON.L, -1) : 0;
    lua_pop(CON.L, 2);
    *out = grid_copy(&s->cells);
    structor_clean(s);
    return true;
}

int main(int argc, char** argv)
{
    bench_gl gl;
    if (!bench_open_gfx(argc, argv, &gl))
        return 1;
    iluInit();
    HUD.root = &GFX;
    if (!hud_setup_pools(&HUD) || !con_setup(&CON) || !con_postsetup(&CON)) {
        fprintf(stderr, "no Lua environment\n");
        return 1;
    }
    std::vector<char> lines;
    size_t grid = 0;
    int levels = 1;
    for (int number = 1; number <= levels; number++) {
        structor_cells built;
        if (!level_grid(number, &built, &levels)) {
            printf("basic level %d: cannot be built\n", number);
            continue;
        }
        structor_cells ref = grid_copy(&built), now = grid_copy(&built);
        for (int i = 0; i < WARM_UP; i++) {
            structor_cells_step_ref(&ref);
            structor_cells_step(&now);
        }
        std::vector<double> ref_ms, new_ms;
        for (int i = 0; i < TIMED; i++) {
            // Each takes the lead in turn, so neither always finds the cache warmed by the other.
            if (i % 2) {
                ref_ms.push_back(ms_of(structor_cells_step_ref, &ref));
                new_ms.push_back(ms_of(structor_cells_step, &now));
            } else {
                new_ms.push_back(ms_of(structor_cells_step, &now));
                ref_ms.push_back(ms_of(structor_cells_step_ref, &ref));
            }
        }
        double rm = median(ref_ms), nm = median(new_ms);
        // Both figures are of the same work only while both grids stay the same.
        bool same = memcmp(ref.working, now.working, grid_bytes(&built)) == 0;
        char line[320];
        int n = snprintf(line, sizeof line,
                         "structor cells, basic level %d (%dx%d, %d steps after %d): reference median %.3f ms "
                         "min %.3f ms; new median %.3f ms min %.3f ms; new/reference %.2f; grids %s\n",
                         number, built.w, built.h, TIMED, WARM_UP, rm,
                         *std::min_element(ref_ms.begin(), ref_ms.end()), nm,
                         *std::min_element(new_ms.begin(), new_ms.end()), nm / rm, same ? "equal" : "differ");
        lines.insert(lines.end(), line, line + n);
        grid = grid_bytes(&built);
        structor_cells_clean(&ref);
        structor_cells_clean(&now);
        structor_cells_clean(&built);
    }
    // The figures last, after whatever the levels logged.
    fwrite(lines.data(), 1, lines.size(), stdout);
    // A yardstick for the step's figures: copying one grid once.
    if (grid)
        printf("memcpy of one grid (%zu KB): %.3f ms\n", grid / 1024, grid / bench_memcpy_rate(grid) * 1e3);
    con_close(&CON);
    hud_clean(&HUD);
    gfx_clean(&GFX);
    bench_gl_close(&gl);
    return 0;
}
