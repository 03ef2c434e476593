// The application object APP: the window, the start and stop of every subsystem after the
// Lua environment, and the frame pacing.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct app {
    HWND window;          // the main window
    int32_t frame_period; // ms between frames, set by every state's setup
};

extern app APP;

bool app_setup(app* a);      // false after logging and cleaning up
void app_clean(app* a);
void app_wait_frame(app* a); // waits until the frame period has passed since the last frame
