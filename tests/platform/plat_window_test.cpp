// The window on SDL's offscreen driver: creation, and SDL events arriving through the
// message pump as window messages and as device items, which a full buffer drops.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>
#include <string>
#include <utility>
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

typedef std::vector<std::pair<DWORD, int32_t>> items; // device items: offset, data

struct Window : ::testing::Test {
    HWND window = nullptr;
    IDirectInput8A* di = nullptr;
    void SetUp() override
    {
        plat_msg_setup();
        plat_di8_reset_for_tests();
        WNDCLASSEXA wc;
        memset(&wc, 0, sizeof(wc));
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = record;
        wc.lpszClassName = CLASS;
        ASSERT_NE(RegisterClassExA(&wc), 0);
        window = CreateWindowExA(0, CLASS, "test", WS_OVERLAPPEDWINDOW, 16, 16, 800, 600, GetDesktopWindow(),
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
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
    // Pushes a zeroed event of that type for the test window after `fill` has set its fields.
    template <typename F> void push(Uint32 type, F fill)
    {
        SDL_Event e;
        memset(&e, 0, sizeof(e));
        e.type = type;
        e.window.windowID = SDL_GetWindowID(plat_window_sdl(window)); // the same field in every kind
        fill(e);
        e.common.timestamp = SDL_GetTicks();
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    }
    void push_key(Uint32 type, SDL_Scancode sc, int repeat = 0)
    {
        push(type, [&](SDL_Event& e) {
            e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
            e.key.repeat = (Uint8)repeat;
            e.key.keysym.scancode = sc;
            e.key.keysym.sym = SDL_GetKeyFromScancode(sc);
        });
    }
    void push_text(const char* text)
    {
        push(SDL_TEXTINPUT, [&](SDL_Event& e) { strncpy(e.text.text, text, sizeof(e.text.text) - 1); });
    }
    std::vector<seen_msg> only(UINT msg)
    {
        std::vector<seen_msg> r;
        for (auto& s : seen)
            if (s.msg == msg)
                r.push_back(s);
        return r;
    }
    // An acquired device of the first source of that type, buffering `buffer` items, reading
    // from the next pump on.
    IDirectInputDevice8A* device(BYTE type, const DIDATAFORMAT* format, DWORD buffer = 64)
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
        DIPROPDWORD prop = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, buffer};
        d->SetProperty(DIPROP_BUFFERSIZE, &prop.diph);
        EXPECT_EQ(d->Acquire(), DI_OK);
        return d;
    }
    items drain(IDirectInputDevice8A* d)
    {
        items got;
        DIDEVICEOBJECTDATA od;
        DWORD n = 1;
        while (SUCCEEDED(d->GetDeviceData(sizeof(od), &od, &n, 0)) && n == 1)
            got.push_back({od.dwOfs, (int32_t)od.dwData});
        return got;
    }
};

} // namespace

// The window is GL-backed, resizable, shown at the asked client size and in front. After a
// lost focus has sent it to the back, showing it again brings it to the front (and reports
// that it was visible already).
TEST_F(Window, HasAnOpenGlClientAreaOfTheAskedSizeAndComesToTheFront)
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

    push(SDL_WINDOWEVENT, [](SDL_Event& e) { e.window.event = SDL_WINDOWEVENT_FOCUS_LOST; });
    pump();
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    EXPECT_EQ(ShowWindow(window, SW_SHOWDEFAULT), TRUE);
    EXPECT_EQ(GetForegroundWindow(), window);
}

