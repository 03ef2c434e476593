// The HUD subsystem: what takes input while a menu is shown and in which order the menu,
// the context slots and the display gizmo see a press, the lifetime of shown gizmos (freed,
// collected, rebuilt) and use before setup; the Lua library hud: every table key, children,
// the nesting depth, the argument errors, placing and context slots; the pointer's pose.
#include "tests/app/hud/hud_fixture.h"

namespace {

int32_t hits;
int32_t count_hit(menu_def*, hudgizmo*, int32_t, int32_t) { return ++hits; }

hudgizmo* first(hudgizmo* g) { return (hudgizmo*)list_first(&g->children); }
using ptrs = std::vector<const void*>; // compared with ptrs(n): n nulls

struct HudSub : HudTest {
    menu_def table[4] = {{"A", 0, nullptr, 0, count_hit, nullptr, 0},
                         {"B", 1, nullptr, 0, count_hit, nullptr, 0},
                         {"C", 2, nullptr, 0, count_hit, nullptr, 0},
                         {}};
    void SetUp() override
    {
        HudTest::SetUp();
        hits = 0;
        HUD.menu_table = table;
    }
    void TearDown() override
    {
        HUD.menu_table = nullptr;
        HudTest::TearDown();
    }
    // A full-window tree whose only button covers the window.
    hudgizmo* panel(const char* global, const char* button)
    {
        return build(global, std::string("{{button='") + button + "'}}");
    }
    void click_at(float x, float y)
    {
        set_pointer(x, y);
        press();
        hud_update(&HUD);
        release();
        hud_update(&HUD);
        INPUT.click = {};
    }
};

TEST_F(HudSub, ShownMenuTakesInputWhileTheDisplayGizmoIsStillLaidOutAndDrawn)
{
    hudgizmo* display = panel("display", "A");
    hudgizmo* menu = build("menu", "{xalign=-1, yalign=-1, {button='B', min_width=100, min_height=100}}");
    ASSERT_TRUE(run("display:display() menu:mastermenu()"));
    EXPECT_EQ((ptrs{HUD.display_gizmo, HUD.displayed_menu, HUD.master_menu}), (ptrs{display, menu, menu}));
    hud_update(&HUD);
    EXPECT_EQ(first(display)->w, 800.0f);
    click_at(500, 500); // on the display gizmo's button, off the menu's
    EXPECT_EQ(hits, 0);
    EXPECT_EQ(first(display)->w, 800.0f);
    FAKE.quads.clear();
    hud_draw(&HUD);
    EXPECT_EQ(FAKE.quads.size(), 10u); // both faces, the display gizmo's under the menu's
    click_at(50, 50);
    EXPECT_EQ(hits, 1);
    EXPECT_EQ(menu->record, nullptr);
    EXPECT_EQ(table[1].gizmo, first(menu));

    HUD.displayed_menu = nullptr; // as Escape does
    click_at(500, 500);
    EXPECT_EQ(hits, 2);
}

// Slot s holds a row of a spacer 50 * (s - 1) wide and a 50 x 40 button, so each slot's
// button has its own place and a press there reaches it only when that slot is measured,
// updated and laid out. A face is five quads (fill and four bars): 16 slots draw 80.
TEST_F(HudSub, EverySlotFromTheFirstToTheLastIsUpdatedClickedAndDrawn)
{
    auto name = [](int s) { return "c" + std::to_string(s); };
    for (int s = 1; s <= 16; s++) {
        build(name(s).c_str(), "{xalign=-1, yalign=-1, {min_width=" + std::to_string(50 * (s - 1)) +
                                   ", min_height=10}, {button='x', min_width=50, min_height=40}}");
        ASSERT_TRUE(run("hud.context(" + name(s) + ", " + std::to_string(s) + ")"));
        EXPECT_EQ(HUD.context_count, s);
    }
    ASSERT_TRUE(run("c1:context(17)"));
    EXPECT_EQ(HUD.context_count, 16);
    hud_update(&HUD);
    for (int s = 1; s <= 16; s++) {
        set_pointer(50 * (s - 1) + 1, 1);
        press();
        hud_update(&HUD);
        EXPECT_EQ(HUD.pressed, child(gizmo(name(s).c_str()), 1)) << s;
        HUD.pressed = nullptr;
    }
    FAKE.quads.clear();
    hud_draw(&HUD);
    EXPECT_EQ(FAKE.quads.size(), 80u);
    ASSERT_TRUE(run("hud.context(0)"));
    set_pointer(1, 1);
    press();
    hud_update(&HUD);
    EXPECT_EQ(HUD.pressed, nullptr);
}

// Four full-window trees whose one button each covers the pointer at (10, 10): display
// gizmo d (A), contexts c1 (B) and c2 (C), menu m (M); and menu s whose button lies at
// (0, 0)-(5, 5), off the pointer. Which button takes a press, after a
// number of frames without one: the update runs over the displayed menu alone when there is
// one, else the context slots from the highest down, then the display gizmo; and it sees
// the rectangles of the previous frame's layout, so a tree never laid out takes nothing.
TEST_F(HudSub, UpdateOrderAcrossTheMenuTheContextSlotsAndTheDisplayGizmo)
{
    const struct {
        const char* shown;
        int frames;
        const char* taker;
    } cases[] = {
        {"d:display() c1:context(1, 'none') c2:context(2, 'none')", 1, "C"},
        {"d:display() c2:context(1, 'none') c1:context(2, 'none')", 1, "B"}, // slots, not build order
        {"d:display() c1:context(1, 'none')", 1, "B"},
        {"d:display()", 1, "A"},
        {"d:display() c1:context(2, 'none')", 1, "B"}, // the empty slot 1 is skipped
        {"d:display() c2:context(1, 'none') m:mastermenu()", 1, "M"},
        {"d:display() c2:context(1, 'none') s:mastermenu()", 1, nullptr}, // off the menu's button
        {"d:display() c2:context(1, 'none')", 0, nullptr},
        {"m:mastermenu()", 0, nullptr}, // its layout follows its update
    };
    for (const auto& c : cases) {
        HUD.display_gizmo = HUD.displayed_menu = HUD.master_menu = HUD.pressed = nullptr;
        HUD.context_count = 0;
        for (hudgizmo*& slot : HUD.contexts)
            slot = nullptr;
        ASSERT_TRUE(run("d = hud.alloc():build{{button='A'}} c1 = hud.alloc():build{{button='B'}}"
                        "c2 = hud.alloc():build{{button='C'}} m = hud.alloc():build{{button='M'}}"
                        "s = hud.alloc():build{xalign=-1, yalign=-1, {button='S', min_width=5, min_height=5}}"));
        ASSERT_TRUE(run(c.shown));
        INPUT.click = {};
        for (int i = 0; i < c.frames; i++)
            hud_update(&HUD);
        set_pointer(10, 10);
        press();
        hud_update(&HUD);
        EXPECT_STREQ(HUD.pressed ? HUD.pressed->name : nullptr, c.taker) << c.shown << " " << c.frames;
    }
    HUD.pressed = nullptr;
}

TEST_F(HudSub, FreedOrCollectedShownTreesLeaveNoReferences)
{
    ASSERT_TRUE(run("d = hud.alloc():build{{button='A'}} d:display() d:context(1, 'none')"
                    "m = hud.alloc():build{{button='B'}} m:mastermenu()"));
    hud_update(&HUD);
    set_pointer(10, 10);
    press();
    hud_update(&HUD);
    ASSERT_EQ(HUD.pressed, first(gizmo("m")));
    ASSERT_TRUE(run("hud.free(m)"));
    EXPECT_EQ((ptrs{HUD.displayed_menu, HUD.master_menu, HUD.pressed, table[1].gizmo}), ptrs(4));
    ASSERT_TRUE(run("d = nil collectgarbage() collectgarbage()"));
    EXPECT_EQ((ptrs{HUD.display_gizmo, HUD.contexts[0], table[0].gizmo}), ptrs(3));
    EXPECT_TRUE(list_empty(&HUD.gizmos.live));
    hud_update(&HUD);
    hud_draw(&HUD);
    EXPECT_TRUE(run("m:free() m:display('center')")); // a freed userdata holds nothing
    EXPECT_EQ(HUD.display_gizmo, nullptr);
}

// A handler that runs Lua (and so the collector) while the update walks a tree whose
// userdata nobody references any more: the tree leaves the HUD at once and goes back to the
// pool only after the walk.
int collect_garbage(menu_def*, hudgizmo*, int32_t, int32_t)
{
    lua_gc(CON.L, LUA_GCCOLLECT, 0);
    return 0;
}

TEST_F(HudSub, TreeCollectedDuringAClickIsFreedAfterTheUpdate)
{
    table[0].handler = collect_garbage;
    ASSERT_TRUE(run("do local m = hud.alloc():build{xalign=-1, yalign=-1, {button='A', min_width=100,"
                    "min_height=100, lua='clicked = true'}, {button='B', min_width=100, min_height=100}}"
                    "m:mastermenu() end"));
    hud_update(&HUD);
    click_at(10, 10);
    EXPECT_EQ((ptrs{HUD.displayed_menu, HUD.master_menu, table[0].gizmo, table[1].gizmo}), ptrs(4));
    EXPECT_TRUE(list_empty(&HUD.gizmos.live));
    EXPECT_TRUE(list_empty(&HUD.doomed));
    con_update(&CON); // the click completed before the tree went
    lua_getglobal(CON.L, "clicked");
    EXPECT_TRUE(lua_toboolean(CON.L, -1));
    lua_pop(CON.L, 1);
}

int rebuild_menu(menu_def*, hudgizmo*, int32_t, int32_t)
{
    con_dostring(&CON, "m:build{{button='C'}}");
    return 0;
}

TEST_F(HudSub, TreeRebuiltByAHandlerStaysShownEverywhere)
{
    table[0].handler = rebuild_menu;
    ASSERT_TRUE(run("m = hud.alloc():build{xalign=-1, yalign=-1, {button='A', min_width=100, min_height=100},"
                    "{button='B', min_width=100, min_height=100}} m:display() m:mastermenu() m:context(1, 'none')"));
    hud_update(&HUD);
    click_at(10, 10);
    hudgizmo* m = gizmo("m");
    EXPECT_EQ((ptrs{HUD.display_gizmo, HUD.displayed_menu, HUD.master_menu, HUD.contexts[0]}), ptrs(4, m));
    EXPECT_EQ(table[0].gizmo, nullptr); // the old tree is gone...
    EXPECT_EQ(table[2].gizmo, first(m)); // ...the new one linked
    EXPECT_EQ(list_count(&HUD.gizmos.live), 1);
    hud_draw(&HUD);
}

// A table's metamethods run script code in the middle of a build; freeing or rebuilding the
// tree being built must not let the build write into records handed out again.
TEST_F(HudSub, FreeingOrRebuildingATreeWhileItIsBuilt)
{
    ASSERT_TRUE(run("u = hud.alloc() u:build(setmetatable({{}, {}}, {__index = function(t, k)"
                    "  if k == 'label' then u:free() v = hud.alloc():build{{}, {}, {}} end end}))"));
    EXPECT_EQ(gizmo("u"), nullptr);
    hudgizmo* v = gizmo("v");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(list_count(&v->children), 3);
    EXPECT_EQ(list_first(&HUD.gizmos.live), &v->link);
    EXPECT_EQ(list_last(&HUD.gizmos.live), &v->link);

    // The inner build replaces the tree being built; the outer read ends on the old one.
    ASSERT_TRUE(run("v:free() w = hud.alloc():build{} w:display() w:build(setmetatable({{}, {}},"
                    "{__index = function(t, k) if k == 'label' then w:build{{button='C'}} end end}))"));
    hudgizmo* w = gizmo("w");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(table[2].gizmo, first(w));
    EXPECT_EQ(HUD.display_gizmo, w);
    EXPECT_EQ(list_first(&HUD.gizmos.live), &w->link);
    EXPECT_EQ(list_last(&HUD.gizmos.live), &w->link);
    EXPECT_TRUE(list_empty(&HUD.doomed));
    // An error inside a metamethod still releases the hold, so later frees are immediate.
    EXPECT_FALSE(run("w:build(setmetatable({}, {__index = function() error('boom') end}))"));
    EXPECT_NE(errors.find("boom"), std::string::npos);
    EXPECT_EQ(HUD.holds, 0);
    ASSERT_TRUE(run("w:free()"));
    EXPECT_TRUE(list_empty(&HUD.gizmos.live));
}

TEST_F(HudSub, CleanReleasesUserdataAndRecordsAndBuildingBeforeSetupRaises)
{
    ASSERT_TRUE(run("d = hud.alloc():build{{button='A', {button='B'}}}"));
    ASSERT_NE(table[1].gizmo, nullptr);
    menu_def other[1] = {};
    HUD.menu_table = other; // another state's table is current when the HUD goes
    hud_clean(&HUD);
    hud_clean(&HUD);
    EXPECT_EQ(gizmo("d"), nullptr);
    // No record keeps a pointer into the freed pool.
    EXPECT_EQ((ptrs{table[0].gizmo, table[1].gizmo}), ptrs(2));
    EXPECT_TRUE(run("d = nil collectgarbage()"));
    EXPECT_FALSE(run("e = hud.alloc():build{}"));
    EXPECT_NE(errors.find("failed to allocate HUD gizmo"), std::string::npos);
    EXPECT_EQ(hud_gizmo_alloc(&HUD), nullptr);
    ASSERT_TRUE(hud_setup_pools(&HUD));
}

using HudLua = HudTest;

TEST_F(HudLua, EveryKeyOfTheTable)
{
    hudgizmo* g = build("g", "{aspect='2.5', hide=1, selected=true, xalign=-3, yalign=7, part_group='Hair',"
                             "part_name='Long', label='L', color='0xFF102030', lua='go()', target='T', group='G',"
                             "limit_wide=3, limit_high='2', min_width=10.9, min_height=20, max_width=300,"
                             "max_height=400, span_width=2, span_height=3, style='NoFill'}");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->flags, HUDGIZMO_HIDDEN | HUDGIZMO_SELECTED | HUDGIZMO_ALIGN_LEFT | HUDGIZMO_ALIGN_BOTTOM);
    EXPECT_EQ((std::vector<std::string>{"Hair", "Long", "L", "go()", "T", "G"}),
              (std::vector<std::string>{g->part_group, g->part_name, g->name, g->lua, g->target_name, g->group_name}));
    // Integers read as their leading digits (min_width 10.9 is 10).
    EXPECT_EQ((std::vector<float>{2.5f, 3, 2, 10, 20, 300, 400, 2, 3}),
              (std::vector<float>{g->aspect, (float)g->limit_wide, (float)g->limit_high, g->min_width, g->min_height,
                                  g->max_width, g->max_height, (float)g->span_width, (float)g->span_height}));
    EXPECT_EQ(g->colour, 0xff102030u);
    EXPECT_EQ(g->style, HUDGIZMO_STYLE_NOFILL);
    EXPECT_EQ(g->data_kind, HUDGIZMO_DATA_BASE);
    EXPECT_EQ(g->kind, &hudgizmo_kind_base);

