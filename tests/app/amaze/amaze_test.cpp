// The maze state and its items: what setup builds and clean gives back, the pause rules,
// the level clock, item allocation and release through Lua, minds and bodies, clod moves,
// agonist turns and the animation blend handed to avatars.

#include <cmath>
#include <vector>

#include "app/code/app.h"
#include "engine/code/gfx/avatar.h"
#include "tests/app/amaze/amaze_fixture.h"
#include "tools/writer/wr_image.h"

namespace {

const char* ONE_LEVEL = "amaze.levels = { { start = function(l) started = (started or 0) + 1 end } }";

int32_t live_items()
{
    int32_t n = 0;
    for (list_node* i = list_first(&AMAZE.items.items.live); i->next; i = i->next)
        n++;
    return n;
}

} // namespace

TEST_F(AmazeTest, SetupStartsTheLevelResetStartsItAfreshCleanTearsItDown)
{
    APP.frame_period = 33;
    start(ONE_LEVEL);
    EXPECT_EQ(10, APP.frame_period);
    EXPECT_EQ(amaze_menu, HUD.menu_table);
    EXPECT_EQ("1 table local/amaze/ data/amaze/",
              eval("started .. ' ' .. type(amaze.items) .. ' ' .. amaze.dir_local() .. ' ' .. amaze.dir_data()"));
    run("amaze.alloc_item('base') amaze.alloc_item('director')");
    EXPECT_EQ(1, a->directors.count);
    ASSERT_TRUE(amaze_reset(a));
    con_update(&CON);
    EXPECT_EQ("2", eval("started"));
    EXPECT_EQ(0, a->directors.count);
    EXPECT_EQ(0, live_items());
    ASSERT_EQ("", run("amaze.alloc_item('base'):setmind(function(i) coroutine.yield() end, 'T')"));
    EXPECT_EQ("1", eval("next(amaze.items)")); // serials start again
    run("kept = amaze");
    amaze_clean(a);
    EXPECT_EQ("nil", eval("amaze"));
    // A script that kept the library table must get errors, not a half-torn instance.
    EXPECT_NE("", run("kept.alloc_item('protagonist')"));
    EXPECT_NE("", run("kept.alloc_item('base')"));
    EXPECT_NE("", run("kept.loadhmap('amaze/basic/map1.png')"));
    EXPECT_EQ("0:00.0", eval("kept.time_str(2)"));
    EXPECT_EQ(nullptr, HUD.menu_table);
    EXPECT_EQ(0, HUD.pointer.hidden);
    amaze_clean(a); // twice is harmless

    // A missing level script is reported and the state runs on.
    snprintf(OPT.next_level, sizeof OPT.next_level, "nowhere");
    ASSERT_TRUE(amaze_setup(a, &GFX));
    con_update(&CON);
    EXPECT_NE(std::string::npos, errors().find("levels.lua"));
    EXPECT_EQ("table", eval("type(amaze)"));
    tick();
}

