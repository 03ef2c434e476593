// Test entry: every test process runs headless in a fresh temporary working folder,
// so logs, options and saved files never land in the source tree or leak between tests.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "tests/harness/harness.h"

static std::string harness_dir;

const char* harness_tmp_dir() { return harness_dir.c_str(); }

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("ALSOFT_DRIVERS", "null", 1);
    setenv("ALSOFT_LOGLEVEL", "0", 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    // llvmpipe renders on the calling thread: its worker threads crash the leak checker's
    // stop-the-world scan at exit.
    setenv("LP_NUM_THREADS", "0", 1);
    // The same goes for the shader disk cache's writer thread, still busy when a test that
    // compiled a new shader exits; the cache also lives outside the test's folder.
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);

    char tmpl[] = "/tmp/dorvale_test_XXXXXX";
    if (!mkdtemp(tmpl)) {
        perror("mkdtemp");
        return 2;
    }
    harness_dir = tmpl;
    if (chdir(tmpl) != 0) {
        perror("chdir");
        return 2;
    }

    testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();

    if (chdir("/") == 0 && !getenv("DORVALE_KEEP_TMP")) {
        std::error_code ec;
        std::filesystem::remove_all(harness_dir, ec);
    }
    return rc;
}
