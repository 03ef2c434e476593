// The amaze main state: builds terrain, camera, Lua library, items and overlay in that
// order, starts the level script, hands the timing driver's phases to the items under the
// pause rules, and draws map, items, bubbles, overlay and HUD.

#include "app/code/amaze/amaze.h"

#include <stdio.h>
#include <string.h>

#include "app/code/app.h"
#include "app/code/con.h"
#include "app/code/main_state.h"
#include "app/code/opt.h"
#include "app/code/sfx/sfx.h"
#include "engine/code/dbg.h"
#include "engine/code/gfx/bubs.h"
#include "engine/code/gfx/d3d_gfx.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/safelua.h"

amaze AMAZE;

#define CHOICE(name) {#name, name, NULL, 0, NULL, NULL, 0.0f}
menu_def amaze_menu[MENU_CHOICE_COUNT + 1] = {
    CHOICE(MENU_ChoiceBEGIN), CHOICE(MENU_ChoiceStart), CHOICE(MENU_ChoiceRetry),
    CHOICE(MENU_ChoiceNext),  CHOICE(MENU_ChoiceExit),  CHOICE(MENU_ChoiceEND),
    {NULL, 0, NULL, 0, NULL, NULL, 0.0f},
};

static void start_level(void)
{
    char text[512];
    snprintf(text, sizeof text, "%samaze/%s/levels.lua", "local/", OPT.next_level);
    con_dofile(&CON, text);
    snprintf(text, sizeof text, "amaze.levels[%d].start(amaze.levels[%d])", (int)OPT.next_number,
             (int)OPT.next_number);
    con_thread_string(&CON, text);
}

bool amaze_setup(amaze* a, gfx* root)
{
    APP.frame_period = 10;
    memset(a, 0, sizeof *a);
    HUD.menu_table = amaze_menu;
    a->gfx = root;
    a->dir_local = "local/amaze/";
    a->dir_data = "data/amaze/";
    a->view_w = root ? (float)root->screen_width : 0.0f;
    a->view_h = root ? (float)root->screen_height : 0.0f;
    if (!isomap_setup(&a->isomap, a)) {
        dbg_error("AMAZE.ISOMAP subsystem failed to initialize,\n");
        return false;
    }
    if (!amaze_view_setup(&a->view, a)) {
        dbg_error("AMAZE.VIEW subsystem failed to initialize,\n");
        return false;
    }
    if (!CON.L || !safelua_cpcall(CON.L, amaze_lua_register, a)) {
        dbg_error("AMAZE.LUA subsystem failed to initialize,\n");
        return false;
    }
    if (!amaze_items_setup(&a->items, a)) {
        dbg_error("AMAZE.ITEMS subsystem failed to initialize,\n");
        return false;
    }
    if (!amaze_overlay_setup(&a->overlay, a)) {
        dbg_error("AMAZE.OVERLAY subsystem failed to initialize,\n");
        return false;
    }
    start_level();
    return true;
}

void amaze_clean(amaze* a)
{
    HUD.display_gizmo = NULL;
    HUD.displayed_menu = NULL;
    HUD.menu_table = NULL;
    HUD.pointer.hidden = 0;
    sfx_stop(&SFX);
    sfx_stream_open(&SFX.music, NULL);
    if (a->overlay.owner)
        amaze_overlay_clean(&a->overlay);
    if (a->items.owner)
        amaze_items_clean(&a->items);
    if (a->view.owner)
        amaze_view_clean(&a->view);
    if (a->isomap.owner)
        isomap_clean(&a->isomap);
    if (CON.L)
        safelua_cpcall(CON.L, amaze_lua_remove, a);
    // The records may still name gizmos the level's scripts built.
    for (int32_t i = 0; i < MENU_CHOICE_COUNT; i++)
        amaze_menu[i].gizmo = NULL;
    a->overlay.owner = NULL;
    a->items.owner = NULL;
    a->view.owner = NULL;
    a->isomap.owner = NULL;
}

bool amaze_reset(amaze* a)
{
    gfx* root = a->gfx;
    amaze_clean(a);
    return amaze_setup(a, root);
}

// Saturates at the ends of its range: a script may set any clock.
static void advance_clock(amaze* a)
{
    int32_t* t = &a->overlay.time;
    if (a->overlay.time_init) {
        if (*t > INT32_MIN)
            (*t)--;
    } else if (*t < INT32_MAX) {
        (*t)++;
    }
}

void amaze_update(amaze* a, uint32_t phases)
{
    if (a->gfx) {
        a->view_w = (float)a->gfx->screen_width;
        a->view_h = (float)a->gfx->screen_height;
    }
    a->paused = (HUD.displayed_menu || a->pause_request) ? 1 : 0;
    HUD.pointer.hidden = a->paused ? 0 : 1;
    if (!phases)
        return;
    if (phases & UPDATE_FRAME_BEGIN)
        amaze_items_update(&a->items, UPDATE_FRAME_BEGIN);
    if (phases & UPDATE_MIND_TICK) {
        amaze_items_mind_tick(&a->items, UPDATE_MIND_TICK);
        if (!a->paused) {
            amaze_items_update(&a->items, UPDATE_MIND_TICK);
            advance_clock(a);
        }
    }
    if ((phases & UPDATE_MIND_AFTER) && !a->paused)
        amaze_items_update(&a->items, UPDATE_MIND_AFTER);
    if ((phases & UPDATE_BODY_STEP) && !a->paused)
        amaze_items_update(&a->items, UPDATE_BODY_STEP);
    if (phases & UPDATE_FRAME_END) {
        if (!a->paused)
            amaze_items_update(&a->items, UPDATE_FRAME_END);
        isomap_update(&a->isomap);
        amaze_view_update(&a->view);
        if (a->gfx) {
            a->gfx->bubs.frame_time = (float)body_step / 1000.0f;
            bubs_update(&a->gfx->bubs);
        }
        amaze_overlay_update(&a->overlay);
    }
}

static void set_world_identity(amaze* a)
{
    IDirect3DDevice8* device = a->gfx ? a->gfx->d3d_gfx.device : NULL;
    static const mat4 identity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    if (device)
        IDirect3DDevice8_SetTransform(device, D3DTS_WORLD, (const D3DMATRIX*)&identity);
}

void amaze_draw(amaze* a)
{
    amaze_view_draw(&a->view);
    set_world_identity(a);
    isomap_draw(&a->isomap);
    amaze_items_draw(&a->items);
    if (a->gfx)
        bubs_draw(&a->gfx->bubs);
    amaze_overlay_draw(&a->overlay);
    hud_draw(&HUD);
}

static bool main_state_amaze_setup(gfx* root) { return amaze_setup(&AMAZE, root); }
static bool main_state_amaze_reset(void) { return amaze_reset(&AMAZE); }
static void main_state_amaze_clean(void) { amaze_clean(&AMAZE); }
static void main_state_amaze_update(uint32_t phases) { amaze_update(&AMAZE, phases); }
static void main_state_amaze_draw(void) { amaze_draw(&AMAZE); }

extern const main_state_hooks main_state_amaze = {main_state_amaze_setup, main_state_amaze_reset,
                                                  main_state_amaze_clean, main_state_amaze_update,
                                                  main_state_amaze_draw, NULL};
