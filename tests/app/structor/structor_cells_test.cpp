// The cell grid without a device: walls, the liquid's passes, stamping and the box queries.

#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "app/code/structor/structor.h"
#include "engine/code/gfx/bmps.h"
#include "tests/harness/log_capture.h"

namespace {

// A grid with its arrays but no textures, bordered and reset as the state's setup leaves it.
struct Grid : testing::Test {
    structor_cells c = {};
    void make(int32_t w, int32_t h)
    {
        structor_cells_clean(&c);
        c.w = w;
        c.h = h;
        c.cell_size = 4.0f;
        c.blur_base = 4.0f;
        c.initial = (structor_cell*)calloc((size_t)w * h, sizeof(structor_cell));
        c.working = (structor_cell*)calloc((size_t)w * h, sizeof(structor_cell));
        c.bitmap = (uint32_t*)calloc((size_t)w * h, sizeof(uint32_t));
        structor_cells_border(&c);
        structor_cells_reset(&c);
    }
    void SetUp() override { log_capture_start(); }
    void TearDown() override
    {
        structor_cells_clean(&c);
        log_capture_stop();
    }
    structor_cell* cell(int32_t col, int32_t row) { return structor_cells_at(&c, col, row); }
    structor_cell* initial(int32_t col, int32_t row) { return &c.initial[row * c.w + col]; }
    long total()
    {
        long n = 0;
        for (int32_t i = 0; i < c.w * c.h; i++)
            n += c.working[i].amount;
        return n;
    }
};

// A BGRA picture of w x h, every pixel transparent but those listed (opaque).
struct Picture {
    std::vector<uint8_t> pixels;
    bmip info = {};
    Picture(int32_t w, int32_t h, std::vector<std::pair<int, int>> opaque)
    {
        pixels.assign((size_t)w * h * 4, 0);
        for (auto& p : opaque)
            pixels[((size_t)p.second * w + p.first) * 4 + 3] = 0xFF;
        info = {BMIP_BGRA, w, h, 1, 4, 4 * w, 4 * w * h, pixels.data()};
    }
};

TEST_F(Grid, TheBorderIsFourCellsOfWallAndTheSourceFillsAndFalls)
{
    make(256, 128);
    EXPECT_TRUE(cell(0, 0)->solid && cell(3, 64)->solid && cell(255, 127)->solid && cell(100, 124)->solid);
    EXPECT_FALSE(cell(4, 4)->solid || cell(251, 123)->solid);

    structor_cells_step(&c);
    EXPECT_EQ(1u, c.steps);
    EXPECT_NE(std::string::npos, LOGGED.status.find("CELL1="));
    for (int i = 0; i < 40; i++)
        structor_cells_step(&c);
    // Liquid has gone down from row 8 and sideways, and none is made but at the source.
    long below = 0, beside = 0;
    for (int32_t r = 12; r < 124; r++)
        below += cell(8, r)->amount;
    for (int32_t col = 12; col < 40; col++)
        for (int32_t r = 4; r < 124; r++)
            beside += cell(col, r)->amount;
    EXPECT_GT(below, 0);
    EXPECT_GT(beside, 0);
    EXPECT_LE(total(), 41L * 64);
    for (int32_t i = 0; i < c.w * c.h; i++) {
        if (c.working[i].solid) {
            ASSERT_EQ(0, c.working[i].amount) << "liquid in wall cell " << i;
        }
    }
}

TEST_F(Grid, OneUnitMovesOnlyInItsPrimaryDirectionAndWallsStopIt)
{
    make(32, 32);
    cell(20, 20)->amount = 1;
    structor_cells_step(&c);
    EXPECT_EQ(0, cell(20, 20)->amount);
    EXPECT_EQ(1, cell(20, 21)->amount);
    EXPECT_EQ(0, cell(19, 20)->amount + cell(21, 20)->amount + cell(19, 21)->amount + cell(21, 21)->amount);

    // A unit resting on a wall cannot go down.
    make(32, 32);
    cell(20, 20)->amount = 1;
    cell(20, 21)->solid = 1;
    structor_cells_step(&c);
    EXPECT_EQ(0, cell(20, 21)->amount);
    EXPECT_EQ(1, cell(19, 20)->amount + cell(20, 20)->amount + cell(21, 20)->amount + cell(20, 19)->amount);
}

TEST_F(Grid, CellsNearTheEdgeAreNotUpdatedByThePasses)
{
    make(32, 32);
    // Walls and liquid planted inside the untouched margin are kept as they are.
    for (int32_t r = 0; r < 32; r++)
        for (int32_t col = 0; col < 32; col++)
            if (col < 3 || r < 3)
                *cell(col, r) = {};
    cell(1, 10)->amount = 50;
    cell(10, 1)->amount = 50;
    for (int i = 0; i < 10; i++)
        structor_cells_step(&c);
    EXPECT_EQ(50, cell(1, 10)->amount);
    EXPECT_EQ(50, cell(10, 1)->amount);
}

TEST_F(Grid, StampMakesWallsWhereThePictureIsOpaqueScaledAndClipped)
{
    make(64, 32);
    Picture pic(2, 2, {{0, 0}});
    structor_rect dest = {10, 10, 4, 4};
    structor_cells_stamp(&c, &pic.info, NULL, &dest);
    for (int32_t r = 10; r < 14; r++)
        for (int32_t col = 10; col < 14; col++)
            EXPECT_EQ(col < 12 && r < 12, initial(col, r)->solid != 0) << col << "," << r;
    EXPECT_FALSE(cell(10, 10)->solid) << "only the initial grid is stamped";

    // Cut at the left edge: the picture's start moves with the cut.
    make(64, 32);
    memset(c.initial, 0, sizeof(structor_cell) * 64 * 32); // no border, to see the edge columns
    Picture right_half(2, 1, {{1, 0}});
    dest = {-2, 20, 4, 1};
    structor_cells_stamp(&c, &right_half.info, NULL, &dest);
    EXPECT_TRUE(initial(0, 20)->solid && initial(1, 20)->solid);
    EXPECT_FALSE(initial(2, 20)->solid);

    // Wholly outside, or a source rectangle past the picture: nothing happens.
    make(64, 32);
    Picture full(2, 2, {{0, 0}, {1, 0}, {0, 1}, {1, 1}});
    std::vector<structor_cell> before(c.initial, c.initial + 64 * 32);
    dest = {70, 5, 4, 4};
    structor_cells_stamp(&c, &full.info, NULL, &dest);
    dest = {-10, -10, 5, 5};
    structor_cells_stamp(&c, &full.info, NULL, &dest);
    structor_rect past = {100, 100, 50, 50};
    dest = {20, 10, 4, 4};
    structor_cells_stamp(&c, &full.info, &past, &dest);
    for (int32_t i = 0; i < 64 * 32; i++)
        ASSERT_EQ(before[i].solid, c.initial[i].solid) << i;
}

TEST_F(Grid, WallQueriesGiveCellCentresAndStopAt256)
{
    make(256, 128);
    // A box over the left border near the middle row.
    vec3 lo = {-512.0f, -8.0f, 0.0f}, hi = {-500.0f, 8.0f, 0.0f};
    structor_cells_solid_spheres(&c, &lo, &hi);
    ASSERT_GT(c.contact_count, 0);
    for (int32_t i = 0; i < c.contact_count; i++) {
        const sphere& s = c.contacts[i];
        EXPECT_EQ(2.0f, s.radius);
        EXPECT_EQ(2.0f, s.contact_time);
        EXPECT_EQ(nullptr, s.other);
        // Centres of wall columns 0 to 3.
        EXPECT_LT(s.position.x, -496.0f);
        EXPECT_EQ(0.0f, fmodf(s.position.x + 2.0f, 4.0f));
    }
    EXPECT_EQ("", LOGGED.error);

    vec3 all_lo = {-512.0f, -256.0f, 0.0f}, all_hi = {512.0f, 256.0f, 0.0f};
    structor_cells_solid_spheres(&c, &all_lo, &all_hi);
    EXPECT_EQ(256, c.contact_count);
    EXPECT_NE(std::string::npos, LOGGED.error.find("Collision Broken.\n"));
}

TEST_F(Grid, SamplesAreMeansOverTheBoxAndZeroForNoCells)
{
    make(256, 128);
    for (int32_t i = 0; i < 256 * 128; i++) {
        c.working[i].amount = 10;
        c.working[i].flow_x = 2.0f;
        c.working[i].flow_y = -1.0f;
    }
    vec3 lo = {-16.0f, -16.0f, 0.0f}, hi = {16.0f, 16.0f, 0.0f}, out;
    structor_cells_sample(&c, &lo, &hi, &out);
    EXPECT_FLOAT_EQ(2.0f, out.x);
    EXPECT_FLOAT_EQ(-1.0f, out.y);
    EXPECT_FLOAT_EQ(10.0f, out.z);

    vec3 far_lo = {4000.0f, 0.0f, 0.0f}, far_hi = {4010.0f, 4.0f, 0.0f};
    structor_cells_sample(&c, &far_lo, &far_hi, &out);
    EXPECT_EQ(0.0f, out.x);
    EXPECT_EQ(0.0f, out.y);
    EXPECT_EQ(0.0f, out.z);
}

// A script can put an item anywhere: NaN or endless boxes and rectangles find no cells and
// change nothing (rather than wrapping an overflowed index back into the grid); a box that
// covers the grid from an endless edge still finds the cells it covers.
TEST_F(Grid, WildBoxesAndStampsStayOutsideTheGrid)
{
    make(256, 128);
    const float nan = NAN, inf = INFINITY;
    vec3 out = {1.0f, 1.0f, 1.0f};
    vec3 nan_lo = {nan, nan, 0.0f}, nan_hi = {nan, nan, 0.0f};
    structor_cells_solid_spheres(&c, &nan_lo, &nan_hi);
    EXPECT_EQ(0, c.contact_count);
    structor_cells_sample(&c, &nan_lo, &nan_hi, &out);
    EXPECT_EQ(0.0f, out.z);
    vec3 far_lo = {3e9f, 3e9f, 0.0f}, far_hi = {inf, inf, 0.0f};
    structor_cells_solid_spheres(&c, &far_lo, &far_hi);
    EXPECT_EQ(0, c.contact_count);
    vec3 all_lo = {-inf, -inf, 0.0f}, all_hi = {inf, inf, 0.0f};
    structor_cells_sample(&c, &all_lo, &all_hi, &out);
    EXPECT_EQ(0.0f, out.z) << "the dry grid, all of it";
    structor_cells_solid_spheres(&c, &all_lo, &all_hi);
    EXPECT_EQ(256, c.contact_count);

    Picture solid(4, 4, {{0, 0}, {1, 1}, {2, 2}, {3, 3}});
    std::vector<structor_cell> before(c.initial, c.initial + 256 * 128);
    for (structor_rect dest : {structor_rect{nan, nan, 10.0f, 10.0f}, structor_rect{10.0f, 10.0f, nan, nan},
                               structor_rect{3e9f, 3e9f, 3e9f, 3e9f}, structor_rect{-inf, -inf, 8.0f, 8.0f}})
        structor_cells_stamp(&c, &solid.info, nullptr, &dest);
    for (int32_t i = 0; i < 256 * 128; i++)
        ASSERT_EQ(before[i].solid, c.initial[i].solid) << i;
}

} // namespace
