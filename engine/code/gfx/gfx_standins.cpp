// Weak stand-ins for the graphics modules the root sets up but other modules build (bitmaps,
// textures, cut maps, meshes, animations, avatars, fonts, bubbles, the console), and for the
// window layer's foreground window. Each real (strong) definition replaces its stand-in at
// link time; delete the stand-in with it.

#include <IL/il.h>

#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/gfx.h"
#include "platform/win_types.h"

#define STANDIN __attribute__((weak))

struct d3d_gfx;

STANDIN bool bmps_setup(bmps_pool* p, gfx* root)
{
    p->root = root;
    return true;
}
STANDIN void bmps_clean(bmps_pool* p) {}

STANDIN bool bmps_get_info(uint32_t image, bmip* info)
{
    *info = {};
    ilBindImage(image);
    ILint format = ilGetInteger(IL_IMAGE_FORMAT);
    if (ilGetInteger(IL_IMAGE_TYPE) != IL_UNSIGNED_BYTE || (format != IL_LUMINANCE && format != IL_BGRA)) {
        if (!ilConvertImage(IL_BGRA, IL_UNSIGNED_BYTE))
            return false;
        format = IL_BGRA;
    }
    info->format = format == IL_LUMINANCE ? 7 : 5;
    info->w = ilGetInteger(IL_IMAGE_WIDTH);
    info->h = ilGetInteger(IL_IMAGE_HEIGHT);
    info->d = 1;
    info->bytes_per_pixel = info->format == 5 ? 4 : 1;
    info->row_bytes = info->bytes_per_pixel * info->w;
    info->size = info->row_bytes * info->h;
    info->data = ilGetData();
    return info->data != nullptr;
}

STANDIN uint32_t bmps_load_image(const char* name, int32_t format, bmip* info)
{
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    bool ok = ilLoadImage(name) == IL_TRUE;
    if (ok && format == 5)
        ok = ilConvertImage(IL_BGRA, IL_UNSIGNED_BYTE) == IL_TRUE;
    else if (ok && format == 7)
        ok = ilConvertImage(IL_LUMINANCE, IL_UNSIGNED_BYTE) == IL_TRUE;
    bmip local;
    ok = ok && bmps_get_info(image, info ? info : &local);
    if (!ok) {
        ilDeleteImages(1, &image);
        while (ilGetError() != IL_NO_ERROR) {
        }
        if (info)
            *info = {};
        return 0;
    }
    return image;
}

STANDIN bool bmps_convert_image(uint32_t image)
{
    ilBindImage(image);
    return ilConvertImage(IL_BGRA, IL_UNSIGNED_BYTE) == IL_TRUE;
}

STANDIN void bmps_delete_image(uint32_t image)
{
    ILuint id = image;
    ilDeleteImages(1, &id);
}

STANDIN bool txts_setup(txts_pool* p, gfx* root) { return true; }
STANDIN void txts_clean(txts_pool* p) {}
STANDIN bool cmps_setup(cmps_pool* p, gfx* root) { return true; }
STANDIN void cmps_clean(cmps_pool* p) {}
STANDIN bool xoxs_setup(xoxs* m) { return true; }
STANDIN void xoxs_clean(xoxs* m) {}
STANDIN bool xsxs_setup(xsxs* m) { return true; }
STANDIN void xsxs_clean(xsxs* m) {}
STANDIN bool avatars_setup(avatars* m) { return true; }
STANDIN void avatars_clean(avatars* m) {}

STANDIN bool d3d_dbg_setup(d3d_dbg* console, d3d_gfx* g) { return true; }
STANDIN void d3d_dbg_clean(d3d_dbg* console) {}
STANDIN bool d3d_dbg_restore(d3d_dbg* console) { return true; }
STANDIN void d3d_dbg_lose(d3d_dbg* console) {}
STANDIN void d3d_dbg_draw_text(const char* text, float x, float y, float scale) {}

STANDIN HWND GetForegroundWindow(void) { return nullptr; }