TEST_F(Window, KeysBecomeKeyDownsWithRepeatsAndReturnAlsoACharacter)
{
    IDirectInputDevice8A* kb = device(DI8DEVTYPE_KEYBOARD, &c_dfDIKeyboard);
    push_key(SDL_KEYDOWN, SDL_SCANCODE_A);
    push_key(SDL_KEYDOWN, SDL_SCANCODE_A, 1);
    push_key(SDL_KEYUP, SDL_SCANCODE_A);
    for (SDL_Scancode sc : {SDL_SCANCODE_RETURN, SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_UP, SDL_SCANCODE_ESCAPE})
        push_key(SDL_KEYDOWN, sc);
    pump();

    std::vector<WPARAM> keys;
    for (auto& d : only(WM_KEYDOWN))
        keys.push_back(d.w);
    EXPECT_EQ(keys, (std::vector<WPARAM>{'A', 'A', VK_RETURN, VK_RETURN, VK_UP, VK_ESCAPE}));
    EXPECT_NE(only(WM_KEYDOWN)[1].l & (1 << 30), 0) << "the repeat reaches the window, marked";
    auto chars = only(WM_CHAR);
    ASSERT_EQ(chars.size(), 2u);
    EXPECT_EQ(chars[0].w, 13u);
    EXPECT_EQ(chars[1].w, 13u);
    // The devices see each key once down and once up, never the repeat.
    EXPECT_EQ(drain(kb), (items{{30, 0x80}, {30, 0}, {28, 0x80}, {156, 0x80}, {200, 0x80}, {1, 0x80}}));
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
        push(SDL_MOUSEMOTION, [&](SDL_Event& e) { e.motion.x = i; });
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

TEST_F(Window, MouseMovesKeepTheirSignAndButtonsWheelAndJoysticksGoToTheirDevices)
{
    IDirectInputDevice8A* mouse = device(DI8DEVTYPE_MOUSE, &c_dfDIMouse2);
    int32_t pad = plat_di8_add_test_device(DI8DEVTYPE_GAMEPAD, "Pad");
    IDirectInputDevice8A* joy = device(DI8DEVTYPE_GAMEPAD, &c_dfDIJoystick2);
    SDL_JoystickID id = plat_di8_test_joystick_id(pad);
    push(SDL_MOUSEMOTION, [](SDL_Event& e) {
        e.motion = {SDL_MOUSEMOTION, 0, e.motion.windowID, 0, SDL_BUTTON_LMASK, -12, 30, -2, 5};
    });
    push(SDL_MOUSEBUTTONDOWN, [](SDL_Event& e) { e.button.button = SDL_BUTTON_RIGHT; });
    push(SDL_MOUSEWHEEL, [](SDL_Event& e) { e.wheel.y = 1; });
    push(SDL_JOYHATMOTION, [&](SDL_Event& e) { e.jhat.which = id; e.jhat.hat = 1; e.jhat.value = SDL_HAT_CENTERED; });
    push(SDL_JOYAXISMOTION, [&](SDL_Event& e) { e.jaxis.which = id; e.jaxis.axis = 1; e.jaxis.value = 0; });
    push(SDL_JOYAXISMOTION, [&](SDL_Event& e) { e.jaxis.which = id + 1; }); // some other joystick
    push(SDL_JOYBUTTONDOWN, [&](SDL_Event& e) { e.jbutton.which = id; e.jbutton.button = 3; });
    pump();

    auto moves = only(WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(moves[0].l), -12);
    EXPECT_EQ(GET_Y_LPARAM(moves[0].l), 30);
    EXPECT_EQ(moves[0].w, (WPARAM)MK_LBUTTON);
    // x -2, y +5, right button (byte 13), one wheel notch of 120; hat 1 centred (-1) at
    // 32 + 4, the y axis centred at 32768, button 3 at 48 + 3.
    EXPECT_EQ(drain(mouse), (items{{0, -2}, {4, 5}, {13, 0x80}, {8, 120}}));
    EXPECT_EQ(drain(joy), (items{{36, -1}, {4, 32768}, {51, 0x80}}));
}

TEST_F(Window, WindowEventsBecomeSizePaintAndDestroyAndFocusGatesTheDevices)
{
    IDirectInputDevice8A* kb = device(DI8DEVTYPE_KEYBOARD, &c_dfDIKeyboard);
    for (Uint8 ev : {SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_RESTORED, SDL_WINDOWEVENT_EXPOSED,
                     SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_CLOSE})
        push(SDL_WINDOWEVENT, [&](SDL_Event& e) { e.window.event = ev; });
    pump();
    auto sizes = only(WM_SIZE);
    ASSERT_GE(sizes.size(), 2u);
    EXPECT_EQ(sizes[0].w, (WPARAM)SIZE_MINIMIZED);
    EXPECT_EQ(sizes[1].w, (WPARAM)SIZE_RESTORED);
    EXPECT_EQ(sizes[1].l, (LPARAM)(800 | (600 << 16))) << "the asked client size";
    EXPECT_FALSE(only(WM_PAINT).empty());
    EXPECT_EQ(only(WM_DESTROY).size(), 1u);
    EXPECT_EQ(CreateWindowExA(0, CLASS, "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr)
        << "there is one window";

    // Without focus the devices cannot be acquired, and nothing reaches them.
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    EXPECT_EQ(kb->Acquire(), DIERR_OTHERAPPHASPRIO);
    push(SDL_WINDOWEVENT, [](SDL_Event& e) { e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED; });
    pump();
    EXPECT_EQ(kb->Acquire(), DI_OK);
}

// A full buffer keeps its oldest items and drops the newer; the next read reports the loss
// once (DI_BUFFEROVERFLOW, a success code) and still hands over items.
TEST_F(Window, AFullBufferKeepsItsOldestItemsAndReportsTheLossOnce)
{
    IDirectInputDevice8A* kb = device(DI8DEVTYPE_KEYBOARD, &c_dfDIKeyboard, 4);
    for (DWORD i = 1; i <= 6; i++)
        plat_di8_push_item(plat_di8_keyboard_source(), i, 0x80);
    const struct {
        HRESULT hr;
        DWORD count, first; // of reads of two items at most
    } reads[] = {{DI_BUFFEROVERFLOW, 2, 1}, {DI_OK, 2, 3}, {DI_OK, 0, 0}};
    for (const auto& r : reads) {
        DIDEVICEOBJECTDATA od[2] = {};
        DWORD n = 2;
        EXPECT_EQ(kb->GetDeviceData(sizeof(od[0]), od, &n, 0), r.hr) << r.first;
        EXPECT_EQ((std::pair<DWORD, DWORD>(n, od[0].dwOfs)), (std::pair<DWORD, DWORD>(r.count, r.first)));
    }
}
