// The Direct3D-8-shaped graphics device: the interfaces, types and constants the engine
// uses, with their documented values, implemented on fixed-function OpenGL in the SDL
// window's GL context. Interfaces are plain structs whose first member is a table of
// function pointers; call them as dev->lpVtbl->Clear(dev, ...) or IDirect3DDevice8_Clear(dev, ...).
#pragma once

#include "platform/win_types.h"

// ---------------------------------------------------------------------------------------
// Basic types and constants
// ---------------------------------------------------------------------------------------

typedef DWORD D3DCOLOR; // ARGB, in memory B, G, R, A
typedef DWORD D3DFORMAT;
typedef DWORD D3DPOOL;
typedef DWORD D3DDEVTYPE;
typedef DWORD D3DMULTISAMPLE_TYPE;
typedef DWORD D3DSWAPEFFECT;
typedef DWORD D3DRENDERSTATETYPE;
typedef DWORD D3DTEXTURESTAGESTATETYPE;
typedef DWORD D3DTRANSFORMSTATETYPE;
typedef DWORD D3DPRIMITIVETYPE;
typedef DWORD D3DLIGHTTYPE;

#define D3D_SDK_VERSION 220
#define D3DADAPTER_DEFAULT 0

#define D3D_OK ((HRESULT)0)
#define D3D_MAKE_ERROR(code) ((HRESULT)(0x88760000u | (code)))
#define D3DERR_WRONGTEXTUREFORMAT D3D_MAKE_ERROR(2072)
#define D3DERR_UNSUPPORTEDCOLOROPERATION D3D_MAKE_ERROR(2073)
#define D3DERR_UNSUPPORTEDCOLORARG D3D_MAKE_ERROR(2074)
#define D3DERR_UNSUPPORTEDALPHAOPERATION D3D_MAKE_ERROR(2075)
#define D3DERR_UNSUPPORTEDALPHAARG D3D_MAKE_ERROR(2076)
#define D3DERR_TOOMANYOPERATIONS D3D_MAKE_ERROR(2077)
#define D3DERR_CONFLICTINGTEXTUREFILTER D3D_MAKE_ERROR(2078)
#define D3DERR_UNSUPPORTEDFACTORVALUE D3D_MAKE_ERROR(2079)
#define D3DERR_CONFLICTINGRENDERSTATE D3D_MAKE_ERROR(2081)
#define D3DERR_UNSUPPORTEDTEXTUREFILTER D3D_MAKE_ERROR(2082)
#define D3DERR_CONFLICTINGTEXTUREPALETTE D3D_MAKE_ERROR(2086)
#define D3DERR_DRIVERINTERNALERROR D3D_MAKE_ERROR(2087)
#define D3DERR_NOTFOUND D3D_MAKE_ERROR(2150)
#define D3DERR_MOREDATA D3D_MAKE_ERROR(2151)
#define D3DERR_DEVICELOST D3D_MAKE_ERROR(2152)
#define D3DERR_DEVICENOTRESET D3D_MAKE_ERROR(2153)
#define D3DERR_NOTAVAILABLE D3D_MAKE_ERROR(2154)
#define D3DERR_INVALIDDEVICE D3D_MAKE_ERROR(2155)
#define D3DERR_INVALIDCALL D3D_MAKE_ERROR(2156)
#define D3DERR_DRIVERINVALIDCALL D3D_MAKE_ERROR(2157)
#define D3DERR_OUTOFVIDEOMEMORY D3D_MAKE_ERROR(380)

// Formats
#define D3DFMT_UNKNOWN 0
#define D3DFMT_A8R8G8B8 21
#define D3DFMT_X8R8G8B8 22
#define D3DFMT_D24S8 75
#define D3DFMT_D16 80
#define D3DFMT_INDEX16 101
#define D3DFMT_INDEX32 102

