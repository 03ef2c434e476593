// The heads-up display HUD that every main state draws over its scene: trees of gizmos
// built from Lua tables (buttons, toggles, handles, text, filled rectangles), the menu that
// Escape toggles, up to 16 context gizmos, and the pointer model that follows the mouse.
#pragma once

#include <cstdint>

#include "engine/code/pool.h"
#include "engine/code/str_pool.h"

struct gfx;
struct font;
struct avatar;
struct xox_mesh;
struct bub;
struct hudgizmo;
struct hud_subsystem;

// ---- Menu records -------------------------------------------------------------------------

// One record of a state's menu table; a table ends at the record whose name is null.
struct menu_def {
    const char* name;  // a gizmo carrying this name (compared byte-wise) is linked to the record
    int32_t id;        // the record's index in its table
    void* owner;       // the state instance the handler serves; null for markers
    uint32_t data;     // handler data
    // event 1: a button released over g, or a handle drag ended; 2: a handle being dragged
    // (every frame). The result is not used. Null = no handler.
    int32_t (*handler)(menu_def* record, hudgizmo* g, int32_t event, int32_t unused);
    hudgizmo* gizmo;   // the gizmo last linked to the record
    float value;       // a linked handle's fraction, 0..1
};

// ---- Gizmos -------------------------------------------------------------------------------

enum : uint32_t {
    HUDGIZMO_HIDDEN = 0x1,       // skipped with its subtree by every pass (as a child)
    HUDGIZMO_SELECTED = 0x2,     // the selected member of its group ring
    HUDGIZMO_ALIGN_LEFT = 0x10,  // children's horizontal alignment; both bits stretch,
    HUDGIZMO_ALIGN_RIGHT = 0x20, // neither centres
    HUDGIZMO_ALIGN_TOP = 0x100,  // children's vertical alignment, likewise
    HUDGIZMO_ALIGN_BOTTOM = 0x200,
    HUDGIZMO_STRETCH_X = HUDGIZMO_ALIGN_LEFT | HUDGIZMO_ALIGN_RIGHT,
    HUDGIZMO_STRETCH_Y = HUDGIZMO_ALIGN_TOP | HUDGIZMO_ALIGN_BOTTOM,
};

enum { HUDGIZMO_DATA_BASE = 0, HUDGIZMO_DATA_TEXT = 1, HUDGIZMO_DATA_GFX = 2, HUDGIZMO_DATA_BUTTON = 3,
       HUDGIZMO_DATA_HANDLE = 4 };

enum { HUDGIZMO_STYLE_NORMAL = 0, HUDGIZMO_STYLE_NOFILL = 1, HUDGIZMO_STYLE_INVISIBLE = 2,
       HUDGIZMO_STYLE_CARTOON = 3 };

// A gizmo's behaviour, one static table per data kind.
struct hudgizmo_kind {
    float (*width)(hudgizmo* g);  // the inset around the children; for text, the text's width
    float (*height)(hudgizmo* g); // likewise
    void (*update)(hudgizmo* g);  // null = nothing
    void (*draw)(hudgizmo* g);    // null = nothing
};

extern const hudgizmo_kind hudgizmo_kind_base;
extern const hudgizmo_kind hudgizmo_kind_button;
extern const hudgizmo_kind hudgizmo_kind_gfx;
extern const hudgizmo_kind hudgizmo_kind_handle;
extern const hudgizmo_kind hudgizmo_kind_text;

// One pooled gizmo. Strings are interned in the HUD's pools, so names compare by pointer.
struct hudgizmo {
    list_node link;              // the HUD's root list for a root, the parent's children otherwise
    hudgizmo** lua_slot;         // the slot of the userdata holding this root; null for a child
    hudgizmo* root;              // a root points at itself
    hudgizmo* parent;            // null for a root
    int32_t style;               // HUDGIZMO_STYLE_*
    uint32_t flags;              // HUDGIZMO_* bits
    const char* target_name;
    hudgizmo* target;            // the panel shown when this gizmo becomes selected
    const char* group_name;
    hudgizmo* group_next;        // next member of the group ring; null without a group
    const char* name;
    menu_def* record;            // the menu record linked by name
    const char* part_group;      // read by the avatar editor's button handler
    const char* part_name;
    const char* lua;             // queued as a script thread when a button is released over it
    list children;               // in the order of the Lua table's array part
    int32_t limit_wide, limit_high; // most columns / rows of the child grid, 0 = no limit
    int32_t span_width, span_height; // columns / rows taken in the parent's grid
    float min_width, min_height;
    float max_width, max_height;
    float aspect;                // width / height at which text wraps; 0 = one line
    uint32_t colour;             // ARGB
    int32_t data_kind;           // HUDGIZMO_DATA_*
    font* text_font;
    const char* text;            // for a handle: its handle_x name; null reads as ""
    menu_def* handle_x_record;
    const char* handle_y_name;
    menu_def* handle_y_record;
    const hudgizmo_kind* kind;
    float x, y, w, h;            // laid-out rectangle, window pixels, y down
    float measured_width, measured_height;
    int32_t columns, rows;       // the child grid of the last measure
};

