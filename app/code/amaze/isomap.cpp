// The maze terrain: the height lattice, its normals, its one vertex and one index buffer,
// the two-shade draw and the height and slope queries.
//
// Sections: life, filling, build, draw, queries.

#include "app/code/amaze/isomap.h"

#include <cstdlib>
#include <cstring>

#include "engine/code/dbg.h"
#include "engine/code/gfx/bmps.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/hmap.h"
#include "engine/code/maths.h"

// ---- life ----------------------------------------------------------------------------------

bool isomap_setup(isomap* m, amaze* owner)
{
    m->owner = owner;
    return true;
}

bool isomap_reset(isomap* m)
{
    amaze* owner = m->owner;
    isomap_clean(m);
    return isomap_setup(m, owner);
}

void isomap_clean(isomap* m)
{
    free(m->points);
    m->points = NULL;
    d3d_buffers_free_vtx(&D3D_BUFFERS, m->vtx);
    m->vtx = NULL;
    d3d_buffers_free_idx(&D3D_BUFFERS, m->idx);
    m->idx = NULL;
    m->cells_x = 0;
    m->cells_y = 0;
}

static int64_t vertex_count(int64_t cx, int64_t cy) { return (2 * cx + 1) * cy + cx + 1; }

// ---- filling -------------------------------------------------------------------------------

bool isomap_alloc(isomap* m, int32_t w, int32_t h)
{
    // A map loaded before is let go here, not left to leak.
    isomap_clean(m);
    int32_t cx = w & ~1, cy = h & ~1;
    if (cx < 2 || cy < 2)
        return false;
    // 16-bit indices reach only 65536 vertices.
    if (vertex_count(cx, cy) > 65536) {
        dbg_error("Failed to allocate isomap vertex buffer,\n");
        return false;
    }
    m->cells_x = cx;
    m->cells_y = cy;
    m->points = (isomap_point*)calloc((size_t)(2 * cy + 1) * (cx + 1), sizeof(isomap_point));
    if (!m->points) {
        dbg_error("Failed to allocate isomap chunk buffer,\n");
        isomap_clean(m);
        return false;
    }
    m->vtx = d3d_buffers_alloc_vtx(&D3D_BUFFERS, ISOMAP_FVF, sizeof(isomap_vertex), (uint32_t)vertex_count(cx, cy));
    if (!m->vtx) {
        dbg_error("Failed to allocate isomap vertex buffer,\n");
        isomap_clean(m);
        return false;
    }
    m->idx = d3d_buffers_alloc_idx(&D3D_BUFFERS, (uint32_t)(cx * cy * 12));
    if (!m->idx) {
        dbg_error("Failed to allocate isomap index buffer,\n");
        isomap_clean(m);
        return false;
    }
    isomap_build(m);
    return true;
}

// Lattice row r holds cells_x + 1 values on even rows and cells_x on odd ones; `at(r, c)`
// gives the height source for each.
template <typename F> static void fill_rows(isomap* m, F at)
{
    for (int32_t r = 0; r <= 2 * m->cells_y; r++) {
        int32_t n = m->cells_x + ((r & 1) ? 0 : 1);
        for (int32_t c = 0; c < n; c++)
            isomap_at(m, r, c)->height = at(r, c);
    }
}

bool isomap_load(isomap* m, const char* path)
{
    // Read as grey so each pixel is one byte whatever the file stores.
    bmip info;
    uint32_t image = bmps_load_file(path, BMIP_LUMINANCE, &info);
    if (!image) {
        isomap_clean(m);
        return false;
    }
    if (info.bpp != 1 || !info.data || !isomap_alloc(m, info.w / 2 - 1, (info.h - 1) / 2)) {
        bmps_il_check("ILERROR %s\n", NULL);
        bmps_delete_image(image);
        isomap_clean(m);
        return false;
    }
    const uint8_t* px = info.data;
    int32_t row = info.row;
    fill_rows(m, [&](int32_t r, int32_t c) { return px[r * row + (r & 1) + 2 * c] * 0.125f; });
    isomap_build(m);
    bmps_delete_image(image);
    return true;
}

bool isomap_from_hmap(isomap* m, const hmap* h)
{
    if (!h || !h->cells || !isomap_alloc(m, h->w - 1, (h->h - 1) / 2)) {
        isomap_clean(m);
        return false;
    }
    // Rows of the height map are w cells long; the map may use fewer when w - 1 is odd.
    int32_t stride = h->w;
    fill_rows(m, [&](int32_t r, int32_t c) { return h->cells[stride * r + c].height; });
    isomap_build(m);
    return true;
}

// ---- build ---------------------------------------------------------------------------------

static void normalise(float* x, float* y, float* z)
{
    float q = *x * *x + *y * *y + *z * *z;
    if (!(q > 0.0f)) {
        *x = 0.0f;
        *y = 1.0f;
        *z = 0.0f;
        return;
    }
    float s = 1.0f / math_sqrt(q);
    *x *= s;
    *y *= s;
    *z *= s;
}

