// Message queue: the window messages the frame loop pumps, shaped like the Windows calls and
// numbered as Windows numbers them. SDL events are collected only while the queue is pumped;
// SDL's quit event, SIGINT and SIGTERM all become the quit message, so every way of stopping
// the program runs the normal shut-down.
#pragma once

#include "platform/win_types.h"

union SDL_Event;

typedef LRESULT (*WNDPROC)(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

typedef struct MSG {
    HWND hwnd; // NULL for the quit message
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time; // milliseconds of the performance counter when queued
    POINT pt;
} MSG;

#define WM_NULL 0x0000
#define WM_DESTROY 0x0002
#define WM_SIZE 0x0005
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_MOUSEMOVE 0x0200

#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// The window and range filters are not supported: pass NULL, 0, 0.
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filter_min, UINT filter_max, UINT remove);
// Waits for a message; 0 for the quit message, nonzero otherwise.
BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filter_min, UINT filter_max);
// Characters come from SDL's text input (see plat_window_translate), so nothing to do here.
BOOL TranslateMessage(const MSG* msg);
// Calls the procedure of msg->hwnd; messages without a window go nowhere.
LRESULT DispatchMessageA(const MSG* msg);
// Queues the quit message with the exit code as its wParam.
void PostQuitMessage(int exit_code);

// Installs the SIGINT/SIGTERM handlers (a second signal ends the process at once) and
// empties the queue. plat_msg_clean restores the default handlers.
void plat_msg_setup(void);
void plat_msg_clean(void);

// The procedure of a window, from the window layer.
WNDPROC plat_window_wndproc(HWND hwnd);
// A procedure that takes every message with a window in place of the window's own (tests
// drive the pump with it); NULL goes back to the windows' procedures.
void plat_set_wndproc(WNDPROC proc);

// The window layer's translation of one SDL event (window, keys, text, mouse) into at most
// max messages; returns how many it wrote.
int plat_window_translate(const SDL_Event* ev, MSG* out, int max);

// Event source injection for tests: fills at most max messages, returns how many.
// It is asked only when the queue is empty. NULL restores the SDL event source.
typedef int (*plat_msg_source_fn)(MSG* out, int max);
void plat_set_msg_source(plat_msg_source_fn source);
