// The cell grid without a device: walls, the liquid's passes, stamping and the box queries.

#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <random>
#include <vector>

#include "app/code/structor/structor.h"
#include "app/code/structor/structor_cells_ref.h"
#include "engine/code/gfx/bmps.h"
#include "tests/harness/log_capture.h"

namespace {

// A grid with its two arrays but no textures or picture, bordered and reset as the state's setup leaves it.
struct Grid : testing::Test {
    structor_cells c = {};
    void make(int32_t w, int32_t h)
    {
        structor_cells_clean(&c);
        c.w = w;
        c.h = h;
        c.cell_size = 4.0f;
        c.blur_base = 4.0f;
        c.steps = 0;
        c.initial = (structor_cell*)calloc((size_t)w * h, sizeof(structor_cell));
        c.working = (structor_cell*)calloc((size_t)w * h, sizeof(structor_cell));
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

// A cell's amount ('a'), flow_y ('y') or flow_x ('x') after the move pass, worked by hand.
struct CellValue {
    char field;
    int32_t col, row;
    float value;
};
struct FirstStep {
    const char* name;
    uint16_t amount;                           // of the cell at (16, 16)
    float above_fy, cell_fy, left_fx, cell_fx; // before the step, around it
    bool wall_below;
    std::vector<CellValue> values;             // where not the background
};

// The source alone (64 at column 8, row 8, cap 16; it is in every row): push gives it
// flow_y 64 + 1 and flow_x 64, its upper neighbour 1 - 64 = -63, its left one -64; up 63 <
// down 65, so down; left = right = 64 ties, so right; both capped to 16, and vertical is
// primary on the tie 16 = 16. Moving 16 adds 0.75 x 16 = 12 to the source's and the lower
// cell's flow_y and, as the cross term, the lower cell's flow_x; then to the source's and the
// right cell's flow_x and the right cell's flow_y. Every other open cell with an open cell
// below keeps the +1 of the downward push.
const std::vector<CellValue> SOURCE = {{'a', 8, 8, 32}, {'a', 8, 9, 16}, {'a', 9, 8, 16}, {'y', 8, 7, -63},
                                       {'y', 8, 8, 77}, {'y', 8, 9, 13},  {'y', 9, 8, 13},  {'x', 7, 8, -64},
                                       {'x', 8, 8, 76}, {'x', 9, 8, 12},  {'x', 8, 9, 12}};
// The cell of 8 (cap 2): up = 7 - above_fy, down = cell_fy + 9, left = 8 - left_fx, right =
// cell_fx + 8; it moves 2 each way, adding 0.75 x 2 = 1.5 to each flow it touches. One unit
// (cap 1): down 2 and right 1 tie left 1 at 1, so it only falls (the sideways move needs 2),
// adding 0.75 to its flow_y, the lower one's and, as n is 0, the left one's; on a wall, up
// and down are 0, so it goes right, its cross term into the flow_x two rows up.
const FirstStep FIRST_STEPS[] = {
    {"source only", 0, 0, 0, 0, 0, false, {}},
    {"up 17 > down 9, left 18 > right 8", 8, -10, 0, -10, 0, false,
     {{'a', 16, 16, 4}, {'a', 16, 15, 2}, {'a', 15, 16, 2}, {'y', 16, 16, 9}, {'y', 16, 15, -18.5f},
      {'y', 16, 14, -0.5f}, {'y', 15, 15, -0.5f}, {'x', 16, 16, 8}, {'x', 15, 16, -19.5f}, {'x', 14, 16, -1.5f},
      {'x', 15, 14, -1.5f}}},
    {"up and right", 8, -10, 0, 0, 10, false,
     {{'a', 16, 16, 4}, {'a', 16, 15, 2}, {'a', 17, 16, 2}, {'y', 16, 16, 9}, {'y', 16, 15, -18.5f},
      {'y', 16, 14, -0.5f}, {'y', 17, 15, -0.5f}, {'x', 15, 16, -8}, {'x', 16, 16, 19.5f}, {'x', 17, 16, 1.5f},
      {'x', 16, 14, 1.5f}}},
    {"down and left", 8, 0, 10, -10, 0, false,
     {{'a', 16, 16, 4}, {'a', 16, 17, 2}, {'a', 15, 16, 2}, {'y', 16, 15, -7}, {'y', 16, 16, 20.5f},
      {'y', 16, 17, 2.5f}, {'y', 15, 16, 2.5f}, {'x', 16, 16, 8}, {'x', 15, 16, -19.5f}, {'x', 14, 16, -1.5f},
      {'x', 15, 17, -1.5f}}},
    {"ties up = down = 9, left = right = 8: down and right", 8, -2, 0, 0, 0, false,
     {{'a', 16, 16, 4}, {'a', 16, 17, 2}, {'a', 17, 16, 2}, {'y', 16, 15, -9}, {'y', 16, 16, 10.5f},
      {'y', 16, 17, 2.5f}, {'y', 17, 16, 2.5f}, {'x', 15, 16, -8}, {'x', 16, 16, 9.5f}, {'x', 17, 16, 1.5f},
      {'x', 16, 17, 1.5f}}},
    {"one unit", 1, 0, 0, 0, 0, false,
     {{'a', 16, 16, 0}, {'a', 16, 17, 1}, {'y', 16, 16, 2.75f}, {'y', 16, 15, 0}, {'y', 16, 17, 1.75f},
      {'y', 15, 16, 1.75f}, {'x', 16, 16, 1}, {'x', 15, 16, -1}}},
    {"one unit on a wall", 1, 0, 0, 0, 0, true,
     {{'a', 16, 16, 0}, {'a', 17, 16, 1}, {'y', 16, 16, 0}, {'y', 16, 15, 0}, {'y', 16, 17, 0},
      {'x', 16, 16, 1.75f}, {'x', 15, 16, -1}, {'x', 17, 16, 0.75f}, {'x', 16, 14, 0.75f}}},
};

TEST_F(Grid, TheFirstStepMatchesTheHandWorkedFlows)
{
    for (const FirstStep& t : FIRST_STEPS) {
        SCOPED_TRACE(t.name);
        make(32, 32); // walls 4 deep all round
        *cell(16, 16) = {t.amount, 0, t.cell_fx, t.cell_fy, 0, 0, 0, 0};
        cell(16, 15)->flow_y = t.above_fy;
        cell(15, 16)->flow_x = t.left_fx;
        cell(16, 17)->solid = t.wall_below;
        structor_cells_step(&c);
        EXPECT_EQ(1u, c.steps);

        float v[3][32][32] = {}; // amount, flow_y, flow_x
        for (int32_t r = 4; r < 27; r++)
            for (int32_t col = 4; col < 28; col++)
                v[1][r][col] = 1.0f; // the +1 of the downward push; row 27 stands on the floor
        for (auto* list : {&SOURCE, &t.values})
            for (const CellValue& e : *list)
                v[e.field == 'a' ? 0 : e.field == 'y' ? 1 : 2][e.row][e.col] = e.value;
        // The blur: each inner cell's flow becomes the sum over its 3 x 3 neighbourhood / 16.
        for (int32_t r = 0; r < 32; r++)
            for (int32_t col = 0; col < 32; col++) {
                float sx = 0.0f, sy = 0.0f;
                for (int32_t dr = -1; r > 0 && r < 31 && col > 0 && col < 31 && dr <= 1; dr++)
                    for (int32_t dc = -1; dc <= 1; dc++) {
                        sy += v[1][r + dr][col + dc];
                        sx += v[2][r + dr][col + dc];
                    }
                ASSERT_EQ(v[0][r][col], (float)cell(col, r)->amount) << col << "," << r;
                ASSERT_EQ(sx / 16.0f, cell(col, r)->flow_x) << col << "," << r;
                ASSERT_EQ(sy / 16.0f, cell(col, r)->flow_y) << col << "," << r;
            }
    }
    // The source's own neighbourhood: flow_x (-64 + 76 + 12 + 12) / 16, flow_y
    // (-63 + 77 + 13 + 13 + five cells of 1) / 16.
    EXPECT_EQ(2.25f, cell(8, 8)->flow_x);
    EXPECT_EQ(2.8125f, cell(8, 8)->flow_y);
    EXPECT_NE(std::string::npos, LOGGED.status.find("CELL1="));
}

TEST_F(Grid, CellsNearTheEdgeAreNotUpdatedByThePasses)
{
    make(32, 32);
    // Walls and liquid planted inside the untouched margin are kept as they are.
    for (int32_t i = 0; i < 32 * 32; i++)
        c.working[i] = i % 32 < 3 || i / 32 < 3 ? structor_cell{} : c.working[i];
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

    // Wholly outside, or a source rectangle past the picture: nothing happens.
    make(64, 32);
    Picture full(2, 2, {{0, 0}, {1, 0}, {0, 1}, {1, 1}});
    std::vector<structor_cell> before(c.initial, c.initial + 64 * 32);
    structor_rect past = {100, 100, 50, 50};
    for (structor_rect dest : {structor_rect{70, 5, 4, 4}, structor_rect{-10, -10, 5, 5}})
        structor_cells_stamp(&c, &full.info, NULL, &dest);
    dest = {20, 10, 4, 4};
    structor_cells_stamp(&c, &full.info, &past, &dest);
    for (int32_t i = 0; i < 64 * 32; i++)
        ASSERT_EQ(before[i].solid, c.initial[i].solid) << i;
}

// Stamps cut at each edge of a 16 x 12 grid from the source rectangle (1, 1, 4, 4) of an
// 8 x 8 picture whose opaque pixels, the same when turned about the diagonal, lie at x 4 in
// row 1, x 2 3 5 in row 2, 2 4 in row 3, 1 3 4 in row 4, 2 in row 5. Cut 1 at the left of 8 x 2
// cells (sx 0.5, sy 2): the source starts at x 1 + 1 x 0.5 = 1.5, cells 0-6 read columns
// trunc(0.5c + 1.75) = 1 2 2 3 3 4 4 of rows trunc(2k + 1 + 1) = 2, 4. Cut 1 at the right of
// 8 x 1 (sx 0.5, sy 4, so 4 - 1 x sy would leave no source): cells 9-15 read
// trunc(0.5k + 1.25) = 1 1 2 2 3 3 4 of row trunc(2 + 1) = 3. The top and bottom likewise,
// turned. A cell too many reads an opaque pixel; the grid's spare rows show a write outside.
TEST_F(Grid, AStampCutAtEachEdgeMovesItsSourceByThatAxisScale)
{
    struct Case {
        const char* edge;
        structor_rect dest;
        std::vector<std::pair<int32_t, int32_t>> solid;
    } cases[] = {
        {"left", {-1, 2, 8, 2}, {{1, 2}, {2, 2}, {3, 2}, {4, 2}, {0, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}}},
        {"top", {2, -1, 2, 8}, {{2, 1}, {2, 2}, {2, 3}, {2, 4}, {3, 0}, {3, 3}, {3, 4}, {3, 5}, {3, 6}}},
        {"right", {9, 2, 8, 1}, {{11, 2}, {12, 2}, {15, 2}}},
        {"bottom", {2, 5, 1, 8}, {{2, 7}, {2, 8}, {2, 11}}}};
    Picture pic(8, 8, {{4, 1}, {2, 2}, {3, 2}, {5, 2}, {2, 3}, {4, 3}, {1, 4}, {3, 4}, {4, 4}, {2, 5}});
    const structor_rect source = {1, 1, 4, 4};
    for (const Case& t : cases) {
        make(16, 12);
        std::vector<structor_cell> grid(16 * 14); // no border, and a spare row above and below
        free(c.initial);
        c.initial = grid.data() + 16;
        structor_cells_stamp(&c, &pic.info, &source, &t.dest);
        c.initial = nullptr;
        std::vector<bool> want(16 * 14);
        for (auto& cell : t.solid)
            want[(cell.second + 1) * 16 + cell.first] = true;
        for (int32_t i = 0; i < 16 * 14; i++)
            EXPECT_EQ(want[i], grid[i].solid != 0) << t.edge << ": " << i % 16 << "," << i / 16 - 1;
    }
}

// A box over everything stops at 256 walls and says so (the wall spheres themselves are met
// by the balls' tests). A script can put an item anywhere: NaN or endless boxes and
// rectangles find no cells and change nothing (rather than wrapping an overflowed index back
// into the grid); a box that covers the grid from an endless edge still finds its cells.
TEST_F(Grid, BoxesStopAt256WallsAndStayInsideTheGrid)
{
    make(256, 128);
    const float nan = NAN, inf = INFINITY;
    vec3 out = {1.0f, 1.0f, 1.0f};
    vec3 nan_lo = {nan, nan, 0.0f}, nan_hi = {nan, nan, 0.0f};
    structor_cells_solid_spheres(&c, &nan_lo, &nan_hi);
    EXPECT_EQ(0, c.contact_count);
    EXPECT_EQ("", LOGGED.error);
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
    EXPECT_NE(std::string::npos, LOGGED.error.find("Collision Broken.\n"));

    Picture solid(4, 4, {{0, 0}, {1, 1}, {2, 2}, {3, 3}});
    std::vector<structor_cell> before(c.initial, c.initial + 256 * 128);
    for (structor_rect dest : {structor_rect{nan, nan, 10.0f, 10.0f}, structor_rect{10.0f, 10.0f, nan, nan},
                               structor_rect{3e9f, 3e9f, 3e9f, 3e9f}, structor_rect{-inf, -inf, 8.0f, 8.0f}})
        structor_cells_stamp(&c, &solid.info, nullptr, &dest);
    for (int32_t i = 0; i < 256 * 128; i++)
        ASSERT_EQ(before[i].solid, c.initial[i].solid) << i;
}

// The wall cells under a world box of the bordered 256 x 128 grid, as spheres at their
// centres in row order. Box to cells with w/2 = 128, h/2 = 64, cell size 4: columns from
// trunc(x0 / 4 + 128) - 1 (raised to 0) to trunc(x1 / 4 + 128) + 1, rows from
// 128 - trunc(y1 / 4 + 64) to 128 - trunc(y0 / 4 + 64) - 2, ends excluded; a cell's centre is
// ((c - 127.5) x 4, (63.5 - r) x 4).
// - Left border, (-512, -8) to (-500, 8): columns -1 -> 0 to 3 + 1 = 4, rows 128 - 66 = 62 to
//   128 - 62 - 2 = 64; the walls are columns 0-3 (x -510, -506, -502, -498) of rows 62, 63
//   (y 6, 2).
// - Floor, (-2, -250) to (2, -236): columns trunc(127.5) - 1 = 126 to 128 + 1 = 129, rows
//   128 - 5 = 123 to 128 - trunc(1.5) - 2 = 125; only row 124 is a wall (y -242), x -6, -2, 2.
// - The open middle, (-8, -8) to (8, 8): none.
TEST_F(Grid, WallQueriesGiveTheCentresOfTheWallCellsUnderTheBoxInRowOrder)
{
    struct Case {
        const char* name;
        vec3 lo, hi;
        std::vector<std::pair<float, float>> centres;
    } cases[] = {
        {"left border", {-512, -8, 0}, {-500, 8, 0},
         {{-510, 6}, {-506, 6}, {-502, 6}, {-498, 6}, {-510, 2}, {-506, 2}, {-502, 2}, {-498, 2}}},
        {"floor", {-2, -250, 0}, {2, -236, 0}, {{-6, -242}, {-2, -242}, {2, -242}}},
        {"open middle", {-8, -8, 0}, {8, 8, 0}, {}},
    };
    make(256, 128);
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        structor_cells_solid_spheres(&c, &t.lo, &t.hi);
        ASSERT_EQ((int32_t)t.centres.size(), c.contact_count);
        for (int32_t i = 0; i < c.contact_count; i++) {
            const sphere& s = c.contacts[i];
            EXPECT_EQ(t.centres[i].first, s.position.x) << i;
            EXPECT_EQ(t.centres[i].second, s.position.y) << i;
            EXPECT_EQ(0.0f, s.position.z);
            EXPECT_EQ(2.0f, s.radius);
            EXPECT_EQ(2.0f, s.contact_time);
            EXPECT_EQ(0.0f, s.velocity.x + s.velocity.y + s.velocity.z);
            EXPECT_EQ(nullptr, s.other);
        }
    }
    EXPECT_EQ("", LOGGED.error);
}

// Random grids (walls, amounts up to and past what 16 bits hold, small and large flows of
// both signs and leftover moves) stepped by the program and by the reference side by side, with liquid
// poured at a wandering spot between steps: every record the same, bit for bit, each step
// (fewer steps in the unoptimised sanitizer build).
#if defined(__OPTIMIZE__) && !defined(__SANITIZE_ADDRESS__)
const int EQUAL_STEPS = 2000;
#else
const int EQUAL_STEPS = 400;
#endif
TEST_F(Grid, TheStepMatchesTheReferenceOnRandomGrids)
{
    for (uint32_t seed = 1; seed <= 6; seed++) {
        std::mt19937 rng(seed);
        auto pick = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); };
        make(pick(13, 70), pick(13, 40));
        size_t n = (size_t)c.w * c.h;
        for (size_t i = 0; i < n; i++) {
            structor_cell& cell = c.working[i];
            cell.solid = pick(0, 9) == 0 ? 1 : cell.solid;
            cell.amount = (uint16_t)(pick(0, 3) ? pick(0, 40) : pick(0, 65535));
            // The last seeds' flows pass 2^22, where the order of the moves' additions shows.
            float scale = seed > 4 ? 1048576.0f : 1.0f;
            cell.flow_x = (float)pick(-4000, 4000) / 64.0f * scale;
            cell.flow_y = (float)pick(-4000, 4000) / 7.0f * scale;
            cell.next_x = (float)pick(-9, 9);
            cell.move_x = pick(-5, 5);
        }
        std::vector<structor_cell> records(c.working, c.working + n);
        structor_cells ref = c;
        ref.working = records.data();
        int32_t pour = pick(0, (int32_t)n - 1);
        for (int step = 0; step < EQUAL_STEPS; step++) {
            pour = (pour + pick(-c.w - 1, c.w + 1) + (int32_t)n) % (int32_t)n;
            for (structor_cell* g : {c.working, ref.working})
                g[pour].amount = (uint16_t)(g[pour].amount + 50 + step % 7);
            structor_cells_step(&c);
            structor_cells_step_ref(&ref);
            ASSERT_EQ(0, memcmp(c.working, ref.working, n * sizeof(structor_cell))) << seed << ", step " << step;
        }
    }
}

} // namespace
