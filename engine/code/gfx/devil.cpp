// Lua library devil: images as DevIL* userdata, the image library's integer, string and
// hint state, and its constants by name.
//
// Sections: constants, errors and arguments, images, library functions, registration.

#include "engine/code/gfx/devil.h"

#include <IL/il.h>
#include <IL/ilu.h>
#include <stdio.h>
#include <string.h>

#include "engine/code/dbg.h"
#include "engine/code/gfx/bmps.h"
#include "engine/code/lua_lib.h"
#include "platform/plat_fs.h"

// ---- constants -------------------------------------------------------------------------

struct devil_const {
    const char* name;
    uint32_t value;
};

#define E(n) {#n, n}
static const devil_const ENUMS[] = {
    E(IL_COLOUR_INDEX), E(IL_COLOR_INDEX), E(IL_RGB), E(IL_RGBA), E(IL_BGR), E(IL_BGRA),
    E(IL_LUMINANCE), E(IL_LUMINANCE_ALPHA), E(IL_BYTE), E(IL_UNSIGNED_BYTE), E(IL_SHORT),
    E(IL_UNSIGNED_SHORT), E(IL_INT), E(IL_UNSIGNED_INT), E(IL_FLOAT), E(IL_DOUBLE),
    E(IL_VENDOR), E(IL_LOAD_EXT), E(IL_SAVE_EXT), E(IL_PAL_NONE), E(IL_PAL_RGB24),
    E(IL_PAL_RGB32), E(IL_PAL_RGBA32), E(IL_PAL_BGR24), E(IL_PAL_BGR32), E(IL_PAL_BGRA32),
    E(IL_TYPE_UNKNOWN), E(IL_BMP), E(IL_CUT), E(IL_DOOM), E(IL_DOOM_FLAT), E(IL_ICO),
    E(IL_JPG), E(IL_JFIF),
    {"IL_LBM", IL_ILBM}, // the name the library's current headers give the same value
    E(IL_PCD), E(IL_PCX), E(IL_PIC), E(IL_PNG), E(IL_PNM), E(IL_SGI), E(IL_TGA), E(IL_TIF),
    E(IL_CHEAD), E(IL_RAW), E(IL_MDL), E(IL_WAL), E(IL_LIF), E(IL_MNG), E(IL_JNG), E(IL_GIF),
    E(IL_DDS), E(IL_DCX), E(IL_PSD), E(IL_EXIF), E(IL_PSP), E(IL_PIX), E(IL_PXR), E(IL_XPM),
    E(IL_HDR), E(IL_JASC_PAL), E(IL_NO_ERROR), E(IL_INVALID_ENUM), E(IL_OUT_OF_MEMORY),
    E(IL_FORMAT_NOT_SUPPORTED), E(IL_INTERNAL_ERROR), E(IL_INVALID_VALUE),
    E(IL_ILLEGAL_OPERATION), E(IL_ILLEGAL_FILE_VALUE), E(IL_INVALID_FILE_HEADER),
    E(IL_INVALID_PARAM), E(IL_COULD_NOT_OPEN_FILE), E(IL_INVALID_EXTENSION),
    E(IL_FILE_ALREADY_EXISTS), E(IL_OUT_FORMAT_SAME), E(IL_STACK_OVERFLOW),
    E(IL_STACK_UNDERFLOW), E(IL_INVALID_CONVERSION), E(IL_BAD_DIMENSIONS),
    E(IL_FILE_READ_ERROR), E(IL_FILE_WRITE_ERROR), E(IL_LIB_GIF_ERROR), E(IL_LIB_JPEG_ERROR),
    E(IL_LIB_PNG_ERROR), E(IL_LIB_TIFF_ERROR), E(IL_LIB_MNG_ERROR), E(IL_UNKNOWN_ERROR),
    E(IL_ORIGIN_SET), E(IL_ORIGIN_LOWER_LEFT), E(IL_ORIGIN_UPPER_LEFT), E(IL_ORIGIN_MODE),
    E(IL_FORMAT_SET), E(IL_FORMAT_MODE), E(IL_TYPE_SET), E(IL_TYPE_MODE),
    E(IL_FILE_OVERWRITE), E(IL_FILE_MODE), E(IL_CONV_PAL), E(IL_DEFAULT_ON_FAIL),
    E(IL_USE_KEY_COLOUR), E(IL_USE_KEY_COLOR), E(IL_SAVE_INTERLACED), E(IL_INTERLACE_MODE),
    E(IL_QUANTIZATION_MODE), E(IL_WU_QUANT), E(IL_NEU_QUANT), E(IL_NEU_QUANT_SAMPLE),
    E(IL_MAX_QUANT_INDEXS), E(IL_FASTEST), E(IL_LESS_MEM), E(IL_DONT_CARE),
    E(IL_MEM_SPEED_HINT), E(IL_USE_COMPRESSION), E(IL_NO_COMPRESSION), E(IL_COMPRESSION_HINT),
    E(IL_SUB_NEXT), E(IL_SUB_MIPMAP), E(IL_SUB_LAYER), E(IL_COMPRESS_MODE),
    E(IL_COMPRESS_NONE), E(IL_COMPRESS_RLE), E(IL_COMPRESS_LZO), E(IL_COMPRESS_ZLIB),
    E(IL_TGA_CREATE_STAMP), E(IL_JPG_QUALITY), E(IL_PNG_INTERLACE), E(IL_TGA_RLE),
    E(IL_BMP_RLE), E(IL_SGI_RLE), E(IL_TGA_ID_STRING), E(IL_TGA_AUTHNAME_STRING),
    E(IL_TGA_AUTHCOMMENT_STRING), E(IL_PNG_AUTHNAME_STRING), E(IL_PNG_TITLE_STRING),
    E(IL_PNG_DESCRIPTION_STRING), E(IL_TIF_DESCRIPTION_STRING), E(IL_TIF_HOSTCOMPUTER_STRING),
    E(IL_TIF_DOCUMENTNAME_STRING), E(IL_TIF_AUTHNAME_STRING), E(IL_JPG_SAVE_FORMAT),
    E(IL_CHEAD_HEADER_STRING), E(IL_PCD_PICNUM), E(IL_PNG_ALPHA_INDEX), E(IL_DXTC_FORMAT),
    E(IL_DXT1), E(IL_DXT2), E(IL_DXT3), E(IL_DXT4), E(IL_DXT5), E(IL_DXT_NO_COMP),
    E(IL_KEEP_DXTC_DATA), E(IL_DXTC_DATA_FORMAT), E(IL_3DC), E(IL_VERSION_NUM),
    E(IL_IMAGE_WIDTH), E(IL_IMAGE_HEIGHT), E(IL_IMAGE_DEPTH), E(IL_IMAGE_SIZE_OF_DATA),
    E(IL_IMAGE_BPP), E(IL_IMAGE_BYTES_PER_PIXEL), E(IL_IMAGE_BPP), E(IL_IMAGE_BITS_PER_PIXEL),
    E(IL_IMAGE_FORMAT), E(IL_IMAGE_TYPE), E(IL_PALETTE_TYPE), E(IL_PALETTE_SIZE),
    E(IL_PALETTE_BPP), E(IL_PALETTE_NUM_COLS), E(IL_PALETTE_BASE_TYPE), E(IL_NUM_IMAGES),
    E(IL_NUM_MIPMAPS), E(IL_NUM_LAYERS), E(IL_ACTIVE_IMAGE), E(IL_ACTIVE_MIPMAP),
    E(IL_ACTIVE_LAYER), E(IL_CUR_IMAGE), E(IL_IMAGE_DURATION), E(IL_IMAGE_PLANESIZE),
    E(IL_IMAGE_BPC), E(IL_IMAGE_OFFX), E(IL_IMAGE_OFFY), E(IL_IMAGE_CUBEFLAGS),
    E(IL_IMAGE_ORIGIN), E(IL_IMAGE_CHANNELS),
};
#undef E
static_assert(sizeof(ENUMS) / sizeof(ENUMS[0]) == 184, "ENUM holds 184 entries");

