// Gizmo kinds and faces: button hit edges and the click flow, group rings, handle drags and
// their fractions, text measuring, wrapping and justification, face quads and the cartoon
// clock.
#include <cmath>

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

TEST_F(HudKinds, ButtonHitExcludesTheLastColumnAndRowHandleDoesNot)
{
    hudgizmo g = {};
    place(&g, 10, 10, 20, 20);
    EXPECT_TRUE(hudgizmo_button_hit(&g, 10, 10));
    EXPECT_TRUE(hudgizmo_button_hit(&g, 28, 28));
    EXPECT_FALSE(hudgizmo_button_hit(&g, 29, 15));
    EXPECT_FALSE(hudgizmo_button_hit(&g, 15, 29));
    EXPECT_FALSE(hudgizmo_button_hit(&g, 9.5f, 15));

    hudgizmo* h = build("h", "{handle='h'}");
    place(h, 10, 10, 20, 20);
    set_pointer(29, 29);
    press();
    frame(h);
    EXPECT_EQ(HUD.pressed, h);
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

TEST_F(HudButton, ClickRunsHandlerThenQueuesTheLuaString)
{
    set_pointer(10, 10);
    press();
    frame(g);
    EXPECT_EQ(HUD.pressed, g);
    EXPECT_EQ(INPUT.click.held, 1); // only the edges are consumed
    frame(g);                       // held, nothing happens
    release();
    hudgizmo_update(g);
    EXPECT_EQ(HUD.pressed, nullptr);
    EXPECT_EQ(INPUT.click.released, 0);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].event, 1);
    EXPECT_EQ(calls[0].record, &table[0]);
    con_update(&CON);
    EXPECT_EQ(number("clicked"), 1.0);
    EXPECT_FALSE(g->flags & HUDGIZMO_SELECTED); // no group: never selected
}

TEST_F(HudButton, ReleaseOutsideCancelsReturningInsideCompletes)
{
    set_pointer(10, 10);
    press();
    frame(g);
    set_pointer(100, 10);
    release();
    frame(g);
    EXPECT_EQ(HUD.pressed, nullptr);
    EXPECT_TRUE(calls.empty());

    set_pointer(10, 10);
    press();
    frame(g);
    set_pointer(100, 10);
    frame(g);
    set_pointer(10, 10);
    release();
    frame(g);
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(HudButton, PressAndReleaseInOneFrameStillClick)
{
    set_pointer(10, 10);
    INPUT.click = {0, 1, 1};
    hudgizmo_update(g);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(HUD.pressed, nullptr);
    EXPECT_EQ(INPUT.click.pressed, 0);
    EXPECT_EQ(INPUT.click.released, 0);

    // Up then down in one frame: the release belongs to an earlier press, so this is only a
    // press, and the click comes with the next release.
    INPUT.click = {1, 1, 1};
    hudgizmo_update(g);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(HUD.pressed, g);
    EXPECT_EQ(INPUT.click.released, 0);
    release();
    hudgizmo_update(g);
    EXPECT_EQ(calls.size(), 2u);
}

TEST_F(HudButton, PressOutsideEveryButtonIsLeftForTheState)
{
    set_pointer(60, 10);
    press();
    hudgizmo_update(g);
    EXPECT_EQ(INPUT.click.pressed, 1);
    EXPECT_EQ(HUD.pressed, nullptr);
}

TEST_F(HudKinds, TheFirstUpdatedOfOverlappingButtonsTakesThePress)
{
    hudgizmo* g = build("g", "{{button='a', {button='inner'}}, {button='b'}}");
    hudgizmo *a = child(g, 0), *inner = child(a, 0), *b = child(g, 1);
    place(a, 0, 0, 50, 50);
    place(inner, 0, 0, 50, 50);
    place(b, 0, 0, 50, 50);
    set_pointer(10, 10);
    press();
    hudgizmo_update(g);
    EXPECT_EQ(HUD.pressed, inner); // children before their parent, siblings in order
}

TEST_F(HudKinds, GroupRingSelectsOneAndShowsItsTarget)
{
    hudgizmo* g = build("g", "{{button='a', group='g', target='pa', selected=1}, {button='b', group='g', target='pb'},"
                             "{button='c', group='g'}, {label='pa'}, {label='pb', hide=1}}");
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

TEST_F(HudHandle, IdleHandleFollowsItsRecords)
{
    frame(h);
    EXPECT_EQ(h->x, 190.0f);
    EXPECT_EQ(h->y, 100.0f);
    EXPECT_TRUE(calls.empty());
}

TEST_F(HudHandle, DragClampsWritesFractionsAndCallsHandlersInOrder)
{
    frame(h);
    set_pointer(195, 110);
    press();
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
    for (size_t i = 0; i < 9; i++) {
        EXPECT_EQ(calls[i].record, &table[i % 3]);
        EXPECT_EQ(calls[i].event, i < 6 ? 2 : 1);
    }
}

TEST_F(HudHandle, PressAndReleaseInOneFrameEndTheDragAtOnce)
{
    frame(h);
    set_pointer(195, 110);
    INPUT.click = {0, 1, 1};
    frame(h);
    EXPECT_EQ(HUD.pressed, nullptr);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].event, 1);
    INPUT.click = {1, 1, 1}; // up then down: a press that starts a drag
    frame(h);
    EXPECT_EQ(HUD.pressed, h);
    EXPECT_EQ(calls.size(), 3u);
}

