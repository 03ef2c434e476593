// Benchmark of the graphics device's per-frame fixed costs: the engine's state reset (run at
// least once a frame) and an empty begin/end frame, on the offscreen GL device. It prints
// figures and judges nothing.

#include <cstdio>

#include "bench/bench.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"

template <typename F> static double per_call_us(int n, F f) { return bench_seconds(n, f) / n * 1e6; }

int main(int argc, char** argv)
{
    bench_gl gl;
    if (!bench_open_gfx(argc, argv, &gl))
        return 1;
    IDirect3DDevice8* dev = GFX.d3d_gfx.device;
    gfx_begin_scene(&GFX);
    double reset = per_call_us(200000, [&] { d3d_state_reset(dev); });
    // The usual frame: a view's state changes between two resets.
    double reset_changed = per_call_us(100000, [&] {
        gfx_set_zwrite(&GFX, true);
        gfx_set_ambient(&GFX, 0xFF606060);
        d3d_state_reset(dev);
    });
    // Text-like drawing: a texture bound, twenty glyph quads, unbound again.
    d3d_txt* font = d3d_buffers_alloc_txt(&D3D_BUFFERS, 0, 128, 128, 1, nullptr);
    double glyphs = per_call_us(2000, [&] {
        d3d_txt_set(font, 0);
        for (int i = 0; i < 20; i++)
            gfx_draw2d_quad((float)(i * 8), 0, (float)(i * 8 + 8), 8, ~0u, ~0u, ~0u, ~0u);
        d3d_state_set_texture(0, dev, nullptr);
    }) / 20;
    gfx_end_scene(&GFX);
    double frame = per_call_us(2000, [&] {
        gfx_begin_scene(&GFX);
        gfx_end_scene(&GFX);
    });
    printf("d3d_state_reset: %.3f us (target < 2 us)\n", reset);
    printf("d3d_state_reset after two state changes: %.3f us\n", reset_changed);
    printf("2D quad in a run of twenty textured ones: %.2f us\n", glyphs);
    printf("empty begin/end frame (clear and present, 800x600 llvmpipe): %.1f us\n", frame);
    gfx_clean(&GFX);
    bench_gl_close(&gl);
    return 0;
}
