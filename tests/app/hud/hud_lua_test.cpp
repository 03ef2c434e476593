// The Lua library hud and the hudgizmo userdata: every table key, children and nesting
// depth, the argument errors, the place modes and the context slot rules.
#include <cmath>

#include "tests/app/hud/hud_fixture.h"

namespace {

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

    // Defaults, and absent alignments stretch.
    g = build("g", "{xalign=0, yalign={}}");
    EXPECT_EQ(g->flags, 0u); // a table value is ignored, but the key is present
    g = build("g", "{selected=1, hide=2, style='unknown'}");
    EXPECT_EQ(g->flags, HUDGIZMO_SELECTED | HUDGIZMO_STRETCH_X | HUDGIZMO_STRETCH_Y);
    EXPECT_EQ(g->colour, 0xcc7777ccu);
    EXPECT_EQ(g->span_width, 1);
    EXPECT_EQ(g->max_width, 1e38f);
    EXPECT_EQ(g->style, 0);
    g = build("g", "{selected=false}");
    EXPECT_FALSE(g->flags & HUDGIZMO_SELECTED);
}

TEST_F(HudLua, KindKeysAndTheirPrecedence)
{
    struct {
        const char* table;
        int32_t data_kind;
        const hudgizmo_kind* kind;
    } cases[] = {
        {"{gfx=0}", HUDGIZMO_DATA_GFX, &hudgizmo_kind_gfx},
        {"{button='b'}", HUDGIZMO_DATA_BUTTON, &hudgizmo_kind_button},
        {"{toggle='b', gfx=1}", HUDGIZMO_DATA_BUTTON, &hudgizmo_kind_button},
        {"{handle_y='y', button='b'}", HUDGIZMO_DATA_HANDLE, &hudgizmo_kind_handle},
        {"{handle_x='x', text='t'}", HUDGIZMO_DATA_TEXT, &hudgizmo_kind_text},
        {"{font='comic'}", HUDGIZMO_DATA_TEXT, &hudgizmo_kind_text},
    };
    for (auto& c : cases) {
        hudgizmo* g = build("g", c.table);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->data_kind, c.data_kind) << c.table;
        EXPECT_EQ(g->kind, c.kind) << c.table;
    }
    hudgizmo* g = build("g", "{label='l', button='b', handle_x='x', text='t'}");
    EXPECT_STREQ(g->name, "b");
    EXPECT_STREQ(g->text, "t"); // text shares the handle_x field
    EXPECT_EQ(g->colour, 0xffffffffu);
    g = build("g", "{font='comic', color='0x11223344'}");
    EXPECT_EQ(g->colour, 0x11223344u); // font alone keeps the colour
    EXPECT_EQ(g->text, nullptr);
    g = build("g", "{handle='h', handle_x='x', handle_y='y'}");
    EXPECT_STREQ(g->text, "x");
    EXPECT_STREQ(g->handle_y_name, "y");
}

TEST_F(HudLua, ChildrenEndAtTheFirstGap)
{
    hudgizmo* g = build("g", "{{label='a'}, {label='b', {}, {}}, 'text', {label='c'}}");
    ASSERT_EQ(list_count(&g->children), 2);
    hudgizmo* b = child(g, 1);
    EXPECT_EQ(b->parent, g);
    EXPECT_EQ(child(b, 0)->root, g);
    EXPECT_EQ(child(b, 0)->parent, b);
    EXPECT_EQ(child(b, 0)->lua_slot, nullptr);
    EXPECT_EQ(g->root, g);
    EXPECT_EQ(list_count(&HUD.gizmos.live), 1); // children leave the root list
}

TEST_F(HudLua, TooDeepATableAndBadArgumentsRaise)
{
    EXPECT_TRUE(run("local t = {} for i = 1, 500 do t = {t} end g = hud.alloc():build(t)"));
    EXPECT_FALSE(run("local t = {} for i = 1, 20000 do t = {t} end g = hud.alloc():build(t)"));
    EXPECT_NE(errors.find("Failed to grow stack, hud table is too deep"), std::string::npos);
    errors.clear();
    EXPECT_FALSE(run("hud.alloc():build(5)"));
    EXPECT_NE(errors.find("not a table"), std::string::npos);
    errors.clear();
    EXPECT_FALSE(run("hud.display({})"));
    EXPECT_NE(errors.find("bad hudgizmo"), std::string::npos);
    errors.clear();
    EXPECT_FALSE(run("local g = hud.alloc() g.build({}, {})"));
    EXPECT_NE(errors.find("bad hudgizmo"), std::string::npos);
}

TEST_F(HudLua, PlaceModes)
{
    // The first child, a 40 x 20 handle (it keeps the placed position through layouts), on
    // an 800 x 600 window with the pointer at (100, 50); "old" takes the shown gizmo's place.
    set_pointer(100, 50);
    const struct {
        const char* mode;
        float x, y;
    } modes[] = {{"CENTER", 380, 290}, {"pointer", 100, 50}, {"pointer_center", 80, 40}, {"old", 80, 40}};
    for (const auto& m : modes) {
        hudgizmo* g = build("g", "{{handle='h', min_width=40, min_height=20}}");
        hudgizmo_measure(child(g, 0));
        ASSERT_TRUE(run(std::string("g:display('") + m.mode + "')"));
        hud_update(&HUD);
        EXPECT_EQ(child(g, 0)->x, m.x) << m.mode;
        EXPECT_EQ(child(g, 0)->y, m.y) << m.mode;
    }
    // Without a previous gizmo, "old" leaves the child alone; other modes do nothing.
    hudgizmo* m = build("m", "{{handle='h', min_width=40, min_height=20}}");
    child(m, 0)->x = 7.0f;
    ASSERT_TRUE(run("hud.hide() m:display('old') m:display('sideways')"));
    EXPECT_EQ(child(m, 0)->x, 7.0f);
    EXPECT_EQ(HUD.display_gizmo, m);
    ASSERT_TRUE(run("hud.hide()"));
    EXPECT_EQ(HUD.display_gizmo, nullptr);
    // Placing a gizmo without children, or an empty userdata, does nothing.
    EXPECT_TRUE(run("hud.alloc():build{}:display('center') hud.alloc():mastermenu('center')"));
    EXPECT_EQ(HUD.displayed_menu, nullptr);
}

TEST_F(HudLua, ContextSlotRules)
{
    hudgizmo* g = build("g", "{{handle='h'}}");
    set_pointer(30, 40);
    ASSERT_TRUE(run("g:context()"));
    EXPECT_EQ(HUD.context_count, 1);
    EXPECT_EQ(HUD.contexts[0], g);
    EXPECT_EQ(child(g, 0)->x, 30.0f); // the default mode is "pointer"
    ASSERT_TRUE(run("g:context(16, 'center')"));
    EXPECT_EQ(HUD.context_count, 16);
    EXPECT_EQ(HUD.contexts[15], g);
    for (const char* ignored : {"g:context(17)", "g:context(-1)", "g:context(-20)", "g:context(1e300)"})
        ASSERT_TRUE(run(ignored)) << ignored;
    EXPECT_EQ(HUD.context_count, 16);
    // hud.context's first argument is the slot, so only 0 is useful there: the gizmo is
    // checked before the count changes.
    EXPECT_FALSE(run("hud.context(3.9, g)"));
    EXPECT_NE(errors.find("bad hudgizmo"), std::string::npos);
    EXPECT_EQ(HUD.context_count, 16);
    ASSERT_TRUE(run("hud.context(0)"));
    EXPECT_EQ(HUD.context_count, 0);
}

} // namespace
