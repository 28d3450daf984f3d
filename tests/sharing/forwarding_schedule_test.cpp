// When the main window's tick forwards the sharing buffer: after traffic,
// never on a multiple of 100 ms, and a skipped tick's traffic is forwarded by
// the next tick even when no more traffic comes.
#include "sharing/core/forwarding_schedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ForwardingSchedule, TrafficIsForwardedByTheNextTickThatMayForward) {
    // traffic seen on this tick, elapsed ms after it, pass started
    const struct {
        bool traffic;
        uint64_t elapsed;
        bool pass;
    } ticks[] = {
        {false, 5, false},   {true, 10, true},   {false, 15, false},  // quiet: nothing
        {true, 95, true},    {true, 100, false},  // skipped on a multiple of 100 ms...
        {false, 105, true},                       // ...so the next tick forwards it
        {false, 110, false}, {true, 200, false}, {true, 205, true},  // once, not twice
        {false, 300, false}, {false, 305, false},
    };
    sharing::ForwardingSchedule schedule;
    for (const auto& t : ticks)
        EXPECT_EQ(schedule.OnTick(t.traffic, t.elapsed), t.pass) << t.elapsed;
}

}  // namespace
