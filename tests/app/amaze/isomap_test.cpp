// The terrain: its size from images and height maps, the lattice it reads, normals, the
// height and slope queries, the buffers it fills and the two-shade picture it draws.
#include <cmath>
#include <cstring>
#include <set>

#include "app/code/amaze/isomap.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/hmap.h"
#include "platform/d3d8_debug.h"
#include "tests/app/amaze/map_fixture.h"
#include "tools/writer/wr_image.h"

namespace {

struct Isomap : MapTest {
    isomap* m = &a.isomap;
    void SetUp() override
    {
        MapTest::SetUp();
        ASSERT_TRUE(open()) << "no GL context";
        isomap_setup(m, &a);
    }
    float h(int r, int c) { return isomap_at(m, r, c)->height; }
    void set(int r, int c, float v) { isomap_at(m, r, c)->height = v; }
    // A 4 x 4 map with every lattice height given by f(r, c).
    template <typename F> void fill(F f)
    {
        ASSERT_TRUE(isomap_alloc(m, 4, 4));
        for (int r = 0; r <= 8; r++)
            for (int c = 0; c < 5 - (r & 1); c++)
                set(r, c, f(r, c));
        isomap_build(m);
    }
};

TEST_F(Isomap, ImageSizeGivesEvenCellCountsAndReadsOddRowsOneByteIn)
{
    // 7 x 5: (7/2 - 1) = 2 across, (5 - 1)/2 = 2 down. Every byte is its own index.
    std::vector<uint8_t> grey(7 * 5);
    for (int i = 0; i < 35; i++)
        grey[i] = (uint8_t)(i * 4);
    ASSERT_TRUE(write_grey("map.png", 7, 5, grey));
    ASSERT_TRUE(isomap_load(m, "map.png"));
    EXPECT_EQ(2, m->cells_x);
    EXPECT_EQ(2, m->cells_y);
    for (int r = 0; r <= 4; r++)
        for (int c = 0; c < 3 - (r & 1); c++)
            EXPECT_FLOAT_EQ(grey[r * 7 + (r & 1) + 2 * c] * 0.125f, h(r, c)) << r << "," << c;

    // Odd widths round down to an even count: 9 x 7 gives 3 -> 2 across, 3 -> 2 down.
    grey.assign(9 * 7, 8);
    ASSERT_TRUE(write_grey("odd.png", 9, 7, grey));
    ASSERT_TRUE(isomap_load(m, "odd.png"));
    EXPECT_EQ(2, m->cells_x);
    EXPECT_EQ(2, m->cells_y);
    EXPECT_FLOAT_EQ(1.0f, h(4, 2));
}

TEST_F(Isomap, TooSmallOrMissingImagesLeaveTheMapEmpty)
{
    std::vector<uint8_t> grey(7 * 5, 16);
    ASSERT_TRUE(isomap_load(m, "data/amaze/basic/map1.png")); // something loaded first
    ASSERT_TRUE(write_grey("narrow.png", 5, 5, grey));
    ASSERT_TRUE(write_grey("low.png", 7, 4, grey));
    for (const char* path : {"narrow.png", "low.png", "missing.png"}) {
        EXPECT_FALSE(isomap_load(m, path)) << path;
        EXPECT_EQ(nullptr, m->points) << path;
        EXPECT_EQ(nullptr, m->vtx) << path;
        EXPECT_EQ(nullptr, m->idx) << path;
        EXPECT_EQ(0, D3D_BUFFERS.vtx_count) << path;
    }
    EXPECT_NE("", errors());
}

TEST_F(Isomap, ColourImagesAreReadAsGrey)
{
    // A grey picture stored as RGB must give the same heights as the grey file.
    std::vector<uint8_t> grey(11 * 9), rgb(11 * 9 * 3);
    for (int i = 0; i < 11 * 9; i++) {
        grey[i] = (uint8_t)((i * 37) & 0xF8);
        rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = grey[i];
    }
    ASSERT_TRUE(wr_image_save("rgb.png", 11, 9, 3, rgb.data()));
    ASSERT_TRUE(isomap_load(m, "rgb.png"));
    for (int r = 0; r <= 8; r++)
        for (int c = 0; c < 5 - (r & 1); c++)
            EXPECT_FLOAT_EQ(grey[r * 11 + (r & 1) + 2 * c] * 0.125f, h(r, c)) << r << "," << c;
}

TEST_F(Isomap, HeightMapRowsFollowTheMapsWidth)
{
    hmap hm;
    hmap_setup(&hm);
    // 6 x 9: (6 - 1) = 5 -> 4 across, (9 - 1)/2 = 4 down; rows are 6 cells apart.
    ASSERT_TRUE(hmap_build(&hm, 6, 9));
    for (int i = 0; i < hm.count; i++)
        hm.cells[i].height = (float)i;
    ASSERT_TRUE(isomap_from_hmap(m, &hm));
    EXPECT_EQ(4, m->cells_x);
    EXPECT_EQ(4, m->cells_y);
    for (int r = 0; r <= 8; r++)
        for (int c = 0; c < 5 - (r & 1); c++)
            EXPECT_FLOAT_EQ((float)(6 * r + c), h(r, c)) << r << "," << c;

    hmap empty;
    hmap_setup(&empty);
    EXPECT_FALSE(isomap_from_hmap(m, &empty));
    EXPECT_EQ(nullptr, m->points);
    ASSERT_TRUE(hmap_build(&hm, 2, 9)); // one cell across
    EXPECT_FALSE(isomap_from_hmap(m, &hm));
    hmap_clean(&hm);
}

TEST_F(Isomap, FlatMapsAreLitFromStraightAboveAndLevelEverywhere)
{
    fill([](int, int) { return 2.5f; });
    for (int r = 0; r <= 8; r++)
        for (int c = 0; c < 5 - (r & 1); c++) {
            const isomap_point* p = isomap_at(m, r, c);
            EXPECT_FLOAT_EQ(0.0f, p->nx);
            EXPECT_FLOAT_EQ(1.0f, p->ny);
            EXPECT_FLOAT_EQ(0.0f, p->nz);
        }
    for (float x : {-3.0f, -0.5f, 0.0f, 0.3f, 1.75f, 3.5f, 9.0f})
        for (float y : {-2.0f, 0.0f, 0.6f, 2.25f, 3.5f, 7.0f})
            EXPECT_FLOAT_EQ(2.5f, isomap_height(m, x, y)) << x << "," << y;
}

TEST_F(Isomap, HeightsAtCentresCornersAndEdgesAndOffTheMap)
{
    // Distinct heights: corners 10 r + c, centres 100 + 10 r + c.
    fill([](int r, int c) { return (r & 1 ? 100.0f : 0.0f) + 10.0f * r + c; });
    EXPECT_FLOAT_EQ(h(3, 2), isomap_height(m, 2.0f, 1.0f));                    // centre of cell (2, 1)
    EXPECT_FLOAT_EQ(h(2, 2), isomap_height(m, 1.5f, 0.5f));                    // its upper-left corner
    EXPECT_FLOAT_EQ(h(4, 3), isomap_height(m, 2.5f, 1.5f));                    // lower-right corner
    EXPECT_FLOAT_EQ((h(2, 2) + h(2, 3)) * 0.5f, isomap_height(m, 2.0f, 0.5f)); // middle of the top edge
    EXPECT_FLOAT_EQ((h(2, 2) + h(4, 2)) * 0.5f, isomap_height(m, 1.5f, 1.0f)); // middle of the left edge
    // Inside a quarter cell the four points around it blend: halfway from the corner to the
    // centre, the corner, the centre and the two edge midpoints weigh a quarter each.
    float top = (h(2, 2) + h(2, 3)) * 0.5f, left = (h(2, 2) + h(4, 2)) * 0.5f;
    EXPECT_FLOAT_EQ((h(2, 2) + top + left + h(3, 2)) * 0.25f, isomap_height(m, 1.75f, 0.75f));
    // Off the map: the nearest edge point, also past the far edges.
    EXPECT_FLOAT_EQ(h(0, 0), isomap_height(m, -5.0f, -5.0f));
    EXPECT_FLOAT_EQ(h(8, 4), isomap_height(m, 50.0f, 50.0f));
    EXPECT_FLOAT_EQ(isomap_height(m, 3.5f, 2.0f), isomap_height(m, 9.0f, 2.0f));
    EXPECT_FLOAT_EQ(isomap_height(m, 1.0f, 3.5f), isomap_height(m, 1.0f, 12.0f));
    EXPECT_FLOAT_EQ(h(8, 0), isomap_height(m, -0.5f, 3.5f));
    EXPECT_FLOAT_EQ(h(0, 4), isomap_height(m, 3.5f, -0.5f));
    // Positions that went bad (a script's division by zero) still read inside the map.
    EXPECT_FLOAT_EQ(h(0, 0), isomap_height(m, NAN, NAN));
    EXPECT_FLOAT_EQ(h(8, 4), isomap_height(m, INFINITY, INFINITY));
}

TEST_F(Isomap, SlopesPointDownhillAndNormalsLeanTheSameWay)
{
    // Falling towards +x: height 4 - column.
    fill([](int r, int c) { return 4.0f - (float)c - (r & 1 ? 0.5f : 0.0f); });
    float gx, gy;
    isomap_cell_slope(m, 1, 1, &gx, &gy);
    EXPECT_FLOAT_EQ(1.0f, gx);
    EXPECT_FLOAT_EQ(0.0f, gy);
    EXPECT_GT(isomap_at(m, 3, 1)->nx, 0.0f);
    EXPECT_NEAR(0.0f, isomap_at(m, 3, 1)->nz, 1e-6f);
    // Cells off the map are clamped onto it.
    float cx, cy;
    isomap_cell_slope(m, 99, -3, &cx, &cy);
    isomap_cell_slope(m, 3, 0, &gx, &gy);
    EXPECT_FLOAT_EQ(gx, cx);
    EXPECT_FLOAT_EQ(gy, cy);

    // Falling towards +y (down the rows).
    fill([](int r, int) { return 8.0f - (float)r * 0.5f; });
    isomap_cell_slope(m, 2, 2, &gx, &gy);
    EXPECT_FLOAT_EQ(0.0f, gx);
    EXPECT_FLOAT_EQ(1.0f, gy);
    EXPECT_GT(isomap_at(m, 5, 2)->nz, 0.0f);
}

TEST_F(Isomap, WorldAndMapCoordinatesMeetAtCellCentres)
{
    ASSERT_TRUE(isomap_alloc(m, 4, 6));
    float x = 0.0f, z = 0.0f;
    isomap_map_to_world(m, &x, &z); // cell (0, 0): left, at the top row
    EXPECT_FLOAT_EQ(-1.5f, x);
    EXPECT_FLOAT_EQ(2.5f, z);
    isomap_world_to_map(m, &x, &z);
    EXPECT_FLOAT_EQ(0.0f, x);
    EXPECT_FLOAT_EQ(0.0f, z);
    x = 3.0f, z = 5.0f;
    isomap_map_to_world(m, &x, &z);
    EXPECT_FLOAT_EQ(1.5f, x);
    EXPECT_FLOAT_EQ(-2.5f, z);
}

TEST_F(Isomap, BuffersHoldEveryPointAndEveryCellOnceInItsHalf)
{
    fill([](int r, int c) { return (float)(r * 5 + c) * 0.25f; });
    ASSERT_NE(nullptr, m->vtx);
    ASSERT_EQ((uint32_t)(9 * 4 + 5), m->vtx->count);
    ASSERT_EQ((uint32_t)(4 * 4 * 12), m->idx->count);
    const isomap_vertex* v = (const isomap_vertex*)d3d_vtx_lock(m->vtx);
    ASSERT_NE(nullptr, v);
    // Cell (1, 2)'s centre is lattice point (5, 1): vertex 5 * 5 - 2 + 1.
    const isomap_vertex& centre = v[24];
    EXPECT_FLOAT_EQ(1.0f + 0.5f - 2.0f, centre.x);
    EXPECT_FLOAT_EQ(h(5, 1), centre.y);
    EXPECT_FLOAT_EQ(2.0f - 2.5f, centre.z);
    // The last vertex is the lower-right corner.
    EXPECT_FLOAT_EQ(2.0f, v[40].x);
    EXPECT_FLOAT_EQ(-2.0f, v[40].z);
    EXPECT_FLOAT_EQ(h(8, 4), v[40].y);
    d3d_vtx_unlock(m->vtx);

    const uint16_t* idx = d3d_idx_lock(m->idx);
    ASSERT_NE(nullptr, idx);
    std::set<int> seen[2];
    for (int k = 0; k < 4 * 4 * 12; k += 12) {
        int half = k < 4 * 4 * 6 ? 0 : 1;
        int mid = idx[k];
        EXPECT_LT(idx[k + 1], 41);
        // The centre begins each of the four triangles.
        for (int t = 0; t < 12; t += 3)
            EXPECT_EQ(mid, idx[k + t]);
        seen[half].insert(mid);
    }
    d3d_idx_unlock(m->idx);
    EXPECT_EQ(8u, seen[0].size());
    EXPECT_EQ(8u, seen[1].size());
    for (int half = 0; half < 2; half++)
        for (int mid : seen[half]) {
            // Centre vertex M of cell (i, j) is 9 j + 5 + i.
            int j = (mid - 5) / 9, i = (mid - 5) % 9;
            EXPECT_EQ(half, (i + j) & 1) << "cell " << i << "," << j;
        }
}

TEST_F(Isomap, RebuildsAfterTheDeviceRemadeItsBuffers)
{
    fill([](int, int c) { return (float)c; });
    d3d_vtx_recreate(m->vtx);
    ASSERT_EQ(1u, m->vtx->needs_refill);
    isomap_update(m);
    EXPECT_EQ(0u, m->vtx->needs_refill);
    const isomap_vertex* v = (const isomap_vertex*)d3d_vtx_lock(m->vtx);
    ASSERT_NE(nullptr, v);
    EXPECT_FLOAT_EQ(4.0f, v[4].y);
    d3d_vtx_unlock(m->vtx);
}

TEST_F(Isomap, AllocationFailuresReportAndLeaveNothing)
{
    d3d8_fault_set(D3D8_CALL_CreateIndexBuffer, D3DERR_OUTOFVIDEOMEMORY, 0, 0);
    EXPECT_FALSE(isomap_alloc(m, 4, 4));
    EXPECT_EQ(nullptr, m->points);
    EXPECT_EQ(nullptr, m->vtx);
    EXPECT_EQ(0, D3D_BUFFERS.vtx_count);
    EXPECT_NE(std::string::npos, errors().find("Failed to allocate isomap index buffer,\n")) << errors();
    d3d8_fault_clear();
    // A map too big for 16-bit indices is refused rather than drawn wrong.
    EXPECT_FALSE(isomap_alloc(m, 200, 200));
    EXPECT_EQ(nullptr, m->points);
    // A second map replaces the first without leaking its buffers.
    ASSERT_TRUE(isomap_alloc(m, 4, 4));
    ASSERT_TRUE(isomap_alloc(m, 6, 6));
    EXPECT_EQ(1, D3D_BUFFERS.vtx_count);
    EXPECT_EQ(1, D3D_BUFFERS.idx_count);
    isomap_clean(m);
    isomap_clean(m);
    EXPECT_EQ(0, D3D_BUFFERS.vtx_count);
}

} // namespace
