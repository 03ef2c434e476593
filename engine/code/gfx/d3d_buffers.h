// The buffer manager D3D_BUFFERS: dynamic and static vertex buffers, index buffers and
// textures, each kind with its live count.
#pragma once

#include <cstdint>

struct d3d_buffers {
    int32_t dynavtx_count;
    int32_t vtx_count;
    int32_t idx_count;
    int32_t txt_count;
};

extern d3d_buffers D3D_BUFFERS;
