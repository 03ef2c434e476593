// The structor state on the staged installation with a real device and the Lua environment:
// setup and clean, the level script, the Lua libraries, picking in edit mode and drawing.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/code/con.h"
#include "app/code/input.h"
#include "app/code/main_state.h"
#include "app/code/opt.h"
#include "app/code/structor/structor.h"
#include "app/code/structor/structor_cells_ref.h"
#include "engine/code/gfx/bmps.h"
#include "engine/code/gfx/cmps.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8_debug.h"
#include "tests/harness/harness.h"
#include "tests/harness/log_capture.h"
#include "tests/harness/lua_fixture.h"
#include "tests/harness/staged_fixture.h"

namespace {

// Two overlapping brushes A and B, a third far off, and a menu_action that records its calls.
const char* const TEST_LEVEL =
    "calls = {}\n"
    "function structor.menu_action(what) table.insert(calls, what) end\n"
    "structor.levels = { { start = function(level)\n"
    "    A = structor_items.alloc('brush') A.setpos(0, 0) A.setsiz(40)\n"
    "    B = structor_items.alloc('brush') B.setpos(10, 0) B.setsiz(40)\n"
    "    C = structor_items.alloc('brush') C.setpos(300, 100)\n"
    "end } }\n";

class Structor : public StagedFixture {
protected:
    void SetUp() override
    {
        memset(&structor_state_main, 0, sizeof structor_state_main);
        ASSERT_NO_FATAL_FAILURE(staged_open(true));
        std::filesystem::create_directories("local/structor/test");
        harness_write_file("local/structor/test/levels.lua", TEST_LEVEL);
        // One frame, so the screen size is known.
        ASSERT_TRUE(gfx_begin_scene(&GFX));
        gfx_end_scene(&GFX);
        HUD.window_width = 800.0f;
        HUD.window_height = 600.0f;
    }
    void TearDown() override
    {
        structor_clean(s);
        staged_close();
    }
    // Sets up on the given level and runs the queued start.
    void start(const char* level, int32_t number = 1)
    {
        snprintf(OPT.next_level, sizeof OPT.next_level, "%s", level);
        OPT.next_number = number;
        ASSERT_TRUE(structor_setup(s, &GFX));
        con_update(&CON);
    }
    std::string lua(const char* expr) { return lua_fixture_eval(CON.L, expr); }
    std::string run(const char* code) { return lua_fixture_run(CON.L, code); }
    // One frame end with the pointer over world (x, y) at pan 0 and zoom 1; edges cleared after.
    void frame(float x, float y)
    {
        HUD.pointer.x = 400.0f + x;
        HUD.pointer.y = 300.0f - y;
        structor_update(s, UPDATE_FRAME_END);
        for (input_button* b : {&INPUT.click, &INPUT.menu, &INPUT.grab})
            b->pressed = b->released = 0;
    }
    void press(float x, float y)
    {
        INPUT.click.held = INPUT.click.pressed = 1;
        frame(x, y);
    }
    void release(float x, float y)
    {
        INPUT.click.held = 0;
        INPUT.click.released = 1;
        frame(x, y);
    }
    static std::string errors() { return harness_read_file("ERROR.TXT"); }
    structor_state* s = &structor_state_main;
};

// Every shipped level, as built: its grid stepped by the program and by the reference side
// by side, every record the same, bit for bit, after every step (fewer steps in the
// unoptimised sanitizer build, where they are twenty times slower); and clean gives back all
// it took. The first level's walls are the border and the ramps' picture (128 x 128) stamped
// over 384 / 4 = 96 cells at its two brushes: (-290, 64) has its centre at column
// -290 / 4 + 128 = 55.5 and row 64 - 64 / 4 = 48, so its corner at (7.5, 0); (220, -56) at
// (183, 78), corner (135, 30).
#if defined(__OPTIMIZE__) && !defined(__SANITIZE_ADDRESS__)
const int EQUAL_STEPS = 2000;
#else
const int EQUAL_STEPS = 60;
#endif
TEST_F(Structor, TheShippedLevelsStampTheirRampsStepAsTheReferenceAndGiveAllBack)
{
    int32_t textures = D3D_BUFFERS.txt_count, levels = 1;
    for (int32_t number = 1; number <= levels; number++) {
        start("basic", number);
        levels = std::stoi(lua("#structor.levels"));
        EXPECT_EQ("true", lua("structor.rebuildcells_request()"));
        structor_update(s, UPDATE_FRAME_END); // the rebuild, and one step
        EXPECT_EQ(0, s->rebuildcells_request);
        EXPECT_EQ(1u, s->cells.steps);
        size_t n = (size_t)s->cells.w * s->cells.h;
        if (number == 1) {
            EXPECT_EQ(7, s->items.count) << errors();
            structor_item* brush = (structor_item*)list_first(&s->items.records.live)->next;
            ASSERT_TRUE(brush->type == &structor_item_brush && brush->cut_map);
            std::vector<structor_cell> walls(n);
            structor_cells expected = {};
            expected.w = 256;
            expected.h = 128;
            expected.initial = walls.data();
            structor_cells_border(&expected);
            for (structor_rect dest : {structor_rect{7.5f, 0, 96, 96}, structor_rect{135, 30, 96, 96}})
                structor_cells_stamp(&expected, &gfx_cmps_layer(brush->cut_map, 0)->bitmap->info, NULL, &dest);
            for (size_t i = 0; i < n; i++)
                ASSERT_EQ(walls[i].solid, s->cells.initial[i].solid) << i % 256 << "," << i / 256;
        }
        std::vector<structor_cell> records(s->cells.working, s->cells.working + n);
        structor_cells ref = s->cells;
        ref.working = records.data();
        ref.fields = NULL;
        for (int step = 0; step < EQUAL_STEPS; step++) {
            structor_cells_step(&s->cells);
            structor_cells_step_ref(&ref);
            ASSERT_EQ(0, memcmp(s->cells.working, ref.working, n * sizeof(structor_cell))) << number << ", " << step;
        }
        long liquid = 0;
        for (const structor_cell& cell : records)
            liquid += cell.amount;
        EXPECT_GT(liquid, EQUAL_STEPS * 16) << "level " << number << " filled up";

        structor_clean(s);
        EXPECT_EQ(0, s->items.count);
        EXPECT_EQ("nil nil nil nil", lua("tostring(structor) .. ' ' .. tostring(structor_items) .. ' ' .. "
                                         "tostring(cmps) .. ' ' .. tostring(txts)"));
        EXPECT_EQ(nullptr, HUD.display_gizmo);
        run("collectgarbage()");
        EXPECT_EQ(textures, D3D_BUFFERS.txt_count);
        EXPECT_EQ(nullptr, s->cells.working);
    }
    EXPECT_EQ(3, levels);
}

TEST_F(Structor, SetupFailsWithoutLuaAndCleanIsSafeAfterIt)
{
    con_close(&CON);
    EXPECT_FALSE(structor_setup(s, &GFX));
    EXPECT_NE(std::string::npos, errors().find("TXTS.LUA subsystem failed to initialize,\n"));
    structor_clean(s);
    structor_clean(s);
}

TEST_F(Structor, FlagsTakeOnlyBooleansAndItemsComeByKindAndGoWithTheCollector)
{
    start("test");
    EXPECT_EQ("false", lua("structor.pause_request()"));
    EXPECT_EQ("true", lua("structor.pause_request(true)"));
    EXPECT_EQ("true", lua("structor.pause_request(1)"));
    EXPECT_EQ("false", lua("structor.pause_request(false)"));
    EXPECT_EQ("true", lua("structor.edit_request(true)"));
    EXPECT_EQ(1, s->edit_request);

    EXPECT_EQ("", run("ball = structor_items.alloc('ABall')"));
    EXPECT_EQ(4, s->items.count);
    EXPECT_EQ("", run("ball.setpos(5, 6) ball.setsiz(20) ball.setinitial() ball.setpos(50, 60)"));
    EXPECT_EQ("5", lua("(ball.initialpos())"));
    run("structor.reset_request(true) structor.pause_request(true)");
    frame(0, 0);
    EXPECT_EQ(5.0f, ((structor_item*)s->items.records.live.tail.previous)->motion.xform.position.x) << "reset";
    EXPECT_NE(std::string::npos, run("structor_items.alloc('box').setpos(1, 2)").find("null pointer in structor_items usedata"));
    EXPECT_NE(std::string::npos, run("ball.setpos('x', 1)").find("number expected"));
    EXPECT_EQ("", run("ball.unref() collectgarbage()"));
    EXPECT_EQ(4, s->items.count) << "the script still holds it";
    EXPECT_EQ("", run("ball = nil collectgarbage()"));
    EXPECT_EQ(3, s->items.count);
}

TEST_F(Structor, AnItemOwnsTheTextureItIsGivenAndRefusesAFreedOne)
{
    start("test");
    int32_t textures = D3D_BUFFERS.txt_count;
    ASSERT_EQ("", run("t = txts.alloc('data/debug/debug8x8_font.png') A.settxt(t.getptr())"));
    EXPECT_EQ(textures + 1, D3D_BUFFERS.txt_count);
    // The item took it over: the script's handle is empty and its loss frees nothing.
    EXPECT_NE(std::string::npos, run("t.getptr()").find("null pointer in gfx_txts usedata"));
    EXPECT_EQ("", run("t = nil collectgarbage()"));
    EXPECT_EQ(textures + 1, D3D_BUFFERS.txt_count);
    EXPECT_NE(nullptr, ((structor_item*)list_first(&s->items.records.live))->texture);

    // Freed with the item.
    EXPECT_EQ("", run("A.unref() A = nil collectgarbage()"));
    EXPECT_EQ(textures, D3D_BUFFERS.txt_count);

    ASSERT_EQ("", run("u = txts.alloc('data/debug/debug8x8_font.png') p = u.steal_ptr() B.settxt(p)"));
    EXPECT_EQ("", run("B.unref() B = nil collectgarbage()"));
    EXPECT_EQ(textures, D3D_BUFFERS.txt_count);
    EXPECT_NE(std::string::npos, run("C.settxt(p)").find("not a live texture"));
}

TEST_F(Structor, PressesStepThroughOverlappingItemsAndReportTheMouse)
{
    start("test");
    run("structor.edit_request(true) structor.pause_request(true)");
    structor_item* a = (structor_item*)list_first(&s->items.records.live);
    structor_item* b = (structor_item*)a->links.next;

    frame(5, 0);
    EXPECT_EQ(STRUCTOR_ITEM_HOVERED, a->flags) << "the first hit is hovered";
    EXPECT_EQ(0u, b->flags);

    press(5, 0);
    EXPECT_EQ(STRUCTOR_ITEM_SELECTED, a->flags);
    EXPECT_EQ(1, s->picked);
    release(5, 0);
    EXPECT_EQ(0, s->picked);
    EXPECT_EQ("mouse_click_on,mouse_click_state,mouse_click_off", lua("table.concat(calls, ',')"));
    EXPECT_EQ("A", lua("structor_items.get('selected') == A and 'A' or 'other'"));

    press(5, 0);
    EXPECT_EQ(STRUCTOR_ITEM_SELECTED, b->flags);
    EXPECT_EQ(0u, a->flags & STRUCTOR_ITEM_SELECTED);
    release(5, 0);
    press(5, 0);
    EXPECT_EQ(STRUCTOR_ITEM_SELECTED, a->flags) << "after the last hit, back to the first";
    INPUT.click.pressed = 0;
    frame(5, 0);
    frame(5, 0);
    release(5, 0);
    EXPECT_EQ(3 + 3 + 5, std::stoi(lua("#calls")));

    // A press on nothing leaves the selection and reports nothing but the menu button's edges.
    run("calls = {}");
    press(-400, -200);
    EXPECT_EQ(0, s->picked);
    EXPECT_EQ(STRUCTOR_ITEM_SELECTED, a->flags);
    release(-400, -200);
    INPUT.menu.held = INPUT.menu.pressed = 1;
    frame(-400, -200);
    INPUT.menu.held = 0;
    INPUT.menu.released = 1;
    frame(-400, -200);
    EXPECT_EQ("mouse_menu_on,mouse_menu_off", lua("table.concat(calls, ',')"));
    EXPECT_EQ("0", lua("select('#', (function() return structor_items.get('nothing') end)())"));
}

TEST_F(Structor, NothingIsReportedOutsideEditModeAndPausingKeepsRebuilding)
{
    start("test");
    press(5, 0);
    release(5, 0);
    EXPECT_EQ("0", lua("#calls"));
    EXPECT_EQ("0", lua("select('#', structor_items.get('selected'))"));

    HUD.displayed_menu = HUD.display_gizmo;
    uint32_t steps = s->cells.steps;
    run("structor.rebuildcells_request(true) structor.reset_request(true)");
    frame(0, 0);
    EXPECT_EQ(1, s->paused);
    EXPECT_EQ(steps, s->cells.steps);
    EXPECT_EQ(0, s->rebuildcells_request);
    EXPECT_EQ(0, s->reset_request);
    HUD.displayed_menu = NULL;
    frame(0, 0);
    EXPECT_EQ(0, s->paused);
    EXPECT_EQ(steps + 1, s->cells.steps);
}

// The cells by their liquid; in edit mode, C (at 300, 100, 32 x 32) outlined by its flags
// along its left edge, screen column 400 + 284 at zoom 1.
TEST_F(Structor, DrawingPaintsTheCellsByTheirLiquidAndOutlinesPickedItems)
{
    start("test");
    run("structor_items.alloc('cells') structor_items.alloc('aball')");
    structor_item* c = (structor_item*)list_first(&s->items.records.live)->next->next;
    struct Case {
        bool edit;
        uint32_t flags, colour; // 0: no outline there
    } cases[] = {{true, STRUCTOR_ITEM_HOVERED, 0xFF00C000u},
                 {true, STRUCTOR_ITEM_HOVERED | STRUCTOR_ITEM_SELECTED, 0xFF00FF00u},
                 {true, 0, 0},
                 {false, STRUCTOR_ITEM_SELECTED, 0}};
    for (const Case& t : cases) {
        run(t.edit ? "structor.edit_request(true)" : "structor.edit_request(false)");
        frame(-400, -200);
        c->flags = t.flags;
        structor_cells_at(&s->cells, 100, 50)->amount = 200;
        structor_cells_at(&s->cells, 101, 50)->amount = 10;
        ASSERT_TRUE(gfx_begin_scene(&GFX));
        structor_draw(s);
        uint32_t found = 0;
        for (int32_t x = 683; x <= 685; x++)
            for (uint32_t colour : {0xFF00C000u, 0xFF00FF00u})
                found = d3d8_read_pixel(GFX.d3d_gfx.device, x, 200) == colour ? colour : found;
        gfx_end_scene(&GFX);
        EXPECT_EQ(t.colour, found) << std::hex << t.flags << " edit " << t.edit;
    }
    EXPECT_EQ(0xFF000002u, s->cells.bitmap[50 * 256 + 100]);
    EXPECT_EQ((116u << 24) | 236u, s->cells.bitmap[50 * 256 + 101]);
    EXPECT_EQ(0xFF000000u, s->cells.bitmap[0]);
    EXPECT_EQ(0u, s->cells.bitmap[60 * 256 + 60]);
    EXPECT_EQ("", errors());
}

// A missing or empty ramps file is named on the error log and the level still builds; a cut
// map whose picture could not be built draws its brush untextured, without trying (and
// logging) again each frame.
TEST_F(Structor, CutMapsWithoutAPictureAreNamedOrDrawnWithoutRetrying)
{
    for (const char* body : {(const char*)nullptr, ""}) {
        std::remove("data/structor/ramps.xml");
        if (body)
            harness_write_file("data/structor/ramps.xml", body);
        start("basic");
        EXPECT_NE(std::string::npos, errors().find("data/structor/ramps.xml")) << (body ? "empty" : "missing");
        EXPECT_EQ(7, s->items.count);
        structor_clean(s);
    }
    start("test");
    harness_write_file("data/structor/huge.xml",
                       "<cutmap version='1' w='100000' h='100000' d='1'><layer></layer></cutmap>");
    ASSERT_EQ("", run("A.setcmp(cmps.alloc('data/structor/huge.xml').steal_ptr())"));
    std::string logged = errors();
    for (int i = 0; i < 3; i++) {
        ASSERT_TRUE(gfx_begin_scene(&GFX));
        structor_draw(s);
        gfx_end_scene(&GFX);
    }
    EXPECT_EQ(logged, errors());
}

} // namespace
