#include "rotation_thread.h"

#include <system_error>

namespace pennorak {

std::shared_ptr<RotationThread> RotationThread::start(HintRotation rotation, bool showLinks,
                                                      DisplayFunction display) {
    auto self =
        std::make_shared<RotationThread>(std::move(rotation), showLinks, std::move(display));
    // The thread keeps its own reference so stop() may run on it and detach.
    std::lock_guard lock(self->mutex_);
    try {
        self->thread_ = std::thread([owner = self] { owner->run(); });
    } catch (const std::system_error&) {
        return nullptr;  // no thread could be started
    }
    return self;
}

RotationThread::RotationThread(HintRotation rotation, bool showLinks, DisplayFunction display)
    : rotation_(std::move(rotation)),
      showLinks_(showLinks),
      display_(std::move(display)),
      showPending_(!rotation_.empty()) {}

void RotationThread::select(std::int32_t which, bool notify, bool restart) {
    {
        std::lock_guard lock(mutex_);
        if (!rotation_.select(which)) return;
        if (restart) rotation_.restartPeriod(Clock::now());
        if (notify) showPending_ = true;
    }
    wake_.notify_one();
}

std::optional<std::string> RotationThread::currentLink() const {
    std::lock_guard lock(mutex_);
    const Hint* hint = rotation_.current();
    if (hint == nullptr) return std::nullopt;
    return hint->link;
}

void RotationThread::stop() {
    bool onOwnThread = false;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        onOwnThread = thread_.get_id() == std::this_thread::get_id();
    }
    wake_.notify_one();
    if (onOwnThread) {
        thread_.detach();
    } else if (thread_.joinable()) {
        thread_.join();
    }
}

void RotationThread::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (showPending_) {
            showPending_ = false;
            const Hint* hint = rotation_.current();
            if (hint == nullptr) continue;
            const std::string text = hint->text;
            const std::string caption = showLinks_ ? hint->caption : std::string();
            lock.unlock();
            try {
                display_(text.c_str(), caption.c_str());
            } catch (...) {
                // The application's callback threw: the rotation goes on.
            }
            lock.lock();
            continue;
        }
        if (rotation_.empty()) {
            wake_.wait(lock, [this] { return hasWork(); });
            continue;
        }
        wake_.wait_until(lock, rotation_.deadline(), [this] { return hasWork(); });
        if (!stopping_ && rotation_.rotateIfDue(Clock::now())) showPending_ = true;
    }
}

}  // namespace pennorak
