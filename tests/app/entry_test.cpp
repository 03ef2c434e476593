// The frame loop and the main states: the switch and failing setups, the message pump,
// clearing of input edges, one frame's order, and the timing driver's phases on an
// injected clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/code/app.h"
#include "app/code/con.h"
#include "app/code/di_input.h"
#include "app/code/entry.h"
#include "app/code/input.h"
#include "app/code/opt.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/mem.h"
#include "engine/code/timer.h"
#include "platform/dinput8.h"
#include "platform/plat_core.h"
#include "platform/plat_window.h"
#include "tests/app/shell_globals_fixture.h"
#include "tests/harness/harness.h"
#include "tests/harness/log_capture.h"
#include "tests/harness/lua_fixture.h"
#include "tests/harness/msg_script.h"
#include "tests/harness/staged_fixture.h"

namespace {

using strings = std::vector<std::string>;
strings events;
int64_t fake_ms;
int64_t fake_clock() { return fake_ms; } // frequency 1000: one tick per millisecond

// Fake states whose hooks record their calls (B with mind_time at setup, to see that the
// clocks are reset only after the setup).
bool a_setup(gfx*) { events.push_back("A.setup"); return true; }
void a_clean() { events.push_back("A.clean"); }
bool b_setup(gfx*) { events.push_back("B.setup mind=" + std::to_string(mind_time)); return true; }
void b_clean() { events.push_back("B.clean"); }
bool f_setup(gfx*) { events.push_back("F.setup"); return false; }
void f_clean() { events.push_back("F.clean"); }
const main_state_hooks state_a = {a_setup, nullptr, a_clean, nullptr, nullptr, nullptr};
const main_state_hooks state_b = {b_setup, nullptr, b_clean, nullptr, nullptr, nullptr};
const main_state_hooks state_fail = {f_setup, nullptr, f_clean, nullptr, nullptr, nullptr};

// The frames pace on the fake clock: the application's counter runs at its rate, and each
// pacing wait moves it on by the time waited.
struct EntryTest : testing::Test {
    shell_globals* saved = nullptr;
    void SetUp() override
    {
        saved = shell_globals_save();
        events.clear();
        log_capture_start();
        fake_ms = 7000;
        plat_set_clock(fake_clock, 1000);
        plat_set_sleep([](DWORD ms) { fake_ms += ms; });
        APP = app();
        APP.frequency = 1000;
        APP.frame_period = 33;
        APP.last_frame = fake_ms;
        main_state_prev = main_state_curr = main_state_next = nullptr;
    }
    void TearDown() override
    {
        plat_set_clock(nullptr, 0);
        plat_set_sleep(nullptr);
        plat_set_msg_source(nullptr);
        plat_set_wndproc(nullptr);
        log_capture_stop();
        main_state_prev = main_state_curr = main_state_next = nullptr;
        shell_globals_restore(saved);
        saved = nullptr;
    }
};

HWND const WIN = (HWND)0x2000;
// A window procedure that notes each message as "message:lParam".
LRESULT wndproc(HWND, UINT m, WPARAM, LPARAM l)
{
    events.push_back(std::to_string(m) + ":" + std::to_string(l));
    return 0;
}
MSG message(UINT m, HWND h, LPARAM l) { return MSG{h, m, 0, l, 0, {0, 0}}; }

} // namespace

TEST_F(EntryTest, SwitchCleansTheOldStateThenSetsUpTheNewThenResetsTheClocks)
{
    main_state_curr = &state_a;
    main_state_next = &state_b;
    mind_time = body_time = 999;
    ASSERT_TRUE(main_loop_switch());
    EXPECT_EQ(events, (strings{"A.clean", "B.setup mind=999"}));
    EXPECT_EQ(main_state_prev, &state_a);
    EXPECT_EQ(main_state_curr, &state_b);
    EXPECT_EQ(main_state_next, nullptr);
    EXPECT_EQ(mind_time + body_time, 0);
    EXPECT_EQ(mind_step, 100);
    EXPECT_EQ(state_clock_now, 7000u);

    events.clear();
    ASSERT_TRUE(main_loop_switch()); // nothing requested: nothing happens
    EXPECT_TRUE(events.empty());
    main_state_next = &state_b; // the same state again is cleaned and set up anew
    ASSERT_TRUE(main_loop_switch());
    EXPECT_EQ(events, (strings{"B.clean", "B.setup mind=0"}));
}

