#include "traffic_generator.h"

#include <algorithm>
#include <chrono>

#include "protocol/frame_duration.h"

namespace quorsim {

namespace {
inline constexpr std::uint64_t kNanosecondsPerSecond = 1000000000;
}

std::uint32_t loadRate(std::uint32_t centipercent, std::uint32_t bitrate_bps,
                       const CanFrame& pattern) {
    constexpr std::uint64_t kCentipercentOfWhole = 10000;
    const std::uint64_t bits = morvell::frameBits(pattern).total;
    const std::uint64_t rate =
        (static_cast<std::uint64_t>(bitrate_bps) * centipercent + bits * kCentipercentOfWhole / 2) /
        (bits * kCentipercentOfWhole);
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(rate, 1, kMaxLoadRate));
}

void TrafficGenerator::start(std::uint32_t rate, const CanFrame& pattern, TimePoint now) {
    rate_ = rate > kMaxLoadRate ? kMaxLoadRate : rate;
    batch_ = std::max<std::uint32_t>(1, rate_ / kLoadBatchesPerSecond);
    pattern_ = pattern;
    start_ = now;
    emitted_ = 0;
}

TimePoint TrafficGenerator::due(std::uint64_t n) const {
    // n / rate seconds without overflow for any n reachable in practice.
    const std::uint64_t ns =
        (n / rate_) * kNanosecondsPerSecond + (n % rate_) * kNanosecondsPerSecond / rate_;
    return start_ + std::chrono::duration_cast<TimePoint::duration>(std::chrono::nanoseconds(ns));
}

std::size_t TrafficGenerator::emitDue(TimePoint now, std::vector<CanFrame>& out,
                                      std::size_t max_burst) {
    std::size_t count = 0;
    while (running() && count < max_burst && due(emitted_) <= now) {
        out.push_back(pattern_);
        ++emitted_;
        ++total_sent_;
        ++count;
    }
    return count;
}

std::optional<TimePoint> TrafficGenerator::nextDeadline() const {
    if (!running()) return std::nullopt;
    return due(emitted_ + batch_ - 1);
}

}  // namespace quorsim
