#include "sharing/core/messaging_ring.h"

#include <algorithm>
#include <mutex>

namespace sharing {

namespace {
constexpr std::size_t kMaxDataBytes = 8;
}  // namespace

MessagingRing::MessagingRing(std::unique_ptr<MessagingEntry[]> storage)
    : storage_(std::move(storage)), usable_(storage_ != nullptr) {}

MessagingRing::~MessagingRing() {
    std::lock_guard guard(messaging_mutex);
    storage_.reset();
}

bool MessagingRing::Record(uint32_t id, uint8_t length, uint8_t direction, bool remote,
                           bool extended, const uint8_t* data) {
    std::unique_lock guard(messaging_mutex, kRecordWait);
    if (!guard.owns_lock() || !storage_) return false;
    if (unread_ >= kCapacity) lost_ = true;

    MessagingEntry& entry = storage_[writePosition_];
    entry.id = id;
    const std::size_t copied = std::min<std::size_t>(length, kMaxDataBytes);
    entry.length = static_cast<uint8_t>(copied);
    std::copy_n(data, copied, entry.data);
    std::fill(entry.data + copied, entry.data + kMaxDataBytes, uint8_t{0});
    entry.flags =
        static_cast<uint8_t>((extended ? kEntryExtended : 0) | (remote ? kEntryRemote : 0));
    entry.direction = direction;

    writePosition_ = (writePosition_ + 1) % kCapacity;
    unread_ = std::min(unread_ + 1, kCapacity);
    held_ = std::min(held_ + 1, kCapacity);
    return true;
}

RingTake MessagingRing::TakeNewest(MessagingEntry* destination) {
    std::lock_guard guard(messaging_mutex);
    RingTake take;
    take.lost = lost_;
    take.copied = storage_ ? std::min(unread_, held_) : 0;
    std::size_t slot = writePosition_;
    for (std::size_t i = 0; i < take.copied; ++i) {
        slot = (slot == 0 ? kCapacity : slot) - 1;
        destination[i] = storage_[slot];
    }
    unread_ = 0;
    lost_ = false;
    return take;
}

std::size_t MessagingRing::unread() {
    std::lock_guard guard(messaging_mutex);
    return unread_;
}

}  // namespace sharing
