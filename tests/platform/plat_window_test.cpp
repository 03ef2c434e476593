// The window on SDL's offscreen driver: classes, creation, and SDL events arriving through
// the message pump as window messages and as device items.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/dinput8.h"
#include "platform/plat_msg.h"
#include "platform/plat_window.h"

namespace {

const char* const CLASS = "test:window";

struct seen_msg {
    UINT msg;
    WPARAM w;
    LPARAM l;
};
std::vector<seen_msg> seen;

LRESULT record(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    seen.push_back({m, wp, lp});
    return 0;
}

struct Window : ::testing::Test {
    HWND window = nullptr;
    IDirectInput8A* di = nullptr;
    void SetUp() override
    {
        plat_msg_setup();
        plat_di8_reset_for_tests();
        seen.clear();
        WNDCLASSEXA wc;
        memset(&wc, 0, sizeof(wc));
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = record;
        wc.lpszClassName = CLASS;
        ASSERT_NE(RegisterClassExA(&wc), 0);
        window = CreateWindowExA(0, CLASS, "test - Time control enabled.", WS_OVERLAPPEDWINDOW, 16, 16, 800,
                                 600, GetDesktopWindow(), nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        ShowWindow(window, SW_SHOWDEFAULT);
        pump(); // whatever the driver reports about the new window
        seen.clear();
    }
    void TearDown() override
    {
        if (di)
            di->Release();
        DestroyWindow(window);
        UnregisterClassA(CLASS, nullptr);
        plat_msg_clean();
        plat_di8_reset_for_tests();
    }
    void pump()
    {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE)) {
            GetMessageA(&m, nullptr, 0, 0);
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
    void push(SDL_Event e)
    {
        e.common.timestamp = SDL_GetTicks();
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    }
    // A zeroed event of that type for the test window.
    static SDL_Event sdl_event(Uint32 type)
    {
        SDL_Event e;
        memset(&e, 0, sizeof(e));
        e.type = type;
        return e;
    }
    void push_key(Uint32 type, SDL_Scancode sc, int repeat = 0)
    {
        SDL_Event e = sdl_event(type);
        e.key.windowID = SDL_GetWindowID(plat_window_sdl(window));
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = (Uint8)repeat;
        e.key.keysym.scancode = sc;
        e.key.keysym.sym = SDL_GetKeyFromScancode(sc);
        push(e);
    }
    void push_text(const char* text)
    {
        SDL_Event e = sdl_event(SDL_TEXTINPUT);
        strncpy(e.text.text, text, sizeof(e.text.text) - 1);
        push(e);
    }
    void push_window(Uint8 event)
    {
        SDL_Event e = sdl_event(SDL_WINDOWEVENT);
        e.window.event = event;
        e.window.windowID = SDL_GetWindowID(plat_window_sdl(window));
        push(e);
    }
    std::vector<seen_msg> only(UINT msg)
    {
        std::vector<seen_msg> r;
        for (auto& s : seen)
            if (s.msg == msg)
                r.push_back(s);
        return r;
    }
    // An acquired device of the first source of that type, reading from the next pump on.
    IDirectInputDevice8A* device(BYTE type, const DIDATAFORMAT* format)
    {
        if (!di) {
            void* p = nullptr;
            EXPECT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, &p, nullptr), DI_OK);
            di = (IDirectInput8A*)p;
        }
        struct pick {
            BYTE type;
            GUID guid;
            bool found;
        } want = {type, {}, false};
        di->EnumDevices(DI8DEVCLASS_ALL, [](LPCDIDEVICEINSTANCEA i, void* ctx) -> BOOL {
            pick* p = (pick*)ctx;
            if (!p->found && GET_DIDEVICE_TYPE(i->dwDevType) == p->type) {
                p->guid = i->guidInstance;
                p->found = true;
            }
            return DIENUM_CONTINUE;
        }, &want, DIEDFL_ATTACHEDONLY);
        IDirectInputDevice8A* d = nullptr;
        EXPECT_TRUE(want.found);
        EXPECT_EQ(di->CreateDevice(want.guid, &d, nullptr), DI_OK);
        d->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
        d->SetDataFormat(format);
        DIPROPDWORD prop = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 64};
        d->SetProperty(DIPROP_BUFFERSIZE, &prop.diph);
        EXPECT_EQ(d->Acquire(), DI_OK);
        return d;
    }
    std::vector<std::pair<DWORD, int32_t>> drain(IDirectInputDevice8A* d)
    {
        std::vector<std::pair<DWORD, int32_t>> items;
        DIDEVICEOBJECTDATA od;
        DWORD n = 1;
        while (SUCCEEDED(d->GetDeviceData(sizeof(od), &od, &n, 0)) && n == 1)
            items.push_back({od.dwOfs, (int32_t)od.dwData});
        return items;
    }
};

} // namespace

