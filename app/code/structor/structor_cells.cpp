// The structor's cell grid: walls from the border and stamped pictures, a liquid that flows
// from one source cell through five passes a step, the box queries the balls make, and the
// picture of the grid drawn with fading trails from a ring of four textures.

#include "app/code/structor/structor.h"

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "engine/code/dbg.h"
#include "engine/code/gfx/bmps.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/timer.h"

enum { CELLS_TEXTURE_KIND = 5, CELLS_SOURCE_COLUMN = 8, CELLS_SOURCE_ROW = 8, CELLS_SOURCE_AMOUNT = 64 };

static void fields_free(structor_cells* c);
static struct structor_cells_fields* fields_for(structor_cells* c);

static structor_cell* at(structor_cell* a, const structor_cells* c, int32_t column, int32_t row)
{
    return &a[row * c->w + column];
}

structor_cell* structor_cells_at(structor_cells* c, int32_t column, int32_t row)
{
    if (!c->working || column < 0 || row < 0 || column >= c->w || row >= c->h)
        return NULL;
    return at(c->working, c, column, row);
}

bool structor_cells_setup(structor_cells* c, structor_view* view, int32_t w, int32_t h, float cell_size)
{
    c->steps = 0;
    c->view = view;
    c->w = w;
    c->h = h;
    c->cell_size = cell_size;
    c->blur_base = 4.0f;
    c->contact_count = 0;
    for (int32_t i = 0; i < STRUCTOR_CELL_TEXTURES; i++) {
        c->textures[i] = d3d_buffers_alloc_txt(&D3D_BUFFERS, CELLS_TEXTURE_KIND, w, h, 1, NULL);
        if (!c->textures[i]) {
            dbg_error("Failed to setup CELLS %d texture,\n", i);
            structor_cells_clean(c);
            return false;
        }
    }
    size_t n = (size_t)w * (size_t)h;
    c->initial = (structor_cell*)calloc(n, sizeof(structor_cell));
    if (!c->initial) {
        dbg_error("Failed to allocate initial CELL array,\n");
        structor_cells_clean(c);
        return false;
    }
    c->working = (structor_cell*)calloc(n, sizeof(structor_cell));
    if (!c->working) {
        dbg_error("Failed to allocate CELL array,\n");
        structor_cells_clean(c);
        return false;
    }
    c->bitmap = (uint32_t*)calloc(n, sizeof(uint32_t));
    if (!c->bitmap) {
        dbg_error("Failed to allocate BITMAP array,\n");
        structor_cells_clean(c);
        return false;
    }
    if (!fields_for(c)) { // the step's arrays, logged
        structor_cells_clean(c);
        return false;
    }
    return true;
}

void structor_cells_clean(structor_cells* c)
{
    fields_free(c);
    free(c->bitmap);
    c->bitmap = NULL;
    free(c->working);
    c->working = NULL;
    free(c->initial);
    c->initial = NULL;
    for (d3d_txt*& t : c->textures) {
        if (t)
            d3d_buffers_free_txt(&D3D_BUFFERS, t);
        t = NULL;
    }
}

// The bitmap into one texture, row by row at the texture's pitch; skipped when it will not lock.
static void copy_bitmap(structor_cells* c, d3d_txt* t)
{
    if (!t || !c->bitmap)
        return;
    BYTE* bits = d3d_txt_lock(t);
    if (!bits)
        return;
    int32_t columns = c->w < t->width ? c->w : t->width;
    int32_t rows = c->h < t->height ? c->h : t->height;
    for (int32_t r = 0; r < rows; r++)
        memcpy(bits + (size_t)r * t->pitch, c->bitmap + (size_t)r * c->w, (size_t)columns * 4);
    d3d_txt_unlock(t);
}

void structor_cells_clear(structor_cells* c)
{
    if (!c->initial || !c->bitmap)
        return;
    size_t n = (size_t)c->w * c->h;
    memset(c->initial, 0, n * sizeof(structor_cell));
    memset(c->bitmap, 0, n * sizeof(uint32_t));
    for (d3d_txt* t : c->textures)
        copy_bitmap(c, t);
}

void structor_cells_border(structor_cells* c)
{
    if (!c->initial)
        return;
    for (int32_t r = 0; r < c->h; r++)
        for (int32_t col = 0; col < c->w; col++)
            if (col < 4 || col >= c->w - 4 || r < 4 || r >= c->h - 4) {
                structor_cell* cell = at(c->initial, c, col, r);
                cell->solid = 1;
                cell->amount = 0;
            }
}

void structor_cells_reset(structor_cells* c)
{
    if (c->initial && c->working)
        memcpy(c->working, c->initial, (size_t)c->w * c->h * sizeof(structor_cell));
}

