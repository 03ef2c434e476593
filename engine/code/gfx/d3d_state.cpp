// The engine's default device state, the state setters, the indexed draws and the 2D line
// and quad. The defaults are sent whole, in table order, without reading anything back.

#include "engine/code/gfx/d3d_state.h"

#include <cstring>

#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_gfx.h"
#include "engine/code/gfx/gfx.h"

struct state_value {
    DWORD state;
    DWORD value;
};

static constexpr DWORD F(float f) { return __builtin_bit_cast(DWORD, f); }

static const state_value default_render_states[] = {
    {D3DRS_ZENABLE, D3DZB_TRUE},
    {D3DRS_FILLMODE, D3DFILL_SOLID},
    {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
    {D3DRS_ZWRITEENABLE, FALSE},
    {D3DRS_ALPHATESTENABLE, FALSE},
    {D3DRS_LASTPIXEL, TRUE},
    {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
    {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
    {D3DRS_CULLMODE, D3DCULL_CCW},
    {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
    {D3DRS_ALPHAREF, 0},
    {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
    {D3DRS_DITHERENABLE, FALSE},
    {D3DRS_ALPHABLENDENABLE, TRUE},
    {D3DRS_FOGENABLE, FALSE},
    {D3DRS_SPECULARENABLE, TRUE},
    {D3DRS_FOGCOLOR, 0},
    {D3DRS_FOGTABLEMODE, D3DFOG_NONE},
    {D3DRS_FOGSTART, F(0.0f)},
    {D3DRS_FOGEND, F(1.0f)},
    {D3DRS_FOGDENSITY, F(1.0f)},
    {D3DRS_RANGEFOGENABLE, FALSE},
    {D3DRS_STENCILENABLE, FALSE},
    {D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILPASS, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILFUNC, D3DCMP_ALWAYS},
    {D3DRS_STENCILREF, 0},
    {D3DRS_STENCILMASK, 0xFFFFFFFFu},
    {D3DRS_STENCILWRITEMASK, 0xFFFFFFFFu},
    {D3DRS_TEXTUREFACTOR, 0xFFFFFFFFu},
    {D3DRS_WRAP0, 0},
    {D3DRS_WRAP1, 0},
    {D3DRS_WRAP2, 0},
    {D3DRS_WRAP3, 0},
    {D3DRS_WRAP4, 0},
    {D3DRS_WRAP5, 0},
    {D3DRS_WRAP6, 0},
    {D3DRS_WRAP7, 0},
    {D3DRS_CLIPPING, TRUE},
    {D3DRS_LIGHTING, TRUE},
    {D3DRS_AMBIENT, 0},
    {D3DRS_FOGVERTEXMODE, D3DFOG_NONE},
    {D3DRS_COLORVERTEX, TRUE},
    {D3DRS_LOCALVIEWER, TRUE},
    {D3DRS_NORMALIZENORMALS, TRUE},
    {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL},
    {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL},
    {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
    {D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL},
    {D3DRS_VERTEXBLEND, D3DVBF_DISABLE},
    {D3DRS_CLIPPLANEENABLE, 0},
    {D3DRS_POINTSIZE, F(1.0f)},
    {D3DRS_POINTSIZE_MIN, F(0.0f)},
    {D3DRS_POINTSPRITEENABLE, FALSE},
    {D3DRS_POINTSCALEENABLE, FALSE},
    {D3DRS_POINTSCALE_A, F(1.0f)},
    {D3DRS_POINTSCALE_B, F(0.0f)},
    {D3DRS_POINTSCALE_C, F(0.0f)},
    {D3DRS_MULTISAMPLEANTIALIAS, TRUE},
    {D3DRS_MULTISAMPLEMASK, 0xFFFFFFFFu},
    {D3DRS_PATCHEDGESTYLE, D3DPATCHEDGE_DISCRETE},
    {D3DRS_POINTSIZE_MAX, F(64.0f)},
    {D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE},
    {D3DRS_COLORWRITEENABLE, 15},
    {D3DRS_TWEENFACTOR, F(0.0f)},
    {D3DRS_BLENDOP, D3DBLENDOP_ADD},
};
static_assert(sizeof(default_render_states) / sizeof(default_render_states[0]) == 67, "67 render states");

// Stage 0 passes the current (diffuse) colour through; stages 1 to 7 are off.
struct stage_value {
    DWORD state;
    DWORD stage0;
    DWORD others;
};

static const stage_value default_stage_states[] = {
    {D3DTSS_COLOROP, D3DTOP_SELECTARG1, D3DTOP_DISABLE},
    {D3DTSS_ALPHAOP, D3DTOP_SELECTARG1, D3DTOP_DISABLE},
    {D3DTSS_COLORARG1, D3DTA_CURRENT, D3DTA_TEXTURE},
    {D3DTSS_COLORARG2, D3DTA_TEXTURE, D3DTA_CURRENT},
    {D3DTSS_ALPHAARG1, D3DTA_CURRENT, D3DTA_TEXTURE},
    {D3DTSS_ALPHAARG2, D3DTA_TEXTURE, D3DTA_CURRENT},
    {D3DTSS_BUMPENVMAT00, F(0.0f), F(0.0f)},
    {D3DTSS_BUMPENVMAT01, F(0.0f), F(0.0f)},
    {D3DTSS_BUMPENVMAT10, F(0.0f), F(0.0f)},
    {D3DTSS_BUMPENVMAT11, F(0.0f), F(0.0f)},
    {D3DTSS_TEXCOORDINDEX, 0, 0},
    {D3DTSS_BUMPENVLSCALE, F(0.0f), F(0.0f)},
    {D3DTSS_BUMPENVLOFFSET, F(0.0f), F(0.0f)},
    {D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE, D3DTTFF_DISABLE},
    {D3DTSS_COLORARG0, D3DTA_CURRENT, D3DTA_CURRENT},
    {D3DTSS_ALPHAARG0, D3DTA_CURRENT, D3DTA_CURRENT},
    {D3DTSS_RESULTARG, D3DTA_CURRENT, D3DTA_CURRENT},
};
static_assert(sizeof(default_stage_states) / sizeof(default_stage_states[0]) == 17, "17 stage states");

bool d3d_state_reset(IDirect3DDevice8* device)
{
    bool ok = true;
    for (const state_value& s : default_render_states)
        ok = D3DCHECK(device->lpVtbl->SetRenderState(device, s.state, s.value)) && ok;
    for (DWORD stage = 0; stage < 8; stage++)
        for (const stage_value& s : default_stage_states)
            ok = D3DCHECK(device->lpVtbl->SetTextureStageState(device, stage, s.state,
                                                               stage == 0 ? s.stage0 : s.others)) &&
                 ok;
    for (DWORD stage = 0; stage < 8; stage++)
        device->lpVtbl->SetTexture(device, stage, nullptr);
    return ok;
}

bool d3d_state_set_texture(uint32_t stage, IDirect3DDevice8* device, IDirect3DBaseTexture8* texture)
{
    bool ok = D3DCHECK(device->lpVtbl->SetTexture(device, stage, texture));
    ok = D3DCHECK(device->lpVtbl->SetTextureStageState(device, stage, D3DTSS_COLOROP, D3DTOP_MODULATE)) && ok;
    ok = D3DCHECK(device->lpVtbl->SetTextureStageState(device, stage, D3DTSS_ALPHAOP, D3DTOP_MODULATE)) && ok;
    DWORD flags = texture ? D3DTTFF_COUNT2 : D3DTTFF_DISABLE;
    return D3DCHECK(device->lpVtbl->SetTextureStageState(device, stage, D3DTSS_TEXTURETRANSFORMFLAGS, flags)) && ok;
}

bool d3d_state_set_material(IDirect3DDevice8* device, const D3DMATERIAL8* material)
{
    return D3DCHECK(device->lpVtbl->SetMaterial(device, material));
}

bool d3d_state_set_cull(IDirect3DDevice8* device, bool ccw)
{
    return D3DCHECK(device->lpVtbl->SetRenderState(device, D3DRS_CULLMODE, ccw ? D3DCULL_CCW : D3DCULL_CW));
}

bool d3d_state_set_zwrite(IDirect3DDevice8* device, bool on)
{
    return D3DCHECK(device->lpVtbl->SetRenderState(device, D3DRS_ZWRITEENABLE, on ? TRUE : FALSE));
}

bool d3d_state_set_zfunc(IDirect3DDevice8* device, bool test)
{
    return D3DCHECK(device->lpVtbl->SetRenderState(device, D3DRS_ZFUNC, test ? D3DCMP_LESSEQUAL : D3DCMP_ALWAYS));
}

bool d3d_state_set_ambient(IDirect3DDevice8* device, uint32_t argb)
{
    return D3DCHECK(device->lpVtbl->SetRenderState(device, D3DRS_AMBIENT, argb));
}

HRESULT d3d_state_white_light(IDirect3DDevice8* device, float x, float y, float z)
{
    D3DLIGHT8 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Ambient = {0.0f, 0.0f, 0.0f, 1.0f};
    light.Direction = {x, y, z};
    return device->lpVtbl->SetLight(device, 0, &light);
}

// ---------------------------------------------------------------------------------------
// On the root
// ---------------------------------------------------------------------------------------

bool gfx_reset_states(gfx* root) { return d3d_state_reset(root->d3d_gfx.device); }
bool gfx_set_zwrite(gfx* root, bool on) { return d3d_state_set_zwrite(root->d3d_gfx.device, on); }
bool gfx_set_zfunc(gfx* root, bool test) { return d3d_state_set_zfunc(root->d3d_gfx.device, test); }
bool gfx_set_cull(gfx* root, bool ccw) { return d3d_state_set_cull(root->d3d_gfx.device, ccw); }
bool gfx_set_ambient(gfx* root, uint32_t argb) { return d3d_state_set_ambient(root->d3d_gfx.device, argb); }

static D3DCOLORVALUE colour_value(uint32_t argb)
{
    const float k = 1.0f / 255.0f;
    return {(float)((argb >> 16) & 0xFF) * k, (float)((argb >> 8) & 0xFF) * k, (float)(argb & 0xFF) * k,
            (float)((argb >> 24) & 0xFF) * k};
}

void gfx_material_to_d3d(const gfx_material* material, D3DMATERIAL8* out)
{
    out->Diffuse = colour_value(material->diffuse);
    out->Ambient = colour_value(material->ambient);
    out->Specular = colour_value(material->specular);
    out->Emissive = {0.0f, 0.0f, 0.0f, 0.0f};
    out->Power = material->gloss * 512.0f + 2.0f;
}

bool gfx_set_material(gfx* root, const gfx_material* material)
{
    D3DMATERIAL8 m;
    gfx_material_to_d3d(material, &m);
    return d3d_state_set_material(root->d3d_gfx.device, &m);
}

// ---------------------------------------------------------------------------------------
// Draws
// ---------------------------------------------------------------------------------------

static bool draw_indexed(D3DPRIMITIVETYPE type, uint32_t min_index, uint32_t vertices, uint32_t start_index,
                         uint32_t primitives)
{
    IDirect3DDevice8* dev = GFX.d3d_gfx.device;
    return D3DCHECK(dev->lpVtbl->DrawIndexedPrimitive(dev, type, min_index, vertices, start_index, primitives));
}

bool gfx_draw3d_trilist(uint32_t min_index, uint32_t vertices, uint32_t start_index, uint32_t primitives)
{
    return draw_indexed(D3DPT_TRIANGLELIST, min_index, vertices, start_index, primitives);
}

bool gfx_draw3d_tristrip(uint32_t min_index, uint32_t vertices, uint32_t start_index, uint32_t primitives)
{
    return draw_indexed(D3DPT_TRIANGLESTRIP, min_index, vertices, start_index, primitives);
}

bool gfx_draw3d_trifan(uint32_t min_index, uint32_t vertices, uint32_t start_index, uint32_t primitives)
{
    return draw_indexed(D3DPT_TRIANGLEFAN, min_index, vertices, start_index, primitives);
}

bool gfx_draw3d_linelist(uint32_t min_index, uint32_t vertices, uint32_t start_index, uint32_t primitives)
{
    return draw_indexed(D3DPT_LINELIST, min_index, vertices, start_index, primitives);
}

bool gfx_draw3d_linestrip(uint32_t min_index, uint32_t vertices, uint32_t start_index, uint32_t primitives)
{
    return draw_indexed(D3DPT_LINESTRIP, min_index, vertices, start_index, primitives);
}

void gfx_draw2d_line(float x1, float y1, float x2, float y2, float depth, uint32_t colour1, uint32_t colour2)
{
    if (!(depth <= 1.0f))
        return;
    const d3d_vertex_2d v[2] = {{x1, y1, 0.0f, 1.0f, colour1, 0.0f, 0.0f}, {x2, y2, 0.0f, 1.0f, colour2, 0.0f, 0.0f}};
    d3d_buffers_draw2d(&D3D_BUFFERS, v, 2, D3DPT_LINELIST, 1);
}

void gfx_draw2d_quad(float x1, float y1, float x2, float y2, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4)
{
    const d3d_vertex_2d v[4] = {
        {x1, y1, 0.0f, 1.0f, c1, 0.0f, 0.0f},
        {x2, y1, 0.0f, 1.0f, c2, 0.0f, 0.0f},
        {x1, y2, 0.0f, 1.0f, c3, 0.0f, 0.0f},
        {x2, y2, 0.0f, 1.0f, c4, 0.0f, 0.0f},
    };
    d3d_buffers_draw2d(&D3D_BUFFERS, v, 4, D3DPT_TRIANGLESTRIP, 2);
}
