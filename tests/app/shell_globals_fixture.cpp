// Saving and restoring the application shell's static records around a test.

#include "tests/app/shell_globals_fixture.h"

#include <cstdint>
#include <cstring>

#include "app/code/app.h"
#include "app/code/con.h"
#include "app/code/di_input.h"
#include "app/code/hud/hud.h"
#include "app/code/input.h"
#include "app/code/journal.h"
#include "app/code/main_state.h"
#include "app/code/menu.h"
#include "app/code/opt.h"
#include "app/code/sfx/sfx.h"
#include "engine/code/dbg.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/mem.h"

struct shell_globals {
    opts opt;
    app app_rec;
    con_subsystem con;
    input_state input;
    input_event_list events;
    d3d_dbg console;
    d3d_buffers buffers;
    gfx root;
    hud_subsystem hud;
    sfx_subsystem sfx;
    journals_subsystem journals;
    mem_heap heap;
    menu_state menu;
    menu_def menu_records[MENU_RECORDS + 1];
    float logo_zoom;
    float cartoon_clock;
    int32_t logo_frame;
    const main_state_hooks *prev, *curr, *next;
    uint32_t clock_last, clock_now;
    int32_t mind_time, mind_step, until_tick, body_time, body_step;
    dbg_hook print_hook, warning_hook, error_hook, status_hook;
    char session[sizeof dbg_session];
    unsigned char warning_new_session, error_new_session;
};

// The records are plain data; byte copies keep the pointers that INPUT holds into itself.
template <typename T> static void copy(T* to, const T* from) { memcpy((void*)to, (const void*)from, sizeof(T)); }

shell_globals* shell_globals_save(void)
{
    shell_globals* g = new shell_globals;
    copy(&g->opt, &OPT);
    copy(&g->app_rec, &APP);
    copy(&g->con, &CON);
    copy(&g->input, &INPUT);
    copy(&g->events, &input_events);
    copy(&g->console, &D3D_DBG);
    copy(&g->buffers, &D3D_BUFFERS);
    copy(&g->root, &GFX);
    copy(&g->hud, &HUD);
    copy(&g->sfx, &SFX);
    copy(&g->journals, &JOURNALS);
    copy(&g->heap, &mem);
    copy(&g->menu, &MENU);
    memcpy(g->menu_records, menu_table, sizeof menu_table);
    g->logo_zoom = menu_logo_zoom;
    g->cartoon_clock = hudgizmo_cartoon_clock;
    g->logo_frame = menu_logo_frame;
    g->prev = main_state_prev;
    g->curr = main_state_curr;
    g->next = main_state_next;
    g->clock_last = state_clock_last;
    g->clock_now = state_clock_now;
    g->mind_time = mind_time;
    g->mind_step = mind_step;
    g->until_tick = until_tick;
    g->body_time = body_time;
    g->body_step = body_step;
    g->print_hook = dbg_print_hook;
    g->warning_hook = dbg_warning_hook;
    g->error_hook = dbg_error_hook;
    g->status_hook = dbg_status_hook;
    memcpy(g->session, dbg_session, sizeof dbg_session);
    g->warning_new_session = dbg_warning_new_session;
    g->error_new_session = dbg_error_new_session;
    return g;
}

void shell_globals_restore(shell_globals* g)
{
    if (!g)
        return;
    copy(&OPT, &g->opt);
    copy(&APP, &g->app_rec);
    copy(&CON, &g->con);
    copy(&INPUT, &g->input);
    copy(&input_events, &g->events);
    copy(&D3D_DBG, &g->console);
    copy(&D3D_BUFFERS, &g->buffers);
    copy(&GFX, &g->root);
    copy(&HUD, &g->hud);
    copy(&SFX, &g->sfx);
    copy(&JOURNALS, &g->journals);
    copy(&mem, &g->heap);
    copy(&MENU, &g->menu);
    memcpy(menu_table, g->menu_records, sizeof menu_table);
    menu_logo_zoom = g->logo_zoom;
    hudgizmo_cartoon_clock = g->cartoon_clock;
    menu_logo_frame = g->logo_frame;
    main_state_prev = g->prev;
    main_state_curr = g->curr;
    main_state_next = g->next;
    state_clock_last = g->clock_last;
    state_clock_now = g->clock_now;
    mind_time = g->mind_time;
    mind_step = g->mind_step;
    until_tick = g->until_tick;
    body_time = g->body_time;
    body_step = g->body_step;
    dbg_print_hook = g->print_hook;
    dbg_warning_hook = g->warning_hook;
    dbg_error_hook = g->error_hook;
    dbg_status_hook = g->status_hook;
    memcpy(dbg_session, g->session, sizeof dbg_session);
    dbg_warning_new_session = g->warning_new_session;
    dbg_error_new_session = g->error_new_session;
    delete g;
}
