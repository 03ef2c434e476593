// The Lua library hud and the userdata type hudgizmo: scripts build gizmo trees from nested
// tables, show them as the display gizmo, the menu or a context gizmo, and place them.
//
// Sections: table reading; placing; functions and methods; registration.
//
// Every native function here may raise: none keeps an object with a destructor alive.

#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "app/code/hud/hud.h"
#include "engine/code/lua_lib.h"

static const char* const TYPE_NAME = "hudgizmo";

// ---- Table reading ------------------------------------------------------------------------

// The value of key in the table on the stack top as text when it is a string or a number
// (numbers through their string form), else null. Leaves the value pushed.
static const char* get_text(lua_State* L, const char* key)
{
    lua_getfield(L, -1, key);
    return lua_isstring(L, -1) ? lua_tostring(L, -1) : nullptr;
}

// Runs read(g, value) for key when its value is text, then pops it.
static void read_key(lua_State* L, hudgizmo* g, const char* key, void (*read)(hudgizmo*, const char*))
{
    if (const char* v = get_text(L, key))
        read(g, v);
    lua_pop(L, 1);
}

static const char* name_of(const char* v) { return str_pool_add(&HUD.name_pool, v); }
static const char* text_of(const char* v) { return str_pool_add(&HUD.text_pool, v); }

static void set_kind(hudgizmo* g, int32_t data_kind, const hudgizmo_kind* kind)
{
    g->data_kind = data_kind;
    g->kind = kind;
}

static void become_text(hudgizmo* g)
{
    set_kind(g, HUDGIZMO_DATA_TEXT, &hudgizmo_kind_text);
    g->text_font = hud_font_outline(&HUD);
}

static void set_align(hudgizmo* g, const char* v, uint32_t low, uint32_t high)
{
    int32_t a = atoi(v);
    g->flags &= ~(low | high);
    if (a < 0)
        g->flags |= low;
    else if (a > 0)
        g->flags |= high;
}