// A coordinate in cells or pixels, truncated; a script can place and size an item anywhere
// (huge, infinite or NaN), so the value is held far outside the grid instead of overflowing
// the integer, with room left for sums of two.
static int32_t cell_coordinate(float v)
{
    const float far = 536870912.0f;
    if (!(v > -far))
        return -(int32_t)far; // NaN too: the box then holds no cells
    return v < far ? (int32_t)v : (int32_t)far;
}

void structor_cells_stamp(structor_cells* c, const bmip* picture, const structor_rect* source,
                          const structor_rect* dest)
{
    if (!c->initial || !picture || !picture->data || picture->bpp != 4 || !dest)
        return;
    int32_t dx = cell_coordinate(dest->x), dy = cell_coordinate(dest->y), dw = cell_coordinate(dest->w),
            dh = cell_coordinate(dest->h);
    int32_t isx = 0, isy = 0, isw = picture->w, ish = picture->h;
    if (source) {
        isx = cell_coordinate(source->x);
        isy = cell_coordinate(source->y);
        isw = cell_coordinate(source->w);
        ish = cell_coordinate(source->h);
    }
    if (dw <= 0 || dh <= 0 || isw <= 0 || ish <= 0)
        return;
    float sx = (float)isx, sy = (float)isy, sw = (float)isw, sh = (float)ish;
    float fx = sw / (float)dw, fy = sh / (float)dh;
    if (dx < 0) {
        sx += (float)-dx * fx;
        sw -= (float)-dx * fx;
        dw += dx;
        dx = 0;
    }
    if (dy < 0) {
        sy += (float)-dy * fy;
        sh -= (float)-dy * fy;
        dh += dy;
        dy = 0;
    }
    if (dx + dw > c->w) {
        sw -= (float)(dx + dw - c->w) * fx;
        dw = c->w - dx;
    }
    if (dy + dh > c->h) {
        sh -= (float)(dy + dh - c->h) * fy;
        dh = c->h - dy;
    }
    if (dw <= 0 || dh <= 0 || sw <= 0.0f || sh <= 0.0f)
        return;
    for (int32_t r = dy; r < dy + dh; r++) {
        int32_t py = cell_coordinate((float)(r - dy) * fy + fy * 0.5f + sy);
        if (py < 0 || py >= picture->h)
            continue; // a source rectangle reaching past the picture reads nothing there
        const uint8_t* row = picture->data + (size_t)py * picture->row;
        for (int32_t col = dx; col < dx + dw; col++) {
            int32_t px = cell_coordinate((float)(col - dx) * fx + sx + fx * 0.5f);
            if (px < 0 || px >= picture->w || row[(size_t)px * 4 + 3] != 0xFF)
                continue;
            structor_cell* cell = at(c->initial, c, col, r);
            cell->solid = 1;
            cell->amount = 0;
        }
    }
}

// ---- step ---------------------------------------------------------------------------------
//
// The step must leave the records bit for bit as the five plain passes over them would (the
// reference in the tests). It runs the passes together in one sweep down the rows, each pass
// a few rows behind the one before it, on a window of the grid split into one small array per
// field: a row is taken from the records, pushed and decided a row later, moved two rows
// later still and blurred back into the records a row after that, so every record is read
// once and written once and the window stays in the processor's nearest caches. What that
// allows:
// - Each pass reads and changes only rows near its own, so with those lags each pass still
//   sees every row exactly as the plain passes, run one after the other, would show it.
// - Only the push and move passes and the blur touch flows, all inside the blur's range, and
//   the blur's sums start from +0, so the sign of a zero flow never shows: the move pass may
//   add +0 where the plain pass adds nothing, and the blur's result is the flows the records
//   end with (the copy pass is the write-back).
// - Nothing in the step reads the records' moves, so they are written as soon as decided.
// - A dry cell's cap is 0, so the decide pass leaves it still.
// - Every flow still receives its non-zero additions in the order of the plain passes, and
//   the blur sums each cell's nine values in the same order, so the floats round alike.

// Rows the window holds (a power of two): the sweep uses six at a time.
enum { WINDOW_ROWS = 8 };

struct structor_cells_fields {
    int32_t w, h;
    int32_t stride;    // values per window row: the grid's columns and a pad
    void* block;       // every array below, in one allocation
    // Window rows, row r at (r % WINDOW_ROWS) * stride.
    float* fx;
    float* fy;
    uint32_t* cell;    // the record's first word: the amount in the low 16 bits, solid above
    int32_t* move_x;   // 0 outside the passes' range
    int32_t* move_y;
    float* push_x;     // 0.75 move_x, what a move adds to a flow
    float* push_y;
    float* row_xy;     // one row of the blur, flow_x and flow_y of each cell side by side
};

