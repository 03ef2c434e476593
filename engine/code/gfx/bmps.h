// Bitmaps: CPU-side images held by the image library, described by a small image-info
// record (bmip), pooled and shared by name in the graphics root's bitmap manager; plus the
// checked wrappers around the image library that textures and cut maps also call, and the
// pixel fill and copy on BGRA bitmaps.
//
// Image-library error discipline: after every library call the wrapper reads the library's
// error list; the first code stops it with an error-level line naming the call, deletes the
// image it made, and logs every further pending code as "ILERROR %s\n", so the list is always
// left empty and a stale code can never fail a later, unrelated call.
#pragma once

#include <cstdint>

#include "engine/code/pool.h"

struct gfx;

enum : int32_t {
    BMIP_NONE = 0,
    BMIP_BGRA = 5,      // 4 bytes a pixel: blue, green, red, alpha in memory
    BMIP_INDEX = 6,     // 1 byte a pixel, palette index
    BMIP_LUMINANCE = 7, // 1 byte a pixel
};

// Image information. data is the library's own pixel buffer: valid while the image exists
// and is not converted again. Rows are packed.
struct bmip {
    int32_t format;
    int32_t w, h;
    int32_t d;          // always 1 once filled
    int32_t bpp;        // bytes per pixel
    int32_t row;        // bpp * w
    int32_t size;       // row * h, one depth slice
    uint8_t* data;
};

struct bmps_pool;

struct gfx_bmps {
    list_node link;     // the pool's live list, or the by-name list
    char name[256];     // the name it was loaded by; empty for a created bitmap
    bmip info;
    uint32_t image;     // image-library name, 0 = none
    bmps_pool* owner;
};

// The manager (GFX.BMPs). A bitmap is on exactly one of the two lists; bitmaps on the
// by-name list are shared by everyone who finds them and live until freed or cleaned.
struct bmps_pool {
    gfx* root;
    pool records;       // gfx_bmps, 64 a chunk; its live list holds the created bitmaps
    list by_name;
};

bool bmps_setup(bmps_pool* p, gfx* root);  // always true
bool bmps_reset(bmps_pool* p);
void bmps_clean(bmps_pool* p);             // safe after a failed setup and twice
// A bitmap loaded by name (format as bmps_load_image), or created empty (w x h x d of
// format: 7 luminance, anything else BGRA) when name is null or empty. Null (and logged)
// on failure.
gfx_bmps* bmps_alloc(bmps_pool* p, int32_t format, int32_t w, int32_t h, int32_t d, const char* name);
void bmps_free(bmps_pool* p, gfx_bmps* b);  // null ignored
// The shared bitmap of that name (ASCII case ignored), loading it on first use. Failures
// are not remembered: each call for a missing name tries again.
gfx_bmps* bmps_find(bmps_pool* p, const char* name);

bool gfx_bmps_setup(gfx_bmps* b, int32_t format, int32_t w, int32_t h, int32_t d, const char* name);
void gfx_bmps_clean(gfx_bmps* b);
void gfx_bmps_free(gfx_bmps* b);

// Image-library wrappers; image names are u32, 0 = failure.
uint32_t bmps_create_image(int32_t format, int32_t w, int32_t h, int32_t d);
// Loads a file (type from its extension). format 5 converts to BGRA, 7 to luminance, any
// other keeps the file's layout (as described by bmps_get_info). info (may be null) is
// filled on success and cleared on failure; a failure also names the file on the log.
uint32_t bmps_load_file(const char* name, int32_t format, bmip* info);
// Describes an image. Only unsigned-byte images are taken as they are: colour index gives 6,
// luminance 7, BGRA 5; any other layout or channel type is converted first (luminance to
// 8-bit luminance, everything else to BGRA). False with a cleared info on failure.
bool bmps_get_info(uint32_t image, bmip* info);
uint32_t bmps_copy_image(uint32_t image);   // a BGRA copy
bool bmps_convert_image(uint32_t image);    // to BGRA in place
void bmps_delete_image(uint32_t image);
// The loader of bitmaps and textures. A name ending (any case) in ".a.png", ".b.png",
// ".a.jpg" or ".b.jpg" and longer than 6 characters names an image pair: the ".a" file is
// the alpha channel, the ".b" file the colour, joined into one BGRA image (format ignored).
// Otherwise a single file as bmps_load_file; a colour-index result becomes BGRA with alpha 0
// where the palette index is 0 and 0xFF elsewhere.
uint32_t bmps_load_image(const char* name, int32_t format, bmip* info);
// Logs "Failed to load image <name>,\n" at error level: the one line, beside the image
// library's own, that names a file an image loader could not use.
void bmps_report_load_failure(const char* name);

// The largest grid any path takes (image pixels, height-map cells): 16384 on a side and
// 256 MB in all.
const uint64_t BMPS_MAX_SIDE = 16384;
const uint64_t BMPS_MAX_BYTES = 256ull << 20;
// True when a w x h grid of cells of cell_bytes each is within both limits (and not empty).
bool bmps_size_allowed(uint64_t w, uint64_t h, uint64_t cell_bytes);
// The check every path runs before it hands a file (a path in the platform's form) to the
// image library: false for a PNG or JPEG whose chunks or marker segments run past the end of
// the file, or whose declared size is past the limits above at 4 bytes a pixel.
// Other files, and files that cannot be opened, pass: the library reports those itself.
bool bmps_file_check(const char* path);

// The error check every image-library caller uses after each call: true when no error is
// pending; otherwise logs message (a printf format taking the error text), deletes *made
// when given and set (clearing it), logs every further code as "ILERROR %s\n" and returns false.
bool bmps_il_check(const char* message, uint32_t* made);

// Pixel operations (positions truncated to integers). A rectangle is x, y, z, w, h, d.
struct bmps_rect {
    float x, y, z, w, h, d;
};
// A clip box: lower corner x, y, z, then upper corner x, y, z.
struct bmps_clip {
    float x0, y0, z0, x1, y1, z1;
};
// Fills the rectangle (the whole bitmap when null), clipped to the bitmap; only a BGRA
// bitmap is written.
void bmps_fill(const bmip* info, uint32_t colour, const bmps_rect* rect);
// Copies pixels without scaling from s in src to t in dst: both rectangles are cut to
// the smaller size, to both bitmaps and to the clip; only BGRA to BGRA with mode -1.0
// copies anything.
void bmps_copy_rect(const bmip* src, const bmps_rect* s, const bmip* dst, const bmps_rect* t,
                    const bmps_clip* clip, float mode);