// Pools and usage
#define D3DPOOL_DEFAULT 0
#define D3DPOOL_MANAGED 1
#define D3DPOOL_SYSTEMMEM 2
#define D3DUSAGE_RENDERTARGET 0x1
#define D3DUSAGE_DEPTHSTENCIL 0x2
#define D3DUSAGE_WRITEONLY 0x8
#define D3DUSAGE_DYNAMIC 0x200

// Locks
#define D3DLOCK_READONLY 0x10
#define D3DLOCK_NOOVERWRITE 0x1000
#define D3DLOCK_DISCARD 0x2000

// Device creation
#define D3DDEVTYPE_HAL 1
#define D3DDEVTYPE_REF 2
#define D3DDEVTYPE_SW 3
#define D3DCREATE_SOFTWARE_VERTEXPROCESSING 0x20
#define D3DCREATE_HARDWARE_VERTEXPROCESSING 0x40
#define D3DMULTISAMPLE_NONE 0
#define D3DSWAPEFFECT_DISCARD 1
#define D3DPRESENT_INTERVAL_DEFAULT 0
#define D3DPRESENT_INTERVAL_IMMEDIATE 0x80000000u
#define D3DBACKBUFFER_TYPE_MONO 0

// Clear flags
#define D3DCLEAR_TARGET 0x1
#define D3DCLEAR_ZBUFFER 0x2
#define D3DCLEAR_STENCIL 0x4

// Vertex formats
#define D3DFVF_XYZ 0x002
#define D3DFVF_XYZRHW 0x004
#define D3DFVF_NORMAL 0x010
#define D3DFVF_PSIZE 0x020
#define D3DFVF_DIFFUSE 0x040
#define D3DFVF_SPECULAR 0x080
#define D3DFVF_TEXCOUNT_MASK 0xf00
#define D3DFVF_TEXCOUNT_SHIFT 8
#define D3DFVF_TEX1 0x100

// Primitive types
#define D3DPT_POINTLIST 1
#define D3DPT_LINELIST 2
#define D3DPT_LINESTRIP 3
#define D3DPT_TRIANGLELIST 4
#define D3DPT_TRIANGLESTRIP 5
#define D3DPT_TRIANGLEFAN 6

// Transforms
#define D3DTS_VIEW 2
#define D3DTS_PROJECTION 3
#define D3DTS_TEXTURE0 16
#define D3DTS_WORLD 256

// Lights
#define D3DLIGHT_POINT 1
#define D3DLIGHT_SPOT 2
#define D3DLIGHT_DIRECTIONAL 3