// Fixed numbers of the interface scripts were written against (not the linked library's).
static const devil_const DEFS[] = {
    {"IL_VERSION", 167},
    {"IL_ORIGIN_BIT", 1},
    {"IL_FILE_BIT", 2},
    {"IL_PAL_BIT", 4},
    {"IL_FORMAT_BIT", 8},
    {"IL_TYPE_BIT", 16},
    {"IL_COMPRESS_BIT", 32},
    {"IL_LOADFAIL_BIT", 64},
    {"IL_FORMAT_SPECIFIC_BIT", 128},
    {"IL_ALL_ATTRIB_BITS", 0x000FFFFF},
    {"IL_CUBEMAP_POSITIVEX", 1024},
    {"IL_CUBEMAP_NEGATIVEX", 2048},
    {"IL_CUBEMAP_POSITIVEY", 4096},
    {"IL_CUBEMAP_NEGATIVEY", 8192},
    {"IL_CUBEMAP_POSITIVEZ", 16384},
    {"IL_CUBEMAP_NEGATIVEZ", 32768},
};

// The format strings the library keeps, with the most characters it writes of each.
struct string_state {
    ILenum mode;
    size_t limit;
};
static const string_state STRING_STATES[] = {
    {IL_TGA_ID_STRING, 254}, {IL_TGA_AUTHNAME_STRING, 40}, {IL_TGA_AUTHCOMMENT_STRING, 80},
    {IL_PNG_AUTHNAME_STRING, 255}, {IL_PNG_TITLE_STRING, 255}, {IL_PNG_DESCRIPTION_STRING, 255},
    {IL_TIF_DESCRIPTION_STRING, 255}, {IL_TIF_HOSTCOMPUTER_STRING, 255},
    {IL_TIF_DOCUMENTNAME_STRING, 255}, {IL_TIF_AUTHNAME_STRING, 255}, {IL_CHEAD_HEADER_STRING, 32},
};

