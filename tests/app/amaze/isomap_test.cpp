// The terrain: its size from images and height maps, the lattice it reads, normals, the
// height and slope queries, the buffers it fills and the installed terrains drawn.
#include <cmath>
#include <set>

#include "app/code/amaze/isomap.h"
#include "engine/code/gfx/hmap.h"
#include "tests/app/amaze/map_fixture.h"

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
    // A 4 x 4 map with every lattice height given by f(r, c).
    template <typename F> void fill(F f)
    {
        ASSERT_TRUE(isomap_alloc(m, 4, 4));
        for (int r = 0; r <= 8; r++)
            for (int c = 0; c < 5 - (r & 1); c++)
                isomap_at(m, r, c)->height = f(r, c);
        isomap_build(m);
    }
    // Every lattice point equals the byte of a w-wide image the load should have read.
    void expect_image_heights(const std::vector<uint8_t>& grey, int w)
    {
        for (int r = 0; r <= 2 * m->cells_y; r++)
            for (int c = 0; c < m->cells_x + 1 - (r & 1); c++)
                EXPECT_FLOAT_EQ(grey[r * w + (r & 1) + 2 * c] * 0.125f, h(r, c)) << r << "," << c;
    }
};

TEST_F(Isomap, ImagesAndHeightMapsGiveEvenCellCountsAndFillTheLattice)
{
    std::vector<uint8_t> grey(7 * 5);
    for (int i = 0; i < 35; i++)
        grey[i] = (uint8_t)(i * 4);
    ASSERT_TRUE(write_grey("map.png", 7, 5, grey));
    ASSERT_TRUE(isomap_load(m, "map.png"));
    EXPECT_EQ(2, m->cells_x); // 7 / 2 - 1
    EXPECT_EQ(2, m->cells_y); // (5 - 1) / 2
    expect_image_heights(grey, 7);

    // A grey picture stored as RGB gives the same heights as the grey file.
    std::vector<uint8_t> grey2(11 * 9), rgb(11 * 9 * 3);
    for (int i = 0; i < 11 * 9; i++)
        rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = grey2[i] = (uint8_t)((i * 37) & 0xF8);
    ASSERT_TRUE(wr_image_save("rgb.png", 11, 9, 3, rgb.data()));
    ASSERT_TRUE(isomap_load(m, "rgb.png"));
    EXPECT_EQ(4, m->cells_x);
    expect_image_heights(grey2, 11);

    hmap hm;
    hmap_setup(&hm);
    ASSERT_TRUE(hmap_build(&hm, 6, 9)); // 5 -> 4 across, 4 down; rows 6 cells apart
    for (int i = 0; i < hm.count; i++)
        hm.cells[i].height = (float)i;
    ASSERT_TRUE(isomap_from_hmap(m, &hm));
    ASSERT_EQ(4, m->cells_x);
    ASSERT_EQ(4, m->cells_y);
    for (int r = 0; r <= 8; r++)
        for (int c = 0; c < 5 - (r & 1); c++)
            EXPECT_FLOAT_EQ((float)(6 * r + c), h(r, c)) << r << "," << c;
    ASSERT_TRUE(hmap_build(&hm, 2, 9)); // one cell across
    EXPECT_FALSE(isomap_from_hmap(m, &hm));
    EXPECT_EQ(nullptr, m->points);
    hmap_clean(&hm);
}

TEST_F(Isomap, HeightsAtCentresCornersEdgesAndOffTheMap)
{
    fill([](int, int) { return 2.5f; });
    EXPECT_FLOAT_EQ(1.0f, isomap_at(m, 3, 2)->ny); // flat: lit from straight above
    EXPECT_FLOAT_EQ(1.0f, isomap_at(m, 4, 4)->ny);
    EXPECT_FLOAT_EQ(2.5f, isomap_height(m, 1.3f, 2.8f));

    // Around cell (2, 1): centre P(3, 2) = 132, corners P(2, 2) = 22, P(2, 3) = 23, P(4, 2) = 42,
    // P(4, 3) = 43. In each quarter, fx = 0.75 and fy = 0.25 weigh TL 3/16, TR 9/16, BL 1/16,
    // BR 3/16 (TL, TR, BL, BR as the quarter's parity picks them, worked in the comments).
    fill([](int r, int c) { return (r & 1 ? 100.0f : 0.0f) + 10.0f * r + c; });
    struct Case {
        float mx, my, want;
    } cases[] = {
        {2.0f, 1.0f, 132.0f},    // the centre
        {1.5f, 0.5f, 22.0f},     // the upper-left corner
        {2.5f, 1.5f, 43.0f},     // the lower-right corner
        {2.0f, 0.5f, 22.5f},     // the upper edge's midpoint
        {1.5f, 1.0f, 32.0f},     // the left edge's midpoint
        {1.875f, 0.625f, 43.53125f}, // even, even: 22, 22.5, 32, 132
        {1.875f, 1.125f, 90.84375f}, // even, odd: 32, 132, 42, 42.5
        {2.375f, 0.625f, 31.59375f}, // odd, even: 22.5, 23, 132, 33
        {2.375f, 1.125f, 54.03125f}, // odd, odd: 132, 33, 42.5, 43
    };
    for (const Case& c : cases)
        EXPECT_NEAR(c.want, isomap_height(m, c.mx, c.my), 1e-4f) << c.mx << "," << c.my;
    // Off the map: the nearest edge point; bad positions also read inside the map.
    EXPECT_FLOAT_EQ(h(0, 0), isomap_height(m, -5.0f, -5.0f));
    EXPECT_FLOAT_EQ(h(8, 4), isomap_height(m, 50.0f, 50.0f));
    EXPECT_FLOAT_EQ(isomap_height(m, 1.0f, 3.5f), isomap_height(m, 1.0f, 12.0f));
    EXPECT_FLOAT_EQ(h(0, 0), isomap_height(m, NAN, NAN));
    EXPECT_FLOAT_EQ(h(8, 4), isomap_height(m, INFINITY, INFINITY));
}