TEST_F(AmazeTest, PauseStopsItemsAndClockButNotDirectorsAndTheClockStopsAtItsEnds)
{
    start(ONE_LEVEL);
    ASSERT_EQ("", run("d_ticks, b_ticks = 0, 0\n"
                      "local d = amaze.alloc_item('director')\n"
                      "d:setmind(function() while true do d_ticks = d_ticks + 1 amaze.pause_request(false) coroutine.yield() end end, 'T')\n"
                      "local b = amaze.alloc_item('base')\n"
                      "b:setmind(function() while true do b_ticks = b_ticks + 1 coroutine.yield() end end, 'T')"));
    tick();
    EXPECT_EQ("1 1 1", eval("d_ticks .. ' ' .. b_ticks .. ' ' .. amaze.time()"));
    EXPECT_EQ(1, HUD.pointer.hidden);

    hudgizmo menu = {};
    HUD.displayed_menu = &menu;
    tick();
    tick();
    EXPECT_EQ("3 1 1", eval("d_ticks .. ' ' .. b_ticks .. ' ' .. amaze.time()"));
    EXPECT_EQ(0, HUD.pointer.hidden);
    HUD.displayed_menu = NULL;

    // A director's mind may lift the scripts' pause, but only from the next update on.
    run("amaze.pause_request(true)");
    tick();
    EXPECT_EQ("4 1 1", eval("d_ticks .. ' ' .. b_ticks .. ' ' .. amaze.time()"));
    tick();
    EXPECT_EQ("5 2 2", eval("d_ticks .. ' ' .. b_ticks .. ' ' .. amaze.time()"));

    // Phases 0 only refresh the pause and the screen size.
    amaze_update(a, 0);
    EXPECT_EQ("5 2 2", eval("d_ticks .. ' ' .. b_ticks .. ' ' .. amaze.time()"));

    // Minutes, seconds and tenths two ticks behind; past zero one sign leads.
    EXPECT_EQ("1:00.0 10:00.5 -0:00.1",
              eval("amaze.time_str(602) .. ' ' .. amaze.time_str(6007) .. ' ' .. amaze.time_str(1)"));
    run("amaze.time_init(600)");
    EXPECT_EQ("0:59.8", eval("amaze.time_str()"));
    tick();
    EXPECT_EQ("599 600 7", eval("amaze.time() .. ' ' .. amaze.time_init() .. ' ' .. amaze.time_step(7)"));
    EXPECT_EQ("0.1 0.01", eval("amaze.mind_step() .. ' ' .. amaze.body_step()"));
    run("amaze.time(-2147483648)");
    tick();
    EXPECT_EQ("-2147483648 -3579139:25.0", eval("amaze.time() .. ' ' .. amaze.time_str()"));
    run("amaze.time_init(0) amaze.time(2147483647)");
    tick(); // 2147483645 tenths: 3579139 minutes (2147483400) and 245 tenths
    EXPECT_EQ("2147483647 3579139:24.5", eval("amaze.time() .. ' ' .. amaze.time_str()"));
}

TEST_F(AmazeTest, ItemsAreAllocatedListedPlacedAndReleasedThroughLua)
{
    start(ONE_LEVEL);
    EXPECT_NE(std::string::npos, run("amaze.alloc_item('Base')").find("unknow amaze item type Base"));
    ASSERT_EQ("", run("for i = 1, 33 do last = amaze.alloc_item('director') end\n"
                      "p = amaze.alloc_item('protagonist') c = amaze.alloc_item('clod')"));
    EXPECT_EQ(32, a->directors.count);
    EXPECT_EQ(1, a->protagonists.count);
    EXPECT_EQ(0, a->antagonists.count);
    EXPECT_EQ("true false true", eval("tostring(p:pushable()) .. ' ' .. tostring(amaze.items[1]:pushable()) .. ' ' .. tostring(c:pushable())"));
    EXPECT_EQ("false", eval("p:push(1, 0)"));
    EXPECT_EQ("true", eval("c:push(1, 0)"));
    EXPECT_EQ(" XY X", eval("c:rolls('YX') .. ' ' .. c:rolls('XY') .. ' ' .. c:rolls('X')"));
    EXPECT_EQ("0", eval("select('#', p:rolls('XY'))"));
    EXPECT_NE(std::string::npos, run("p:setbob(0, 1)").find("not an amaze base type item"));

    ASSERT_NE(nullptr, a->directors.items[0]);
    ASSERT_EQ("", run("amaze.items[1]:free() amaze.items[1] = nil"));
    EXPECT_EQ(nullptr, a->directors.items[0]);
    EXPECT_EQ(32, a->directors.count);
    ASSERT_EQ("", run("p:free()"));
    EXPECT_EQ("nil", eval("amaze.items[34]"));
    EXPECT_NE(std::string::npos, run("p:score()").find("null amazeitem"));
    EXPECT_EQ("", run("p:free() p.amazeitem:free()")); // a second release does nothing
    EXPECT_NE(std::string::npos, run("amaze.items[2].score({})").find("bad amazeitem"));
    EXPECT_EQ("5 5", eval("c:score_init(5) .. ' ' .. c:score()"));

    // An item whose table is dropped is freed by the collector.
    int32_t before = live_items();
    ASSERT_EQ("", run("local t = amaze.alloc_item('base') for k, v in pairs(amaze.items) do if v == t then amaze.items[k] = nil end end t = nil collectgarbage()"));
    EXPECT_EQ(before, live_items());

    flat_map(8, 4);
    ASSERT_EQ("", run("a1 = amaze.alloc_item('base') a2 = amaze.alloc_item('base') w = amaze.alloc_item('base')\n"
                      "a1:setcell(0, 0, 0) a2:setcell(0, 0, 0) w:setcell(5, 0, 0) w:solid(true)"));
    EXPECT_EQ("true", eval("amaze.getcell_contents(0, 0)[1] == a2 and amaze.getcell_contents(0, 0)[2] == a1"));
    // A live item whose table a script dropped from amaze.items leaves no hole.
    run("for k, v in pairs(amaze.items) do if v == a2 then gone = k amaze.items[k] = nil end end");
    EXPECT_EQ("1 true", eval("#amaze.getcell_contents(0, 0) .. ' ' .. tostring(amaze.getcell_contents(0, 0)[1] == a1)"));
    run("amaze.items[gone] = a2");
    EXPECT_EQ("true", eval("amaze.cell_find_solid(0, 0, 2) == w"));
    EXPECT_EQ("nil", eval("amaze.cell_find_solid(0, 0, 0)"));
    EXPECT_EQ("nil", eval("amaze.cell_find_solid(6, 0, 2)"));
    EXPECT_EQ("true", eval("amaze.cell_find_solid(7, 0, 1) == w"));
    EXPECT_EQ("true false", eval("tostring(amaze.iscell_solid(5, 0)) .. ' ' .. tostring(amaze.iscell_solid(4, 0))"));
    EXPECT_NE(std::string::npos, run("amaze.iscell_solid(8, 0)").find("cell X out of bounds"));
    EXPECT_NE(std::string::npos, run("amaze.getcell_contents(0, -1)").find("cell Y out of bounds"));
    EXPECT_NE(std::string::npos, run("amaze.cell_find_solid(0, 0, 5)").find("look direction out of bounds"));

    // placecell moves the listing only; snapcell puts the item back on the cell under it.
    ASSERT_EQ("", run("a1:placecell(3, 2)"));
    EXPECT_EQ("1", eval("#amaze.getcell_contents(3, 2)"));
    EXPECT_EQ("0 0", eval("table.concat({a1:snapcell()}, ' ')"));
    EXPECT_EQ("2 0", eval("#amaze.getcell_contents(0, 0) .. ' ' .. #amaze.getcell_contents(3, 2)"));

    // A freed item leaves its cell.
    run("w:free()");
    EXPECT_EQ("false", eval("amaze.iscell_solid(5, 0)"));
}

