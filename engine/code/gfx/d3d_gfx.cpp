// The device wrapper: creation by up to six tries, the lose / reset / restore protocol, the
// frame's begin and end, and D3DCHECK with its table of result names.

#include "engine/code/gfx/d3d_gfx.h"

#include "app/code/app.h"
#include "app/code/opt.h"
#include "engine/code/dbg.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "platform/plat_window.h"

d3d_2d D3D_2D;

// ---------------------------------------------------------------------------------------
// D3DCHECK
// ---------------------------------------------------------------------------------------

struct result_name {
    HRESULT result;
    const char* name;
};

static const result_name result_names[] = {
    {D3D_OK, "D3D_OK"},
    {S_FALSE, "S_FALSE"},
    {D3DERR_WRONGTEXTUREFORMAT, "D3DERR_WRONGTEXTUREFORMAT"},
    {D3DERR_UNSUPPORTEDCOLOROPERATION, "D3DERR_UNSUPPORTEDCOLOROPERATION"},
    {D3DERR_UNSUPPORTEDCOLORARG, "D3DERR_UNSUPPORTEDCOLORARG"},
    {D3DERR_UNSUPPORTEDALPHAOPERATION, "D3DERR_UNSUPPORTEDALPHAOPERATION"},
    {D3DERR_UNSUPPORTEDALPHAARG, "D3DERR_UNSUPPORTEDALPHAARG"},
    {D3DERR_TOOMANYOPERATIONS, "D3DERR_TOOMANYOPERATIONS"},
    {D3DERR_CONFLICTINGTEXTUREFILTER, "D3DERR_CONFLICTINGTEXTUREFILTER"},
    {D3DERR_UNSUPPORTEDFACTORVALUE, "D3DERR_UNSUPPORTEDFACTORVALUE"},
    {D3DERR_CONFLICTINGRENDERSTATE, "D3DERR_CONFLICTINGRENDERSTATE"},
    {D3DERR_UNSUPPORTEDTEXTUREFILTER, "D3DERR_UNSUPPORTEDTEXTUREFILTER"},
    {D3DERR_CONFLICTINGTEXTUREPALETTE, "D3DERR_CONFLICTINGTEXTUREPALETTE"},
    {D3DERR_DRIVERINTERNALERROR, "D3DERR_DRIVERINTERNALERROR"},
    {D3DERR_NOTFOUND, "D3DERR_NOTFOUND"},
    {D3DERR_MOREDATA, "D3DERR_MOREDATA"},
    {D3DERR_DEVICELOST, "D3DERR_DEVICELOST"},
    {D3DERR_DEVICENOTRESET, "D3DERR_DEVICENOTRESET"},
    {D3DERR_NOTAVAILABLE, "D3DERR_NOTAVAILABLE"},
    {D3DERR_INVALIDDEVICE, "D3DERR_INVALIDDEVICE"},
    {D3DERR_INVALIDCALL, "D3DERR_INVALIDCALL"},
    {D3DERR_DRIVERINVALIDCALL, "D3DERR_DRIVERINVALIDCALL"},
    {D3DERR_OUTOFVIDEOMEMORY, "D3DERR_OUTOFVIDEOMEMORY"},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
    {E_INVALIDARG, "E_INVALIDARG"},
    {E_FAIL, "E_FAIL"},
    {E_NOTIMPL, "E_NOTIMPL"},
};

const char* d3d_result_name(HRESULT result)
{
    for (const result_name& r : result_names)
        if (r.result == result)
            return r.name;
    return "unknown";
}

bool d3d_check(HRESULT result, const char* file, int line, const char* timestamp)
{
    if (result == D3D_OK)
        return true;
    dbg_error("\n%s(%d) : %s ****D3DCHECK**** 0x%08x from:%d code:%d %s\n", file, line, timestamp,
              (unsigned)result, (int)((result >> 16) & 0x1FFF), (int)(result & 0xFFFF), d3d_result_name(result));
    if (result > 0)
        return true;
    GFX.d3d_gfx.reset_flag = 1;
    return false;
}

// ---------------------------------------------------------------------------------------
// The 2D layer
// ---------------------------------------------------------------------------------------

bool d3d_2d_setup(d3d_2d* layer, d3d_gfx* g)
{
    layer->gfx = g;
    return true;
}

bool d3d_2d_reset(d3d_2d* layer)
{
    d3d_gfx* g = layer->gfx;
    d3d_2d_clean(layer);
    return d3d_2d_setup(layer, g);
}

