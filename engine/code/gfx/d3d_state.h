// Render state and draw calls: the engine's default device state, put back at every begin
// scene and before every 3D view; the few setters the drawing code uses (on a device, or on
// the root GFX); the indexed draws of meshes and maps; and the 2D line and shaded rectangle.
#pragma once

#include <cstdint>

#include "platform/d3d8.h"

struct gfx;

// The material that drawing code passes: three ARGB words and a gloss (0..1).
struct gfx_material {
    uint32_t diffuse;
    uint32_t ambient;
    uint32_t specular;
    float gloss;
};

// Each returns the D3DCHECK result.
bool d3d_state_reset(IDirect3DDevice8* device); // 67 render states, 8 x 17 stage states, 8 unbinds
// With a texture: colour and alpha MODULATE, COUNT2 transform flags; with null: MODULATE and
// MODULATE, transform flags off (a missing texture then counts as white).
bool d3d_state_set_texture(uint32_t stage, IDirect3DDevice8* device, IDirect3DBaseTexture8* texture);
bool d3d_state_set_material(IDirect3DDevice8* device, const D3DMATERIAL8* material);
bool d3d_state_set_cull(IDirect3DDevice8* device, bool ccw);    // true CCW, false CW
bool d3d_state_set_zwrite(IDirect3DDevice8* device, bool on);
bool d3d_state_set_zfunc(IDirect3DDevice8* device, bool test);  // true LESSEQUAL, false ALWAYS
bool d3d_state_set_ambient(IDirect3DDevice8* device, uint32_t argb);

// Light 0 := a directional light along (x, y, z), white diffuse and specular, black ambient
// with alpha 1. The result is SetLight's, unchecked, for the caller's D3DCHECK (or none, where
// its result is not looked at). Enabling the light is the caller's own call, since callers
// differ in whether that call goes through the device check.
HRESULT d3d_state_white_light(IDirect3DDevice8* device, float x, float y, float z);

// The same on the device of the root.
bool gfx_reset_states(gfx* root);
bool gfx_set_zwrite(gfx* root, bool on);
bool gfx_set_zfunc(gfx* root, bool test);
bool gfx_set_cull(gfx* root, bool ccw);
bool gfx_set_ambient(gfx* root, uint32_t argb);
// Channels scaled by 1/255, no emissive, power gloss * 512 + 2.
bool gfx_set_material(gfx* root, const gfx_material* material);
void gfx_material_to_d3d(const gfx_material* material, D3DMATERIAL8* out);

// Indexed draws from the vertex and index buffers set before (d3d_vtx_set, d3d_idx_set).
bool gfx_draw3d_trilist(uint32_t min_index, uint32_t vertices, uint32_t start_index, uint32_t primitives);
bool gfx_draw3d_tristrip(uint32_t min_index, uint32_t vertices, uint32_t start_index, uint32_t primitives);
bool gfx_draw3d_trifan(uint32_t min_index, uint32_t vertices, uint32_t start_index, uint32_t primitives);
bool gfx_draw3d_linelist(uint32_t min_index, uint32_t vertices, uint32_t start_index, uint32_t primitives);
bool gfx_draw3d_linestrip(uint32_t min_index, uint32_t vertices, uint32_t start_index, uint32_t primitives);

// Screen pixels, with whatever stage 0 holds. The line is skipped beyond depth 1.0.
void gfx_draw2d_line(float x1, float y1, float x2, float y2, float depth, uint32_t colour1, uint32_t colour2);
// Corner colours top-left, top-right, bottom-left, bottom-right (for y1 above y2).
void gfx_draw2d_quad(float x1, float y1, float x2, float y2, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4);
