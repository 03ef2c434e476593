// The avatar editor's image routines, shared by its render tools. Images are names of the
// image library; each routine binds what it works on and leaves its destination bound.
#pragma once

#include <cstdint>

#include "engine/code/file_dialog.h"

// dst := src box-filtered to w x h, 32-bit BGRA. False (after the warning "Failed to create
// output image.") when dst cannot be made.
bool bud_test_output_image(uint32_t src, uint32_t dst, int32_t w, int32_t h);
// The box of the image's pixels with a non-zero alpha; the whole image when there are none.
void bud_test_image_bounds(uint32_t image, int32_t* x0, int32_t* y0, int32_t* width, int32_t* height);
// dst := src as 8-bit colour index: pixels below alpha 0xF8 get index 0 (grey, written as
// the transparent colour), the others the quantised colours 1 to 255.
void bud_test_palettise(uint32_t src, uint32_t dst);
// The base name of a chosen output path: the path cut at the first digit or '.' of its
// last component ("a/pic12.png" gives "a/pic").
void bud_test_base_name(char out[FILE_DIALOG_PATH_CHARS], const char* path);
// How many frames the animation tool writes for an animation of this length (seconds):
// one per 0.05 s that starts before the end; none unless the length is positive and finite.
int64_t bud_test_anim_frames(float length);
