// The levels played to their ends with the player's keys, sent as raw key events through the
// scripts' handlers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/code/con.h"
#include "app/code/di_input.h"
#include "app/code/hud/hud.h"
#include "app/code/input.h"
#include "app/code/opt.h"
#include "engine/code/gfx/gfx.h"
#include "tests/app/amaze/amaze_fixture.h"

namespace {

struct Cell {
    int32_t x, y;
};

struct Walk : AmazeTest {
    int32_t held = 0; // key offset held now, 0 none

    void key(int32_t offset, bool down)
    {
        input_events.count = 1;
        input_events.events[0] = {INPUT_KIND_KEYBOARD + 1, INPUT_KIND_KEYBOARD, offset, down ? 0x80 : 0};
        ASSERT_TRUE(input_dispatch());
        input_events.count = 0;
    }
    int32_t offset(const char* name) { return std::stoi(eval((std::string("input.key_names.") + name).c_str())); }
    void hold(int32_t k)
    {
        if (k == held)
            return;
        if (held)
            key(held, false);
        if (k)
            key(k, true);
        held = k;
    }
    void frame()
    {
        tick();
        for (int j = 0; j < 10; j++)
            body(10);
    }
    // Walks the first protagonist through the cells in turn (x first) with W A S D until the
    // level pauses or the frames run out.
    void play(const std::vector<Cell>& route, int32_t frames)
    {
        int32_t W = offset("W"), A = offset("A"), S = offset("S"), D = offset("D");
        size_t next = 0;
        for (int32_t f = 0; f < frames && !a->pause_request; f++) {
            const amazeitem* p = a->protagonists.items[0];
            ASSERT_NE(nullptr, p);
            while (next < route.size() && p->cell_x == route[next].x && p->cell_y == route[next].y)
                next++;
            int32_t k = 0;
            if (next < route.size()) {
                const Cell& c = route[next];
                k = p->cell_x < c.x ? D : p->cell_x > c.x ? A : p->cell_y < c.y ? S : W;
            }
            hold(k);
            frame();
        }
        hold(0);
    }
    void level(const char* folder, int32_t n, int32_t seed)
    {
        snprintf(OPT.next_level, sizeof OPT.next_level, "%s", folder);
        OPT.next_number = n;
        ASSERT_TRUE(amaze_setup(a, &GFX));
        run(("math.randomseed(" + std::to_string(seed) + ")\n"
             "streamed = {} local real = sfx.stream\n"
             "sfx.stream = function(p) streamed[#streamed + 1] = p return real(p) end")
                .c_str());
        con_update(&CON);
    }
    // The text of the end-of-level choice's first line.
    std::string shown()
    {
        hudgizmo* g = HUD.display_gizmo;
        if (!g || list_empty(&g->children))
            return "";
        const char* t = ((hudgizmo*)list_first(&g->children))->text;
        return t ? t : "";
    }
};

} // namespace

TEST_F(Walk, EveryInstalledLevelIsWonAlongARoute)
{
    struct Case {
        int32_t level, seed, fires;
        std::vector<Cell> route;
        bool next; // a level follows
    };
    // Level 2: the last fire's cell is closed by two walls, the map's edge and a block that
    // only a push from the side moves. Level 3: the chaser starts two cells from the fire at
    // (16, 8) and walks slower, so that fire comes last, reached from below; any chaser luck.
    const Case cases[] = {
        {1, 1, 4, {{5, 6}, {6, 10}, {11, 11}, {11, 6}}, true},
        {2, 1, 3, {{18, 10}, {9, 14}, {11, 1}, {12, 1}, {12, 0}}, true},
        {3, 1, 4, {{10, 10}, {6, 14}, {14, 14}, {16, 8}}, false},
        {3, 2, 4, {{10, 10}, {6, 14}, {14, 14}, {16, 8}}, false},
        {3, 3, 4, {{10, 10}, {6, 14}, {14, 14}, {16, 8}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("level " + std::to_string(c.level) + " seed " + std::to_string(c.seed));
        level("basic", c.level, c.seed);
        if (c.level == 2)
            EXPECT_EQ("true true true",
                      eval("tostring(amaze.iscell_solid(11, 0)) .. ' ' .. tostring(amaze.iscell_solid(13, 0)) .. ' ' .. "
                           "tostring(amaze.iscell_solid(12, 1))"));
        EXPECT_EQ("data/music/tune.ogg", eval("streamed[1]"));
        play(c.route, 600);
        EXPECT_EQ("Well done!", shown());
        EXPECT_EQ("0", eval(("amaze.levels[" + std::to_string(c.level) + "].fires").c_str()));
        EXPECT_EQ(c.fires, a->protagonists.items[0]->score);
        EXPECT_EQ(1, a->pause_request);
        EXPECT_EQ(c.next, amaze_menu[MENU_ChoiceNext].gizmo != nullptr);
        EXPECT_NE(nullptr, amaze_menu[MENU_ChoiceExit].gizmo);
        if (c.level == 2)
            EXPECT_EQ("false", eval("tostring(amaze.iscell_solid(12, 1))"));
        EXPECT_EQ("", errors());
        amaze_clean(a);
    }
}

TEST_F(Walk, AChaserNextToThePlayerEndsTheLevelWithoutANextChoice)
{
    start("amaze.levels = {\n"
          "  amaze.level{ map = 'amaze/basic/map1.png', start = {6, 8}, fires = {{2, 2}}, chasers = {{9, 8}} },\n"
          "  amaze.level{ map = 'amaze/basic/map1.png', start = {6, 8}, fires = {{9, 8}} } }");
    for (int i = 0; i < 60 && !a->pause_request; i++)
        frame();
    EXPECT_EQ("Caught!", shown());
    EXPECT_EQ(nullptr, amaze_menu[MENU_ChoiceNext].gizmo);
    EXPECT_NE(nullptr, amaze_menu[MENU_ChoiceRetry].gizmo);
    EXPECT_EQ("1", eval("amaze.levels[1].fires"));
    EXPECT_EQ("", errors());
}
