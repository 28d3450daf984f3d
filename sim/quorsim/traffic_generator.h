// Load for benchmarks: one frame pattern sent at a steady rate. Frame n is
// due at start + n / rate seconds; a late caller gets every overdue frame
// (up to max_burst per call), so the long-run count matches the rate as
// long as the bus keeps up. Frames leave in batches: nextDeadline() is when
// the frames of one batch period (1 ms, at least one frame) are due, so
// 21000 frames/s are 1000 wake-ups of 21 frames, each frame at most 1 ms
// late. No I/O, time passed in; not thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "morvellcanopen.h"
#include "protocol/sdo_server.h"

namespace quorsim {

using morvell::sdo::TimePoint;

inline constexpr std::uint32_t kMaxLoadRate = 1000000;  // frames per second
inline constexpr std::uint32_t kLoadBatchesPerSecond = 1000;

// Frames per second of pattern that fill centipercent / 100 % of a bus at
// bitrate_bps (stuff bits of pattern counted); at least 1, at most kMaxLoadRate.
std::uint32_t loadRate(std::uint32_t centipercent, std::uint32_t bitrate_bps,
                       const CanFrame& pattern);

class TrafficGenerator {
public:
    // Starts (or restarts) rate 1..kMaxLoadRate frames/s of pattern; the
    // first frame is due at now. rate 0 stops.
    void start(std::uint32_t rate, const CanFrame& pattern, TimePoint now);
    void stop() { rate_ = 0; }
    bool running() const { return rate_ > 0; }
    std::uint32_t rate() const { return rate_; }
    // Frames per wake-up: rate / kLoadBatchesPerSecond, at least 1.
    std::uint32_t batch() const { return batch_; }

    // Appends the frames due at now, at most max_burst; returns their count.
    std::size_t emitDue(TimePoint now, std::vector<CanFrame>& out, std::size_t max_burst);
    // When the next frame is due; empty when stopped.
    std::optional<TimePoint> nextDeadline() const;

    // Frames emitted since the program started (all runs together).
    std::uint64_t totalSent() const { return total_sent_; }

private:
    TimePoint due(std::uint64_t n) const;

    std::uint32_t rate_ = 0;
    std::uint32_t batch_ = 1;
    CanFrame pattern_{};
    TimePoint start_{};
    std::uint64_t emitted_ = 0;  // in this run
    std::uint64_t total_sent_ = 0;
};

}  // namespace quorsim