TEST_F(AmazeTest, MindsRunPerTickAndAPassSkipsItemsFreedInItAndLeavesNewOnesToTheNext)
{
    start(ONE_LEVEL);
    ASSERT_EQ("", run("log = ''\n"
                      "m = amaze.alloc_item('base')\n"
                      "m:setmind(function(self) assert(self == m) while true do log = log .. 'a' coroutine.yield() end end, 'T')\n"
                      "q = amaze.alloc_item('base')\n"
                      "q:setmind(function() log = log .. 'q' end, '')"));
    tick();
    tick();
    EXPECT_EQ("aa", eval("log")); // without T the mind never runs
    run("m.mind_next = nil");
    tick();
    EXPECT_EQ("aaa", eval("log"));
    run("m:setmind(function() log = log .. 'b' coroutine.yield() log = log .. 'c' end, 'T')");
    tick();
    tick();
    EXPECT_EQ("aaabc nil", eval("log .. ' ' .. tostring(m.mind)"));
    tick();
    EXPECT_EQ("aaabc", eval("log"));

    run("m:setmind(function() error('boom') end, 'T')");
    tick();
    EXPECT_NE(std::string::npos, errors().find("boom"));
    EXPECT_EQ("nil", eval("m.mind"));
    EXPECT_EQ("true", eval("amaze.items[1] == m"));

    // A mind that frees the next item in line: that item is not visited, its record not reused.
    ASSERT_EQ("", run("seen = ''\n"
                      "k = amaze.alloc_item('base') v = amaze.alloc_item('base')\n"
                      "k:setmind(function() while true do seen = seen .. 'k' v:free() k:free() coroutine.yield() end end, 'T')\n"
                      "v:setmind(function() while true do seen = seen .. 'v' coroutine.yield() end end, 'T')\n"
                      "for i = 1, 40 do amaze.alloc_item('base') end"));
    tick();
    EXPECT_EQ("k", eval("seen"));
    EXPECT_EQ(2 + 40, live_items()); // m and q stay
    ASSERT_EQ("", run("n = amaze.alloc_item('base')"));
    EXPECT_EQ(2 + 41, live_items());

    // Each mind spawns the next spawner at its first tick; the cap only bounds a broken pass.
    ASSERT_EQ("", run("spawned = 0\n"
                      "function spawn() if spawned < 50 then spawned = spawned + 1\n"
                      "  amaze.alloc_item('base'):setmind(spawn, 'T') end coroutine.yield() end\n"
                      "amaze.alloc_item('base'):setmind(spawn, 'T')"));
    tick();
    EXPECT_EQ("1", eval("spawned"));
    tick();
    EXPECT_EQ("2", eval("spawned"));
}

