// Tile maps: cut-up, merge, trim, key maps, shelf packing, the XTX writer and the Lua
// library mmap.
//
// Sections: live maps, pixels, operations, XTX writer, Lua library.

#include "engine/code/gfx/mmap.h"

#include <IL/il.h>
#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "engine/code/dbg.h"
#include "engine/code/gfx/devil.h"
#include "engine/code/gfx/xtx.h"
#include "engine/code/lua_lib.h"
#include "platform/plat_fs.h"

#define MMAP_TYPE "mmap"
#define MMAPT_TYPE "mmapt"

// ---- live maps -------------------------------------------------------------------------

static mmap* LIVE = nullptr; // maps that hold tiles

static void live_add(mmap* m)
{
    if (m->live)
        return;
    m->live = true;
    m->live_prev = nullptr;
    m->live_next = LIVE;
    if (LIVE)
        LIVE->live_prev = m;
    LIVE = m;
}

static void live_remove(mmap* m)
{
    if (!m->live)
        return;
    if (m->live_prev)
        m->live_prev->live_next = m->live_next;
    else
        LIVE = m->live_next;
    if (m->live_next)
        m->live_next->live_prev = m->live_prev;
    m->live = false;
    m->live_next = m->live_prev = nullptr;
}

static void tiles_free(mmap* m)
{
    if (m->tiles) {
        const mmap_tile* first = m->tiles;
        const mmap_tile* end = m->tiles + m->count;
        for (mmap* o = LIVE; o; o = o->live_next)
            for (int32_t i = 0; i < o->count; i++)
                if (o->tiles[i].link >= first && o->tiles[i].link < end)
                    o->tiles[i].link = nullptr;
        free(m->tiles);
    }
    m->tiles = nullptr;
    m->count = 0;
    live_remove(m);
}

// count zeroed tiles owned by m, replacing what m held. False when they cannot be had.
static bool tiles_alloc(mmap* m, int64_t count)
{
    tiles_free(m);
    if (count <= 0)
        return count == 0;
    if (count > INT32_MAX)
        return false;
    mmap_tile* tiles = (mmap_tile*)calloc((size_t)count, sizeof(mmap_tile));
    if (!tiles)
        return false;
    for (int64_t i = 0; i < count; i++)
        tiles[i].owner = m;
    m->tiles = tiles;
    m->count = (int32_t)count;
    live_add(m);
    return true;
}

bool mmap_setup(mmap* m)
{
    memset(m, 0, sizeof(*m));
    return true;
}

bool mmap_clean(mmap* m)
{
    tiles_free(m);
    return true;
}

// ---- pixels ----------------------------------------------------------------------------

static void il_drain(void)
{
    while (ilGetError() != IL_NO_ERROR) {
    }
}

bool mmap_bind_image(mmap* m)
{
    m->image_w = m->image_h = m->bpp = m->row = 0;
    m->format = m->type = 0;
    m->data = nullptr;
    if (m->image == 0) // a closed image: binding it would give the library's default image
        return false;
    ilBindImage(m->image);
    ILint w = ilGetInteger(IL_IMAGE_WIDTH);
    ILint h = ilGetInteger(IL_IMAGE_HEIGHT);
    ILint bpp = ilGetInteger(IL_IMAGE_BYTES_PER_PIXEL);
    ILint size = ilGetInteger(IL_IMAGE_SIZE_OF_DATA);
    m->format = (uint32_t)ilGetInteger(IL_IMAGE_FORMAT);
    m->type = (uint32_t)ilGetInteger(IL_IMAGE_TYPE);
    ILubyte* data = ilGetData();
    if (ilGetError() != IL_NO_ERROR) {
        il_drain();
        return false;
    }
    m->image_w = w;
    m->image_h = h;
    m->bpp = bpp;
    m->row = w * bpp;
    // Pixels are read as rows of w x bpp bytes: only trust them when they are all there.
    if (data && w > 0 && h > 0 && bpp > 0 && (int64_t)w * bpp * h <= (int64_t)(uint32_t)size)
        m->data = data;
    return m->data != nullptr;
}

// The tile's rectangle lies in its owner's pixels.
static bool tile_inside(const mmap_tile* t)
{
    const mmap* m = t->owner;
    return m && m->data && t->x >= 0 && t->y >= 0 && t->w >= 0 && t->h >= 0 &&
           (int64_t)t->x + t->w <= m->image_w && (int64_t)t->y + t->h <= m->image_h;
}

