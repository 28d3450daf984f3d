#include "bus_load.h"

#include <algorithm>

namespace quorbus {

namespace {
constexpr std::int64_t kSlotNs = std::chrono::nanoseconds(BusLoadMeter::kSlot).count();
}

std::int64_t BusLoadMeter::slotOf(Time t) {
    const std::int64_t ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
    return ns / kSlotNs;
}

BusLoadMeter::Slot& BusLoadMeter::slot(std::int64_t index) {
    Slot& s = slots_[static_cast<std::size_t>(index) % slots_.size()];
    if (s.index != index) s = Slot{index, 0, 0};
    return s;
}

void BusLoadMeter::add(Time start, Time end) {
    const std::int64_t start_ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count();
    const std::int64_t end_ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(end.time_since_epoch()).count();
    // A frame longer than the window (10 kbit/s: 16 ms) spans a few slots.
    for (std::int64_t i = std::max(start_ns / kSlotNs, slotOf(end) - std::int64_t{kSlots});
         i * kSlotNs < end_ns; ++i) {
        const std::int64_t from = std::max(start_ns, i * kSlotNs);
        const std::int64_t to = std::min(end_ns, (i + 1) * kSlotNs);
        if (to > from) slot(i).busy_ns += to - from;
    }
    ++slot(slotOf(end)).frames;
}

LoadFigures BusLoadMeter::figures(Time now) const {
    const std::int64_t current = slotOf(now);
    std::int64_t busy_ns = 0;
    std::uint64_t frames = 0;
    for (const Slot& s : slots_) {
        if (s.index >= current - std::int64_t{kSlots} && s.index < current) {
            busy_ns += s.busy_ns;
            frames += s.frames;
        }
    }
    const double window_ns = static_cast<double>(kSlotNs) * kSlots;
    return LoadFigures{100.0 * static_cast<double>(busy_ns) / window_ns, frames};
}

}  // namespace quorbus
