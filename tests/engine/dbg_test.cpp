// The log: where each level's text goes, and long messages. (The session line is pinned
// by the Lua environment's start-up tests, which read it from ERROR.TXT.)
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
