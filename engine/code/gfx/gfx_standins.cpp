// Weak stand-ins for the graphics modules the root sets up but other modules build (meshes,
// animations, avatars, fonts, bubbles, the console), and for the window
// layer's foreground window. Each real (strong) definition replaces its stand-in at
// link time; delete the stand-in with it.

#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/gfx.h"
#include "platform/win_types.h"

#define STANDIN __attribute__((weak))

struct d3d_gfx;

STANDIN HWND GetForegroundWindow(void) { return nullptr; }
