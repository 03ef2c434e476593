// Bitmaps: the manager and its records, the checked image-library wrappers, the image-pair
// and palette rules of the loader, and the BGRA fill and copy.
//
// Sections: error discipline, wrappers, loader, manager, pixels.

#include "engine/code/gfx/bmps.h"

#include <IL/il.h>
#include <IL/ilu.h>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <strings.h>
#include <sys/stat.h>

#include "engine/code/dbg.h"
#include "platform/plat_fs.h"

// ---- error discipline ------------------------------------------------------------------

// Logs the failed call with the text of code, deletes what the wrapper made and logs every
// further pending code.
static bool il_report(const char* message, ILenum code, uint32_t* made)
{
    dbg_error(message, iluErrorString(code));
    if (made && *made) {
        ILuint id = *made;
        ilDeleteImages(1, &id);
        *made = 0;
    }
    while ((code = ilGetError()) != IL_NO_ERROR)
        dbg_error("ILERROR %s\n", iluErrorString(code));
    return false;
}

bool bmps_il_check(const char* message, uint32_t* made)
{
    ILenum code = ilGetError();
    return code == IL_NO_ERROR || il_report(message, code, made);
}

// Clears the error list without a word (for calls whose failure means nothing to report).
static void il_drain(void)
{
    while (ilGetError() != IL_NO_ERROR) {
    }
}

// ---- wrappers --------------------------------------------------------------------------

static const char MSG_GEN[] = "Failed to ilGenImages(NUMOF(ilid),ilid) : %s \n";
static const char MSG_BIND_NEW[] = "Failed to ilBindImage(ilid[0]) : %s \n";
static const char MSG_TO_BGRA[] = "Failed to ilConvertImage(IL_BGRA,IL_UNSIGNED_BYTE) : %s \n";
static const char MSG_TO_LUM[] = "Failed to ilConvertImage(IL_LUMINANCE,IL_UNSIGNED_BYTE) : %s \n";

// A new image name, bound. 0 on failure (logged).
static uint32_t il_new_image(void)
{
    ILuint id = 0;
    ilGenImages(1, &id);
    uint32_t made = id;
    if (!bmps_il_check(MSG_GEN, &made))
        return 0;
    ilBindImage(made);
    if (!bmps_il_check(MSG_BIND_NEW, &made))
        return 0;
    return made;
}

uint32_t bmps_create_image(int32_t format, int32_t w, int32_t h, int32_t d)
{
    bool lum = format == BMIP_LUMINANCE;
    const char* msg = lum ? "Failed to ilTexImage(w,h,d,1,IL_LUMINANCE,IL_UNSIGNED_BYTE,0) : %s \n"
                          : "Failed to ilTexImage(w,h,d,4,IL_BGRA,IL_UNSIGNED_BYTE,0) : %s \n";
    uint32_t made = il_new_image();
    if (!made)
        return 0;
    // The library sizes its buffer in 32 bits without checking: refuse sizes it would wrap.
    int64_t bytes = (int64_t)w * h * d * (lum ? 1 : 4);
    if (w < 1 || h < 1 || d < 1 || bytes > 0x7FFFFFFF) {
        il_report(msg, IL_INVALID_PARAM, &made);
        return 0;
    }
    ilTexImage(w, h, d, lum ? 1 : 4, lum ? IL_LUMINANCE : IL_BGRA, IL_UNSIGNED_BYTE, nullptr);
    if (!bmps_il_check(msg, &made))
        return 0;
    // The library leaves new pixels as they come from the heap; start from zero.
    ILubyte* pixels = ilGetData();
    if (pixels)
        memset(pixels, 0, (size_t)bytes);
    il_drain();
    return made;
}

static void bmip_clear(bmip* info)
{
    if (info)
        memset(info, 0, sizeof(*info));
}

// The image library trusts the files it reads. Its PNG and JPEG readers never return on some
// damaged files (a chunk or marker segment running past the end, also after the scan data),
// and it sizes its pixel buffer in 32 bits, so a small file declaring a huge image makes the
// decoder write past the buffer. So every file that starts as a PNG or a JPEG (the library
// goes by the content when the extension says nothing) is walked first: every PNG chunk up to
// the end chunk and every JPEG marker segment up to the end of the file must lie inside it, and
// the declared size must be within the limits of bmps.h. A JPEG cut inside its scan data is left
// to the library, which stops there and reports it; so is any other kind of file.

