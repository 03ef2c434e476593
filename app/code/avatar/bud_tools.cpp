// The avatar editor's render tools: series of small paletted PNG images with a transparent
// background (one per output size, per animation frame, per animation, and a batch of
// random avatars), and the three image routines they share. A tool runs all at once inside
// the editor's frame-end update and blocks the frame while it works.
//
// Sections: image routines; names and saving; variants; tools.

#include "app/code/avatar/bud_tools.h"

#include <IL/il.h>
#include <IL/ilu.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>

#include "app/code/app.h"
#include "app/code/avatar/bud_test.h"
#include "app/code/input.h"
#include "engine/code/dbg.h"
#include "engine/code/file_dialog.h"
#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/avatar_render.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/soul.h"
#include "engine/code/gfx/xsx.h"
#include "platform/plat_window.h"

// ---- image routines ----

// The bound image's pixels as BGRA bytes (ARGB words), malloc'ed; null when it has none.
static uint32_t* read_pixels(int32_t* w, int32_t* h)
{
    *w = ilGetInteger(IL_IMAGE_WIDTH);
    *h = ilGetInteger(IL_IMAGE_HEIGHT);
    if (*w <= 0 || *h <= 0)
        return NULL;
    size_t bytes = (size_t)*w * (size_t)*h * 4;
    uint32_t* pixels = (uint32_t*)malloc(bytes);
    ILubyte* data = ilGetData();
    if (pixels && data && ilGetInteger(IL_IMAGE_FORMAT) == IL_BGRA && ilGetInteger(IL_IMAGE_TYPE) == IL_UNSIGNED_BYTE &&
        ilGetInteger(IL_IMAGE_DEPTH) == 1) {
        memcpy(pixels, data, bytes);
        return pixels;
    }
    if (pixels && !ilCopyPixels(0, 0, 0, (ILuint)*w, (ILuint)*h, 1, IL_BGRA, IL_UNSIGNED_BYTE, pixels)) {
        free(pixels);
        return NULL;
    }
    return pixels;
}

static void clear_il_errors(void)
{
    while (ilGetError() != IL_NO_ERROR) {
    }
}

bool bud_test_output_image(uint32_t src, uint32_t dst, int32_t w, int32_t h)
{
    ilBindImage(src);
    int32_t W, H;
    uint32_t* pixels = read_pixels(&W, &H);
    ilBindImage(dst);
    if (w <= 0 || h <= 0 || !ilTexImage((ILuint)w, (ILuint)h, 1, 4, IL_BGRA, IL_UNSIGNED_BYTE, NULL)) {
        clear_il_errors();
        free(pixels);
        dbg_warning("Failed to create output image.\n");
        return false;
    }
    uint32_t* out = (uint32_t*)ilGetData();
    for (int32_t y = 0; y < h; y++) {
        // A box never shrinks below one pixel, so enlarging repeats pixels instead of
        // leaving empty rows and columns between them.
        int32_t y0 = (int32_t)((int64_t)y * H / h), y1 = (int32_t)((int64_t)(y + 1) * H / h);
        if (y1 <= y0)
            y1 = y0 + 1;
        if (y1 > H)
            y1 = H;
        for (int32_t x = 0; x < w; x++) {
            int32_t x0 = (int32_t)((int64_t)x * W / w), x1 = (int32_t)((int64_t)(x + 1) * W / w);
            if (x1 <= x0)
                x1 = x0 + 1;
            if (x1 > W)
                x1 = W;
            uint32_t sum[4] = {0, 0, 0, 0};
            uint32_t n = 0;
            for (int32_t sy = y0; pixels && sy < y1; sy++)
                for (int32_t sx = x0; sx < x1; sx++, n++) {
                    uint32_t p = pixels[(size_t)sy * W + sx];
                    for (int c = 0; c < 4; c++)
                        sum[c] += (p >> (8 * c)) & 0xFF;
                }
            uint32_t result = 0;
            for (int c = 0; n && c < 4; c++) {
                uint32_t v = sum[c] / n;
                result |= (v > 255 ? 255 : v) << (8 * c);
            }
            out[(size_t)y * w + x] = result;
        }
    }
    free(pixels);
    return true;
}

