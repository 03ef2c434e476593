// The Direct3D device wrapper D3D_GFX: creates the device, frames every drawn frame, and
// runs the lose / reset / restore protocol through which the device-dependent parts (the 2D
// layer, the buffers, the console font) survive a device reset. Also D3DCHECK, the check
// around nearly every device call.
#pragma once

#include <cstdint>

#include "platform/d3d8.h"

struct d3d_gfx {
    IDirect3D8* d3d;
    IDirect3DDevice8* device;        // null before creation and after clean
    D3DDISPLAYMODE desktop_mode;
    D3DPRESENT_PARAMETERS present_params;
    uint8_t resize_flag;             // window resized: reset at the next begin scene
    uint8_t reset_flag;              // a call failed or the parts are lost: reset at the next begin scene
    D3DVIEWPORT8 viewport;           // read at every begin scene
};

bool d3d_gfx_setup(d3d_gfx* g);
void d3d_gfx_clean(d3d_gfx* g);      // safe after a failed setup and twice
bool d3d_gfx_reset(d3d_gfx* g);      // clean, then setup
bool d3d_gfx_restore(d3d_gfx* g);    // 2D layer, buffers, console font; clears both flags
void d3d_gfx_lose(d3d_gfx* g);       // console font, buffers, 2D layer; sets reset_flag
bool d3d_gfx_create_device(d3d_gfx* g);
bool d3d_gfx_reset_device(d3d_gfx* g);
// Resets the device when flagged, reads the viewport, clears, begins the scene and puts the
// engine's default states back. False: draw nothing this frame.
bool d3d_gfx_begin_scene(d3d_gfx* g);
void d3d_gfx_end_scene(d3d_gfx* g);  // end scene, present, rewind the dynamic buffers

// Logs any result but D3D_OK with the call's place; a failure flags the device in GFX for a
// reset and gives false, success with information gives true.
bool d3d_check(HRESULT result, const char* file, int line, const char* timestamp);
#define D3DCHECK(call) d3d_check((call), __FILE__, __LINE__, __TIMESTAMP__)
// The DirectX name of a result, "unknown" for codes outside the table.
const char* d3d_result_name(HRESULT result);

// The 2D layer: nothing of its own on the device, but a member of the lose/restore protocol.
struct d3d_2d {
    d3d_gfx* gfx;
};

extern d3d_2d D3D_2D;

bool d3d_2d_setup(d3d_2d* layer, d3d_gfx* g);
bool d3d_2d_reset(d3d_2d* layer);
void d3d_2d_clean(d3d_2d* layer);
void d3d_2d_lose(d3d_2d* layer);
bool d3d_2d_restore(d3d_2d* layer);
bool d3d_2d_relose(d3d_2d* layer);
