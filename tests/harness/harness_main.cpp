// Test entry: every test process runs headless in a fresh temporary working folder, and
// every test in a fresh folder of its own inside it, so logs, options and saved files never
// land in the source tree or leak from one test into the next when a program runs whole.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "tests/harness/harness.h"

static std::string harness_dir;
static std::string harness_test_dir;

const char* harness_tmp_dir() { return harness_test_dir.empty() ? harness_dir.c_str() : harness_test_dir.c_str(); }

// Each test starts in an empty folder of its own under the process folder and leaves it
// behind when it ends, wherever the test itself went; the next test never sees its files.
class HarnessTestFolder : public testing::EmptyTestEventListener {
    int serial = 0;

    void OnTestStart(const testing::TestInfo&) override
    {
        std::error_code ec;
        std::filesystem::current_path(harness_dir, ec);
        harness_test_dir = harness_dir + "/t" + std::to_string(++serial);
        std::filesystem::create_directory(harness_test_dir, ec);
        if (ec || chdir(harness_test_dir.c_str()) != 0) {
            perror("test folder");
            std::exit(2);
        }
    }

    void OnTestEnd(const testing::TestInfo&) override
    {
        std::error_code ec;
        std::filesystem::current_path(harness_dir, ec);
        if (!getenv("DORVALE_KEEP_TMP"))
            std::filesystem::remove_all(harness_test_dir, ec);
        harness_test_dir.clear();
    }
};

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
    testing::UnitTest::GetInstance()->listeners().Append(new HarnessTestFolder);
    int rc = RUN_ALL_TESTS();

    if (chdir("/") == 0 && !getenv("DORVALE_KEEP_TMP")) {
        std::error_code ec;
        std::filesystem::remove_all(harness_dir, ec);
    }
    return rc;
}