    // Defaults: absent alignments stretch; a present one of another type is ignored.
    g = build("g", "{selected=1, hide=2, style='unknown'}");
    EXPECT_EQ(g->flags, HUDGIZMO_SELECTED | HUDGIZMO_STRETCH_X | HUDGIZMO_STRETCH_Y);
    EXPECT_EQ(g->colour, 0xcc7777ccu);
    EXPECT_EQ(g->style, 0);
    EXPECT_EQ((std::vector<float>{(float)g->span_width, (float)g->span_height, g->max_width, g->max_height}),
              (std::vector<float>{1, 1, 1e38f, 1e38f}));
    g = build("g", "{xalign=0, yalign={}, selected=false}");
    EXPECT_EQ(g->flags, 0u);
}

// Children are the table's array part up to the first element that is not a table; they
// leave the HUD's list of roots and point at their parent and the tree's root.
TEST_F(HudLua, ChildrenEndAtTheFirstGap)
{
    hudgizmo* g = build("g", "{{label='a'}, {label='b', {}, {}}, 'text', {label='c'}}");
    ASSERT_EQ(list_count(&g->children), 2);
    hudgizmo *b = child(g, 1), *bb = child(b, 0);
    EXPECT_EQ(list_count(&b->children), 2);
    EXPECT_EQ((std::vector<const void*>{g->root, b->parent, bb->root, bb->parent, bb->lua_slot}),
              (std::vector<const void*>{g, g, g, b, nullptr}));
    EXPECT_EQ(list_count(&HUD.gizmos.live), 1);
}