// Render states
#define D3DRS_ZENABLE 7
#define D3DRS_FILLMODE 8
#define D3DRS_SHADEMODE 9
#define D3DRS_ZWRITEENABLE 14
#define D3DRS_ALPHATESTENABLE 15
#define D3DRS_LASTPIXEL 16
#define D3DRS_SRCBLEND 19
#define D3DRS_DESTBLEND 20
#define D3DRS_CULLMODE 22
#define D3DRS_ZFUNC 23
#define D3DRS_ALPHAREF 24
#define D3DRS_ALPHAFUNC 25
#define D3DRS_DITHERENABLE 26
#define D3DRS_ALPHABLENDENABLE 27
#define D3DRS_FOGENABLE 28
#define D3DRS_SPECULARENABLE 29
#define D3DRS_FOGCOLOR 34
#define D3DRS_FOGTABLEMODE 35
#define D3DRS_FOGSTART 36
#define D3DRS_FOGEND 37
#define D3DRS_FOGDENSITY 38
#define D3DRS_RANGEFOGENABLE 48
#define D3DRS_STENCILENABLE 52
#define D3DRS_STENCILFAIL 53
#define D3DRS_STENCILZFAIL 54
#define D3DRS_STENCILPASS 55
#define D3DRS_STENCILFUNC 56
#define D3DRS_STENCILREF 57
#define D3DRS_STENCILMASK 58
#define D3DRS_STENCILWRITEMASK 59
#define D3DRS_TEXTUREFACTOR 60
#define D3DRS_WRAP0 128
#define D3DRS_WRAP1 129
#define D3DRS_WRAP2 130
#define D3DRS_WRAP3 131
#define D3DRS_WRAP4 132
#define D3DRS_WRAP5 133
#define D3DRS_WRAP6 134
#define D3DRS_WRAP7 135
#define D3DRS_CLIPPING 136
#define D3DRS_LIGHTING 137
#define D3DRS_AMBIENT 139
#define D3DRS_FOGVERTEXMODE 140
#define D3DRS_COLORVERTEX 141
#define D3DRS_LOCALVIEWER 142
#define D3DRS_NORMALIZENORMALS 143
#define D3DRS_DIFFUSEMATERIALSOURCE 145
#define D3DRS_SPECULARMATERIALSOURCE 146
#define D3DRS_AMBIENTMATERIALSOURCE 147
#define D3DRS_EMISSIVEMATERIALSOURCE 148
#define D3DRS_VERTEXBLEND 151
#define D3DRS_CLIPPLANEENABLE 152
#define D3DRS_POINTSIZE 154
#define D3DRS_POINTSIZE_MIN 155
#define D3DRS_POINTSPRITEENABLE 156
#define D3DRS_POINTSCALEENABLE 157
#define D3DRS_POINTSCALE_A 158
#define D3DRS_POINTSCALE_B 159
#define D3DRS_POINTSCALE_C 160
#define D3DRS_MULTISAMPLEANTIALIAS 161
#define D3DRS_MULTISAMPLEMASK 162
#define D3DRS_PATCHEDGESTYLE 163
#define D3DRS_POINTSIZE_MAX 166
#define D3DRS_INDEXEDVERTEXBLENDENABLE 167
#define D3DRS_COLORWRITEENABLE 168
#define D3DRS_TWEENFACTOR 170
#define D3DRS_BLENDOP 171
#define D3DRS_COUNT 256 // size of the device's render-state table

// Render-state values
#define D3DZB_FALSE 0
#define D3DZB_TRUE 1
#define D3DFILL_POINT 1
#define D3DFILL_WIREFRAME 2
#define D3DFILL_SOLID 3
#define D3DSHADE_FLAT 1
#define D3DSHADE_GOURAUD 2
#define D3DBLEND_ZERO 1
#define D3DBLEND_ONE 2
#define D3DBLEND_SRCCOLOR 3
#define D3DBLEND_INVSRCCOLOR 4
#define D3DBLEND_SRCALPHA 5
#define D3DBLEND_INVSRCALPHA 6
#define D3DBLEND_DESTALPHA 7
#define D3DBLEND_INVDESTALPHA 8
#define D3DBLEND_DESTCOLOR 9
#define D3DBLEND_INVDESTCOLOR 10
#define D3DBLEND_SRCALPHASAT 11
#define D3DBLENDOP_ADD 1
#define D3DBLENDOP_SUBTRACT 2
#define D3DBLENDOP_REVSUBTRACT 3
#define D3DBLENDOP_MIN 4
#define D3DBLENDOP_MAX 5
#define D3DCULL_NONE 1
#define D3DCULL_CW 2
#define D3DCULL_CCW 3
#define D3DCMP_NEVER 1
#define D3DCMP_LESS 2
#define D3DCMP_EQUAL 3
#define D3DCMP_LESSEQUAL 4
#define D3DCMP_GREATER 5
#define D3DCMP_NOTEQUAL 6
#define D3DCMP_GREATEREQUAL 7
#define D3DCMP_ALWAYS 8
#define D3DSTENCILOP_KEEP 1
#define D3DFOG_NONE 0
#define D3DMCS_MATERIAL 0
#define D3DMCS_COLOR1 1
#define D3DMCS_COLOR2 2
#define D3DVBF_DISABLE 0
#define D3DPATCHEDGE_DISCRETE 0

