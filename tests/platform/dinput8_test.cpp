// Input devices on SDL events: the translation tables (the item buffer is tested with the
// window that feeds it).
#include <gtest/gtest.h>

#include <SDL.h>

#include "platform/dinput8.h"

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
