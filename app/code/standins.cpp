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
#include "app/code/sfx/sfx.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/lua_compat.h"

// Lua environment and options: without them there is no Lua, which ends start-up.
STANDIN con_subsystem CON;
STANDIN opts OPT;
STANDIN bool con_setup(con_subsystem* con) { return false; }
STANDIN void con_clean(con_subsystem* con) {}
STANDIN void con_update(con_subsystem* con) {}
STANDIN int compat_getgccount(lua_State* L) { return 0; }
STANDIN int compat_getgcthreshold(lua_State* L) { return 0; }

// Application object.
STANDIN app APP;
STANDIN bool app_setup(app* a) { return true; }
STANDIN void app_clean(app* a) {}
STANDIN void app_wait_frame(app* a) {}

// Input devices and control state.
STANDIN di_input_subsystem DI_INPUT;
STANDIN void di_input_update(di_input_subsystem* di) {}
STANDIN input_state INPUT;

// HUD and sound.
STANDIN hud_subsystem HUD;
STANDIN void hud_update(hud_subsystem* hud) {}
STANDIN sfx_subsystem SFX;
STANDIN void sfx_update(sfx_subsystem* sfx) {}

// Graphics root, debug console and buffer manager.
STANDIN d3d_dbg D3D_DBG;
STANDIN void d3d_dbg_draw(d3d_dbg* dbg) {}

// Main states.
STANDIN extern const main_state_hooks main_state_menu = {};
STANDIN extern const main_state_hooks main_state_structor = {};
STANDIN extern const main_state_hooks main_state_bud_test = {};
STANDIN extern const main_state_hooks main_state_amaze = {};
