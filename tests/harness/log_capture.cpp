// Log capture for tests (see log_capture.h).

#include "tests/harness/log_capture.h"

#include "engine/code/dbg.h"

log_capture LOGGED;

static void on_print(const char* text) { LOGGED.print += text; }
static void on_warning(const char* text) { LOGGED.warning += text; }
static void on_error(const char* text) { LOGGED.error += text; }
static void on_status(const char* text) { LOGGED.status += text; }

void log_capture_start()
{
    dbg_reset_for_tests();
    LOGGED = log_capture();
    dbg_print_hook = on_print;
    dbg_warning_hook = on_warning;
    dbg_error_hook = on_error;
    dbg_status_hook = on_status;
}

void log_capture_stop() { dbg_reset_for_tests(); }
