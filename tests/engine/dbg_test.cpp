// The log: where each level's text goes, the session line, and long messages.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/code/dbg.h"
#include "platform/plat_core.h"
#include "tests/harness/harness.h"
#include "tests/harness/log_capture.h"

namespace {

std::string debugger;
void rec_debug(const char* t) { debugger += t; }

struct DbgTest : testing::Test {
    void SetUp() override
    {
        log_capture_start();
        remove("WARN.TXT");
        remove("ERROR.TXT");
        debugger.clear();
        plat_set_debug_output(rec_debug);
    }
    void TearDown() override
    {
        plat_set_debug_output(nullptr);
        log_capture_stop();
    }
};

} // namespace

TEST_F(DbgTest, EachLevelReachesItsOwnOutputs)
{
    testing::internal::CaptureStdout();
    dbg_print("p%d\n", 1);
    dbg_warning("w%d\n", 2);
    dbg_error("e%d\n", 3);
    dbg_status("s%d\n", 4);
    std::string out = testing::internal::GetCapturedStdout();

    EXPECT_EQ(out, "p1\nw2\ne3\n");
    EXPECT_EQ(debugger, "p1\nw2\ne3\n");
    EXPECT_EQ(LOGGED.print, "p1\n");
    EXPECT_EQ(LOGGED.warning, "w2\n");
    EXPECT_EQ(LOGGED.error, "e3\n");
    EXPECT_EQ(LOGGED.status, "s4\n"); // status reaches only its hook
    EXPECT_EQ(harness_read_file("WARN.TXT"), "w2\n");
    EXPECT_EQ(harness_read_file("ERROR.TXT"), "e3\n");
}

// Once the session is named, the first warning puts "\n+++ New Session %s\n\n" into
// WARN.TXT before its own text and the first error does the same in ERROR.TXT, each once;
// both files are appended to, so what an earlier run left stays.
TEST_F(DbgTest, SessionLineWrittenOncePerFileAndAppended)
{
    harness_write_file("ERROR.TXT", "earlier run\n");
    dbg_warning("old\n"); // no session named yet: no line
    dbg_set_session("Build7");
    dbg_warning("one\n");
    dbg_warning("two\n");
    EXPECT_EQ(harness_read_file("WARN.TXT"), "old\n\n+++ New Session Build7\n\none\ntwo\n");
    EXPECT_EQ(harness_read_file("ERROR.TXT"), "earlier run\n") << "a warning writes no error session line";
    // The session line goes through the hook like any warning.
    EXPECT_EQ(LOGGED.warning, "old\n\n+++ New Session Build7\n\none\ntwo\n");

    dbg_error("bad\n");
    dbg_error("worse\n");
    EXPECT_EQ(harness_read_file("ERROR.TXT"), "earlier run\n\n+++ New Session Build7\n\nbad\nworse\n");
    EXPECT_EQ(LOGGED.error, "\n+++ New Session Build7\n\nbad\nworse\n");

    // A name of 100 characters keeps its first 63, and naming the session again arms both
    // files once more.
    dbg_set_session(std::string(100, 'n').c_str());
    EXPECT_EQ(std::string(dbg_session), std::string(63, 'n'));
    dbg_error("again\n");
    EXPECT_TRUE(harness_ends_with(harness_read_file("ERROR.TXT"), ("\n+++ New Session " + std::string(63, 'n') + "\n\nagain\n").c_str()));
}

TEST_F(DbgTest, AnUnwritableLogFileIsSkippedAndOverlongTextIsCut)
{
    // A folder in the file's place makes the open fail; the message still reaches the rest.
    ASSERT_EQ(system("mkdir WARN.TXT"), 0);
    testing::internal::CaptureStdout();
    dbg_warning("still here\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "still here\n");
    EXPECT_EQ(LOGGED.warning, "still here\n");
    ASSERT_EQ(system("rmdir WARN.TXT"), 0);

    std::string big(6000, 'x');
    dbg_status("%s", big.c_str());
    EXPECT_EQ(LOGGED.status, std::string(4095, 'x'));
}
