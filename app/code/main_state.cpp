// Main-state pointers, the switch request, the state clocks and the timing driver.
// Clock arithmetic wraps at 32 bits; comparisons of time left and time passed are signed.

#include "app/code/main_state.h"

#include "engine/code/timer.h"

const main_state_hooks* main_state_prev;
const main_state_hooks* main_state_curr;
const main_state_hooks* main_state_next;

uint32_t state_clock_last;
uint32_t state_clock_now;
int32_t mind_time;
int32_t mind_step = 100;
int32_t until_tick;
int32_t body_time;
int32_t body_step;

void set_next_main_state(int32_t choice)
{
    switch (choice) {
    case MAIN_STATE_CHOICE_STRUCTOR: main_state_next = &main_state_structor; break;
    case MAIN_STATE_CHOICE_BUD_TEST: main_state_next = &main_state_bud_test; break;
    case MAIN_STATE_CHOICE_AMAZE: main_state_next = &main_state_amaze; break;
    default: main_state_next = &main_state_menu; break;
    }
}

void reset_state_clocks(uint32_t tick_ms)
{
    state_clock_last = state_clock_now = timer_get_ms();
    mind_time = 0;
    until_tick = 0;
    body_time = 0;
    body_step = 0;
    mind_step = (int32_t)tick_ms;
}

static int32_t add(int32_t a, int32_t b) { return (int32_t)((uint32_t)a + (uint32_t)b); }
static int32_t sub(int32_t a, int32_t b) { return (int32_t)((uint32_t)a - (uint32_t)b); }

static void deliver(uint32_t phase)
{
    if (main_state_curr && main_state_curr->update)
        main_state_curr->update(phase);
}

void run_state_update(void)
{
    state_clock_last = state_clock_now;
    state_clock_now = timer_get_ms();
    int32_t delta = (int32_t)(state_clock_now - state_clock_last);
    if (delta == 0)
        return;

    deliver(UPDATE_FRAME_BEGIN);
    while (until_tick <= delta) {
        if (until_tick != 0) {
            body_step = until_tick;
            body_time = add(body_time, body_step);
            deliver(UPDATE_BODY_STEP);
            delta = sub(delta, body_step);
            until_tick = sub(until_tick, body_step);
        }
        mind_time = add(mind_time, mind_step);
        deliver(UPDATE_MIND_TICK);
        deliver(UPDATE_MIND_AFTER);
        until_tick = add(until_tick, mind_step);
    }
    body_step = delta;
    body_time = add(body_time, delta);
    deliver(UPDATE_BODY_STEP);
    until_tick = sub(until_tick, body_step);
    deliver(UPDATE_FRAME_END);
}

uint8_t parse_run_flags(const char* text)
{
    uint8_t flags = 0;
    for (int i = 0; i < 8 && text[i]; i++) {
        if (text[i] == 'T')
            flags |= 0x1;
        else if (text[i] == 'C')
            flags |= 0x2;
    }
    return flags;
}