// What display, mastermenu and hide leave when nothing can be placed: "old" with no gizmo
// before, an unknown mode, a tree without children, a userdata without a tree.
TEST_F(HudLua, PlacingWithNothingToPlaceChangesNothing)
{
    hudgizmo* m = build("m", "{{handle='h'}}");
    child(m, 0)->x = 7.0f;
    ASSERT_TRUE(run("hud.hide() m:display('old') m:display('sideways')"));
    EXPECT_EQ(child(m, 0)->x, 7.0f);
    EXPECT_EQ(HUD.display_gizmo, m);
    ASSERT_TRUE(run("hud.hide()"));
    EXPECT_EQ(HUD.display_gizmo, nullptr);
    EXPECT_TRUE(run("e = hud.alloc():build{} e:display('center') hud.alloc():mastermenu('center')"));
    EXPECT_EQ(HUD.display_gizmo, gizmo("e"));
    EXPECT_EQ(HUD.displayed_menu, nullptr);
    EXPECT_EQ(HUD.master_menu, nullptr);
}

// The slot and mode of `context`: without arguments slot 1 at the pointer; numbers outside
// 0..16 change nothing; hud.context takes its slot first, so anything but 0 finds no gizmo
// and is refused before the count changes.
TEST_F(HudLua, ContextSlotRules)
{
    hudgizmo* g = build("g", "{{handle='h'}}");
    set_pointer(30, 40);
    ASSERT_TRUE(run("g:context()"));
    EXPECT_EQ(HUD.context_count, 1);
    EXPECT_EQ(HUD.contexts[0], g);
    EXPECT_EQ((std::vector<float>{child(g, 0)->x, child(g, 0)->y}), (std::vector<float>{30, 40}));
    ASSERT_TRUE(run("g:context(16, 'center')"));
    for (const char* ignored : {"g:context(17)", "g:context(-1)", "g:context(-20)", "g:context(1e300)"}) {
        ASSERT_TRUE(run(ignored)) << ignored;
        EXPECT_EQ(HUD.context_count, 16) << ignored;
    }
    for (const char* refused : {"hud.context(3.9, g)", "hud.context(5)"}) {
        errors.clear();
        EXPECT_FALSE(run(refused)) << refused;
        EXPECT_NE(errors.find("bad hudgizmo"), std::string::npos) << refused;
        EXPECT_EQ(HUD.context_count, 16) << refused;
    }
}

