// Gizmo kinds and faces: hit edges and the click flow, group rings (only in a tree linked
// under a menu table), overlapping gizmos, handle drags and their fractions, gfx fills, text
// measuring, wrapping and justification, face quads, styles and shades, the cartoon clock.
#include "app/code/main_state.h"
#include "tests/app/hud/hud_fixture.h"

namespace {

struct call {
    menu_def* record;
    int32_t event;
};
std::vector<call> calls;
int32_t record_call(menu_def* r, hudgizmo*, int32_t event, int32_t) { return calls.push_back({r, event}), 0; }

void place(hudgizmo* g, float x, float y, float w, float h)
{
    g->x = x;
    g->y = y;
    g->w = w;
    g->h = h;
}

struct HudKinds : HudTest {
    void SetUp() override
    {
        HudTest::SetUp();
        calls.clear();
    }
    // One frame of a tree: input, then the update pass, then the frame's edges cleared.
    void frame(hudgizmo* g)
    {
        hudgizmo_update(g);
        INPUT.click.pressed = INPUT.click.released = 0;
    }
    double number(const char* global)
    {
        lua_getglobal(CON.L, global);
        double v = lua_tonumber(CON.L, -1);
        lua_pop(CON.L, 1);
        return v;
    }
};

// A 20 x 20 button at (10, 10): columns and rows 10 to 28 are in; 29, its last (x + w - 1),
// and 9 are out.
TEST_F(HudKinds, ButtonHitTakesTheLeftAndTopEdgesButNotTheLastColumnAndRow)
{
    hudgizmo g = {};
    place(&g, 10, 10, 20, 20);
    const struct {
        float x, y;
        bool hit;
    } points[] = {{10, 15, true}, {15, 10, true}, {28, 28, true}, {29, 15, false},
                  {15, 29, false}, {9, 15, false}, {15, 9, false}};
    for (const auto& p : points)
        EXPECT_EQ(hudgizmo_button_hit(&g, p.x, p.y), p.hit) << p.x << "," << p.y;
}

// A button over (0,0)-(50,20) linked to a recording record, with a Lua string.
struct HudButton : HudKinds {
    menu_def table[2] = {{"B", 0, nullptr, 0, record_call, nullptr, 0}, {}};
    hudgizmo* g = nullptr;
    void SetUp() override
    {
        HudKinds::SetUp();
        HUD.menu_table = table;
        g = build("g", "{button='B', lua='clicked = (clicked or 0) + 1'}");
        HUD.menu_table = nullptr;
        place(g, 0, 0, 50, 20);
    }
};

TEST_F(HudButton, PressAndReleaseMakeAClickOnlyInsideAndConsumeTheirEdges)
{
    // One frame per row: pointer x (y is 10), the click triple {held, pressed, released}
    // going in, then whether the button holds the press, the clicks so far, and the edges
    // left for the state.
    const struct {
        const char* what;
        float x;
        input_button click;
        bool holds;
        size_t clicks;
        int edges_left;
    } frames[] = {
        {"press inside", 10, {1, 1, 0}, true, 0, 0},
        {"held", 10, {1, 0, 0}, true, 0, 0},
        {"release inside: a click", 10, {0, 0, 1}, false, 1, 0},
        {"press", 10, {1, 1, 0}, true, 1, 0},
        {"release outside cancels", 100, {0, 0, 1}, false, 1, 0},
        {"press", 10, {1, 1, 0}, true, 1, 0},
        {"out while held", 100, {1, 0, 0}, true, 1, 0},
        {"back in and release: a click", 10, {0, 0, 1}, false, 2, 0},
        {"press and release in one frame: a click", 10, {0, 1, 1}, false, 3, 0},
        {"up then down: the release was an earlier press's", 10, {1, 1, 1}, true, 3, 0},
        {"its release", 10, {0, 0, 1}, false, 4, 0},
        {"press outside every button: left for the state", 60, {1, 1, 0}, false, 4, 1},
    };
    for (const auto& f : frames) {
        set_pointer(f.x, 10);
        INPUT.click = f.click;
        hudgizmo_update(g);
        EXPECT_EQ(HUD.pressed == g, f.holds) << f.what;
        EXPECT_EQ(calls.size(), f.clicks) << f.what;
        EXPECT_EQ(INPUT.click.pressed + INPUT.click.released, f.edges_left) << f.what;
        EXPECT_EQ(INPUT.click.held, f.click.held) << f.what; // only the edges are consumed
    }
    for (const call& c : calls)
        EXPECT_TRUE(c.record == &table[0] && c.event == 1);
    con_update(&CON);
    EXPECT_EQ(number("clicked"), 4.0); // the Lua string of every click, after its handler
    EXPECT_FALSE(g->flags & HUDGIZMO_SELECTED); // no group: never selected
}

TEST_F(HudKinds, GroupRingSelectsOneAndShowsItsTarget)
{
    menu_def no_records[1] = {}; // a table is current, so the tree is linked
    HUD.menu_table = no_records;
    hudgizmo* g = build("g", "{{button='a', group='g', target='pa', selected=1}, {button='b', group='g', target='pb'},"
                             "{button='c', group='g'}, {label='pa'}, {label='pb', hide=1}}");
    HUD.menu_table = nullptr;
    hudgizmo *a = child(g, 0), *b = child(g, 1), *pa = child(g, 3), *pb = child(g, 4);
    place(b, 0, 0, 50, 20);
    for (int round = 0; round < 2; round++) { // a second click keeps it selected
        set_pointer(10, 10);
        press();
        frame(b);
        release();
        frame(b);
        EXPECT_TRUE(b->flags & HUDGIZMO_SELECTED);
        EXPECT_FALSE(a->flags & HUDGIZMO_SELECTED);
        EXPECT_FALSE(child(g, 2)->flags & HUDGIZMO_SELECTED);
        EXPECT_TRUE(pa->flags & HUDGIZMO_HIDDEN);
        EXPECT_FALSE(pb->flags & HUDGIZMO_HIDDEN);
    }
}

// The same tree built without a menu table and under one: only the second gets its group
// ring and targets, so only there does releasing b select it and show its panel pb.
TEST_F(HudKinds, OnlyATreeBuiltUnderAMenuTableGetsItsRingsAndTargets)
{
    menu_def table[] = {{"b", 0, nullptr, 0, record_call, nullptr, 0}, {}};
    const struct {
        menu_def* table;
        bool selected, panel_shown;
        size_t handler_calls;
    } cases[] = {{nullptr, false, false, 0}, {table, true, true, 1}};
    for (const auto& c : cases) {
        calls.clear();
        HUD.menu_table = c.table;
        hudgizmo* g = build("g", "{{button='a', group='g', target='pa'}, {button='b', group='g', target='pb'},"
                                 "{label='pa', hide=1}, {label='pb', hide=1}}");
        HUD.menu_table = nullptr;
        hudgizmo *b = child(g, 1), *pb = child(g, 3);
        EXPECT_EQ(b->group_next != nullptr, c.selected) << c.selected;
        EXPECT_EQ(b->target == pb, c.selected) << c.selected;
        place(b, 0, 0, 50, 20);
        set_pointer(10, 10);
        press();
        frame(g);
        EXPECT_EQ(HUD.pressed, b); // a button either way
        release();
        frame(g);
        EXPECT_EQ((b->flags & HUDGIZMO_SELECTED) != 0, c.selected) << c.selected;
        EXPECT_EQ(!(pb->flags & HUDGIZMO_HIDDEN), c.panel_shown) << c.selected;
        EXPECT_EQ(calls.size(), c.handler_calls) << c.selected;
    }
}

void place_all(hudgizmo* g)
{
    place(g, 0, 0, 50, 50);
    for (list_node* n = list_first(&g->children); n->next; n = n->next)
        place_all((hudgizmo*)n);
}

// Every gizmo of the tree covers (0, 0)-(50, 50) and the press lands at (10, 10): the update
// pass visits children before their parent and siblings in order, and the first that takes
// the press consumes it, so no later one sees it.
TEST_F(HudKinds, OfOverlappingGizmosInOneTreeTheFirstUpdatedTakesThePress)
{
    const struct {
        const char *tree, *taker; // null: nobody, the press is left for the state
    } cases[] = {
        {"{{button='a', {button='inner'}}, {button='b'}}", "inner"}, // deepest first
        {"{{button='a'}, {button='b'}}", "a"},                       // earlier sibling
        {"{button='outer', {button='x'}}", "x"},                     // the root after its children
        {"{{button='a', hide=1}, {button='b'}}", "b"},               // hidden: skipped
        {"{{gfx=1, {button='a'}}, {button='b'}}", "b"},              // a gfx subtree never updates
        {"{{text='t', {button='a'}}, {button='b'}}", "b"},           // nor a text gizmo's children
        {"{{handle='h'}, {button='b'}}", "h"},                       // a handle takes it like a button
        {"{gfx=1, {button='a'}}", nullptr},
    };
    for (const auto& c : cases) {
        hudgizmo* g = build("g", c.tree);
        ASSERT_NE(g, nullptr) << c.tree;
        place_all(g);
        HUD.pressed = nullptr;
        set_pointer(10, 10);
        press();
        hudgizmo_update(g);
        EXPECT_STREQ(HUD.pressed ? HUD.pressed->name : nullptr, c.taker) << c.tree;
        EXPECT_EQ(INPUT.click.pressed, c.taker ? 0 : 1) << c.tree;
    }
    HUD.pressed = nullptr;
}

struct HudHandle : HudKinds {
    menu_def table[4] = {{"own", 0, nullptr, 0, record_call, nullptr, 0},
                         {"hx", 1, nullptr, 0, record_call, nullptr, 0.5f},
                         {"hy", 2, nullptr, 0, record_call, nullptr, 0},
                         {}};
    hudgizmo *panel = nullptr, *h = nullptr;
    void SetUp() override
    {
        HudKinds::SetUp();
        HUD.menu_table = table;
        panel = build("panel", "{{handle='own', handle_x='hx', handle_y='hy'}}");
        HUD.menu_table = nullptr;
        h = child(panel, 0);
        place(panel, 100, 100, 200, 50);
        place(h, 0, 0, 20, 50);
    }
};

TEST_F(HudHandle, DragClampsWritesFractionsAndCallsHandlersInOrder)
{
    frame(h); // idle: placed by its records, hx 0.5 of (200 - 20) from x 100
    EXPECT_EQ(h->x, 190.0f);
    EXPECT_EQ(h->y, 100.0f);
    set_pointer(195, 110);
    INPUT.click = {0, 1, 1}; // pressed and released in one frame: the drag ends at once
    frame(h);
    EXPECT_EQ(HUD.pressed, nullptr);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].event, 1); // ended, not dragging
    calls.clear();
    INPUT.click = {1, 1, 1}; // up then down: a press that starts a drag
    frame(h);
    ASSERT_EQ(HUD.pressed, h);
    EXPECT_TRUE(calls.empty());

    set_pointer(400, 500); // far past the edge
    frame(h);
    EXPECT_EQ(h->x, 280.0f);
    EXPECT_EQ(table[1].value, 1.0f);
    EXPECT_EQ(table[2].value, 0.0f); // the handle is as tall as its parent
    set_pointer(0, 0);
    frame(h);
    EXPECT_EQ(table[1].value, 0.0f);
    release();
    frame(h);
    EXPECT_EQ(HUD.pressed, nullptr);
    ASSERT_EQ(calls.size(), 9u);
    for (size_t i = 0; i < 9; i++) // own, hx, hy: dragging twice, then the end
        EXPECT_TRUE(calls[i].record == &table[i % 3] && calls[i].event == (i < 6 ? 2 : 1)) << i;

    // Without a parent nothing clamps it.
    hudgizmo* free_handle = build("f", "{handle_x='hx'}");
    place(free_handle, 10, 10, 20, 20);
    set_pointer(15, 15);
    press();
    frame(free_handle);
    set_pointer(-500, 15);
    frame(free_handle);
    EXPECT_EQ(free_handle->x, -505.0f);
}