TEST_F(Window, HasAnOpenGlClientAreaOfTheAskedSize)
{
    SDL_Window* w = plat_window_sdl(window);
    ASSERT_NE(w, nullptr);
    int cw = 0, ch = 0;
    SDL_GetWindowSize(w, &cw, &ch);
    EXPECT_EQ(cw, 800);
    EXPECT_EQ(ch, 600);
    Uint32 flags = SDL_GetWindowFlags(w);
    EXPECT_TRUE(flags & SDL_WINDOW_OPENGL);
    EXPECT_TRUE(flags & SDL_WINDOW_RESIZABLE);
    EXPECT_TRUE(flags & SDL_WINDOW_SHOWN);
    EXPECT_EQ(GetForegroundWindow(), window);
    EXPECT_EQ(CreateWindowExA(0, CLASS, "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr); // one only
}

TEST_F(Window, KeysBecomeKeyDownsWithRepeatsAndReturnAlsoACharacter)
{
    IDirectInputDevice8A* kb = device(DI8DEVTYPE_KEYBOARD, &c_dfDIKeyboard);
    push_key(SDL_KEYDOWN, SDL_SCANCODE_A);
    push_key(SDL_KEYDOWN, SDL_SCANCODE_A, 1);
    push_key(SDL_KEYUP, SDL_SCANCODE_A);
    push_key(SDL_KEYDOWN, SDL_SCANCODE_RETURN);
    push_key(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER);
    push_key(SDL_KEYDOWN, SDL_SCANCODE_UP);
    push_key(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE);
    pump();

    auto downs = only(WM_KEYDOWN);
    ASSERT_EQ(downs.size(), 6u);
    EXPECT_EQ(downs[0].w, (WPARAM)'A');
    EXPECT_EQ(downs[1].w, (WPARAM)'A'); // the repeat reaches the window
    EXPECT_NE(downs[1].l & (1 << 30), 0);
    EXPECT_EQ(downs[2].w, (WPARAM)VK_RETURN);
    EXPECT_EQ(downs[3].w, (WPARAM)VK_RETURN);
    EXPECT_EQ(downs[4].w, (WPARAM)VK_UP);
    EXPECT_EQ(downs[5].w, (WPARAM)VK_ESCAPE);
    auto chars = only(WM_CHAR);
    ASSERT_EQ(chars.size(), 2u);
    EXPECT_EQ(chars[0].w, 13u);
    EXPECT_EQ(chars[1].w, 13u);

    // The devices see each key once down and once up, never the repeat.
    auto items = drain(kb);
    std::vector<std::pair<DWORD, int32_t>> want = {{30, 0x80}, {30, 0}, {28, 0x80}, {156, 0x80}, {200, 0x80}, {1, 0x80}};
    EXPECT_EQ(items, want);
}

TEST_F(Window, TextBecomesAsciiAndABusyQueueLosesNoCharacters)
{
    push_text("`a ");
    push_text("\xC3\xA9!"); // an accented letter has no place in the console
    // Many events in one pump: every Return keeps its character and every text event all
    // of its characters, wherever the queue's batches happen to end.
    const int rounds = 40;
    std::string want = "`a !";
    for (int i = 0; i < rounds; i++) {
        SDL_Event e = sdl_event(SDL_MOUSEMOTION);
        e.motion.windowID = SDL_GetWindowID(plat_window_sdl(window));
        e.motion.x = i;
        push(e);
        push_key(SDL_KEYDOWN, SDL_SCANCODE_RETURN);
        push_text("ab");
        want += "|ab";
    }
    pump();
    std::string got;
    for (auto& c : only(WM_CHAR))
        got += c.w == 13 ? '|' : (char)c.w;
    EXPECT_EQ(got, want);
    EXPECT_EQ(only(WM_MOUSEMOVE).size(), (size_t)rounds);
}

TEST_F(Window, MouseMovesKeepTheirSignAndButtonsAndWheelGoToTheDevice)
{
    IDirectInputDevice8A* mouse = device(DI8DEVTYPE_MOUSE, &c_dfDIMouse2);
    SDL_Event e = sdl_event(SDL_MOUSEMOTION);
    e.motion.windowID = SDL_GetWindowID(plat_window_sdl(window));
    e.motion.x = -12;
    e.motion.y = 30;
    e.motion.xrel = -2;
    e.motion.yrel = 5;
    e.motion.state = SDL_BUTTON_LMASK;
    push(e);
    e = sdl_event(SDL_MOUSEBUTTONDOWN);
    e.button.button = SDL_BUTTON_RIGHT;
    push(e);
    e = sdl_event(SDL_MOUSEWHEEL);
    e.wheel.y = 1;
    push(e);
    pump();

    auto moves = only(WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(moves[0].l), -12);
    EXPECT_EQ(GET_Y_LPARAM(moves[0].l), 30);
    EXPECT_EQ(moves[0].w, (WPARAM)MK_LBUTTON);
    std::vector<std::pair<DWORD, int32_t>> want = {{0, -2}, {4, 5}, {13, 0x80}, {8, 120}};
    EXPECT_EQ(drain(mouse), want);
}

TEST_F(Window, JoystickEventsReachTheirDevice)
{
    int32_t pad = plat_di8_add_test_device(DI8DEVTYPE_GAMEPAD, "Pad");
    IDirectInputDevice8A* joy = device(DI8DEVTYPE_GAMEPAD, &c_dfDIJoystick2);
    SDL_Event e = sdl_event(SDL_JOYHATMOTION);
    e.jhat.which = plat_di8_test_joystick_id(pad);
    e.jhat.hat = 1;
    e.jhat.value = SDL_HAT_CENTERED;
    push(e);
    e = sdl_event(SDL_JOYAXISMOTION);
    e.jaxis.which = plat_di8_test_joystick_id(pad);
    e.jaxis.axis = 1;
    e.jaxis.value = 0;
    push(e);
    e.jaxis.which = plat_di8_test_joystick_id(pad) + 1; // some other joystick
    push(e);
    e = sdl_event(SDL_JOYBUTTONDOWN);
    e.jbutton.which = plat_di8_test_joystick_id(pad);
    e.jbutton.button = 3;
    push(e);
    pump();
    std::vector<std::pair<DWORD, int32_t>> want = {{36, -1}, {4, 32768}, {51, 0x80}};
    EXPECT_EQ(drain(joy), want);
}

TEST_F(Window, WindowEventsBecomeSizePaintAndDestroy)
{
    IDirectInputDevice8A* kb = device(DI8DEVTYPE_KEYBOARD, &c_dfDIKeyboard);
    push_window(SDL_WINDOWEVENT_MINIMIZED);
    push_window(SDL_WINDOWEVENT_RESTORED);
    push_window(SDL_WINDOWEVENT_EXPOSED);
    push_window(SDL_WINDOWEVENT_FOCUS_LOST);
    push_window(SDL_WINDOWEVENT_CLOSE);
    pump();
    auto sizes = only(WM_SIZE);
    ASSERT_GE(sizes.size(), 2u);
    EXPECT_EQ(sizes[0].w, (WPARAM)SIZE_MINIMIZED);
    EXPECT_EQ(sizes[1].w, (WPARAM)SIZE_RESTORED);
    EXPECT_EQ(sizes[1].l, (LPARAM)(800 | (600 << 16)));
    EXPECT_FALSE(only(WM_PAINT).empty());
    EXPECT_EQ(only(WM_DESTROY).size(), 1u);

    // Without focus the devices cannot be acquired, and nothing reaches them.
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    EXPECT_EQ(kb->Acquire(), DIERR_OTHERAPPHASPRIO);
    push_window(SDL_WINDOWEVENT_FOCUS_GAINED);
    pump();
    EXPECT_EQ(kb->Acquire(), DI_OK);
}

TEST_F(Window, AFullDeviceBufferKeepsTheOldestItemsAndReportsTheOverflowOnce)
{
    IDirectInputDevice8A* kb = device(DI8DEVTYPE_KEYBOARD, &c_dfDIKeyboard);
    kb->Unacquire();
    DIPROPDWORD prop = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 4};
    ASSERT_EQ(kb->SetProperty(DIPROP_BUFFERSIZE, &prop.diph), DI_OK);
    ASSERT_EQ(kb->Acquire(), DI_OK);
    for (DWORD i = 1; i <= 6; i++)
        plat_di8_push_item(plat_di8_keyboard_source(), i, 0x80);
    DIDEVICEOBJECTDATA od[8];
    DWORD n = 8;
    EXPECT_EQ(kb->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), od, &n, 0), DI_BUFFEROVERFLOW);
    ASSERT_EQ(n, 4u);
    EXPECT_EQ(od[0].dwOfs, 1u);
    EXPECT_EQ(od[3].dwOfs, 4u);
    EXPECT_LT(od[0].dwSequence, od[3].dwSequence);
    n = 8;
    EXPECT_EQ(kb->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), od, &n, 0), DI_OK);
    EXPECT_EQ(n, 0u);
}