static void set_normal(isomap_point* p, float x, float y, float z)
{
    normalise(&x, &y, &z);
    p->nx = x;
    p->ny = y;
    p->nz = z;
}

static void add_normal(float* s, const isomap_point* p)
{
    s[0] += p->nx;
    s[1] += p->ny;
    s[2] += p->nz;
}

static void build_normals(isomap* m)
{
    int32_t cx = m->cells_x, cy = m->cells_y;
    for (int32_t j = 0; j < cy; j++)
        for (int32_t i = 0; i < cx; i++) {
            float a = isomap_at(m, 2 * j, i)->height, b = isomap_at(m, 2 * j, i + 1)->height;
            float c = isomap_at(m, 2 * j + 2, i)->height, d = isomap_at(m, 2 * j + 2, i + 1)->height;
            set_normal(isomap_at(m, 2 * j + 1, i), a + c - b - d, 2.0f, a + b - c - d);
        }
    for (int32_t r = 0; r <= 2 * cy; r += 2)
        for (int32_t c = 0; c <= cx; c++) {
            float s[3] = {0.0f, 0.0f, 0.0f};
            if (c > 0 && r > 0)
                add_normal(s, isomap_at(m, r - 1, c - 1));
            if (c > 0 && r < 2 * cy)
                add_normal(s, isomap_at(m, r + 1, c - 1));
            if (c < cx && r > 0)
                add_normal(s, isomap_at(m, r - 1, c));
            if (c < cx && r < 2 * cy)
                add_normal(s, isomap_at(m, r + 1, c));
            set_normal(isomap_at(m, r, c), s[0], s[1], s[2]);
        }
    for (int32_t r = 1; r < 2 * cy; r += 2)
        for (int32_t c = 0; c < cx; c++) {
            float s[3] = {0.0f, 0.0f, 0.0f};
            add_normal(s, isomap_at(m, r - 1, c));
            add_normal(s, isomap_at(m, r - 1, c + 1));
            add_normal(s, isomap_at(m, r + 1, c));
            add_normal(s, isomap_at(m, r + 1, c + 1));
            set_normal(isomap_at(m, r, c), s[0], s[1], s[2]);
        }
}

static void build_vertices(isomap* m)
{
    isomap_vertex* v = (isomap_vertex*)d3d_vtx_lock(m->vtx);
    if (!v)
        return;
    int32_t cx = m->cells_x, cy = m->cells_y;
    for (int32_t r = 0; r <= 2 * cy; r++) {
        int32_t odd = r & 1;
        for (int32_t c = 0; c < cx + 1 - odd; c++) {
            const isomap_point* p = isomap_at(m, r, c);
            isomap_vertex* o = &v[(cx + 1) * r - r / 2 + c];
            o->x = (float)c + (odd ? 0.5f : 0.0f) - (float)cx * 0.5f;
            o->y = p->height;
            o->z = (float)cy * 0.5f - (float)r * 0.5f;
            o->nx = p->nx;
            o->ny = p->ny;
            o->nz = p->nz;
            o->u = 0.0f;
            o->v = 0.0f;
        }
    }
    d3d_vtx_unlock(m->vtx);
    m->vtx->needs_refill = 0;
}

static uint16_t* put_cell(uint16_t* o, int32_t cx, int32_t i, int32_t j)
{
    uint32_t t = (uint32_t)((2 * cx + 1) * j + i);
    uint32_t mid = t + cx + 1, below = t + 2 * cx + 1;
    const uint32_t tri[12] = {mid, t, t + 1, mid, t + 1, below + 1, mid, below + 1, below, mid, below, t};
    for (uint32_t k : tri)
        *o++ = (uint16_t)k;
    return o;
}

static void build_indices(isomap* m)
{
    uint16_t* idx = d3d_idx_lock(m->idx);
    if (!idx)
        return;
    int32_t cx = m->cells_x, cy = m->cells_y;
    for (int32_t j = 0; j < cy; j++) {
        uint16_t* even = idx + 6 * cx * j;
        uint16_t* odd = idx + 6 * cx * (cy + j);
        for (int32_t i = j & 1; i < cx; i += 2)
            even = put_cell(even, cx, i, j);
        for (int32_t i = 1 - (j & 1); i < cx; i += 2)
            odd = put_cell(odd, cx, i, j);
    }
    d3d_idx_unlock(m->idx);
    m->idx->needs_refill = 0;
}

void isomap_build(isomap* m)
{
    if (!m->points || !m->vtx || !m->idx)
        return;
    build_normals(m);
    build_vertices(m);
    build_indices(m);
}

