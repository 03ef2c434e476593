// Benchmark of the graphics device's per-frame fixed costs: the engine's state reset (run at
// least once a frame) and an empty begin/end frame, on the offscreen GL device. It prints
// figures and judges nothing.

#include <SDL2/SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"

template <typename F> static double per_call_us(int n, F f)
{
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; i++)
        f();
    std::chrono::duration<double, std::micro> d = std::chrono::steady_clock::now() - start;
    return d.count() / n;
}

int main()
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return 1;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_Window* w = SDL_CreateWindow("bench", 0, 0, 800, 600, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext c = w ? SDL_GL_CreateContext(w) : nullptr;
    if (!c || !gfx_setup(&GFX)) {
        fprintf(stderr, "no GL device\n");
        return 1;
    }
    IDirect3DDevice8* dev = GFX.d3d_gfx.device;
    gfx_begin_scene(&GFX);
    double reset = per_call_us(200000, [&] { d3d_state_reset(dev); });
    // The usual frame: a view's state changes between two resets.
    double reset_changed = per_call_us(100000, [&] {
        gfx_set_zwrite(&GFX, true);
        gfx_set_ambient(&GFX, 0xFF606060);
        d3d_state_reset(dev);
    });
    gfx_end_scene(&GFX);
    double frame = per_call_us(2000, [&] {
        gfx_begin_scene(&GFX);
        gfx_end_scene(&GFX);
    });
    printf("d3d_state_reset: %.3f us (target < 2 us)\n", reset);
    printf("d3d_state_reset after two state changes: %.3f us\n", reset_changed);
    printf("empty begin/end frame (clear and present, 800x600 llvmpipe): %.1f us\n", frame);
    gfx_clean(&GFX);
    SDL_GL_DeleteContext(c);
    SDL_DestroyWindow(w);
    SDL_Quit();
    return 0;
}