static const int32_t FIELD_AMOUNT = 0xFFFF;
static const int32_t FIELD_SOLID_SHIFT = 16;
static_assert(offsetof(structor_cell, amount) == 0 && offsetof(structor_cell, solid) == 2 &&
                  __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "a record starts with its amount and then solid, in one word");

// Every row runs this many values past the grid's columns, so the last group of lanes of a
// row may read and write past its end.
enum { FIELD_PAD = 16 };

static void fields_free(structor_cells* c)
{
    if (c->fields) {
        free(c->fields->block);
        free(c->fields);
        c->fields = NULL;
    }
}

// The arrays for this grid's size, made or remade when it changed; null after logging when
// there is no memory for them.
static structor_cells_fields* fields_for(structor_cells* c)
{
    structor_cells_fields* f = c->fields;
    if (f && f->w == c->w && f->h == c->h)
        return f;
    fields_free(c);
    size_t stride = (size_t)c->w + FIELD_PAD, n = stride * WINDOW_ROWS;
    f = (structor_cells_fields*)calloc(1, sizeof *f);
    uint8_t* block = f ? (uint8_t*)calloc(7 * n + 2 * stride, 4) : NULL;
    if (!block) {
        free(f);
        dbg_error("Failed to allocate CELL step arrays,\n");
        return NULL;
    }
    f->w = c->w;
    f->h = c->h;
    f->stride = (int32_t)stride;
    f->block = block;
    f->fx = (float*)block;
    f->fy = f->fx + n;
    f->cell = (uint32_t*)(f->fy + n);
    f->move_x = (int32_t*)(f->cell + n);
    f->move_y = f->move_x + n;
    f->push_x = (float*)(f->move_y + n);
    f->push_y = f->push_x + n;
    f->row_xy = f->push_y + n;
    c->fields = f;
    return f;
}

// Where row r of the grid lies in each window array.
static inline size_t window_row(const structor_cells_fields* f, int32_t r)
{
    return (size_t)(r & (WINDOW_ROWS - 1)) * (size_t)f->stride;
}

// Eight cells side by side. Each lane does what the plain passes do for its cell, in the
// same order, so the floats round alike (no fused multiply-adds, which only a wider target
// than the one chosen below would allow); a comparison gives -1 (true) or 0 in each lane.
typedef float lanes_f __attribute__((vector_size(32)));
typedef int32_t lanes_i __attribute__((vector_size(32)));
enum { LANES = 8 };

// The sweep runs eight cells at a time, built twice where the compiler can: for processors
// with 256-bit vectors and for all others, picked when the program loads.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define WIDE_PASS __attribute__((target_clones("avx2", "default")))
#else
#define WIDE_PASS
#endif

// The helpers here pass lane vectors by value: they are always inlined (unoptimised builds
// too), so no call hands one between code built for different processors.
#pragma GCC diagnostic ignored "-Wpsabi"
#define LANE_HELPER static inline __attribute__((always_inline))

// The lanes of a group of cells starting at column `col` that lie at or before column `last`.
LANE_HELPER lanes_i lanes_upto(int32_t col, int32_t last)
{
    const lanes_i lane = {0, 1, 2, 3, 4, 5, 6, 7};
    return lane + col <= last;
}

// The first or the last four lanes of a and b, interleaved (a0 b0 a1 b1 ...). GCC (from 12)
// and clang both take this form of shuffle; it only moves lanes, so every bit stays.
template <typename V> LANE_HELPER V interleave_low(const V& a, const V& b)
{
    return __builtin_shufflevector(a, b, 0, 8, 1, 9, 2, 10, 3, 11);
}
template <typename V> LANE_HELPER V interleave_high(const V& a, const V& b)
{
    return __builtin_shufflevector(a, b, 4, 12, 5, 13, 6, 14, 7, 15);
}

LANE_HELPER lanes_f load_f(const float* p)
{
    lanes_f v;
    memcpy(&v, p, sizeof v);
    return v;
}
LANE_HELPER void store_f(float* p, const lanes_f& v) { memcpy(p, &v, sizeof v); }
LANE_HELPER lanes_i load_i(const void* p)
{
    lanes_i v;
    memcpy(&v, p, sizeof v);
    return v;
}
LANE_HELPER void store_i(void* p, const lanes_i& v) { memcpy(p, &v, sizeof v); }
LANE_HELPER lanes_f amount_f(const lanes_i& cell) { return __builtin_convertvector(cell & FIELD_AMOUNT, lanes_f); }
LANE_HELPER lanes_i open_of(const lanes_i& cell) { return (cell >> FIELD_SOLID_SHIFT) == 0; }
// The lanes from column `col` on that lie in the passes' range, columns 3 to w - 4.
LANE_HELPER lanes_i in_columns(int32_t col, int32_t w)
{
    const lanes_i lane = {0, 1, 2, 3, 4, 5, 6, 7};
    return (lane + col >= 3) & (lane + col <= w - 4);
}

