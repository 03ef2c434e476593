// Height maps: building, the slope relaxation over a tile map, drawing into an image, and
// the Lua library hmap.
//
// Sections: building, drawing, Lua library.

#include "engine/code/gfx/hmap.h"

#include <IL/il.h>
#include <stdlib.h>
#include <string.h>

#include "engine/code/dbg.h"
#include "engine/code/gfx/bmps.h"
#include "engine/code/gfx/devil.h"
#include "engine/code/gfx/mmap.h"
#include "engine/code/lua_lib.h"

// ---- building --------------------------------------------------------------------------

void hmap_setup(hmap* m) { memset(m, 0, sizeof(*m)); }

void hmap_clean(hmap* m)
{
    free(m->cells);
    memset(m, 0, sizeof(*m));
}

bool hmap_build(hmap* m, int32_t w, int32_t h)
{
    hmap_clean(m);
    // A script's size is saturated to 32 bits, so 1e308 arrives as INT32_MAX: a grid is held
    // to the limits of an image (of 12-byte cells) before anything is asked of the heap.
    if (w < 1 || h < 1 || !bmps_size_allowed((uint64_t)w, (uint64_t)h, sizeof(hmap_cell))) {
        dbg_error("Failed to allocate heightmap of %d x %d cells,\n", w, h);
        return false;
    }
    int64_t count = (int64_t)w * h;
    m->cells = (hmap_cell*)calloc((size_t)count, sizeof(hmap_cell));
    if (!m->cells)
        return false;
    m->count = (int32_t)count;
    m->w = w;
    m->h = h;
    return true;
}

static hmap_cell* cell(const hmap* m, int32_t x, int32_t y) { return &m->cells[y * m->w + x]; }

// The slope a tile's master gives: direction from its column, steepness from its row.
static void tile_slope(const mmap* t, const mmap_tile* tile, float k, float* sx, float* sy)
{
    static const float UNIT[8][2] = {{0, 1}, {-1, 1}, {-1, 0}, {-1, -1},
                                     {0, -1}, {1, -1}, {1, 0},  {1, 1}};
    *sx = *sy = 0.0f;
    const mmap_tile* master = tile->link;
    // A master rewritten by a script may have any size: only a real cell has a column and
    // a row (INT32_MIN / -1 would also trap).
    if (!master || master->owner == t || master->w <= 0 || master->h <= 0)
        return;
    int32_t direction = master->x / master->w;
    int32_t steepness = master->y / master->h;
    if (direction < 0 || direction > 7)
        return;
    *sx = UNIT[direction][0] * (float)steepness * k;
    *sy = UNIT[direction][1] * (float)steepness * k;
}

// One tile's four steps: its vertical then horizontal edges moved towards its slope.
static void relax_tile(const hmap* m, int32_t c, int32_t r)
{
    const hmap_cell* own = cell(m, c, 2 * r + 1);
    float sx = own->slope_x, sy = own->slope_y;
    float& u = cell(m, c, 2 * r)->height;
    float& u2 = cell(m, c + 1, 2 * r)->height;
    float& d = cell(m, c, 2 * r + 2)->height;
    float& d2 = cell(m, c + 1, 2 * r + 2)->height;
    float e = (sy - (d - u)) * 0.5f;
    u -= e;
    d += e;
    e = (sy - (d2 - u2)) * 0.5f;
    u2 -= e;
    d2 += e;
    e = (sx - (u2 - u)) * 0.5f;
    u -= e;
    u2 += e;
    e = (sx - (d2 - d)) * 0.5f;
    d -= e;
    d2 += e;
}

bool hmap_build_from_mmap(hmap* m, const mmap* t, float k)
{
    int32_t across = t->across, down = t->down;
    if (!hmap_build(m, across + 1, 2 * down + 1))
        return false;
    // The grid describes the last cut-up; tiles a later layout replaced are not there.
    if ((int64_t)across * down > t->count)
        across = down = 0;
    for (int32_t r = 0; r < down; r++) {
        for (int32_t c = 0; c < across; c++) {
            hmap_cell* own = cell(m, c, 2 * r + 1);
            tile_slope(t, &t->tiles[r * across + c], k, &own->slope_x, &own->slope_y);
        }
    }
    for (int pass = 0; pass < 32; pass++) {
        if (pass & 1) {
            for (int32_t r = 0; r < down; r++)
                for (int32_t c = 0; c < across; c++)
                    relax_tile(m, c, r);
        } else {
            for (int32_t r = down - 1; r >= 0; r--)
                for (int32_t c = across - 1; c >= 0; c--)
                    relax_tile(m, c, r);
        }
    }
    for (int32_t r = 0; r < down; r++) {
        for (int32_t c = 0; c < across; c++) {
            float sum = cell(m, c, 2 * r)->height + cell(m, c + 1, 2 * r)->height +
                        cell(m, c, 2 * r + 2)->height + cell(m, c + 1, 2 * r + 2)->height;
            cell(m, c, 2 * r + 1)->height = sum * 0.25f;
        }
    }
    return true;
}