// Set by the shell once it has initialised the image library: before that the library
// crashes on most calls.
static bool library_ready = false;

// ---- errors and arguments --------------------------------------------------------------

// Reads the whole error list; the first code (IL_NO_ERROR when none) is returned, the
// others are logged.
static ILenum take_error(void)
{
    ILenum first = ilGetError();
    if (first == IL_NO_ERROR)
        return first;
    ILenum more;
    while ((more = ilGetError()) != IL_NO_ERROR)
        dbg_error("ILERROR %s\n", iluErrorString(more));
    return first;
}

void devil_raise_pending(lua_State* L)
{
    ILenum code = take_error();
    if (code != IL_NO_ERROR)
        luaL_error(L, "DevIL ERROR %s", iluErrorString(code));
}

static void raise_code(lua_State* L, ILenum code)
{
    take_error();
    luaL_error(L, "DevIL ERROR %s", iluErrorString(code));
}

// A number as the library's unsigned word: truncated, saturated, NaN as 0.
static uint32_t to_u32(lua_Number n)
{
    if (n != n)
        return 0;
    if (n >= 4294967295.0)
        return 0xFFFFFFFFu;
    if (n <= -2147483648.0)
        return 0x80000000u;
    return (uint32_t)(int64_t)n;
}

// The value of the constant named by argument idx, looked up in devil.ENUM as it stands
// now (scripts may add names). Anything else raises "invalid DevIL ENUM string".
static ILenum check_enum(lua_State* L, int idx)
{
    if (lua_type(L, idx) == LUA_TSTRING) {
        int top = lua_gettop(L);
        lua_getglobal(L, "devil");
        if (lua_istable(L, -1)) {
            lua_getfield(L, -1, "ENUM");
            if (lua_istable(L, -1)) {
                lua_pushvalue(L, idx);
                lua_gettable(L, -2);
                if (lua_type(L, -1) == LUA_TNUMBER) {
                    ILenum value = to_u32(lua_tonumber(L, -1));
                    lua_settop(L, top);
                    return value;
                }
            }
        }
        lua_settop(L, top);
    }
    const char* text = lua_type(L, idx) == LUA_TNUMBER || lua_type(L, idx) == LUA_TSTRING
                           ? lua_tostring(L, idx)
                           : luaL_typename(L, idx);
    return luaL_error(L, "invalid DevIL ENUM string \"%s\"", text);
}

void devil_library_ready(bool ready) { library_ready = ready; }

static void check_ready(lua_State* L)
{
    if (!library_ready)
        luaL_error(L, "the image library is not set up");
}

// A file name argument in the platform's form (folders may be written with '\\').
static void check_path(lua_State* L, int idx, char* out, size_t size)
{
    const char* name = luaL_checkstring(L, idx);
    if (!plat_path(name, out, size))
        raise_code(L, IL_COULD_NOT_OPEN_FILE);
}

devil_image* devil_test(lua_State* L, int idx)
{
    return (devil_image*)compat_checkudata(L, idx, DEVIL_TYPE);
}