namespace {

// Corners of cell (1, 1) of a 4 x 4 map: P(2, 1), P(2, 2), P(4, 1), P(4, 2).
void cell_corners(float a, float b, float c, float d)
{
    isomap* m = &AMAZE.isomap;
    isomap_at(m, 2, 1)->height = a, isomap_at(m, 2, 2)->height = b;
    isomap_at(m, 4, 1)->height = c, isomap_at(m, 4, 2)->height = d;
}

} // namespace

TEST_F(AmazeTest, ClodsSlideOrArePushedOneCellInSixTicksRollingAboutTheirAxis)
{
    // The slope of cell (1, 1) is gx = (a + c - b - d) / 2, gy = (a + b - c - d) / 2; a slide
    // needs |g| above 0.1 and the roll flag of its axis, y before x; a push moves it whatever
    // the flags, y first, into a free cell on the map.
    struct Case {
        float a, b, c, d;
        const char* rolls;
        int32_t px, py, wall_x, wall_y, start_x, want_x, want_y;
    } cases[] = {
        {0.11f, 0, 0.11f, 0, "XY", 0, 0, 3, 3, 1, 2, 1},     // gx 0.11: towards +x
        {0.09f, 0, 0.09f, 0, "XY", 0, 0, 3, 3, 1, 1, 1},     // gx 0.09: stays
        {0, 0.11f, 0, 0.11f, "XY", 0, 0, 3, 3, 1, 0, 1},     // gx -0.11: towards -x
        {0.11f, 0.11f, 0, 0, "XY", 0, 0, 3, 3, 1, 1, 2},     // gy 0.11: towards +y
        {0, 0, 0.11f, 0.11f, "XY", 0, 0, 3, 3, 1, 1, 0},     // gy -0.11: towards -y
        {0.22f, 0.11f, 0.11f, 0, "XY", 0, 0, 3, 3, 1, 1, 2}, // gx = gy = 0.11: y first
        {0.11f, 0, 0.11f, 0, "Y", 0, 0, 3, 3, 1, 1, 1},      // no x roll: no x slide
        {0.11f, 0, 0.11f, 0, "", 0, 1, 3, 3, 1, 1, 2},       // no rolls: the push still moves it
        {0, 0, 0, 0, "", 1, 1, 3, 3, 1, 1, 2},               // y first
        {0, 0, 0, 0, "", 1, 1, 1, 2, 1, 2, 1},               // y blocked: x
        {0, 0, 0, 0, "", -1, 0, 0, 1, 1, 1, 1},              // a solid item blocks
        {0, 0, 0, 0, "", 1, 0, 3, 3, 3, 3, 1},               // so does the map's edge
    };
    start(ONE_LEVEL);
    flat_map(4, 4);
    for (const Case& k : cases) {
        cell_corners(k.a, k.b, k.c, k.d);
        char code[256];
        snprintf(code, sizeof code,
                 "c = amaze.alloc_item('clod') c:setcell(%d, 1, 0) c:rolls('%s') c:push(%d, %d)\n"
                 "w = amaze.alloc_item('base') w:setcell(%d, %d, 0) w:solid(true)",
                 k.start_x, k.rolls, k.px, k.py, k.wall_x, k.wall_y);
        ASSERT_EQ("", run(code));
        tick();
        amazeitem* c = item("c");
        ASSERT_NE(nullptr, c);
        EXPECT_EQ(k.want_x, c->cell_x) << k.rolls << " " << k.a << "," << k.b << "," << k.c << "," << k.d << " " << k.px;
        EXPECT_EQ(k.want_y, c->cell_y);
        // The clod is listed on the cell it went to, and only there.
        snprintf(code, sizeof code, "amaze.getcell_contents(%d, %d)[1] == c and #amaze.getcell_contents(%d, 1)",
                 k.want_x, k.want_y, k.start_x);
        EXPECT_EQ(k.want_x == k.start_x && k.want_y == 1 ? "1" : "0", eval(code));
        run("c:free() w:free()");
    }

    // At 1.6666666 units a second a tick (0.1 s) moves 1/6 cell. The roll of 2.0 rad about
    // the axis (z for x moves, x for y moves; negative for + moves) is the quaternion
    // (sin -1, cos -1), its vector part scaled by 1.6666666 and w = 1 - (1 - cos 1) * 1.6666666;
    // a tick's step scales that by 0.1 the same way and is renormalised: angle 2 atan2(z, w).
    const double sp = 1.6666666, vz = std::sin(-1.0) * sp, w = 1.0 - (1.0 - std::cos(-1.0)) * sp;
    const double step = 2.0 * std::atan2(vz * 0.1, 1.0 - (1.0 - w) * 0.1); // about -0.3015
    struct Move {
        int32_t px, py;
        float dx, dz;    // mind position change after three moving ticks
        int axis, sign;  // quaternion component (0 x, 2 z) and the turn's sign
    } moves[] = {{1, 0, 0.5f, 0, 2, 1}, {-1, 0, -0.5f, 0, 2, -1}, {0, 1, 0, -0.5f, 0, 1}, {0, -1, 0, 0.5f, 0, -1}};
    for (int32_t i = 0; i < 9 * 5; i++) // (2 * 4 + 1) rows of 5
        AMAZE.isomap.points[i].height = 2.0f;
    for (const Move& k : moves) {
        std::string push = std::to_string(k.px) + ", " + std::to_string(k.py);
        ASSERT_EQ("", run(("c = amaze.alloc_item('clod') c:setcell(1, 1, 0) c:rolls('XY') c:push(" + push + ")").c_str()));
        amazeitem* c = item("c");
        ASSERT_NE(nullptr, c);
        vec3 p0 = c->mind.xform.position;
        for (int t = 0; t < 4; t++) // the move starts, then three ticks of it
            tick();
        run("c:push(-1, -1)");       // ignored while it moves
        EXPECT_NEAR(p0.x + k.dx, c->mind.xform.position.x, 1e-5f);
        EXPECT_NEAR(p0.z + k.dz, c->mind.xform.position.z, 1e-5f);
        const float* q = &c->mind.xform.orientation.x;
        double half = 1.5 * step * k.sign;
        EXPECT_NEAR(std::sin(half), q[k.axis], 1e-4) << k.px << k.py;
        EXPECT_NEAR(std::cos(half), q[3], 1e-4);
        // The drawn body runs on from the tick: 10 ms further, half a unit above the ground.
        body(10);
        EXPECT_NEAR(p0.x + k.dx * 31 / 30, c->body.xform.position.x, 1e-5f);
        EXPECT_NEAR(p0.z + k.dz * 31 / 30, c->body.xform.position.z, 1e-5f);
        EXPECT_NEAR(2.5f, c->body.xform.position.y, 1e-6f);
        for (int t = 0; t < 3; t++)
            tick();
        EXPECT_NEAR(p0.x + 2 * k.dx, c->mind.xform.position.x, 1e-6f); // set on the centre
        EXPECT_NEAR(p0.z + 2 * k.dz, c->mind.xform.position.z, 1e-6f);
        EXPECT_EQ(0.0f, c->mind.velocity.x + c->mind.velocity.z);
        run("c:free()");
    }
}

