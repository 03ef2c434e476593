// Avatar render to image: draws one avatar, posed by its layers, into an off-screen square
// with its own fixed camera and light, and copies the pixels into the bound image of the
// image library.
#pragma once

#include <cstdint>

struct avatar;

// The caller has bound an image; on success it is size x size, BGRA bytes, the picture's
// top row last in memory, the background transparent black. The device keeps the states,
// transforms and light this set (the render target and depth surface are put back); the
// avatar's base instance keeps the render's placement matrix. False after a logged warning,
// with the bound image untouched.
bool avatar_render_image(avatar* a, int32_t size);
