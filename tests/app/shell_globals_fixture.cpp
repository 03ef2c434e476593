// Saving and restoring the application shell's static records around a test.

#include "tests/app/shell_globals_fixture.h"

#include <cstdint>
#include <cstring>
#include <vector>

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
#include "platform/plat_msg.h"
#include "tests/harness/staged_fixture.h"

// Every record saved and put back, as its address and size. The records are plain data:
// byte copies keep the pointers that INPUT holds into itself.
struct shell_record {
    void* at;
    size_t size;
};
#define SHELL_RECORD(x) {(void*)&(x), sizeof(x)}
static const shell_record shell_records[] = {
    SHELL_RECORD(OPT), SHELL_RECORD(APP), SHELL_RECORD(CON), SHELL_RECORD(INPUT), SHELL_RECORD(input_events),
    SHELL_RECORD(D3D_DBG), SHELL_RECORD(D3D_BUFFERS), SHELL_RECORD(GFX), SHELL_RECORD(HUD), SHELL_RECORD(SFX),
    SHELL_RECORD(JOURNALS), SHELL_RECORD(mem), SHELL_RECORD(MENU), SHELL_RECORD(menu_table),
    SHELL_RECORD(menu_logo_zoom), SHELL_RECORD(hudgizmo_cartoon_clock), SHELL_RECORD(menu_logo_frame),
    SHELL_RECORD(main_state_prev), SHELL_RECORD(main_state_curr), SHELL_RECORD(main_state_next),
    SHELL_RECORD(state_clock_last), SHELL_RECORD(state_clock_now), SHELL_RECORD(mind_time),
    SHELL_RECORD(mind_step), SHELL_RECORD(until_tick), SHELL_RECORD(body_time), SHELL_RECORD(body_step),
    SHELL_RECORD(dbg_print_hook), SHELL_RECORD(dbg_warning_hook), SHELL_RECORD(dbg_error_hook),
    SHELL_RECORD(dbg_status_hook), SHELL_RECORD(dbg_session), SHELL_RECORD(dbg_warning_new_session),
    SHELL_RECORD(dbg_error_new_session),
};

struct shell_globals {
    std::vector<unsigned char> bytes; // the records above, one after another
};

shell_globals* shell_globals_save(void)
{
    shell_globals* g = new shell_globals;
    for (const shell_record& r : shell_records) {
        const unsigned char* from = (const unsigned char*)r.at;
        g->bytes.insert(g->bytes.end(), from, from + r.size);
    }
    return g;
}

void shell_globals_restore(shell_globals* g)
{
    if (!g)
        return;
    size_t at = 0;
    for (const shell_record& r : shell_records) {
        memcpy(r.at, g->bytes.data() + at, r.size);
        at += r.size;
    }
    delete g;
}

void ShellProgramRun::SetUp()
{
    saved = shell_globals_save();
    ASSERT_TRUE(staged_fixture_stage());
}

void ShellProgramRun::TearDown()
{
    plat_set_msg_source(nullptr);
    shell_globals_restore(saved);
    saved = nullptr;
}
