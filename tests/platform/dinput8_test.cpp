// Input devices on SDL events: translation tables, acquisition, buffering and focus.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>
#include <vector>

#include "platform/dinput8.h"
#include "platform/plat_window.h"

namespace {

struct found_devices {
    std::vector<DIDEVICEINSTANCEA> all;
};

BOOL collect(LPCDIDEVICEINSTANCEA inst, void* ctx)
{
    ((found_devices*)ctx)->all.push_back(*inst);
    return DIENUM_CONTINUE;
}

struct Di8 : ::testing::Test {
    IDirectInput8A* di = nullptr;
    void SetUp() override
    {
        plat_di8_reset_for_tests();
        void* p = nullptr;
        ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, &p, nullptr), DI_OK);
        di = (IDirectInput8A*)p;
    }
    void TearDown() override
    {
        if (di)
            di->Release();
        plat_di8_reset_for_tests();
    }
    const DIDEVICEINSTANCEA* find(found_devices& f, BYTE type)
    {
        for (auto& d : f.all)
            if (GET_DIDEVICE_TYPE(d.dwDevType) == type)
                return &d;
        return nullptr;
    }
    // A device ready to read: created, foreground, formatted, buffered and acquired.
    IDirectInputDevice8A* open(BYTE type, const DIDATAFORMAT* format, DWORD buffer = 4096)
    {
        found_devices f;
        EXPECT_EQ(di->EnumDevices(DI8DEVCLASS_ALL, collect, &f, DIEDFL_ATTACHEDONLY), DI_OK);
        const DIDEVICEINSTANCEA* inst = find(f, type);
        if (!inst)
            return nullptr;
        IDirectInputDevice8A* d = nullptr;
        EXPECT_EQ(di->CreateDevice(inst->guidInstance, &d, nullptr), DI_OK);
        EXPECT_EQ(d->SetCooperativeLevel(GetDesktopWindow(), DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
        EXPECT_EQ(d->SetDataFormat(format), DI_OK);
        DIPROPDWORD prop = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, buffer};
        EXPECT_EQ(d->SetProperty(DIPROP_BUFFERSIZE, &prop.diph), DI_OK);
        EXPECT_EQ(d->Acquire(), DI_OK);
        return d;
    }
    std::vector<std::pair<DWORD, int32_t>> drain(IDirectInputDevice8A* d)
    {
        std::vector<std::pair<DWORD, int32_t>> items;
        for (;;) {
            DIDEVICEOBJECTDATA od;
            DWORD n = 1;
            if (FAILED(d->GetDeviceData(sizeof(od), &od, &n, 0)) || n == 0)
                break;
            items.push_back({od.dwOfs, (int32_t)od.dwData});
        }
        return items;
    }
};

SDL_Event key(Uint32 type, SDL_Scancode sc, int repeat = 0)
{
    SDL_Event e;
    memset(&e, 0, sizeof(e));
    e.type = type;
    e.key.keysym.scancode = sc;
    e.key.keysym.sym = SDL_GetKeyFromScancode(sc);
    e.key.repeat = (Uint8)repeat;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    return e;
}

} // namespace

TEST(Di8Tables, ScanCodesButtonsAxesAndHats)
{
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_A), 30u);
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_ESCAPE), 1u);
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_RETURN), 28u);
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_UP), 200u);
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_LEFT), 203u);
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_KP_ENTER), 156u);
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_RCTRL), 157u);
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_RALT), 184u);
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_LGUI), 219u);
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_F20), 0u);

    EXPECT_EQ(plat_di8_mouse_button_offset(SDL_BUTTON_LEFT), 12u);
    EXPECT_EQ(plat_di8_mouse_button_offset(SDL_BUTTON_RIGHT), 13u);
    EXPECT_EQ(plat_di8_mouse_button_offset(SDL_BUTTON_MIDDLE), 14u);
    EXPECT_EQ(plat_di8_mouse_button_offset(SDL_BUTTON_X2), 16u);

    EXPECT_EQ(plat_di8_joy_axis_value(0), 32768u);
    EXPECT_EQ(plat_di8_joy_axis_value(-32768), 0u);
    EXPECT_EQ(plat_di8_joy_axis_value(32767), 65535u);
    EXPECT_EQ((int32_t)plat_di8_pov_from_hat(SDL_HAT_CENTERED), -1);
    EXPECT_EQ(plat_di8_pov_from_hat(SDL_HAT_UP), 0u);
    EXPECT_EQ(plat_di8_pov_from_hat(SDL_HAT_RIGHTUP), 4500u);
    EXPECT_EQ(plat_di8_pov_from_hat(SDL_HAT_LEFTUP), 31500u);
}