// A 20 x 20 handle at (10, 10) takes presses on its whole rectangle, the last column and
// row (29) included, unlike a button; 30 is outside.
TEST_F(HudKinds, HandleHitTakesTheLastColumnAndRow)
{
    const struct {
        float x, y;
        bool hit;
    } points[] = {{29, 29, true}, {10, 10, true}, {30, 15, false}, {15, 30, false}, {9, 15, false}};
    for (const auto& p : points) {
        hudgizmo* h = build("h", "{handle='h'}");
        place(h, 10, 10, 20, 20);
        HUD.pressed = nullptr;
        set_pointer(p.x, p.y);
        press();
        frame(h);
        EXPECT_EQ(HUD.pressed == h, p.hit) << p.x << "," << p.y;
    }
    HUD.pressed = nullptr;
}

// One quad from (x, y) to (x + w - 1, y + h - 1): (10, 20) and 30 x 40 end at (39, 59).
TEST_F(HudKinds, GfxFillsItsRectangle)
{
    hudgizmo* g = build("g", "{gfx=1, color='0x80112233'}");
    place(g, 10, 20, 30, 40);
    hudgizmo_draw(g);
    EXPECT_EQ(corners(), (std::vector<std::array<float, 4>>{{10, 20, 39, 59}}));
    EXPECT_EQ(FAKE.quads[0].colour, 0x80112233u);
}

