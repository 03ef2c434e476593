// The application shell's static records, saved before a test and put back after it, for the
// tests that run frames or the whole program: those change the options, the pacing, the
// state pointers and clocks, the input, the console's timers and the subsystems' records.
#pragma once

#include <gtest/gtest.h>

// What is saved: the options, APP, CON, INPUT and the input events, the console, the
// buffers, GFX, HUD and its cartoon clock, SFX, JOURNALS, the heap's count, the menu state
// and its records, the state pointers and clocks, and the log's hooks and session.
struct shell_globals;

// A copy of every record above.
shell_globals* shell_globals_save(void);
// Puts the records back from the copy and frees it (NULL: nothing). Meant for records that
// the test has cleaned again, or never set up: nothing they held is released here.
void shell_globals_restore(shell_globals* saved);

// The whole program on a staged game folder: the records above saved before and put back
// after, and the message source of a test let go.
class ShellProgramRun : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    shell_globals* saved = nullptr;
};