static const uint8_t* tile_pixel(const mmap_tile* t, int32_t x, int32_t y)
{
    const mmap* m = t->owner;
    return m->data + (size_t)(t->y + y) * m->row + (size_t)(t->x + x) * m->bpp;
}

bool mmap_tile_compare(const mmap_tile* a, const mmap_tile* b)
{
    if (a == b)
        return true;
    if (a->w != b->w || a->h != b->h)
        return false;
    const mmap* ma = a->owner;
    const mmap* mb = b->owner;
    if (ma != mb && (ma->format != mb->format || ma->type != mb->type || ma->bpp != mb->bpp))
        return false;
    if (!tile_inside(a) || !tile_inside(b))
        return false;
    size_t bytes = (size_t)a->w * ma->bpp;
    for (int32_t y = 0; y < a->h; y++)
        if (memcmp(tile_pixel(a, 0, y), tile_pixel(b, 0, y), bytes) != 0)
            return false;
    return true;
}

static bool pixel_empty(const mmap_tile* t, int32_t x, int32_t y)
{
    const uint8_t* p = tile_pixel(t, x, y);
    for (int32_t i = 0; i < t->owner->bpp; i++)
        if (p[i])
            return false;
    return true;
}

static bool row_empty(const mmap_tile* t, int32_t y)
{
    for (int32_t x = 0; x < t->w; x++)
        if (!pixel_empty(t, x, y))
            return false;
    return true;
}

static bool column_empty(const mmap_tile* t, int32_t x)
{
    for (int32_t y = 0; y < t->h; y++)
        if (!pixel_empty(t, x, y))
            return false;
    return true;
}

bool mmap_tile_trim(mmap_tile* t)
{
    if (!tile_inside(t))
        return false;
    while (t->h > 0 && row_empty(t, t->h - 1))
        t->h--;
    while (t->h > 0 && row_empty(t, 0)) {
        t->y++;
        t->offset_y++;
        t->h--;
    }
    if (t->h == 0) {
        t->w = 0;
        return true;
    }
    while (t->w > 0 && column_empty(t, t->w - 1))
        t->w--;
    while (t->w > 0 && column_empty(t, 0)) {
        t->x++;
        t->offset_x++;
        t->w--;
    }
    return true;
}

// ---- operations ------------------------------------------------------------------------

static bool ready(mmap* m) { return m->count > 0 && mmap_bind_image(m); }

bool mmap_cutup(mmap* m, int32_t w, int32_t h)
{
    if (w < 1 || h < 1 || !mmap_bind_image(m))
        return false;
    int32_t across = m->image_w / w;
    int32_t down = m->image_h / h;
    if (!tiles_alloc(m, (int64_t)across * down))
        return false;
    m->across = across;
    m->down = down;
    for (int32_t row = 0; row < down; row++) {
        for (int32_t col = 0; col < across; col++) {
            mmap_tile* t = &m->tiles[col + across * row];
            t->x = col * w;
            t->y = row * h;
            t->w = w;
            t->h = h;
        }
    }
    return true;
}

bool mmap_merge(mmap* m)
{
    if (!ready(m))
        return false;
    for (int32_t i = 0; i < m->count; i++) {
        mmap_tile* t = &m->tiles[i];
        if (t->link)
            continue;
        for (int32_t j = 0; j < i; j++) {
            if (!m->tiles[j].link && mmap_tile_compare(&m->tiles[j], t)) {
                t->link = &m->tiles[j];
                break;
            }
        }
    }
    return true;
}

bool mmap_shrink(mmap* m)
{
    if (!ready(m))
        return false;
    for (int32_t i = 0; i < m->count; i++)
        if (!m->tiles[i].link)
            mmap_tile_trim(&m->tiles[i]);
    return true;
}

bool mmap_keymap(mmap* m, mmap* master)
{
    if (!ready(m) || !ready(master))
        return false;
    for (int32_t i = 0; i < m->count; i++) {
        mmap_tile* t = &m->tiles[i];
        for (int32_t j = 0; j < master->count; j++) {
            mmap_tile* k = &master->tiles[j];
            // A tile linked to itself would make every walk along its links endless.
            if (k != t && !k->link && mmap_tile_compare(k, t)) {
                t->link = k;
                break;
            }
        }
    }
    return true;
}

static bool taller(const mmap_tile* a, const mmap_tile* b) { return a->h > b->h; }

