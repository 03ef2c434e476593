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
    EXPECT_EQ(g->aspect, 2.5f);
    EXPECT_EQ(g->flags, HUDGIZMO_HIDDEN | HUDGIZMO_SELECTED | HUDGIZMO_ALIGN_LEFT | HUDGIZMO_ALIGN_BOTTOM);
    EXPECT_STREQ(g->part_group, "Hair");
    EXPECT_STREQ(g->part_name, "Long");
    EXPECT_STREQ(g->name, "L");
    EXPECT_EQ(g->colour, 0xff102030u);
    EXPECT_STREQ(g->lua, "go()");
    EXPECT_STREQ(g->target_name, "T");
    EXPECT_STREQ(g->group_name, "G");
    EXPECT_EQ(g->limit_wide, 3);
    EXPECT_EQ(g->limit_high, 2);
    EXPECT_EQ(g->min_width, 10.0f); // integers: the leading digits
    EXPECT_EQ(g->min_height, 20.0f);
    EXPECT_EQ(g->max_width, 300.0f);
    EXPECT_EQ(g->max_height, 400.0f);
    EXPECT_EQ(g->span_width, 2);
    EXPECT_EQ(g->span_height, 3);
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
    // A handle first child keeps the placed position through later layouts.
    const char* tree = "{{handle='h', min_width=40, min_height=20}}";
    hudgizmo* g = build("g", tree);
    ASSERT_TRUE(run("g:display('CENTER')"));
    EXPECT_EQ(child(g, 0)->x, 380.0f);
    EXPECT_EQ(child(g, 0)->y, 290.0f);
    hud_update(&HUD);
    EXPECT_EQ(child(g, 0)->x, 380.0f);

    set_pointer(100, 50);
    hudgizmo* p = build("p", tree);
    ASSERT_TRUE(run("p:display('pointer')"));
    EXPECT_EQ(child(p, 0)->x, 100.0f);
    EXPECT_EQ(child(p, 0)->y, 50.0f);
    hudgizmo* pc = build("pc", tree);
    hudgizmo_measure(child(pc, 0));
    ASSERT_TRUE(run("pc:display('pointer_center')"));
    EXPECT_EQ(child(pc, 0)->x, 80.0f);
    EXPECT_EQ(child(pc, 0)->y, 40.0f);
    hudgizmo* o = build("o", tree);
    ASSERT_TRUE(run("o:display('old')"));
    EXPECT_EQ(child(o, 0)->x, 80.0f);
    // Without a previous gizmo, "old" leaves the child alone; other modes do nothing.
    hudgizmo* m = build("m", tree);
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
