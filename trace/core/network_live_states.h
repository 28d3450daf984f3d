// The live NMT state of every node, as the heartbeat, node-guarding and
// boot-up frames on the bus tell it, for the network overview.
//
// Threads: SetLiveState on the library's thread (receive callback), the
// reads on the UI thread. Both wait at most 100 ms for `realtime_mutex`.
#pragma once

#include <array>
#include <cstdint>

#include "sync/timed_mutex.h"

inline constexpr uint8_t kLiveStateNone = 255;  // nothing seen, or not known now

class NetworkLiveStates {
public:
    // Node 1-127 and the first data byte of a frame on 0x700 + node; stores
    // byte & 0x7F. Other node IDs, or a mutex busy for 100 ms: nothing.
    void SetLiveState(uint8_t node, uint8_t stateByte);
    // The last state of node 1-127; kLiveStateNone when none was seen, for
    // other node IDs, or when the mutex stays busy for 100 ms.
    uint8_t GetLiveState(uint8_t node);

    quorvane::TimedMutex realtime_mutex;  // guards states_

private:
    std::array<uint8_t, 128> states_ = filled();
    static std::array<uint8_t, 128> filled() {
        std::array<uint8_t, 128> states;
        states.fill(kLiveStateNone);
        return states;
    }
};

// "Bootup" (0), "Stopped" (4), "Operational" (5), "Pre-Operational" (127),
// "Unknown" for anything else (kLiveStateNone among them).
const char* LiveStateText(uint8_t state);
