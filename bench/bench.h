// What the benchmark programs share: entering the game folder, timing a repeated call, the
// memory rate that a throughput is judged against, and an offscreen window with a current GL
// context for the device. Header only: every .cpp in this folder is a program of its own.
#pragma once

#include <GL/gl.h>
#include <IL/il.h>
#include <SDL2/SDL.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/code/files.h"
#include "engine/code/gfx/gfx.h"

struct bench_gl {
    SDL_Window* window;
    SDL_GLContext context;
};

// Enters the game folder (the first argument, else build/game) and sets up the file cache
// on it; false after saying why not.
inline bool bench_enter_game(int argc, char** argv)
{
    const char* game = argc > 1 ? argv[1] : "build/game";
    if (chdir(game) != 0) {
        fprintf(stderr, "no game folder %s\n", game);
        return false;
    }
    files_setup(&FILES);
    return true;
}

// The shortest span a figure is taken from. The steady clock counts nanoseconds and costs a
// few tens of them to read, so over 100 ms neither shows in the figure.
static const double BENCH_SPAN = 0.1;

// Makes the compiler treat v (and whatever it points to) as read, so work whose result the
// program never uses is still done in the timed loop.
template <typename T> inline void bench_keep(const T& v) { asm volatile("" : : "r"(&v) : "memory"); }

// Seconds taken by n calls of f and then one of done, the wait for whatever the calls only
// queued (nothing when not given).
template <typename F, typename D> double bench_seconds(long n, F f, D done)
{
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < n; i++)
        f();
    done();
    std::chrono::duration<double> d = std::chrono::steady_clock::now() - start;
    return d.count();
}

template <typename F> double bench_seconds(long n, F f)
{
    return bench_seconds(n, f, [] {});
}

// Seconds per call of f, with done as above. The calls timed together double in number
// until one run of them lasts BENCH_SPAN; of three runs of that many the fastest gives the
// figure, since on a shared machine a slower run lost time to other work. f hands its result
// to bench_keep.
template <typename F, typename D> double bench_per_call(F f, D done)
{
    long n = 1;
    double s = bench_seconds(n, f, done);
    while (s < BENCH_SPAN) {
        n *= 2;
        s = bench_seconds(n, f, done);
    }
    for (int run = 0; run < 2; run++)
        s = std::min(s, bench_seconds(n, f, done));
    return s / n;
}

template <typename F> double bench_per_call(F f)
{
    return bench_per_call(f, [] {});
}

// Bytes a second that memcpy copies between two buffers of `bytes` each, timed as above:
// work that copies a buffer of that size (a file read into memory) cannot go faster.
inline double bench_memcpy_rate(size_t bytes)
{
    std::vector<uint8_t> from(bytes, 1), to(bytes);
    return bytes / bench_per_call([&] {
        memcpy(to.data(), from.data(), bytes);
        bench_keep(to.data());
    });
}

// Starts the image library and opens a hidden 800x600 window with a current compatibility
// context, offscreen unless the environment picks a video driver; false when there is none.
inline bool bench_gl_open(bench_gl* g)
{
    g->window = nullptr;
    g->context = nullptr;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return false;
    ilInit();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    g->window = SDL_CreateWindow("bench", 0, 0, 800, 600, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    g->context = g->window ? SDL_GL_CreateContext(g->window) : nullptr;
    return g->context != nullptr;
}

// Enters the game folder, opens the window and sets up the graphics root on it (which needs
// the installation's fonts and avatar animations); false after saying why not.
inline bool bench_open_gfx(int argc, char** argv, bench_gl* g)
{
    if (!bench_enter_game(argc, argv))
        return false;
    if (!bench_gl_open(g) || !gfx_setup(&GFX)) {
        fprintf(stderr, "no GL device\n");
        return false;
    }
    return true;
}

// Waits until the device has carried out every command given so far. The GL driver queues
// clears and drawing and does them later on threads of its own, so a span that ends before
// this wait times only the queueing.
inline void bench_gl_finish() { glFinish(); }

inline void bench_gl_close(bench_gl* g)
{
    if (g->context)
        SDL_GL_DeleteContext(g->context);
    if (g->window)
        SDL_DestroyWindow(g->window);
    SDL_Quit();
}
