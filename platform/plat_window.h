// The program's window, shaped like the Windows calls that create and show it, on an SDL2
// window made with OpenGL support. SDL events become Windows-numbered messages for the
// window procedure; they are translated only during the message pump.
#pragma once

#include "platform/plat_msg.h"
#include "platform/win_types.h"

struct SDL_Window;
union SDL_Event;

typedef void* HICON;
typedef void* HCURSOR;
typedef void* HBRUSH;
typedef void* HMENU;
typedef void* HGDIOBJ;
typedef WORD ATOM;

typedef struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    const char* lpszMenuName;
    const char* lpszClassName;
    HICON hIconSm;
} WNDCLASSEXA;

#define CS_CLASSDC 0x0040
#define WS_OVERLAPPEDWINDOW 0x00CF0000u
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWDEFAULT 10
#define BLACK_BRUSH 4
#define DUPLICATE_SAME_ACCESS 0x00000002
#define WAIT_TIMEOUT 0x00000102u
#define MAKEINTRESOURCEA(i) ((const char*)(uintptr_t)(WORD)(i))

// Virtual-key codes.
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_SNAPSHOT 0x2C
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_LWIN 0x5B
#define VK_RWIN 0x5C
#define VK_APPS 0x5D
#define VK_NUMPAD0 0x60
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91
#define VK_OEM_1 0xBA
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF
#define VK_OEM_3 0xC0
#define VK_OEM_4 0xDB
#define VK_OEM_5 0xDC
#define VK_OEM_6 0xDD
#define VK_OEM_7 0xDE

#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_MBUTTON 0x0010

// Position words of mouse messages: x and y are signed 16-bit.
#define GET_X_LPARAM(lp) ((int)(short)(WORD)((DWORD)(lp) & 0xFFFF))
#define GET_Y_LPARAM(lp) ((int)(short)(WORD)(((DWORD)(lp) >> 16) & 0xFFFF))

// The program's file path, cut to size and always terminated; the length copied.
DWORD GetModuleFileNameA(HMODULE module, char* path, DWORD size);
HMODULE GetModuleHandleA(const char* name);
HANDLE GetCurrentProcess(void);
// Gives a handle that is never signalled: waiting on it is a plain sleep.
BOOL DuplicateHandle(HANDLE source_process, HANDLE source, HANDLE target_process, HANDLE* target,
                     DWORD access, BOOL inherit, DWORD options);
BOOL CloseHandle(HANDLE handle);
// Only the process handle is waited on; it times out after the given milliseconds.
DWORD WaitForSingleObject(HANDLE handle, DWORD ms);

// There is no console window here: always NULL.
HWND FindWindowA(const char* class_name, const char* title);
HICON LoadIconA(HINSTANCE module, const char* name);
HCURSOR LoadCursorA(HINSTANCE module, const char* name);
HGDIOBJ GetStockObject(int object);

// Classes are kept by name; 0 when the name is taken or the record is unusable.
ATOM RegisterClassExA(const WNDCLASSEXA* wc);
BOOL UnregisterClassA(const char* class_name, HINSTANCE module);
HWND GetDesktopWindow(void);
// One window at a time, resizable, with OpenGL support; width and height give its client
// area. NULL when the class is unknown or SDL cannot make the window.
HWND CreateWindowExA(DWORD ex_style, const char* class_name, const char* title, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE module, void* param);
BOOL DestroyWindow(HWND window);
BOOL ShowWindow(HWND window, int show);
BOOL UpdateWindow(HWND window);
HWND GetForegroundWindow(void);
// Raises the program's window; FALSE for any other window.
BOOL SetForegroundWindow(HWND window);
BOOL ValidateRect(HWND window, const RECT* rect);
LRESULT DefWindowProcA(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);

// ---- for the platform layer ----

// The GL attributes every window and context of the program asks for: compatibility
// profile, 24-bit depth, 8-bit stencil. Set before a window is made, since X11 picks the
// window's visual from them.
void plat_window_gl_attributes(void);
SDL_Window* plat_window_sdl(HWND window);
// The window procedure of the window a message is for (NULL when none); the message
// queue dispatches through plat_window_wndproc, which is the same.
WNDPROC plat_window_proc(HWND window);
// Turns one SDL event into at most `max` messages; also hands it to the input devices.
int plat_window_translate(const SDL_Event* ev, MSG* out, int max);
// Windows virtual-key code of an SDL key (0 when it has none).
UINT plat_window_vk_from_keycode(int sdl_keycode);
// Tests only: the next DuplicateHandle fails.
void plat_window_fail_next_duplicate(void);
BOOL plat_window_class_registered(const char* class_name);
