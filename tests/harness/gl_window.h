// An offscreen SDL window with a current OpenGL compatibility context, for tests that draw
// through the Direct3D-shaped device without the application's window.
#pragma once

struct SDL_Window;

struct gl_window {
    SDL_Window* window;
    void* context;
};

// Opens a hidden window of width x height with its context current; false (and nothing
// left open) when no GL is to be had.
bool gl_window_open(gl_window* w, int width, int height);
void gl_window_close(gl_window* w); // safe on a closed window
