// The application object: start-up order and its failures, shut-down order, the window
// procedure, and frame pacing against an injected clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/code/app.h"
#include "app/code/hud/hud.h"
#include "app/code/opt.h"
#include "engine/code/gfx/gfx.h"
#include "platform/plat_core.h"
#include "platform/plat_msg.h"
#include "tests/app/shell_globals_fixture.h"
#include "tests/harness/log_capture.h"

namespace {

std::vector<std::string> calls;
std::string failing; // the step that reports failure
HWND input_window;
std::vector<std::pair<int32_t, int32_t>> pointer;

bool step(const char* name)
{
    calls.push_back(name);
    return failing != name;
}

const app_hooks recording = {
    [] { step("image"); },
    [] { return step("files"); },
    [] { return step("journals"); },
    [](HWND w) { input_window = w; return step("di_input"); },
    [] { return step("gfx"); },
    [] { return step("sfx"); },
    [] { return step("con_post"); },
    [] { return step("begin"); },
    [] { step("end"); },
    [] { return step("hud"); },
    [] { step("~con"); },
    [] { step("~hud"); },
    [] { step("~sfx"); },
    [] { step("~gfx"); },
    [] { step("~di_input"); },
    [] { step("~journals"); },
    [] { step("~files"); },
    [](uint32_t vk) { calls.push_back("key " + std::to_string(vk)); },
    [](uint32_t c) { calls.push_back("char " + std::to_string(c)); },
    [](int32_t x, int32_t y) { pointer.push_back({x, y}); },
};

const std::vector<std::string> clean_order = {"~con", "~hud", "~sfx", "~gfx", "~di_input", "~journals", "~files"};

LPARAM pos(int x, int y) { return (LPARAM)(DWORD)(((DWORD)x & 0xFFFF) | (((DWORD)y & 0xFFFF) << 16)); }
hudgizmo* const MASTER = (hudgizmo*)0x1000;
hudgizmo* const OTHER = (hudgizmo*)0x2000;

struct App : ::testing::Test {
    shell_globals* saved = nullptr;
    void SetUp() override
    {
        saved = shell_globals_save();
        APP = app();
        HUD = hud_subsystem();
        app_set_hooks(&recording);
        log_capture_start();
        plat_msg_setup();
    }
    void TearDown() override
    {
        app_clean(&APP);
        app_set_hooks(nullptr);
        log_capture_stop();
        plat_msg_clean();
        shell_globals_restore(saved);
        saved = nullptr;
    }
};

} // namespace

// Start-up runs the steps in order; a failing step logs its message and every clean runs,
// in the reverse order, whatever had started. Sound and a failed first frame only go on.
TEST_F(App, StartsInOrderAndEachFailureLogsAndCleansEverything)
{
    const std::vector<std::string> order = {"image", "files", "journals", "di_input", "gfx", "sfx", "con_post",
                                            "begin", "end", "hud"};
    const struct {
        const char* step;
        bool ok;
        const char* message;
        size_t steps_run; // of `order`, before the cleans of a failure
    } cases[] = {
        {"", true, "", 10},
        {"sfx", true, "SFX subsystem failed to initialize,\n", 10},
        {"begin", true, "", 10},
        {"duplicate", false, "Couldn't get handle on current process,\n", 0},
        {"files", false, "FILES subsystem failed to initialize,\n", 2},
        {"journals", false, "JOURNALS subsystem failed to initialize,\n", 3},
        {"di_input", false, "DI_INPUT subsystem failed to initialize,\n", 4},
        {"gfx", false, "GFX subsystem failed to initialize,\n", 5},
        {"con_post", false, "CON subsystem failed to postinitialize,\n", 7},
        {"hud", false, "HUD subsystem failed to initialize,\n", 10},
    };
    for (auto& c : cases) {
        app_clean(&APP); // also after a failed start, and twice
        calls.clear();
        LOGGED.error.clear();
        failing = c.step;
        if (failing == "duplicate")
            plat_window_fail_next_duplicate();
        EXPECT_EQ(app_setup(&APP), c.ok) << c.step;
        EXPECT_EQ(LOGGED.error, c.message) << c.step;
        std::vector<std::string> want(order.begin(), order.begin() + c.steps_run);
        if (!c.ok)
            want.insert(want.end(), clean_order.begin(), clean_order.end());
        EXPECT_EQ(calls, want) << c.step;
        EXPECT_EQ(plat_window_class_registered(APP_CLASS_NAME), c.ok) << c.step;
        EXPECT_EQ(APP.process != nullptr, c.ok) << c.step;
        if (c.ok) {
            EXPECT_EQ(plat_window_proc(APP.window), app_wndproc);
            EXPECT_EQ(input_window, APP.window);
        }
    }
    calls.clear();
    app_clean(&APP);
    EXPECT_EQ(calls, clean_order);
    EXPECT_EQ(APP.window, nullptr);
}

