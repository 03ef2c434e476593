// The log. Messages longer than the 4095 characters of dbg_text are cut.

#include "engine/code/dbg.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/plat_core.h"

char dbg_text[4096];
char dbg_session[64] = "debug";
unsigned char dbg_warning_new_session;
unsigned char dbg_error_new_session;
dbg_hook dbg_print_hook;
dbg_hook dbg_warning_hook;
dbg_hook dbg_error_hook;
dbg_hook dbg_status_hook;

static void format_text(const char* format, va_list ap)
{
    vsnprintf(dbg_text, sizeof(dbg_text), format, ap);
}

static void emit(const char* file_name, dbg_hook hook)
{
    OutputDebugStringA(dbg_text);
    printf("%s", dbg_text);
    if (file_name) {
        FILE* f = fopen(file_name, "a");
        if (f) {
            fprintf(f, "%s", dbg_text);
            fclose(f);
        }
    }
    if (hook)
        hook(dbg_text);
}

// Warnings and errors: the first message after a session change is preceded by a
// "+++ New Session" line, which goes the same way (file, hook) as the message.
static void log_to_file(const char* file_name, unsigned char* new_session, dbg_hook* hook,
                        const char* format, va_list ap)
{
    if (*new_session) {
        *new_session = 0;
        snprintf(dbg_text, sizeof(dbg_text), "\n+++ New Session %s\n\n", dbg_session);
        emit(file_name, *hook);
    }
    format_text(format, ap);
    emit(file_name, *hook);
}

void dbg_set_session(const char* name)
{
    strncpy(dbg_session, name, sizeof(dbg_session) - 1);
    dbg_session[sizeof(dbg_session) - 1] = 0;
    dbg_warning_new_session = 1;
    dbg_error_new_session = 1;
}

void dbg_print(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    format_text(format, ap);
    va_end(ap);
    emit(nullptr, dbg_print_hook);
}

void dbg_warning(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    log_to_file("WARN.TXT", &dbg_warning_new_session, &dbg_warning_hook, format, ap);
    va_end(ap);
}

void dbg_error(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    log_to_file("ERROR.TXT", &dbg_error_new_session, &dbg_error_hook, format, ap);
    va_end(ap);
}

void dbg_status(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    format_text(format, ap);
    va_end(ap);
    if (dbg_status_hook)
        dbg_status_hook(dbg_text);
}

void dbg_reset_for_tests(void)
{
    strcpy(dbg_session, "debug");
    dbg_warning_new_session = 0;
    dbg_error_new_session = 0;
    dbg_print_hook = dbg_warning_hook = dbg_error_hook = dbg_status_hook = nullptr;
}