TEST_F(AmazeTest, ABobbingItemRisesFallsAndTurnsOnceIn2048Milliseconds)
{
    // With phase p: v = |2 frac(p) - 1|, lift (3v^2 - 2v^3 - 0.5) * amplitude, turn 2 pi p.
    // p = 0.125: v = 0.75, lift 0.34375 * 0.4; p = 0.25: v = 0.5, lift 0; p = 0.375: v = 0.25,
    // lift -0.34375 * 0.4. Each draw adds body_step / 2048 = 0.125.
    const float lift[] = {0.1375f, 0.0f, -0.1375f}, turn_cos[] = {0.70710678f, 0.0f, -0.70710678f};
    start(ONE_LEVEL);
    flat_map(4, 4);
    ASSERT_EQ("", run("b = amaze.alloc_item('base') b:setxox('objects/xox/solid_fire.xox') b:setcell(0, 0, 0)\n"
                      "b:setbob(0.125, 0.4)"));
    amazeitem* b = item("b");
    ASSERT_NE(nullptr, b);
    ASSERT_NE(nullptr, b->xox);
    body_step = 256;
    for (int i = 0; i < 3; i++) {
        b->type->draw(b);
        D3DMATRIX m;
        ASSERT_EQ(D3D_OK, IDirect3DDevice8_GetTransform(GFX.d3d_gfx.device, D3DTS_WORLD, &m));
        const float* f = &m.m[0][0];
        EXPECT_NEAR(turn_cos[i], f[0], 1e-5f) << i;
        EXPECT_NEAR(lift[i], f[13], 1e-5f) << i;
        EXPECT_NEAR(-1.5f, f[12], 1e-5f) << i; // the bob turns about the item, not the map
        EXPECT_NEAR(1.5f, f[14], 1e-5f) << i;
    }
}