static void read_aspect(hudgizmo* g, const char* v) { g->aspect = (float)atof(v); }
static void read_hide(hudgizmo* g, const char* v)
{
    if (atoi(v) == 1)
        g->flags |= HUDGIZMO_HIDDEN;
    else
        g->flags &= ~HUDGIZMO_HIDDEN;
}
static void read_xalign(hudgizmo* g, const char* v) { set_align(g, v, HUDGIZMO_ALIGN_LEFT, HUDGIZMO_ALIGN_RIGHT); }
static void read_yalign(hudgizmo* g, const char* v) { set_align(g, v, HUDGIZMO_ALIGN_TOP, HUDGIZMO_ALIGN_BOTTOM); }
static void read_part_group(hudgizmo* g, const char* v) { g->part_group = text_of(v); }
static void read_part_name(hudgizmo* g, const char* v) { g->part_name = text_of(v); }
static void read_label(hudgizmo* g, const char* v) { g->name = name_of(v); }
static void read_gfx(hudgizmo* g, const char*) { set_kind(g, HUDGIZMO_DATA_GFX, &hudgizmo_kind_gfx); }
static void read_button(hudgizmo* g, const char* v)
{
    g->name = name_of(v);
    set_kind(g, HUDGIZMO_DATA_BUTTON, &hudgizmo_kind_button);
}
static void read_handle(hudgizmo* g, const char* v)
{
    g->name = name_of(v);
    set_kind(g, HUDGIZMO_DATA_HANDLE, &hudgizmo_kind_handle);
}
static void read_handle_x(hudgizmo* g, const char* v)
{
    g->text = name_of(v);
    set_kind(g, HUDGIZMO_DATA_HANDLE, &hudgizmo_kind_handle);
}
static void read_handle_y(hudgizmo* g, const char* v)
{
    g->handle_y_name = name_of(v);
    set_kind(g, HUDGIZMO_DATA_HANDLE, &hudgizmo_kind_handle);
}
static void read_text(hudgizmo* g, const char* v)
{
    if (g->data_kind != HUDGIZMO_DATA_TEXT) {
        become_text(g);
        g->colour = 0xffffffff;
    }
    g->text = text_of(v);
}
static void read_font(hudgizmo* g, const char* v)
{
    if (g->data_kind != HUDGIZMO_DATA_TEXT)
        become_text(g);
    if (strcasecmp(v, "outline") == 0)
        g->text_font = hud_font_outline(&HUD);
    else if (strcasecmp(v, "comic") == 0)
        g->text_font = hud_font_comic(&HUD);
}
static void read_color(hudgizmo* g, const char* v) { g->colour = (uint32_t)strtoul(v, nullptr, 16); }
static void read_lua(hudgizmo* g, const char* v) { g->lua = str_pool_add(&HUD.script_pool, v); }
static void read_target(hudgizmo* g, const char* v) { g->target_name = name_of(v); }
static void read_group(hudgizmo* g, const char* v) { g->group_name = name_of(v); }
// Limits and spans are kept as given; the grid holds the counts they lead to (hud_tree.cpp).
static void read_limit_wide(hudgizmo* g, const char* v) { g->limit_wide = atoi(v); }
static void read_limit_high(hudgizmo* g, const char* v) { g->limit_high = atoi(v); }
static void read_span_width(hudgizmo* g, const char* v) { g->span_width = atoi(v); }
static void read_span_height(hudgizmo* g, const char* v) { g->span_height = atoi(v); }
static void read_min_width(hudgizmo* g, const char* v) { g->min_width = (float)atoi(v); }
static void read_min_height(hudgizmo* g, const char* v) { g->min_height = (float)atoi(v); }
static void read_max_width(hudgizmo* g, const char* v) { g->max_width = (float)atoi(v); }
static void read_max_height(hudgizmo* g, const char* v) { g->max_height = (float)atoi(v); }
static void read_style(hudgizmo* g, const char* v)
{
    static const char* const styles[] = {"normal", "nofill", "invisible", "cartoon"};
    for (int32_t i = 0; i < 4; i++)
        if (strcasecmp(v, styles[i]) == 0)
            g->style = i;
}

// selected takes a boolean as well as text.
static void read_selected(lua_State* L, hudgizmo* g)
{
    lua_getfield(L, -1, "selected");
    bool set = false, known = true;
    if (lua_isboolean(L, -1))
        set = lua_toboolean(L, -1) != 0;
    else if (lua_isstring(L, -1))
        set = atoi(lua_tostring(L, -1)) == 1;
    else
        known = false;
    lua_pop(L, 1);
    if (known)
        g->flags = set ? (g->flags | HUDGIZMO_SELECTED) : (g->flags & ~HUDGIZMO_SELECTED);
}

// An absent alignment key stretches.
static void read_align_key(lua_State* L, hudgizmo* g, const char* key, uint32_t both,
                           void (*read)(hudgizmo*, const char*))
{
    lua_getfield(L, -1, key);
    bool absent = lua_isnil(L, -1);
    lua_pop(L, 1);
    if (absent)
        g->flags |= both;
    else
        read_key(L, g, key, read);
}

static void read_children(lua_State* L, hudgizmo* g)
{
    for (int i = 1;; i++) {
        lua_rawgeti(L, -1, i);
        if (!lua_istable(L, -1)) {
            lua_pop(L, 1);
            return;
        }
        hudgizmo* c = hud_gizmo_alloc(&HUD);
        if (!c)
            luaL_error(L, "failed to allocate HUD gizmo");
        list_unlink(&c->link);
        list_append(&g->children, &c->link);
        c->root = g->root;
        c->parent = g;
        hudgizmo_read_table(L, c);
        lua_pop(L, 1);
    }
}