// Row r of the records into the window.
LANE_HELPER void take_row(const structor_cells* c, structor_cells_fields* f, int32_t r)
{
    const int32_t w = c->w;
    const structor_cell* __restrict g = c->working + (size_t)r * w;
    const size_t at = window_row(f, r);
    uint32_t* __restrict cell = f->cell + at;
    float* __restrict fx = f->fx + at;
    float* __restrict fy = f->fy + at;
    for (int32_t col = 0; col < w; col++) {
        memcpy(&cell[col], &g[col], sizeof cell[col]);
        fx[col] = g[col].flow_x;
        fy[col] = g[col].flow_y;
    }
    if (r < 3 || r > c->h - 4) { // no moves, for the move pass that reads them
        const size_t bytes = (size_t)f->stride * 4;
        memset(f->move_x + at, 0, bytes);
        memset(f->move_y + at, 0, bytes);
        memset(f->push_x + at, 0, bytes);
        memset(f->push_y + at, 0, bytes);
    }
}

// Row r (2 to h - 4) of the push: each open cell of amount a pushes a + 1 down into its own
// flow_y and a up into the flow_y above, a right into its own flow_x and a left into the
// flow_x to its left, where those cells are open. A flow gets its cell's own push first, then
// its neighbour's, as when the cells are pushed in row order. Cells outside the range change
// nothing; the lanes of the last group past column w - 4 are left as they are.
LANE_HELPER void push_row(structor_cells_fields* f, int32_t r)
{
    const int32_t w = f->w, h = f->h;
    // Whether this row and the row below lie in the passes' range, rows 3 to h - 4.
    const lanes_i rows_here = (lanes_i){} + (r >= 3 ? -1 : 0), rows_below = (lanes_i){} + (r + 1 <= h - 4 ? -1 : 0);
    const uint32_t* __restrict cells = f->cell + window_row(f, r);
    const uint32_t* __restrict cells_below = f->cell + window_row(f, r + 1);
    float* __restrict fx = f->fx + window_row(f, r);
    float* __restrict fy = f->fy + window_row(f, r);
    for (int32_t col = 2; col <= w - 4; col += LANES) {
        lanes_i cell = load_i(cells + col), below = load_i(cells_below + col), right = load_i(cells + col + 1);
        lanes_i open = open_of(cell) & lanes_upto(col, w - 4), columns = in_columns(col, w);
        lanes_i active = open & columns & rows_here;
        lanes_i below_open = open_of(below), right_open = open_of(right);
        lanes_f a = amount_f(cell);
        lanes_f y = load_f(fy + col), x = load_f(fx + col);
        y = (active & below_open) ? y + (a + 1.0f) : y;
        y = (below_open & columns & rows_below & open) ? y - amount_f(below) : y;
        x = (active & right_open) ? x + a : x;
        x = (right_open & in_columns(col + 1, w) & rows_here & open) ? x - amount_f(right) : x;
        store_f(fy + col, y);
        store_f(fx + col, x);
    }
}

// Row r (3 to h - 4) of the decide pass: each open cell's outflows (up, down, left, right) of
// at least 1, the weaker of each pair (and up or left on a tie) dropped, each capped at
// (a + 3) >> 2; the stronger axis moves whatever the cell holds, the other only from two up,
// each toward an open cell. A dry cell's cap is 0: it moves nothing. The moves, and what
// each adds to a flow, are kept for the move pass.
// The moves of a group of eight cells into their records, the lanes past column `last` left
// as they are. Nothing in the step reads the records' moves, so they are written as soon as
// decided, while the row's records, just taken, are at hand.
LANE_HELPER void put_moves(structor_cell* g, int32_t col, int32_t last, const lanes_i& mx, const lanes_i& my)
{
    static_assert(offsetof(structor_cell, move_y) == offsetof(structor_cell, move_x) + 4,
                  "the record's moves lie in order");
    typedef uint64_t pairs __attribute__((vector_size(32)));
    const pairs low = (pairs)interleave_low(mx, my);
    const pairs high = (pairs)interleave_high(mx, my);
    if (col + LANES - 1 <= last) {
        for (int32_t lane = 0; lane < 4; lane++) {
            const uint64_t one = low[lane], other = high[lane];
            memcpy(&g[col + lane].move_x, &one, sizeof one);
            memcpy(&g[col + 4 + lane].move_x, &other, sizeof other);
        }
        return;
    }
    for (int32_t lane = 0; col + lane <= last; lane++) {
        const uint64_t one = lane < 4 ? low[lane] : high[lane - 4];
        memcpy(&g[col + lane].move_x, &one, sizeof one);
    }
}