// ---- Pointer ------------------------------------------------------------------------------

struct hud_pointer {
    hud_subsystem* owner;
    uint8_t hidden;          // non-zero: not drawn
    float x, y, z;           // window pixels, y down; z is 0
    float last_x, last_y, last_z;
    float tilt;              // radians, -80 deg at rest, within -80..0 deg
    float turn;              // radians, 30 deg at rest, within -90..90 deg
    xox_mesh* mesh;          // null when the model could not be loaded
};

// ---- The HUD ------------------------------------------------------------------------------

enum { HUD_CONTEXTS = 16 };

struct hud_subsystem {
    gfx* root;
    hud_pointer pointer;
    float window_width, window_height;   // the root's screen size, refreshed every update
    hudgizmo* display_gizmo;             // shown at all times
    hudgizmo* displayed_menu;            // the menu now shown; while set only it takes input
    hudgizmo* master_menu;               // the menu Escape brings up
    int32_t context_count;               // slots 0..count-1 are visited
    hudgizmo* contexts[HUD_CONTEXTS];
    menu_def* menu_table;                // the running state's records, or null
    avatar* cartoon_avatar;              // soul "tovin", drawn by cartoon faces
    hudgizmo* pressed;                   // took the last press, has not seen its release
    str_pool name_pool;                  // names, matched without case
    str_pool text_pool;                  // shown texts, matched with case
    str_pool script_pool;                // Lua strings, matched with case
    pool gizmos;                         // live list: the roots
    float grab_x, grab_y;                // pointer minus the dragged handle's corner at the press
    int32_t holds;                       // see hud_hold
    list doomed;                         // trees freed while held, given back at the last release
};

extern hud_subsystem HUD;

bool hud_setup(hud_subsystem* hud, gfx* root);
// The part of the setup that needs no graphics: the gizmo pool and the three string pools.
bool hud_setup_pools(hud_subsystem* hud);
bool hud_reset(hud_subsystem* hud);
void hud_clean(hud_subsystem* hud); // safe after a failed setup and twice

// A root gizmo with the defaults, on the HUD's root list; null before setup or when the
// pool cannot grow.
hudgizmo* hud_gizmo_alloc(hud_subsystem* hud);
// Frees g with its subtree (null ignored). Every HUD field and menu record that points into
// the subtree is cleared, and so is the Lua slot holding g.
void hud_gizmo_free(hud_subsystem* hud, hudgizmo* g);
// While the HUD is held, a freed tree leaves the HUD, its menu records and its userdata at
// once but its records go back to the pool only when the last hold is released, so code
// walking the tree can finish. Held around the update pass (a handler, or compiling a queued
// Lua string, may run the collector, which frees the trees of unreferenced userdata) and
// around reading a Lua table into a tree (its metamethods may free or rebuild that tree).
void hud_hold(hud_subsystem* hud);
void hud_release(hud_subsystem* hud);
// Moves every HUD reference to old_root onto new_root (a rebuilt tree keeps its place).
void hud_gizmo_replace(hud_subsystem* hud, hudgizmo* old_root, hudgizmo* new_root);

void hud_update(hud_subsystem* hud);
void hud_draw(hud_subsystem* hud);
// The mouse position in window pixels, from the window's mouse-move messages.
void hud_set_pointer(hud_subsystem* hud, int32_t x, int32_t y);

void hudgizmo_defaults(hudgizmo* g);

// ---- Tree (linking, finds and passes) -----------------------------------------------------

