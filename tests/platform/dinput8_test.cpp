// Input devices on SDL events: the scan-code table and the values that buttons, axes and
// hats become. (The item buffer is tested with the window that feeds it.)
#include <gtest/gtest.h>

#include <SDL.h>

#include "platform/dinput8.h"

// A key bound by its code must be one key: aliases are allowed only for keys that are one
// physical key on some layout.
TEST(Di8Tables, NoTwoKeysShareAScanCodeUnlessTheyAreTheSameKey)
{
    int seen[256] = {0};
    for (int sc = 0; sc < SDL_NUM_SCANCODES; sc++) {
        DWORD dik = plat_di8_dik_from_scancode(sc);
        ASSERT_LT(dik, 256u);
        if (dik)
            seen[dik]++;
    }
    for (int dik = 0; dik < 256; dik++) {
        if (dik == 0x2B || dik == 0xA0) { // backslash / non-US hash; mute / audio mute
            EXPECT_EQ(seen[dik], 2) << dik;
        } else {
            EXPECT_LE(seen[dik], 1) << dik;
        }
    }
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_F20), 0u) << "a key the devices do not have";
}

// Mouse buttons are the bytes of the button array at offset 12 (left, right, middle, X1, X2);
// an axis runs 0..65535 with the middle at 32768; a hat is in hundredths of a degree
// clockwise from up, -1 when centred.
TEST(Di8Tables, ButtonsAxesAndHatsBecomeDeviceValues)
{
    const struct { Uint8 button; DWORD offset; } buttons[] = {
        {SDL_BUTTON_LEFT, 12}, {SDL_BUTTON_RIGHT, 13}, {SDL_BUTTON_MIDDLE, 14}, {SDL_BUTTON_X1, 15}, {SDL_BUTTON_X2, 16}};
    for (auto& b : buttons)
        EXPECT_EQ(plat_di8_mouse_button_offset(b.button), b.offset) << (int)b.button;
    const struct { Sint16 in; DWORD out; } axes[] = {{-32768, 0}, {-1, 32767}, {0, 32768}, {32767, 65535}};
    for (auto& a : axes)
        EXPECT_EQ(plat_di8_joy_axis_value(a.in), a.out) << a.in;
    const struct { Uint8 hat; DWORD pov; } hats[] = {
        {SDL_HAT_UP, 0},         {SDL_HAT_RIGHTUP, 4500},  {SDL_HAT_RIGHT, 9000},  {SDL_HAT_RIGHTDOWN, 13500},
        {SDL_HAT_DOWN, 18000},   {SDL_HAT_LEFTDOWN, 22500}, {SDL_HAT_LEFT, 27000}, {SDL_HAT_LEFTUP, 31500},
        {SDL_HAT_CENTERED, 0xFFFFFFFF}};
    for (auto& h : hats)
        EXPECT_EQ(plat_di8_pov_from_hat(h.hat), h.pov) << (int)h.hat;
}
