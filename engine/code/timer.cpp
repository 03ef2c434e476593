// Millisecond clock and profiling timer on the platform's performance counter.

#include "engine/code/timer.h"

#include <cstring>

#include "platform/plat_core.h"

static int64_t counter_now(void)
{
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}

uint32_t timer_get_ms(void)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    int64_t per_ms = f.QuadPart / 1000;
    if (per_ms == 0)
        return 0;
    return (uint32_t)(counter_now() / per_ms);
}

bool timer_setup(timer* t)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    memset(t, 0, sizeof(*t));
    t->frequency = f.QuadPart;
    t->ticks_per_ms = f.QuadPart / 1000;
    t->minimum = 0x7FFFFFFF;
    t->period = 10;
    return true;
}

void timer_clean(timer* t) { (void)t; }

void timer_reset(timer* t)
{
    timer_clean(t);
    timer_setup(t);
}

void timer_start(timer* t) { t->start_count = counter_now(); }

void timer_stop(timer* t)
{
    if (t->start_count == 0)
        return;
    int64_t delta = counter_now() - t->start_count;
    t->accumulated += delta;
    t->sample_count += 1;
    if (t->ticks_per_ms != 0) {
        int64_t n = t->sample_count > 1 ? t->sample_count : 1;
        t->last = (int32_t)(delta / t->ticks_per_ms);
        t->running_average = (int32_t)(t->accumulated / (n * t->ticks_per_ms));
        t->total = (int32_t)(t->accumulated / t->ticks_per_ms);
    }
    if (t->last < t->minimum)
        t->minimum = t->last;
    if (t->last > t->maximum)
        t->maximum = t->last;
    if (t->period != 0 && t->sample_count > t->period) {
        t->published_average = t->running_average;
        t->accumulated = 0;
        t->sample_count = 0;
    }
}
