// Timing driver phase sequences, switch requests and run flags, on an injected clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/code/main_state.h"
#include "platform/plat_core.h"

namespace {

int64_t fake_ms;
int64_t fake_clock() { return fake_ms; } // frequency 1000: one tick per millisecond

struct call {
    uint32_t phase;
    int32_t body_step;
};
std::vector<call> calls;
std::vector<std::string> broken;

void record(uint32_t phase)
{
    calls.push_back({phase, body_step});
    if (phase == UPDATE_MIND_TICK || phase == UPDATE_MIND_AFTER || phase == UPDATE_BODY_STEP)
        return;
    if (mind_time != body_time + until_tick)
        broken.push_back("invariant at phase " + std::to_string(phase));
}

const main_state_hooks recorder = {nullptr, nullptr, nullptr, record, nullptr, nullptr};

const uint32_t FB = UPDATE_FRAME_BEGIN, MT = UPDATE_MIND_TICK, MA = UPDATE_MIND_AFTER,
               BS = UPDATE_BODY_STEP, FE = UPDATE_FRAME_END;

struct DriverTest : testing::Test {
    void SetUp() override
    {
        fake_ms = 50000;
        plat_set_clock(fake_clock, 1000);
        calls.clear();
        broken.clear();
        main_state_curr = &recorder;
        reset_state_clocks(100);
    }
    void TearDown() override
    {
        plat_set_clock(nullptr, 0);
        main_state_curr = nullptr;
    }
    // Advances the clock and runs the driver; returns the calls it made.
    std::vector<call> run(int ms)
    {
        calls.clear();
        fake_ms += ms;
        run_state_update();
        EXPECT_TRUE(broken.empty()) << broken[0];
        EXPECT_EQ(mind_time, body_time + until_tick);
        return calls;
    }
};

bool operator==(const call& a, const call& b) { return a.phase == b.phase && (a.phase != BS || a.body_step == b.body_step); }
std::ostream& operator<<(std::ostream& o, const call& c) { return o << std::hex << c.phase << std::dec << "/" << c.body_step; }

} // namespace

TEST_F(DriverTest, FirstFrameAfterResetTicksAtOnceThenCatchesUp)
{
    std::vector<call> want = {{FB, 0}, {MT, 0}, {MA, 0}, {BS, 100}, {MT, 0}, {MA, 0},
                              {BS, 100}, {MT, 0}, {MA, 0}, {BS, 50}, {FE, 0}};
    EXPECT_EQ(run(250), want);
    EXPECT_EQ(mind_time, 300);
    EXPECT_EQ(body_time, 250);
    EXPECT_EQ(until_tick, 50);
}

TEST_F(DriverTest, LaterFramesSplitAtTickBoundaries)
{
    // Each case starts from the first frame's state: mind 300, body 250, until_tick 50.
    struct {
        const char* name;
        int ms;
        std::vector<call> want;
        int32_t mind, body, until;
    } cases[] = {
        {"exactly reaching the tick ends with an empty body step", 50,
         {{FB, 0}, {BS, 50}, {MT, 0}, {MA, 0}, {BS, 0}, {FE, 0}}, 400, 300, 100},
        {"crossing two boundaries", 180,
         {{FB, 0}, {BS, 50}, {MT, 0}, {MA, 0}, {BS, 100}, {MT, 0}, {MA, 0}, {BS, 30}, {FE, 0}}, 500, 430, 70},
        {"within a tick", 20, {{FB, 0}, {BS, 20}, {FE, 0}}, 300, 270, 30},
        {"no time passed calls nothing", 0, {}, 300, 250, 50},
    };
    for (auto& c : cases) {
        reset_state_clocks(100);
        run(250);
        EXPECT_EQ(run(c.ms), c.want) << c.name;
        EXPECT_EQ(mind_time, c.mind) << c.name;
        EXPECT_EQ(body_time, c.body) << c.name;
        EXPECT_EQ(until_tick, c.until) << c.name;
    }
}

TEST_F(DriverTest, MillisecondClockWrapStillGivesTheDelta)
{
    fake_ms = 0xFFFFFFF0LL; // 16 ms before the 32-bit wrap
    reset_state_clocks(100);
    std::vector<call> want = {{FB, 0}, {MT, 0}, {MA, 0}, {BS, 32}, {FE, 0}};
    EXPECT_EQ(run(32), want);
    EXPECT_EQ(state_clock_now, 16u);
    EXPECT_EQ(body_time, 32);
}

TEST(MainState, SwitchRequestsPickTheirTablesAndTheMenuOtherwise)
{
    main_state_next = nullptr;
    for (int choice : {0, 4, 42, -1, 8}) {
        set_next_main_state(choice);
        EXPECT_EQ(main_state_next, &main_state_menu) << choice;
    }
    set_next_main_state(5);
    EXPECT_EQ(main_state_next, &main_state_structor);
    set_next_main_state(6);
    EXPECT_EQ(main_state_next, &main_state_bud_test);
    set_next_main_state(7);
    EXPECT_EQ(main_state_next, &main_state_amaze);
    main_state_next = nullptr;
}

TEST(MainState, RunFlagsSeeOnlyUpperCaseInTheFirstEightCharacters)
{
    EXPECT_EQ(parse_run_flags("TC"), 3);
    EXPECT_EQ(parse_run_flags("tc"), 0);
    EXPECT_EQ(parse_run_flags(""), 0);
    EXPECT_EQ(parse_run_flags("xTxT"), 1);
    EXPECT_EQ(parse_run_flags("1234567C"), 2);
    EXPECT_EQ(parse_run_flags("12345678C"), 0);
}
