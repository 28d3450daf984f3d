// The percentage a library thread hands to the progress dialog. The library
// side never waits: when the dialog is reading, that update is dropped (the
// next one follows soon).
#pragma once

#include <chrono>
#include <mutex>
#include <optional>

#include "sync/timed_mutex.h"

class PendingProgress {
public:
    // Library thread: store without waiting; false when the value was dropped.
    bool offer(float percent) {
        std::unique_lock guard(progress_mutex, std::try_to_lock);
        if (!guard.owns_lock()) return false;
        pendingPercent = percent;
        return true;
    }
    // UI thread: store, waiting at most 90 ms.
    bool store(float percent) {
        std::unique_lock guard(progress_mutex, kUiWait);
        if (!guard.owns_lock()) return false;
        pendingPercent = percent;
        return true;
    }
    // UI thread: the pending value, or nothing when the mutex stayed busy for 90 ms.
    std::optional<float> take() {
        std::unique_lock guard(progress_mutex, kUiWait);
        if (!guard.owns_lock()) return std::nullopt;
        return pendingPercent;
    }

    quorvane::TimedMutex progress_mutex;

private:
    static constexpr std::chrono::milliseconds kUiWait{90};
    float pendingPercent = 0.0f;
};
