// Which hint is shown and when the next one is due. No threads, no clock
// reads: the caller passes the current time, so tests drive it with a
// virtual clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "hint.h"

namespace pennorak {

using Clock = std::chrono::steady_clock;

class HintRotation {
public:
    HintRotation(std::vector<Hint> hints, Clock::duration period);

    bool empty() const { return hints_.empty(); }
    std::size_t size() const { return hints_.size(); }
    std::size_t currentIndex() const { return current_; }
    // The hint shown now, or nullptr when there are none.
    const Hint* current() const;

    // Shows hint `first` (modulo the count, negative counted from the end)
    // and starts the period at now.
    void begin(std::int64_t first, Clock::time_point now);
    // which: kSelectNext, kSelectPrevious, or an index (modulo the count).
    // Returns false for other negative codes and when there are no hints.
    bool select(std::int32_t which);
    void restartPeriod(Clock::time_point now) { deadline_ = now + period_; }

    // When the next hint is due.
    Clock::time_point deadline() const { return deadline_; }
    // Moves to the next hint and starts a new period when the deadline has
    // passed; returns true when it moved.
    bool rotateIfDue(Clock::time_point now);

private:
    void moveTo(std::int64_t index);

    std::vector<Hint> hints_;
    Clock::duration period_;
    std::size_t current_ = 0;
    Clock::time_point deadline_{};
};

}  // namespace pennorak
