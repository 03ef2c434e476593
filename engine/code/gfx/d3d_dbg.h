// The debug console D3D_DBG: scroll-back, command line, per-frame status text and the three
// frame timers.
#pragma once

#include <cstdint>

#include "engine/code/timer.h"

struct d3d_dbg {
    uint8_t status_hidden; // set each frame from the option show_debug
    timer TOTAL;
    timer CELLS;
    timer DRAW;
};

extern d3d_dbg D3D_DBG;

void d3d_dbg_draw(d3d_dbg* dbg);
void d3d_dbg_draw_text(const char* text, float x, float y, float scale);