// Setup keeps the program's path (no console window has it as its title here), the
// counter's frequency and its value at setup as the last frame, and the 33 ms period that
// the first frames are paced to before a state sets its own.
TEST_F(App, SetupKeepsThePathTheClockAndAThirtyThreeMillisecondPeriod)
{
    failing.clear();
    APP.frame_period = 10;
    ASSERT_TRUE(app_setup(&APP));
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    EXPECT_NE(APP.path[0], 0);
    EXPECT_EQ(APP.console_window, nullptr);
    EXPECT_EQ(APP.frequency, frequency.QuadPart);
    EXPECT_GT(APP.last_frame, 0);
    EXPECT_LE(APP.last_frame, now.QuadPart);
    EXPECT_EQ(APP.frame_period, 33);
}

// Each message from a known state (console on or off, master and shown menus); the outcome
// summarised as what the console got, the displayed menu, the resize flag, the pointer and
// whether a quit was posted.
TEST_F(App, WindowProcedureHandsEachMessageOn)
{
    const struct {
        UINT msg;
        WPARAM w;
        LPARAM l;
        bool debug;
        hudgizmo *master, *shown;
        const char* want;
    } cases[] = {
        // Escape toggles the master menu, hides any shown menu, and never reaches the console.
        {WM_KEYDOWN, VK_ESCAPE, 0, true, nullptr, nullptr, "menu=none"},
        {WM_KEYDOWN, VK_ESCAPE, 0, true, MASTER, nullptr, "menu=master"},
        {WM_KEYDOWN, VK_ESCAPE, 0, true, MASTER, MASTER, "menu=none"},
        {WM_KEYDOWN, VK_ESCAPE, 0, false, MASTER, OTHER, "menu=none"},
        // Keys and characters reach the console only while it is on.
        {WM_KEYDOWN, VK_LEFT, 0, true, nullptr, nullptr, "key 37 menu=none"},
        {WM_CHAR, 96, 0, true, nullptr, nullptr, "char 96 menu=none"},
        {WM_KEYDOWN, VK_LEFT, 0, false, nullptr, nullptr, "menu=none"},
        {WM_CHAR, 13, 0, false, nullptr, nullptr, "menu=none"},
        // Minimising keeps the device, restoring resets it.
        {WM_SIZE, SIZE_MINIMIZED, 0, false, nullptr, nullptr, "menu=none"},
        {WM_SIZE, SIZE_RESTORED, pos(800, 600), false, nullptr, nullptr, "menu=none resize"},
        // A pointer left of and above the window stays negative; closing quits.
        {WM_MOUSEMOVE, 0, pos(-3, -40), false, nullptr, nullptr, "menu=none pointer -3,-40"},
        {WM_DESTROY, 0, 0, false, nullptr, nullptr, "menu=none quit"},
    };
    for (auto& c : cases) {
        calls.clear();
        pointer.clear();
        GFX.d3d_gfx.resize_flag = 0;
        OPT.show_debug = c.debug;
        HUD.master_menu = c.master;
        HUD.displayed_menu = c.shown;
        app_wndproc(nullptr, c.msg, c.w, c.l);
        std::string got;
        for (auto& call : calls)
            got += call + " ";
        got += HUD.displayed_menu == MASTER ? "menu=master" : HUD.displayed_menu ? "menu=other" : "menu=none";
        if (GFX.d3d_gfx.resize_flag)
            got += " resize";
        for (auto& p : pointer)
            got += " pointer " + std::to_string(p.first) + "," + std::to_string(p.second);
        MSG m;
        if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE) && m.message == WM_QUIT && m.wParam == 0)
            got += " quit";
        EXPECT_EQ(got, c.want) << &c - cases;
    }
}

// Each frame: the period, the work done since the last wait ended, and the 1 ms waits that
// are then needed to fill the period (none when the work took longer). The next period
// always counts from the end of the wait.
TEST(Pacing, FramesWaitInMillisecondStepsForTheRestOfThePeriodAndLongOnesNotAtAll)
{
    static int64_t now_ns = 5000000000;
    static int waits;
    const app before = APP;
    plat_set_clock([] { return now_ns; }, 1000000000);
    plat_set_sleep([](DWORD ms) {
        waits++;
        now_ns += (int64_t)ms * 1000000;
    });
    APP = app();
    APP.frequency = 1000000000;
    APP.last_frame = now_ns;
    const struct {
        int32_t period;
        int64_t work_ms;
        int waits;
    } frames[] = {{33, 0, 33}, {33, 30, 3}, {33, 50, 0}, {10, 25, 0}, {10, 4, 6}};
    for (auto& f : frames) {
        APP.frame_period = f.period;
        waits = 0;
        now_ns += f.work_ms * 1000000;
        app_wait_frame(&APP);
        EXPECT_EQ(waits, f.waits) << f.period << " " << f.work_ms;
        EXPECT_EQ(APP.last_frame, now_ns);
    }
    plat_set_clock(nullptr, 0);
    plat_set_sleep(nullptr);
    APP = before;
}