TEST_F(AmazeTest, AgonistsTurnSmoothlySpeakAndHandTheirTweensToTheAvatar)
{
    start(ONE_LEVEL);
    flat_map(4, 4);
    ASSERT_EQ("", run("p = amaze.alloc_item('antagonist') p:setcell(0, 0, 0)"));
    amazeitem* p = a->antagonists.items[0];
    ASSERT_NE(nullptr, p);
    ASSERT_NE(nullptr, p->bub);
    EXPECT_NEAR(3.14159265f, std::stof(eval("p:aim_yrot(3 * math.pi, 0)")), 1e-5f);

    run("p:aim_yrot(0, 0) p:aim_yrot(math.pi / 2, 2)");
    body(250); // turn_t 0.5, s = 0.75: 2 (3 s^2 - 2 s^3 - 0.5) = 0.6875 of the turn
    EXPECT_NEAR(0.6875f * 3.14159265f / 2, p->yaw, 1e-5f);
    body(250);
    EXPECT_EQ(0.0f, p->turn_rate);
    EXPECT_NEAR(3.14159265f / 2, p->yaw, 1e-5f);

    // The bubble shows a copy of the text: the script's string may be collected.
    run("p:say('hello' .. 'there') collectgarbage()");
    EXPECT_STREQ("hellothere", p->bub->text);

    // Entries with blend 0 take no layer; the layers fill from 0 in entry order.
    ASSERT_EQ("", run("h = amaze.alloc_item('protagonist') h:setsoul('me')\n"
                      "h.tweens = { {blend = 1.0, frame = 2, ID = 3}, {blend = 0}, {blend = 0.5, frame = 4, ID = 5} }"));
    amazeitem* h = a->protagonists.items[0];
    ASSERT_NE(nullptr, h);
    ASSERT_NE(nullptr, h->avatar);
    body(10);
    avatar_layer* l = h->avatar->layers;
    EXPECT_EQ(&GFX.avatars.anims[3], l[0].slot);
    EXPECT_FLOAT_EQ(2.0f, l[0].time);
    EXPECT_EQ(&GFX.avatars.anims[5], l[1].slot);
    EXPECT_FLOAT_EQ(0.5f, l[1].weight);
    EXPECT_EQ(nullptr, l[2].slot);

    run("h.tweens = nil");
    body(10);
    EXPECT_EQ(nullptr, l[0].slot);
}

TEST_F(AmazeTest, HostileTurnsMindsAndSpeedsLeaveItemsUsable)
{
    start(ONE_LEVEL);
    flat_map(4, 4);
    ASSERT_EQ("", run("p = amaze.alloc_item('protagonist') p:setcell(1, 1, 0)\n"
                      "b = amaze.alloc_item('base') b:setmind(coroutine.yield, 'T') p:setbody(coroutine.yield, 'T')"));
    // Far beyond where subtracting a full turn still changes a float.
    EXPECT_NEAR(0.0f, std::fabs(std::stof(eval("p:aim_yrot(1e9 + 0.25, 0)"))), 3.2f);
    EXPECT_EQ("", run("p:aim_yrot(1e30, 0) p:aim_yrot(-1e30, 5)"));
    body(100);
    // A negative rate never finishes its turn and its eased yaw grows without bound; the steps
    // must still end, and a later turn starts from a sane angle.
    run("p:aim_yrot(1, -1)");
    for (int i = 0; i < 50; i++)
        body(100000);
    EXPECT_NEAR(0.5f, std::stof(eval("p:aim_yrot(0.5, 0)")), 1e-5f);
    // A C function as mind or body is never started (its second resume crashed).
    tick();
    body(10);
    tick();
    body(10);
    EXPECT_EQ("nil nil", eval("tostring(b.mind) .. ' ' .. tostring(p.body)"));
    // Sent far off the map it snaps off it, and can be placed back.
    run("p:vel(1e30, 0, 0/0)");
    tick();
    EXPECT_EQ("-1 -1", eval("table.concat({p:snapcell()}, ' ')"));
    EXPECT_EQ("nil", eval("amaze.cell_find_solid(0, 0, 2)"));
    run("p:vel(0, 0, 0) p:setcell(2, 3, 0) p:solid(true)");
    EXPECT_EQ("2 3", eval("table.concat({p:snapcell()}, ' ')"));
}


