// The structor: a flat world of 1024 x 512 units over a grid of liquid cells, with items
// (rolling balls, wall brushes, the grid's own picture) that level scripts make through the
// Lua libraries `structor` and `structor_items`. In edit mode the pointer picks items and
// every mouse edge on a picked item is reported to the script's structor.menu_action.
//
// Files: structor.cpp (state and hooks), structor_cells.cpp (the grid), structor_items.cpp
// (item list, journal, view), structor_types.cpp (the three item types), structor_lua.cpp.
#pragma once

#include <cstdint>

#include "app/code/hud/hud.h"
#include "engine/code/gfx/view.h"
#include "engine/code/lua_compat.h"
#include "engine/code/maths.h"
#include "engine/code/pool.h"

struct gfx;
struct bmip;
struct d3d_txt;
struct gfx_txts;
struct gfx_cmps;
struct structor_state;
struct structor_item;
struct structor_items_list;

// ---- view ---------------------------------------------------------------------------------

// Pans and zooms over the world: the motion's position is (pan x, pan y, zoom).
struct structor_view {
    gfx_view view;             // screen mode
    structor_state* owner;
    ::motion motion;
    uint32_t dragging;         // the grab button is dragging the pan
    float drag_pan_x, drag_pan_y, drag_zoom;  // at the start of the drag
    float drag_x, drag_y, drag_z;             // pointer at the start of the drag
    vec3 pointer;              // the HUD pointer in world units (z 0)
};

bool structor_view_setup(structor_view* v, structor_state* owner);  // always true
void structor_view_update(structor_view* v);  // keys, zoom buttons, grab drag, limits, pointer
void structor_view_draw(structor_view* v);    // view_apply

// ---- cells --------------------------------------------------------------------------------

struct structor_cell {
    uint16_t amount;  // liquid
    uint16_t solid;   // non-zero: a wall
    float flow_x;     // across the right edge, positive to the right
    float flow_y;     // across the lower edge, positive downwards
    float next_x;     // being built by the blur
    float next_y;
    int32_t move_x;   // liquid to move this step; negative: left
    int32_t move_y;   // negative: up
};

enum { STRUCTOR_CELL_TEXTURES = 4, STRUCTOR_CONTACTS = 256 };

// A rectangle in cells or pixels, corner first.
struct structor_rect {
    float x, y, w, h;
};

// The grid: rows from the top (row 0) down, centred on the world origin, world y upwards.
struct structor_cells {
    d3d_txt* textures[STRUCTOR_CELL_TEXTURES];  // ring of pictures, by step modulo 4
    structor_cell* initial;   // as built: border and stamped walls
    structor_cell* working;   // what the steps change
    uint32_t* bitmap;         // ARGB picture of the working grid last drawn
    int32_t w, h;
    uint32_t steps;
    float cell_size;
    float blur_base;          // the blur divides by blur_base + 12
    int32_t contact_count;
    sphere contacts[STRUCTOR_CONTACTS];  // the wall cells of the last wall query
    structor_view* view;
    struct structor_cells_fields* fields;  // the step's own arrays (made by setup, or by a first step)
};

bool structor_cells_setup(structor_cells* c, structor_view* view, int32_t w, int32_t h, float cell_size);
void structor_cells_clean(structor_cells* c);  // safe after a failed setup and twice
void structor_cells_clear(structor_cells* c);  // no walls, blank pictures
void structor_cells_border(structor_cells* c); // the outer 4 cells of the initial grid are walls
void structor_cells_reset(structor_cells* c);  // working := initial
// Walls into the initial grid where the BGRA picture is opaque. source null: the whole
// picture. dest is in cells.
void structor_cells_stamp(structor_cells* c, const bmip* picture, const structor_rect* source,
                          const structor_rect* dest);
void structor_cells_step(structor_cells* c);
// contacts := one sphere per wall cell under the world box (at most 256).
void structor_cells_solid_spheres(structor_cells* c, const vec3* lo, const vec3* hi);
// Mean flow_x, flow_y and amount of the cells under the world box; zero when it holds none.
void structor_cells_sample(structor_cells* c, const vec3* lo, const vec3* hi, vec3* out);
void structor_cells_draw(structor_cells* c);
structor_cell* structor_cells_at(structor_cells* c, int32_t column, int32_t row);  // working, or null

// ---- items --------------------------------------------------------------------------------

