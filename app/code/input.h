// Control state and the Lua input library. Raw device events go to Lua handlers stored in
// the global table `input`; the handlers report what the events mean through the native
// functions of the global table `KEYS`, which are the only writers of `INPUT`.
#pragma once

#include <cstdint>

#include "app/code/di_input.h"

struct lua_State;

// Each flag is 0 or 1. pressed and released last one frame.
struct input_button {
    uint8_t held;
    uint8_t pressed;
    uint8_t released;
};

// Three axes, each with a button for its negative and its positive direction.
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

enum { INPUT_TABLES = 24 }; // input[0] to input[23]: device keys and kind keys

void input_state_setup(input_state* s);
// A button going down or up: a change of held sets pressed or released.
void input_button_set(input_button* b, bool down);
// An axis value: its sign presses one direction and releases the other; 0 releases both.
void input_axis_set(int32_t* axis, input_button* negative, input_button* positive, int32_t v);

// Registers `input` and `KEYS`, then runs local/lua/input.lua. Runs as a protected body.
void input_lua_setup(lua_State* L);
// Hands the frame's event list to the Lua handlers in one protected call.
bool input_dispatch(void);
// Protected body: light userdata = the event list (input_event_list*).
int input_lua_dispatch(lua_State* L);