void bud_test_image_bounds(uint32_t image, int32_t* x0, int32_t* y0, int32_t* width, int32_t* height)
{
    ilBindImage(image);
    int32_t W, H;
    uint32_t* pixels = read_pixels(&W, &H);
    int32_t top = H, bottom = -1, left = W, right = -1;
    for (int32_t y = 0; pixels && y < H; y++)
        for (int32_t x = 0; x < W; x++)
            if (pixels[(size_t)y * W + x] >> 24) {
                if (y < top)
                    top = y;
                bottom = y;
                if (x < left)
                    left = x;
                if (x > right)
                    right = x;
            }
    free(pixels);
    if (top >= H || left >= W) {
        *x0 = *y0 = 0;
        *width = W > 0 ? W : 0;
        *height = H > 0 ? H : 0;
        return;
    }
    *x0 = left;
    *y0 = top;
    *width = right - left + 1;
    *height = bottom - top + 1;
}

enum { BUD_OPAQUE = 0xF8 };

// Moves the palette up one entry and makes entry 0 the grey of the transparent background.
static void shift_palette(void)
{
    int32_t count = ilGetInteger(IL_PALETTE_NUM_COLS);
    int32_t bpp = ilGetInteger(IL_PALETTE_BPP);
    ILenum type = (ILenum)ilGetInteger(IL_PALETTE_TYPE);
    ILubyte* old = ilGetPalette();
    if (bpp <= 0 || bpp > 4 || count <= 0 || !old)
        return;
    ILubyte pal[256 * 4];
    memset(pal, 0, sizeof pal);
    int32_t kept = count < 255 ? count : 255;
    memcpy(pal + bpp, old, (size_t)kept * bpp);
    for (int32_t c = 0; c < bpp; c++)
        pal[c] = c < 3 ? 128 : 255;
    ilRegisterPal(pal, (ILuint)(256 * bpp), type);
}

void bud_test_palettise(uint32_t src, uint32_t dst)
{
    ilBindImage(dst);
    ilCopyImage(src);
    if (ilGetError() != IL_NO_ERROR) {
        clear_il_errors();
        return;
    }
    ilConvertImage(IL_BGRA, IL_UNSIGNED_BYTE);
    int32_t w = ilGetInteger(IL_IMAGE_WIDTH), h = ilGetInteger(IL_IMAGE_HEIGHT);
    size_t n = (size_t)(w > 0 ? w : 0) * (size_t)(h > 0 ? h : 0);
    uint8_t* alpha = (uint8_t*)malloc(n ? n : 1);
    uint32_t* px = (uint32_t*)ilGetData();
    if (!alpha || !px) {
        free(alpha);
        return;
    }
    // Faint pixels go black so the quantiser spends no colours on them.
    for (size_t i = 0; i < n; i++) {
        alpha[i] = (uint8_t)(px[i] >> 24);
        if (alpha[i] < BUD_OPAQUE)
            px[i] &= 0xFF000000u;
    }
    ilSetInteger(IL_QUANTIZATION_MODE, IL_WU_QUANT);
    ilSetInteger(IL_MAX_QUANT_INDEXS, 255);
    ilConvertImage(IL_COLOUR_INDEX, IL_BYTE);
    if (ilGetError() != IL_NO_ERROR) {
        clear_il_errors();
        ilSetInteger(IL_MAX_QUANT_INDEXS, 256);
        free(alpha);
        return;
    }
    ILubyte* index = ilGetData();
    for (size_t i = 0; index && i < n; i++)
        index[i] = alpha[i] < BUD_OPAQUE ? 0 : (ILubyte)(index[i] < 255 ? index[i] + 1 : 255);
    shift_palette();
    ilSetInteger(IL_MAX_QUANT_INDEXS, 256);
    free(alpha);
}

// ---- names and saving ----

