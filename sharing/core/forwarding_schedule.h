// When the main window's 5 ms tick starts a forwarding pass of the sharing
// buffer: on a tick after traffic, except when the window's elapsed time is
// a multiple of 100 ms. The traffic of a skipped tick goes with the next
// tick's pass, so frames never wait for later traffic to be forwarded.
// UI thread (one instance per tick source).
//
//     ForwardingSchedule schedule;
//     schedule.OnTick(true, 95);   // true: forward now
//     schedule.OnTick(true, 100);  // false: skipped...
//     schedule.OnTick(false, 105); // true: ...so this tick forwards
#pragma once

#include <cstdint>

namespace sharing {

class ForwardingSchedule {
public:
    static constexpr uint64_t kSkipPeriodMs = 100;

    // trafficSeen: frames were sent or received since the last tick;
    // elapsedMs: the elapsed time after this tick. True: start a pass now.
    bool OnTick(bool trafficSeen, uint64_t elapsedMs) {
        pending_ = pending_ || trafficSeen;
        if (!pending_ || elapsedMs % kSkipPeriodMs == 0) return false;
        pending_ = false;
        return true;
    }

private:
    bool pending_ = false;  // traffic not yet followed by a pass
};

}  // namespace sharing
