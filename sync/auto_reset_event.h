// An auto-reset event: set() wakes one waiter, or the next one to wait if
// none waits yet; each wait consumes the signal. Any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quorvane {

class AutoResetEvent {
public:
    void set() {
        {
            std::lock_guard guard(state_);
            signalled_ = true;
        }
        changed_.notify_one();
    }
    void reset() {
        std::lock_guard guard(state_);
        signalled_ = false;
    }
    // True when the event was signalled within the wait (and is now reset).
    template <class Rep, class Period>
    bool wait_for(const std::chrono::duration<Rep, Period>& wait) {
        std::unique_lock guard(state_);
        if (!changed_.wait_for(guard, wait, [this] { return signalled_; })) return false;
        signalled_ = false;
        return true;
    }

private:
    std::mutex state_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

}  // namespace quorvane
