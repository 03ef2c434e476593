// The installation generator: makes the data files the program needs (the fonts' metrics
// and page images from the system's free fonts, the console's font image, meshes, pictures
// and the music).
#pragma once

#include <cstdint>
#include <vector>

// An RGBA image being built, top row first, cleared to transparent black.
struct gen_image {
    int w, h;
    std::vector<uint8_t> rgba;
};

void gen_image_setup(gen_image* image, int w, int h);
inline uint8_t* gen_image_pixel(gen_image* image, int x, int y)
{
    return &image->rgba[((size_t)y * image->w + x) * 4];
}

// Every generator writes under data_dir (the game's "data" folder) and reports failure
// with a line on stderr.
bool gen_fonts(const char* data_dir);
bool gen_debug_font(const char* data_dir);
// Avatar part meshes and animations, the logo and the pointer.
bool gen_avatars(const char* data_dir);
// Maze terrain images and the overlay's fire mesh.
bool gen_amaze(const char* data_dir);
bool gen_amaze_items(const char* data_dir);
// The structor's ball mesh, wall picture and cut-map document.
bool gen_structor(const char* data_dir);
// The looping background tune, data/music/tune.ogg.
bool gen_music(const char* data_dir);
