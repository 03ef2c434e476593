// The application object APP: the window and its procedure, the start and stop of every
// subsystem after the Lua environment, and the frame pacing.
#pragma once

#include <cstdint>

#include "platform/plat_window.h"

struct app {
    char path[260];         // the program's own file path
    HANDLE process;         // waited on for 1 ms at a time by the pacing; never signalled
    WNDCLASSEXA wc;         // the class registered at setup
    HWND window;            // the main window
    HWND console_window;    // NULL: there is no console window to find
    HINSTANCE module;
    int64_t frequency;      // counter ticks per second
    int64_t last_frame;     // counter at the end of the last pacing wait
    int32_t frame_period;   // ms between frames, set by every state's setup
};

extern app APP;

#define APP_CLASS_NAME "QEM:Dorvale20050819v2"

bool app_setup(app* a);      // false after logging and cleaning up
void app_clean(app* a);      // every step runs; safe after a failed setup and twice
bool app_reset(app* a);
void app_wait_frame(app* a); // waits until the frame period has passed since the last frame
LRESULT app_wndproc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);

// The subsystem calls of app_setup and app_clean, in one table so tests can record them
// and make any of them fail.
struct app_hooks {
    void (*image_setup)(void);
    bool (*files_setup)(void);
    bool (*journals_setup)(void);
    bool (*di_input_setup)(HWND window);
    bool (*gfx_setup)(void);
    bool (*sfx_setup)(void);
    bool (*con_postsetup)(void);
    bool (*gfx_begin_scene)(void);
    void (*gfx_end_scene)(void);
    bool (*hud_setup)(void);
    void (*con_close)(void);
    void (*hud_clean)(void);
    void (*sfx_clean)(void);
    void (*gfx_clean)(void);
    void (*di_input_clean)(void);
    void (*journals_clean)(void);
    void (*files_clean)(void);
    // What the window procedure hands on.
    void (*dbg_key)(uint32_t vk);
    void (*dbg_char)(uint32_t c);
    void (*set_pointer)(int32_t x, int32_t y);
};

extern const app_hooks app_hooks_real;
void app_set_hooks(const app_hooks* hooks); // NULL: the real subsystems