void d3d_2d_clean(d3d_2d* layer) {}
void d3d_2d_lose(d3d_2d* layer) {}
bool d3d_2d_restore(d3d_2d* layer) { return true; }

bool d3d_2d_relose(d3d_2d* layer)
{
    d3d_2d_lose(layer);
    return d3d_2d_restore(layer);
}

// ---------------------------------------------------------------------------------------
// Device creation
// ---------------------------------------------------------------------------------------

static const int32_t CHOICE_FULLSCREEN = 1; // the option value of "fullscreen"

static bool fullscreen_chosen(void) { return OPT.window_startup == CHOICE_FULLSCREEN; }

static void set_fullscreen_params(d3d_gfx* g)
{
    D3DPRESENT_PARAMETERS* p = &g->present_params;
    *p = {};
    p->BackBufferWidth = (UINT)OPT.window_width;
    p->BackBufferHeight = (UINT)OPT.window_height;
    p->BackBufferFormat = g->desktop_mode.Format;
    p->BackBufferCount = 1;
    p->MultiSampleType = D3DMULTISAMPLE_NONE;
    p->SwapEffect = D3DSWAPEFFECT_DISCARD;
    p->hDeviceWindow = APP.window;
    p->Windowed = FALSE;
    p->EnableAutoDepthStencil = TRUE;
    p->AutoDepthStencilFormat = D3DFMT_D24S8;
    p->FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
}

static void set_windowed_params(d3d_gfx* g)
{
    D3DPRESENT_PARAMETERS* p = &g->present_params;
    *p = {};
    p->BackBufferFormat = g->desktop_mode.Format;
    p->MultiSampleType = D3DMULTISAMPLE_NONE;
    p->SwapEffect = D3DSWAPEFFECT_DISCARD;
    p->Windowed = TRUE;
    p->EnableAutoDepthStencil = TRUE;
    p->AutoDepthStencilFormat = D3DFMT_D16;
}

static bool try_create(d3d_gfx* g, D3DDEVTYPE type, DWORD behaviour)
{
    return D3DCHECK(g->d3d->lpVtbl->CreateDevice(g->d3d, D3DADAPTER_DEFAULT, type, APP.window, behaviour,
                                                 &g->present_params, &g->device));
}

bool d3d_gfx_create_device(d3d_gfx* g)
{
    if (!D3DCHECK(g->d3d->lpVtbl->GetAdapterDisplayMode(g->d3d, D3DADAPTER_DEFAULT, &g->desktop_mode))) {
        dbg_error("Failed to get desktop mode,\n");
        return false;
    }
    if (fullscreen_chosen()) {
        set_fullscreen_params(g);
        if (try_create(g, D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING))
            return true;
        dbg_warning("Failed to use fullscreen(%dx%d) D3DCREATE_HARDWARE_VERTEXPROCESSING\n",
                    (int)g->present_params.BackBufferWidth, (int)g->present_params.BackBufferHeight);
        if (try_create(g, D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING))
            return true;
        dbg_warning("Failed to use fullscreen(%dx%d) D3DDEVTYPE_HAL\n", (int)g->present_params.BackBufferWidth,
                    (int)g->present_params.BackBufferHeight);
    }
    set_windowed_params(g);
    if (try_create(g, D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING))
        return true;
    dbg_warning("Failed to use windowed D3DCREATE_HARDWARE_VERTEXPROCESSING\n");
    if (try_create(g, D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING))
        return true;
    dbg_warning("Failed to use windowed D3DDEVTYPE_HAL\n");
    if (try_create(g, D3DDEVTYPE_SW, D3DCREATE_SOFTWARE_VERTEXPROCESSING))
        return true;
    dbg_warning("Failed to use windowed software device\n");
    if (try_create(g, D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING))
        return true;
    dbg_error("Failed to create d3d device,\n");
    return false;
}

// ---------------------------------------------------------------------------------------
// Setup, clean and the lose / restore protocol
// ---------------------------------------------------------------------------------------