TEST_F(HudHandle, HandleWithoutParentMovesFreely)
{
    hudgizmo* free_handle = build("f", "{handle_x='hx'}");
    place(free_handle, 10, 10, 20, 20);
    set_pointer(15, 15);
    press();
    frame(free_handle);
    set_pointer(-500, 15);
    frame(free_handle);
    EXPECT_EQ(free_handle->x, -505.0f);
}

TEST_F(HudKinds, GfxFillsItsRectangle)
{
    hudgizmo* g = build("g", "{gfx=1, color='0x80112233'}");
    place(g, 10, 20, 30, 40);
    hudgizmo_draw(g);
    ASSERT_EQ(FAKE.quads.size(), 1u);
    EXPECT_EQ(FAKE.quads[0].x2, 39.0f);
    EXPECT_EQ(FAKE.quads[0].y2, 59.0f);
    EXPECT_EQ(FAKE.quads[0].colour, 0x80112233u);
}

TEST_F(HudKinds, OneLineTextIsCentredATinyAspectWrapsEmptyTextsMeasureTheInset)
{
    hudgizmo* g = build("g", "{text='hello world'}");
    EXPECT_EQ(hudgizmo_text_width(g), 126.0f);
    EXPECT_EQ(hudgizmo_text_height(g), 32.0f);
    place(g, 100, 50, 200, 100);
    FAKE.spacings.clear();
    hudgizmo_draw(g);
    ASSERT_EQ(FAKE.words.size(), 1u);
    EXPECT_EQ(FAKE.words[0], "hello world");
    EXPECT_EQ(FAKE.word_x[0], 100 + (200 - 126) * 0.5f + 8);
    EXPECT_EQ(FAKE.word_y[0], 50 + (100 - 32) * 0.5f);

    // A tiny aspect wraps one word per line.
    g = build("g", "{text='aa bbb c', aspect=0.001, font='comic'}");
    FAKE.words.clear();
    FAKE.word_y.clear();
    EXPECT_EQ(hudgizmo_text_width(g), 46.0f);
    EXPECT_EQ(hudgizmo_text_height(g), 96.0f);
    place(g, 0, 0, 46, 96);
    hudgizmo_draw(g);
    ASSERT_EQ(FAKE.words.size(), 3u);
    EXPECT_EQ(FAKE.word_y[1], 32.0f);
    EXPECT_EQ(FAKE.word_y[2], 64.0f);

    // Empty and missing texts.
    g = build("g", "{text='', aspect=1}");
    EXPECT_EQ(hudgizmo_text_width(g), 16.0f);
    EXPECT_EQ(hudgizmo_text_height(g), 0.0f);
    // font alone makes a text gizmo without a text: it reads as empty.
    hudgizmo* f = build("f", "{font='outline'}");
    EXPECT_EQ(f->text, nullptr);
    EXPECT_EQ(hudgizmo_text_width(f), 16.0f);
    place(f, 0, 0, 10, 10);
    FAKE.words.clear();
    hudgizmo_draw(f);
    f->aspect = 2.0f;
    hudgizmo_draw(f);
    EXPECT_EQ(FAKE.words.size(), 1u);
    EXPECT_EQ(FAKE.words[0], "");
}