// What a draw of g writes, each word as "word@x,y".
std::vector<std::string> drawn(hudgizmo* g)
{
    FAKE.words.clear();
    FAKE.word_x.clear();
    FAKE.word_y.clear();
    hudgizmo_draw(g);
    std::vector<std::string> out;
    for (size_t i = 0; i < FAKE.words.size(); i++)
        out.push_back(FAKE.words[i] + "@" + std::to_string((int)FAKE.word_x[i]) + "," +
                      std::to_string((int)FAKE.word_y[i]));
    return out;
}
using words = std::vector<std::string>;

TEST_F(HudKinds, OneLineTextIsCentredATinyAspectWraps)
{
    // 11 characters of 10 pixels + 2 spaces of 8 = 126 wide, one line of 32; centred in
    // 200 x 100 at (100, 50): x = 100 + 37 + 8, y = 50 + 34.
    hudgizmo* g = build("g", "{text='hello world'}");
    EXPECT_EQ(hudgizmo_text_width(g), 126.0f);
    EXPECT_EQ(hudgizmo_text_height(g), 32.0f);
    place(g, 100, 50, 200, 100);
    EXPECT_EQ(drawn(g), (words{"hello world@145,84"}));

    // A tiny aspect wraps one word per line: the widest word 30 + 2 * 8 wide, 3 lines high.
    g = build("g", "{text='aa bbb c', aspect=0.001, font='comic'}");
    EXPECT_EQ(hudgizmo_text_width(g), 46.0f);
    EXPECT_EQ(hudgizmo_text_height(g), 96.0f);
    place(g, 0, 0, 46, 96);
    EXPECT_EQ(drawn(g), (words{"aa@0,0", "bbb@0,32", "c@0,64"})); // no alignment key: justified
}

