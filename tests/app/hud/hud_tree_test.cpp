// Gizmo trees: the child grid and its sizes, the layout's alignment, stretching and
// limits, and where handles and shown trees are placed.
#include "tests/app/hud/hud_fixture.h"

namespace {

std::string boxes(int n, const char* box = "{min_width=10, min_height=10}")
{
    std::string s;
    for (int i = 0; i < n; i++)
        s += std::string(box) + ",";
    return s;
}

void measure_and_layout(hudgizmo* g)
{
    g->x = g->y = 0.0f;
    g->w = 800.0f;
    g->h = 600.0f;
    hudgizmo_measure(g);
    hudgizmo_layout(g);
}

using HudTree = HudTest;
using floats = std::vector<float>;

floats rect(hudgizmo* g) { return {g->x, g->y, g->w, g->h}; }
// Columns, rows, measured width and height.
floats grid(hudgizmo* g) { return {(float)g->columns, (float)g->rows, g->measured_width, g->measured_height}; }

TEST_F(HudTree, GridFromCountLimitsAndHiddenChildren)
{
    // Columns, rows, measured width and height of 10 x 10 boxes.
    const std::string hidden = "{hide=1, min_width=10, min_height=10}";
    const struct {
        std::string tree;
        floats grid;
    } cases[] = {
        {boxes(3), {3, 1, 30, 10}}, {boxes(4), {2, 2, 20, 20}}, {boxes(5), {3, 2, 30, 20}},
        {"limit_wide=2," + boxes(5), {2, 3, 20, 30}}, {"limit_high=1," + boxes(5), {5, 1, 50, 10}},
        {"limit_wide=9," + boxes(5), {5, 1, 50, 10}},
        {boxes(5) + hidden, {3, 2, 30, 20}}, // a hidden trailing child keeps the last row
        // Hidden children take no cells: an empty button measures its inset, or its minima.
        {"button='b'," + hidden, {0, 0, 4, 4}}, {"button='b', min_width=30", {0, 0, 30, 4}},
    };
    for (const auto& c : cases) {
        hudgizmo* g = build("g", "{xalign=-1, yalign=-1," + c.tree + "}");
        ASSERT_NE(g, nullptr);
        measure_and_layout(g);
        EXPECT_EQ(grid(g), c.grid) << c.tree;
        // The last child sits at the end of the row-by-row walk.
        if (c.grid[0] > 0 && c.tree.find("hide") == std::string::npos) {
            int last = list_count(&g->children) - 1, columns = (int)c.grid[0];
            EXPECT_EQ(rect(child(g, last)), (floats{10.0f * (last % columns), 10.0f * (last / columns), 10, 10}));
        }
    }
    // Columns take the widest, rows the tallest.
    hudgizmo* g = build("g", "{xalign=-1, yalign=-1, {min_width=10, min_height=5}, {min_width=30, min_height=5},"
                             "{min_width=20, min_height=40}, {min_width=5, min_height=5}}");
    measure_and_layout(g);
    EXPECT_EQ(grid(g), (floats{2, 2, 50, 45}));
    const floats expect[4] = {{0, 0, 20, 5}, {20, 0, 30, 5}, {0, 5, 20, 40}, {20, 5, 30, 40}};
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(rect(child(g, i)), expect[i]) << i;
}

TEST_F(HudTree, SpansCountInTheGrid)
{
    // limit_wide 2 with spans 2, 2, 1, 1: K = 2, R = (4 + 1) / 2 = 2, but the walk makes three
    // rows (each wide child ends its own). Row 2 lies beyond R: its heights stay their own.
    hudgizmo* g = build("g", "{xalign=-1, yalign=-1, limit_wide=2, {span_width=2, min_width=10, min_height=10},"
                             "{span_width=2, min_width=10, min_height=10}, {min_width=10, min_height=10},"
                             "{min_width=10, min_height=30}}");
    measure_and_layout(g);
    EXPECT_EQ(grid(g), (floats{2, 2, 20, 50})); // 10 + 10 + the row's tallest, 30
    EXPECT_EQ(rect(child(g, 2)), (floats{0, 20, 10, 10}));
    EXPECT_EQ(rect(child(g, 3)), (floats{10, 20, 10, 30}));
    // A span as large as an integer holds still ends its row instead of overflowing the walk.
    g = build("g", "{xalign=-1, yalign=-1, limit_wide=2147483647, {span_width=5, min_height=10},"
                   "{span_width=2147483647, min_height=10}, {span_width=2147483647, min_height=10}}");
    measure_and_layout(g);
    EXPECT_EQ(child(g, 1)->y, 0.0f);
    EXPECT_EQ(child(g, 2)->y, 10.0f);
}

TEST_F(HudTree, AlignmentPlacesTheBlockInsideAnyButtonInset)
{
    // A 10 x 10 child in 800 x 600: left/top, centre, right/bottom.
    for (auto [keys, x, y] : {std::tuple<const char*, float, float>{"xalign=-1, yalign=-1", 0, 0},
                              {"xalign=0, yalign=0", 395, 295}, {"xalign=1, yalign=1", 790, 590}}) {
        hudgizmo* g = build("g", std::string("{") + keys + ", {min_width=10, min_height=10}}");
        measure_and_layout(g);
        EXPECT_EQ(rect(child(g, 0)), (floats{x, y, 10, 10})) << keys;
    }
    // A button's inset (4) offsets its children by half.
    hudgizmo* g = build("g", "{xalign=-1, yalign=-1, {button='b', xalign=-1, yalign=-1, {min_width=10, min_height=10}}}");
    measure_and_layout(g);
    EXPECT_EQ(rect(child(g, 0)), (floats{0, 0, 14, 14}));
    EXPECT_EQ(rect(child(child(g, 0), 0)), (floats{2, 2, 10, 10}));
}

TEST_F(HudTree, StretchSharesByMeasuredSizePinsMaximaAndNeverDividesByZero)
{
    // Widths 10 and 30 share 800 as 1 : 3; both take the full height.
    hudgizmo* g = build("g", "{{min_width=10, min_height=10}, {min_width=30, min_height=10}}");
    measure_and_layout(g);
    EXPECT_EQ(rect(child(g, 0)), (floats{0, 0, 200, 600}));
    EXPECT_EQ(rect(child(g, 1)), (floats{200, 0, 600, 600}));
    // The first pinned at 100: the other gets its 600 plus its share (30/40) of the 100 cut.
    g = build("g", "{yalign=-1, {min_width=10, min_height=10, max_width=100}, {min_width=30, min_height=10}}");
    measure_and_layout(g);
    EXPECT_EQ(child(g, 0)->w, 100.0f);
    EXPECT_EQ(child(g, 1)->w, 600.0f + 100.0f * 30.0f / 40.0f);

    g = build("g", "{{}, {}, {gfx=1}}"); // every child measures zero
    measure_and_layout(g);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(rect(child(g, i)), (floats{0, 0, 0, 0})) << i; // no NaN from 0 / 0
}

TEST_F(HudTree, HandlesKeepTheirPlaceThroughLayoutsAndDisplayPlacesThem)
{
    hudgizmo* g = build("g", "{{handle='h', min_width=10, min_height=10}, {min_width=10, min_height=10}}");
    child(g, 0)->x = 123.0f;
    child(g, 0)->y = 45.0f;
    measure_and_layout(g);
    EXPECT_EQ((floats{child(g, 0)->x, child(g, 0)->y}), (floats{123, 45}));
    EXPECT_EQ(child(g, 1)->x, 400.0f); // the handle still takes its place in the walk
    // A 40 x 20 handle placed on the 800 x 600 window: centred ((800 - 40) / 2, (600 - 20) / 2),
    // at the pointer, centred on it (100 - 20, 50 - 10), then in the place of the one before.
    set_pointer(100, 50);
    const struct {
        const char* mode;
        float x, y;
    } modes[] = {{"CENTER", 380, 290}, {"pointer", 100, 50}, {"pointer_center", 80, 40}, {"old", 80, 40}};
    for (const auto& m : modes) {
        hudgizmo* p = build("p", "{{handle='h', min_width=40, min_height=20}}");
        hudgizmo_measure(child(p, 0));
        ASSERT_TRUE(run(std::string("p:display('") + m.mode + "')"));
        hud_update(&HUD);
        EXPECT_EQ((floats{child(p, 0)->x, child(p, 0)->y}), (floats{m.x, m.y})) << m.mode;
    }
}

} // namespace
