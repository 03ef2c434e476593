// Input devices on SDL events: the translation tables and the item buffer.
#include <gtest/gtest.h>

#include <SDL.h>

#include "platform/dinput8.h"
#include "platform/plat_window.h"

// Keys, buttons and axes the window tests see arrive through the pump are not repeated here.
TEST(Di8Tables, ScanCodesButtonsAxesAndHats)
{
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_LEFT), 203u);
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_RCTRL), 157u);
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_RALT), 184u);
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_LGUI), 219u);
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_F20), 0u);

    EXPECT_EQ(plat_di8_mouse_button_offset(SDL_BUTTON_LEFT), 12u);
    EXPECT_EQ(plat_di8_mouse_button_offset(SDL_BUTTON_MIDDLE), 14u);
    EXPECT_EQ(plat_di8_mouse_button_offset(SDL_BUTTON_X2), 16u);

    EXPECT_EQ(plat_di8_joy_axis_value(-32768), 0u);
    EXPECT_EQ(plat_di8_joy_axis_value(32767), 65535u);
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

TEST(Di8Buffer, AFullBufferKeepsTheOldestItemsAndReportsTheOverflowOnce)
{
    plat_di8_reset_for_tests();
    void* p = nullptr;
    ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, &p, nullptr), DI_OK);
    IDirectInput8A* di = (IDirectInput8A*)p;
    GUID keyboard = {};
    di->EnumDevices(DI8DEVCLASS_ALL, [](LPCDIDEVICEINSTANCEA i, void* ctx) -> BOOL {
        if (GET_DIDEVICE_TYPE(i->dwDevType) == DI8DEVTYPE_KEYBOARD)
            *(GUID*)ctx = i->guidInstance;
        return DIENUM_CONTINUE;
    }, &keyboard, DIEDFL_ATTACHEDONLY);
    IDirectInputDevice8A* kb = nullptr;
    ASSERT_EQ(di->CreateDevice(keyboard, &kb, nullptr), DI_OK);
    kb->SetCooperativeLevel(GetDesktopWindow(), DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    kb->SetDataFormat(&c_dfDIKeyboard);
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
    kb->Release();
    di->Release();
}