// A failing setup, at start-up or at a switch, ends the run before any status line, and
// its own clean hook still runs at shut-down.
TEST_F(EntryTest, FailingSetupEndsTheRunAndStillCleansThatState)
{
    const struct {
        const main_state_hooks *first, *next;
        strings want;
    } cases[] = {
        {&state_a, &state_fail, {"A.setup", "A.clean", "F.setup", "F.clean"}},
        {&state_fail, &state_a, {"F.setup", "F.clean"}},
    };
    for (auto& c : cases) {
        events.clear();
        log_capture_start();
        main_state_next = c.next;
        EXPECT_EQ(main_loop_run(c.first), MAIN_EXIT_FAILED);
        EXPECT_EQ(events, c.want);
        EXPECT_EQ(LOGGED.status, "");
        EXPECT_EQ(LOGGED.error, "main_state subsystem hook failed to initialize,\n");
        EXPECT_EQ(main_state_prev, nullptr);
        EXPECT_EQ(main_state_curr, nullptr);
        EXPECT_EQ(main_state_next, nullptr);
    }
}

TEST_F(EntryTest, InputEdgesAreClearedButHeldFlagsAndAxesStay)
{
    input_state in, want;
    memset(&in, 1, sizeof in);
    memset(&want, 1, sizeof want);
    for (input_state* s : {&in, &want})
        for (input_player& p : s->players)
            p.leftright = p.updown = p.inout = -7;
    for (input_player& p : want.players)
        for (input_button* b : {&p.left, &p.right, &p.up, &p.down, &p.in, &p.out})
            *b = {1, 0, 0};
    want.grab = want.click = want.menu = {1, 0, 0};
    main_loop_clear_input(&in);
    EXPECT_EQ(memcmp(&in, &want, sizeof in), 0);
}

namespace {

// What the state sees at the start of its update: the click and the queued script's work.
void observing_update(uint32_t phase)
{
    if (phase == UPDATE_FRAME_BEGIN)
        events.push_back("update click=" + std::to_string(INPUT.click.held) + std::to_string(INPUT.click.pressed) +
                         " ran=" + lua_fixture_eval(CON.L, "ran"));
}
const main_state_hooks observer = {nullptr, nullptr, nullptr, observing_update, nullptr, nullptr};

} // namespace

// The frame's order as the road of a click needs it: last frame's edges are gone, this
// frame's device events have reached KEYS and the queued scripts have run before the state
// updates; the window messages are dispatched after it, at the end of the frame, every one
// of them also past a quit message.
TEST_F(EntryTest, AFrameReadsDevicesAndRunsScriptsBeforeTheUpdateAndPumpsLast)
{
    std::filesystem::create_directories("local/lua");
    harness_write_file("local/lua/startup.lua", "xlate = {onexit = function() end}\n");
    ASSERT_TRUE(con_setup(&CON));
    ASSERT_TRUE(con_dostring(&CON, "input[16][30] = function(v) KEYS.click(v) end"));
    plat_di8_reset_for_tests();
    ASSERT_TRUE(di_input_setup(&DI_INPUT, GetDesktopWindow()));
    INPUT = input_state();
    plat_set_msg_source(msg_script_source);
    plat_set_wndproc(wndproc);
    main_state_curr = &observer;
    reset_state_clocks(100);

    // Frame 1: a stale edge, a queued script, a message waiting; the devices get acquired.
    INPUT.click.pressed = 1;
    ASSERT_TRUE(con_thread_string(&CON, "ran = 1"));
    MSG_SCRIPT = {message(WM_MOUSEMOVE, WIN, 1)};
    fake_ms += 40;
    bool quit = false;
    ASSERT_TRUE(main_loop_frame(&quit));
    EXPECT_FALSE(quit);
    // Frame 2: a key bound to the click, buffered since the last pump; a quit among the messages.
    plat_di8_push_item(plat_di8_keyboard_source(), 30, 0x80);
    MSG_SCRIPT = {message(WM_MOUSEMOVE, WIN, 2), message(WM_QUIT, nullptr, 0), message(WM_CHAR, WIN, 3)};
    fake_ms += 40;
    ASSERT_TRUE(main_loop_frame(&quit));
    EXPECT_TRUE(quit);
    EXPECT_EQ(events, (strings{"update click=00 ran=1", "512:1", "update click=11 ran=1", "512:2", "258:3"}));

    di_input_clean(&DI_INPUT);
    con_clean(&CON);
    plat_di8_reset_for_tests();
    std::filesystem::remove("local/lua/startup.lua");
}

