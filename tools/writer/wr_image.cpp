// Image files through the image library.

#include "tools/writer/wr_image.h"

#include <IL/il.h>
#include <cstdio>

// Runs `fill` on a fresh image bound as current, saves it and puts the library back.
template <typename Fill>
static bool save_with(const char* path, Fill fill)
{
    ilInit(); // does nothing once the library is up
    ILint previous = ilGetInteger(IL_CUR_IMAGE);
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    bool ok = fill();
    if (ok) {
        // Created images are flagged lower-left; ours are given top row first.
        ilRegisterOrigin(IL_ORIGIN_UPPER_LEFT);
        remove(path); // the library refuses to overwrite unless told to globally
        ok = ilSaveImage(path) == IL_TRUE;
    }
    ilDeleteImages(1, &image);
    ilBindImage((ILuint)previous);
    while (ilGetError() != IL_NO_ERROR)
        ok = false;
    return ok;
}

bool wr_image_save(const char* path, int w, int h, int channels, const uint8_t* pixels)
{
    ILenum format;
    switch (channels) {
    case 1: format = IL_LUMINANCE; break;
    case 3: format = IL_RGB; break;
    case 4: format = IL_RGBA; break;
    default: return false;
    }
    if (w <= 0 || h <= 0 || !pixels)
        return false;
    return save_with(path, [&] {
        return ilTexImage(w, h, 1, (ILubyte)channels, format, IL_UNSIGNED_BYTE,
                          (void*)pixels) == IL_TRUE;
    });
}

bool wr_image_save_indexed(const char* path, int w, int h, const uint8_t* indices,
                           const uint8_t* palette_rgb, int colours)
{
    if (w <= 0 || h <= 0 || !indices || !palette_rgb || colours <= 0 || colours > 256)
        return false;
    return save_with(path, [&] {
        if (ilTexImage(w, h, 1, 1, IL_COLOUR_INDEX, IL_UNSIGNED_BYTE, (void*)indices) != IL_TRUE)
            return false;
        ilRegisterPal((void*)palette_rgb, (ILuint)(colours * 3), IL_PAL_RGB24);
        return ilGetError() == IL_NO_ERROR;
    });
}