// ---- drawing ---------------------------------------------------------------------------

static uint8_t grey(float height, float lowest)
{
    float v = (height - lowest) * 4.0f;
    if (!(v > 0.0f))
        return 0;
    return v >= 255.0f ? 255 : (uint8_t)v;
}

bool hmap_draw(const hmap* m)
{
    if (!m->cells || (int64_t)2 * m->w * m->h > INT32_MAX)
        return false;
    int32_t width = 2 * m->w;
    ilTexImage((ILuint)width, (ILuint)m->h, 1, 1, IL_LUMINANCE, IL_UNSIGNED_BYTE, NULL);
    devil_register_origin();
    uint8_t* out = ilGetData();
    if (!out || ilGetInteger(IL_IMAGE_WIDTH) != width)
        return false;
    float lowest = 4295622656.0f;
    for (int32_t i = 0; i < m->count; i++)
        if (m->cells[i].height < lowest)
            lowest = m->cells[i].height;
    // Odd rows sit half a cell to the right: byte i shows cell (i - 1) / 2, so the first
    // cell fills three bytes, the last none, and the one before it the last three.
    int32_t last = m->w >= 2 ? m->w - 2 : 0;
    for (int32_t y = 0; y < m->h; y++) {
        const hmap_cell* row = cell(m, 0, y);
        uint8_t* dst = out + (size_t)y * width;
        for (int32_t i = 0; i < width; i++) {
            int32_t x = (y & 1) ? (i - 1) / 2 : i / 2;
            x = x < 0 ? 0 : (y & 1) && x > last ? last : x;
            dst[i] = grey(row[x].height, lowest);
        }
    }
    return true;
}

// ---- Lua library -----------------------------------------------------------------------

static hmap* check_map(lua_State* L) { return (hmap*)lua_lib_check(L, 1, HMAP_TYPE); }

static int hmap_alloc_lua(lua_State* L)
{
    hmap_setup((hmap*)lua_lib_new_record(L, HMAP_TYPE, sizeof(hmap)));
    return 1;
}

static int hmap_free_lua(lua_State* L)
{
    hmap_clean(check_map(L));
    return 0;
}

static int hmap_build_lua(lua_State* L)
{
    hmap* m = check_map(L);
    hmap_build(m, lua_lib_check_int(L, 2), lua_lib_check_int(L, 3));
    return 0;
}

static int hmap_build_from_mmap_lua(lua_State* L)
{
    hmap* m = check_map(L);
    mmap* t = mmap_check_table(L, 2, true);
    hmap_build_from_mmap(m, t, (float)luaL_checknumber(L, 3));
    return 0;
}

static hmap_cell* check_cell(lua_State* L, hmap* m)
{
    int64_t x = lua_lib_check_int(L, 2);
    int64_t y = lua_lib_check_int(L, 3);
    int64_t n = y * m->w + x;
    if (!m->cells || n < 0 || n >= m->count)
        luaL_error(L, "requested height out of range");
    return &m->cells[n];
}

static int hmap_get_lua(lua_State* L)
{
    hmap* m = check_map(L);
    lua_pushnumber(L, check_cell(L, m)->height);
    return 1;
}

static int hmap_set_lua(lua_State* L)
{
    hmap* m = check_map(L);
    hmap_cell* c = check_cell(L, m);
    c->height = (float)luaL_checknumber(L, 4);
    return 0;
}

static int hmap_draw_lua(lua_State* L)
{
    hmap* m = check_map(L);
    devil_image* img = devil_check_open(L, 2);
    devil_bind(L, img);
    if (!hmap_draw(m)) {
        while (ilGetError() != IL_NO_ERROR) {
        }
        luaL_error(L, "couldn't build heightmap");
    }
    devil_raise_pending(L);
    return 0;
}

static const luaL_Reg LIBRARY[] = {
    {"alloc", hmap_alloc_lua},
    {"free", hmap_free_lua},
    {NULL, NULL},
};

static const luaL_Reg METHODS[] = {
    {"build", hmap_build_lua},
    {"build_from_mmap", hmap_build_from_mmap_lua},
    {"get", hmap_get_lua},
    {"set", hmap_set_lua},
    {"draw", hmap_draw_lua},
    {"free", hmap_free_lua},
    {"__gc", hmap_free_lua},
    {NULL, NULL},
};

void hmap_lua_setup(lua_State* L)
{
    lua_lib_new_type(L, HMAP_TYPE, METHODS);
    lua_lib_register(L, "hmap", LIBRARY);
}