namespace {
// Like closing the window: WM_DESTROY posts the quit message while it is dispatched.
LRESULT closing_wndproc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    if (m == WM_DESTROY)
        PostQuitMessage(0);
    return wndproc(h, m, w, l);
}
} // namespace

// The quit posted while a message is dispatched is taken by the same pump, after the
// messages already queued; a pump that finds no quit answers false.
TEST_F(EntryTest, AQuitPostedWhileDispatchingIsTakenInTheSamePump)
{
    plat_set_msg_source(msg_script_source);
    plat_set_wndproc(closing_wndproc);
    const struct {
        std::vector<MSG> batch;
        bool quit;
        const char* want;
    } cases[] = {
        {{message(WM_DESTROY, WIN, 0), message(WM_PAINT, WIN, 4)}, true, "2:0 15:4 "},
        {{message(WM_PAINT, WIN, 5)}, false, "15:5 "},
    };
    for (auto& c : cases) {
        events.clear();
        MSG_SCRIPT = c.batch;
        EXPECT_EQ(main_loop_pump(), c.quit) << c.want;
        std::string got;
        for (auto& e : events)
            got += e + " ";
        EXPECT_EQ(got, c.want);
    }
}

// ---- the timing driver and run flags ----

namespace {

// The phases the driver delivers, as text: FB, MT, MA and FE, and B<body_step>.
std::string phases;
void record(uint32_t phase)
{
    if (phase == UPDATE_BODY_STEP)
        phases += "B" + std::to_string(body_step) + " ";
    else
        phases += phase == UPDATE_FRAME_BEGIN ? "FB " : phase == UPDATE_MIND_TICK ? "MT "
                : phase == UPDATE_MIND_AFTER  ? "MA " : phase == UPDATE_FRAME_END ? "FE " : "? ";
}
const main_state_hooks recorder = {nullptr, nullptr, nullptr, record, nullptr, nullptr};

// Advances the clock by ms and runs the driver; returns the phases it delivered.
std::string run(int64_t ms)
{
    phases.clear();
    fake_ms += ms;
    run_state_update();
    EXPECT_EQ(mind_time, body_time + until_tick);
    return phases;
}

} // namespace

// Worked by hand from the driver's rules. After a reset until_tick is 0, so 250 ms give a
// tick at once, then body 100 + tick twice (until_tick 0 -> 100 each time), then the last
// 50 ms: mind 300, body 250, until_tick 300 - 250 = 50. The later frames start from there:
// 50 ms reach the boundary exactly (body 50, tick, empty final step: until_tick 100);
// 180 ms are 50 + tick + 100 + tick + 30 (mind 500, body 430); 20 ms stay inside the tick.
TEST_F(EntryTest, DriverSplitsFramesAtTickBoundaries)
{
    const char* first = "FB MT MA B100 MT MA B100 MT MA B50 FE ";
    const struct {
        const char* name;
        int64_t start, ms; // clock at the reset; the frame after the 250 ms one (-1: none)
        const char* want;
        int32_t mind, body, until;
    } cases[] = {
        {"first frame after a reset ticks at once", 50000, -1, first, 300, 250, 50},
        // 16 ms before the 32-bit millisecond wrap: the wrapped difference is still 250.
        {"the millisecond clock wraps", 0xFFFFFFF0LL, -1, first, 300, 250, 50},
        {"exactly reaching the tick ends with an empty body step", 50000, 50, "FB B50 MT MA B0 FE ", 400, 300, 100},
        {"crossing two boundaries", 50000, 180, "FB B50 MT MA B100 MT MA B30 FE ", 500, 430, 70},
        {"within a tick", 50000, 20, "FB B20 FE ", 300, 270, 30},
        {"no time passed calls nothing", 50000, 0, "", 300, 250, 50},
    };
    main_state_curr = &recorder;
    for (auto& c : cases) {
        fake_ms = c.start;
        reset_state_clocks(100);
        std::string got = run(250);
        EXPECT_EQ(c.ms < 0 ? got : run(c.ms), c.want) << c.name;
        EXPECT_EQ(mind_time, c.mind) << c.name;
        EXPECT_EQ(body_time, c.body) << c.name;
        EXPECT_EQ(until_tick, c.until) << c.name;
        if (c.start != 50000) {
            EXPECT_EQ(state_clock_now, 234u) << "0xFFFFFFF0 + 250 wrapped";
        }
    }
}