// The source tiles to place, tallest first, each height in the tiles' own order.
static mmap_tile** layout_order(mmap* src, int32_t* n)
{
    *n = 0;
    for (int32_t i = 0; i < src->count; i++)
        if (src->tiles[i].w > 0 && src->tiles[i].h > 0)
            ++*n;
    if (*n == 0)
        return nullptr;
    mmap_tile** order = (mmap_tile**)malloc(sizeof(mmap_tile*) * (size_t)*n);
    if (!order)
        return nullptr;
    int32_t k = 0;
    for (int32_t i = 0; i < src->count; i++)
        if (src->tiles[i].w > 0 && src->tiles[i].h > 0)
            order[k++] = &src->tiles[i];
    std::stable_sort(order, order + k, taller);
    return order;
}

static void copy_rows(const uint8_t* from, int32_t from_row, const mmap_tile* s, const mmap* dst,
                      const mmap_tile* t)
{
    size_t bytes = (size_t)s->w * dst->bpp;
    // memmove: two maps over one image may place a tile over its own source.
    for (int32_t y = 0; y < s->h; y++)
        memmove(dst->data + (size_t)(t->y + y) * dst->row + (size_t)t->x * dst->bpp,
               from + (size_t)(s->y + y) * from_row + (size_t)s->x * dst->bpp, bytes);
}

// Copies each placed tile's pixels from src's image into dst's, row by row as the tiles
// were cut (top row first). A source of another layout is converted in a scratch copy;
// image-library errors are left pending.
static bool layout_copy(const mmap* src, const mmap* dst)
{
    const uint8_t* from = src->data;
    int32_t from_row = src->row;
    ILuint scratch = 0;
    if (src->format != dst->format || src->type != dst->type || src->bpp != dst->bpp) {
        ilGenImages(1, &scratch);
        ilBindImage(scratch);
        ilCopyImage(src->image);
        ilConvertImage(dst->format, dst->type);
        from = ilGetData();
        from_row = src->image_w * dst->bpp;
        bool same = ilGetInteger(IL_IMAGE_BYTES_PER_PIXEL) == dst->bpp &&
                    ilGetInteger(IL_IMAGE_WIDTH) == src->image_w &&
                    ilGetInteger(IL_IMAGE_HEIGHT) == src->image_h;
        if (!from || !same) {
            ilDeleteImages(1, &scratch);
            ilBindImage(dst->image);
            return false;
        }
    }
    for (int32_t i = 0; i < dst->count; i++) {
        const mmap_tile* t = &dst->tiles[i];
        if (tile_inside(t->link) && tile_inside(t))
            copy_rows(from, from_row, t->link, dst, t);
    }
    // Scripts read the bound image after a layout: it is the destination, not the scratch.
    if (scratch) {
        ilDeleteImages(1, &scratch);
        ilBindImage(dst->image);
    }
    return true;
}

bool mmap_layout(mmap* src, mmap* dst, int32_t border)
{
    if (src == dst || border < 0 || !ready(src) || !mmap_bind_image(dst))
        return false;
    int32_t n = 0;
    mmap_tile** order = layout_order(src, &n);
    if (!order)
        return false;
    bool ok = tiles_alloc(dst, n);
    dst->across = dst->down = 0;
    int64_t b2 = 2 * (int64_t)border;
    int64_t cx = 0, cy = 0, shelf = 0;
    for (int32_t i = 0; ok && i < n; i++) {
        const mmap_tile* s = order[i];
        if (cx + s->w + b2 > dst->image_w) {
            cy += shelf + b2;
            cx = 0;
            shelf = 0;
        }
        // A tile wider than the whole image would be placed across its edge.
        if (cy + s->h + b2 > dst->image_h || s->w + b2 > dst->image_w) {
            ok = false;
            break;
        }
        mmap_tile* t = &dst->tiles[i];
        t->x = (int32_t)(cx + border);
        t->y = (int32_t)(cy + border);
        t->w = s->w;
        t->h = s->h;
        t->offset_x = s->offset_x;
        t->offset_y = s->offset_y;
        t->link = (mmap_tile*)s;
        shelf = std::max(shelf, (int64_t)s->h);
        cx += s->w + b2;
    }
    free(order);
    // On a failure the count stays n: the tiles placed so far keep their places and the
    // rest stay as allocated (0 x 0 at 0, 0, unlinked); no pixels are copied.
    if (!ok)
        return false;
    return layout_copy(src, dst);
}

// ---- XTX writer ------------------------------------------------------------------------

