// The harness runs each test in its own fresh working folder.
#include <gtest/gtest.h>

#include <unistd.h>

#include "tests/harness/harness.h"

TEST(Harness, RunsInFreshFolder)
{
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    EXPECT_STREQ(cwd, harness_tmp_dir());
    EXPECT_NE(access("WARN.TXT", F_OK), 0);
}
