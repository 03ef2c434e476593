// The input control state INPUT, written only by the Lua table KEYS and read by native code.
#pragma once

#include <cstdint>

struct input_button {
    uint8_t held;     // down now
    uint8_t pressed;  // went down this frame
    uint8_t released; // went up this frame
};

struct input_player {
    int32_t leftright;
    input_button left, right;
    int32_t updown;
    input_button up, down;
    int32_t inout;
    input_button in, out;
    input_button* buttons[6]; // left, right, up, down, in, out
};

struct input_state {
    input_player players[5]; // players 1 to 4 (p1_ to p4_), then the block of no player
    input_button grab, click, menu;
};

extern input_state INPUT;