void hudgizmo_link(hudgizmo* g, menu_def* table); // table may be null
hudgizmo* hudgizmo_find(hudgizmo* g, const char* name);       // interned name
hudgizmo* hudgizmo_find_shown(hudgizmo* g, const char* name); // skips g's hidden children
hudgizmo* hudgizmo_find_group(hudgizmo* g, const char* group_name);
// The passes skip hidden children with their subtrees, never the gizmo they are called on.
void hudgizmo_measure(hudgizmo* g);
void hudgizmo_update(hudgizmo* g);
void hudgizmo_layout(hudgizmo* g);
void hudgizmo_draw(hudgizmo* g);

// ---- Kinds --------------------------------------------------------------------------------

bool hudgizmo_button_hit(const hudgizmo* g, float px, float py);
void hudgizmo_button_update(hudgizmo* g);
void hudgizmo_handle_update(hudgizmo* g);
void hudgizmo_button_draw(hudgizmo* g);
void hudgizmo_handle_draw(hudgizmo* g);
void hudgizmo_gfx_draw(hudgizmo* g);
float hudgizmo_text_width(hudgizmo* g);
float hudgizmo_text_height(hudgizmo* g);
void hudgizmo_text_draw(hudgizmo* g);

// ---- Faces --------------------------------------------------------------------------------

enum { HUDGIZMO_FACE_HOVER = 1, HUDGIZMO_FACE_DOWN = 2, HUDGIZMO_FACE_FAINT = 4 };

float hudgizmo_face_width(hudgizmo* g);  // the inset the face adds: 4, 20 for cartoon
float hudgizmo_face_height(hudgizmo* g);
void hudgizmo_face_draw(hudgizmo* g, int32_t state);
extern float hudgizmo_cartoon_clock; // seconds, animates the HUD avatar

// ---- Pointer ------------------------------------------------------------------------------

bool hud_pointer_setup(hud_pointer* p, hud_subsystem* owner); // always true
bool hud_pointer_reset(hud_pointer* p);
void hud_pointer_clean(hud_pointer* p);
void hud_pointer_set_pos(hud_pointer* p, int32_t x, int32_t y);
void hud_pointer_update(hud_pointer* p);
void hud_pointer_draw(hud_pointer* p);

// ---- Graphics calls -----------------------------------------------------------------------

// The graphics engine's calls the gizmos draw and measure with. hud_gfx points at the
// engine's own table; tests point it at recorders.
struct hud_gfx_calls {
    void (*draw2d_quad)(float x1, float y1, float x2, float y2, uint32_t c1, uint32_t c2, uint32_t c3,
                        uint32_t c4);
    void (*font_select)(gfx* root, font* f);
    void (*font_set_style)(gfx* root, float space_width, float size, float spacing, uint32_t top_colour,
                           uint32_t bottom_colour);
    void (*font_set_pos)(gfx* root, float x, float y);
    void (*font_move_x)(gfx* root, float dx);
    float (*font_text_width)(gfx* root, const char* text);
    float (*font_word_width)(gfx* root, const char** text);
    void (*font_draw_word)(gfx* root, const char** text);
    void (*font_draw_text)(gfx* root, const char* text);
    void (*draw_balloon)(const bub* b);
    void (*cartoon_avatar_draw)(hud_subsystem* hud, float clock); // poses and draws the avatar
    float (*cartoon_length)(hud_subsystem* hud); // the breathing cycle's length in seconds
};

extern const hud_gfx_calls hud_gfx_engine;
extern const hud_gfx_calls* hud_gfx;

// The HUD's ties to the graphics root.
void hud_refresh_window(hud_subsystem* hud); // window size := the root's screen size
font* hud_font_outline(hud_subsystem* hud);  // the root's Outline16, null without a root
font* hud_font_comic(hud_subsystem* hud);    // the root's Comic16, null without a root
// The cartoon avatar (soul "tovin"): false when it cannot be allocated.
bool hud_cartoon_setup(hud_subsystem* hud);
void hud_cartoon_clean(hud_subsystem* hud);

// ---- Lua ----------------------------------------------------------------------------------

struct lua_State;
void hud_lua_setup(lua_State* L);
void hudgizmo_read_table(lua_State* L, hudgizmo* g);
void hudgizmo_place(hudgizmo* old_gizmo, hudgizmo* new_gizmo, const char* mode);
