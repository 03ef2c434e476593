// The maze's screen furniture: the level clock at the lower right, the first protagonist's
// score at the lower left beside a fire icon, and the fire sprites that fly in an arc from
// an item to the icon. It also holds the level clock.
#pragma once
#include <cstdint>
#include "engine/code/maths.h"

struct amaze;
struct xox_mesh;

enum { AMAZE_OVERLAY_SPRITES = 16 };  // sprite 0 is the icon, the others fly

struct amaze_sprite {
    uint8_t active;
    float from_x, from_y;  // screen pixels, y down
    float from_size;
    float to_x, to_y;
    float to_size;
    float t;               // progress 0 to 1
    float speed;           // progress per second
    float spin;            // half turns
    xox_mesh* mesh;
};

struct amaze_overlay {
    amaze* owner;       // gives the protagonists
    int32_t time_init;  // the clock's start value; nonzero counts down
    int32_t time_step;  // stored for scripts only
    int32_t time;       // the level clock in tenths of a second
    xox_mesh* mesh;     // the fire; null when it could not be loaded
    amaze_sprite sprites[AMAZE_OVERLAY_SPRITES];
};

bool amaze_overlay_setup(amaze_overlay* o, amaze* owner);  // true, also without the mesh
void amaze_overlay_clean(amaze_overlay* o);                 // safe twice
void amaze_overlay_update(amaze_overlay* o);                // once a frame, paused or not
void amaze_overlay_draw(amaze_overlay* o);
amaze_sprite* amaze_overlay_free_sprite(amaze_overlay* o);  // null when all fly
// Starts a sprite flying to the icon from one unit above the world point (an item's mind
// position); nothing when all fly.
void amaze_overlay_swish(amaze_overlay* o, const vec3* at);
// "m:ss.t" of the clock value c - 2 (the text the clock shows).
void amaze_overlay_time_str(char* out, int32_t size, int32_t c);