devil_image* devil_check(lua_State* L, int idx)
{
    check_ready(L);
    return (devil_image*)lua_lib_check(L, idx, DEVIL_TYPE);
}

devil_image* devil_check_open(lua_State* L, int idx)
{
    devil_image* img = devil_check(L, idx);
    if (img->image == 0)
        luaL_error(L, "attempt to use a closed image");
    return img;
}

void devil_bind(lua_State* L, const devil_image* img)
{
    ilBindImage(img->image);
    devil_raise_pending(L);
    if (img->frame) {
        ilActiveImage(img->frame);
        devil_raise_pending(L);
    }
    if (img->layer) {
        ilActiveLayer(img->layer);
        devil_raise_pending(L);
    }
    if (img->mipmap) {
        ilActiveMipmap(img->mipmap);
        devil_raise_pending(L);
    }
}

// ---- images ----------------------------------------------------------------------------

static devil_image* push_image(lua_State* L)
{
    return (devil_image*)lua_lib_new_record(L, DEVIL_TYPE, sizeof(devil_image));
}

static int devil_alloc(lua_State* L)
{
    check_ready(L);
    devil_image* img = push_image(L);
    ILuint id = 0;
    ilGenImages(1, &id);
    img->image = id;
    devil_raise_pending(L);
    if (id == 0)
        luaL_error(L, "DevIL ilGenImages failed");
    return 1;
}

static int devil_free(lua_State* L)
{
    devil_image* img = devil_check(L, 1);
    if (img->image) {
        ILuint id = img->image;
        img->image = 0;
        ilDeleteImages(1, &id);
        devil_raise_pending(L);
    }
    return 0;
}

// The collector must not raise: the error would surface in whatever code allocated.
static int devil_gc(lua_State* L)
{
    devil_image* img = devil_test(L, 1);
    if (img && img->image) {
        ILuint id = img->image;
        img->image = 0;
        ilDeleteImages(1, &id);
        take_error();
    }
    return 0;
}

// The methods that hand the bound image and a checked path to one library call.
static int devil_path_call(lua_State* L, ILboolean (*call)(ILconst_string))
{
    devil_image* img = devil_check_open(L, 1);
    char path[4096];
    check_path(L, 2, path, sizeof(path));
    devil_bind(L, img);
    call(path);
    devil_raise_pending(L);
    return 0;
}

// A damaged or oversized image file is refused before the library reads it (see bmps.h).
static int devil_load(lua_State* L)
{
    devil_image* img = devil_check_open(L, 1);
    char path[4096];
    check_path(L, 2, path, sizeof(path));
    if (!bmps_file_check(path))
        raise_code(L, IL_FILE_READ_ERROR);
    devil_bind(L, img);
    ilLoadImage(path);
    devil_raise_pending(L);
    return 0;
}
static int devil_save(lua_State* L) { return devil_path_call(L, ilSaveImage); }
static int devil_save_pal(lua_State* L) { return devil_path_call(L, ilSavePal); }
static int devil_apply_pal(lua_State* L) { return devil_path_call(L, ilApplyPal); }

// The library hands the profiles it opens to the colour-management library unchecked and
// crashes on one it could not open: only readable files that carry a profile's signature
// are passed on.
static bool profile_readable(const char* path)
{
    FILE* f = fopen(path, "rb");
    if (!f)
        return false;
    unsigned char head[40];
    bool ok = fread(head, sizeof(head), 1, f) == 1 && memcmp(head + 36, "acsp", 4) == 0;
    fclose(f);
    return ok;
}

static int devil_apply_profile(lua_State* L)
{
    devil_image* img = devil_check_open(L, 1);
    char in[4096], out[4096];
    check_path(L, 2, in, sizeof(in));
    check_path(L, 3, out, sizeof(out));
    if (!profile_readable(in) || !profile_readable(out))
        raise_code(L, IL_COULD_NOT_OPEN_FILE);
    devil_bind(L, img);
    ilApplyProfile(in, out);
    devil_raise_pending(L);
    return 0;
}

static int devil_clone(lua_State* L)
{
    devil_image* img = devil_check(L, 1);
    devil_image* copy = push_image(L); // made first: a failed allocation leaks no image
    devil_bind(L, img);
    copy->image = ilCloneCurImage();
    devil_raise_pending(L);
    return 1;
}

