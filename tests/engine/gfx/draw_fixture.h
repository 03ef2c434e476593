// Recording of the 2D draws that text and bubbles make on the test device: every draw call's
// primitive type, primitive count, vertices and whether stage 0 held a texture, in order.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/code/gfx/d3d_buffers.h"

struct drawn {
    uint32_t type;
    uint32_t prims;
    std::vector<d3d_vertex_2d> v;
    bool textured;
};

void draws_start();            // forget what was drawn so far
std::vector<drawn> draws_get(); // everything drawn since draws_start
int draws_binds();             // texture binds (stage 0, with or without a texture) since draws_start

// The triangles a draw covers, with the device's winding rule for strips applied, as
// signed doubled areas in screen space (y down): positive = clockwise on screen.
std::vector<float> draws_windings(const drawn& d);