// Texture-stage states
#define D3DTSS_COLOROP 1
#define D3DTSS_COLORARG1 2
#define D3DTSS_COLORARG2 3
#define D3DTSS_ALPHAOP 4
#define D3DTSS_ALPHAARG1 5
#define D3DTSS_ALPHAARG2 6
#define D3DTSS_BUMPENVMAT00 7
#define D3DTSS_BUMPENVMAT01 8
#define D3DTSS_BUMPENVMAT10 9
#define D3DTSS_BUMPENVMAT11 10
#define D3DTSS_TEXCOORDINDEX 11
#define D3DTSS_ADDRESSU 13
#define D3DTSS_ADDRESSV 14
#define D3DTSS_BORDERCOLOR 15
#define D3DTSS_MAGFILTER 16
#define D3DTSS_MINFILTER 17
#define D3DTSS_MIPFILTER 18
#define D3DTSS_MIPMAPLODBIAS 19
#define D3DTSS_MAXMIPLEVEL 20
#define D3DTSS_MAXANISOTROPY 21
#define D3DTSS_BUMPENVLSCALE 22
#define D3DTSS_BUMPENVLOFFSET 23
#define D3DTSS_TEXTURETRANSFORMFLAGS 24
#define D3DTSS_ADDRESSW 25
#define D3DTSS_COLORARG0 26
#define D3DTSS_ALPHAARG0 27
#define D3DTSS_RESULTARG 28
#define D3DTSS_COUNT 32   // size of one stage's table in the device
#define D3D_STAGES 8      // texture stages

// Texture-stage values
#define D3DTOP_DISABLE 1
#define D3DTOP_SELECTARG1 2
#define D3DTOP_SELECTARG2 3
#define D3DTOP_MODULATE 4
#define D3DTOP_MODULATE2X 5
#define D3DTOP_MODULATE4X 6
#define D3DTOP_ADD 7
#define D3DTOP_ADDSIGNED 8
#define D3DTOP_ADDSIGNED2X 9
#define D3DTOP_SUBTRACT 10
#define D3DTOP_ADDSMOOTH 11
#define D3DTOP_BLENDDIFFUSEALPHA 12
#define D3DTOP_BLENDTEXTUREALPHA 13
#define D3DTOP_BLENDFACTORALPHA 14
#define D3DTOP_BLENDCURRENTALPHA 16
#define D3DTA_SELECTMASK 0x0f
#define D3DTA_DIFFUSE 0x00
#define D3DTA_CURRENT 0x01
#define D3DTA_TEXTURE 0x02
#define D3DTA_TFACTOR 0x03
#define D3DTA_SPECULAR 0x04
#define D3DTA_TEMP 0x05
#define D3DTA_COMPLEMENT 0x10
#define D3DTA_ALPHAREPLICATE 0x20
#define D3DTTFF_DISABLE 0
#define D3DTTFF_COUNT2 2
#define D3DTADDRESS_WRAP 1
#define D3DTADDRESS_MIRROR 2
#define D3DTADDRESS_CLAMP 3
#define D3DTADDRESS_BORDER 4
#define D3DTEXF_NONE 0
#define D3DTEXF_POINT 1
#define D3DTEXF_LINEAR 2

// ---------------------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------------------

struct D3DDISPLAYMODE {
    UINT Width;
    UINT Height;
    UINT RefreshRate;
    D3DFORMAT Format;
};

struct D3DPRESENT_PARAMETERS {
    UINT BackBufferWidth;
    UINT BackBufferHeight;
    D3DFORMAT BackBufferFormat;
    UINT BackBufferCount;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    D3DSWAPEFFECT SwapEffect;
    HWND hDeviceWindow;
    BOOL Windowed;
    BOOL EnableAutoDepthStencil;
    D3DFORMAT AutoDepthStencilFormat;
    DWORD Flags;
    UINT FullScreen_RefreshRateInHz;
    UINT FullScreen_PresentationInterval;
};

struct D3DVIEWPORT8 {
    DWORD X, Y, Width, Height;
    float MinZ, MaxZ;
};

struct D3DCOLORVALUE {
    float r, g, b, a;
};

struct D3DVECTOR {
    float x, y, z;
};

struct D3DMATERIAL8 {
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Ambient;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Emissive;
    float Power;
};

