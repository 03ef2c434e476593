// Gizmo trees: the child grid and its sizes, limits and spans as scripts give them, the
// layout's alignment and stretching, where handles and shown trees are placed, linking to
// menu records, name interning, the finds, and which passes reach which gizmos.
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

// Limits and spans as scripts give them; only a count or a root's argument that would go
// negative is held at 0. Children are 10 x 10 (A 30 wide) in a left and top aligned 800 x 600.
TEST_F(HudTree, GridKeysAreLaidOutAsGivenAndOnlyNegativeCountsAreHeld)
{
    const std::string A = "{min_width=30, min_height=10", B = "{min_width=10, min_height=10}";
    const struct {
        std::string keys, first; // the container's keys, the first child's extra keys
        int children;
        floats grid;              // columns, rows, measured width and height
        floats xs, ys;            // each child's place
    } cases[] = {
        // Span 0: SW = 3, SH = 4, R = (int)sqrt(3.5) = 1, K = (3 + 0) / 1 = 3. A does not move
        // the column counter, so B starts in column 0 too and takes A's width 30; one row
        // 30 + 30 + 10 + 10 = 80 wide.
        {"", ", span_width=0}", 4, {3, 1, 80, 10}, {0, 30, 60, 70}, {0, 0, 0, 0}},
        // Span -1: SW = 2, SH = 4, R = (int)sqrt(3) = 1, K = (2 + 0) / 1 = 2. The counter goes
        // 0, -1, 0, 1, 2: B starts in column -1 (none, so it keeps 10), C in column 0 (30
        // like A), D ends the row at 2; 30 + 10 + 30 + 10 = 80.
        {"", ", span_width=-1}", 4, {2, 1, 80, 10}, {0, 30, 40, 70}, {0, 0, 0, 0}},
        // A -1 wide and -7 high: SW = 1, SH = -5, the root of (1 - 5) / 2 = -2 is held at 0,
        // so R = 0 and K = 0. The counter goes -1, then 0 and 1, each ending a row: rows A B
        // (30 + 10) and C.
        {"", ", span_width=-1, span_height=-7}", 3, {0, 0, 40, 20}, {0, 30, 0}, {0, 0, 10}},
        // Limit -1: K = -1, R = (4 - 1 - 1) / -1 = -2, both held at 0; every child ends its
        // row: a column 30 wide and 4 x 10 high.
        {"limit_wide=-1,", "}", 4, {0, 0, 30, 40}, {0, 0, 0, 0}, {0, 10, 20, 30}},
        // limit_high -1 likewise: R = -1, K = (4 - 1 - 1) / -1 = -2.
        {"limit_high=-1,", "}", 4, {0, 0, 30, 40}, {0, 0, 0, 0}, {0, 10, 20, 30}},
        // Limit 0 is no limit: R = (int)sqrt(4) = 2, K = (4 + 1) / 2 = 2; column 0 (A and C)
        // 30 wide, column 1 10: rows 40 wide.
        {"limit_wide=0,", "}", 4, {2, 2, 40, 20}, {0, 30, 0, 30}, {0, 0, 10, 10}},
    };
    for (const auto& c : cases) {
        std::string tree = "{xalign=-1, yalign=-1," + c.keys + A + c.first + ",";
        for (int i = 1; i < c.children; i++)
            tree += B + ",";
        hudgizmo* g = build("g", tree + "}");
        ASSERT_NE(g, nullptr) << tree;
        measure_and_layout(g);
        EXPECT_EQ(grid(g), c.grid) << tree;
        floats xs, ys;
        for (int i = 0; i < c.children; i++) {
            xs.push_back(child(g, i)->x);
            ys.push_back(child(g, i)->y);
        }
        EXPECT_EQ(xs, c.xs) << tree;
        EXPECT_EQ(ys, c.ys) << tree;
    }
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

TEST_F(HudTree, LinkBuildsRingsTargetsAndRecords)
{
    menu_def table[] = {
        {"MENU_A", 0, nullptr, 0, nullptr, nullptr, 0}, {"MENU_B", 1, nullptr, 0, nullptr, nullptr, 0},
        {"MENU_A", 2, nullptr, 0, nullptr, nullptr, 0}, {"HX", 3, nullptr, 0, nullptr, nullptr, 0},
        {"HY", 4, nullptr, 0, nullptr, nullptr, 0},     {nullptr, 0, nullptr, 0, nullptr, nullptr, 0},
    };
    HUD.menu_table = table;
    hudgizmo* g = build("g", "{{button='MENU_A', group='g', target='pa'}, {button='MENU_B', group='g', target='pb'},"
                             "{button='c', group='G'}, {label='pa', hide=1}, {label='pb', hide=1},"
                             "{handle_x='HX', handle_y='HY'}, {button='lone', target='nowhere'}}");
    hudgizmo *a = child(g, 0), *b = child(g, 1), *c = child(g, 2), *h = child(g, 5), *lone = child(g, 6);
    // The ring from its anchor a, each later member inserted right after a: a, b gives
    // a -> b -> a; then c (group 'G' is the same name) gives a -> c -> b -> a.
    EXPECT_EQ((std::vector<hudgizmo*>{a->group_next, c->group_next, b->group_next, lone->group_next}),
              (std::vector<hudgizmo*>{c, b, a, nullptr}));
    EXPECT_EQ((std::vector<hudgizmo*>{a->target, b->target, lone->target}),
              (std::vector<hudgizmo*>{child(g, 3), child(g, 4), nullptr}));
    // Every matching record points at the gizmo; the last one wins in the gizmo.
    EXPECT_EQ((std::vector<menu_def*>{a->record, b->record, h->handle_x_record, h->handle_y_record}),
              (std::vector<menu_def*>{&table[2], &table[1], &table[3], &table[4]}));
    EXPECT_EQ((std::vector<hudgizmo*>{table[0].gizmo, table[1].gizmo, table[2].gizmo, table[3].gizmo, table[4].gizmo}),
              (std::vector<hudgizmo*>{a, b, a, h, h}));
    // Freeing the tree leaves no record pointing into it.
    EXPECT_TRUE(run("hud.free(g)"));
    for (menu_def* r = table; r->name; r++)
        EXPECT_EQ(r->gizmo, nullptr) << r->name;
    HUD.menu_table = nullptr;
}

// Names, groups and targets are interned without case (so one spelling, the first, serves
// every case), texts and Lua strings with it; linking compares the interned name byte-wise.
TEST_F(HudTree, NamesIgnoreCaseTextsAndScriptsKeepItAndLinkingMatchesTheFirstSpelling)
{
    ASSERT_TRUE(run("a = hud.alloc():build{label='Panel', group='G', target='T', text='None', lua='x=1'}"
                    "b = hud.alloc():build{label='PANEL', group='g', target='t', text='none', lua='X=1'}"));
    hudgizmo *a = gizmo("a"), *b = gizmo("b");
    EXPECT_EQ((std::vector<const char*>{b->name, b->group_name, b->target_name}),
              (std::vector<const char*>{a->name, a->group_name, a->target_name}));
    EXPECT_EQ((std::vector<std::string>{b->name, b->text, b->lua}), (std::vector<std::string>{"Panel", "none", "X=1"}));

    menu_def table[] = {{"MENU_Quit", 0, nullptr, 0, nullptr, nullptr, 0}, {}};
    build("first", "{label='Menu_Quit'}"); // this spelling is interned first
    HUD.menu_table = table;
    hudgizmo* g = build("g", "{button='MENU_Quit'}");
    HUD.menu_table = nullptr;
    EXPECT_STREQ(g->name, "Menu_Quit");
    EXPECT_EQ(g->record, nullptr);
    EXPECT_EQ(table[0].gizmo, nullptr);
}

TEST_F(HudTree, FindShownSkipsOnlyHiddenDirectChildren)
{
    hudgizmo* g = build("g", "{label='root', {label='a', hide=1, {label='deep'}},"
                             "{label='b', {label='c', hide=1, {label='x'}}}}");
    auto name = [](const char* n) { return str_pool_add(&HUD.name_pool, n); };
    hudgizmo *deep = child(child(g, 0), 0), *x = child(child(child(g, 1), 0), 0);
    const struct {
        const char* name;
        hudgizmo *found, *shown;
    } cases[] = {
        {"deep", deep, nullptr}, // under a hidden direct child
        {"X", x, x},             // hidden deeper down: still found
        {"root", g, g},
        {"nobody", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hudgizmo_find(g, name(c.name)), c.found) << c.name;
        EXPECT_EQ(hudgizmo_find_shown(g, name(c.name)), c.shown) << c.name;
    }
    EXPECT_EQ(hudgizmo_find(g, nullptr), nullptr);
}

TEST_F(HudTree, PassesSkipGfxSubtreesTextChildrenAndHiddenChildren)
{
    hudgizmo* g = build("g", "{gfx=1, {button='B', min_width=20, min_height=20}}");
    hudgizmo* t = build("t", "{text='hi', {min_width=500, min_height=500}}");
    hudgizmo* h = build("h", "{hide=1, {gfx=1, min_width=5, min_height=5}, {hide=1, gfx=1, min_width=5}}");
    measure_and_layout(g);
    hudgizmo* b = child(g, 0);
    set_pointer(b->x + 1, b->y + 1);
    press();
    hudgizmo_update(g);
    EXPECT_EQ(HUD.pressed, nullptr); // a gfx gizmo's buttons never react...
    EXPECT_EQ(INPUT.click.pressed, 1);
    FAKE.quads.clear();
    hudgizmo_draw(g);
    EXPECT_EQ(FAKE.quads.size(), 1u + 5u); // ...but are drawn: the fill, then a face of five
    // A text gizmo's children are not measured: "hi" is 2 x 10 + 2 x 8 wide, one line high.
    hudgizmo_measure(t);
    EXPECT_EQ((floats{t->measured_width, t->measured_height}), (floats{36, 32}));
    // The hidden flag of the gizmo a pass starts on is ignored; a hidden child is skipped.
    measure_and_layout(h);
    FAKE.quads.clear();
    hudgizmo_draw(h);
    EXPECT_EQ(FAKE.quads.size(), 1u);
}

} // namespace
