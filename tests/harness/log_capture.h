// Log capture for tests: what each level of the log hands its hook, gathered as text.
#pragma once

#include <string>

struct log_capture {
    std::string print;
    std::string warning;
    std::string error;
    std::string status;
};

// Every text the hooks received since log_capture_start.
extern log_capture LOGGED;

// Resets the log (session, flags, hooks), clears LOGGED and hooks all four levels into it.
void log_capture_start();
// Unhooks and resets the log again; safe without a start.
void log_capture_stop();