void hudgizmo_read_table(lua_State* L, hudgizmo* g)
{
    if (!lua_checkstack(L, 5))
        luaL_error(L, "Failed to grow stack, hud table is too deep");
    read_key(L, g, "aspect", read_aspect);
    read_key(L, g, "hide", read_hide);
    read_selected(L, g);
    read_align_key(L, g, "xalign", HUDGIZMO_STRETCH_X, read_xalign);
    read_align_key(L, g, "yalign", HUDGIZMO_STRETCH_Y, read_yalign);
    read_key(L, g, "part_group", read_part_group);
    read_key(L, g, "part_name", read_part_name);
    read_key(L, g, "label", read_label);
    read_key(L, g, "gfx", read_gfx);
    read_key(L, g, "button", read_button);
    read_key(L, g, "toggle", read_button);
    read_key(L, g, "handle", read_handle);
    read_key(L, g, "handle_x", read_handle_x);
    read_key(L, g, "handle_y", read_handle_y);
    read_key(L, g, "text", read_text);
    read_key(L, g, "font", read_font);
    read_key(L, g, "color", read_color);
    read_key(L, g, "lua", read_lua);
    read_key(L, g, "target", read_target);
    read_key(L, g, "group", read_group);
    read_key(L, g, "limit_wide", read_limit_wide);
    read_key(L, g, "limit_high", read_limit_high);
    read_key(L, g, "min_width", read_min_width);
    read_key(L, g, "min_height", read_min_height);
    read_key(L, g, "max_width", read_max_width);
    read_key(L, g, "max_height", read_max_height);
    read_key(L, g, "span_width", read_span_width);
    read_key(L, g, "span_height", read_span_height);
    read_key(L, g, "style", read_style);
    read_children(L, g);
}

// ---- Placing ------------------------------------------------------------------------------

void hudgizmo_place(hudgizmo* old_gizmo, hudgizmo* new_gizmo, const char* mode)
{
    if (!new_gizmo || !mode || list_empty(&new_gizmo->children))
        return;
    hudgizmo* c = (hudgizmo*)list_first(&new_gizmo->children);
    if (strcasecmp(mode, "center") == 0) {
        hudgizmo_measure(c);
        c->x = (HUD.window_width - c->measured_width) * 0.5f;
        c->y = (HUD.window_height - c->measured_height) * 0.5f;
    } else if (strcasecmp(mode, "pointer") == 0) {
        c->x = HUD.pointer.x;
        c->y = HUD.pointer.y;
    } else if (strcasecmp(mode, "pointer_center") == 0) {
        c->x = HUD.pointer.x - c->measured_width * 0.5f;
        c->y = HUD.pointer.y - c->measured_height * 0.5f;
    } else if (strcasecmp(mode, "old") == 0) {
        if (old_gizmo && !list_empty(&old_gizmo->children)) {
            hudgizmo* o = (hudgizmo*)list_first(&old_gizmo->children);
            c->x = o->x;
            c->y = o->y;
        }
    } else {
        return;
    }
    hudgizmo_layout(new_gizmo);
}

// ---- Functions and methods ----------------------------------------------------------------

static hudgizmo** check(lua_State* L) { return (hudgizmo**)lua_lib_check(L, 1, TYPE_NAME); }
static const char* optional_mode(lua_State* L, int idx) { return lua_isstring(L, idx) ? lua_tostring(L, idx) : nullptr; }

static int l_alloc(lua_State* L)
{
    lua_lib_new_record(L, TYPE_NAME, sizeof(hudgizmo*));
    return 1;
}

static int l_free(lua_State* L)
{
    hudgizmo** slot = check(L);
    hud_gizmo_free(&HUD, *slot);
    *slot = nullptr;
    return 0;
}

// Reads the table (argument 2) into the root (argument 1, a light userdata) and, when a
// state's menu table is current, links it: a tree built without one has no group rings,
// targets or records.
static int read_and_link(lua_State* L)
{
    hudgizmo* root = (hudgizmo*)lua_touserdata(L, 1);
    lua_settop(L, 2);
    hudgizmo_read_table(L, root);
    if (HUD.menu_table)
        hudgizmo_link(root, HUD.menu_table);
    return 0;
}

