// Bus load over the last second: the share of bit time frames occupied
// (intermission included) and the frames that ended, in 10 ms slots. The
// window is the last 100 complete slots before now. One thread.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>

namespace quorbus {

struct LoadFigures {
    double load_percent =
        0;  // 0-100 on a paced bus; above 100 when unpaced senders outrun the bit rate
    std::uint64_t frames_per_second = 0;
};

class BusLoadMeter {
public:
    using Time = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::milliseconds kSlot{10};
    static constexpr std::size_t kSlots = 100;  // one second

    // A frame that occupied the bus from start to end (end > start, end not
    // earlier than the end of the previous frame added).
    void add(Time start, Time end);
    LoadFigures figures(Time now) const;

private:
    struct Slot {
        std::int64_t index = -1;  // slot number since the clock's epoch
        std::int64_t busy_ns = 0;
        std::uint64_t frames = 0;
    };
    Slot& slot(std::int64_t index);
    static std::int64_t slotOf(Time t);

    // Ring of the last kSlots + 1 slots (the one being filled included).
    std::array<Slot, kSlots + 1> slots_{};
};

}  // namespace quorbus