// The last kind key read decides the kind, in the order gfx, button and toggle, the handle
// keys, text and font, whatever the table's order; the later keys also override the name
// and the text field (shared by handle_x and text). Only text turns the colour white.
TEST_F(HudLua, OfSeveralKindKeysTheLastReadWins)
{
    const uint32_t DEFAULT = 0xcc7777cc, WHITE = 0xffffffff;
    const struct {
        const char* table;
        const hudgizmo_kind* kind;
        const char *name, *text;
        uint32_t colour;
    } cases[] = {
        {"{button='b', gfx=1, label='l'}", &hudgizmo_kind_button, "b", nullptr, DEFAULT},
        {"{button='b', handle='h', toggle='t'}", &hudgizmo_kind_handle, "h", nullptr, DEFAULT},
        {"{text='t', handle_x='x', handle_y='y'}", &hudgizmo_kind_text, nullptr, "t", WHITE},
        {"{font='comic', handle='h'}", &hudgizmo_kind_text, "h", nullptr, DEFAULT},
        {"{font='comic', text='t'}", &hudgizmo_kind_text, nullptr, "t", WHITE},
    };
    for (const auto& c : cases) {
        hudgizmo* g = build("g", c.table);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->kind, c.kind) << c.table;
        EXPECT_STREQ(g->name, c.name) << c.table;
        EXPECT_STREQ(g->text, c.text) << c.table;
        EXPECT_EQ(g->colour, c.colour) << c.table;
    }
}

