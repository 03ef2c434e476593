// Program entry and frame loop: starts the Lua environment and the application, enters the
// menu state, runs frames until the window's quit message, and shuts down in a fixed order.

#include "app/code/entry.h"

#include "app/code/app.h"
#include "app/code/con.h"
#include "app/code/di_input.h"
#include "app/code/hud/hud.h"
#include "app/code/input.h"
#include "app/code/opt.h"
#include "app/code/sfx/sfx.h"
#include "engine/code/dbg.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/lua_compat.h"
#include "engine/code/mem.h"
#include "engine/code/timer.h"
#include "platform/plat_msg.h"

static const uint32_t STATE_TICK_MS = 100;

int dorvale_main(void)
{
    plat_msg_setup();
    dbg_set_session("Dorvale20050819v2");
    if (!con_setup(&CON)) {
        dbg_error("CON(fig)(sole) subsystem failed to initialize,\n");
        con_clean(&CON);
        plat_msg_clean();
        return MAIN_EXIT_LUA;
    }
    // Before the application starts, so a state requested by the start-up scripts through
    // next_state is overridden by start_state.
    set_next_main_state(OPT.start_state);
    if (!app_setup(&APP)) {
        // app_setup has logged its failure and cleaned the subsystems it started.
        con_clean(&CON);
        plat_msg_clean();
        return MAIN_EXIT_FAILED;
    }
    int code = main_loop_run(&main_state_menu);
    app_clean(&APP);
    con_clean(&CON);
    plat_msg_clean();
    return code;
}

static void log_state_failure(void) { dbg_error("main_state subsystem hook failed to initialize,\n"); }

int main_loop_run(const main_state_hooks* first)
{
    bool failed = false;
    main_state_curr = first;
    if (first && first->setup && !first->setup(&GFX)) {
        log_state_failure();
        failed = true;
    } else {
        bool quit = false;
        while (!quit) {
            if (!main_loop_frame(&quit)) {
                failed = true;
                break;
            }
        }
    }
    // The current state is cleaned also when its own setup failed.
    if (main_state_curr && main_state_curr->clean)
        main_state_curr->clean();
    main_state_prev = main_state_curr = main_state_next = nullptr;
    return failed ? MAIN_EXIT_FAILED : MAIN_EXIT_OK;
}

bool main_loop_switch(void)
{
    if (!main_state_next)
        return true;
    main_state_prev = main_state_curr;
    main_state_curr = main_state_next;
    main_state_next = nullptr;
    if (main_state_prev && main_state_prev->clean)
        main_state_prev->clean();
    if (main_state_curr->setup && !main_state_curr->setup(&GFX)) {
        log_state_failure();
        return false;
    }
    reset_state_clocks(STATE_TICK_MS);
    return true;
}

void main_loop_status(void)
{
    int avg = D3D_DBG.TOTAL.published_average;
    int fps = avg > 0 ? 1000 / avg : 0;
    if (fps > 999)
        fps = 999;
    // After a failed reload the Lua state is gone: show 0 rather than touch it.
    int gc = CON.L ? compat_getgccount(CON.L) : 0;
    int gct = CON.L ? compat_getgcthreshold(CON.L) : 0;
    dbg_status("FPS=%3d TOTAL=%3d CELLS=%3d DRAW=%3d GC=%dk GCT=%dk\n", fps, D3D_DBG.TOTAL.last,
               D3D_DBG.CELLS.last, D3D_DBG.DRAW.last, gc, gct);
    dbg_status("dynavtxs=%3d vtxs=%3d idxs=%3d txts=%3d mem=%d\n", D3D_BUFFERS.dynavtx_count,
               D3D_BUFFERS.vtx_count, D3D_BUFFERS.idx_count, D3D_BUFFERS.txt_count, (int)mem.bytes);
    dbg_status("avatars=%3d souls=%3d xsxs=%3d xoxs=%3d\n", GFX.avatars.avatar_count,
               GFX.avatars.soul_count, GFX.xsxs.count, GFX.xoxs.count);
}

static void clear_edges(input_button* b)
{
    b->pressed = 0;
    b->released = 0;
}

static void clear_player_edges(input_player* p)
{
    clear_edges(&p->left);
    clear_edges(&p->right);
    clear_edges(&p->up);
    clear_edges(&p->down);
    clear_edges(&p->in);
    clear_edges(&p->out);
}

void main_loop_clear_input(input_state* input)
{
    for (input_player& p : input->players)
        clear_player_edges(&p);
    clear_edges(&input->grab);
    clear_edges(&input->click);
    clear_edges(&input->menu);
}

bool main_loop_pump(void)
{
    bool quit = false;
    MSG m;
    // The whole queue is emptied, also past the quit message.
    while (PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE)) {
        if (!GetMessageA(&m, nullptr, 0, 0))
            quit = true;
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return quit;
}

bool main_loop_frame(bool* quit)
{
    D3D_DBG.status_hidden = OPT.show_debug ? 0 : 1;
    if (!main_loop_switch())
        return false;
    timer_stop(&D3D_DBG.TOTAL);
    main_loop_status();
    app_wait_frame(&APP);
    // TOTAL covers the frame's work up to the next frame's status lines, not the wait.
    timer_start(&D3D_DBG.TOTAL);

    main_loop_clear_input(&INPUT);
    di_input_update(&DI_INPUT);
    hud_update(&HUD);
    con_update(&CON);
    if (main_state_curr && main_state_curr->update)
        run_state_update();

    timer_start(&D3D_DBG.DRAW);
    if (gfx_begin_scene(&GFX)) {
        if (main_state_curr && main_state_curr->draw)
            main_state_curr->draw();
        d3d_dbg_draw(&D3D_DBG);
        gfx_end_scene(&GFX);
    }
    timer_stop(&D3D_DBG.DRAW);

    sfx_update(&SFX);
    if (main_loop_pump())
        *quit = true;
    return true;
}
