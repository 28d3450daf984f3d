#include "hint_rotation.h"

#include "pennorak_constants.h"

namespace pennorak {

HintRotation::HintRotation(std::vector<Hint> hints, Clock::duration period)
    : hints_(std::move(hints)), period_(period) {}

const Hint* HintRotation::current() const {
    return hints_.empty() ? nullptr : &hints_[current_];
}

void HintRotation::begin(std::int64_t first, Clock::time_point now) {
    moveTo(first);
    restartPeriod(now);
}

bool HintRotation::select(std::int32_t which) {
    if (hints_.empty()) return false;
    const auto current = static_cast<std::int64_t>(current_);
    if (which == kSelectNext) {
        moveTo(current + 1);
    } else if (which == kSelectPrevious) {
        moveTo(current - 1);
    } else if (which >= 0) {
        moveTo(which);
    } else {
        return false;
    }
    return true;
}

bool HintRotation::rotateIfDue(Clock::time_point now) {
    if (hints_.empty() || now < deadline_) return false;
    moveTo(static_cast<std::int64_t>(current_) + 1);
    restartPeriod(now);
    return true;
}

void HintRotation::moveTo(std::int64_t index) {
    if (hints_.empty()) return;
    const auto count = static_cast<std::int64_t>(hints_.size());
    const std::int64_t wrapped = index % count;
    current_ = static_cast<std::size_t>(wrapped < 0 ? wrapped + count : wrapped);
}

}  // namespace pennorak
