// What the benchmark programs share: entering the game folder, timing a repeated call, and
// an offscreen window with a current GL context for the device. Header only: every .cpp in
// this folder is a program of its own.
#pragma once

#include <IL/il.h>
#include <SDL2/SDL.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

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

// Seconds taken by n calls of f.
template <typename F> double bench_seconds(int n, F f)
{
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; i++)
        f();
    std::chrono::duration<double> d = std::chrono::steady_clock::now() - start;
    return d.count();
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

inline void bench_gl_close(bench_gl* g)
{
    if (g->context)
        SDL_GL_DeleteContext(g->context);
    if (g->window)
        SDL_DestroyWindow(g->window);
    SDL_Quit();
}
