// Platform core: monotonic counter, waits and debugger output, with injection for tests.

#include "platform/plat_core.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

static int64_t real_clock(void)
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

static void real_sleep(DWORD ms)
{
    timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = (long)(ms % 1000) * 1000000;
    nanosleep(&ts, nullptr);
}

// Debugger output has no debugger to go to here; DORVALE_DEBUG_OUTPUT=1 sends it to stderr.
static void real_debug(const char* text)
{
    static int enabled = -1;
    if (enabled < 0) {
        const char* e = getenv("DORVALE_DEBUG_OUTPUT");
        enabled = e && *e && *e != '0';
    }
    if (enabled)
        fputs(text, stderr);
}

static plat_clock_fn clock_fn = real_clock;
static int64_t clock_freq = 1000000000;
static plat_sleep_fn sleep_fn_cur = real_sleep;
static plat_debug_fn debug_fn = real_debug;

BOOL QueryPerformanceCounter(LARGE_INTEGER* count)
{
    count->QuadPart = clock_fn();
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* freq)
{
    freq->QuadPart = clock_freq;
    return TRUE;
}

void Sleep(DWORD ms) { sleep_fn_cur(ms); }

void OutputDebugStringA(const char* text) { debug_fn(text); }

void plat_set_clock(plat_clock_fn clock, int64_t frequency)
{
    clock_fn = clock ? clock : real_clock;
    clock_freq = clock ? frequency : 1000000000;
}

void plat_set_sleep(plat_sleep_fn s) { sleep_fn_cur = s ? s : real_sleep; }

void plat_set_debug_output(plat_debug_fn out) { debug_fn = out ? out : real_debug; }
