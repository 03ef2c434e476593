// Millisecond clock and the profiling timer: keeps the last sample, the extremes and a
// running average that is published and restarted once more than `period` samples are summed.
#pragma once

#include <cstdint>

struct timer {
    int64_t frequency;      // counter ticks per second
    int64_t ticks_per_ms;   // frequency / 1000
    int64_t start_count;    // counter at the last start (0 = never started)
    int64_t accumulated;    // ticks summed since the last publication
    int32_t sample_count;   // samples summed since the last publication
    int32_t period;         // publish after more than this many samples (10)
    int32_t published_average;
    int32_t running_average;
    int32_t minimum;        // starts at 0x7FFFFFFF, never reset after setup
    int32_t maximum;
    int32_t last;
    int32_t total;
};

// Counter / (frequency / 1000), cut to 32 bits: callers take wrapping differences.
uint32_t timer_get_ms(void);
bool timer_setup(timer* t);
void timer_reset(timer* t);
void timer_clean(timer* t);
void timer_start(timer* t);
void timer_stop(timer* t);
