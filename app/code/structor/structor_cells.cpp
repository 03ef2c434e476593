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
// The step works on the grid split into one array per field, taken from the records at the
// start and written back at the end, and must leave the records bit for bit as the five
// plain passes over them would (the reference in the tests). What that allows:
// - Only the push and move passes and the blur touch flows, all inside the blur's range, and
//   the blur's sums start from +0, so the sign of a zero flow never shows: the move pass may
//   skip a cell that moves nothing (it would only add +0), and the blur's result is the
//   flows the records end with (the copy pass is the write-back).
// - A dry cell's cap is 0, so the decide pass leaves it still.
// - Every flow still receives its non-zero additions in the order of the plain passes, and
//   the blur sums each cell's nine values in the same order, so the floats round alike.

struct structor_cells_fields {
    int32_t w, h;
    void* block;       // every array below, in one allocation
    float* fx;
    float* fy;
    int32_t* move_x;
    int32_t* move_y;
    uint32_t* cell;    // the amount in the low 16 bits, then FIELD_OPEN and FIELD_ACTIVE
    float* row_x;      // one row of the blur
    float* row_y;
};

static const int32_t FIELD_AMOUNT = 0xFFFF;
static const int32_t FIELD_OPEN = 0x10000;    // not solid
static const int32_t FIELD_ACTIVE = 0x20000;  // open and inside the range of the push, decide and move passes

// Every array runs this many values past the grid, so the last group of lanes of a row may
// read and write past its end.
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
    size_t n = (size_t)c->w * c->h + FIELD_PAD;
    f = (structor_cells_fields*)calloc(1, sizeof *f);
    size_t row = (size_t)c->w + FIELD_PAD;
    uint8_t* block = f ? (uint8_t*)calloc(5 * n + 2 * row, 4) : NULL;
    if (!block) {
        free(f);
        dbg_error("Failed to allocate CELL step arrays,\n");
        return NULL;
    }
    f->w = c->w;
    f->h = c->h;
    f->block = block;
    f->fx = (float*)block;
    f->fy = f->fx + n;
    f->move_x = (int32_t*)(f->fy + n);
    f->move_y = f->move_x + n;
    f->cell = (uint32_t*)(f->move_y + n);
    f->row_x = (float*)(f->cell + n);
    f->row_y = f->row_x + row;
    c->fields = f;
    return f;
}

// Eight cells side by side. Each lane does what the plain passes do for its cell, in the
// same order, so the floats round alike (no fused multiply-adds, which only a wider target
// than the one chosen below would allow); a comparison gives -1 (true) or 0 in each lane.
typedef float lanes_f __attribute__((vector_size(32)));
typedef int32_t lanes_i __attribute__((vector_size(32)));
enum { LANES = 8 };

// The passes that run eight cells at a time are built twice where the compiler can: for
// processors with 256-bit vectors and for all others, picked when the program loads.
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

// The records into the arrays.
static void gather(const structor_cells* c, structor_cells_fields* f)
{
    const int32_t w = c->w, h = c->h;
    const structor_cell* __restrict g = c->working;
    uint32_t* __restrict cell = f->cell;
    float* __restrict fx = f->fx;
    float* __restrict fy = f->fy;
    for (int32_t r = 0; r < h; r++) {
        // Columns 3 to w - 4 of rows 3 to h - 4 are in the passes' range.
        const uint32_t in_range = r >= 3 && r <= h - 4 ? FIELD_OPEN | FIELD_ACTIVE : FIELD_OPEN;
        for (int32_t col = 0, i = r * w; col < w; col++, i++) {
            const uint32_t open = col >= 3 && col <= w - 4 ? in_range : FIELD_OPEN;
            cell[i] = g[i].amount | (g[i].solid ? 0u : open);
            fx[i] = g[i].flow_x;
            fy[i] = g[i].flow_y;
        }
    }
}