TEST_F(EntryTest, RunFlagsSeeOnlyUpperCaseInTheFirstEightCharacters)
{
    const struct {
        const char* text;
        int want;
    } cases[] = {{"TC", 3}, {"tc", 0}, {"", 0}, {"xTxT", 1}, {"1234567C", 2}, {"12345678C", 0}};
    for (auto& c : cases)
        EXPECT_EQ(parse_run_flags(c.text), c.want) << c.text;
}

// ---- the status lines and the console's status flag ----

// Worked by hand from the three formats: FPS is 1000 / the TOTAL average (1000 / 33 = 30,
// 1000 / 3 = 333, 1000 / 1001 = 0), 1000 / 1 = 1000 capped at 999, and 0 while no average
// is published; %3d pads to three places and never cuts (DRAW 1234). GC is the
// Lua state's memory in use in kilobytes and GCT its collection threshold, the collector's
// default pause of 200 % making that twice the memory in use; without a Lua state both are 0.
TEST_F(EntryTest, StatusLinesShowTheCappedFrameRateTheTimesAndTheCounts)
{
    D3D_DBG.TOTAL.last = 12;
    D3D_DBG.CELLS.last = 3;
    D3D_DBG.DRAW.last = 1234;
    D3D_BUFFERS.dynavtx_count = 1;
    D3D_BUFFERS.vtx_count = 22;
    D3D_BUFFERS.idx_count = 3;
    D3D_BUFFERS.txt_count = 44;
    mem.bytes = 123456789;
    GFX.avatars.avatar_count = 5;
    GFX.avatars.soul_count = 6;
    GFX.xsxs.count = 33;
    GFX.xoxs.count = 7;
    const std::string counts = "dynavtxs=  1 vtxs= 22 idxs=  3 txts= 44 mem=123456789\n"
                               "avatars=  5 souls=  6 xsxs= 33 xoxs=  7\n";
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    const struct {
        int32_t average;
        bool lua;
        const char* fps;
    } cases[] = {{0, false, "  0"},   {1, false, "999"},  {2, false, "500"}, {3, true, "333"},
                 {33, false, " 30"},  {1000, true, "  1"}, {1001, false, "  0"}};
    for (auto& c : cases) {
        D3D_DBG.TOTAL.published_average = c.average;
        CON.L = c.lua ? L : nullptr;
        LOGGED.status.clear();
        main_loop_status();
        int kb = c.lua ? lua_gc(L, LUA_GCCOUNT, 0) : 0;
        std::string gc = "GC=" + std::to_string(kb) + "k GCT=" + std::to_string(2 * kb) + "k\n";
        EXPECT_EQ(LOGGED.status, std::string("FPS=") + c.fps + " TOTAL= 12 CELLS=  3 DRAW=1234 " + gc + counts)
            << c.average;
    }
    CON.L = nullptr;
    lua_close(L);
}

