// The levels played to their ends with the player's keys, sent as raw key events through the
// scripts' handlers.

#include <algorithm>
#include <vector>

#include "app/code/di_input.h"
#include "app/code/hud/hud.h"
#include "app/code/input.h"
#include "app/code/sfx/sfx.h"
#include "tests/app/amaze/amaze_fixture.h"

namespace {

std::vector<ALint> played; // the size in bytes of every sound started on a voice

struct Walk : AmazeTest {
    int32_t held = 0; // the key held now, 0 none

    void TearDown() override
    {
        AmazeTest::TearDown(); // the level's sounds are freed with the Lua state
        sfx_clean(&SFX);
        sfx_al = sfx_al_default;
    }

    void key(int32_t k, bool down)
    {
        input_events.events[0] = {INPUT_KIND_KEYBOARD + 1, INPUT_KIND_KEYBOARD, k, down ? 0x80 : 0};
        input_events.count = 1;
        ASSERT_TRUE(input_dispatch());
        input_events.count = 0;
    }
    void frame()
    {
        tick();
        for (int j = 0; j < 10; j++)
            body(10);
    }
    // Walks the first protagonist through the cells in turn (x first) with W A S D until the
    // level pauses.
    void play(const std::vector<std::pair<int32_t, int32_t>>& route)
    {
        int32_t key_of[4];
        for (int i = 0; i < 4; i++)
            key_of[i] = std::stoi(eval((std::string("input.key_names.") + "WASD"[i]).c_str()));
        size_t next = 0;
        for (int32_t f = 0; f < 600 && !a->pause_request; f++) {
            const amazeitem* p = a->protagonists.items[0];
            ASSERT_NE(nullptr, p);
            while (next < route.size() && p->cell_x == route[next].first && p->cell_y == route[next].second)
                next++;
            int32_t k = 0;
            if (next < route.size()) {
                int32_t x = route[next].first, y = route[next].second;
                k = key_of[p->cell_x < x ? 3 : p->cell_x > x ? 1 : p->cell_y < y ? 2 : 0];
            }
            if (k != held) {
                if (held)
                    key(held, false);
                if (k)
                    key(k, true);
                held = k;
            }
            frame();
        }
        if (held)
            key(held, false);
        held = 0;
    }
    // The first line of the end-of-level choice.
    std::string shown()
    {
        hudgizmo* g = HUD.display_gizmo;
        const char* t = g && !list_empty(&g->children) ? ((hudgizmo*)list_first(&g->children))->text : nullptr;
        return t ? t : "";
    }
};

} // namespace

TEST_F(Walk, EveryInstalledLevelIsWonAlongARoute)
{
    // Level 2: the route goes round the valley's blocks by row 11; the last fire's cell is
    // closed by two walls, the map's edge and a block that only a push from the side moves.
    // Level 3: the chaser starts two cells from the fire at (16, 8) and walks slower, so that
    // fire comes last, reached from below, whatever the chaser's dice.
    struct Case {
        int32_t level, seeds, fires;
        const char *nook_before, *nook_after; // the walls beside (12, 0), the cell below it
        std::vector<std::pair<int32_t, int32_t>> route;
    } cases[] = {
        {1, 1, 4, "false false", "false false", {{5, 6}, {6, 10}, {11, 11}, {11, 6}}},
        {2, 1, 3, "true true", "true false",
         {{4, 11}, {18, 11}, {18, 10}, {18, 11}, {9, 11}, {9, 14}, {11, 1}, {12, 1}, {12, 0}}},
        {3, 3, 4, "false false", "false false", {{10, 10}, {6, 14}, {14, 14}, {16, 8}}},
    };
    snprintf(OPT.next_level, sizeof OPT.next_level, "basic");
    for (const Case& c : cases)
        for (int32_t seed = 1; seed <= c.seeds; seed++) {
            SCOPED_TRACE("level " + std::to_string(c.level) + " seed " + std::to_string(seed));
            OPT.next_number = c.level;
            ASSERT_TRUE(amaze_setup(a, &GFX));
            run(("math.randomseed(" + std::to_string(seed) + ") streamed = {} local real = sfx.stream\n" +
                 "sfx.stream = function(p) streamed[#streamed + 1] = p return real(p) end")
                    .c_str());
            con_update(&CON);
            EXPECT_EQ("data/music/tune.ogg", eval("streamed[1]"));
            const char* nook = "tostring(amaze.iscell_solid(11, 0) and amaze.iscell_solid(13, 0)) .. ' ' .. "
                               "tostring(amaze.iscell_solid(12, 1))";
            EXPECT_EQ(c.nook_before, eval(nook));
            play(c.route);
            EXPECT_EQ("Well done!", shown());
            EXPECT_EQ(c.fires, a->protagonists.items[0]->score);
            EXPECT_EQ(1, a->pause_request);
            EXPECT_EQ(c.level < 3, amaze_menu[MENU_ChoiceNext].gizmo != nullptr); // the last has no next
            EXPECT_EQ(c.nook_after, eval(nook));
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
    EXPECT_EQ("", errors());
}

TEST_F(Walk, AHeldKeyPushesABlockACellAPushAndNeverWalksIntoIt)
{
    // A pushed block takes its next cell when its 6-tick move starts; the walker, 4 ticks a
    // cell, waits behind until it has arrived. So the bodies stay a cell apart, and each push,
    // heard once, moves the block one cell: a push, 6 ticks of waiting, 4 of walking and one
    // more before the next push make a cycle of 12 ticks, 5 pushes in 60.
    played.clear();
    ASSERT_TRUE(sfx_setup(&SFX)); // as the start-up options say, on the harness's silent device
    sfx_al.alSourcePlay = [](ALuint source) {
        ALint buffer = 0, size = 0;
        sfx_al.alGetSourcei(source, AL_BUFFER, &buffer);
        alGetBufferi((ALuint)buffer, AL_SIZE, &size);
        played.push_back(size);
        sfx_al_default.alSourcePlay(source);
    };
    start("amaze.levels = { { start = function() end } }");
    flat_map(16, 2);
    ASSERT_EQ("", run("B = amaze.alloc_item('clod') B:setcell(3, 1, 0) B:solid(true)\n"
                      "P = amaze.character('protagonist', 'me', 1, 1) P:setmind(amaze.walker(amaze.pad_step), 'T')"));
    amazeitem *b = item("B"), *p = item("P");
    ASSERT_TRUE(b && p);
    float closest = 2.0f;
    key(std::stoi(eval("input.key_names.D")), true);
    for (int32_t f = 0; f < 60 * 10; f++) { // 60 ticks
        if (f % 10 == 0)
            tick();
        body(10);
        closest = std::min(closest, b->body.xform.position.x - p->body.xform.position.x);
    }
    EXPECT_GT(closest, 0.99f);
    ALint push = (ALint)harness_read_file("data/amaze/sfx/push.wav").size() - 44; // after the header
    EXPECT_EQ(5, std::count(played.begin(), played.end(), push));
    EXPECT_EQ(3 + 5, b->cell_x);
    EXPECT_EQ(1, b->cell_y);
    EXPECT_EQ("", errors());
}