LANE_HELPER void decide_row(structor_cells* c, structor_cells_fields* f, int32_t r)
{
    const int32_t w = f->w;
    const size_t here = window_row(f, r), up_row = window_row(f, r - 1), down_row = window_row(f, r + 1);
    const uint32_t* __restrict cells = f->cell + here;
    const float* __restrict fx = f->fx + here;
    const float* __restrict fy = f->fy + here;
    const float* __restrict fy_above = f->fy + up_row;
    int32_t* __restrict move_x = f->move_x + here;
    int32_t* __restrict move_y = f->move_y + here;
    float* __restrict push_x = f->push_x + here;
    float* __restrict push_y = f->push_y + here;
    structor_cell* __restrict g = c->working + (size_t)r * w;
    const lanes_f zero = {};
    for (int32_t col = 3; col <= w - 4; col += LANES) {
        lanes_i cell = load_i(cells + col);
        lanes_i a = cell & FIELD_AMOUNT;
        lanes_i live = open_of(cell) & (a != 0) & lanes_upto(col, w - 4);
        uint64_t any[4];
        memcpy(any, &live, sizeof any);
        if (!(any[0] | any[1] | any[2] | any[3])) {
            // Dry or walls only (most of the grid): nothing moves.
            store_i(move_x + col, (lanes_i){});
            store_i(move_y + col, (lanes_i){});
            store_f(push_x + col, (lanes_f){});
            store_f(push_y + col, (lanes_f){});
            put_moves(g, col, w - 4, (lanes_i){}, (lanes_i){});
            continue;
        }
        lanes_f up = -load_f(fy_above + col), down = load_f(fy + col);
        lanes_f left = -load_f(fx + col - 1), right = load_f(fx + col);
        up = up < 1.0f ? zero : up;
        down = down < 1.0f ? zero : down;
        left = left < 1.0f ? zero : left;
        right = right < 1.0f ? zero : right;
        lanes_i upward = up > down;
        down = upward ? zero : down;
        up = upward ? up : zero;
        lanes_i leftward = left > right;
        right = leftward ? zero : right;
        left = leftward ? left : zero;
        lanes_f cap = __builtin_convertvector((a + 3) >> 2, lanes_f);
        up = up > cap ? cap : up;
        down = down > cap ? cap : down;
        left = left > cap ? cap : left;
        right = right > cap ? cap : right;
        lanes_i across = left + right > up + down, two = a >= 2;
        lanes_i may_x = live & (across | two), may_y = live & (~across | two);
        lanes_i open_r = open_of(load_i(cells + col + 1));
        lanes_i open_l = open_of(load_i(cells + col - 1));
        lanes_i open_d = open_of(load_i(f->cell + down_row + col));
        lanes_i open_u = open_of(load_i(f->cell + up_row + col));
        lanes_i to_right = right >= left, to_down = down >= up;
        lanes_i mx = (__builtin_convertvector(right, lanes_i) & (to_right & (right > 0.0f) & open_r & may_x)) |
                     (-__builtin_convertvector(left, lanes_i) & (~to_right & open_l & may_x));
        lanes_i my = (__builtin_convertvector(down, lanes_i) & (to_down & (down > 0.0f) & open_d & may_y)) |
                     (-__builtin_convertvector(up, lanes_i) & (~to_down & open_u & may_y));
        store_i(move_x + col, mx);
        store_i(move_y + col, my);
        store_f(push_x + col, 0.75f * __builtin_convertvector(mx, lanes_f));
        store_f(push_y + col, 0.75f * __builtin_convertvector(my, lanes_f));
        put_moves(g, col, w - 4, mx, my);
    }
}

