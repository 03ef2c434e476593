// The maze game's items: pooled records with a type table, a cell on the map, a world
// position, an optional mesh, avatar and speech bubble, and a Lua table whose mind (a
// coroutine resumed on the mind tick) and body (resumed every body step) drive them.
#pragma once

#include <cstdint>

#include "engine/code/lua_compat.h"
#include "engine/code/maths.h"
#include "engine/code/pool.h"

struct amaze;
struct amazeitem;
struct amaze_items;
struct xox_mesh;
struct xsx_anim;
struct avatar;
struct bub;

// One static table per item type; each hook is given the item.
struct amaze_item_type {
    bool (*setup)(amazeitem* item);   // allocates the type data; false fails the allocation
    bool (*reset)(amazeitem* item);   // clean, then setup
    void (*clean)(amazeitem* item);   // frees the type data
    void (*update)(amazeitem* item, uint32_t phase); // each phase bit present, handled once
    void (*draw)(amazeitem* item);
    void* zero;
};

extern const amaze_item_type amaze_item_base;     // "base": scenery that may spin and bob
extern const amaze_item_type amaze_item_clod;     // "clod": slides or rolls a cell at a time
extern const amaze_item_type amaze_item_director; // "director": invisible, ticked while paused
extern const amaze_item_type amaze_item_agonist;  // "protagonist" and "antagonist"

struct amazeitem {
    list_node links;          // the pool's live list, allocation order
    amazeitem** cell_slot;    // head word of the cell list it is on, or null
    amazeitem* cell_next;
    amazeitem* cell_prev;
    amaze_items* owner;
    amazeitem** lua_slot;     // the pointer word inside its Lua userdata, or null
    amazeitem** list_slot;    // its entry in a type list, or null
    const amaze_item_type* type;
    void* data;               // the type's data
    int32_t serial;           // key in amaze.items; 1, 2, 3 ... since the items setup
    int32_t score_init;
    int32_t score;
    uint32_t body_flags;      // stored only
    uint32_t mind_flags;      // 0x1: the mind runs on the mind tick
    float yaw;                // radians about the vertical axis
    float yaw_from, yaw_delta;
    float turn_t;             // 0 to 1
    float turn_rate;          // per second; 0: no turn in progress
    motion mind;              // authoritative, advanced on mind ticks
    motion body;              // drawn, a copy of mind advanced by body steps
    int32_t cell_x, cell_y;   // the cell last placed on
    uint8_t solid;
    xox_mesh* xox;
    xsx_anim* anim;
    struct avatar* avatar;
    struct bub* bub;
    char* said;               // the bubble's text: our own copy, freed with the item
};

struct amaze_items {
    amaze* owner;
    pool items;               // amazeitem, 32 a chunk; items.live is the allocation order
    uint32_t serial;
    amazeitem** cells;        // cells_x * cells_y list heads, row by row; null before a map
    int32_t cells_x, cells_y; // the size the cell array was made for
};

enum { AMAZE_ITEMS_PER_CHUNK = 32 };

bool amaze_items_setup(amaze_items* items, amaze* owner); // always true
bool amaze_items_reset(amaze_items* items);
// Releases every item, last allocated first, then frees the pool and the cell array.
void amaze_items_clean(amaze_items* items);
// Every live non-director item, in allocation order.
void amaze_items_update(amaze_items* items, uint32_t phase);
// Every director of the directors list, in list order.
void amaze_items_mind_tick(amaze_items* items, uint32_t phase);
// Every live item, directors included.
void amaze_items_draw(amaze_items* items);

amazeitem* amaze_item_alloc(amaze_items* items, const amaze_item_type* type); // null logged
void amaze_item_free(amaze_items* items, amazeitem* item);                    // null ignored
// A new empty cell array for the isomap's cell counts (when it has cells).
void amaze_items_alloc_cells(amaze_items* items);
// Off the map, or a solid item on the cell.
bool amaze_items_cell_blocked(amaze_items* items, int32_t x, int32_t y);

// Unlinks from the live list and its cell, runs the type's clean, frees the mesh,
// animation, avatar and bubble, empties its type-list entry and its Lua pointer.
void amazeitem_release(amazeitem* item);
// Into the head of cell (x, y)'s list; the recorded cell is unchanged.
void amazeitem_move_to_cell(amazeitem* item, int32_t x, int32_t y);
// Records the cell, moves into its list, and stands the mind on the cell centre.
void amazeitem_place_at_cell(amazeitem* item, int32_t x, int32_t y);
// The cell under the mind position (rounded), then as amazeitem_place_at_cell.
void amazeitem_snap_to_cell(amazeitem* item);

// Type data reached from the Lua methods (the caller checks the type first).
void amaze_base_setbob(amazeitem* item, float phase, float amplitude);
bool amaze_clod_push(amazeitem* item, float px, float py); // false for other types
// An angle brought into [-pi, pi]; infinities and NaN give 0.
float amaze_wrap_pi(float a);
// Roll flags as bits (0x1 x, 0x2 y); mode >= 0 sets them first.
int32_t amaze_clod_rolls(amazeitem* item, int32_t mode);

// Resume the item's mind / body coroutine once in a protected call. False when the
// protected call itself failed (a script error inside the coroutine is reported and ends
// only that coroutine).
bool amaze_mind_tick(lua_State* L, amazeitem* item);
bool amaze_body_step(lua_State* L, amazeitem* item);
// What those two run inside the protected call, given the item as the light userdata at
// index 1: start the function waiting in mind_next (body_next) as a new coroutine given the
// item's table, else resume the running one in mind (body) once, dropping it when it ends
// or fails. The body's also hands the table's tweens to the item's avatar layers.
int amaze_mind_resume(lua_State* L);
int amaze_body_resume(lua_State* L);
