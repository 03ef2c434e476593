// The amaze main state: an isometric height-map maze whose items are driven by Lua
// coroutines. One static instance holds the terrain, the camera, the items, the overlay and
// the type lists; the state builds them in order, runs the level script, and drives them
// with the timing driver's phases under the pause rules.
#pragma once

#include <cstdint>

#include "app/code/amaze/amaze_items.h"
#include "app/code/amaze/amaze_overlay.h"
#include "app/code/amaze/amaze_view.h"
#include "app/code/amaze/isomap.h"
#include "app/code/hud/hud.h"

struct gfx;

enum { AMAZE_LIST_MAX = 32 };

// Items of one Lua type in allocation order; the 33rd and later are in no list. Entries of
// released items are null. The count never decreases.
struct amaze_item_list {
    int32_t count;
    amazeitem* items[AMAZE_LIST_MAX];
};

struct amaze {
    struct gfx* gfx;
    ::isomap isomap;
    amaze_view view;
    amaze_items items;
    amaze_overlay overlay;
    const char* dir_local;    // "local/amaze/"
    const char* dir_data;     // "data/amaze/"
    float view_w, view_h;     // the root's screen size, refreshed at every update
    uint8_t paused;           // a menu shows or the scripts asked for a pause
    uint8_t pause_request;    // written only by amaze.pause_request
    amaze_item_list directors;
    amaze_item_list protagonists; // the camera follows the first
    amaze_item_list antagonists;
};

extern amaze AMAZE;

// The state's HUD records; none has a handler, so a choice acts through its gizmo's Lua.
enum {
    MENU_ChoiceBEGIN,
    MENU_ChoiceStart,
    MENU_ChoiceRetry,
    MENU_ChoiceNext,
    MENU_ChoiceExit,
    MENU_ChoiceEND,
    MENU_CHOICE_COUNT
};
extern menu_def amaze_menu[MENU_CHOICE_COUNT + 1]; // ended by an all-zero record

bool amaze_setup(amaze* a, gfx* root); // false after logging the part that failed
bool amaze_reset(amaze* a);
void amaze_clean(amaze* a);            // safe after a failed setup and twice
void amaze_update(amaze* a, uint32_t phases);
void amaze_draw(amaze* a);

// The Lua library: protected bodies (ud: the amaze instance) registering the global table
// amaze with its item metatables and running local/amaze/amaze.lua, and removing it.
int amaze_lua_register(lua_State* L);
int amaze_lua_remove(lua_State* L);
