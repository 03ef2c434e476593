// Timing driver phase sequences, switch requests and run flags, on an injected clock.
#include <gtest/gtest.h>

#include <vector>

#include "app/code/main_state.h"
#include "platform/plat_core.h"

namespace {

int64_t fake_ms;
int64_t fake_clock() { return fake_ms; } // frequency 1000: one tick per millisecond

const uint32_t FB = UPDATE_FRAME_BEGIN, MT = UPDATE_MIND_TICK, MA = UPDATE_MIND_AFTER, BS = UPDATE_BODY_STEP,
               FE = UPDATE_FRAME_END;

struct call {
    uint32_t phase;
    int32_t body_step; // compared only for body steps
};
bool operator==(const call& a, const call& b) { return a.phase == b.phase && (a.phase != BS || a.body_step == b.body_step); }
std::ostream& operator<<(std::ostream& o, const call& c) { return o << std::hex << c.phase << std::dec << "/" << c.body_step; }

std::vector<call> calls;
void record(uint32_t phase) { calls.push_back({phase, body_step}); }
const main_state_hooks recorder = {nullptr, nullptr, nullptr, record, nullptr, nullptr};

// Advances the clock by ms and runs the driver; returns the calls it made.
std::vector<call> run(int64_t ms)
{
    calls.clear();
    fake_ms += ms;
    run_state_update();
    EXPECT_EQ(mind_time, body_time + until_tick);
    return calls;
}

} // namespace

// Worked by hand from the driver's rules. After a reset until_tick is 0, so 250 ms give a
// tick at once, then body 100 + tick twice (until_tick 0 -> 100 each time), then the last
// 50 ms: mind 300, body 250, until_tick 300 - 250 = 50. The later frames start from there:
// 50 ms reach the boundary exactly (body 50, tick, empty final step: until_tick 100);
// 180 ms are 50 + tick + 100 + tick + 30 (mind 500, body 430); 20 ms stay inside the tick.
TEST(Driver, PhaseSequencesSplitFramesAtTickBoundaries)
{
    struct {
        const char* name;
        int64_t start, ms; // clock at the reset; the frame's length after the 250 ms frame (-1: none)
        std::vector<call> want;
        int32_t mind, body, until;
    } cases[] = {
        {"first frame after a reset ticks at once", 50000, -1,
         {{FB, 0}, {MT, 0}, {MA, 0}, {BS, 100}, {MT, 0}, {MA, 0}, {BS, 100}, {MT, 0}, {MA, 0}, {BS, 50}, {FE, 0}},
         300, 250, 50},
        {"exactly reaching the tick ends with an empty body step", 50000, 50,
         {{FB, 0}, {BS, 50}, {MT, 0}, {MA, 0}, {BS, 0}, {FE, 0}}, 400, 300, 100},
        {"crossing two boundaries", 50000, 180,
         {{FB, 0}, {BS, 50}, {MT, 0}, {MA, 0}, {BS, 100}, {MT, 0}, {MA, 0}, {BS, 30}, {FE, 0}}, 500, 430, 70},
        {"within a tick", 50000, 20, {{FB, 0}, {BS, 20}, {FE, 0}}, 300, 270, 30},
        {"no time passed calls nothing", 50000, 0, {}, 300, 250, 50},
        // 16 ms before the 32-bit millisecond wrap: the wrapped difference is still 250.
        {"the millisecond clock wraps", 0xFFFFFFF0LL, -1,
         {{FB, 0}, {MT, 0}, {MA, 0}, {BS, 100}, {MT, 0}, {MA, 0}, {BS, 100}, {MT, 0}, {MA, 0}, {BS, 50}, {FE, 0}},
         300, 250, 50},
    };
    plat_set_clock(fake_clock, 1000);
    main_state_curr = &recorder;
    for (auto& c : cases) {
        fake_ms = c.start;
        reset_state_clocks(100);
        std::vector<call> first = run(250);
        EXPECT_EQ(c.ms < 0 ? first : run(c.ms), c.want) << c.name;
        EXPECT_EQ(mind_time, c.mind) << c.name;
        EXPECT_EQ(body_time, c.body) << c.name;
        EXPECT_EQ(until_tick, c.until) << c.name;
    }
    EXPECT_EQ(state_clock_now, 234u) << "0xFFFFFFF0 + 250 wrapped";
    plat_set_clock(nullptr, 0);
    main_state_curr = nullptr;
}

TEST(MainState, SwitchRequestsPickTheirTablesAndTheMenuOtherwise)
{
    const struct {
        int32_t choice;
        const main_state_hooks* want;
    } cases[] = {{0, &main_state_menu},      {4, &main_state_menu},     {42, &main_state_menu},
                 {-1, &main_state_menu},     {8, &main_state_menu},     {5, &main_state_structor},
                 {6, &main_state_bud_test},  {7, &main_state_amaze}};
    for (auto& c : cases) {
        main_state_next = nullptr;
        set_next_main_state(c.choice);
        EXPECT_EQ(main_state_next, c.want) << c.choice;
    }
    main_state_next = nullptr;
}

TEST(MainState, RunFlagsSeeOnlyUpperCaseInTheFirstEightCharacters)
{
    const struct {
        const char* text;
        int want;
    } cases[] = {{"TC", 3}, {"tc", 0}, {"", 0}, {"xTxT", 1}, {"1234567C", 2}, {"12345678C", 0}};
    for (auto& c : cases)
        EXPECT_EQ(parse_run_flags(c.text), c.want) << c.text;
}
