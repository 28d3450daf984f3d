// The service's own thread: shows the current hint through the display
// callback when asked to and whenever the rotation period elapses. The
// callback runs on this thread only, never while the lock is held.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "hint_rotation.h"

namespace pennorak {

// Receives the hint's text and its link caption ("" when links are hidden).
using DisplayFunction = std::function<void(const char* text, const char* caption)>;

class RotationThread {
public:
    // Starts the thread; it shows the current hint of rotation first unless
    // there are no hints. rotation must have been begun. Returns nullptr
    // when the system cannot start a thread.
    static std::shared_ptr<RotationThread> start(HintRotation rotation, bool showLinks,
                                                 DisplayFunction display);

    RotationThread(HintRotation rotation, bool showLinks, DisplayFunction display);
    RotationThread(const RotationThread&) = delete;
    RotationThread& operator=(const RotationThread&) = delete;

    // Moves the selection (see HintRotation::select); notify asks the thread
    // to show the hint, restart starts the period again now.
    void select(std::int32_t which, bool notify, bool restart);
    // The current hint's link, or nothing when there are no hints.
    std::optional<std::string> currentLink() const;

    // Wakes the thread and waits until it has ended; no callback runs after
    // this returns. Called from the display callback itself, it returns at
    // once and the thread ends when the callback returns.
    void stop();

private:
    void run();
    bool hasWork() const { return stopping_ || showPending_; }

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    HintRotation rotation_;
    const bool showLinks_;
    const DisplayFunction display_;
    bool showPending_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace pennorak
