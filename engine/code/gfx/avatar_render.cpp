// Avatar render to image: an orthographic camera looking at a 200-unit square around the
// avatar's middle, one white directional light, a transparent clear, and a read-back of the
// lockable render target into the bound image.

#include "engine/code/gfx/avatar_render.h"

#include <IL/il.h>
#include <string.h>

#include "engine/code/dbg.h"
#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/maths.h"

// The surfaces taken during one render; each is released at the clean-up if held.
struct render_surfaces {
    IDirect3DSurface8* target;
    IDirect3DSurface8* depth;
    IDirect3DSurface8* old_target;
    IDirect3DSurface8* old_depth;
    bool locked;
};

static void set_camera_and_light(IDirect3DDevice8* device)
{
    D3DMATRIX m;
    memset(&m, 0, sizeof m);
    m.m[0][0] = m.m[1][1] = m.m[2][2] = m.m[3][3] = 1.0f;
    m.m[3][2] = 1024.0f;
    D3DCHECK(IDirect3DDevice8_SetTransform(device, D3DTS_VIEW, &m));
    // World x and y from -100 to 100 fill the square; z from -1024 to 1024 maps to 0..1.
    memset(&m, 0, sizeof m);
    m.m[0][0] = 0.01f;
    m.m[1][1] = 0.01f;
    m.m[2][2] = 1.0f / 2048.0f;
    m.m[3][3] = 1.0f;
    D3DCHECK(IDirect3DDevice8_SetTransform(device, D3DTS_PROJECTION, &m));

    const float inv_root6 = 0.40824829f; // (1, -1, 2) made unit length
    D3DCHECK(d3d_state_white_light(device, inv_root6, -inv_root6, 2.0f * inv_root6));
    D3DCHECK(IDirect3DDevice8_LightEnable(device, 0, TRUE));
}

static void place_avatar(avatar* a)
{
    if (!a->base.anim)
        return;
    transform t;
    t.position = {0.0f, -93.75f, 0.0f};
    t.orientation = {0.0f, 0.0f, 0.0f, 1.0f};
    t.scale = {87.5f, 87.5f, 87.5f};
    mat4_from_transform(&a->base.anim->matrix, &t);
}

// Surface row y goes to image row size-1-y, each pixel's four bytes unchanged.
static bool copy_to_image(const D3DLOCKED_RECT* locked, int32_t size)
{
    if (!ilTexImage((ILuint)size, (ILuint)size, 1, 4, IL_BGRA, IL_UNSIGNED_BYTE, NULL) ||
        ilGetError() != IL_NO_ERROR) {
        dbg_warning("Failed to create output image.\n");
        return false;
    }
    ILubyte* data = ilGetData();
    if (!data) {
        dbg_warning("Failed to create output image.\n");
        return false;
    }
    const uint8_t* src = (const uint8_t*)locked->pBits;
    for (int32_t y = 0; y < size; y++)
        memcpy(data + (size_t)(size - 1 - y) * size * 4, src + (size_t)y * locked->Pitch, (size_t)size * 4);
    return true;
}

static bool render_into(IDirect3DDevice8* device, avatar* a, int32_t size, render_surfaces* s)
{
    if (!D3DCHECK(IDirect3DDevice8_CreateRenderTarget(device, size, size, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE,
                                                     TRUE, &s->target)) &&
        !D3DCHECK(IDirect3DDevice8_CreateRenderTarget(device, size, size, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE,
                                                     TRUE, &s->target))) {
        dbg_warning("Failed to create render surface.\n");
        return false;
    }
    if (!D3DCHECK(IDirect3DDevice8_CreateDepthStencilSurface(device, size, size, D3DFMT_D16, D3DMULTISAMPLE_NONE,
                                                            &s->depth))) {
        dbg_warning("Failed to create depth surface.\n");
        return false;
    }
    if (!D3DCHECK(IDirect3DDevice8_GetRenderTarget(device, &s->old_target))) {
        dbg_warning("Failed to get old render surface.\n");
        return false;
    }
    if (!D3DCHECK(IDirect3DDevice8_GetDepthStencilSurface(device, &s->old_depth))) {
        dbg_warning("Failed to get old depth surface.\n");
        return false;
    }
    if (!D3DCHECK(IDirect3DDevice8_SetRenderTarget(device, s->target, s->depth))) {
        dbg_warning("Failed to replace old render surface.\n");
        return false;
    }
    D3DCHECK(IDirect3DDevice8_Clear(device, 0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0));
    D3DCHECK(IDirect3DDevice8_BeginScene(device)); // a failure here does not stop the render
    d3d_state_reset(device);
    d3d_state_set_zwrite(device, true);
    d3d_state_set_ambient(device, 0xFF606060);
    set_camera_and_light(device);

    avatar_update(a);
    place_avatar(a);
    avatar_draw(a);
    D3DCHECK(IDirect3DDevice8_EndScene(device));

    D3DLOCKED_RECT locked;
    if (!D3DCHECK(IDirect3DSurface8_LockRect(s->target, &locked, NULL, D3DLOCK_READONLY))) {
        dbg_warning("Failed to lock surface.\n");
        return false;
    }
    s->locked = true;
    return copy_to_image(&locked, size);
}

static void release(IDirect3DSurface8* surface)
{
    if (surface)
        IDirect3DSurface8_Release(surface);
}

bool avatar_render_image(avatar* a, int32_t size)
{
    IDirect3DDevice8* device = GFX.d3d_gfx.device;
    if (!a || !device || size <= 0)
        return false;
    render_surfaces s;
    memset(&s, 0, sizeof s);
    bool ok = render_into(device, a, size, &s);

    if (s.locked)
        IDirect3DSurface8_UnlockRect(s.target);
    if ((s.old_target || s.old_depth) &&
        !D3DCHECK(IDirect3DDevice8_SetRenderTarget(device, s.old_target, s.old_depth)))
        dbg_warning("Failed to replace old render surface.\n");
    release(s.old_target);
    release(s.target);
    release(s.old_depth);
    release(s.depth);
    return ok;
}