// Row q (1 to h - 3) of the move pass, gathered at the cells it changes. The plain pass runs
// through the moving cells in row order, each adding its share to the amounts and flows of
// up to eight cells around it; the moves are all decided before it starts and it reads
// nothing else. So a cell ends with its own additions made in the order of the cells they
// come from, in rows q - 1 to q + 2, which is how they are summed here. Amounts are whole
// numbers, 16 bits wide, wrapping as the records' do: their sum's order does not matter.
// Where a share is absent, +0 is added instead, which changes nothing that shows.
LANE_HELPER void move_row(structor_cells_fields* f, int32_t q)
{
    const int32_t w = f->w;
    const size_t up = window_row(f, q - 1), here = window_row(f, q), down = window_row(f, q + 1),
                 down2 = window_row(f, q + 2);
    const int32_t* __restrict mx = f->move_x;
    const int32_t* __restrict my = f->move_y;
    const float* __restrict px = f->push_x;
    const float* __restrict py = f->push_y;
    uint32_t* __restrict cells = f->cell + here;
    float* __restrict fx = f->fx + here;
    float* __restrict fy = f->fy + here;
    const lanes_f zero = {};
    for (int32_t col = 1; col <= w - 3; col += LANES) {
        const lanes_i mx_u0 = load_i(mx + up + col), mx_u1 = load_i(mx + up + col + 1);
        const lanes_i my_u0 = load_i(my + up + col);
        const lanes_i mx_hl = load_i(mx + here + col - 1), mx_h0 = load_i(mx + here + col),
                      mx_h1 = load_i(mx + here + col + 1), mx_h2 = load_i(mx + here + col + 2);
        const lanes_i my_hl = load_i(my + here + col - 1), my_h0 = load_i(my + here + col),
                      my_h1 = load_i(my + here + col + 1);
        const lanes_i mx_dl = load_i(mx + down + col - 1), mx_d1 = load_i(mx + down + col + 1);
        const lanes_i my_dl = load_i(my + down + col - 1), my_d0 = load_i(my + down + col),
                      my_d1 = load_i(my + down + col + 1);
        const lanes_i mx_e0 = load_i(mx + down2 + col), mx_e1 = load_i(mx + down2 + col + 1);
        const lanes_i my_e0 = load_i(my + down2 + col);
        uint64_t any[4];
        const lanes_i all = mx_u0 | mx_u1 | my_u0 | mx_hl | mx_h0 | mx_h1 | mx_h2 | my_hl | my_h0 | my_h1 | mx_dl |
                            mx_d1 | my_dl | my_d0 | my_d1 | mx_e0 | mx_e1 | my_e0;
        memcpy(any, &all, sizeof any);
        if (!(any[0] | any[1] | any[2] | any[3]))
            continue; // nothing moves near here (most of the grid)
        // The amount: out by its own moves, in from the neighbours that move toward it.
        const lanes_i none = {};
        lanes_i cell = load_i(cells + col);
        lanes_i gain = (my_u0 > 0 ? my_u0 : none) + (mx_hl > 0 ? mx_hl : none) + (mx_h1 < 0 ? -mx_h1 : none) +
                       (my_d0 < 0 ? -my_d0 : none);
        lanes_i loss = (my_h0 < 0 ? -my_h0 : my_h0) + (mx_h0 < 0 ? -mx_h0 : mx_h0);
        cell = (cell & ~FIELD_AMOUNT) | ((cell + gain - loss) & FIELD_AMOUNT);
        store_i(cells + col, cell);
        // flow_y, from the cells above down to two below: down into it (a cell moving down
        // adds to its own flow_y and the one below; m > 0), across into it after a move down
        // (left or right neighbour) or up (the ones below them), up into it (m <= 0: the
        // flow_y of the cell above and two above the moving one).
        lanes_f y = load_f(fy + col);
        y += my_u0 > 0 ? load_f(py + up + col) : zero;
        y += ((my_hl > 0) & (mx_hl > 0)) ? load_f(py + here + col - 1) : zero;
        y += my_h0 > 0 ? load_f(py + here + col) : zero;
        y += ((my_h1 > 0) & (mx_h1 <= 0)) ? load_f(py + here + col + 1) : zero;
        y += ((my_dl <= 0) & (mx_dl > 0)) ? load_f(py + down + col - 1) : zero;
        y += my_d0 <= 0 ? load_f(py + down + col) : zero;
        y += ((my_d1 <= 0) & (mx_d1 <= 0)) ? load_f(py + down + col + 1) : zero;
        y += my_e0 <= 0 ? load_f(py + down2 + col) : zero;
        store_f(fy + col, y);
        // flow_x: the cross term of a move down from above (n > 0 here, n < 0 from the
        // right), the sideways moves of this row, then the cross term of a move up from two
        // below.
        lanes_f x = load_f(fx + col);
        x += ((my_u0 > 0) & (mx_u0 >= 0)) ? load_f(px + up + col) : zero;
        x += ((load_i(my + up + col + 1) > 0) & (mx_u1 < 0)) ? load_f(px + up + col + 1) : zero;
        x += mx_hl > 0 ? load_f(px + here + col - 1) : zero;
        x += mx_h0 > 0 ? load_f(px + here + col) : zero;
        x += mx_h1 <= 0 ? load_f(px + here + col + 1) : zero;
        x += mx_h2 <= 0 ? load_f(px + here + col + 2) : zero;
        x += ((my_e0 <= 0) & (mx_e0 >= 0)) ? load_f(px + down2 + col) : zero;
        x += ((load_i(my + down2 + col + 1) <= 0) & (mx_e1 < 0)) ? load_f(px + down2 + col + 1) : zero;
        store_f(fx + col, x);
    }
}

// The sum of a 3 x 3 neighbourhood from the row above to the row below, left to right.
LANE_HELPER lanes_f sum9(const float* above, const float* here, const float* below)
{
    const float* rows[3] = {above, here, below};
    lanes_f s = {};
    for (const float* p : rows) {
        s += load_f(p - 1);
        s += load_f(p);
        s += load_f(p + 1);
    }
    return s;
}

