// The structor's cell grid: walls from the border and stamped pictures, a liquid that flows
// from one source cell through five passes a step, the box queries the balls make, and the
// picture of the grid drawn with fading trails from a ring of four textures.

#include "app/code/structor/structor.h"

#include <stdlib.h>
#include <string.h>

#include "engine/code/dbg.h"
#include "engine/code/gfx/bmps.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/timer.h"

enum { CELLS_TEXTURE_KIND = 5, CELLS_SOURCE_COLUMN = 8, CELLS_SOURCE_ROW = 8, CELLS_SOURCE_AMOUNT = 64 };

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
    return true;
}

void structor_cells_clean(structor_cells* c)
{
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

static void push(structor_cells* c)
{
    structor_cell* g = c->working;
    for (int32_t r = 3; r <= c->h - 4; r++)
        for (int32_t col = 3; col <= c->w - 4; col++) {
            structor_cell* cell = at(g, c, col, r);
            cell->move_x = 0;
            cell->move_y = 0;
            if (cell->solid)
                continue;
            float a = (float)cell->amount;
            structor_cell* above = at(g, c, col, r - 1);
            structor_cell* below = at(g, c, col, r + 1);
            structor_cell* left = at(g, c, col - 1, r);
            structor_cell* right = at(g, c, col + 1, r);
            if (!above->solid)
                above->flow_y -= a;
            if (!below->solid)
                cell->flow_y += a + 1.0f;
            if (!left->solid)
                left->flow_x -= a;
            if (!right->solid)
                cell->flow_x += a;
        }
}

// One axis of a cell's move: toward the side with the stronger flow, by that flow, when that
// side is open and `may`; left as it is otherwise.
static void axis_move(int32_t* move, float pos, float neg, bool pos_open, bool neg_open, bool may)
{
    if (!may)
        return;
    if (pos >= neg) {
        if (pos > 0.0f && pos_open)
            *move = (int32_t)pos;
    } else if (neg_open) {
        *move = -(int32_t)neg;
    }
}

static void decide(structor_cells* c)
{
    structor_cell* g = c->working;
    for (int32_t r = 3; r <= c->h - 4; r++)
        for (int32_t col = 3; col <= c->w - 4; col++) {
            structor_cell* cell = at(g, c, col, r);
            if (cell->solid)
                continue;
            int32_t a = cell->amount;
            structor_cell* above = at(g, c, col, r - 1);
            structor_cell* below = at(g, c, col, r + 1);
            structor_cell* left_cell = at(g, c, col - 1, r);
            structor_cell* right_cell = at(g, c, col + 1, r);
            float up = -above->flow_y, down = cell->flow_y, left = -left_cell->flow_x, right = cell->flow_x;
            if (up < 1.0f) up = 0.0f;
            if (down < 1.0f) down = 0.0f;
            if (left < 1.0f) left = 0.0f;
            if (right < 1.0f) right = 0.0f;
            if (up > down) down = 0.0f; else up = 0.0f;
            if (left > right) right = 0.0f; else left = 0.0f;
            float cap = (float)((a + 3) >> 2);
            if (up > cap) up = cap;
            if (down > cap) down = cap;
            if (left > cap) left = cap;
            if (right > cap) right = cap;
            // The stronger axis moves whatever the cell holds, the other only from two up.
            bool across = left + right > up + down;
            axis_move(&cell->move_x, right, left, !right_cell->solid, !left_cell->solid, across ? a != 0 : a >= 2);
            axis_move(&cell->move_y, down, up, !below->solid, !above->solid, across ? a >= 2 : a != 0);
        }
}

static void shift(structor_cell* from, structor_cell* to, int32_t n)
{
    to->amount = (uint16_t)(to->amount + n);
    from->amount = (uint16_t)(from->amount - n);
}

static void move(structor_cells* c)
{
    structor_cell* g = c->working;
    for (int32_t r = 3; r <= c->h - 4; r++)
        for (int32_t col = 3; col <= c->w - 4; col++) {
            structor_cell* cell = at(g, c, col, r);
            if (cell->solid)
                continue;
            int32_t m = cell->move_y, n = cell->move_x;
            float fm = 0.75f * (float)m, fn = 0.75f * (float)n;
            if (m <= 0) {
                shift(cell, at(g, c, col, r - 1), -m);
                at(g, c, col, r - 1)->flow_y += fm;
                at(g, c, col, r - 2)->flow_y += fm;
                if (n > 0)
                    at(g, c, col, r - 2)->flow_x += fn;
                else if (n < 0)
                    at(g, c, col - 1, r - 2)->flow_x += fn;
            } else {
                shift(cell, at(g, c, col, r + 1), m);
                cell->flow_y += fm;
                at(g, c, col, r + 1)->flow_y += fm;
                if (n > 0)
                    at(g, c, col, r + 1)->flow_x += fn;
                else if (n < 0)
                    at(g, c, col - 1, r + 1)->flow_x += fn;
            }
            if (n <= 0) {
                shift(cell, at(g, c, col - 1, r), -n);
                at(g, c, col - 1, r)->flow_x += fn;
                at(g, c, col - 2, r)->flow_x += fn;
                if (m > 0)
                    at(g, c, col - 1, r)->flow_y += fm;
                else if (m < 0)
                    at(g, c, col - 1, r - 1)->flow_y += fm;
            } else {
                shift(cell, at(g, c, col + 1, r), n);
                cell->flow_x += fn;
                at(g, c, col + 1, r)->flow_x += fn;
                if (m > 0)
                    at(g, c, col + 1, r)->flow_y += fm;
                else if (m < 0)
                    at(g, c, col + 1, r - 1)->flow_y += fm;
            }
        }
}

static void blur(structor_cells* c)
{
    structor_cell* g = c->working;
    float k = 1.0f / (c->blur_base + 12.0f);
    for (int32_t r = 1; r <= c->h - 2; r++)
        for (int32_t col = 1; col <= c->w - 2; col++) {
            float sx = 0.0f, sy = 0.0f;
            for (int32_t dr = -1; dr <= 1; dr++)
                for (int32_t dc = -1; dc <= 1; dc++) {
                    const structor_cell* n = at(g, c, col + dc, r + dr);
                    sx += n->flow_x;
                    sy += n->flow_y;
                }
            structor_cell* cell = at(g, c, col, r);
            cell->next_x = sx * k;
            cell->next_y = sy * k;
        }
}

static void copy_flows(structor_cells* c)
{
    for (int32_t r = 1; r <= c->h - 2; r++)
        for (int32_t col = 1; col <= c->w - 2; col++) {
            structor_cell* cell = at(c->working, c, col, r);
            cell->flow_x = cell->next_x;
            cell->flow_y = cell->next_y;
        }
}

void structor_cells_step(structor_cells* c)
{
    if (!c->working || c->w <= CELLS_SOURCE_COLUMN + 4 || c->h <= CELLS_SOURCE_ROW + 4)
        return;
    structor_cell* source = at(c->working, c, CELLS_SOURCE_COLUMN, CELLS_SOURCE_ROW);
    source->solid = 0;
    source->amount = CELLS_SOURCE_AMOUNT;
    c->steps++;

    // CELL2 has no phase of its own and shows 0.
    timer t[6];
    for (timer& one : t)
        timer_setup(&one);
    void (*phases[6])(structor_cells*) = {push, NULL, decide, move, blur, copy_flows};
    for (int i = 0; i < 6; i++) {
        if (!phases[i])
            continue;
        timer_start(&t[i]);
        phases[i](c);
        timer_stop(&t[i]);
    }
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
