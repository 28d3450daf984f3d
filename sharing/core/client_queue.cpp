#include "sharing/core/client_queue.h"

namespace sharing {

bool ClientQueue::PushBatch(Bytes message, std::size_t frames) {
    std::lock_guard guard(mutex_);
    if (closed_) return false;
    if (queuedBytes_ + message.size() > limitBytes_) {
        droppedFrames_ += frames;
        ++droppedBatches_;
        return false;
    }
    queuedBytes_ += message.size();
    queuedFrames_ += frames;
    messages_.push_back(std::move(message));
    return true;
}

void ClientQueue::PushNotification(Bytes message) {
    std::lock_guard guard(mutex_);
    if (closed_) return;
    queuedBytes_ += message.size();
    messages_.push_back(std::move(message));
}

std::optional<Bytes> ClientQueue::Pop() {
    std::lock_guard guard(mutex_);
    if (messages_.empty()) return std::nullopt;
    Bytes message = std::move(messages_.front());
    messages_.pop_front();
    queuedBytes_ -= message.size();
    return message;
}

void ClientQueue::Close() {
    std::lock_guard guard(mutex_);
    closed_ = true;
}

std::size_t ClientQueue::queuedBytes() const {
    std::lock_guard guard(mutex_);
    return queuedBytes_;
}

uint64_t ClientQueue::droppedFrames() const {
    std::lock_guard guard(mutex_);
    return droppedFrames_;
}

uint64_t ClientQueue::droppedBatches() const {
    std::lock_guard guard(mutex_);
    return droppedBatches_;
}

uint64_t ClientQueue::queuedFrames() const {
    std::lock_guard guard(mutex_);
    return queuedFrames_;
}

}  // namespace sharing
