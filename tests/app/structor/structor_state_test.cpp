// The structor state on the staged installation with a real device and the Lua environment:
// setup and clean, the level script, the Lua libraries, picking in edit mode and drawing.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/code/app.h"
#include "app/code/con.h"
#include "app/code/input.h"
#include "app/code/main_state.h"
#include "app/code/opt.h"
#include "app/code/structor/structor.h"
#include "app/code/structor/structor_cells_ref.h"
#include "engine/code/gfx/bmps.h"
#include "engine/code/gfx/cmps.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/txts.h"
#include "platform/d3d8_debug.h"
#include "tests/app/structor/structor_test_keep.h"
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
    // Put back after TearDown: the state itself, and the level options, the frame period and
    // the cell timer that its setup and update change.
    structor_test_keep<structor_state> kept_state{structor_state_main};
    structor_test_keep<opts> kept_opt{OPT};
    structor_test_keep<app> kept_app{APP};
    structor_test_keep<timer> kept_cells_timer{D3D_DBG.CELLS};
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
    // A level of the given start body in its own folder.
    static void write_level(const char* name, const char* start_body)
    {
        std::string folder = std::string("local/structor/") + name;
        std::filesystem::create_directories(folder);
        std::string text = std::string("structor.levels = { { start = function(level)\n") + start_body + "end } }\n";
        harness_write_file((folder + "/levels.lua").c_str(), text.c_str());
    }
    // The walls of the initial grid are the border's alone.
    void expect_border_only()
    {
        std::vector<structor_cell> border((size_t)s->cells.w * s->cells.h);
        structor_cells expected = {};
        expected.w = s->cells.w;
        expected.h = s->cells.h;
        expected.initial = border.data();
        structor_cells_border(&expected);
        for (size_t i = 0; i < border.size(); i++)
            ASSERT_EQ(border[i].solid, s->cells.initial[i].solid) << i % s->cells.w << "," << i / s->cells.w;
    }
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
            size_t solid = 0;
            for (size_t i = 0; i < n; i++) {
                solid += walls[i].solid != 0;
                ASSERT_EQ(walls[i].solid, s->cells.initial[i].solid) << i % 256 << "," << i / 256;
            }
            // The border alone is 2 x (256 + 120) x 4 = 3008 walls: the ramps' stone is there too.
            EXPECT_GT(solid, 3008u + 100u);
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
    EXPECT_EQ("local/structor/ data/structor/ table",
              lua("structor.dir_local() .. ' ' .. structor.dir_data() .. ' ' .. type(structor.items)"));

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
                 {true, STRUCTOR_ITEM_SELECTED, 0xFF00FF00u},
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
        std::remove("ERROR.TXT"); // the next body must name the file itself
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

// In edit mode the item under the pointer is hovered; an item's rectangle is (x - w/2,
// y - h/2, w, h), its edges included: A (0, 0) of 40 spans x -20 to 20, B (10, 0) of 40 spans
// -10 to 30, both y -20 to 20; C (300, 100) of 32 (the size items are made with) spans 284 to
// 316 and 84 to 116. At zoom 1 and pan 0 the pointer in world units is where frame() put it.
TEST_F(Structor, PickingFindsItemsByTheirRectanglesEdgesIncluded)
{
    start("test");
    run("structor.edit_request(true) structor.pause_request(true)");
    structor_item* a = (structor_item*)list_first(&s->items.records.live);
    structor_item* b = (structor_item*)a->links.next;
    structor_item* c = (structor_item*)b->links.next;
    struct Case {
        float x, y;
        structor_item* hovered; // null: none
    } cases[] = {{-20, 0, a}, {-20.5f, 0, nullptr}, {30, 20, b},         {30.5f, 0, nullptr},
                 {30, 20.5f, nullptr}, {284, 84, c}, {316, 116, c},      {300, 116.5f, nullptr}};
    for (const Case& t : cases) {
        frame(t.x, t.y);
        for (structor_item* it : {a, b, c})
            EXPECT_EQ(it == t.hovered ? STRUCTOR_ITEM_HOVERED : 0u, it->flags) << t.x << "," << t.y;
        char pointer[64];
        snprintf(pointer, sizeof pointer, "%g %g", t.x, t.y);
        // (+ 0 turns the -0 of a pointer on the axis into 0)
        EXPECT_EQ(pointer, lua("(function() local x, y = structor.pointer() "
                               "return string.format('%g %g', x + 0, y + 0) end)()"));
    }
}

