// The structor main state: its hooks, the order in which its parts are set up and cleaned,
// and the frame schedule: requests from Lua, the cell step, the items' sub-steps, and in
// edit mode the picking of items under the pointer with the mouse reports to the script.

#include "app/code/structor/structor.h"

#include <stdio.h>
#include <string.h>

#include "app/code/app.h"
#include "app/code/con.h"
#include "app/code/input.h"
#include "app/code/main_state.h"
#include "app/code/opt.h"
#include "engine/code/dbg.h"
#include "engine/code/gfx/cmps.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/txts.h"
#include "engine/code/safelua.h"
#include "engine/code/timer.h"

structor_state structor_state_main;

#define STRUCTOR_RECORD(name) {#name, name, NULL, 0, NULL, NULL, 0.0f}
menu_def structor_menu[STRUCTOR_MENU_RECORDS + 1] = {
    STRUCTOR_RECORD(MENU_SelectBEGIN), STRUCTOR_RECORD(MENU_SelectRun),  STRUCTOR_RECORD(MENU_SelectEND),
    STRUCTOR_RECORD(MENU_LayoutBEGIN), STRUCTOR_RECORD(MENU_LayoutRun),  STRUCTOR_RECORD(MENU_LayoutEND),
    STRUCTOR_RECORD(MENU_ModeBEGIN),   STRUCTOR_RECORD(MENU_ModeEdit),   STRUCTOR_RECORD(MENU_ModeRun),
    STRUCTOR_RECORD(MENU_ModeStop),    STRUCTOR_RECORD(MENU_ModeReset),  STRUCTOR_RECORD(MENU_ModeEND),
    {NULL, 0, NULL, 0, NULL, NULL, 0.0f},
};

// The engine libraries' removal as protected bodies.
static int txts_lua_clean_body(lua_State* L)
{
    txts_lua_clean(L);
    return 0;
}

static int cmps_lua_clean_body(lua_State* L)
{
    cmps_lua_clean(L);
    return 0;
}

bool structor_setup(structor_state* s, gfx* root)
{
    APP.frame_period = 33;
    s->gfx = root;
    s->dir_local = "local/structor/";
    s->dir_data = "data/structor/";
    s->width = 1024.0f;
    s->height = 512.0f;
    s->picked = 0;

    if (!structor_view_setup(&s->view, s)) {
        dbg_error("STRUCTOR.VIEW subsystem failed to initialize,\n");
        return false;
    }
    if (!structor_cells_setup(&s->cells, &s->view, (int32_t)s->width / 4, (int32_t)s->height / 4, 4.0f)) {
        dbg_error("STRUCTOR.CELLS subsystem failed to initialize,\n");
        return false;
    }
    if (!structor_items_setup(&s->items, s)) {
        dbg_error("STRUCTOR.ITEMS subsystem failed to initialize,\n");
        return false;
    }
    if (!structor_journal_setup(&s->journal, s)) {
        dbg_error("STRUCTOR.JOURNAL subsystem failed to initialize,\n");
        return false;
    }
    if (!CON.L || !safelua_cpcall(CON.L, txts_lua_setup, root)) {
        dbg_error("TXTS.LUA subsystem failed to initialize,\n");
        return false;
    }
    if (!safelua_cpcall(CON.L, cmps_lua_setup, root)) {
        dbg_error("CMPS.LUA subsystem failed to initialize,\n");
        return false;
    }
    if (!safelua_cpcall(CON.L, structor_lua_setup, s)) {
        dbg_error("STRUCTOR.LUA subsystem failed to initialize,\n");
        return false;
    }

    // A failing level script or start call is reported by the Lua layer; the state runs on.
    char text[600];
    snprintf(text, sizeof text, "%sstructor/%s/levels.lua", "local/", OPT.next_level);
    con_dofile(&CON, text);
    snprintf(text, sizeof text, "structor.levels[%d].start(structor.levels[%d])", (int)OPT.next_number,
             (int)OPT.next_number);
    con_thread_string(&CON, text);

    structor_cells_border(&s->cells);
    structor_cells_reset(&s->cells);
    return true;
}

void structor_clean(structor_state* s)
{
    HUD.display_gizmo = NULL;
    HUD.displayed_menu = NULL;
    if (CON.L) {
        safelua_cpcall(CON.L, structor_lua_clean, s);
        safelua_cpcall(CON.L, cmps_lua_clean_body, NULL);
        safelua_cpcall(CON.L, txts_lua_clean_body, NULL);
    }
    structor_items_clean(&s->items);
    view_clean(&s->view.view);
    structor_cells_clean(&s->cells);
}