struct D3DLIGHT8 {
    D3DLIGHTTYPE Type;
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Ambient;
    D3DVECTOR Position;
    D3DVECTOR Direction;
    float Range;
    float Falloff;
    float Attenuation0;
    float Attenuation1;
    float Attenuation2;
    float Theta;
    float Phi;
};

// Row-vector convention: a point is transformed as v * M, translation in _41.._43.
struct D3DMATRIX {
    float m[4][4];
};

struct D3DLOCKED_RECT {
    INT Pitch;
    void* pBits;
};

struct D3DRECT {
    LONG x1, y1, x2, y2;
};

struct D3DSURFACE_DESC {
    D3DFORMAT Format;
    DWORD Type;
    DWORD Usage;
    D3DPOOL Pool;
    UINT Size;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    UINT Width;
    UINT Height;
};

// ---------------------------------------------------------------------------------------
// Interfaces
// ---------------------------------------------------------------------------------------

struct IDirect3D8;
struct IDirect3DDevice8;
struct IDirect3DVertexBuffer8;
struct IDirect3DIndexBuffer8;
struct IDirect3DTexture8;
struct IDirect3DSurface8;
// Textures are the only kind of base texture this device makes.
typedef IDirect3DTexture8 IDirect3DBaseTexture8;

struct IDirect3D8Vtbl {
    ULONG (*AddRef)(IDirect3D8* self);
    ULONG (*Release)(IDirect3D8* self);
    HRESULT (*GetAdapterDisplayMode)(IDirect3D8* self, UINT adapter, D3DDISPLAYMODE* mode);
    HRESULT (*CreateDevice)(IDirect3D8* self, UINT adapter, D3DDEVTYPE type, HWND focus_window,
                            DWORD behaviour, D3DPRESENT_PARAMETERS* params, IDirect3DDevice8** device);
};
struct IDirect3D8 {
    const IDirect3D8Vtbl* lpVtbl;
};