void bud_test_base_name(char out[FILE_DIALOG_PATH_CHARS], const char* path)
{
    snprintf(out, FILE_DIALOG_PATH_CHARS, "%s", path ? path : "");
    out[FILE_DIALOG_PATH_CHARS - 1] = '\0';
    char* start = out;
    for (char* p = out; *p; p++)
        if (*p == '\\' || *p == '/')
            start = p + 1;
    for (char* p = start; *p; p++)
        if ((*p >= '0' && *p <= '9') || *p == '.') {
            *p = '\0';
            break;
        }
}

// Palette entry 0 is written as the transparent colour.
static void save_png(uint32_t image, const char* name)
{
    dbg_print("Saving %s\n", name);
    ilBindImage(image);
    ilSetInteger(IL_PNG_ALPHA_INDEX, 0);
    ilSave(IL_PNG, name);
    ilSetInteger(IL_PNG_ALPHA_INDEX, -1);
    clear_il_errors(); // save errors are not examined
}

// ---- variants ----

struct bud_images {
    ILuint render, work, output;
    int32_t size; // R: the side of the render that worked, 0 when none did
};

static bool render(bud_test* b, bud_images* im)
{
    avatar_update(b->avatar);
    ilBindImage(im->render);
    for (int32_t size : {400, 200, 100})
        if (avatar_render_image(b->avatar, size)) {
            im->size = size;
            return true;
        }
    im->size = 0;
    return false;
}

static void variant_plain(bud_images* im, int32_t s, const char* name)
{
    if (!bud_test_output_image(im->render, im->work, s, s))
        return;
    bud_test_palettise(im->work, im->output);
    save_png(im->output, name);
}

// Crops the bound image. Under the shell's top-row-first origin the library crops an image
// stored bottom row first by reading it top first, so its rows come back reversed; they are
// turned back so the cropped picture stands as the source did.
static bool crop(ILuint x, ILuint y, ILuint w, ILuint h)
{
    bool reversed = ilIsEnabled(IL_ORIGIN_SET) && ilGetInteger(IL_ORIGIN_MODE) != ilGetInteger(IL_IMAGE_ORIGIN);
    if (!iluCrop(x, y, 0, w, h, 1))
        return false;
    if (reversed)
        iluFlipImage();
    return true;
}

static void variant_closeup(bud_images* im, int32_t s, const char* name)
{
    if (!bud_test_output_image(im->render, im->work, 2 * s, 2 * s))
        return;
    ilBindImage(im->work);
    crop((ILuint)(s / 2), (ILuint)(s / 2), (ILuint)s, (ILuint)s);
    bud_test_palettise(im->work, im->output);
    ilBindImage(im->output);
    iluMirror();
    save_png(im->output, name);
}

// The smallest square around what the render covers, kept inside the render.
static void square_bounds(uint32_t image, int32_t R, int32_t* x0, int32_t* y0, int32_t* w, int32_t* h)
{
    bud_test_image_bounds(image, x0, y0, w, h);
    if (*w > *h) {
        *y0 -= (*w - *h) / 2;
        *h = *w;
    } else {
        *x0 -= (*h - *w) / 2;
        *w = *h;
    }
    if (*x0 < 0)
        *x0 = 0;
    if (*y0 < 0)
        *y0 = 0;
    if (*x0 + *w > R)
        *x0 = R - *w;
    if (*y0 + *h > R)
        *y0 = R - *h;
}

// Crops the image to the square around the avatar and scales it to s; false when either fails.
static bool zoom(uint32_t image, int32_t R, int32_t s)
{
    int32_t x0, y0, w, h;
    square_bounds(image, R, &x0, &y0, &w, &h);
    ilBindImage(image);
    if (x0 < 0 || y0 < 0 || R - y0 - h < 0 || !crop((ILuint)x0, (ILuint)(R - y0 - h), (ILuint)w, (ILuint)h) ||
        !iluScale((ILuint)s, (ILuint)s, 1)) {
        clear_il_errors();
        return false;
    }
    return true;
}

