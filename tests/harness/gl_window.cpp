// Offscreen GL windows for tests.

#include "platform/plat_window.h"
#include "tests/harness/gl_window.h"

#include <SDL2/SDL.h>

// Video and the GL library stay loaded for the whole process: unloading the driver between
// tests would leave its leak reports without symbols, and the suppressions could not match.
static bool video_ready(void)
{
    static bool ready = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 && SDL_GL_LoadLibrary(nullptr) == 0;
    return ready;
}

bool gl_window_open(gl_window* w, int width, int height)
{
    *w = {};
    if (!video_ready())
        return false;
    plat_window_gl_attributes();
    w->window = SDL_CreateWindow("test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!w->window)
        return false;
    w->context = SDL_GL_CreateContext(w->window);
    if (!w->context) {
        SDL_DestroyWindow(w->window);
        w->window = nullptr;
        return false;
    }
    SDL_GL_MakeCurrent(w->window, (SDL_GLContext)w->context);
    return true;
}

void gl_window_close(gl_window* w)
{
    if (!w->window)
        return;
    SDL_GL_MakeCurrent(w->window, nullptr);
    SDL_GL_DeleteContext((SDL_GLContext)w->context);
    SDL_DestroyWindow(w->window);
    *w = {};
}
