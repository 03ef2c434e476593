// Timer behaviour on an injected counter: samples, extremes and the published average.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "engine/code/timer.h"
#include "platform/plat_core.h"

namespace {

int64_t fake_now;
int64_t fake_clock() { return fake_now; }

// 1000 counter ticks per millisecond.
struct TimerTest : testing::Test {
    timer t;
    void SetUp() override
    {
        fake_now = 5000000;
        plat_set_clock(fake_clock, 1000000);
        timer_setup(&t);
    }
    void TearDown() override { plat_set_clock(nullptr, 0); }
    void sample(int ms)
    {
        timer_start(&t);
        fake_now += (int64_t)ms * 1000;
        timer_stop(&t);
    }
};

} // namespace

TEST_F(TimerTest, StopWithoutStartChangesNothingAndASecondStopMeasuresFromTheStart)
{
    timer before = t;
    fake_now += 12345;
    timer_stop(&t);
    EXPECT_EQ(memcmp(&before, &t, sizeof(t)), 0);
    timer_start(&t);
    fake_now += 4000;
    timer_stop(&t);
    fake_now += 3000;
    timer_stop(&t);
    EXPECT_EQ(t.last, 7); // 4 + 3 ms since the one start
    fake_now = ((int64_t)1 << 32) * 1000 + 5000; // 2^32 + 5 ms in the 32-bit clock
    EXPECT_EQ(timer_get_ms(), 5u);
}

TEST_F(TimerTest, EleventhSamplePublishesTheMeanAndRestartsButNotTheExtremes)
{
    for (int ms = 10; ms >= 1; ms--) // the smallest last: not the first sample nor an average
        sample(ms);
    EXPECT_EQ(t.published_average, 0) << "ten samples publish nothing yet";
    sample(33); // publishes (55 + 33) / 11 = 8, truncated, and restarts the sums
    EXPECT_EQ(t.published_average, 8);

    // The published value stays until the next one; kept sums would give 308 / 22 = 14.
    for (int i = 0; i < 10; i++)
        sample(20);
    EXPECT_EQ(t.published_average, 8);
    sample(20);
    EXPECT_EQ(t.published_average, 20);
    // The extremes of all 22 samples (10 down to 1, 33, then 20s), kept across publications.
    EXPECT_EQ((std::pair<int32_t, int32_t>(t.minimum, t.maximum)), (std::pair<int32_t, int32_t>(1, 33)));
}