// A level handing a brush the cut map of a document without layers (missing, empty, or a
// cutmap element with no layer) goes on to its next line; the brush keeps the cut map, and
// nothing of it is stamped into the cells or drawn: the brush's place on the screen looks the
// same as once the brush has let the cut map go.
TEST_F(Structor, ALevelGoesOnPastACutMapWithoutLayersAndNothingComesOfIt)
{
    write_level("nolayers",
                "    A = structor_items.alloc('brush') A.setpos(0, 0) A.setsiz(40)\n"
                "    A.setcmp(cmps.alloc('data/structor/nolayers.xml').steal_ptr())\n"
                "    went_on = true\n"
                "    A.setcells()\n"
                "    structor.rebuildcells_request(true)\n");
    struct Case {
        const char* name;
        const char* document; // null: no file
    } cases[] = {{"missing", nullptr}, {"empty", ""}, {"no layer", "<cutmap version='1' w='8' h='8' d='1'></cutmap>"}};
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        std::remove("data/structor/nolayers.xml");
        if (t.document)
            harness_write_file("data/structor/nolayers.xml", t.document);
        start("nolayers");
        EXPECT_EQ("true", lua("went_on"));
        structor_item* brush = (structor_item*)list_first(&s->items.records.live);
        ASSERT_NE(nullptr, brush->cut_map);
        EXPECT_EQ(nullptr, gfx_cmps_layer(brush->cut_map, 0));
        frame(-390, -290); // the rebuild; the pointer's model off in a corner
        EXPECT_EQ(0, s->rebuildcells_request);
        ASSERT_NO_FATAL_FAILURE(expect_border_only());

        D3DCOLOR seen[2];
        for (D3DCOLOR& colour : seen) {
            ASSERT_TRUE(gfx_begin_scene(&GFX));
            structor_draw(s);
            colour = d3d8_read_pixel(GFX.d3d_gfx.device, 400, 300);
            gfx_end_scene(&GFX);
            structor_item_set_cut_map(brush, nullptr);
        }
        EXPECT_EQ(seen[1], seen[0]) << std::hex << seen[0];
        EXPECT_EQ(std::string::npos, errors().find("cut map"));
        structor_clean(s);
    }
}

// An item type that writes down every phase word it is given, with the item.
std::vector<std::pair<structor_item*, uint32_t>> heard;
bool recorder_true(structor_item*) { return true; }
void recorder_nothing(structor_item*) {}
void recorder_update(structor_item* it, uint32_t phase) { heard.push_back({it, phase}); }
const structor_item_type RECORDER = {recorder_true, recorder_true, recorder_nothing, recorder_update, recorder_nothing,
                                     NULL};

// Frames as the timing driver delivers them (one crossing a tick), each through every phase
// it has. The structor acts on the frame's end alone, and only unpaused: one cell step, then
// the words 0x11, 0x20, 0x100, 0x20, 0x100, 0x80000000, each one pass over all items in list
// order. A ball at (0, 100), dry and far from any wall, gets one force step and two moves a
// frame: v.y := (v.y - 0.5) x 80 x 0.0125 x 0.96875 and y += 2 v.y, so the first frame gives
// v.y -0.484375 and y 100 - 0.96875 = 99.03125, the second v.y -0.984375 x 0.96875 =
// -0.95361328125 and y 99.03125 - 1.9072265625 = 97.1240234375; each collision step without
// a contact (time 2) sets smoothed := (smoothed + 2) / 2: 0 -> 1 -> 1.5, then 1.75 -> 1.875.
TEST_F(Structor, AFrameGivesItsItemsThePhaseWordsInOrderOnceItEnds)
{
    start("test");
    structor_item* first = structor_item_alloc(&s->items, &RECORDER);
    structor_item* ball = structor_item_alloc(&s->items, &structor_item_aball);
    structor_item* last = structor_item_alloc(&s->items, &RECORDER);
    ASSERT_TRUE(first && ball && last);
    ball->motion.xform.position = {0.0f, 100.0f, 0.0f};
    const std::vector<uint32_t> whole = {UPDATE_FRAME_BEGIN, UPDATE_BODY_STEP, UPDATE_MIND_TICK,
                                         UPDATE_MIND_AFTER, UPDATE_BODY_STEP, UPDATE_FRAME_END};
    struct Case {
        const char* name;
        std::vector<uint32_t> phases;
        bool pause_request, menu_shown, steps;
        float y, smoothed;
    } cases[] = {
        {"no end yet", {UPDATE_FRAME_BEGIN, UPDATE_BODY_STEP, UPDATE_MIND_TICK, UPDATE_MIND_AFTER, UPDATE_BODY_STEP},
         false, false, false, 100.0f, 0.0f},
        {"a whole frame", whole, false, false, true, 99.03125f, 1.5f},
        {"paused by the script", whole, true, false, false, 99.03125f, 1.5f},
        {"paused by a menu", whole, false, true, false, 99.03125f, 1.5f},
        {"the next whole frame", whole, false, false, true, 97.1240234375f, 1.875f},
    };
    const uint32_t words[] = {0x11, 0x20, 0x100, 0x20, 0x100, 0x80000000u};
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        s->pause_request = t.pause_request;
        HUD.displayed_menu = t.menu_shown ? HUD.display_gizmo : nullptr;
        ASSERT_TRUE(!t.menu_shown || HUD.displayed_menu);
        uint32_t steps = s->cells.steps;
        heard.clear();
        for (uint32_t phase : t.phases)
            structor_update(s, phase);
        std::vector<std::pair<structor_item*, uint32_t>> expected;
        for (uint32_t word : words)
            for (structor_item* it : {first, last})
                if (t.steps)
                    expected.push_back({it, word});
        EXPECT_EQ(expected, heard);
        EXPECT_EQ(steps + (t.steps ? 1 : 0), s->cells.steps);
        EXPECT_EQ(0.0f, ball->motion.xform.position.x);
        EXPECT_EQ(t.y, ball->motion.xform.position.y);
        EXPECT_EQ(t.smoothed, ball->smoothed);
    }
    HUD.displayed_menu = nullptr;
    s->pause_request = 0;
    heard.clear();
}

