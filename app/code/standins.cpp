// Weak stand-ins for subsystem entry points that are not built yet. A module's real
// (strong) definition replaces its stand-in at link time; delete the stand-in with it.

#define STANDIN __attribute__((weak))

#include "app/code/app.h"
#include "app/code/con.h"
#include "app/code/di_input.h"
#include "app/code/hud/hud.h"
#include "app/code/input.h"
#include "app/code/main_state.h"
#include "app/code/opt.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/gfx.h"

// Main states: a setup that fails, so asking for a state not built yet ends the run with the
// frame loop's hook-failure message rather than leaving the user on a blank screen.
static bool standin_state_setup(gfx* root) { return false; }
STANDIN extern const main_state_hooks main_state_amaze = {standin_state_setup, NULL, NULL, NULL, NULL, NULL};
