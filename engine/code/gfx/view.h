// The camera: view and projection matrices and the light direction of one 3D scene, and
// the projection of points to screen pixels for the 2D drawing on top. Both modes are
// orthographic: mode 0 maps one unit to one pixel around the screen centre with a fixed
// light; mode 1 is a positioned, oriented and scaled camera whose owner sets the light.
#pragma once

#include <cstdint>

#include "engine/code/maths.h"

enum {
    VIEW_MODE_SCREEN = 0,
    VIEW_MODE_CAMERA = 1,
};

struct gfx_view {
    int32_t mode;
    float width, height;  // the screen size, copied at every build
    float depth;          // mode 0's depth range (4096)
    // Mode 0: position holds (shift x, shift y, zoom). Mode 1: filled by the build from the
    // camera; afterwards its position is the negated camera position.
    transform derived;
    transform camera;     // mode 1: written by the owner, never by setup
    vec3 light_dir;       // direction of light 0: mode-0 builds set it, mode-1 owners do
    mat4 view;
    mat4 projection;
};

// Identity derived transform, shift 0, zoom 1, then a build. Always true.
bool view_setup(gfx_view* view, int32_t mode);
void view_clean(gfx_view* view);
bool view_reset(gfx_view* view);
// Rebuild after changing the camera, shift or zoom, or the screen size; before applying
// or projecting.
void view_build(gfx_view* view);
// Makes the view current on the device of GFX: default states, z writes, ambient, the two
// transforms and light 0.
void view_apply(gfx_view* view);
// Projects a point in place to screen pixels (x right, y down from the top-left), z the
// projected depth. False when the projection's w is too small (the point is then only
// transformed by the view).
bool view_project(gfx_view* view, vec3* point);
void view_project_point(gfx_view* view, vec3* point);
// Turns a view-space offset into a pixel offset: scaled, neither centred nor flipped.
bool view_project_offset(gfx_view* view, vec3* offset);
