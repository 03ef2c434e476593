// Input devices on SDL events: the translation tables (the item buffer is tested with the
// window that feeds it, and the common keys, buttons and axes arrive there through the pump).
#include <gtest/gtest.h>

#include <SDL.h>

#include "platform/dinput8.h"

TEST(Di8Tables, EdgesOfTheTablesAndNoTwoKeysShareAScanCodeUnlessTheyAreTheSameKey)
{
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_RALT), 184u); // extended keys: 0x80 + base
    EXPECT_EQ(plat_di8_dik_from_scancode(SDL_SCANCODE_F20), 0u);    // no such key
    EXPECT_EQ(plat_di8_mouse_button_offset(SDL_BUTTON_X2), 16u);    // the fifth button byte
    EXPECT_EQ(plat_di8_joy_axis_value(-32768), 0u);
    EXPECT_EQ(plat_di8_joy_axis_value(32767), 65535u);
    EXPECT_EQ(plat_di8_pov_from_hat(SDL_HAT_LEFTUP), 31500u); // 315 degrees clockwise from up

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
