// The maze camera: an orthographic camera looking down on the map at a pitch and a yaw
// that the direction buttons turn with inertia, zoomed by the in/out buttons, following the
// first protagonist while keeping the view on the map; the light turns with it.
#pragma once
#include <cstdint>
#include "engine/code/gfx/view.h"

struct amaze;

struct amaze_view {
    gfx_view view;      // camera mode
    amaze* owner;       // screen size, the map's cell counts, the protagonists
    float pitch;        // radians about x, kept in [0, 2 pi]
    float pitch_speed;  // added to pitch every frame
    float yaw;          // radians about the vertical, kept in [0, 2 pi]
    float yaw_speed;
    float distance;     // camera distance factor
    float zoom;         // pixels per world unit, 16 to 128
    vec3 view_up;       // screen up as a cell step (x and z; y is 0)
    vec3 view_right;    // screen right as a cell step
};

bool amaze_view_setup(amaze_view* v, amaze* owner);  // always true
bool amaze_view_reset(amaze_view* v);
void amaze_view_clean(amaze_view* v);
// Once a frame, paused or not: buttons, inertia, camera, follow, grid directions, light,
// matrices.
void amaze_view_update(amaze_view* v);
void amaze_view_draw(amaze_view* v);  // makes the view current
