// Weak stand-ins for the graphics modules the root sets up that are not built yet (textures,
// cut maps). Each real (strong) definition replaces its stand-in at link time; delete the
// stand-in with it.

#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/gfx.h"
#include "platform/win_types.h"

#define STANDIN __attribute__((weak))

struct d3d_gfx;

STANDIN bool txts_setup(txts_pool* p, gfx* root) { return true; }
STANDIN void txts_clean(txts_pool* p) {}
STANDIN bool cmps_setup(cmps_pool* p, gfx* root) { return true; }
STANDIN void cmps_clean(cmps_pool* p) {}
