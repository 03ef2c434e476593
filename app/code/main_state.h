// Main states: the table of hooks every main state fills, the previous/current/requested
// state pointers, the state clocks and the timing driver that turns elapsed time into a
// fixed mind tick and variable body steps for the current state's update hook.
#pragma once

#include <cstdint>

struct gfx;

// One static, read-only table per main state. Any hook may be null (a null setup succeeds).
struct main_state_hooks {
    bool (*setup)(gfx* root); // false: the state could not start
    bool (*reset)(void);      // clean, then setup with the root it was last set up with
    void (*clean)(void);
    void (*update)(uint32_t phase); // exactly one phase bit per call
    void (*draw)(void);             // between graphics begin and end
    void* zero;
};

// Update phase bits, delivered by run_state_update.
enum : uint32_t {
    UPDATE_FRAME_BEGIN = 0x1,
    UPDATE_MIND_TICK = 0x10,
    UPDATE_MIND_AFTER = 0x20,
    UPDATE_BODY_STEP = 0x100,
    UPDATE_FRAME_END = 0x80000000u,
};

// Option choice values naming the states.
enum {
    MAIN_STATE_CHOICE_MENU = 4,
    MAIN_STATE_CHOICE_STRUCTOR = 5,
    MAIN_STATE_CHOICE_BUD_TEST = 6,
    MAIN_STATE_CHOICE_AMAZE = 7,
};

extern const main_state_hooks main_state_menu;
extern const main_state_hooks main_state_structor;
extern const main_state_hooks main_state_bud_test;
extern const main_state_hooks main_state_amaze;

extern const main_state_hooks* main_state_prev; // the state left at the last switch
extern const main_state_hooks* main_state_curr; // the running state
extern const main_state_hooks* main_state_next; // requested; switched to at the top of a frame

// State clocks in milliseconds. After every driver call mind_time = body_time + until_tick.
extern uint32_t state_clock_last; // time stamp of the previous driver call
extern uint32_t state_clock_now;  // time stamp of the current driver call
extern int32_t mind_time;         // mind ticks delivered since the switch
extern int32_t mind_step;         // tick length
extern int32_t until_tick;        // time left to the next tick
extern int32_t body_time;         // body time delivered since the switch
extern int32_t body_step;         // the body step being delivered

// 5, 6 and 7 request their states; every other value requests the menu.
void set_next_main_state(int32_t choice);
void reset_state_clocks(uint32_t tick_ms);
// Delivers the time passed since the last call to the current state's update hook:
// nothing when no time passed, else frame begin, (body step up to the boundary,) mind tick
// and after-tick for each boundary reached, the rest as a body step, frame end.
void run_state_update(void);
// Bit 0x1 for each 'T' and 0x2 for each 'C' among the first 8 characters.
uint8_t parse_run_flags(const char* text);
