// The graphics root GFX through which the rest of the system reaches the graphics engine;
// handed to every main state's setup hook.
#pragma once

#include <cstdint>

struct xoxs {
    int32_t count; // meshes handed out
};

struct xsxs {
    int32_t count; // animation instances handed out
};

struct avatars {
    int32_t avatar_count;
    int32_t soul_count;
};

// The device wrapper: only what the window sets so far.
struct d3d_gfx {
    uint8_t resize_flag; // window resized: reset at the next begin scene
};

struct gfx {
    struct d3d_gfx d3d_gfx;
    uint32_t soul_path_flag;
    struct xoxs xoxs;
    struct xsxs xsxs;
    struct avatars avatars;
};

extern gfx GFX;

bool gfx_setup(gfx* root);
void gfx_clean(gfx* root);       // safe after a failed setup and twice
bool gfx_begin_scene(gfx* root); // true when the frame may be drawn
void gfx_end_scene(gfx* root);