// An empty text measures 2 x 8 wide and, wrapped, 0 high; a gizmo made text by `font` alone
// has no text and measures and draws as an empty one, on one line or wrapped.
TEST_F(HudKinds, EmptyAndMissingTextsMeasureTheInset)
{
    hudgizmo* g = build("g", "{text='', aspect=1}");
    EXPECT_EQ((std::vector<float>{hudgizmo_text_width(g), hudgizmo_text_height(g)}), (std::vector<float>{16, 0}));
    hudgizmo* f = build("f", "{font='outline'}");
    EXPECT_EQ(f->text, nullptr);
    EXPECT_EQ(hudgizmo_text_width(f), 16.0f);
    place(f, 0, 0, 10, 10);
    // One line: "" centred, x = 0 + (10 - 16) / 2 + 8, y = 0 + (10 - 32) / 2; wrapped: nothing.
    EXPECT_EQ(drawn(f), (words{"@5,-11"}));
    f->aspect = 2.0f;
    EXPECT_EQ(hudgizmo_text_height(f), 0.0f);
    EXPECT_EQ(drawn(f), words{});
}

TEST_F(HudKinds, WrappedLinesAlignAndJustify)
{
    // Wrap width 120: the words of both lines fit; the first ends at a line break.
    const struct {
        const char* align;
        uint32_t flags;
        words expect;
    } cases[] = {
        {"left", HUDGIZMO_ALIGN_LEFT, {"aa@0,0", "bb@28,0", "cc@0,32", "dd@28,32"}},
        {"right", HUDGIZMO_ALIGN_RIGHT, {"aa@72,0", "bb@100,0", "cc@72,32", "dd@100,32"}},
        {"centre", 0, {"aa@36,0", "bb@64,0", "cc@36,32", "dd@64,32"}},
        // Justified, except the line ended by the break.
        {"justify", HUDGIZMO_STRETCH_X, {"aa@0,0", "bb@28,0", "cc@0,32", "dd@100,32"}},
    };
    for (auto& c : cases) {
        hudgizmo* g = build("g", "{aspect=1000, text='aa bb\\ncc dd'}");
        ASSERT_NE(g, nullptr);
        g->flags = (g->flags & ~HUDGIZMO_STRETCH_X) | c.flags;
        EXPECT_EQ(hudgizmo_text_width(g), 120.0f);
        place(g, 0, 0, 300, 100);
        EXPECT_EQ(drawn(g), c.expect) << c.align;
    }
}