bool bmps_size_allowed(uint64_t w, uint64_t h, uint64_t cell_bytes)
{
    // Both sides are bounded before they are multiplied: no product can wrap.
    return w >= 1 && h >= 1 && w <= BMPS_MAX_SIDE && h <= BMPS_MAX_SIDE && w * h * cell_bytes <= BMPS_MAX_BYTES;
}

static uint32_t be32(const uint8_t* p)
{
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

// The first chunk must be a 13-byte header whose size is allowed.
static bool bmps_png_whole(FILE* f, uint64_t size)
{
    uint8_t ihdr[16];
    if (fseek(f, 8, SEEK_SET) != 0 || fread(ihdr, 1, 16, f) != 16 || be32(ihdr) != 13 ||
        memcmp(ihdr + 4, "IHDR", 4) != 0 || !bmps_size_allowed(be32(ihdr + 8), be32(ihdr + 12), 4))
        return false;
    uint64_t at = 8;
    uint8_t head[8];
    while (at + 12 <= size && fseek(f, (long)at, SEEK_SET) == 0 && fread(head, 1, 8, f) == 8) {
        uint64_t len = be32(head);
        if (at + 12 + len > size)
            return false;
        if (memcmp(head + 4, "IEND", 4) == 0)
            return true;
        at += 12 + len;
    }
    return false;
}

// Skips entropy-coded data after a scan: up to the next marker that is not a stuffed byte or
// a restart. The marker's code, or EOF at the end of the file.
static int jpeg_skip_scan(FILE* f)
{
    for (;;) {
        int c = fgetc(f);
        if (c == EOF)
            return EOF;
        if (c != 0xFF)
            continue;
        do
            c = fgetc(f);
        while (c == 0xFF);
        if (c == EOF || (c != 0x00 && !(c >= 0xD0 && c <= 0xD7)))
            return c;
    }
}

static bool jpeg_is_frame(int c) { return c >= 0xC0 && c <= 0xCF && c != 0xC4 && c != 0xC8 && c != 0xCC; }

static bool bmps_jpeg_whole(FILE* f, uint64_t size)
{
    if (fseek(f, 2, SEEK_SET) != 0)
        return false;
    bool scanned = false; // scan data follows the last segment read
    for (;;) {
        int c;
        if (scanned) {
            c = jpeg_skip_scan(f);
            if (c == EOF)
                return true; // cut inside the scan data: the library stops there
        } else {
            do // stray bytes before a marker, as the decoder skips them
                c = fgetc(f);
            while (c != EOF && c != 0xFF);
            do // fill bytes
                c = fgetc(f);
            while (c == 0xFF);
            if (c == EOF)
                return false;
        }
        if (c == 0xD9)
            return true; // end of image
        if (c == 0x00 || c == 0x01 || (c >= 0xD0 && c <= 0xD7)) {
            scanned = false;
            continue; // markers without a segment
        }
        long seg = ftell(f);
        uint8_t seg_head[7];
        if (seg < 0 || fread(seg_head, 1, 2, f) != 2)
            return false;
        uint64_t len = ((uint64_t)seg_head[0] << 8) | seg_head[1]; // counts its own two bytes
        if (len < 2 || (uint64_t)seg + len > size)
            return false;
        if (jpeg_is_frame(c)) { // precision, height, width
            if (len < 7 || fread(seg_head + 2, 1, 5, f) != 5)
                return false;
            uint32_t height = ((uint32_t)seg_head[3] << 8) | seg_head[4], width = ((uint32_t)seg_head[5] << 8) | seg_head[6];
            if (!bmps_size_allowed(width, height, 4))
                return false;
        }
        if (fseek(f, seg + (long)len, SEEK_SET) != 0)
            return false;
        scanned = c == 0xDA;
    }
}

bool bmps_file_check(const char* path)
{
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    static const uint8_t jpeg[2] = {0xFF, 0xD8}; // the start marker is all the decoder asks
    FILE* f = path ? fopen(path, "rb") : nullptr;
    if (!f)
        return true; // the library reports a missing file itself
    uint8_t head[8] = {0};
    struct stat st;
    bool whole = true;
    size_t got = fread(head, 1, 8, f);
    if (fstat(fileno(f), &st) == 0) {
        if (got == 8 && memcmp(head, png, 8) == 0)
            whole = bmps_png_whole(f, (uint64_t)st.st_size);
        else if (got >= 2 && memcmp(head, jpeg, 2) == 0)
            whole = bmps_jpeg_whole(f, (uint64_t)st.st_size);
    } else {
        whole = false;
    }
    fclose(f);
    return whole;
}

void bmps_report_load_failure(const char* name) { dbg_error("Failed to load image %s,\n", name ? name : ""); }

static uint32_t load_file(const char* name, int32_t format, bmip* info)
{
    uint32_t made = il_new_image();
    if (!made)
        return 0;
    char path[4096];
    if (!plat_path(name, path, sizeof(path))) {
        il_report("Failed to ilLoadImage((char*const)filename) : %s \n", IL_INVALID_PARAM, &made);
        return 0;
    }
    if (!bmps_file_check(path)) {
        il_report("Failed to ilLoadImage((char*const)filename) : %s \n", IL_FILE_READ_ERROR, &made);
        return 0;
    }
    ilLoadImage(path);
    if (!bmps_il_check("Failed to ilLoadImage((char*const)filename) : %s \n", &made))
        return 0;
    if (format == BMIP_BGRA) {
        ilConvertImage(IL_BGRA, IL_UNSIGNED_BYTE);
        if (!bmps_il_check(MSG_TO_BGRA, &made))
            return 0;
    } else if (format == BMIP_LUMINANCE) {
        ilConvertImage(IL_LUMINANCE, IL_UNSIGNED_BYTE);
        if (!bmps_il_check(MSG_TO_LUM, &made))
            return 0;
    }
    // An image that cannot be described is of no use to any caller.
    if (info && !bmps_get_info(made, info)) {
        bmps_delete_image(made);
        return 0;
    }
    return made;
}

uint32_t bmps_load_file(const char* name, int32_t format, bmip* info)
{
    bmip_clear(info);
    // Every step has logged its own line; this one says which file they were about.
    uint32_t made = load_file(name, format, info);
    if (!made)
        bmps_report_load_failure(name);
    return made;
}

bool bmps_get_info(uint32_t image, bmip* info)
{
    bmip_clear(info);
    ilBindImage(image);
    if (!bmps_il_check("Failed to ilBindImage(ID ) : %s \n", nullptr))
        return false;
    ILint layout = ilGetInteger(IL_IMAGE_FORMAT);
    if (!bmps_il_check("Failed to type=ilGetInteger(IL_IMAGE_FORMAT) : %s \n", nullptr))
        return false;
    ILint type = ilGetInteger(IL_IMAGE_TYPE);
    if (!bmps_il_check("Failed to type=ilGetInteger(IL_IMAGE_TYPE) : %s \n", nullptr))
        return false;
    bool bytes = type == IL_UNSIGNED_BYTE;
    int32_t format;
    if (bytes && layout == IL_COLOUR_INDEX) {
        format = BMIP_INDEX;
    } else if (layout == IL_LUMINANCE) {
        // 16-bit and float grey would otherwise be described as one byte a pixel.
        if (!bytes) {
            ilConvertImage(IL_LUMINANCE, IL_UNSIGNED_BYTE);
            if (!bmps_il_check(MSG_TO_LUM, nullptr))
                return false;
        }
        format = BMIP_LUMINANCE;
    } else {
        if (!bytes || layout != IL_BGRA) {
            ilConvertImage(IL_BGRA, IL_UNSIGNED_BYTE);
            if (!bmps_il_check(MSG_TO_BGRA, nullptr))
                return false;
        }
        format = BMIP_BGRA;
    }
    ILint w = ilGetInteger(IL_IMAGE_WIDTH);
    if (!bmps_il_check("Failed to bmip->w=ilGetInteger(IL_IMAGE_WIDTH) : %s \n", nullptr))
        return false;
    ILint h = ilGetInteger(IL_IMAGE_HEIGHT);
    if (!bmps_il_check("Failed to bmip->h=ilGetInteger(IL_IMAGE_HEIGHT) : %s \n", nullptr))
        return false;
    ILubyte* data = ilGetData();
    if (!bmps_il_check("Failed to bmip->data=ilGetData() : %s \n", nullptr))
        return false;
    if (info) {
        info->format = format;
        info->w = w;
        info->h = h;
        info->d = 1;
        info->bpp = format == BMIP_BGRA ? 4 : 1;
        info->row = info->bpp * w;
        info->size = info->row * h;
        info->data = data;
    }
    return true;
}

uint32_t bmps_copy_image(uint32_t image)
{
    uint32_t made = il_new_image();
    if (!made)
        return 0;
    ilCopyImage(image);
    if (!bmps_il_check("Failed to ilCopyImage(ID) : %s \n", &made))
        return 0;
    ilConvertImage(IL_BGRA, IL_UNSIGNED_BYTE);
    if (!bmps_il_check(MSG_TO_BGRA, &made))
        return 0;
    return made;
}

bool bmps_convert_image(uint32_t image)
{
    ilBindImage(image);
    if (!bmps_il_check("Failed to ilBindImage(ID) : %s \n", nullptr))
        return false;
    ilConvertImage(IL_BGRA, IL_UNSIGNED_BYTE);
    return bmps_il_check(MSG_TO_BGRA, nullptr);
}

void bmps_delete_image(uint32_t image)
{
    ILuint id = image;
    if (id)
        ilDeleteImages(1, &id);
    il_drain();
}

// ---- loader ----------------------------------------------------------------------------

static bool bmps_is_pair(const char* name)
{
    static const char* const ends[] = {".a.jpg", ".b.jpg", ".a.png", ".b.png"};
    size_t n = strlen(name);
    if (n <= 6)
        return false;
    for (const char* e : ends)
        if (strcasecmp(name + n - 6, e) == 0)
            return true;
    return false;
}

// Alpha from the ".a" image (luminance), colour from the ".b" image (BGRA).
static uint32_t bmps_load_pair(const char* name, bmip* info)
{
    char buf[512];
    strncpy(buf, name, sizeof(buf) - 1);
    buf[sizeof(buf) - 1] = 0;
    size_t n = strlen(buf);
    bmip a, b, r;
    buf[n - 5] = 'a';
    uint32_t alpha = bmps_load_file(buf, BMIP_LUMINANCE, &a);
    buf[n - 5] = 'b';
    uint32_t colour = bmps_load_file(buf, BMIP_BGRA, &b); // tried even without alpha: both failures are logged
    uint32_t result = 0;
    if (alpha && colour && a.format == BMIP_LUMINANCE && b.format == BMIP_BGRA && a.w == b.w && a.h == b.h &&
        a.d == b.d) {
        result = bmps_create_image(BMIP_BGRA, b.w, b.h, b.d);
        if (result && !bmps_get_info(result, &r)) {
            bmps_delete_image(result);
            result = 0;
        }
    }
    if (result) {
        for (int32_t z = 0; z < r.d; z++)
            for (int32_t y = 0; y < r.h; y++) {
                const uint8_t* pa = a.data + (size_t)z * a.size + (size_t)y * a.row;
                const uint8_t* pb = b.data + (size_t)z * b.size + (size_t)y * b.row;
                uint8_t* pr = r.data + (size_t)z * r.size + (size_t)y * r.row;
                for (int32_t x = 0; x < r.w; x++) {
                    memcpy(pr + 4 * x, pb + 4 * x, 3);
                    pr[4 * x + 3] = pa[x];
                }
            }
    }
    bmps_delete_image(alpha);
    bmps_delete_image(colour);
    if (result && info)
        *info = r;
    return result;
}

uint32_t bmps_load_image(const char* name, int32_t format, bmip* info)
{
    bmip_clear(info);
    if (!name)
        return 0;
    if (bmps_is_pair(name))
        return bmps_load_pair(name, info);

    bmip li;
    uint32_t image = bmps_load_file(name, format, &li);
    if (!image)
        return 0;
    if (li.format == BMIP_INDEX) {
        // Index 0 is transparent: alpha from the indices, colour through the palette.
        uint32_t copy = bmps_copy_image(image);
        bmip ci;
        if (copy && !bmps_get_info(copy, &ci)) {
            bmps_delete_image(copy);
            copy = 0;
        }
        if (copy) {
            for (int32_t i = 0; i < ci.w * ci.h; i++)
                ci.data[4 * i + 3] = li.data[i] ? 0xFF : 0;
        }
        bmps_delete_image(image);
        if (!copy)
            return 0;
        image = copy;
        li = ci;
    }
    if (info)
        *info = li;
    return image;
}

// ---- manager ---------------------------------------------------------------------------

bool bmps_setup(bmps_pool* p, gfx* root)
{
    p->root = root;
    list_setup(&p->by_name);
    return pool_setup(&p->records, sizeof(gfx_bmps), 64);
}

void bmps_clean(bmps_pool* p)
{
    // A pool never set up has null links: nothing to free.
    if (p->by_name.head.next)
        while (!list_empty(&p->by_name))
            bmps_free(p, (gfx_bmps*)list_first(&p->by_name));
    if (p->records.live.head.next)
        while (!list_empty(&p->records.live))
            bmps_free(p, (gfx_bmps*)list_first(&p->records.live));
    pool_clean(&p->records);
}

bool bmps_reset(bmps_pool* p)
{
    gfx* root = p->root;
    bmps_clean(p);
    return bmps_setup(p, root);
}

gfx_bmps* bmps_alloc(bmps_pool* p, int32_t format, int32_t w, int32_t h, int32_t d, const char* name)
{
    gfx_bmps* b = (gfx_bmps*)pool_alloc(&p->records);
    if (!b) {
        dbg_error("Failed to allocate gfx bitmap,\n");
        return nullptr;
    }
    list_append(&p->records.live, &b->link);
    b->owner = p;
    if (!gfx_bmps_setup(b, format, w, h, d, name)) {
        dbg_error("Failed to setup gfx bitmap,\n");
        bmps_free(p, b);
        return nullptr;
    }
    return b;
}

void bmps_free(bmps_pool* p, gfx_bmps* b)
{
    if (!b)
        return;
    list_unlink(&b->link);
    gfx_bmps_clean(b);
    pool_free(&p->records, b);
}

gfx_bmps* bmps_find(bmps_pool* p, const char* name)
{
    if (!name)
        return nullptr;
    for (list_node* n = list_first(&p->by_name); n->next; n = n->next) {
        gfx_bmps* b = (gfx_bmps*)n;
        if (strcasecmp(b->name, name) == 0)
            return b;
    }
    gfx_bmps* b = bmps_alloc(p, 0, 0, 0, 0, name);
    if (!b)
        return nullptr;
    list_unlink(&b->link);
    list_append(&p->by_name, &b->link);
    return b;
}

bool gfx_bmps_setup(gfx_bmps* b, int32_t format, int32_t w, int32_t h, int32_t d, const char* name)
{
    if (name && name[0]) {
        strncpy(b->name, name, sizeof(b->name) - 1);
        b->name[sizeof(b->name) - 1] = 0;
        b->image = bmps_load_image(b->name, format, &b->info);
        return b->image != 0;
    }
    b->image = bmps_create_image(format, w, h, d);
    return b->image != 0 && bmps_get_info(b->image, &b->info);
}

void gfx_bmps_clean(gfx_bmps* b)
{
    if (b->image)
        bmps_delete_image(b->image);
    b->image = 0;
    memset(&b->info, 0, sizeof(b->info));
}

void gfx_bmps_free(gfx_bmps* b)
{
    if (b && b->owner)
        bmps_free(b->owner, b);
}

// ---- pixels ----------------------------------------------------------------------------

// Cuts one axis (start, size) to [0, limit); false when nothing is left. Non-finite
// values leave nothing.
static bool clip_axis(float* s, float* n, float limit)
{
    if (!(*s > -1e30f && *s < 1e30f) || !(*n > -1e30f && *n < 1e30f))
        return false;
    if (*s < 0) {
        *n += *s;
        *s = 0;
    }
    if (*s + *n > limit)
        *n = limit - *s;
    return *n >= 1.0f && *s < limit;
}

void bmps_fill(const bmip* info, uint32_t colour, const bmps_rect* rect)
{
    if (!info || info->format != BMIP_BGRA || !info->data)
        return;
    bmps_rect r = rect ? *rect : bmps_rect{0, 0, 0, (float)info->w, (float)info->h, (float)info->d};
    if (!clip_axis(&r.x, &r.w, (float)info->w) || !clip_axis(&r.y, &r.h, (float)info->h) ||
        !clip_axis(&r.z, &r.d, (float)info->d))
        return;
    int32_t x0 = (int32_t)r.x, y0 = (int32_t)r.y, z0 = (int32_t)r.z;
    int32_t nx = (int32_t)r.w, ny = (int32_t)r.h, nz = (int32_t)r.d;
    for (int32_t z = z0; z < z0 + nz; z++)
        for (int32_t y = y0; y < y0 + ny; y++) {
            uint8_t* row = info->data + (size_t)z * info->size + (size_t)y * info->row;
            for (int32_t x = x0; x < x0 + nx; x++)
                memcpy(row + 4 * x, &colour, 4);
        }
}

// One axis of a copy: both starts and the common size, cut as the copy rules say.
static bool copy_axis(float* s, float* t, float* n, float src_limit, float dst_limit, const float* lo, const float* hi)
{
    for (float v : {*s, *t, *n})
        if (!(v > -1e30f && v < 1e30f))
            return false;
    if (*s < 0) {
        *n += *s;
        *t -= *s;
        *s = 0;
    }
    if (*t < 0) {
        *n += *t;
        *s -= *t;
        *t = 0;
    }
    if (*s + *n > src_limit)
        *n = src_limit - *s;
    if (*t + *n > dst_limit)
        *n = dst_limit - *t;
    if (lo && *t < *lo) {
        float k = *lo - *t;
        *s += k;
        *t += k;
        *n -= k;
    }
    if (hi && *t + *n > *hi)
        *n = *hi - *t;
    return *n >= 1.0f && *s >= 0 && *t >= 0 && *s + *n <= src_limit && *t + *n <= dst_limit;
}

void bmps_copy_rect(const bmip* src, const bmps_rect* s, const bmip* dst, const bmps_rect* t,
                    const bmps_clip* clip, float mode)
{
    if (!src || !dst || !s || !t)
        return;
    bmps_rect a = *s, b = *t;
    // Both rectangles take the smaller size in each axis.
    float nx = a.w < b.w ? a.w : b.w, ny = a.h < b.h ? a.h : b.h, nz = a.d < b.d ? a.d : b.d;
    if (!copy_axis(&a.x, &b.x, &nx, (float)src->w, (float)dst->w, clip ? &clip->x0 : nullptr, clip ? &clip->x1 : nullptr) ||
        !copy_axis(&a.y, &b.y, &ny, (float)src->h, (float)dst->h, clip ? &clip->y0 : nullptr, clip ? &clip->y1 : nullptr) ||
        !copy_axis(&a.z, &b.z, &nz, (float)src->d, (float)dst->d, clip ? &clip->z0 : nullptr, clip ? &clip->z1 : nullptr))
        return;
    if (src->format != BMIP_BGRA || dst->format != BMIP_BGRA || mode != -1.0f || !src->data || !dst->data)
        return;
    int32_t cx = (int32_t)nx, cy = (int32_t)ny, cz = (int32_t)nz;
    int32_t sx = (int32_t)a.x, sy = (int32_t)a.y, sz = (int32_t)a.z;
    int32_t tx = (int32_t)b.x, ty = (int32_t)b.y, tz = (int32_t)b.z;
    for (int32_t z = 0; z < cz; z++)
        for (int32_t y = 0; y < cy; y++) {
            const uint8_t* from = src->data + (size_t)(sz + z) * src->size + (size_t)(sy + y) * src->row + 4 * (size_t)sx;
            uint8_t* to = dst->data + (size_t)(tz + z) * dst->size + (size_t)(ty + y) * dst->row + 4 * (size_t)tx;
            memmove(to, from, 4 * (size_t)cx);
        }
}