bool structor_reset(structor_state* s)
{
    gfx* root = s->gfx;
    structor_clean(s);
    return root && structor_setup(s, root);
}

static void report(const char* what)
{
    char text[80];
    snprintf(text, sizeof text, "structor.menu_action('%s')", what);
    con_dostring(&CON, text);
}

// In edit mode: hover and selection under the pointer, and the mouse edges reported to Lua.
static void pick(structor_state* s)
{
    structor_item* candidate = NULL;
    structor_item* first_hit = NULL;
    bool after_selected = false;
    const vec3* p = &s->view.pointer;
    for (list_node* n = list_first(&s->items.records.live); n && n->next; n = n->next) {
        structor_item* it = (structor_item*)n;
        it->flags &= ~STRUCTOR_ITEM_HOVERED;
    }
    for (list_node* n = list_first(&s->items.records.live); n && n->next; n = n->next) {
        structor_item* it = (structor_item*)n;
        structor_rect r;
        structor_item_rect(it, &r);
        if (p->x < r.x || p->x > r.x + r.w || p->y < r.y || p->y > r.y + r.h)
            continue;
        if (after_selected) {
            candidate = it;
            break;
        }
        if (!first_hit)
            first_hit = it;
        if (it->flags & STRUCTOR_ITEM_SELECTED)
            after_selected = true;
    }
    if (!candidate)
        candidate = first_hit;

    if (!INPUT.click.held && !INPUT.menu.held && candidate)
        candidate->flags |= STRUCTOR_ITEM_HOVERED;
    if (INPUT.click.pressed || INPUT.menu.pressed) {
        if (candidate) {
            for (list_node* n = list_first(&s->items.records.live); n && n->next; n = n->next)
                ((structor_item*)n)->flags &= ~(STRUCTOR_ITEM_HOVERED | STRUCTOR_ITEM_SELECTED);
            candidate->flags |= STRUCTOR_ITEM_SELECTED;
            s->picked = 1;
        } else {
            s->picked = 0;
        }
        if (INPUT.menu.pressed)
            report("mouse_menu_on");
    }
    if (INPUT.menu.released)
        report("mouse_menu_off");
    if (s->picked) {
        if (INPUT.click.pressed)
            report("mouse_click_on");
        if (INPUT.click.held)
            report("mouse_click_state");
        if (INPUT.click.released) {
            report("mouse_click_off");
            s->picked = 0;
        }
    }
}

void structor_update(structor_state* s, uint32_t phase)
{
    if (phase != UPDATE_FRAME_END)
        return;
    s->paused = HUD.displayed_menu ? 1 : s->pause_request;
    HUD.pointer.hidden = 0;
    s->edit_mode = s->edit_request != 0;

    if (s->reset_request) {
        structor_cells_reset(&s->cells);
        structor_items_reset_all(&s->items);
        s->reset_request = 0;
    }
    if (s->rebuildcells_request) {
        structor_cells_clear(&s->cells);
        for (list_node* n = list_first(&s->items.records.live); n && n->next; n = n->next)
            structor_item_setcells((structor_item*)n);
        structor_cells_border(&s->cells);
        structor_cells_reset(&s->cells);
        s->rebuildcells_request = 0;
    }

    structor_view_update(&s->view);

    if (!s->paused) {
        timer_start(&D3D_DBG.CELLS);
        structor_cells_step(&s->cells);
        timer_stop(&D3D_DBG.CELLS);
        static const uint32_t phases[] = {0x11, 0x20, 0x100, 0x20, 0x100, 0x80000000u};
        for (uint32_t ph : phases)
            structor_items_phase(&s->items, ph);
    }

    if (s->edit_mode)
        pick(s);
}

void structor_draw(structor_state* s)
{
    structor_view_draw(&s->view);
    structor_items_draw(&s->items);
    hud_draw(&HUD);
}

static bool main_state_structor_setup(gfx* root) { return structor_setup(&structor_state_main, root); }
static bool main_state_structor_reset(void) { return structor_reset(&structor_state_main); }
static void main_state_structor_clean(void) { structor_clean(&structor_state_main); }
static void main_state_structor_update(uint32_t phase) { structor_update(&structor_state_main, phase); }
static void main_state_structor_draw(void) { structor_draw(&structor_state_main); }

extern const main_state_hooks main_state_structor = {main_state_structor_setup, main_state_structor_reset,
                                                     main_state_structor_clean, main_state_structor_update,
                                                     main_state_structor_draw, NULL};