static void variant_zoomed(bud_images* im, uint32_t source, int32_t s, const char* name)
{
    if (source != im->work) {
        ilBindImage(im->work);
        ilCopyImage(source);
    }
    if (!zoom(im->work, im->size, s))
        return;
    bud_test_palettise(im->work, im->output);
    ilBindImage(im->output);
    iluMirror();
    save_png(im->output, name);
}

// ---- tools ----

static void set_filter(bud_images* im, ILenum filter)
{
    ilBindImage(im->work);
    iluImageParameter(ILU_FILTER, filter);
}

static void save_sizes(bud_test* b, bud_images* im, const char* base)
{
    if (!render(b, im))
        return;
    set_filter(im, ILU_BILINEAR);
    char name[FILE_DIALOG_PATH_CHARS + 32];
    for (int32_t s : {200, 100, 80, 64, 50}) {
        snprintf(name, sizeof name, "%s%03d.png", base, s);
        variant_plain(im, s, name);
        snprintf(name, sizeof name, "%s%03dc.png", base, s);
        variant_closeup(im, s, name);
        snprintf(name, sizeof name, "%s%03dz.png", base, s);
        variant_zoomed(im, im->render, s, name);
    }
}

static float bud_anim_frame_time(int64_t frame) { return (float)((double)frame * 0.05); }

int64_t bud_test_anim_frames(float length)
{
    // Frame k stands at k / 20 seconds; counted, not summed, so a long animation cannot
    // stall a float clock that no longer grows by 0.05.
    if (!(length > 0.0f) || !isfinite(length))
        return 0;
    double n = ceil((double)length * 20.0);
    if (n >= 9.0e18)
        return INT64_MAX;
    // The layer's clock is a float: count exactly the frames whose clock is below the end.
    int64_t k = (int64_t)n;
    while (k > 0 && bud_anim_frame_time(k - 1) >= length)
        k--;
    while (bud_anim_frame_time(k) < length)
        k++;
    return k;
}

static void save_anim(bud_test* b, bud_images* im, const char* base)
{
    avatar_layer* layer = &b->avatar->layers[0];
    char name[FILE_DIALOG_PATH_CHARS + 32];
    set_filter(im, ILU_BILINEAR);
    int64_t frames = layer->slot && layer->slot->anim ? bud_test_anim_frames(xsx_length(layer->slot->anim)) : 0;
    for (int64_t frame = 0; frame < frames; frame++) {
        layer->time = bud_anim_frame_time(frame);
        if (render(b, im)) {
            snprintf(name, sizeof name, "%s%03d_%03lld.png", base, 100, (long long)frame);
            variant_plain(im, 100, name);
        }
    }
}

static void save_moods(bud_test* b, bud_images* im, const char* base)
{
    int32_t n = b->render_size;
    char name[FILE_DIALOG_PATH_CHARS + 64];
    set_filter(im, ILU_BILINEAR);
    for (int32_t i = 0; i < AVATAR_ANIM_COUNT; i++) {
        b->avatar->layers[0].slot = &b->gfx->avatars.anims[i];
        if (!render(b, im))
            continue;
        const char* anim = avatar_anim_name(i);
        if (b->render_z) {
            snprintf(name, sizeof name, "%s%03dz%s.png", base, n, anim);
            // The render itself is cropped and scaled in place.
            if (zoom(im->render, im->size, n)) {
                bud_test_palettise(im->render, im->output);
                ilBindImage(im->output);
                iluMirror();
                save_png(im->output, name);
            }
        } else if (!b->render_c) {
            snprintf(name, sizeof name, "%s%03d_%s.png", base, n, anim);
            variant_plain(im, n, name);
        } else {
            snprintf(name, sizeof name, "%s%03dc%s.png", base, n, anim);
            variant_closeup(im, n, name);
        }
    }
}