static int l_build(lua_State* L)
{
    hudgizmo** slot = check(L);
    if (!lua_istable(L, 2))
        luaL_argerror(L, 2, "not a table");
    // The new root takes the old one's place wherever the HUD shows it.
    hudgizmo* old_root = *slot;
    hudgizmo* root = hud_gizmo_alloc(&HUD);
    if (old_root) {
        hud_gizmo_replace(&HUD, old_root, root);
        hud_gizmo_free(&HUD, old_root);
        *slot = nullptr;
    }
    if (!root)
        luaL_error(L, "failed to allocate HUD gizmo");
    *slot = root;
    root->lua_slot = slot;
    root->root = root;
    // The table's metamethods, and finalizers run by the collector, may free or rebuild
    // this very tree while it is read: the hold keeps its records valid until the read
    // ends, and the protected call makes sure the hold is released.
    hud_hold(&HUD);
    lua_pushcfunction(L, read_and_link);
    lua_pushlightuserdata(L, root);
    lua_pushvalue(L, 2);
    int failed = lua_pcall(L, 2, 0, 0);
    hud_release(&HUD);
    if (failed)
        lua_error(L);
    lua_settop(L, 1);
    return 1;
}

static int l_display(lua_State* L)
{
    hudgizmo* g = *check(L);
    if (const char* mode = optional_mode(L, 2))
        hudgizmo_place(HUD.display_gizmo, g, mode);
    HUD.display_gizmo = g;
    return 0;
}

static int l_hide(lua_State* L)
{
    HUD.display_gizmo = nullptr;
    return 0;
}

static int l_mastermenu(lua_State* L)
{
    hudgizmo* g = *check(L);
    if (const char* mode = optional_mode(L, 2))
        hudgizmo_place(HUD.displayed_menu, g, mode);
    HUD.displayed_menu = g;
    HUD.master_menu = g;
    return 0;
}

// The slot: the first number among arguments 1 and 2, else 1. 0 empties the slots; numbers
// outside 1..16 change nothing.
static int l_context(lua_State* L)
{
    double number = 1.0;
    bool given = true;
    if (lua_isnumber(L, 1))
        number = lua_tonumber(L, 1);
    else if (lua_isnumber(L, 2))
        number = lua_tonumber(L, 2);
    else
        given = false;
    if (given && !(number > -1.0 && number < HUD_CONTEXTS + 1.0))
        return 0; // out of range, or not a number at all
    int32_t slot = (int32_t)number;
    if (given && slot == 0) {
        HUD.context_count = 0;
        return 0;
    }
    if (slot < 1)
        return 0;
    hudgizmo* g = *check(L);
    const char* mode = optional_mode(L, 3);
    hudgizmo_place(HUD.contexts[slot - 1], g, mode ? mode : "pointer");
    HUD.context_count = slot;
    HUD.contexts[slot - 1] = g;
    return 0;
}

static int l_pointer(lua_State* L)
{
    lua_pushnumber(L, HUD.pointer.x);
    lua_pushnumber(L, HUD.pointer.y);
    return 2;
}

// ---- Registration -------------------------------------------------------------------------

void hud_lua_setup(lua_State* L)
{
    static const luaL_Reg methods[] = {
        {"free", l_free},       {"__gc", l_free},         {"build", l_build},
        {"display", l_display}, {"mastermenu", l_mastermenu}, {"context", l_context},
        {nullptr, nullptr},
    };
    static const luaL_Reg functions[] = {
        {"alloc", l_alloc}, {"free", l_free}, {"display", l_display}, {"hide", l_hide},
        {"context", l_context}, {"pointer", l_pointer}, {nullptr, nullptr},
    };
    lua_lib_new_type(L, TYPE_NAME, methods);
    lua_lib_register(L, "hud", functions);
}