static int devil_copy(lua_State* L)
{
    devil_image* img = devil_check(L, 1);
    devil_image* other = devil_check(L, 2);
    // The library frees the destination's pixels before reading the source's: an image
    // copied onto itself would be read after it is freed. It is already a copy of itself.
    if (other->image == img->image && img->image != 0)
        return 0;
    devil_bind(L, img);
    ilCopyImage(other->image);
    devil_raise_pending(L);
    return 0;
}

static int devil_copy_pal(lua_State* L)
{
    devil_image* img = devil_check(L, 1);
    devil_image* other = devil_check(L, 2);
    devil_bind(L, other);
    ILubyte* pal = ilGetPalette();
    devil_raise_pending(L);
    ILenum type = ilGetInteger(IL_PALETTE_TYPE);
    devil_raise_pending(L);
    ILint colours = ilGetInteger(IL_PALETTE_NUM_COLS);
    devil_raise_pending(L);
    ILint bpp = ilGetInteger(IL_PALETTE_BPP);
    devil_raise_pending(L);
    // A collected buffer, so nothing leaks when a later call raises; it also keeps the
    // copy valid when both arguments are the same image.
    void* copy = NULL;
    ILuint size = 0;
    if (pal && colours > 0 && bpp > 0) {
        size = (ILuint)colours * (ILuint)bpp;
        copy = lua_newuserdata(L, size);
        memcpy(copy, pal, size);
    }
    // The library refuses an empty palette only after it has leaked a buffer for it.
    if (!copy)
        raise_code(L, IL_INVALID_PARAM);
    devil_bind(L, img);
    ilRegisterPal(copy, size, type);
    devil_raise_pending(L);
    return 0;
}

// Channels of the formats of the ENUM table; 0 for any other.
static int format_channels(ILenum format)
{
    switch (format) {
    case IL_COLOUR_INDEX: case IL_LUMINANCE: return 1;
    case IL_LUMINANCE_ALPHA: return 2;
    case IL_RGB: case IL_BGR: return 3;
    case IL_RGBA: case IL_BGRA: return 4;
    default: return 0;
    }
}

// Bytes of the types the library knows; 0 for any other (the library half-defines an image
// of an unknown type and frees its pixels twice when it is deleted).
static int type_bytes(ILenum type)
{
    switch (type) {
    case IL_BYTE: case IL_UNSIGNED_BYTE: return 1;
    case IL_SHORT: case IL_UNSIGNED_SHORT: case IL_HALF: return 2;
    case IL_INT: case IL_UNSIGNED_INT: case IL_FLOAT: return 4;
    case IL_DOUBLE: return 8;
    default: return 0;
    }
}

static void zero_buffer(ILubyte* p, size_t bytes)
{
    if (p && bytes)
        memset(p, 0, bytes);
}

void devil_register_origin(void)
{
    ilRegisterOrigin(ilGetInteger(IL_ORIGIN_MODE));
}

static int devil_create(lua_State* L)
{
    devil_image* img = devil_check_open(L, 1);
    int64_t w = lua_lib_check_int(L, 2), h = lua_lib_check_int(L, 3), d = lua_lib_check_int(L, 4);
    int64_t bpp = lua_lib_check_int(L, 5);
    ILenum format = check_enum(L, 6);
    ILenum type = check_enum(L, 7);
    // The library takes the channel count on trust and sizes its buffer in 32 bits: a
    // count that disagrees with the format, or a size that wraps, would let later calls
    // run past the pixels. Its palette conversions assume byte indices: a colour-index
    // image of a wider type corrupts the heap when converted and copied.
    int channels = format_channels(format);
    bool ok = w >= 0 && h >= 0 && d >= 0 && bpp >= 1 && bpp <= 255 && channels == bpp &&
              type_bytes(type) > 0 && (format != IL_COLOUR_INDEX || type == IL_UNSIGNED_BYTE);
    // Each factor is below 2^31 and the running product stays below 2^31: no overflow.
    const int64_t factors[5] = {w ? w : 1, h ? h : 1, d ? d : 1, bpp, type_bytes(type)};
    int64_t bytes = 1;
    for (int i = 0; ok && i < 5; i++) {
        bytes *= factors[i];
        ok = bytes <= 0x7FFFFFFF;
    }
    if (!ok)
        raise_code(L, IL_INVALID_PARAM);
    devil_bind(L, img);
    ilTexImage((ILuint)w, (ILuint)h, (ILuint)d, (ILubyte)bpp, format, type, NULL);
    devil_raise_pending(L);
    // The library hands out its new pixels and palette as they come from the heap.
    ILint made = ilGetInteger(IL_IMAGE_SIZE_OF_DATA);
    zero_buffer(ilGetData(), made > 0 ? (size_t)made : 0);
    devil_register_origin();
    ilClearImage();
    devil_raise_pending(L);
    ILint colours = ilGetInteger(IL_PALETTE_NUM_COLS), pal_bpp = ilGetInteger(IL_PALETTE_BPP);
    zero_buffer(ilGetPalette(), colours > 0 && pal_bpp > 0 ? (size_t)colours * (size_t)pal_bpp : 0);
    take_error();
    return 0;
}