// Row r (1 to h - 2) of the blur and the copy, straight into the records: each inner cell's
// flows become the sums of its 3 x 3 neighbourhood times k, as both its flows and its next
// flows, with its amount.
LANE_HELPER void blur_row(structor_cells* c, structor_cells_fields* f, int32_t r, float k)
{
    const int32_t w = c->w;
    const size_t up = window_row(f, r - 1), here = window_row(f, r), down = window_row(f, r + 1);
    structor_cell* __restrict g = c->working + (size_t)r * w;
    const uint32_t* __restrict cells = f->cell + here;
    float* __restrict row_xy = f->row_xy;
    for (int32_t col = 1; col <= w - 2; col += LANES) {
        lanes_f x = sum9(f->fx + up + col, f->fx + here + col, f->fx + down + col) * k;
        lanes_f y = sum9(f->fy + up + col, f->fy + here + col, f->fy + down + col) * k;
        store_f(row_xy + 2 * col, interleave_low(x, y));
        store_f(row_xy + 2 * col + LANES, interleave_high(x, y));
    }
    // The four flows of a record lie together: one store.
    static_assert(offsetof(structor_cell, flow_y) == offsetof(structor_cell, flow_x) + 4 &&
                      offsetof(structor_cell, next_x) == offsetof(structor_cell, flow_x) + 8 &&
                      offsetof(structor_cell, next_y) == offsetof(structor_cell, flow_x) + 12,
                  "the record's flows lie in order");
    for (int32_t col = 1; col <= w - 2; col++) {
        structor_cell* cell = &g[col];
        memcpy(cell, &cells[col], sizeof cells[col]);
        uint64_t xy;
        memcpy(&xy, row_xy + 2 * col, sizeof xy);
        typedef uint64_t twice __attribute__((vector_size(16)));
        const twice flows = {xy, xy};
        memcpy(&cell->flow_x, &flows, sizeof flows);
    }
}

// The sweep: at row t, take row t, push and decide row t - 1, move row t - 3, blur row t - 4.
// The push and decide of a row read the row below; the move of row q reads the moves of rows
// q - 1 to q + 2 and comes after every pass that reads row q's amounts and flows before the
// move (the decide of row q + 1 is the last); the blur of row r reads rows r - 1 to r + 1
// once moved. The window holds rows t - 5 to t.
WIDE_PASS static void sweep(structor_cells* c, structor_cells_fields* f)
{
    const int32_t h = c->h;
    const float k = 1.0f / (c->blur_base + 12.0f);
    for (int32_t t = 0; t < h + 4; t++) {
        if (t < h)
            take_row(c, f, t);
        if (t - 1 >= 2 && t - 1 <= h - 4)
            push_row(f, t - 1);
        if (t - 1 >= 3 && t - 1 <= h - 4)
            decide_row(c, f, t - 1);
        if (t - 3 >= 1 && t - 3 <= h - 3)
            move_row(f, t - 3);
        if (t - 4 >= 1 && t - 4 <= h - 2)
            blur_row(c, f, t - 4, k);
    }
}

void structor_cells_step(structor_cells* c)
{
    if (!c->working || c->w <= CELLS_SOURCE_COLUMN + 4 || c->h <= CELLS_SOURCE_ROW + 4)
        return;
    structor_cells_fields* f = fields_for(c);
    if (!f)
        return;
    structor_cell* source = at(c->working, c, CELLS_SOURCE_COLUMN, CELLS_SOURCE_ROW);
    source->solid = 0;
    source->amount = CELLS_SOURCE_AMOUNT;
    c->steps++;

    // The passes run together in one sweep, timed as a whole on CELL1; the other five stay 0.
    timer t[6];
    for (timer& one : t)
        timer_setup(&one);
    timer_start(&t[0]);
    sweep(c, f);
    timer_stop(&t[0]);
    dbg_status("CELL1=%3d CELL2=%3d CELL3=%3d CELL4=%3d CELL5=%3d CELL6=%3d\n", t[0].last, t[1].last, t[2].last,
               t[3].last, t[4].last, t[5].last);
    for (timer& one : t)
        timer_clean(&one);
}

// ---- queries ------------------------------------------------------------------------------

// The cells under a world box: columns [c0, c1), rows [r0, r1).
static void box_to_cells(const structor_cells* c, const vec3* lo, const vec3* hi, int32_t* c0, int32_t* c1,
                         int32_t* r0, int32_t* r1)
{
    int32_t hw = c->w / 2, hh = c->h / 2;
    *c0 = cell_coordinate(lo->x / c->cell_size + (float)hw) - 1;
    if (*c0 < 0)
        *c0 = 0;
    *c1 = cell_coordinate(hi->x / c->cell_size + (float)hw) + 1;
    if (*c1 > c->w)
        *c1 = c->w;
    *r0 = c->h - cell_coordinate(hi->y / c->cell_size + (float)hh);
    if (*r0 < 0)
        *r0 = 0;
    *r1 = c->h - cell_coordinate(lo->y / c->cell_size + (float)hh) - 2;
    if (*r1 > c->h)
        *r1 = c->h;
}

