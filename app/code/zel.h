// Lua library zel: the installation's folders and a local time stamp for scripts.
#pragma once

#include <time.h>

// Injection point for the clock of zel.date_time_now; NULL restores time().
typedef time_t (*zel_clock_fn)(void);
void zel_set_clock(zel_clock_fn clock);
