// Test hooks of the Direct3D-shaped device: fault injection for any call, a log of the calls
// made with their main arguments and results, live-object counts, a padded texture pitch and
// a pixel read-back. Only tests and benchmarks use this header.
#pragma once

#include "platform/d3d8.h"

#define D3D8_CALLS(X) \
    X(Direct3DCreate8) X(GetAdapterDisplayMode) X(CreateDevice) X(Reset) X(Present) X(GetViewport) \
    X(Clear) X(BeginScene) X(EndScene) X(SetRenderState) X(SetTextureStageState) X(SetTexture) \
    X(SetMaterial) X(SetTransform) X(SetLight) X(LightEnable) X(CreateVertexBuffer) X(CreateIndexBuffer) \
    X(CreateTexture) X(CreateRenderTarget) X(CreateDepthStencilSurface) X(GetRenderTarget) \
    X(GetDepthStencilSurface) X(SetRenderTarget) X(GetBackBuffer) X(SetStreamSource) X(SetVertexShader) \
    X(SetIndices) X(DrawPrimitive) X(DrawIndexedPrimitive) X(VertexBufferLock) X(VertexBufferUnlock) \
    X(IndexBufferLock) X(IndexBufferUnlock) X(TextureLockRect) X(TextureUnlockRect) X(SurfaceLockRect) \
    X(SurfaceUnlockRect) X(Release)

enum d3d8_call {
#define D3D8_CALL_ENUM(name) D3D8_CALL_##name,
    D3D8_CALLS(D3D8_CALL_ENUM)
#undef D3D8_CALL_ENUM
    D3D8_CALL_COUNT
};

// Kinds of object named by a Release record's first argument.
enum d3d8_kind { D3D8_KIND_D3D = 1, D3D8_KIND_DEVICE, D3D8_KIND_VERTEXBUFFER, D3D8_KIND_INDEXBUFFER,
                 D3D8_KIND_TEXTURE, D3D8_KIND_SURFACE };

const char* d3d8_call_name(d3d8_call call);

// From now on, `call` runs normally `skip` more times, then returns `result` for the next
// `count` calls (0: for every later call), doing nothing else; buffer locks given a success
// code (such as S_FALSE) do lock, so a caller that takes the pointer anyway shows. Release
// cannot be failed.
void d3d8_fault_set(d3d8_call call, HRESULT result, uint32_t skip, uint32_t count);
void d3d8_fault_clear(void); // disarms every fault

// The call log: each call's id, up to six arguments (as 32-bit words; floats by bit pattern,
// pointers as 0 or 1) and its result. Holds the first D3D8_LOG_SIZE calls after a start.
#define D3D8_LOG_SIZE 8192
struct d3d8_record {
    d3d8_call call;
    uint32_t a[6];
    HRESULT result;
};
void d3d8_log_start(void); // empties the log and records from now on
void d3d8_log_stop(void);
uint32_t d3d8_log_count(void);
const d3d8_record* d3d8_log_get(uint32_t index); // null past the end
uint32_t d3d8_log_count_of(d3d8_call call);
// Index of the first record of `call` at or after `from`, or -1.
int32_t d3d8_log_find(d3d8_call call, uint32_t from);

// Objects alive (not yet released by their holders) in a pool: vertex and index buffers,
// textures and created surfaces. Reset fails while any D3DPOOL_DEFAULT object is alive.
uint32_t d3d8_live_objects(D3DPOOL pool);

// Extra bytes at the end of every locked texture row, to catch callers that ignore the pitch.
void d3d8_set_texture_pitch_pad(uint32_t bytes);

// The ARGB colour at pixel (x, y), top-left origin, of the device's current render target;
// 0 when there is no device.
D3DCOLOR d3d8_read_pixel(IDirect3DDevice8* device, int32_t x, int32_t y);

// The material power last given to the GL lighting (after its clamp).
float d3d8_gl_shininess(IDirect3DDevice8* device);