// Frames of 40 ms on the real TOTAL timer. The first frame's stop finds the timer never
// started and takes no sample; frames 2 to 12 take one each, and the eleventh sample (more
// than 10) publishes their average of 40 ms, so FPS reads 0 up to frame 11 and 1000 / 40 =
// 25 from frame 12. Every frame sends its three lines and sets the console's status flag
// from show_debug: hidden (1) while it is off, shown (0) while it is on.
TEST_F(EntryTest, FramesShowNoFrameRateBeforeTheFirstAverageAndShowDebugHidesTheStatus)
{
    CON = con_subsystem();
    for (timer* t : {&D3D_DBG.TOTAL, &D3D_DBG.CELLS, &D3D_DBG.DRAW})
        ASSERT_TRUE(timer_setup(t));
    plat_set_msg_source(msg_script_source);
    MSG_SCRIPT.clear();
    for (int frame = 1; frame <= 12; frame++) {
        bool show = frame % 3 != 0;
        OPT.show_debug = show;
        D3D_DBG.status_hidden = show ? 1 : 0;
        LOGGED.status.clear();
        fake_ms += 40;
        bool quit = false;
        ASSERT_TRUE(main_loop_frame(&quit));
        EXPECT_EQ(D3D_DBG.status_hidden, show ? 0 : 1) << frame;
        EXPECT_EQ(std::count(LOGGED.status.begin(), LOGGED.status.end(), '\n'), 3) << frame;
        std::string first = LOGGED.status.substr(0, LOGGED.status.find('\n') + 1);
        const char* want = frame == 1 ? "FPS=  0 TOTAL=  0 CELLS=  0 DRAW=  0 GC=0k GCT=0k\n"
                         : frame < 12 ? "FPS=  0 TOTAL= 40 CELLS=  0 DRAW=  0 GC=0k GCT=0k\n"
                                      : "FPS= 25 TOTAL= 40 CELLS=  0 DRAW=  0 GC=0k GCT=0k\n";
        EXPECT_EQ(first, want) << frame;
    }
}

// ---- the state requested at start-up ----

// The choice values of the options: 5, 6 and 7 name their states, everything else (the
// menu's own 4, 0 for an option never set, the window choices 1 to 3, values past the list,
// negative ones) requests the menu.
TEST_F(EntryTest, RequestedStateIsTheNamedOneOrElseTheMenu)
{
    const struct {
        int32_t choice;
        const main_state_hooks* want;
    } cases[] = {{5, &main_state_structor}, {6, &main_state_bud_test}, {7, &main_state_amaze},
                 {4, &main_state_menu},     {0, &main_state_menu},      {1, &main_state_menu},
                 {3, &main_state_menu},     {8, &main_state_menu},      {42, &main_state_menu},
                 {-1, &main_state_menu},    {INT32_MIN, &main_state_menu}};
    for (auto& c : cases) {
        main_state_next = nullptr;
        set_next_main_state(c.choice);
        EXPECT_EQ(main_state_next, c.want) << c.choice;
    }
}

namespace {

// Asked by the message pump at the end of every frame (and again while it empties the
// queue): at its first call notes the states as the first frame left them, and ends the run.
const main_state_hooks *first_prev, *first_curr;
int start_frames;
int note_first_frame(MSG*, int)
{
    if (++start_frames == 1) {
        first_prev = main_state_prev;
        first_curr = main_state_curr;
        PostQuitMessage(0);
    }
    return 0;
}

// The program on a staged game folder, on the real clock; the shell's records are put back
// afterwards.
struct StartState : ShellProgramRun {};

} // namespace

// The start-up script's start_state picks the state of the first frame: the menu set up at
// start is cleaned and the named state set up in that frame, the menu itself too (left and
// entered again). A choice that names no state, or no choice at all, means the menu.
TEST_F(StartState, TheFirstFrameEntersTheStateThatStartStateNames)
{
    const std::string startup = harness_read_file("local/lua/startup.lua");
    const std::string line = "opt.start_state(\"main_state_menu\")";
    ASSERT_NE(startup.find(line), std::string::npos);
    const struct {
        const char* line;
        const main_state_hooks* want;
    } cases[] = {
        {"opt.start_state(\"main_state_structor\")", &main_state_structor},
        {"opt.start_state(\"main_state_amaze\")", &main_state_amaze},
        {"opt.start_state(\"main_state_menu\")", &main_state_menu},
        {"opt.start_state(\"fullscreen\")", &main_state_menu},
        {"", &main_state_menu},
    };
    for (auto& c : cases) {
        std::string text = startup;
        text.replace(text.find(line), line.size(), c.line);
        harness_write_file("local/lua/startup.lua", text.c_str());
        std::remove("ERROR.TXT");
        first_prev = first_curr = nullptr;
        start_frames = 0;
        main_state_prev = nullptr;
        plat_set_msg_source(note_first_frame);
        EXPECT_EQ(dorvale_main(), 0) << c.line;
        plat_set_msg_source(nullptr);
        EXPECT_EQ(first_prev, &main_state_menu) << c.line;
        EXPECT_EQ(first_curr, c.want) << c.line;
        EXPECT_EQ(harness_read_file("ERROR.TXT"), "") << c.line;
    }
}