void structor_cells_solid_spheres(structor_cells* c, const vec3* lo, const vec3* hi)
{
    c->contact_count = 0;
    if (!c->working)
        return;
    int32_t c0, c1, r0, r1;
    box_to_cells(c, lo, hi, &c0, &c1, &r0, &r1);
    for (int32_t r = r0; r < r1 && c->contact_count < STRUCTOR_CONTACTS; r++)
        for (int32_t col = c0; col < c1 && c->contact_count < STRUCTOR_CONTACTS; col++) {
            if (!at(c->working, c, col, r)->solid)
                continue;
            sphere* s = &c->contacts[c->contact_count++];
            memset(s, 0, sizeof *s);
            s->position.x = ((float)(col - c->w / 2) + 0.5f) * c->cell_size;
            s->position.y = ((float)(c->h / 2 - r) - 0.5f) * c->cell_size;
            s->radius = c->cell_size * 0.5f;
            s->contact_time = 2.0f;
        }
    if (c->contact_count == STRUCTOR_CONTACTS)
        dbg_error("Collision Broken.\n");
}

void structor_cells_sample(structor_cells* c, const vec3* lo, const vec3* hi, vec3* out)
{
    *out = {0.0f, 0.0f, 0.0f};
    if (!c->working)
        return;
    int32_t c0, c1, r0, r1;
    box_to_cells(c, lo, hi, &c0, &c1, &r0, &r1);
    int32_t n = 0;
    for (int32_t r = r0; r < r1; r++)
        for (int32_t col = c0; col < c1; col++) {
            const structor_cell* cell = at(c->working, c, col, r);
            out->x += cell->flow_x;
            out->y += cell->flow_y;
            out->z += (float)cell->amount;
            n++;
        }
    if (n > 0) {
        out->x /= (float)n;
        out->y /= (float)n;
        out->z /= (float)n;
    }
}

// ---- draw ---------------------------------------------------------------------------------

static uint32_t cell_colour(const structor_cell* cell)
{
    if (cell->solid)
        return 0xFF000000u;
    if (cell->amount == 0)
        return 0;
    uint32_t a = cell->amount > 127 ? 127 : cell->amount;
    uint32_t alpha = 2 * a + 96;
    if (alpha > 255)
        alpha = 255;
    return alpha << 24 | (256 - 2 * a);
}

void structor_cells_draw(structor_cells* c)
{
    if (!c->working || !c->bitmap)
        return;
    IDirect3DDevice8* device = GFX.d3d_gfx.device;
    d3d_state_reset(device);
    gfx_set_zfunc(&GFX, false);
    size_t n = (size_t)c->w * c->h;
    for (size_t i = 0; i < n; i++)
        c->bitmap[i] = cell_colour(&c->working[i]);
    copy_bitmap(c, c->textures[c->steps % STRUCTOR_CELL_TEXTURES]);
    gfx_set_zwrite(&GFX, false);

    float x = (float)c->w * c->cell_size * 0.5f, y = (float)c->h * c->cell_size * 0.5f;
    vec3 corners[4] = {{-x, -y, 0.0f}, {-x, y, 0.0f}, {x, -y, 0.0f}, {x, y, 0.0f}};
    static const float uv[4][2] = {{0, 1}, {0, 0}, {1, 1}, {1, 0}};
    d3d_vertex_2d quad[4];
    for (int i = 0; i < 4; i++) {
        if (c->view)
            view_project_point(&c->view->view, &corners[i]);
        quad[i] = {corners[i].x, corners[i].y, 0.0f, 1.0f, 0xFFFFFFFFu, uv[i][0], uv[i][1]};
    }
    static const uint32_t alphas[4] = {255, 128, 64, 32};
    for (uint32_t i = 0; i < 4; i++) {
        for (d3d_vertex_2d& v : quad)
            v.diffuse = alphas[i] << 24 | 0x00FFFFFFu;
        d3d_txt* t = c->textures[(c->steps - i) % STRUCTOR_CELL_TEXTURES];
        if (t)
            d3d_txt_set(t, 0);
        d3d_buffers_draw2d(&D3D_BUFFERS, quad, 4, D3DPT_TRIANGLESTRIP, 2);
    }
    d3d_state_set_texture(0, device, NULL);
    gfx_set_zwrite(&GFX, true);
    gfx_set_zfunc(&GFX, true);
}
