// Benchmark of the graphics device's per-frame fixed costs: the engine's state reset (run at
// least once a frame), textured 2D quads and an empty begin/end frame, on the offscreen GL
// device. It prints figures and judges nothing.

#include <cstdio>

#include "bench/bench.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"

int main(int argc, char** argv)
{
    bench_gl gl;
    if (!bench_open_gfx(argc, argv, &gl))
        return 1;
    IDirect3DDevice8* dev = GFX.d3d_gfx.device;
    gfx_begin_scene(&GFX);
    // State changes are taken at once, so these need no wait for the device.
    double reset = bench_per_call([&] { d3d_state_reset(dev); });
    // The usual frame: a view's state changes between two resets.
    double reset_changed = bench_per_call([&] {
        gfx_set_zwrite(&GFX, true);
        gfx_set_ambient(&GFX, 0xFF606060);
        d3d_state_reset(dev);
    });
    // Text-like drawing: a texture bound, twenty glyph quads, unbound again; the span ends
    // when the device has drawn them all.
    d3d_txt* font = d3d_buffers_alloc_txt(&D3D_BUFFERS, 0, 128, 128, 1, nullptr);
    double glyphs = bench_per_call([&] {
        d3d_txt_set(font, 0);
        for (int i = 0; i < 20; i++)
            gfx_draw2d_quad((float)(i * 8), 0, (float)(i * 8 + 8), 8, ~0u, ~0u, ~0u, ~0u);
        d3d_state_set_texture(0, dev, nullptr);
    }, bench_gl_finish) / 20;
    gfx_end_scene(&GFX);
    // A presented frame is one whose clear has been carried out: without the wait the driver
    // folds the clears of frames with nothing drawn between them into one.
    double frame = bench_per_call([&] {
        gfx_begin_scene(&GFX);
        gfx_end_scene(&GFX);
        bench_gl_finish();
    });
    printf("d3d_state_reset: %.3f us (target < 2 us)\n", reset * 1e6);
    printf("d3d_state_reset after two state changes: %.3f us\n", reset_changed * 1e6);
    printf("2D quad in a run of twenty textured ones, drawn: %.2f us\n", glyphs * 1e6);
    printf("empty begin/end frame (clear and present, 800x600 llvmpipe), drawn: %.1f us\n", frame * 1e6);
    gfx_clean(&GFX);
    bench_gl_close(&gl);
    return 0;
}