static void save_randoms(bud_test* b, bud_images* im)
{
    dbg_print("This is a test randomizer output function, you probably shouldnt be doing this :).\n");
    dbg_print("Rendering, will take a long long long time.\n");
    // The batch goes through 128 random souls; the one being edited is put back afterwards.
    float sex = b->sex;
    avatar_soul* soul = b->avatar->soul;
    avatar_soul* edited = soul ? (avatar_soul*)malloc(sizeof *edited) : NULL;
    if (edited)
        *edited = *soul;
    char raw[64], base[FILE_DIALOG_PATH_CHARS], name[FILE_DIALOG_PATH_CHARS + 32];
    for (char c1 = 'A'; c1 <= 'H'; c1++)
        for (char c2 = 'A'; c2 <= 'P'; c2++) {
            b->sex = rand() % 2 == 0 ? -1.0f : 1.0f;
            bud_test_randomize(b);
            ilBindImage(im->render);
            ilEnable(IL_FILE_OVERWRITE);
            avatar_layer* l = b->avatar->layers;
            l[0].slot = &b->gfx->avatars.anims[b->anim_current];
            l[0].weight = 1.0f;
            l[0].time = 0.0f;
            l[1].slot = NULL;
            render(b, im);
            snprintf(raw, sizeof raw, "local/rendered/random_%c_%c_", c1, c2);
            bud_test_base_name(base, raw);
            set_filter(im, ILU_LINEAR);
            snprintf(name, sizeof name, "%s%03d.png", base, 100);
            variant_plain(im, 100, name);
            if (bud_test_output_image(im->render, im->work, 100, 100)) {
                ilBindImage(im->work);
                crop(25, 25, 50, 50);
                bud_test_palettise(im->work, im->output);
                ilBindImage(im->output);
                iluMirror();
                snprintf(name, sizeof name, "%s%03dc.png", base, 50);
                save_png(im->output, name);
            }
            snprintf(name, sizeof name, "%s%03dz.png", base, 100);
            variant_zoomed(im, im->render, 100, name);
        }
    b->sex = sex;
    if (edited && b->avatar->soul == soul) {
        list_node link = soul->link;
        *soul = *edited;
        soul->link = link;
        avatar_free_parts(b->avatar);
        avatar_load_parts(b->avatar);
        bud_test_refresh_faces(b);
    }
    free(edited);
}

static void front(HWND window)
{
    if (window)
        SetForegroundWindow(window);
}

static const char RENDERING[] = "Rendering, this may take a little while.\n";

void bud_test_run_tool(bud_test* b, int32_t id)
{
    if (id != BTN_SavePNG && id != BTN_SaveAnim && id != BTN_SaveMoods && id != BTN_RandomSave)
        return;
    if (!b->avatar)
        return;
    bud_images im;
    memset(&im, 0, sizeof im);
    ILuint names[3];
    ilGenImages(3, names);
    im.render = names[0];
    im.work = names[1];
    im.output = names[2];
    ilBindImage(im.render);
    ilEnable(IL_FILE_OVERWRITE);

    avatar_layer* l = b->avatar->layers;
    l[0].weight = 1.0f;
    l[0].time = 0.0f;
    l[1].slot = NULL;

    char base[FILE_DIALOG_PATH_CHARS];
    bool chosen = true;
    if (id != BTN_RandomSave) {
        if (id == BTN_SaveMoods)
            dbg_print(RENDERING);
        const char* path =
            file_dialog_save("Select base name of PNG output", "local/rendered/test.png", "*.PNG");
        chosen = path != NULL;
        if (chosen)
            bud_test_base_name(base, path);
    }
    if (chosen) {
        front(APP.console_window);
        if (id != BTN_SaveMoods)
            dbg_print(RENDERING);
        if (id == BTN_SavePNG)
            save_sizes(b, &im, base);
        else if (id == BTN_SaveAnim)
            save_anim(b, &im, base);
        else if (id == BTN_SaveMoods)
            save_moods(b, &im, base);
        else
            save_randoms(b, &im);
        front(APP.window);
    }
    ilDeleteImages(3, names);
    clear_il_errors();
    bud_test_after_dialog(b->gfx, &INPUT);
}