void isomap_update(isomap* m)
{
    if (m->points && m->vtx && m->idx && (m->vtx->needs_refill || m->idx->needs_refill))
        isomap_build(m);
}

// ---- draw ----------------------------------------------------------------------------------

static void shade(uint32_t argb)
{
    gfx_material mat;
    memset(&mat, 0, sizeof mat);
    mat.diffuse = argb;
    mat.ambient = argb;
    gfx_set_material(&GFX, &mat);
}

void isomap_draw(isomap* m)
{
    if (!m->points || !m->vtx || !m->idx)
        return;
    d3d_vtx_set(m->vtx);
    d3d_idx_set(m->idx);
    uint32_t vertices = (uint32_t)vertex_count(m->cells_x, m->cells_y);
    uint32_t half = (uint32_t)(2 * m->cells_x * m->cells_y);
    shade(0xFF404040);
    gfx_draw3d_trilist(0, vertices, 0, half);
    shade(0xFF303030);
    gfx_draw3d_trilist(0, vertices, 3 * half, half);
}

// ---- queries -------------------------------------------------------------------------------

// The height of lattice point (r, c), both clamped onto the lattice (odd rows are one short).
static float h_at(const isomap* m, int32_t r, int32_t c)
{
    if (r > 2 * m->cells_y)
        r = 2 * m->cells_y;
    int32_t last = (r & 1) ? m->cells_x - 1 : m->cells_x;
    if (c > last)
        c = last;
    return isomap_at(m, r, c)->height;
}

float isomap_height(const isomap* m, float mx, float my)
{
    float hx = (float)m->cells_x - 0.5f, hy = (float)m->cells_y - 0.5f;
    // Written so that a NaN lands on the lower edge instead of indexing off the lattice.
    mx = !(mx >= -0.5f) ? -0.5f : mx > hx ? hx : mx;
    my = !(my >= -0.5f) ? -0.5f : my > hy ? hy : my;
    float u = mx + 0.5f, v = my + 0.5f;
    int32_t qx = (int32_t)(2.0f * u), qy = (int32_t)(2.0f * v);
    float fx = 2.0f * u - (float)qx, fy = 2.0f * v - (float)qy;
    int32_t i = qx / 2;
    float tl, tr, bl, br;
    if (!(qx & 1) && !(qy & 1)) {
        tl = h_at(m, qy, i);
        tr = (h_at(m, qy, i) + h_at(m, qy, i + 1)) * 0.5f;
        bl = (h_at(m, qy, i) + h_at(m, qy + 2, i)) * 0.5f;
        br = h_at(m, qy + 1, i);
    } else if (!(qx & 1)) {
        tl = (h_at(m, qy - 1, i) + h_at(m, qy + 1, i)) * 0.5f;
        tr = h_at(m, qy, i);
        bl = h_at(m, qy + 1, i);
        br = (h_at(m, qy + 1, i) + h_at(m, qy + 1, i + 1)) * 0.5f;
    } else if (!(qy & 1)) {
        tl = (h_at(m, qy, i) + h_at(m, qy, i + 1)) * 0.5f;
        tr = h_at(m, qy, i + 1);
        bl = h_at(m, qy + 1, i);
        br = (h_at(m, qy, i + 1) + h_at(m, qy + 2, i + 1)) * 0.5f;
    } else {
        tl = h_at(m, qy, i);
        tr = (h_at(m, qy - 1, i + 1) + h_at(m, qy + 1, i + 1)) * 0.5f;
        bl = (h_at(m, qy + 1, i) + h_at(m, qy + 1, i + 1)) * 0.5f;
        br = h_at(m, qy + 1, i + 1);
    }
    float l = tl + (bl - tl) * fy, r = tr + (br - tr) * fy;
    return l + (r - l) * fx;
}

void isomap_cell_slope(const isomap* m, int32_t x, int32_t y, float* gx, float* gy)
{
    x = x < 0 ? 0 : x > m->cells_x - 1 ? m->cells_x - 1 : x;
    y = y < 0 ? 0 : y > m->cells_y - 1 ? m->cells_y - 1 : y;
    float a = isomap_at(m, 2 * y, x)->height, b = isomap_at(m, 2 * y, x + 1)->height;
    float c = isomap_at(m, 2 * y + 2, x)->height, d = isomap_at(m, 2 * y + 2, x + 1)->height;
    *gx = (a + c - b - d) * 0.5f;
    *gy = (a + b - c - d) * 0.5f;
}

void isomap_world_to_map(const isomap* m, float* x, float* z)
{
    *x = *x + (float)(m->cells_x - 1) * 0.5f;
    *z = (float)(m->cells_y - 1) * 0.5f - *z;
}

void isomap_map_to_world(const isomap* m, float* x, float* z)
{
    *x = *x - (float)(m->cells_x - 1) * 0.5f;
    *z = (float)(m->cells_y - 1) * 0.5f - *z;
}
