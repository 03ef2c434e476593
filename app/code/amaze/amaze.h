// The maze game state: an isometric height-map maze whose items, driven by Lua coroutines,
// move, push each other and speak. One static instance builds the map, the camera, the Lua
// library, the items and the overlay, and drives them from the timing driver's phases.
#pragma once
#include <cstdint>
#include "app/code/amaze/amaze_items.h"
#include "app/code/amaze/amaze_overlay.h"
#include "app/code/amaze/amaze_view.h"
#include "app/code/amaze/isomap.h"

struct gfx;

enum { AMAZE_LIST_MAX = 32 };

// Directors, protagonists or antagonists, in allocation order; counts never decrease.
struct amaze_item_list {
    int32_t count;
    amazeitem* items[AMAZE_LIST_MAX];
};

struct amaze {
    struct gfx* gfx;
    struct isomap isomap;
    amaze_view view;
    amaze_items items;
    amaze_overlay overlay;
    char* dir_local;
    char* dir_data;
    float view_w, view_h;  // the root's screen size, refreshed at setup and every update
    uint8_t paused;
    uint8_t pause_request;
    amaze_item_list directors;
    amaze_item_list protagonists;  // the camera follows the first
    amaze_item_list antagonists;
};
