// The application shell's static records, saved before a test and put back after it, for the
// tests that run frames or the whole program: those change the options, the pacing, the
// state pointers and clocks, the input, the console's timers and the subsystems' records.
#pragma once

#include <cstdint>

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
    int32_t logo_frame;
    const main_state_hooks *prev, *curr, *next;
    uint32_t clock_last, clock_now;
    int32_t mind_time, mind_step, until_tick, body_time, body_step;
    dbg_hook print_hook, warning_hook, error_hook, status_hook;
    char session[sizeof dbg_session];
    unsigned char warning_new_session, error_new_session;
};

// Copies every record above into g / back from g. Restoring is meant for records that the
// test has cleaned again (or never set up): nothing they held is released here.
void shell_globals_save(shell_globals* g);
void shell_globals_restore(const shell_globals* g);
