// Image files through the image library (PNG, JPEG, BMP, ... chosen by the file's extension),
// for the generator and for test fixtures. Pixels are given top row first. Each call leaves
// the library as it found it: the bound image restored and no error pending.
#pragma once

#include <cstdint>

// channels: 1 = grey, 3 = RGB, 4 = RGBA; 8 bits each, rows packed. An existing file is replaced.
bool wr_image_save(const char* path, int w, int h, int channels, const uint8_t* pixels);
// One palette index per pixel; the palette holds `colours` RGB triples (at most 256).
bool wr_image_save_indexed(const char* path, int w, int h, const uint8_t* indices,
                           const uint8_t* palette_rgb, int colours);