bool d3d_gfx_setup(d3d_gfx* g)
{
    g->d3d = Direct3DCreate8(D3D_SDK_VERSION);
    if (!g->d3d) {
        dbg_error("Failed to open DirectX 9\n");
        d3d_gfx_clean(g);
        return false;
    }
    if (!d3d_gfx_create_device(g)) {
        d3d_gfx_clean(g);
        return false;
    }
    const char* failure = nullptr;
    if (!d3d_2d_setup(&D3D_2D, g))
        failure = "D3D_2D subsystem failed to initialize,\n";
    else if (!d3d_buffers_setup(&D3D_BUFFERS, g))
        failure = "D3D_VERTEX_BUFFERS subsystem failed to initialize,\n";
    else if (!d3d_dbg_setup(&D3D_DBG, &GFX.d3d_gfx))
        failure = "D3D_DBG subsystem failed to initialize,\n";
    if (failure) {
        dbg_error("%s", failure);
        d3d_gfx_clean(g);
        return false;
    }
    g->reset_flag = 1;
    d3d_gfx_restore(g); // a failure leaves reset_flag set: the first begin scene tries again
    return true;
}

void d3d_gfx_clean(d3d_gfx* g)
{
    d3d_dbg_clean(&D3D_DBG);
    d3d_buffers_clean(&D3D_BUFFERS);
    d3d_2d_clean(&D3D_2D);
    if (g->device) {
        g->device->lpVtbl->Release(g->device);
        g->device = nullptr;
    }
    if (g->d3d) {
        g->d3d->lpVtbl->Release(g->d3d);
        g->d3d = nullptr;
    }
}

bool d3d_gfx_reset(d3d_gfx* g)
{
    d3d_gfx_clean(g);
    return d3d_gfx_setup(g);
}

bool d3d_gfx_restore(d3d_gfx* g)
{
    const char* failure = nullptr;
    if (!d3d_2d_restore(&D3D_2D))
        failure = "D3D_2D subsystem failed to initialize,\n";
    else if (!d3d_buffers_restore(&D3D_BUFFERS))
        failure = "D3D_BUFFERS subsystem failed to initialize,\n";
    else if (!d3d_dbg_restore(&D3D_DBG))
        failure = "D3D_DBG subsystem failed to initialize,\n";
    if (failure) {
        dbg_error("%s", failure);
        d3d_gfx_lose(g);
        return false;
    }
    g->resize_flag = 0;
    g->reset_flag = 0;
    return true;
}

void d3d_gfx_lose(d3d_gfx* g)
{
    d3d_dbg_lose(&D3D_DBG);
    d3d_buffers_lose(&D3D_BUFFERS);
    d3d_2d_lose(&D3D_2D);
    g->reset_flag = 1;
}

bool d3d_gfx_reset_device(d3d_gfx* g)
{
    d3d_gfx_lose(g);
    D3DPRESENT_PARAMETERS* p = &g->present_params;
    if (fullscreen_chosen()) {
        // A windowed creation leaves no device window, so such a device stays windowed.
        if (p->hDeviceWindow && GetForegroundWindow() == p->hDeviceWindow) {
            p->Windowed = FALSE;
            p->BackBufferWidth = (UINT)OPT.window_width;
            p->BackBufferHeight = (UINT)OPT.window_height;
        } else
            p->Windowed = TRUE;
    }
    if (p->Windowed) {
        p->BackBufferWidth = 0;
        p->BackBufferHeight = 0;
    }
    if (!D3DCHECK(g->device->lpVtbl->Reset(g->device, p))) {
        dbg_error("Failed to reset D3D device,\n");
        return false;
    }
    return d3d_gfx_restore(g);
}

// ---------------------------------------------------------------------------------------
// The frame
// ---------------------------------------------------------------------------------------

bool d3d_gfx_begin_scene(d3d_gfx* g)
{
    IDirect3DDevice8* dev = g->device;
    if (!dev)
        return false;
    if ((g->resize_flag || g->reset_flag) && !d3d_gfx_reset_device(g))
        return false;
    // Failures from here on are logged and flag the next frame; this one still draws.
    D3DCHECK(dev->lpVtbl->GetViewport(dev, &g->viewport));
    D3DCHECK(dev->lpVtbl->Clear(dev, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000080, 1.0f, 0));
    D3DCHECK(dev->lpVtbl->BeginScene(dev));
    d3d_state_reset(dev);
    return true;
}

void d3d_gfx_end_scene(d3d_gfx* g)
{
    IDirect3DDevice8* dev = g->device;
    if (!dev)
        return;
    D3DCHECK(dev->lpVtbl->EndScene(dev));
    D3DCHECK(dev->lpVtbl->Present(dev, nullptr, nullptr, nullptr, nullptr));
    d3d_buffers_rewind(&D3D_BUFFERS);
}