TEST_F(Isomap, CornerNormalsSumTheCentresAroundThemAndCentresTheirCorners)
{
    // Only corner P(4, 2) raised to 2: the four cells around it get centre normals
    // (-+1, 2, -+2) / |.|, i.e. (+-1, 1, +-1) / sqrt 3; all others (0, 1, 0).
    // P(4, 2) sums the four tilted ones: (0, 4 / sqrt 3, 0) -> (0, 1, 0).
    // P(2, 2) sums two flat and (-s, s, -s), (s, s, -s), s = 1 / sqrt 3: (0, 2 + 2s, -2s)
    // -> (0, 0.939071, -0.343724). P(2, 3): (s, 3 + s, -s) -> (0.157340, 0.974919, -0.157340).
    // P(4, 3): (2s, 2 + 2s, 0) -> (0.343724, 0.939071, 0). The centre P(3, 2) then sums its
    // corners: (0.501064, 3.853061, -0.501064) -> (0.127899, 0.983503, -0.127899).
    fill([](int r, int c) { return r == 4 && c == 2 ? 2.0f : 0.0f; });
    struct Case {
        int r, c;
        float nx, ny, nz;
    } cases[] = {
        {4, 2, 0.0f, 1.0f, 0.0f},
        {2, 2, 0.0f, 0.939071f, -0.343724f},
        {2, 3, 0.157340f, 0.974919f, -0.157340f},
        {4, 3, 0.343724f, 0.939071f, 0.0f},
        {3, 2, 0.127899f, 0.983503f, -0.127899f},
    };
    for (const Case& k : cases) {
        const isomap_point* p = isomap_at(m, k.r, k.c);
        EXPECT_NEAR(k.nx, p->nx, 1e-5f) << k.r << "," << k.c;
        EXPECT_NEAR(k.ny, p->ny, 1e-5f) << k.r << "," << k.c;
        EXPECT_NEAR(k.nz, p->nz, 1e-5f) << k.r << "," << k.c;
    }
}

TEST_F(Isomap, SlopesFallTowardsPlusXAndPlusYAndCellsOffTheMapClampOntoIt)
{
    // One unit down per column, a quarter per lattice row (half a unit per cell row).
    fill([](int r, int c) { return 8.0f - (float)c - (r & 1 ? 0.5f : 0.0f) - 0.25f * r; });
    float gx, gy;
    isomap_cell_slope(m, 99, -3, &gx, &gy); // read on cell (3, 0)
    EXPECT_FLOAT_EQ(1.0f, gx);
    EXPECT_FLOAT_EQ(0.5f, gy);

    float x = 0.0f, z = 0.0f; // cell (0, 0) of 4 x 4: left, far
    isomap_map_to_world(m, &x, &z);
    EXPECT_FLOAT_EQ(-1.5f, x);
    EXPECT_FLOAT_EQ(1.5f, z);
    isomap_world_to_map(m, &x, &z);
    EXPECT_FLOAT_EQ(0.0f, x);
    EXPECT_FLOAT_EQ(0.0f, z);
}

