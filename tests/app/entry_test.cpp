// The frame loop's own steps: state switch order, failing setups and their exit code, the
// message pump, clearing of input edges, the status lines and the Lua start-up failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/code/con.h"
#include "app/code/di_input.h"
#include "app/code/entry.h"
#include "app/code/input.h"
#include "engine/code/dbg.h"
#include "engine/code/gfx/d3d_dbg.h"
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

// Fake states whose hooks record their calls (with mind_time at setup, to see that the
// clocks are reset only after the setup).
bool a_setup(gfx*) { events.push_back("A.setup mind=" + std::to_string(mind_time)); return true; }
void a_clean() { events.push_back("A.clean"); }
bool b_setup(gfx*) { events.push_back("B.setup mind=" + std::to_string(mind_time)); return true; }
void b_clean() { events.push_back("B.clean"); }
bool f_setup(gfx*) { events.push_back("F.setup"); return false; }
void f_clean() { events.push_back("F.clean"); }

const main_state_hooks state_a = {a_setup, nullptr, a_clean, nullptr, nullptr, nullptr};
const main_state_hooks state_b = {b_setup, nullptr, b_clean, nullptr, nullptr, nullptr};
const main_state_hooks state_fail = {f_setup, nullptr, f_clean, nullptr, nullptr, nullptr};

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
    mind_time = 999;
    body_time = 999;
    until_tick = 0;
    ASSERT_TRUE(main_loop_switch());
    EXPECT_EQ(events, (std::vector<std::string>{"A.clean", "B.setup mind=999"}));
    EXPECT_EQ(main_state_prev, &state_a);
    EXPECT_EQ(main_state_curr, &state_b);
    EXPECT_EQ(main_state_next, nullptr);
    EXPECT_EQ(mind_time, 0);
    EXPECT_EQ(body_time, 0);
    EXPECT_EQ(mind_step, 100);
    EXPECT_EQ(state_clock_now, 7000u);

    // Nothing requested: nothing happens.
    events.clear();
    ASSERT_TRUE(main_loop_switch());
    EXPECT_TRUE(events.empty());

    // The same state again is cleaned and set up anew.
    main_state_next = &state_b;
    ASSERT_TRUE(main_loop_switch());
    EXPECT_EQ(events, (std::vector<std::string>{"B.clean", "B.setup mind=0"}));
    EXPECT_EQ(main_state_curr, &state_b);
}

TEST_F(EntryTest, FailingSetupAtASwitchEndsTheLoopBeforeAnyStatusLine)
{
    main_state_next = &state_fail;
    EXPECT_EQ(main_loop_run(&state_a), MAIN_EXIT_FAILED);
    EXPECT_EQ(events, (std::vector<std::string>{"A.setup mind=" + std::to_string(mind_time), "A.clean",
                                                "F.setup", "F.clean"}));
    EXPECT_EQ(LOGGED.status, "");
    EXPECT_EQ(harness_read_file("ERROR.TXT"), "main_state subsystem hook failed to initialize,\n");
    EXPECT_EQ(main_state_prev, nullptr);
    EXPECT_EQ(main_state_curr, nullptr);
    EXPECT_EQ(main_state_next, nullptr);
}

TEST_F(EntryTest, FailingFirstSetupSkipsTheLoopAndStillCleans)
{
    main_state_next = &state_a; // would be entered on the first frame
    EXPECT_EQ(main_loop_run(&state_fail), MAIN_EXIT_FAILED);
    EXPECT_EQ(events, (std::vector<std::string>{"F.setup", "F.clean"}));
    EXPECT_EQ(harness_read_file("ERROR.TXT"), "main_state subsystem hook failed to initialize,\n");
    EXPECT_EQ(main_state_next, nullptr);
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
    EXPECT_EQ(events, (std::vector<std::string>{"512:1", "512:2", "258:3"}));

    // A quit posted by the window procedure is taken in the same pump.
    events.clear();
    MSG_SCRIPT = {message(WM_DESTROY, WIN, 0), message(WM_PAINT, WIN, 4)};
    EXPECT_TRUE(main_loop_pump());
    EXPECT_EQ(events, (std::vector<std::string>{"2:0", "15:4"}));

    MSG_SCRIPT = {message(WM_PAINT, WIN, 5)};
    EXPECT_FALSE(main_loop_pump());
}

TEST_F(EntryTest, InputEdgesAreClearedButHeldFlagsAndAxesStay)
{
    input_state in;
    memset(&in, 1, sizeof(in));
    input_player* blocks[5] = {&in.players[0], &in.players[1], &in.players[2], &in.players[3], &in.players[4]};
    for (input_player* p : blocks)
        p->leftright = p->updown = p->inout = -7;
    main_loop_clear_input(&in);
    for (input_player* pp : blocks) {
        input_player& p = *pp;
        for (input_button* b : {&p.left, &p.right, &p.up, &p.down, &p.in, &p.out}) {
            EXPECT_EQ(b->held, 1);
            EXPECT_EQ(b->pressed, 0);
            EXPECT_EQ(b->released, 0);
        }
        EXPECT_EQ(p.leftright, -7);
        EXPECT_EQ(p.updown, -7);
        EXPECT_EQ(p.inout, -7);
    }
    for (input_button* b : {&in.grab, &in.click, &in.menu}) {
        EXPECT_EQ(b->held, 1);
        EXPECT_EQ(b->pressed, 0);
        EXPECT_EQ(b->released, 0);
    }
}

TEST_F(EntryTest, StatusLinesShowTheFrameRateOnceTheTotalTimerPublishes)
{
    timer_setup(&D3D_DBG.TOTAL);
    timer_setup(&D3D_DBG.CELLS);
    timer_setup(&D3D_DBG.DRAW);
    // The first frame's stop finds the timer never started: no sample.
    timer_stop(&D3D_DBG.TOTAL);
    EXPECT_EQ(D3D_DBG.TOTAL.sample_count, 0);

    uint32_t heap = mem.bytes;
    main_loop_status();
    std::string lines = LOGGED.status;
    EXPECT_EQ(lines.substr(0, lines.find('\n') + 1), "FPS=  0 TOTAL=  0 CELLS=  0 DRAW=  0 GC=0k GCT=0k\n");
    EXPECT_NE(lines.find("mem=" + std::to_string(heap) + "\n"), std::string::npos);
    EXPECT_NE(lines.find("avatars="), std::string::npos);

    // Frames of 20 ms: FPS stays 0 for ten samples, the 11th publishes 50.
    for (int i = 0; i < 11; i++) {
        timer_start(&D3D_DBG.TOTAL);
        fake_ms += 20;
        timer_stop(&D3D_DBG.TOTAL);
        LOGGED.status.clear();
        main_loop_status();
        EXPECT_EQ(LOGGED.status.substr(0, 8), i < 10 ? "FPS=  0 " : "FPS= 50 ") << i;
    }
    D3D_DBG.TOTAL.published_average = 1; // 1000 fps is shown as 999
    LOGGED.status.clear();
    main_loop_status();
    EXPECT_EQ(LOGGED.status.substr(0, 8), "FPS=999 ");
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
    EXPECT_EQ(events, (std::vector<std::string>{"update click=00 ran=1", "512:1", "update click=11 ran=1", "512:2"}));

    di_input_clean(&DI_INPUT);
    con_clean(&CON);
    plat_di8_reset_for_tests();
    std::filesystem::remove("local/lua/startup.lua");
}
