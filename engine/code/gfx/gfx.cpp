// The graphics root: sets up its members in order, cleans them in reverse, and brackets each
// drawn frame.

#include "engine/code/gfx/gfx.h"

#include "engine/code/dbg.h"

gfx GFX;

bool gfx_setup(gfx* root)
{
    const char* failure = nullptr;
    if (!d3d_gfx_setup(&root->d3d_gfx))
        failure = "GFX.D3D_GFX subsystem failed to initialize,\n";
    else if (!bmps_setup(&root->bmps_pool, root))
        failure = "GFX.BMPs subsystem failed to initialize,\n";
    else if (!txts_setup(&root->txts_pool, root))
        failure = "GFX.TXTs subsystem failed to initialize,\n";
    else if (!cmps_setup(&root->cmps_pool, root))
        failure = "GFX.CMPs subsystem failed to initialize,\n";
    else if (!xoxs_setup(&root->xoxs))
        failure = "GFX.XOXS subsystem failed to initialize,\n";
    else if (!xsxs_setup(&root->xsxs))
        failure = "GFX.XSXS subsystem failed to initialize,\n";
    else if (!avatars_setup(&root->avatars))
        failure = "GFX.Avatars subsystem failed to initialize,\n";
    else if (!fonts_setup(root))
        failure = "GFX.Font subsystem failed to initialize,\n";
    else if (!bubs_setup(&root->bubs, root))
        failure = "GFX.Bubs subsystem failed to initialize,\n";
    if (!failure)
        return true;
    dbg_error("%s", failure);
    gfx_clean(root);
    return false;
}

void gfx_clean(gfx* root)
{
    bubs_clean(&root->bubs);
    fonts_clean(root);
    avatars_clean(&root->avatars);
    xsxs_clean(&root->xsxs);
    xoxs_clean(&root->xoxs);
    cmps_clean(&root->cmps_pool);
    txts_clean(&root->txts_pool);
    bmps_clean(&root->bmps_pool);
    d3d_gfx_clean(&root->d3d_gfx);
}

bool gfx_reset(gfx* root)
{
    gfx_clean(root);
    return gfx_setup(root);
}

bool gfx_begin_scene(gfx* root)
{
    if (!d3d_gfx_begin_scene(&root->d3d_gfx))
        return false;
    root->screen_width = (int32_t)root->d3d_gfx.viewport.Width;
    root->screen_height = (int32_t)root->d3d_gfx.viewport.Height;
    return true;
}

void gfx_end_scene(gfx* root) { d3d_gfx_end_scene(&root->d3d_gfx); }