TEST_F(Isomap, BuffersHoldEveryPointAndEveryCellOnceInItsHalf)
{
    fill([](int r, int c) { return (float)(r * 5 + c) * 0.25f; });
    ASSERT_EQ((uint32_t)(9 * 4 + 5), m->vtx->count);
    const isomap_vertex* v = (const isomap_vertex*)d3d_vtx_lock(m->vtx);
    ASSERT_NE(nullptr, v);
    // Cell (1, 2)'s centre is lattice point (5, 1): vertex 5 * 5 - 2 + 1.
    EXPECT_FLOAT_EQ(-0.5f, v[24].x);
    EXPECT_FLOAT_EQ(h(5, 1), v[24].y);
    EXPECT_FLOAT_EQ(-0.5f, v[24].z);
    d3d_vtx_unlock(m->vtx);

    const uint16_t* idx = d3d_idx_lock(m->idx);
    ASSERT_NE(nullptr, idx);
    std::set<int> seen[2];
    for (int k = 0; k < 4 * 4 * 12; k += 12) {
        for (int t = 0; t < 12; t += 3)
            EXPECT_EQ(idx[k], idx[k + t]); // the centre begins each of the four triangles
        int j = (idx[k] - 5) / 9, i = (idx[k] - 5) % 9; // centre of cell (i, j) is 9 j + 5 + i
        int half = k < 4 * 4 * 6 ? 0 : 1;
        EXPECT_EQ(half, (i + j) & 1) << "cell " << i << "," << j;
        seen[half].insert(idx[k]);
    }
    d3d_idx_unlock(m->idx);
    EXPECT_EQ(8u, seen[0].size());
    EXPECT_EQ(8u, seen[1].size());

    d3d_vtx_recreate(m->vtx); // as after a device reset: refilled at the next update
    isomap_update(m);
    EXPECT_EQ(0u, m->vtx->needs_refill);
    v = (const isomap_vertex*)d3d_vtx_lock(m->vtx);
    EXPECT_FLOAT_EQ(h(5, 1), v[24].y);
    d3d_vtx_unlock(m->vtx);
}

TEST_F(Isomap, InstalledTerrainsDrawAsCheckerboardsOfLitGreys)
{
    ASSERT_TRUE(amaze_view_setup(&a.view, &a));
    const mat4 identity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    for (int i = 1; i <= 3; i++) {
        std::string map = "data/amaze/basic/map" + std::to_string(i) + ".png";
        ASSERT_TRUE(isomap_load(m, map.c_str())) << map;
        amaze_view_update(&a.view);
        ASSERT_TRUE(begin(0xFF000080));
        amaze_view_draw(&a.view);
        IDirect3DDevice8_SetTransform(GFX.d3d_gfx.device, D3DTS_WORLD, (const D3DMATRIX*)&identity);
        isomap_draw(m);
        end();
        // The map covers the middle of the screen in lit greys, neither black nor white.
        std::set<uint32_t> greys;
        for (int y = 50; y < 100; y += 2)
            for (int x = 60; x < 140; x += 2) {
                uint32_t c = pixel(x, y) & 0xFFFFFF, r = c >> 16;
                ASSERT_TRUE(c == r * 0x010101 && r > 0x08 && r < 0xC0) << map << std::hex << " 0x" << c;
                greys.insert(r);
            }
        EXPECT_GE(greys.size(), 2u) << map;
    }
    EXPECT_EQ("", errors());
}

TEST_F(Isomap, FailuresReportAndLeaveNothing)
{
    std::vector<uint8_t> grey(7 * 5, 16);
    ASSERT_TRUE(write_grey("narrow.png", 5, 5, grey));
    ASSERT_TRUE(write_grey("low.png", 7, 4, grey));
    for (const char* path : {"narrow.png", "low.png", "missing.png"}) {
        ASSERT_TRUE(isomap_load(m, "data/amaze/basic/map1.png"));
        EXPECT_FALSE(isomap_load(m, path)) << path;
        EXPECT_EQ(nullptr, m->points) << path;
        EXPECT_EQ(0, D3D_BUFFERS.vtx_count + D3D_BUFFERS.idx_count) << path;
    }
    EXPECT_NE("", errors());

    d3d8_fault_set(D3D8_CALL_CreateIndexBuffer, D3DERR_OUTOFVIDEOMEMORY, 0, 0);
    EXPECT_FALSE(isomap_alloc(m, 4, 4));
    EXPECT_EQ(nullptr, m->points);
    EXPECT_EQ(0, D3D_BUFFERS.vtx_count);
    EXPECT_NE(std::string::npos, errors().find("Failed to allocate isomap index buffer,\n")) << errors();
    d3d8_fault_clear();
    EXPECT_FALSE(isomap_alloc(m, 200, 200)); // more points than 16-bit indices reach
    EXPECT_EQ(nullptr, m->points);
    ASSERT_TRUE(isomap_alloc(m, 4, 4)); // a second map replaces the first
    ASSERT_TRUE(isomap_alloc(m, 6, 6));
    EXPECT_EQ(1, D3D_BUFFERS.vtx_count);
    EXPECT_EQ(1, D3D_BUFFERS.idx_count);
    isomap_clean(m);
    isomap_clean(m);
    EXPECT_EQ(0, D3D_BUFFERS.vtx_count);
}

} // namespace