static int devil_clear(lua_State* L)
{
    devil_image* img = devil_check_open(L, 1);
    devil_bind(L, img);
    ilClearImage();
    devil_raise_pending(L);
    return 0;
}

static int select_sub(lua_State* L, size_t field)
{
    devil_image* img = devil_check_open(L, 1);
    uint32_t n = (uint32_t)lua_lib_check_int(L, 2);
    memcpy((char*)img + field, &n, sizeof(n));
    return 0;
}
static int devil_select_frame(lua_State* L) { return select_sub(L, offsetof(devil_image, frame)); }
static int devil_select_layer(lua_State* L) { return select_sub(L, offsetof(devil_image, layer)); }
static int devil_select_mipmap(lua_State* L) { return select_sub(L, offsetof(devil_image, mipmap)); }

static int devil_convert(lua_State* L)
{
    devil_image* img = devil_check_open(L, 1);
    ILenum format = check_enum(L, 2);
    ILenum type = check_enum(L, 3);
    devil_bind(L, img);
    ilConvertImage(format, type);
    devil_raise_pending(L);
    return 0;
}

static int devil_convert_pal(lua_State* L)
{
    devil_image* img = devil_check_open(L, 1);
    ILenum type = check_enum(L, 2);
    devil_bind(L, img);
    ilConvertPal(type);
    devil_raise_pending(L);
    return 0;
}

// ---- library functions (also methods, arguments after the image) ----------------------

static int state_get(lua_State* L, int arg)
{
    check_ready(L);
    ILenum mode = check_enum(L, arg);
    ILint v = ilGetInteger(mode);
    devil_raise_pending(L);
    lua_pushnumber(L, (lua_Number)v);
    return 1;
}

static int state_set(lua_State* L, int arg)
{
    check_ready(L);
    ILenum mode = check_enum(L, arg);
    ILint v = lua_lib_check_int(L, arg + 1);
    ilSetInteger(mode, v);
    devil_raise_pending(L);
    return 0;
}

static int state_get_string(lua_State* L, int arg)
{
    check_ready(L);
    ILenum mode = check_enum(L, arg);
    const char* s = ilGetString(mode);
    devil_raise_pending(L);
    lua_pushstring(L, s); // nil when the library has none
    return 1;
}

// The library keeps its own copy of each format string, made to the text's length, but
// when it saves it reads a fixed count of bytes from it (up to 255) and ends its working
// copy at the text's length in a buffer of the limit's size. So the library is handed the
// text cut to the limit and padded to 255 characters, and its copy is then ended in place
// at the text's length: every copy it keeps is 256 bytes long.
static void hand_string(ILenum mode, const char* text)
{
    size_t limit = 255;
    for (const string_state& st : STRING_STATES)
        if (st.mode == mode)
            limit = st.limit;
    char padded[256];
    memset(padded, ' ', 255);
    padded[255] = 0;
    size_t n = strnlen(text, limit);
    memcpy(padded, text, n);
    ilSetString(mode, padded);
    char* kept = (char*)ilGetString(mode); // the library's own copy, for these modes
    if (kept && strlen(kept) == 255)
        kept[n] = 0;
}

static bool is_string_state(ILenum mode)
{
    for (const string_state& st : STRING_STATES)
        if (st.mode == mode)
            return true;
    return false;
}

static int state_set_string(lua_State* L, int arg)
{
    check_ready(L);
    ILenum mode = check_enum(L, arg);
    const char* s = luaL_checkstring(L, arg + 1);
    if (is_string_state(mode))
        hand_string(mode, s);
    else
        ilSetString(mode, s); // the library refuses it
    devil_raise_pending(L);
    return 0;
}

