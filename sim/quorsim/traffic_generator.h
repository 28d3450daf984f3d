// Load for benchmarks: one frame pattern sent at a steady rate. Frame n is
// due at start + n / rate seconds; a late caller gets every overdue frame
// (up to max_burst per call), so the long-run count matches the rate as
// long as the bus keeps up. No I/O, time passed in; not thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "morvellcanopen.h"
#include "protocol/sdo_server.h"

namespace quorsim {

using morvell::sdo::TimePoint;

inline constexpr std::uint32_t kMaxLoadRate = 1000000;  // frames per second

class TrafficGenerator {
public:
    // Starts (or restarts) rate 1..kMaxLoadRate frames/s of pattern; the
    // first frame is due at now. rate 0 stops.
    void start(std::uint32_t rate, const CanFrame& pattern, TimePoint now);
    void stop() { rate_ = 0; }
    bool running() const { return rate_ > 0; }
    std::uint32_t rate() const { return rate_; }

    // Appends the frames due at now, at most max_burst; returns their count.
    std::size_t emitDue(TimePoint now, std::vector<CanFrame>& out, std::size_t max_burst);
    // When the next frame is due; empty when stopped.
    std::optional<TimePoint> nextDeadline() const;

    // Frames emitted since the program started (all runs together).
    std::uint64_t totalSent() const { return total_sent_; }

private:
    TimePoint due(std::uint64_t n) const;

    std::uint32_t rate_ = 0;
    CanFrame pattern_{};
    TimePoint start_{};
    std::uint64_t emitted_ = 0;  // in this run
    std::uint64_t total_sent_ = 0;
};

}  // namespace quorsim
