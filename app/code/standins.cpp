// Weak stand-ins for subsystem entry points that are not built yet. A module's real
// (strong) definition replaces its stand-in at link time; delete the stand-in with it.

#define STANDIN __attribute__((weak))

// ---- Lua libraries not built yet: an empty global table under the library's name, and the
// library's script where it has one, so the installation's scripts run at their steps.
#include <stdint.h>

#include "app/code/con.h"
#include "engine/code/lua_lib.h"

static void standin_library(lua_State* L, const char* name, bool has_script)
{
    lua_lib_register(L, name, NULL);
    if (has_script)
        lua_lib_run_script(L, name);
}

STANDIN void zel_lua_setup(lua_State* L) { standin_library(L, "zel", true); }
STANDIN void tdata_lua_setup(lua_State* L) { standin_library(L, "tdata", true); }
STANDIN void input_lua_setup(lua_State* L) { standin_library(L, "input", true); }
STANDIN void journal_lua_setup(lua_State* L) { standin_library(L, "journal", true); }
STANDIN void profile_lua_setup(lua_State* L) { standin_library(L, "profile", true); }
STANDIN void xtra_lua_register(lua_State* L) { standin_library(L, "xtra", false); }
STANDIN void hud_lua_setup(lua_State* L) { standin_library(L, "hud", false); }
STANDIN void devil_lua_setup(lua_State* L) { standin_library(L, "devil", false); }
STANDIN void mmap_lua_setup(lua_State* L) { standin_library(L, "mmap", false); }
STANDIN void hmap_lua_setup(lua_State* L) { standin_library(L, "hmap", false); }
STANDIN void soul_lua_setup(lua_State* L) { standin_library(L, "soul", true); }
STANDIN void xlate_lua_setup(lua_State* L) { standin_library(L, "xlate", true); }

// Main states: requests the state a choice value names.
STANDIN void set_next_main_state(int32_t value) {}
