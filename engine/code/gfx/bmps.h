// Bitmaps (GFX.BMPs): CPU-side images held by the image library and described by a bmip.
// Minimal declarations that the device layer needs until the bitmap module lands.
#pragma once

#include <cstdint>

#include "engine/code/pool.h"

struct gfx;

// Image info: format 5 BGRA (4 bytes a pixel), 6 colour index, 7 luminance (1 byte), 0 none.
struct bmip {
    int32_t format;
    int32_t w, h, d;
    int32_t bytes_per_pixel;
    int32_t row_bytes;
    int32_t size;
    uint8_t* data;
};

struct bmps_pool;

struct gfx_bmps {
    list_node link;
    char name[256];
    bmip info;
    uint32_t image;
    bmps_pool* owner;
};

struct bmps_pool {
    gfx* root;
    pool records;
    list by_name;
};

bool bmps_setup(bmps_pool* p, gfx* root);
void bmps_clean(bmps_pool* p);
// Loads a file (or an image pair) into a new image; format 5 converts to BGRA, 7 to
// luminance, others keep what was loaded. Fills info when given. 0 on failure.
uint32_t bmps_load_image(const char* name, int32_t format, bmip* info);
bool bmps_get_info(uint32_t image, bmip* info);
bool bmps_convert_image(uint32_t image); // to BGRA unsigned bytes
void bmps_delete_image(uint32_t image);
