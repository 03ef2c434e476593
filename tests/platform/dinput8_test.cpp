// Input devices on SDL events: the scan-code table. (The item buffer is tested with the
// window that feeds it, and keys, buttons, axes and hats arrive there through the pump.)
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