TEST_F(HudKinds, FaceQuadsAndShadesRaisedAndDown)
{
    hudgizmo* g = build("g", "{button='b', color='0x80fa0a0a'}");
    place(g, 10, 20, 30, 16);
    hudgizmo_face_draw(g, 0);
    ASSERT_EQ(FAKE.quads.size(), 5u);
    EXPECT_EQ(FAKE.quads[0].colour, 0x80e90000u); // fill: -17
    EXPECT_EQ(FAKE.quads[1].colour, 0x80ff1b1bu); // light: +17, 250 clamps to 255
    EXPECT_EQ(FAKE.quads[3].colour, 0x80c70000u); // dark: -51, 10 clamps to 0

    // A 30 x 16 button at (10, 20): the face starts 2 up and left (half the inset of 4).
    using quads = std::vector<std::array<float, 4>>;
    const quads raised = {{8, 18, 37, 33}, {8, 18, 11, 32}, {8, 18, 36, 21}, {35, 20, 38, 34}, {10, 31, 38, 34}};
    const quads down = {{8, 18, 38, 34}, {35, 20, 38, 34}, {10, 31, 38, 34}, {8, 18, 11, 32}, {8, 18, 36, 21}};
    for (int state : {0, (int)HUDGIZMO_FACE_DOWN}) {
        FAKE.quads.clear();
        hudgizmo_face_draw(g, state);
        EXPECT_EQ(corners(), state ? down : raised) << state;
    }
    // Down lights from the bottom right: its second quad is light, its fourth dark.
    EXPECT_GT(FAKE.quads[1].colour & 0xff, FAKE.quads[3].colour & 0xff);
}

// Quads per style and state, and the hover shades of 0xff808080: fill c, light + 34 (0xa2),
// dark - 34 (0x5e), down fill - 8 (0x78).
TEST_F(HudKinds, FaceStylesAndHoverShades)
{
    const struct {
        const char* style;
        int state;
        std::vector<uint32_t> colours;
    } cases[] = {
        {"normal", HUDGIZMO_FACE_HOVER, {0xff808080, 0xffa2a2a2, 0xffa2a2a2, 0xff5e5e5e, 0xff5e5e5e}},
        {"normal", HUDGIZMO_FACE_HOVER | HUDGIZMO_FACE_DOWN,
         {0xff787878, 0xffa2a2a2, 0xffa2a2a2, 0xff5e5e5e, 0xff5e5e5e}},
        {"nofill", HUDGIZMO_FACE_HOVER, {0xffa2a2a2, 0xffa2a2a2, 0xff5e5e5e, 0xff5e5e5e}}, // the bevel only
        {"invisible", 0, {}},
        {"normal", HUDGIZMO_FACE_FAINT, {}}, // the faint bit draws nothing but a cartoon
    };
    for (const auto& c : cases) {
        hudgizmo* g = build("g", std::string("{button='b', color='0xff808080', style='") + c.style + "'}");
        place(g, 10, 20, 30, 16);
        FAKE.quads.clear();
        hudgizmo_face_draw(g, c.state);
        std::vector<uint32_t> colours;
        for (const fake_quad& q : FAKE.quads)
            colours.push_back(q.colour);
        EXPECT_EQ(colours, c.colours) << c.style << " " << c.state;
    }
}

TEST_F(HudKinds, CartoonFacesAdvanceOneClockAndWrapOnlyForAPositiveLength)
{
    hudgizmo* g = build("g", "{{button='a', style='cartoon'}, {button='b', style='cartoon'}}");
    place(child(g, 0), 0, 0, 50, 50);
    place(child(g, 1), 100, 0, 50, 50);
    body_step = 30;
    hudgizmo_cartoon_clock = 0.0f;
    FAKE.cartoon_length = 0.0f;
    hudgizmo_draw(g);
    EXPECT_EQ(FAKE.balloons, 2);
    // The balloon fills the gizmo; its tail points at (200, window height 600 - 64).
    EXPECT_EQ(FAKE.balloon, (std::vector<float>{100, 0, 50, 50, 200, 536, 1}));
    EXPECT_EQ(FAKE.avatar_draws, 2);
    EXPECT_FLOAT_EQ(hudgizmo_cartoon_clock, 0.06f);
    FAKE.cartoon_length = 0.05f;
    hudgizmo_draw(g);
    EXPECT_LT(hudgizmo_cartoon_clock, 0.05f);
    hudgizmo_face_draw(child(g, 0), HUDGIZMO_FACE_FAINT);
    EXPECT_EQ(FAKE.balloon.back(), 0.25f);
    body_step = 0;
    hudgizmo_cartoon_clock = 0.0f;
}

} // namespace
