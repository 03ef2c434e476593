// The image library's Direct3D 8 texture loader, built on the image library itself and
// the Direct3D-shaped device.
#include "platform/ilut_d3d8.h"

#include <IL/il.h>

#include <cstring>

static ILint setting_miplevels = 0;
static ILint setting_key = -1;

void ilutSetInteger(ILenum mode, ILint value)
{
    if (mode == ILUT_D3D_MIPLEVELS)
        setting_miplevels = value;
    else if (mode == ILUT_D3D_ALPHA_KEY_COLOR)
        setting_key = value;
}

ILint ilutGetInteger(ILenum mode)
{
    if (mode == ILUT_D3D_MIPLEVELS)
        return setting_miplevels;
    if (mode == ILUT_D3D_ALPHA_KEY_COLOR)
        return setting_key;
    return 0;
}

// Copies the bound BGRA image into level 0, top row first, keying out one colour.
static bool fill_level0(IDirect3DTexture8* texture, int width, int height)
{
    D3DLOCKED_RECT locked;
    if (IDirect3DTexture8_LockRect(texture, 0, &locked, nullptr, 0) != D3D_OK)
        return false;
    const uint8_t* pixels = ilGetData();
    bool bottom_up = ilGetInteger(IL_IMAGE_ORIGIN) == IL_ORIGIN_LOWER_LEFT;
    for (int y = 0; y < height; ++y) {
        int source_row = bottom_up ? height - 1 - y : y;
        const uint8_t* src = pixels + (size_t)source_row * width * 4;
        uint8_t* dst = (uint8_t*)locked.pBits + (size_t)y * locked.Pitch;
        memcpy(dst, src, (size_t)width * 4);
        if (setting_key < 0)
            continue;
        for (int x = 0; x < width; ++x) {
            uint32_t argb;
            memcpy(&argb, dst + x * 4, 4);
            if ((argb & 0x00FFFFFFu) == (uint32_t)setting_key)
                memset(dst + x * 4, 0, 4);
        }
    }
    IDirect3DTexture8_UnlockRect(texture, 0);
    return true;
}

ILboolean ilutD3D8TexFromFile(IDirect3DDevice8* device, const char* file, IDirect3DTexture8** texture)
{
    *texture = nullptr;
    if (!device || !file)
        return IL_FALSE;
    ILint previous = ilGetInteger(IL_CUR_IMAGE);
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    bool ok = ilLoadImage(file) == IL_TRUE && ilConvertImage(IL_BGRA, IL_UNSIGNED_BYTE) == IL_TRUE;
    IDirect3DTexture8* made = nullptr;
    if (ok) {
        int width = ilGetInteger(IL_IMAGE_WIDTH);
        int height = ilGetInteger(IL_IMAGE_HEIGHT);
        ok = IDirect3DDevice8_CreateTexture(device, width, height, setting_miplevels, 0, D3DFMT_A8R8G8B8,
                                            D3DPOOL_DEFAULT, &made) == D3D_OK && made;
        if (ok)
            ok = fill_level0(made, width, height);
    }
    while (ilGetError() != IL_NO_ERROR) {
    }
    ilDeleteImages(1, &image);
    ilBindImage(previous);
    if (!ok) {
        if (made)
            IDirect3DTexture8_Release(made);
        return IL_FALSE;
    }
    *texture = made;
    return IL_TRUE;
}