// 1 + the number of m's first tile linked to k, 0 when none is.
static uint16_t key_of(const mmap* m, const mmap_tile* k)
{
    for (int32_t i = 0; i < m->count; i++)
        if (m->tiles[i].link == k)
            return (uint16_t)(i + 1);
    return 0;
}

static bool write_body(FILE* f, const mmap* m, const mmap* key)
{
    uint32_t header[3] = {XTX_MAGIC, XTX_VERSION, xtx_body_size(m->count, key->count)};
    xtx_info info = xtx_make_info(m->count, key->count);
    if (fwrite(header, sizeof(header), 1, f) != 1 || fwrite(&info, sizeof(info), 1, f) != 1)
        return false;
    for (int32_t i = 0; i < m->count; i++) {
        const mmap_tile* t = &m->tiles[i];
        xtx_tile out = {(uint16_t)t->x, (uint16_t)t->y, (uint16_t)t->w, (uint16_t)t->h,
                        (uint16_t)t->offset_x, (uint16_t)t->offset_y};
        if (fwrite(&out, sizeof(out), 1, f) != 1)
            return false;
    }
    for (int32_t i = 0; i < key->count; i++) {
        uint16_t k = key_of(m, &key->tiles[i]);
        if (fwrite(&k, sizeof(k), 1, f) != 1)
            return false;
    }
    return true;
}

bool mmap_save_xtx(const mmap* m, const mmap* key, const char* file_name)
{
    char path[4096];
    FILE* f = plat_path(file_name, path, sizeof(path)) ? fopen(path, "wb") : nullptr;
    if (!f) {
        dbg_error("Failed to open output file \"%s\".\n", file_name);
        return false;
    }
    // A write that only fails when the buffer is flushed shows up at the close.
    bool ok = write_body(f, m, key);
    ok = fclose(f) == 0 && ok;
    if (!ok)
        dbg_error("Failed to write to output file \"%s\".\n", file_name);
    return ok;
}

// ---- Lua library -----------------------------------------------------------------------

mmap* mmap_check_table(lua_State* L, int arg, bool with_image)
{
    // Raw reads: a metamethod could run script code that drops the map from the table and
    // collects it while the caller still holds the record.
    if (!lua_istable(L, arg))
        luaL_argerror(L, arg, "bad " MMAP_TYPE);
    lua_pushstring(L, "mmap");
    lua_rawget(L, arg);
    mmap* m = (mmap*)compat_checkudata(L, -1, MMAP_TYPE);
    lua_pop(L, 1); // the table keeps the userdata alive
    if (!m)
        luaL_argerror(L, arg, "bad " MMAP_TYPE);
    if (with_image) {
        lua_pushstring(L, "image");
        lua_rawget(L, arg);
        devil_image* img = devil_test(L, -1);
        lua_pop(L, 1);
        if (!img)
            luaL_argerror(L, arg, "bad " DEVIL_TYPE);
        m->image = img->image;
    }
    return m;
}

static int mmap_alloc_lua(lua_State* L)
{
    lua_newtable(L);
    luaL_getmetatable(L, MMAPT_TYPE);
    lua_setmetatable(L, -2);
    lua_pushstring(L, "mmap");
    mmap_setup((mmap*)lua_lib_new_record(L, MMAP_TYPE, sizeof(mmap)));
    lua_rawset(L, -3);
    return 1;
}

static int mmap_free_lua(lua_State* L)
{
    mmap_clean(mmap_check_table(L, 1, false));
    return 0;
}

// free and __gc of the userdata itself.
static int mmap_ud_free(lua_State* L)
{
    mmap_clean((mmap*)lua_lib_check(L, 1, MMAP_TYPE));
    return 0;
}

static int mmap_cutup_lua(lua_State* L)
{
    mmap* m = mmap_check_table(L, 1, true);
    mmap_cutup(m, lua_lib_check_int(L, 2), lua_lib_check_int(L, 3));
    return 0;
}

static int mmap_merge_lua(lua_State* L)
{
    mmap_merge(mmap_check_table(L, 1, true));
    return 0;
}

static int mmap_shrink_lua(lua_State* L)
{
    mmap_shrink(mmap_check_table(L, 1, true));
    return 0;
}

static int mmap_keymap_lua(lua_State* L)
{
    mmap* m = mmap_check_table(L, 1, true);
    mmap* master = mmap_check_table(L, 2, true);
    mmap_keymap(m, master);
    return 0;
}