static int devil_get(lua_State* L) { return state_get(L, 1); }
static int devil_set(lua_State* L) { return state_set(L, 1); }
static int devil_get_string(lua_State* L) { return state_get_string(L, 1); }
static int devil_set_string(lua_State* L) { return state_set_string(L, 1); }

static void bind_arg1(lua_State* L) { devil_bind(L, devil_check(L, 1)); }
static int image_get(lua_State* L) { bind_arg1(L); return state_get(L, 2); }
static int image_set(lua_State* L) { bind_arg1(L); return state_set(L, 2); }
static int image_get_string(lua_State* L) { bind_arg1(L); return state_get_string(L, 2); }
static int image_set_string(lua_State* L) { bind_arg1(L); return state_set_string(L, 2); }

static int devil_set_hint(lua_State* L)
{
    check_ready(L);
    ILenum target = check_enum(L, 1);
    ILenum mode = check_enum(L, 2);
    ilHint(target, mode);
    devil_raise_pending(L);
    return 0;
}

// The library duplicates every format string when it pushes its state and crashes on one
// that was never set: give those an empty text first. Its duplicates are made to the text's
// length, so each is handed over again at full length (see hand_string).
static int devil_push(lua_State* L)
{
    check_ready(L);
    for (const string_state& st : STRING_STATES) {
        if (!ilGetString(st.mode))
            hand_string(st.mode, "");
        take_error();
    }
    ilPushAttrib(IL_ALL_ATTRIB_BITS);
    devil_raise_pending(L);
    char text[256];
    for (const string_state& st : STRING_STATES) {
        const char* kept = ilGetString(st.mode);
        if (kept) {
            snprintf(text, sizeof(text), "%s", kept);
            hand_string(st.mode, text);
        }
        take_error();
    }
    return 0;
}

static int devil_pop(lua_State* L)
{
    check_ready(L);
    ilPopAttrib();
    devil_raise_pending(L);
    return 0;
}

// ---- registration ----------------------------------------------------------------------

static const luaL_Reg IMAGE_METHODS[] = {
    {"load", devil_load},
    {"save", devil_save},
    {"save_pal", devil_save_pal},
    {"free", devil_free},
    {"get", image_get},
    {"set", image_set},
    {"get_string", image_get_string},
    {"set_string", image_set_string},
    {"clone", devil_clone},
    {"copy", devil_copy},
    {"copy_pal", devil_copy_pal},
    {"create", devil_create},
    {"clear", devil_clear},
    {"select_frame", devil_select_frame},
    {"select_layer", devil_select_layer},
    {"select_mipmap", devil_select_mipmap},
    {"convert", devil_convert},
    {"convert_pal", devil_convert_pal},
    {"apply_pal", devil_apply_pal},
    {"apply_profile", devil_apply_profile},
    {"__gc", devil_gc},
    {NULL, NULL},
};

static const luaL_Reg LIBRARY[] = {
    {"alloc", devil_alloc},
    {"free", devil_free},
    {"set_hint", devil_set_hint},
    {"get", devil_get},
    {"set", devil_set},
    {"get_string", devil_get_string},
    {"set_string", devil_set_string},
    {"push", devil_push},
    {"pop", devil_pop},
    {NULL, NULL},
};

// Table field name := a new table of the constants, on the table at the stack top.
static void add_constants(lua_State* L, const char* name, const devil_const* list, size_t n)
{
    lua_pushstring(L, name);
    lua_newtable(L);
    for (size_t i = 0; i < n; i++) {
        lua_pushstring(L, list[i].name);
        lua_pushnumber(L, (lua_Number)list[i].value);
        lua_rawset(L, -3);
    }
    lua_rawset(L, -3);
}

void devil_lua_setup(lua_State* L)
{
    lua_lib_new_type(L, DEVIL_TYPE, IMAGE_METHODS);
    lua_lib_register(L, "devil", LIBRARY);
    lua_getglobal(L, "devil");
    add_constants(L, "ENUM", ENUMS, sizeof(ENUMS) / sizeof(ENUMS[0]));
    add_constants(L, "DEFS", DEFS, sizeof(DEFS) / sizeof(DEFS[0]));
    lua_pop(L, 1);
}
