#include "trace/core/network_live_states.h"

#include <chrono>
#include <mutex>

namespace {
constexpr std::chrono::milliseconds kRealtimeWait{100};
constexpr uint8_t kMaxNode = 127;
}  // namespace

void NetworkLiveStates::SetLiveState(uint8_t node, uint8_t stateByte) {
    if (node < 1 || node > kMaxNode) return;
    std::unique_lock guard(realtime_mutex, kRealtimeWait);
    if (!guard.owns_lock()) return;
    states_[node] = stateByte & 0x7F;
}

uint8_t NetworkLiveStates::GetLiveState(uint8_t node) {
    if (node < 1 || node > kMaxNode) return kLiveStateNone;
    std::unique_lock guard(realtime_mutex, kRealtimeWait);
    if (!guard.owns_lock()) return kLiveStateNone;
    return states_[node];
}

const char* LiveStateText(uint8_t state) {
    switch (state) {
        case 0:
            return "Bootup";
        case 4:
            return "Stopped";
        case 5:
            return "Operational";
        case 127:
            return "Pre-Operational";
        default:
            return "Unknown";
    }
}
