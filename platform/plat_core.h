// Platform core: the performance counter, the millisecond wait and debugger output,
// shaped like the Windows calls the engine makes. The clock and the wait are injectable
// so tests can run deterministic frames.
#pragma once

#include "platform/win_types.h"

// Counter ticks; the real clock is CLOCK_MONOTONIC in nanoseconds (frequency 1e9).
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* freq);
void Sleep(DWORD ms);
void OutputDebugStringA(const char* text);

// Injection points. NULL restores the real source.
typedef int64_t (*plat_clock_fn)(void);
typedef void (*plat_sleep_fn)(DWORD ms);
typedef void (*plat_debug_fn)(const char* text);
void plat_set_clock(plat_clock_fn clock, int64_t frequency);
void plat_set_sleep(plat_sleep_fn sleep_fn);
void plat_set_debug_output(plat_debug_fn out);