// Each open cell of amount a pushes a + 1 down into its own flow_y and a up into the flow_y
// above, a right into its own flow_x and a left into the flow_x to its left, where those
// cells are open. A flow gets its cell's own push first, then its neighbour's, as when the
// cells are pushed in row order. Cells outside the range change nothing; the lanes of the
// last group of a row that reach into the next row are left as they are.
WIDE_PASS static void push(structor_cells_fields* f)
{
    const int32_t w = f->w, h = f->h;
    const uint32_t* __restrict cells = f->cell;
    float* __restrict fx = f->fx;
    float* __restrict fy = f->fy;
    for (int32_t r = 2; r <= h - 4; r++)
        for (int32_t col = 2; col <= w - 4; col += LANES) {
            const int32_t i = r * w + col;
            lanes_i cell = load_i(cells + i), below = load_i(cells + i + w), right = load_i(cells + i + 1);
            lanes_i open = ((cell & FIELD_OPEN) != 0) & lanes_upto(col, w - 4);
            lanes_i active = ((cell & FIELD_ACTIVE) != 0) & open;
            lanes_f a = amount_f(cell);
            lanes_f y = load_f(fy + i), x = load_f(fx + i);
            y = (active & ((below & FIELD_OPEN) != 0)) ? y + (a + 1.0f) : y;
            y = (((below & FIELD_ACTIVE) != 0) & open) ? y - amount_f(below) : y;
            x = (active & ((right & FIELD_OPEN) != 0)) ? x + a : x;
            x = (((right & FIELD_ACTIVE) != 0) & open) ? x - amount_f(right) : x;
            store_f(fy + i, y);
            store_f(fx + i, x);
        }
}

// Each open cell's outflows (up, down, left, right) of at least 1, the weaker of each pair
// (and up or left on a tie) dropped, each capped at (a + 3) >> 2; the stronger axis moves
// whatever the cell holds, the other only from two up, each toward an open cell. A dry
// cell's cap is 0: it moves nothing.
WIDE_PASS static void decide(structor_cells_fields* f)
{
    const int32_t w = f->w, h = f->h;
    const uint32_t* __restrict cells = f->cell;
    const float* __restrict fx = f->fx;
    const float* __restrict fy = f->fy;
    int32_t* __restrict move_x = f->move_x;
    int32_t* __restrict move_y = f->move_y;
    const lanes_f zero = {};
    for (int32_t r = 3; r <= h - 4; r++)
        for (int32_t col = 3; col <= w - 4; col += LANES) {
            const int32_t i = r * w + col;
            lanes_i cell = load_i(cells + i);
            lanes_i a = cell & FIELD_AMOUNT;
            lanes_i live = ((cell & FIELD_ACTIVE) != 0) & (a != 0) & lanes_upto(col, w - 4);
            lanes_f up = -load_f(fy + i - w), down = load_f(fy + i);
            lanes_f left = -load_f(fx + i - 1), right = load_f(fx + i);
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
            lanes_i open_r = (load_i(cells + i + 1) & FIELD_OPEN) != 0;
            lanes_i open_l = (load_i(cells + i - 1) & FIELD_OPEN) != 0;
            lanes_i open_d = (load_i(cells + i + w) & FIELD_OPEN) != 0;
            lanes_i open_u = (load_i(cells + i - w) & FIELD_OPEN) != 0;
            lanes_i to_right = right >= left, to_down = down >= up;
            lanes_i mx = (__builtin_convertvector(right, lanes_i) & (to_right & (right > 0.0f) & open_r & may_x)) |
                         (-__builtin_convertvector(left, lanes_i) & (~to_right & open_l & may_x));
            lanes_i my = (__builtin_convertvector(down, lanes_i) & (to_down & (down > 0.0f) & open_d & may_y)) |
                         (-__builtin_convertvector(up, lanes_i) & (~to_down & open_u & may_y));
            store_i(move_x + i, mx);
            store_i(move_y + i, my);
        }
}

// Amounts are 16 bits and wrap as the records' do.
static void shift(uint32_t* cell, int32_t from, int32_t to, int32_t n)
{
    cell[to] = (cell[to] & ~(uint32_t)FIELD_AMOUNT) | ((cell[to] + n) & FIELD_AMOUNT);
    cell[from] = (cell[from] & ~(uint32_t)FIELD_AMOUNT) | ((cell[from] - n) & FIELD_AMOUNT);
}