TEST_F(HudKinds, WrappedLinesAlignAndJustify)
{
    // Wrap width 120: the words of both lines fit; the first ends at a line break.
    const char* text = "'aa bb\\ncc dd'";
    struct {
        const char* align;
        uint32_t flags;
        float x[4];
    } cases[] = {
        {"left", HUDGIZMO_ALIGN_LEFT, {0, 28, 0, 28}},
        {"right", HUDGIZMO_ALIGN_RIGHT, {72, 100, 72, 100}},
        {"centre", 0, {36, 64, 36, 64}},
        {"justify", HUDGIZMO_STRETCH_X, {0, 28, 0, 100}}, // justified, except the line ended by the break
    };
    for (auto& c : cases) {
        hudgizmo* g = build("g", std::string("{aspect=1000, text=") + text + "}");
        ASSERT_NE(g, nullptr);
        g->flags = (g->flags & ~HUDGIZMO_STRETCH_X) | c.flags;
        EXPECT_EQ(hudgizmo_text_width(g), 120.0f);
        place(g, 0, 0, 300, 100);
        FAKE.words.clear();
        FAKE.word_x.clear();
        FAKE.word_y.clear();
        hudgizmo_draw(g);
        ASSERT_EQ(FAKE.words.size(), 4u) << c.align;
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(FAKE.word_x[i], c.x[i]) << c.align << " word " << i;
        EXPECT_EQ(FAKE.word_y[2], 32.0f);
    }
}

TEST_F(HudKinds, FaceShadesClampPerChannelAndKeepAlpha)
{
    hudgizmo* g = build("g", "{button='b', color='0x80fa0a0a'}");
    place(g, 10, 20, 30, 16);
    hudgizmo_face_draw(g, 0);
    ASSERT_EQ(FAKE.quads.size(), 5u);
    EXPECT_EQ(FAKE.quads[0].colour, 0x80e90000u); // fill: -17
    EXPECT_EQ(FAKE.quads[1].colour, 0x80ff1b1bu); // light: +17, 250 clamps to 255
    EXPECT_EQ(FAKE.quads[3].colour, 0x80c70000u); // dark: -51, 10 clamps to 0
}

TEST_F(HudKinds, FaceQuadsRaisedAndDown)
{
    hudgizmo* g = build("g", "{button='b'}");
    place(g, 10, 20, 30, 16);
    const fake_quad raised[5] = {{8, 18, 37, 33, 0},  {8, 18, 11, 32, 0}, {8, 18, 36, 21, 0},
                                 {35, 20, 38, 34, 0}, {10, 31, 38, 34, 0}};
    const fake_quad down[5] = {{8, 18, 38, 34, 0}, {35, 20, 38, 34, 0}, {10, 31, 38, 34, 0},
                               {8, 18, 11, 32, 0}, {8, 18, 36, 21, 0}};
    for (int state : {0, (int)HUDGIZMO_FACE_DOWN}) {
        FAKE.quads.clear();
        hudgizmo_face_draw(g, state);
        const fake_quad* expect = state ? down : raised;
        ASSERT_EQ(FAKE.quads.size(), 5u);
        for (int i = 0; i < 5; i++) {
            EXPECT_EQ(FAKE.quads[i].x1, expect[i].x1) << state << " " << i;
            EXPECT_EQ(FAKE.quads[i].y1, expect[i].y1) << state << " " << i;
            EXPECT_EQ(FAKE.quads[i].x2, expect[i].x2) << state << " " << i;
            EXPECT_EQ(FAKE.quads[i].y2, expect[i].y2) << state << " " << i;
        }
    }
    // Down lights from the bottom right: its second quad is light, its fourth dark.
    EXPECT_GT(FAKE.quads[1].colour & 0xff, FAKE.quads[3].colour & 0xff);

    struct {
        const char* style;
        int state;
        size_t quads;
    } styles[] = {{"nofill", 0, 4}, {"invisible", 0, 0}, {"normal", HUDGIZMO_FACE_FAINT, 0}, {"bogus", 0, 5}};
    for (auto& s : styles) {
        g = build("g", std::string("{button='b', style='") + s.style + "'}");
        place(g, 10, 20, 30, 16);
        FAKE.quads.clear();
        hudgizmo_face_draw(g, s.state);
        EXPECT_EQ(FAKE.quads.size(), s.quads) << s.style;
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