static int mmap_layout_lua(lua_State* L)
{
    mmap* src = mmap_check_table(L, 1, true);
    mmap* dst = mmap_check_table(L, 2, true);
    int32_t border = lua_lib_check_int(L, 3);
    mmap_layout(src, dst, border);
    devil_raise_pending(L);
    return 0;
}

static int mmap_save_lua(lua_State* L)
{
    mmap* m = mmap_check_table(L, 1, true);
    mmap* key = mmap_check_table(L, 2, false);
    mmap_save_xtx(m, key, luaL_checkstring(L, 3));
    return 0;
}

// The tile at (column [, row]) of the map, or the error "requested tile out of range".
static mmap_tile* check_tile(lua_State* L, mmap* m)
{
    luaL_checktype(L, 2, LUA_TTABLE);
    int64_t col = lua_lib_check_int(L, 3);
    int64_t row = lua_isnoneornil(L, 4) ? 0 : lua_lib_check_int(L, 4);
    int64_t n = row * m->across + col;
    if (!m->tiles || n < 0 || n >= m->count)
        luaL_error(L, "requested tile out of range");
    return &m->tiles[n];
}

static void set_number(lua_State* L, const char* name, lua_Number v)
{
    lua_pushnumber(L, v);
    lua_setfield(L, 2, name);
}

static int put_tile(lua_State* L, bool follow)
{
    mmap* m = mmap_check_table(L, 1, false);
    const mmap_tile* t = check_tile(L, m);
    const mmap_tile* last = t;
    while (last->link)
        last = last->link;
    const mmap_tile* shown = follow ? last : t;
    // Everything is read before the first store: a store may run script code (__newindex)
    // that frees these tiles or collects the map.
    const lua_Number values[6] = {(lua_Number)shown->x, (lua_Number)shown->y,
                                  (lua_Number)shown->w, (lua_Number)shown->h,
                                  (lua_Number)(t->link ? last->owner->image : 0),
                                  (lua_Number)m->image};
    static const char* const NAMES[6] = {"x", "y", "w", "h", "master", "base"};
    for (int i = 0; i < 6; i++)
        set_number(L, NAMES[i], values[i]);
    return 0;
}

static int mmap_get_tile_lua(lua_State* L) { return put_tile(L, false); }
static int mmap_get_master_tile_lua(lua_State* L) { return put_tile(L, true); }

static int32_t get_int_field(lua_State* L, const char* name)
{
    lua_getfield(L, 2, name);
    lua_Number n = lua_tonumber(L, -1);
    lua_pop(L, 1);
    if (n != n)
        return 0;
    return n >= 2147483647.0 ? INT32_MAX : n <= -2147483648.0 ? INT32_MIN : (int32_t)n;
}

static int mmap_set_tile_lua(lua_State* L)
{
    // The fields first: reading them may run script code (__index) that frees the tiles.
    luaL_checktype(L, 2, LUA_TTABLE);
    int32_t x = get_int_field(L, "x"), y = get_int_field(L, "y");
    int32_t w = get_int_field(L, "w"), h = get_int_field(L, "h");
    mmap* m = mmap_check_table(L, 1, false);
    mmap_tile* t = check_tile(L, m);
    t->x = x;
    t->y = y;
    t->w = w;
    t->h = h;
    return 0;
}

static const luaL_Reg LIBRARY[] = {
    {"alloc", mmap_alloc_lua},
    {"free", mmap_free_lua},
    {NULL, NULL},
};

static const luaL_Reg MAP_METHODS[] = {
    {"free", mmap_ud_free},
    {"__gc", mmap_ud_free},
    {NULL, NULL},
};

static const luaL_Reg TABLE_METHODS[] = {
    {"free", mmap_free_lua},
    {"cutup", mmap_cutup_lua},
    {"merge", mmap_merge_lua},
    {"shrink", mmap_shrink_lua},
    {"keymap", mmap_keymap_lua},
    {"layout", mmap_layout_lua},
    {"get_master_tile", mmap_get_master_tile_lua},
    {"get_tile", mmap_get_tile_lua},
    {"set_tile", mmap_set_tile_lua},
    {"saveXTX", mmap_save_lua},
    {NULL, NULL},
};

void mmap_lua_setup(lua_State* L)
{
    lua_lib_new_type(L, MMAP_TYPE, MAP_METHODS);
    lua_lib_new_type(L, MMAPT_TYPE, TABLE_METHODS);
    lua_lib_register(L, "mmap", LIBRARY);
}