// The set-up stops at the first part that fails, with that part's message, and builds
// nothing after it; the clean then gives back what was made. The view, the item pool and the
// journal cannot fail; the cells fail at any of their four textures, the Lua libraries when
// their registration raises (here from a call hook that refuses the one registration).
lua_CFunction refused_registration;
void refuse_registration(lua_State* L, lua_Debug* ar)
{
    lua_getinfo(L, "f", ar);
    lua_CFunction called = lua_tocfunction(L, -1);
    lua_pop(L, 1);
    if (called && called == refused_registration)
        luaL_error(L, "registration refused");
}

TEST_F(Structor, SetupStopsAtTheFailingPartWithItsMessage)
{
    write_level("marker", "    level_started = true\n");
    struct Case {
        const char* name;
        int32_t texture;          // the CELLS texture that fails, or -1
        lua_CFunction refused;    // the registration that fails, or null
        std::vector<const char*> messages;
        int parts;                // of items, txts, cmps, structor and the level, how many were made
    } cases[] = {
        {"texture 0", 0, nullptr, {"Failed to setup CELLS 0 texture,\n", "STRUCTOR.CELLS subsystem failed to initialize,\n"}, 0},
        {"texture 3", 3, nullptr, {"Failed to setup CELLS 3 texture,\n", "STRUCTOR.CELLS subsystem failed to initialize,\n"}, 0},
        {"txts", -1, txts_lua_setup, {"TXTS.LUA subsystem failed to initialize,\n"}, 1},
        {"cmps", -1, cmps_lua_setup, {"CMPS.LUA subsystem failed to initialize,\n"}, 2},
        {"structor", -1, structor_lua_setup, {"STRUCTOR.LUA subsystem failed to initialize,\n"}, 3},
        {"nothing", -1, nullptr, {}, 5},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        std::remove("ERROR.TXT");
        snprintf(OPT.next_level, sizeof OPT.next_level, "%s", "marker");
        OPT.next_number = 1;
        APP.frame_period = 10;
        int32_t textures = D3D_BUFFERS.txt_count;
        if (t.texture >= 0)
            d3d8_fault_set(D3D8_CALL_CreateTexture, E_OUTOFMEMORY, (uint32_t)t.texture, 1);
        refused_registration = t.refused;
        lua_sethook(CON.L, refuse_registration, t.refused ? LUA_MASKCALL : 0, 0);
        bool ok = structor_setup(s, &GFX);
        lua_sethook(CON.L, nullptr, 0, 0);
        refused_registration = nullptr;
        d3d8_fault_clear();
        con_update(&CON); // the level's start, when it was queued

        EXPECT_EQ(t.parts == 5, ok);
        EXPECT_EQ(33, APP.frame_period);
        bool made[5] = {s->items.records.record_size != 0, lua("type(txts)") == "table", lua("type(cmps)") == "table",
                        lua("type(structor)") == "table", lua("level_started") == "true"};
        for (int i = 0; i < 5; i++)
            EXPECT_EQ(i < t.parts, made[i]) << "part " << i;
        EXPECT_EQ(t.parts == 5, s->cells.initial && s->cells.initial[0].solid) << "the border";
        std::string log = errors();
        size_t at = 0;
        for (const char* message : t.messages) {
            at = log.find(message, at);
            EXPECT_NE(std::string::npos, at) << message << " in " << log;
        }
        size_t failures = 0;
        for (size_t i = log.find("subsystem failed"); i != std::string::npos; i = log.find("subsystem failed", i + 1))
            failures++;
        EXPECT_EQ(t.messages.empty() ? 0u : 1u, failures) << log;

        structor_clean(s);
        run("level_started = nil collectgarbage()");
        EXPECT_EQ(textures, D3D_BUFFERS.txt_count);
        memset(s, 0, sizeof *s);
    }
}

} // namespace
