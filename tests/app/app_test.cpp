// The application object: start-up order and its failures, shut-down order, the window
// procedure, and frame pacing against an injected clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/code/app.h"
#include "app/code/hud/hud.h"
#include "app/code/opt.h"
#include "engine/code/dbg.h"
#include "engine/code/gfx/gfx.h"
#include "platform/plat_core.h"
#include "platform/plat_msg.h"
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

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct App : ::testing::Test {
    void SetUp() override
    {
        calls.clear();
        failing.clear();
        pointer.clear();
        input_window = nullptr;
        APP = app();
        HUD = hud_subsystem();
        GFX.d3d_gfx.resize_flag = 0;
        OPT.show_debug = false;
        OPT.window_startup = 0;
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
    }
};

} // namespace

TEST_F(App, StartsEverythingInOrderAndStopsInTheReverseOrder)
{
    ASSERT_TRUE(app_setup(&APP));
    EXPECT_EQ(calls, (std::vector<std::string>{"image", "files", "journals", "di_input", "gfx", "sfx", "con_post",
                                               "begin", "end", "hud"}));
    EXPECT_EQ(LOGGED.error, "");
    EXPECT_NE(APP.window, nullptr);
    EXPECT_EQ(input_window, APP.window);
    EXPECT_NE(APP.process, nullptr);
    EXPECT_EQ(APP.console_window, nullptr);
    EXPECT_NE(APP.path[0], 0);
    EXPECT_EQ(APP.frame_period, 33);
    EXPECT_GT(APP.frequency, 0);
    EXPECT_TRUE(plat_window_class_registered(APP_CLASS_NAME));
    EXPECT_EQ(plat_window_proc(APP.window), app_wndproc);

    calls.clear();
    app_clean(&APP);
    EXPECT_EQ(calls, clean_order);
    EXPECT_FALSE(plat_window_class_registered(APP_CLASS_NAME));
    EXPECT_EQ(APP.process, nullptr);
    EXPECT_EQ(APP.window, nullptr);

    // Cleaning again is harmless, and the application can start once more.
    app_clean(&APP);
    calls.clear();
    EXPECT_TRUE(app_setup(&APP));
    EXPECT_NE(APP.window, nullptr);
}

TEST_F(App, EachFailureLogsItsMessageAndCleansEverything)
{
    struct failure {
        const char* step;
        const char* message;
    };
    const failure failures[] = {
        {"files", "FILES subsystem failed to initialize,\n"},
        {"journals", "JOURNALS subsystem failed to initialize,\n"},
        {"di_input", "DI_INPUT subsystem failed to initialize,\n"},
        {"gfx", "GFX subsystem failed to initialize,\n"},
        {"con_post", "CON subsystem failed to postinitialize,\n"},
        {"hud", "HUD subsystem failed to initialize,\n"},
    };
    const std::vector<std::string> order = {"image", "files", "journals", "di_input", "gfx", "sfx", "con_post",
                                            "begin", "end", "hud"};
    for (const failure& f : failures) {
        calls.clear();
        LOGGED.error.clear();
        failing = f.step;
        EXPECT_FALSE(app_setup(&APP)) << f.step;
        EXPECT_EQ(LOGGED.error, f.message);
        size_t reached = 0;
        while (order[reached] != f.step)
            reached++;
        std::vector<std::string> want(order.begin(), order.begin() + reached + 1);
        EXPECT_EQ(calls, concat(want, clean_order)) << f.step;
        EXPECT_FALSE(plat_window_class_registered(APP_CLASS_NAME)) << f.step;
        EXPECT_EQ(APP.process, nullptr);
    }
}

TEST_F(App, SoundFailureOnlyLogsAndAFailedBeginStillEnds)
{
    failing = "sfx";
    EXPECT_TRUE(app_setup(&APP));
    EXPECT_EQ(LOGGED.error, "SFX subsystem failed to initialize,\n");
    EXPECT_EQ(calls.back(), "hud");
    app_clean(&APP);

    calls.clear();
    failing = "begin";
    EXPECT_TRUE(app_setup(&APP));
    EXPECT_EQ(std::vector<std::string>(calls.end() - 3, calls.end()), (std::vector<std::string>{"begin", "end", "hud"}));
}

TEST_F(App, NoProcessHandleEndsStartUpBeforeAnySubsystem)
{
    plat_window_fail_next_duplicate();
    EXPECT_FALSE(app_setup(&APP));
    EXPECT_EQ(LOGGED.error, "Couldn't get handle on current process,\n");
    EXPECT_EQ(calls, clean_order);
}

