// Replays the committed seed-and-regression corpus of each fuzz target through its entry
// point, built with the normal compiler, so an input once fixed stays fixed. A crash, an
// abort of the target's own checks or a hang (the test's time limit) fails the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "tests/harness/harness.h"

extern "C" int files_fuzz_one(const uint8_t* data, size_t size);
extern "C" int xml_fuzz_one(const uint8_t* data, size_t size);
extern "C" int xtra_fuzz_one(const uint8_t* data, size_t size);
extern "C" int bmps_fuzz_one(const uint8_t* data, size_t size);
extern "C" int bmps_fuzz_init(int* argc, char*** argv);

namespace {

struct target {
    const char* name; // the corpus folder, named after the fuzz source
    int (*one)(const uint8_t*, size_t);
    int (*init)(int*, char***);
};

const target TARGETS[] = {
    {"files", files_fuzz_one, nullptr},
    {"xml", xml_fuzz_one, nullptr},
    {"xtra", xtra_fuzz_one, nullptr},
    {"bmps", bmps_fuzz_one, bmps_fuzz_init},
};

struct FuzzReplay : testing::TestWithParam<target> {};

} // namespace

TEST_P(FuzzReplay, EveryCorpusFileRunsThrough)
{
    const target& t = GetParam();
    // Absolute paths: the bitmap target moves to a folder of its own, and silences standard
    // output, which the test's report needs back.
    std::string folder = std::string(DORVALE_SOURCE_DIR "/tests/fuzz/corpus/") + t.name;
    if (t.init) {
        int out = dup(1);
        ASSERT_EQ(t.init(nullptr, nullptr), 0);
        fflush(stdout);
        dup2(out, 1);
        close(out);
    }
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string bytes = harness_read_file(entry.path().c_str());
        EXPECT_EQ(t.one((const uint8_t*)bytes.data(), bytes.size()), 0) << entry.path();
        files++;
    }
    EXPECT_GE(files, 4) << "seeds and regressions of " << t.name;
    if (t.init) // the scratch folder the target made and moved into
        std::filesystem::remove_all(std::filesystem::current_path());
}

INSTANTIATE_TEST_SUITE_P(Corpus, FuzzReplay, testing::ValuesIn(TARGETS),
                         [](const testing::TestParamInfo<target>& p) { return std::string(p.param.name); });
