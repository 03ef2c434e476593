// The program's entry: start-up, the frame loop until the quit message, and shut-down.
// The pieces of a frame are exposed so they can be driven one by one.
#pragma once

#include "app/code/main_state.h"

struct input_state;

enum {
    MAIN_EXIT_OK = 0,
    MAIN_EXIT_FAILED = 1, // the application or a main state could not start
    MAIN_EXIT_LUA = 20,   // the Lua environment could not start
};

// The whole run; returns the process exit code.
int dorvale_main(void);

// Makes `first` current and sets it up, runs frames until the quit message or a failed
// state switch, then cleans the current state and clears the state pointers.
// MAIN_EXIT_FAILED when a setup failed, MAIN_EXIT_OK otherwise.
int main_loop_run(const main_state_hooks* first);
// One frame; false when a requested state failed to set up (the frame stops there).
// Sets *quit when the message pump took the quit message.
bool main_loop_frame(bool* quit);
// Carries out a requested switch: clean of the old state, setup of the new, clocks reset.
// False (after logging) when the new state's setup failed; it stays the current state.
bool main_loop_switch(void);
// The three per-frame status lines.
void main_loop_status(void);
// Clears the pressed and released flags of every button; held flags and axes stay.
void main_loop_clear_input(input_state* input);
// Dispatches every pending message; true when the quit message was among them.
bool main_loop_pump(void);
