// The image library's Direct3D 8 texture loader, shaped like its utility-library calls:
// a file loaded through the image library becomes a 32-bit ARGB texture, with an optional
// colour key made transparent.
#pragma once

#include "platform/d3d8.h"

typedef int ILint;
typedef unsigned int ILenum;
typedef unsigned char ILboolean;

#define ILUT_D3D_MIPLEVELS 0x0620
#define ILUT_D3D_ALPHA_KEY_COLOR 0x0707

// Settings read by the loader: mip levels (0 = a full chain, the default) and the key
// colour (0x00RRGGBB made fully transparent; -1, the default, keys nothing). Textures go to
// D3DPOOL_DEFAULT.
void ilutSetInteger(ILenum mode, ILint value);
ILint ilutGetInteger(ILenum mode);

// Loads the image file and copies it into level 0 of a new A8R8G8B8 texture. The image
// library's bound image is left as the caller had it. IL_TRUE on success; on failure
// *texture is left null.
ILboolean ilutD3D8TexFromFile(IDirect3DDevice8* device, const char* file, IDirect3DTexture8** texture);
