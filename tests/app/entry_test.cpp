// The frame loop's own steps: state switch order, failing setups and their exit code, the
// message pump, clearing of input edges, the status lines and one frame's order.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/code/con.h"
#include "app/code/di_input.h"
#include "app/code/entry.h"
#include "app/code/input.h"
#include "engine/code/dbg.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/mem.h"
#include "engine/code/safelua.h"
#include "platform/dinput8.h"
#include "platform/plat_core.h"
#include "platform/plat_msg.h"
#include "platform/plat_window.h"
#include "tests/harness/harness.h"
#include "tests/harness/log_capture.h"
#include "tests/harness/msg_script.h"

namespace {

std::vector<std::string> events;
int64_t fake_ms;
int64_t fake_clock() { return fake_ms; }

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
using strings = std::vector<std::string>;

struct EntryTest : testing::Test {
    void SetUp() override
    {
        events.clear();
        log_capture_start();
        fake_ms = 7000;
        plat_set_clock(fake_clock, 1000);
        main_state_prev = main_state_curr = main_state_next = nullptr;
    }
    void TearDown() override
    {
        plat_set_clock(nullptr, 0);
        plat_set_msg_source(nullptr);
        plat_set_wndproc(nullptr);
        log_capture_stop();
        main_state_prev = main_state_curr = main_state_next = nullptr;
    }
};

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

namespace {
HWND const WIN = (HWND)0x2000;
// A window procedure that, like closing the window, posts the quit message on WM_DESTROY.
LRESULT wndproc(HWND h, UINT m, WPARAM, LPARAM l)
{
    events.push_back(std::to_string(m) + ":" + std::to_string(l));
    if (m == WM_DESTROY)
        PostQuitMessage(0);
    return 0;
}
MSG message(UINT m, HWND h, LPARAM l)
{
    MSG x{};
    x.hwnd = h;
    x.message = m;
    x.lParam = l;
    return x;
}
} // namespace

TEST_F(EntryTest, QuitInTheMiddleOfABatchStillDispatchesTheRest)
{
    plat_set_msg_source(msg_script_source);
    plat_set_wndproc(wndproc);
    MSG_SCRIPT = {message(WM_MOUSEMOVE, WIN, 1), message(WM_QUIT, nullptr, 0), message(WM_MOUSEMOVE, WIN, 2),
                  message(WM_CHAR, WIN, 3)};
    EXPECT_TRUE(main_loop_pump());
    EXPECT_EQ(events, (strings{"512:1", "512:2", "258:3"}));

    // A quit posted by the window procedure is taken in the same pump.
    events.clear();
    MSG_SCRIPT = {message(WM_DESTROY, WIN, 0), message(WM_PAINT, WIN, 4)};
    EXPECT_TRUE(main_loop_pump());
    EXPECT_EQ(events, (strings{"2:0", "15:4"}));

    MSG_SCRIPT = {message(WM_PAINT, WIN, 5)};
    EXPECT_FALSE(main_loop_pump());
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

// FPS is 1000 over the TOTAL timer's published average (0 while there is none, at most
// 999); the other fields are the timers' last samples and the live counts.
TEST_F(EntryTest, StatusLinesShowTheRateTheTimesAndTheCounts)
{
    D3D_DBG.TOTAL.last = 12;
    D3D_DBG.CELLS.last = 34;
    D3D_DBG.DRAW.last = 56;
    D3D_BUFFERS.dynavtx_count = 1;
    D3D_BUFFERS.vtx_count = 2;
    D3D_BUFFERS.idx_count = 3;
    D3D_BUFFERS.txt_count = 4;
    GFX.avatars.avatar_count = 5;
    GFX.avatars.soul_count = 6;
    GFX.xsxs.count = 7;
    GFX.xoxs.count = 8;
    const struct {
        int32_t average;
        const char* fps;
    } cases[] = {{0, "  0"}, {20, " 50"}, {3, "333"}, {1, "999"}};
    for (auto& c : cases) {
        D3D_DBG.TOTAL.published_average = c.average;
        LOGGED.status.clear();
        main_loop_status();
        EXPECT_EQ(LOGGED.status, std::string("FPS=") + c.fps + " TOTAL= 12 CELLS= 34 DRAW= 56 GC=0k GCT=0k\n" +
                                     "dynavtxs=  1 vtxs=  2 idxs=  3 txts=  4 mem=" + std::to_string(mem.bytes) +
                                     "\navatars=  5 souls=  6 xsxs=  7 xoxs=  8\n");
    }
}

namespace {

// What the state sees at the start of its update: the click, the queued script's work, and
// whether this frame's window messages were dispatched already.
void observing_update(uint32_t phase)
{
    if (phase != UPDATE_FRAME_BEGIN)
        return;
    lua_getglobal(CON.L, "ran");
    std::string ran = lua_isnumber(CON.L, -1) ? std::to_string((int)lua_tonumber(CON.L, -1)) : "nil";
    lua_pop(CON.L, 1);
    events.push_back("update click=" + std::to_string(INPUT.click.held) + std::to_string(INPUT.click.pressed) +
                     " ran=" + ran);
}
const main_state_hooks observer = {nullptr, nullptr, nullptr, observing_update, nullptr, nullptr};

} // namespace

// The frame's order as the road of a click needs it: last frame's edges are gone, this
// frame's device events have reached KEYS and the queued scripts have run before the state
// updates; the window messages are dispatched after it, at the end of the frame.
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
    // Frame 2: a key bound to the click, buffered since the last pump.
    plat_di8_push_item(plat_di8_keyboard_source(), 30, 0x80);
    MSG_SCRIPT = {message(WM_MOUSEMOVE, WIN, 2)};
    fake_ms += 40;
    ASSERT_TRUE(main_loop_frame(&quit));
    EXPECT_FALSE(quit);
    EXPECT_EQ(events, (strings{"update click=00 ran=1", "512:1", "update click=11 ran=1", "512:2"}));

    di_input_clean(&DI_INPUT);
    con_clean(&CON);
    plat_di8_reset_for_tests();
    std::filesystem::remove("local/lua/startup.lua");
}
