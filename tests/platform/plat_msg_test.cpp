// The message queue: quit from SDL and from signals. (Posting, peeking, taking and
// dispatching in order are driven by the frame loop's and the window procedure's tests.)
#include <gtest/gtest.h>

#include <SDL.h>
#include <csignal>

#include "platform/plat_msg.h"

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