enum : uint32_t {
    STRUCTOR_ITEM_HOVERED = 0x1,
    STRUCTOR_ITEM_SELECTED = 0x2,
};

// One kind of item: five operations, each given the item, then a zero word.
struct structor_item_type {
    bool (*setup)(structor_item* it);
    bool (*reset)(structor_item* it);
    void (*clean)(structor_item* it);
    void (*update)(structor_item* it, uint32_t phase);
    void (*draw)(structor_item* it);
    void* end;
};

extern const structor_item_type structor_item_aball;
extern const structor_item_type structor_item_brush;
extern const structor_item_type structor_item_cells;

struct structor_item {
    list_node links;
    structor_items_list* owner;
    const structor_item_type* type;
    void* data;                // the type's own
    ::motion motion;           // scale is the item's size (w, h, d)
    // Ball fields.
    vec3 move;                 // displacement still to make in this frame's sub-steps
    float smoothed;            // smoothed contact time
    ::sphere sphere;
    gfx_txts* texture;         // owned
    gfx_cmps* cut_map;         // owned
    void** lua_slot;           // its Lua userdata's pointer, nulled when the item is freed
    uint32_t flags;            // STRUCTOR_ITEM_*
    ::motion initial;          // restored by a reset
};

struct structor_items_list {
    structor_state* owner;
    pool records;              // live list: the items in the order they were made
    int32_t count;
};

bool structor_items_setup(structor_items_list* l, structor_state* owner);
void structor_items_clean(structor_items_list* l);  // frees every item; safe twice
void structor_items_reset_all(structor_items_list* l);
void structor_items_phase(structor_items_list* l, uint32_t phase);
void structor_items_draw(structor_items_list* l);   // then the outlines in edit mode

structor_item* structor_item_alloc(structor_items_list* l, const structor_item_type* type);  // null, logged
void structor_item_free(structor_items_list* l, structor_item* it);
void structor_item_reset(structor_item* it);
void structor_item_setinitial(structor_item* it);
void structor_item_setcells(structor_item* it);     // a brush with a cut map stamps it
void structor_item_rect(const structor_item* it, structor_rect* out);
// Ownership of a texture or cut map passes to the item (a previous one is released).
void structor_item_set_texture(structor_item* it, gfx_txts* t);
void structor_item_set_cut_map(structor_item* it, gfx_cmps* c);

// ---- journal ------------------------------------------------------------------------------

// Kept for recording; nothing writes to it yet, so it holds no memory and has no clean.
struct structor_journal {
    structor_state* owner;
    grow_array entries;        // 16-byte elements
};

bool structor_journal_setup(structor_journal* j, structor_state* owner);

// ---- state --------------------------------------------------------------------------------

struct structor_state {
    struct gfx* gfx;
    structor_cells cells;
    structor_view view;
    structor_items_list items;
    structor_journal journal;
    const char* dir_local;
    const char* dir_data;
    uint8_t paused;                // the HUD shows a menu, or pause_request
    uint8_t pause_request;
    uint8_t reset_request;         // one-shot
    uint8_t edit_request;
    uint8_t rebuildcells_request;  // one-shot
    uint8_t edit_mode;
    float width, height;           // the world, 1024 x 512
    uint8_t picked;                // a press in edit mode found an item
};

extern structor_state structor_state_main;

// HUD records of the structor's menus; ids in table order, no handlers.
enum {
    MENU_SelectBEGIN, MENU_SelectRun, MENU_SelectEND, MENU_LayoutBEGIN, MENU_LayoutRun, MENU_LayoutEND,
    MENU_ModeBEGIN, MENU_ModeEdit, MENU_ModeRun, MENU_ModeStop, MENU_ModeReset, MENU_ModeEND,
    STRUCTOR_MENU_RECORDS
};
extern menu_def structor_menu[STRUCTOR_MENU_RECORDS + 1];

bool structor_setup(structor_state* s, gfx* root);
bool structor_reset(structor_state* s);
void structor_clean(structor_state* s);  // safe after a failed setup and twice
void structor_update(structor_state* s, uint32_t phase);
void structor_draw(structor_state* s);

// Protected bodies: the globals structor and structor_items (then local/structor/structor.lua),
// and their removal. The userdata argument is the state (null: structor_state_main).
int structor_lua_setup(lua_State* L);
int structor_lua_clean(lua_State* L);