TEST_F(AmazeTest, MapsThatCannotBeLoadedOrUsedRaiseTheirErrors)
{
    // A 5 x 5 image gives 5 / 2 - 1 = 1 column, even 0: too small; a height map 2 cells wide
    // gives 2 - 1 = 1, even 0. A load that fails leaves no map (every cell is then off it);
    // an argument refused before the load keeps the map there was.
    struct Case {
        const char* call;
        const char* error;
        bool map_kept;
    } cases[] = {
        {"amaze.loadhmap('nothing.png')", "Failed to load isomap \"data/nothing.png\".", false},
        {"amaze.loadhmap('narrow.png')", "Failed to load isomap \"data/narrow.png\".", false},
        {"amaze.loadhmap()", "bad argument #1 to 'loadhmap' (string expected, got no value)", true},
        {"amaze.usehmap(42)", "bad argument #1 to 'usehmap' (bad hmap)", true},
        {"amaze.usehmap(w)", "bad argument #1 to 'usehmap' (bad hmap)", true}, // an item table
        {"local h = hmap.alloc() h:build(2, 9) amaze.usehmap(h)", "Failed to use hmap.", false},
        {"amaze.usehmap(hmap.alloc())", "Failed to use hmap.", false}, // no cells at all
    };
    start(ONE_LEVEL);
    ASSERT_TRUE(wr_image_save("data/narrow.png", 5, 5, 1, std::vector<uint8_t>(25, 8).data()));
    for (const Case& c : cases) {
        ASSERT_EQ("", run("amaze.loadhmap('amaze/basic/map1.png') w = amaze.alloc_item('base') w:setcell(0, 0, 0) w:solid(true)"));
        int32_t cells_x = a->isomap.cells_x;
        ASSERT_GT(cells_x, 0);
        std::string error = run(c.call); // after the calling chunk's position
        EXPECT_TRUE(harness_ends_with(error, c.error)) << c.call << ": " << error;
        if (c.map_kept) {
            EXPECT_EQ(cells_x, a->isomap.cells_x) << c.call;
            EXPECT_EQ("true", eval("amaze.iscell_solid(0, 0)")) << c.call;
        } else {
            EXPECT_EQ(nullptr, a->isomap.points) << c.call;
            EXPECT_EQ(0, a->isomap.cells_x) << c.call;
            EXPECT_NE(std::string::npos, run("amaze.iscell_solid(0, 0)").find("cell X out of bounds")) << c.call;
        }
        run("w:free()");
    }

    // A height map that fits: 5 x 9 cells give 4 x 4 cells; lattice row r reads the map's
    // cells from 5 r, so cell (2, 3) of the height map is lattice point P(3, 2), the centre
    // of cell (2, 1). The cell array is made anew: the item placed before is on no cell.
    ASSERT_EQ("", run("amaze.loadhmap('amaze/basic/map1.png') w = amaze.alloc_item('base') w:setcell(0, 0, 0) w:solid(true)\n"
                      "local h = hmap.alloc() h:build(5, 9) h:set(2, 3, 7.5) amaze.usehmap(h)"));
    EXPECT_EQ(4, a->isomap.cells_x);
    EXPECT_EQ(4, a->isomap.cells_y);
    EXPECT_FLOAT_EQ(7.5f, isomap_height(&a->isomap, 2.0f, 1.0f));
    EXPECT_EQ("false 0", eval("tostring(amaze.iscell_solid(0, 0)) .. ' ' .. #amaze.getcell_contents(0, 0)"));
    EXPECT_EQ("true", eval("amaze.cell_find_solid(0, 0) == nil"));
}