TEST_F(App, EscapeTogglesTheMasterMenuOnlyWhenOneExists)
{
    hudgizmo* master = (hudgizmo*)0x1000;
    hudgizmo* other = (hudgizmo*)0x2000;
    OPT.show_debug = true;
    app_wndproc(nullptr, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(HUD.displayed_menu, nullptr);

    HUD.master_menu = master;
    app_wndproc(nullptr, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(HUD.displayed_menu, master);
    app_wndproc(nullptr, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(HUD.displayed_menu, nullptr);
    HUD.displayed_menu = other; // any shown menu is hidden
    app_wndproc(nullptr, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(HUD.displayed_menu, nullptr);
    EXPECT_TRUE(calls.empty()); // Escape never reaches the console
}

TEST_F(App, KeysAndCharactersReachTheConsoleOnlyWhileItIsOn)
{
    app_wndproc(nullptr, WM_KEYDOWN, VK_LEFT, 0);
    app_wndproc(nullptr, WM_CHAR, 96, 0);
    EXPECT_TRUE(calls.empty());
    OPT.show_debug = true;
    app_wndproc(nullptr, WM_KEYDOWN, VK_LEFT, 0);
    app_wndproc(nullptr, WM_CHAR, 96, 0);
    app_wndproc(nullptr, WM_CHAR, 13, 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"key 37", "char 96", "char 13"}));
}

TEST_F(App, WindowMessagesResetTheDeviceKeepNegativePointersAndQuitOnClose)
{
    // Minimising leaves the device alone; restoring or maximising resets it.
    app_wndproc(nullptr, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(GFX.d3d_gfx.resize_flag, 0);
    app_wndproc(nullptr, WM_SIZE, SIZE_RESTORED, 800 | (600 << 16));
    EXPECT_EQ(GFX.d3d_gfx.resize_flag, 1);
    GFX.d3d_gfx.resize_flag = 0;
    app_wndproc(nullptr, WM_SIZE, SIZE_MAXIMIZED, 0);
    EXPECT_EQ(GFX.d3d_gfx.resize_flag, 1);

    // Positions left of and above the window stay negative.
    auto pos = [](int x, int y) { return (LPARAM)(DWORD)(((DWORD)x & 0xFFFF) | (((DWORD)y & 0xFFFF) << 16)); };
    app_wndproc(nullptr, WM_MOUSEMOVE, 0, pos(-3, -40));
    app_wndproc(nullptr, WM_MOUSEMOVE, 0, pos(799, 599));
    EXPECT_EQ(pointer, (std::vector<std::pair<int32_t, int32_t>>{{-3, -40}, {799, 599}}));

    EXPECT_EQ(app_wndproc(nullptr, WM_DESTROY, 0, 0), 0);
    EXPECT_EQ(app_wndproc(nullptr, WM_PAINT, 0, 0), 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, (UINT)WM_QUIT);
    EXPECT_EQ(m.wParam, 0u);
}

namespace {

int64_t now_ns;
int waits;
int64_t fake_clock(void) { return now_ns; }
void fake_sleep(DWORD ms)
{
    waits++;
    now_ns += (int64_t)ms * 1000000;
}

struct Pacing : ::testing::Test {
    void SetUp() override
    {
        now_ns = 5000000000;
        waits = 0;
        plat_set_clock(fake_clock, 1000000000);
        plat_set_sleep(fake_sleep);
        APP = app();
        APP.frequency = 1000000000;
    }
    void TearDown() override
    {
        plat_set_clock(nullptr, 0);
        plat_set_sleep(nullptr);
    }
};

} // namespace

TEST_F(Pacing, FramesWaitInMillisecondStepsForTheRestOfThePeriodAndLongOnesNotAtAll)
{
    APP.frame_period = 33;
    APP.last_frame = now_ns;
    int64_t start = now_ns;
    app_wait_frame(&APP);
    EXPECT_EQ(waits, 33);
    EXPECT_EQ(APP.last_frame, start + 33000000);

    // A frame that used 30 of its 33 ms waits the rest.
    waits = 0;
    now_ns += 30000000;
    app_wait_frame(&APP);
    EXPECT_EQ(waits, 3);

    // A long frame does not wait, and the next counts from now.
    waits = 0;
    now_ns += 50000000;
    app_wait_frame(&APP);
    EXPECT_EQ(waits, 0);
    EXPECT_EQ(APP.last_frame, now_ns);
}