TEST_F(HudLua, TooDeepATableAndBadArgumentsRaise)
{
    EXPECT_TRUE(run("local t = {} for i = 1, 500 do t = {t} end g = hud.alloc():build(t)"));
    const struct {
        const char *chunk, *error;
    } bad[] = {
        {"local t = {} for i = 1, 20000 do t = {t} end g = hud.alloc():build(t)",
         "Failed to grow stack, hud table is too deep"},
        {"hud.alloc():build(5)", "not a table"},
        {"hud.display({})", "bad hudgizmo"},
        {"local g = hud.alloc() g.build({}, {})", "bad hudgizmo"},
    };
    for (const auto& c : bad) {
        errors.clear();
        EXPECT_FALSE(run(c.chunk)) << c.chunk;
        EXPECT_NE(errors.find(c.error), std::string::npos) << c.chunk;
    }
}

// One update from a set pose: the motion leans by a quarter degree a pixel (at most 32
// pixels, so 8 degrees), then an eighth of the way back to rest, then the limits.
TEST_F(HudTest, PointerLeansWithMotionEasesAnEighthBackAndKeepsItsLimits)
{
    struct row {
        float tilt, turn, dx, dy;
        bool held;
        float want_tilt, want_turn; // degrees
    } rows[] = {
        // -80 + 8 = -72, then -72 + (-80 + 72) / 8 = -73; 30 - 8 = 22, then 22 + 8 / 8 = 23.
        {-80, 30, 200, 200, false, -73, 23},
        // Still: -40 + (-80 + 40) / 8 = -45; 70 + (30 - 70) / 8 = 65.
        {-40, 70, 0, 0, false, -45, 65},
        // Held, rest (-30, 15): -80 + 50 / 8 = -73.75; 30 - 15 / 8 = 28.125.
        {-80, 30, 0, 0, true, -73.75f, 28.125f},
        // 0 + 8 - 38 / 8 = 3.25, kept at 0; 120 - 105 / 8 = 106.875, kept at 90.
        {0, 120, 0, 200, true, 0, 90},
        // -200 + 120 / 8 = -185, kept at -80; -200 + 230 / 8 = -171.25, kept at -90.
        {-200, -200, 0, 0, false, -80, -90},
    };
    const float DEG = 0.017453292f;
    for (const row& r : rows) {
        hud_pointer* p = &HUD.pointer;
        p->tilt = r.tilt * DEG;
        p->turn = r.turn * DEG;
        p->last_x = 100, p->last_y = 100;
        p->x = 100 + r.dx, p->y = 100 + r.dy;
        INPUT.click.held = r.held;
        hud_pointer_update(p);
        EXPECT_NEAR(r.want_tilt, p->tilt / DEG, 1e-3f) << r.tilt << " " << r.dy;
        EXPECT_NEAR(r.want_turn, p->turn / DEG, 1e-3f) << r.turn << " " << r.dx;
        EXPECT_EQ(p->x, p->last_x);
    }
}

// Set up without a graphics root: the resting pose, no model, and an update and a draw
// that need none.
TEST_F(HudTest, PointerStartsAtRestWithoutAModel)
{
    hud_pointer* p = &HUD.pointer;
    ASSERT_TRUE(hud_pointer_setup(p, &HUD));
    const float DEG = 0.017453292f;
    EXPECT_EQ(p->owner, &HUD);
    EXPECT_EQ(p->mesh, nullptr);
    EXPECT_FLOAT_EQ(p->tilt, -80.0f * DEG);
    EXPECT_FLOAT_EQ(p->turn, 30.0f * DEG);
    hud_pointer_update(p);
    hud_pointer_draw(p);
    EXPECT_FLOAT_EQ(p->tilt, -80.0f * DEG);
}

} // namespace