TEST(Di8Tables, NoTwoKeysShareAScanCodeUnlessTheyAreTheSameKey)
{
    // Aliases are allowed only for keys that are one physical key on some layout.
    int seen[256] = {0};
    for (int sc = 0; sc < SDL_NUM_SCANCODES; sc++) {
        DWORD dik = plat_di8_dik_from_scancode(sc);
        ASSERT_LT(dik, 256u);
        if (dik)
            seen[dik]++;
    }
    for (int dik = 0; dik < 256; dik++) {
        if (dik == 0x2B || dik == 0xA0) // backslash / non-US hash; mute / audio mute
            EXPECT_EQ(seen[dik], 2) << dik;
        else
            EXPECT_LE(seen[dik], 1) << dik;
    }
}

TEST_F(Di8, EnumeratesMouseAndKeyboardWithTheirTypesAndNames)
{
    found_devices f;
    ASSERT_EQ(di->EnumDevices(DI8DEVCLASS_ALL, collect, &f, DIEDFL_ATTACHEDONLY), DI_OK);
    const DIDEVICEINSTANCEA* m = find(f, DI8DEVTYPE_MOUSE);
    const DIDEVICEINSTANCEA* k = find(f, DI8DEVTYPE_KEYBOARD);
    ASSERT_TRUE(m && k);
    EXPECT_STREQ(m->tszInstanceName, "Mouse");
    EXPECT_STREQ(k->tszProductName, "Keyboard");
    EXPECT_NE(memcmp(&m->guidInstance, &k->guidInstance, sizeof(GUID)), 0);

    GUID bogus = m->guidInstance;
    bogus.Data1 = 999;
    IDirectInputDevice8A* d = (IDirectInputDevice8A*)&bogus;
    EXPECT_EQ(di->CreateDevice(bogus, &d, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(d, nullptr);
}

TEST_F(Di8, SecondAcquireReportsAlreadyAcquiredAndKeysBufferPressAndRelease)
{
    IDirectInputDevice8A* kb = open(DI8DEVTYPE_KEYBOARD, &c_dfDIKeyboard);
    ASSERT_TRUE(kb);
    EXPECT_EQ(kb->Acquire(), S_FALSE);

    SDL_Event down = key(SDL_KEYDOWN, SDL_SCANCODE_A), rep = key(SDL_KEYDOWN, SDL_SCANCODE_A, 1);
    SDL_Event up = key(SDL_KEYUP, SDL_SCANCODE_A), unknown = key(SDL_KEYDOWN, SDL_SCANCODE_F20);
    plat_di8_feed(&down);
    plat_di8_feed(&rep);
    plat_di8_feed(&rep);
    plat_di8_feed(&unknown);
    plat_di8_feed(&up);
    auto items = drain(kb);
    ASSERT_EQ(items.size(), 2u); // repeats and keys without a scan code give nothing
    EXPECT_EQ(items[0], std::make_pair(30u, 0x80));
    EXPECT_EQ(items[1], std::make_pair(30u, 0));
    kb->Release();
}

TEST_F(Di8, MouseMotionWheelAndButtons)
{
    IDirectInputDevice8A* m = open(DI8DEVTYPE_MOUSE, &c_dfDIMouse2);
    ASSERT_TRUE(m);
    SDL_Event e;
    memset(&e, 0, sizeof(e));
    e.type = SDL_MOUSEMOTION;
    e.motion.xrel = -3;
    e.motion.yrel = 0;
    plat_di8_feed(&e);
    memset(&e, 0, sizeof(e));
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = -2;
    plat_di8_feed(&e);
    memset(&e, 0, sizeof(e));
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_RIGHT;
    plat_di8_feed(&e);
    e.type = SDL_MOUSEBUTTONUP;
    plat_di8_feed(&e);

    auto items = drain(m);
    ASSERT_EQ(items.size(), 4u); // no Y item for a motion without vertical movement
    EXPECT_EQ(items[0], std::make_pair(0u, -3));
    EXPECT_EQ(items[1], std::make_pair(8u, -240));
    EXPECT_EQ(items[2], std::make_pair(13u, 0x80));
    EXPECT_EQ(items[3], std::make_pair(13u, 0));
    m->Release();
}

TEST_F(Di8, NothingIsBufferedBeforeAcquireOrWithoutFocus)
{
    IDirectInputDevice8A* kb = open(DI8DEVTYPE_KEYBOARD, &c_dfDIKeyboard);
    ASSERT_TRUE(kb);
    SDL_Event down = key(SDL_KEYDOWN, SDL_SCANCODE_B);
    plat_di8_feed(&down);

    // Losing focus unacquires and drops what was buffered; acquiring fails until it returns.
    plat_di8_set_foreground(FALSE);
    DIDEVICEOBJECTDATA od;
    DWORD n = 1;
    EXPECT_EQ(kb->GetDeviceData(sizeof(od), &od, &n, 0), DIERR_NOTACQUIRED);
    EXPECT_EQ(kb->Acquire(), DIERR_OTHERAPPHASPRIO);
    plat_di8_feed(&down);
    plat_di8_set_foreground(TRUE);
    EXPECT_EQ(kb->Acquire(), DI_OK);
    EXPECT_TRUE(drain(kb).empty());

    EXPECT_EQ(kb->Unacquire(), DI_OK);
    plat_di8_feed(&down);
    EXPECT_EQ(kb->Acquire(), DI_OK);
    EXPECT_TRUE(drain(kb).empty());
    kb->Release();
}

TEST_F(Di8, FullBufferKeepsTheOldestItemsAndReportsTheOverflowOnce)
{
    IDirectInputDevice8A* kb = open(DI8DEVTYPE_KEYBOARD, &c_dfDIKeyboard, 4);
    ASSERT_TRUE(kb);
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
    kb->Release();
}

TEST_F(Di8, MisuseIsRefused)
{
    found_devices f;
    di->EnumDevices(DI8DEVCLASS_ALL, collect, &f, DIEDFL_ATTACHEDONLY);
    IDirectInputDevice8A* d = nullptr;
    ASSERT_EQ(di->CreateDevice(find(f, DI8DEVTYPE_MOUSE)->guidInstance, &d, nullptr), DI_OK);
    EXPECT_EQ(d->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DIERR_INVALIDPARAM);
    EXPECT_EQ(d->SetCooperativeLevel(GetDesktopWindow(), DISCL_NONEXCLUSIVE), DIERR_INVALIDPARAM);
    EXPECT_EQ(d->Acquire(), DIERR_INVALIDPARAM); // no data format yet
    EXPECT_EQ(d->SetDataFormat(&c_dfDIMouse2), DI_OK);
    EXPECT_EQ(d->Acquire(), DI_OK);
    DIDEVICEOBJECTDATA od;
    DWORD n = 1;
    EXPECT_EQ(d->GetDeviceData(sizeof(od), &od, &n, 0), DIERR_NOTBUFFERED);
    EXPECT_EQ(d->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
    EXPECT_EQ(d->GetDeviceData(16, &od, &n, 0), DIERR_INVALIDPARAM);
    d->Release();

    void* p = nullptr;
    EXPECT_EQ(DirectInput8Create(nullptr, 0x0700, IID_IDirectInput8A, &p, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(p, nullptr);
}

TEST_F(Di8, InjectedFailuresHitTheNamedCallOnly)
{
    plat_di8_fail_next(PLAT_DI8_CREATE_DEVICE, 1);
    found_devices f;
    di->EnumDevices(DI8DEVCLASS_ALL, collect, &f, DIEDFL_ATTACHEDONLY);
    IDirectInputDevice8A* d = nullptr;
    EXPECT_EQ(di->CreateDevice(f.all[0].guidInstance, &d, nullptr), E_FAIL);
    EXPECT_EQ(di->CreateDevice(f.all[0].guidInstance, &d, nullptr), DI_OK);
    d->Release();
}
