// The message queue: quit from SDL, from signals and posted; peeking, taking and dispatching
// in order.
#include <gtest/gtest.h>

#include <SDL.h>
#include <csignal>
#include <vector>

#include "platform/plat_msg.h"
#include "tests/harness/msg_script.h"

namespace {

HWND const WIN = (HWND)0x1000;
std::vector<UINT> seen;
LRESULT proc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    EXPECT_EQ(h, WIN);
    seen.push_back(m);
    return 5;
}

MSG msg(UINT m, HWND h = WIN)
{
    MSG x{};
    x.hwnd = h;
    x.message = m;
    return x;
}

struct PlatMsgTest : testing::Test {
    void SetUp() override
    {
        plat_msg_setup();
        seen.clear();
        MSG_SCRIPT.clear();
        plat_set_wndproc(proc);
    }
    void TearDown() override
    {
        plat_set_msg_source(nullptr);
        plat_set_wndproc(nullptr);
        plat_msg_clean();
    }
};

} // namespace

TEST_F(PlatMsgTest, PostedQuitIsPeekedThenTakenWithItsCode)
{
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    PostQuitMessage(3);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE)); // still there
    EXPECT_EQ(m.message, (UINT)WM_QUIT);
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), 0);
    EXPECT_EQ(m.wParam, (WPARAM)3);
    EXPECT_EQ(m.hwnd, nullptr);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(PlatMsgTest, MessagesKeepTheirOrderAndReachTheWindowProcedure)
{
    plat_set_msg_source(msg_script_source);
    MSG_SCRIPT = {msg(WM_KEYDOWN), msg(WM_QUIT, nullptr), msg(WM_CHAR)};
    MSG m;
    std::vector<BOOL> results;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE)) {
        results.push_back(GetMessageA(&m, nullptr, 0, 0));
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    EXPECT_EQ(results, (std::vector<BOOL>{TRUE, FALSE, TRUE}));
    // The quit message has no window and reaches no procedure.
    EXPECT_EQ(seen, (std::vector<UINT>{WM_KEYDOWN, WM_CHAR}));
    EXPECT_EQ(DispatchMessageA(&(m = msg(WM_PAINT))), 5);
}

// Closing through SDL, Ctrl-C and SIGTERM all end the frame loop the same way, one quit each.
TEST(PlatMsg, SdlQuitAndInterruptAndTerminateSignalsBecomeTheQuitMessage)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    SDL_Event ev{};
    ev.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&ev), 1);
    for (int sig : {0, SIGINT, SIGTERM}) {
        plat_msg_setup();
        if (sig) {
            ASSERT_EQ(raise(sig), 0);
        }
        MSG m;
        ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) << sig;
        EXPECT_EQ(m.message, (UINT)WM_QUIT) << sig;
        EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) << sig;
    }
    plat_msg_clean();
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}