struct IDirect3DDevice8Vtbl {
    ULONG (*AddRef)(IDirect3DDevice8* self);
    ULONG (*Release)(IDirect3DDevice8* self);
    HRESULT (*Reset)(IDirect3DDevice8* self, D3DPRESENT_PARAMETERS* params);
    HRESULT (*Present)(IDirect3DDevice8* self, const RECT* source, const RECT* dest, HWND override_window,
                       const void* dirty_region);
    HRESULT (*GetViewport)(IDirect3DDevice8* self, D3DVIEWPORT8* viewport);
    HRESULT (*Clear)(IDirect3DDevice8* self, DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR colour,
                     float z, DWORD stencil);
    HRESULT (*BeginScene)(IDirect3DDevice8* self);
    HRESULT (*EndScene)(IDirect3DDevice8* self);
    HRESULT (*SetRenderState)(IDirect3DDevice8* self, D3DRENDERSTATETYPE state, DWORD value);
    HRESULT (*GetRenderState)(IDirect3DDevice8* self, D3DRENDERSTATETYPE state, DWORD* value);
    HRESULT (*SetTextureStageState)(IDirect3DDevice8* self, DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                    DWORD value);
    HRESULT (*GetTextureStageState)(IDirect3DDevice8* self, DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                    DWORD* value);
    HRESULT (*SetTexture)(IDirect3DDevice8* self, DWORD stage, IDirect3DBaseTexture8* texture);
    HRESULT (*SetMaterial)(IDirect3DDevice8* self, const D3DMATERIAL8* material);
    HRESULT (*GetMaterial)(IDirect3DDevice8* self, D3DMATERIAL8* material);
    HRESULT (*SetTransform)(IDirect3DDevice8* self, D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
    HRESULT (*GetTransform)(IDirect3DDevice8* self, D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix);
    HRESULT (*SetLight)(IDirect3DDevice8* self, DWORD index, const D3DLIGHT8* light);
    HRESULT (*LightEnable)(IDirect3DDevice8* self, DWORD index, BOOL enable);
    HRESULT (*CreateVertexBuffer)(IDirect3DDevice8* self, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                  IDirect3DVertexBuffer8** buffer);
    HRESULT (*CreateIndexBuffer)(IDirect3DDevice8* self, UINT length, DWORD usage, D3DFORMAT format,
                                 D3DPOOL pool, IDirect3DIndexBuffer8** buffer);
    HRESULT (*CreateTexture)(IDirect3DDevice8* self, UINT width, UINT height, UINT levels, DWORD usage,
                             D3DFORMAT format, D3DPOOL pool, IDirect3DTexture8** texture);
    HRESULT (*CreateRenderTarget)(IDirect3DDevice8* self, UINT width, UINT height, D3DFORMAT format,
                                  D3DMULTISAMPLE_TYPE multisample, BOOL lockable, IDirect3DSurface8** surface);
    HRESULT (*CreateDepthStencilSurface)(IDirect3DDevice8* self, UINT width, UINT height, D3DFORMAT format,
                                         D3DMULTISAMPLE_TYPE multisample, IDirect3DSurface8** surface);
    HRESULT (*GetRenderTarget)(IDirect3DDevice8* self, IDirect3DSurface8** surface);
    HRESULT (*GetDepthStencilSurface)(IDirect3DDevice8* self, IDirect3DSurface8** surface);
    HRESULT (*SetRenderTarget)(IDirect3DDevice8* self, IDirect3DSurface8* target, IDirect3DSurface8* depth);
    HRESULT (*GetBackBuffer)(IDirect3DDevice8* self, UINT index, DWORD type, IDirect3DSurface8** surface);
    HRESULT (*SetStreamSource)(IDirect3DDevice8* self, UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride);
    HRESULT (*SetVertexShader)(IDirect3DDevice8* self, DWORD fvf);
    HRESULT (*SetIndices)(IDirect3DDevice8* self, IDirect3DIndexBuffer8* buffer, UINT base_vertex);
    HRESULT (*DrawPrimitive)(IDirect3DDevice8* self, D3DPRIMITIVETYPE type, UINT start_vertex, UINT count);
    HRESULT (*DrawIndexedPrimitive)(IDirect3DDevice8* self, D3DPRIMITIVETYPE type, UINT min_index,
                                    UINT num_vertices, UINT start_index, UINT count);
};
struct IDirect3DDevice8 {
    const IDirect3DDevice8Vtbl* lpVtbl;
};

struct IDirect3DVertexBuffer8Vtbl {
    ULONG (*AddRef)(IDirect3DVertexBuffer8* self);
    ULONG (*Release)(IDirect3DVertexBuffer8* self);
    HRESULT (*Lock)(IDirect3DVertexBuffer8* self, UINT offset, UINT size, BYTE** data, DWORD flags);
    HRESULT (*Unlock)(IDirect3DVertexBuffer8* self);
};
struct IDirect3DVertexBuffer8 {
    const IDirect3DVertexBuffer8Vtbl* lpVtbl;
};

struct IDirect3DIndexBuffer8Vtbl {
    ULONG (*AddRef)(IDirect3DIndexBuffer8* self);
    ULONG (*Release)(IDirect3DIndexBuffer8* self);
    HRESULT (*Lock)(IDirect3DIndexBuffer8* self, UINT offset, UINT size, BYTE** data, DWORD flags);
    HRESULT (*Unlock)(IDirect3DIndexBuffer8* self);
};
struct IDirect3DIndexBuffer8 {
    const IDirect3DIndexBuffer8Vtbl* lpVtbl;
};

struct IDirect3DTexture8Vtbl {
    ULONG (*AddRef)(IDirect3DTexture8* self);
    ULONG (*Release)(IDirect3DTexture8* self);
    DWORD (*GetLevelCount)(IDirect3DTexture8* self);
    HRESULT (*GetLevelDesc)(IDirect3DTexture8* self, UINT level, D3DSURFACE_DESC* desc);
    HRESULT (*LockRect)(IDirect3DTexture8* self, UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
    HRESULT (*UnlockRect)(IDirect3DTexture8* self, UINT level);
};
struct IDirect3DTexture8 {
    const IDirect3DTexture8Vtbl* lpVtbl;
};

struct IDirect3DSurface8Vtbl {
    ULONG (*AddRef)(IDirect3DSurface8* self);
    ULONG (*Release)(IDirect3DSurface8* self);
    HRESULT (*GetDesc)(IDirect3DSurface8* self, D3DSURFACE_DESC* desc);
    HRESULT (*LockRect)(IDirect3DSurface8* self, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
    HRESULT (*UnlockRect)(IDirect3DSurface8* self);
};
struct IDirect3DSurface8 {
    const IDirect3DSurface8Vtbl* lpVtbl;
};

// The entry point: null when the SDK version is not 220 or the fault table says so.
// CreateDevice draws into the GL context current on the calling thread; when none is, it
// makes one on the SDL window that plat_window_sdl gives for the device (or else the focus)
// window, and deletes it with the device. One device exists at a time; it is never lost
// except by fault injection, and Reset takes the window's drawable size.
IDirect3D8* Direct3DCreate8(UINT sdk_version);

// C-style call macros, one per method used.
#define IDirect3D8_Release(p) (p)->lpVtbl->Release(p)
#define IDirect3D8_GetAdapterDisplayMode(p, a, b) (p)->lpVtbl->GetAdapterDisplayMode(p, a, b)
#define IDirect3D8_CreateDevice(p, a, b, c, d, e, f) (p)->lpVtbl->CreateDevice(p, a, b, c, d, e, f)
#define IDirect3DDevice8_AddRef(p) (p)->lpVtbl->AddRef(p)
#define IDirect3DDevice8_Release(p) (p)->lpVtbl->Release(p)
#define IDirect3DDevice8_Reset(p, a) (p)->lpVtbl->Reset(p, a)
#define IDirect3DDevice8_Present(p, a, b, c, d) (p)->lpVtbl->Present(p, a, b, c, d)
#define IDirect3DDevice8_GetViewport(p, a) (p)->lpVtbl->GetViewport(p, a)
#define IDirect3DDevice8_Clear(p, a, b, c, d, e, f) (p)->lpVtbl->Clear(p, a, b, c, d, e, f)
#define IDirect3DDevice8_BeginScene(p) (p)->lpVtbl->BeginScene(p)
#define IDirect3DDevice8_EndScene(p) (p)->lpVtbl->EndScene(p)
#define IDirect3DDevice8_SetRenderState(p, a, b) (p)->lpVtbl->SetRenderState(p, a, b)
#define IDirect3DDevice8_GetRenderState(p, a, b) (p)->lpVtbl->GetRenderState(p, a, b)
#define IDirect3DDevice8_SetTextureStageState(p, a, b, c) (p)->lpVtbl->SetTextureStageState(p, a, b, c)
#define IDirect3DDevice8_GetTextureStageState(p, a, b, c) (p)->lpVtbl->GetTextureStageState(p, a, b, c)
#define IDirect3DDevice8_SetTexture(p, a, b) (p)->lpVtbl->SetTexture(p, a, b)
#define IDirect3DDevice8_SetMaterial(p, a) (p)->lpVtbl->SetMaterial(p, a)
#define IDirect3DDevice8_GetMaterial(p, a) (p)->lpVtbl->GetMaterial(p, a)
#define IDirect3DDevice8_SetTransform(p, a, b) (p)->lpVtbl->SetTransform(p, a, b)
#define IDirect3DDevice8_GetTransform(p, a, b) (p)->lpVtbl->GetTransform(p, a, b)
#define IDirect3DDevice8_SetLight(p, a, b) (p)->lpVtbl->SetLight(p, a, b)
#define IDirect3DDevice8_LightEnable(p, a, b) (p)->lpVtbl->LightEnable(p, a, b)
#define IDirect3DDevice8_CreateVertexBuffer(p, a, b, c, d, e) (p)->lpVtbl->CreateVertexBuffer(p, a, b, c, d, e)
#define IDirect3DDevice8_CreateIndexBuffer(p, a, b, c, d, e) (p)->lpVtbl->CreateIndexBuffer(p, a, b, c, d, e)
#define IDirect3DDevice8_CreateTexture(p, a, b, c, d, e, f, g) (p)->lpVtbl->CreateTexture(p, a, b, c, d, e, f, g)
#define IDirect3DDevice8_CreateRenderTarget(p, a, b, c, d, e, f) (p)->lpVtbl->CreateRenderTarget(p, a, b, c, d, e, f)
#define IDirect3DDevice8_CreateDepthStencilSurface(p, a, b, c, d, e) \
    (p)->lpVtbl->CreateDepthStencilSurface(p, a, b, c, d, e)
#define IDirect3DDevice8_GetRenderTarget(p, a) (p)->lpVtbl->GetRenderTarget(p, a)
#define IDirect3DDevice8_GetDepthStencilSurface(p, a) (p)->lpVtbl->GetDepthStencilSurface(p, a)
#define IDirect3DDevice8_SetRenderTarget(p, a, b) (p)->lpVtbl->SetRenderTarget(p, a, b)
#define IDirect3DDevice8_GetBackBuffer(p, a, b, c) (p)->lpVtbl->GetBackBuffer(p, a, b, c)
#define IDirect3DDevice8_SetStreamSource(p, a, b, c) (p)->lpVtbl->SetStreamSource(p, a, b, c)
#define IDirect3DDevice8_SetVertexShader(p, a) (p)->lpVtbl->SetVertexShader(p, a)
#define IDirect3DDevice8_SetIndices(p, a, b) (p)->lpVtbl->SetIndices(p, a, b)
#define IDirect3DDevice8_DrawPrimitive(p, a, b, c) (p)->lpVtbl->DrawPrimitive(p, a, b, c)
#define IDirect3DDevice8_DrawIndexedPrimitive(p, a, b, c, d, e) (p)->lpVtbl->DrawIndexedPrimitive(p, a, b, c, d, e)
#define IDirect3DVertexBuffer8_Release(p) (p)->lpVtbl->Release(p)
#define IDirect3DVertexBuffer8_Lock(p, a, b, c, d) (p)->lpVtbl->Lock(p, a, b, c, d)
#define IDirect3DVertexBuffer8_Unlock(p) (p)->lpVtbl->Unlock(p)
#define IDirect3DIndexBuffer8_Release(p) (p)->lpVtbl->Release(p)
#define IDirect3DIndexBuffer8_Lock(p, a, b, c, d) (p)->lpVtbl->Lock(p, a, b, c, d)
#define IDirect3DIndexBuffer8_Unlock(p) (p)->lpVtbl->Unlock(p)
#define IDirect3DTexture8_AddRef(p) (p)->lpVtbl->AddRef(p)
#define IDirect3DTexture8_Release(p) (p)->lpVtbl->Release(p)
#define IDirect3DTexture8_GetLevelCount(p) (p)->lpVtbl->GetLevelCount(p)
#define IDirect3DTexture8_GetLevelDesc(p, a, b) (p)->lpVtbl->GetLevelDesc(p, a, b)
#define IDirect3DTexture8_LockRect(p, a, b, c, d) (p)->lpVtbl->LockRect(p, a, b, c, d)
#define IDirect3DTexture8_UnlockRect(p, a) (p)->lpVtbl->UnlockRect(p, a)
#define IDirect3DSurface8_AddRef(p) (p)->lpVtbl->AddRef(p)
#define IDirect3DSurface8_Release(p) (p)->lpVtbl->Release(p)
#define IDirect3DSurface8_GetDesc(p, a) (p)->lpVtbl->GetDesc(p, a)
#define IDirect3DSurface8_LockRect(p, a, b, c) (p)->lpVtbl->LockRect(p, a, b, c)
#define IDirect3DSurface8_UnlockRect(p) (p)->lpVtbl->UnlockRect(p)
