// Timer behaviour on an injected counter: samples, extremes and the published average.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/code/timer.h"
#include "platform/plat_core.h"

namespace {

int64_t fake_now;
int64_t fake_clock() { return fake_now; }

// 1000 counter ticks per millisecond.
struct TimerTest : testing::Test {
    void SetUp() override
    {
        fake_now = 5000000;
        plat_set_clock(fake_clock, 1000000);
    }
    void TearDown() override { plat_set_clock(nullptr, 0); }

    void sample(timer* t, int ms)
    {
        timer_start(t);
        fake_now += (int64_t)ms * 1000;
        timer_stop(t);
    }
};

} // namespace

TEST_F(TimerTest, StopWithoutStartChangesNothingASecondStopMeasuresFromTheStartAndMsAreCutTo32Bits)
{
    timer t;
    timer_setup(&t);
    timer before = t;
    fake_now += 12345;
    timer_stop(&t);
    EXPECT_EQ(memcmp(&before, &t, sizeof(t)), 0);

    // A second stop measures from the same start.
    timer_start(&t);
    fake_now += 4000;
    timer_stop(&t);
    fake_now += 3000;
    timer_stop(&t);
    EXPECT_EQ(t.last, 7);
    EXPECT_EQ(t.sample_count, 2);

    // The millisecond clock is the counter over ticks per ms, cut to 32 bits.
    fake_now = 1234567;
    EXPECT_EQ(timer_get_ms(), 1234u);
    // 2^32 + 5 ms worth of ticks wraps to 5.
    fake_now = ((int64_t)1 << 32) * 1000 + 5000;
    EXPECT_EQ(timer_get_ms(), 5u);
}

TEST_F(TimerTest, EleventhSamplePublishesTheMeanAndRestarts)
{
    timer t;
    timer_setup(&t);
    // Ten samples of 1..10 ms: nothing published yet.
    for (int ms = 1; ms <= 10; ms++)
        sample(&t, ms);
    EXPECT_EQ(t.published_average, 0);
    EXPECT_EQ(t.sample_count, 10);
    EXPECT_EQ(t.last, 10);
    EXPECT_EQ(t.total, 55);
    EXPECT_EQ(t.running_average, 5);

    // The 11th (of 33 ms) publishes (55 + 33) / 11 = 8 and restarts the sums.
    sample(&t, 33);
    EXPECT_EQ(t.published_average, 8);
    EXPECT_EQ(t.sample_count, 0);
    EXPECT_EQ(t.accumulated, 0);
    EXPECT_EQ(t.minimum, 1);
    EXPECT_EQ(t.maximum, 33);

    // The extremes survive publication; the published value stays until the next one.
    for (int i = 0; i < 10; i++)
        sample(&t, 20);
    EXPECT_EQ(t.published_average, 8);
    EXPECT_EQ(t.minimum, 1);
    EXPECT_EQ(t.maximum, 33);
    sample(&t, 20);
    EXPECT_EQ(t.published_average, 20);
}