// In row order, so a cell can pass on liquid that arrived in this pass. A still cell would
// only add +0 to four flows, which nothing after it can see.
static void move(structor_cells_fields* f)
{
    const int32_t w = f->w, h = f->h;
    uint32_t* __restrict cell = f->cell;
    float* __restrict fx = f->fx;
    float* __restrict fy = f->fy;
    const int32_t* __restrict move_x = f->move_x;
    const int32_t* __restrict move_y = f->move_y;
    for (int32_t r = 3; r <= h - 4; r++)
        for (int32_t i = r * w + 3, end = r * w + w - 4; i <= end; i++) {
            int32_t m = move_y[i], n = move_x[i];
            if ((m | n) == 0)
                continue;
            float fm = 0.75f * (float)m, fn = 0.75f * (float)n;
            if (m <= 0) {
                shift(cell, i, i - w, -m);
                fy[i - w] += fm;
                fy[i - 2 * w] += fm;
                if (n > 0)
                    fx[i - 2 * w] += fn;
                else if (n < 0)
                    fx[i - 2 * w - 1] += fn;
            } else {
                shift(cell, i, i + w, m);
                fy[i] += fm;
                fy[i + w] += fm;
                if (n > 0)
                    fx[i + w] += fn;
                else if (n < 0)
                    fx[i + w - 1] += fn;
            }
            if (n <= 0) {
                shift(cell, i, i - 1, -n);
                fx[i - 1] += fn;
                fx[i - 2] += fn;
                if (m > 0)
                    fy[i - 1] += fm;
                else if (m < 0)
                    fy[i - w - 1] += fm;
            } else {
                shift(cell, i, i + 1, n);
                fx[i] += fn;
                fx[i + 1] += fn;
                if (m > 0)
                    fy[i + 1] += fm;
                else if (m < 0)
                    fy[i - w + 1] += fm;
            }
        }
}

// The sum of a 3 x 3 neighbourhood from the row above to the row below, left to right.
LANE_HELPER lanes_f sum9(const float* p, int32_t w)
{
    lanes_f s = {};
    for (int32_t dr = -1; dr <= 1; dr++) {
        s += load_f(p + dr * w - 1);
        s += load_f(p + dr * w);
        s += load_f(p + dr * w + 1);
    }
    return s;
}

// The blur and the copy, straight into the records a row at a time: each inner cell's flows
// become the sums of its 3 x 3 neighbourhood times k, as both its flows and its next flows,
// with its amount; the cells of the passes' range also take their moves.
WIDE_PASS static void blur_into(structor_cells* c, const structor_cells_fields* f)
{
    const int32_t w = c->w, h = c->h;
    const float k = 1.0f / (c->blur_base + 12.0f);
    structor_cell* __restrict g = c->working;
    const float* __restrict fx = f->fx;
    const float* __restrict fy = f->fy;
    const uint32_t* __restrict cells = f->cell;
    float* __restrict row_x = f->row_x;
    float* __restrict row_y = f->row_y;
    for (int32_t r = 1; r <= h - 2; r++) {
        const int32_t row = r * w;
        for (int32_t col = 1; col <= w - 2; col += LANES) {
            store_f(row_x + col, sum9(fx + row + col, w) * k);
            store_f(row_y + col, sum9(fy + row + col, w) * k);
        }
        // The four flows of a record lie together: one store.
        static_assert(offsetof(structor_cell, flow_y) == offsetof(structor_cell, flow_x) + 4 &&
                          offsetof(structor_cell, next_x) == offsetof(structor_cell, flow_x) + 8 &&
                          offsetof(structor_cell, next_y) == offsetof(structor_cell, flow_x) + 12 &&
                          offsetof(structor_cell, move_y) == offsetof(structor_cell, move_x) + 4,
                      "the record's flows and moves lie in order");
        for (int32_t col = 1; col <= w - 2; col++) {
            structor_cell* cell = &g[row + col];
            cell->amount = (uint16_t)(cells[row + col] & FIELD_AMOUNT);
            const float flows[4] = {row_x[col], row_y[col], row_x[col], row_y[col]};
            memcpy(&cell->flow_x, flows, sizeof flows);
        }
        if (r >= 3 && r <= h - 4)
            for (int32_t col = 3; col <= w - 4; col++) {
                const int32_t moves[2] = {f->move_x[row + col], f->move_y[row + col]};
                memcpy(&g[row + col].move_x, moves, sizeof moves);
            }
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

    // CELL1 push (with taking the records), CELL2 none, CELL3 decide, CELL4 move, CELL5 blur
    // and copy (putting the records back), CELL6 none.
    timer t[6];
    for (timer& one : t)
        timer_setup(&one);
    timer_start(&t[0]);
    gather(c, f);
    push(f);
    timer_stop(&t[0]);
    timer_start(&t[2]);
    decide(f);
    timer_stop(&t[2]);
    timer_start(&t[3]);
    move(f);
    timer_stop(&t[3]);
    // The copy goes with the blur: CELL6 stays 0.
    timer_start(&t[4]);
    blur_into(c, f);
    timer_stop(&t[4]);
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
