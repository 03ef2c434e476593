// The four-level log: print, warning, error and status. Messages go to the debugger output,
// standard output, WARN.TXT / ERROR.TXT and, through four hooks, the debug console.
#pragma once

typedef void (*dbg_hook)(const char* text);

extern char dbg_text[4096];   // shared format buffer: a hook's text lives until the next log call
extern char dbg_session[64];
extern unsigned char dbg_warning_new_session;
extern unsigned char dbg_error_new_session;
extern dbg_hook dbg_print_hook;
extern dbg_hook dbg_warning_hook;
extern dbg_hook dbg_error_hook;
extern dbg_hook dbg_status_hook;

void dbg_set_session(const char* name);
void dbg_print(const char* format, ...) __attribute__((format(printf, 1, 2)));
void dbg_warning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void dbg_error(const char* format, ...) __attribute__((format(printf, 1, 2)));
void dbg_status(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Tests only: back to the start state (session "debug", flags and hooks cleared).
void dbg_reset_for_tests(void);
