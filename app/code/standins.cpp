// Weak stand-ins for subsystem entry points that are not built yet. A module's real
// (strong) definition replaces its stand-in at link time; delete the stand-in with it.

#define STANDIN __attribute__((weak))

#include <stdio.h>

#include "app/code/amaze/amaze.h"
#include "app/code/app.h"
#include "app/code/con.h"
#include "app/code/di_input.h"
#include "app/code/hud/hud.h"
#include "app/code/input.h"
#include "app/code/journal.h"
#include "app/code/main_state.h"
#include "app/code/opt.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/lua_lib.h"

// Journals.
STANDIN journals_subsystem JOURNALS;
STANDIN bool journals_setup(journals_subsystem* j) { return true; }
STANDIN void journals_clean(journals_subsystem* j) {}

// Main states: a setup that fails, so asking for a state not built yet ends the run with the
// frame loop's hook-failure message rather than leaving the user on a blank screen.
static bool standin_state_setup(gfx* root) { return false; }
STANDIN extern const main_state_hooks main_state_structor = {standin_state_setup, NULL, NULL, NULL, NULL, NULL};

// Lua libraries not built yet: an empty global table under the library's name, and the
// library's script where it has one, so the installation's scripts run at their steps.
static void standin_library(lua_State* L, const char* name, bool has_script)
{
    lua_lib_register(L, name, NULL);
    if (has_script)
        lua_lib_run_script(L, name);
}

STANDIN void journal_lua_setup(lua_State* L) { standin_library(L, "journal", true); }

// The maze's terrain, camera and overlay: an empty map and nothing drawn.
STANDIN bool isomap_setup(isomap* m, amaze* owner) { m->owner = owner; return true; }
STANDIN void isomap_clean(isomap* m) {}
STANDIN bool isomap_load(isomap* m, const char* path) { return false; }
STANDIN bool isomap_from_hmap(isomap* m, const hmap* h) { return false; }
STANDIN void isomap_update(isomap* m) {}
STANDIN void isomap_draw(isomap* m) {}
STANDIN float isomap_height(const isomap* m, float mx, float my) { return 0.0f; }
STANDIN void isomap_cell_slope(const isomap* m, int32_t x, int32_t y, float* gx, float* gy) { *gx = *gy = 0.0f; }
STANDIN void isomap_world_to_map(const isomap* m, float* x, float* z)
{
    *x += (m->cells_x - 1) * 0.5f;
    *z = (m->cells_y - 1) * 0.5f - *z;
}
STANDIN void isomap_map_to_world(const isomap* m, float* x, float* z)
{
    *x -= (m->cells_x - 1) * 0.5f;
    *z = (m->cells_y - 1) * 0.5f - *z;
}
STANDIN bool amaze_view_setup(amaze_view* v, amaze* owner) { v->owner = owner; return true; }
STANDIN void amaze_view_clean(amaze_view* v) {}
STANDIN void amaze_view_update(amaze_view* v) {}
STANDIN void amaze_view_draw(amaze_view* v) {}
STANDIN bool amaze_overlay_setup(amaze_overlay* o, amaze* owner) { o->owner = owner; return true; }
STANDIN void amaze_overlay_clean(amaze_overlay* o) {}
STANDIN void amaze_overlay_update(amaze_overlay* o) {}
STANDIN void amaze_overlay_draw(amaze_overlay* o) {}
STANDIN void amaze_overlay_swish(amaze_overlay* o, const vec3* at) {}
STANDIN void amaze_overlay_time_str(char* out, int32_t size, int32_t c)
{
    c -= 2;
    snprintf(out, (size_t)size, "%d:%02d.%d", c / 600, (c % 600) / 10, c % 10);
}
