#include "trace/core/trace_buffer.h"

#include <algorithm>
#include <limits>
#include <mutex>
#include <new>

namespace {

constexpr std::size_t kMaxDataBytes = 8;

}  // namespace

TTraceBuffer::TTraceBuffer()
    : TTraceBuffer(std::unique_ptr<TraceRecord[]>(new (std::nothrow) TraceRecord[kCapacity])) {}

TTraceBuffer::TTraceBuffer(std::unique_ptr<TraceRecord[]> storage)
    : storage_(std::move(storage)), usable_(storage_ != nullptr) {}

TTraceBuffer::~TTraceBuffer() {
    std::lock_guard guard(buffer_mutex);
    storage_.reset();
}

void TTraceBuffer::Store(uint32_t id, uint8_t length, uint8_t currentNodeId, uint8_t direction,
                         bool remote, bool extended, const uint8_t* data) {
    const uint8_t clamped = static_cast<uint8_t>(std::min<std::size_t>(length, kMaxDataBytes));
    const bool blockSegment = blockTracker_.Observe(id, clamped, data, remote);
    std::unique_lock guard(buffer_mutex, kStoreWait);
    if (!guard.owns_lock() || !recording_) return;
    if (!monitorAll_ && id > kAlwaysTracedMaxId && (id & kNodeIdMask) != currentNodeId) return;
    if (!storage_) return;
    if (unread_ >= kCapacity) lost_ = true;

    TraceRecord& slot = storage_[writePosition_];
    slot.identifier = id;
    slot.length = length;
    slot.flags =
        static_cast<uint8_t>((extended ? kTraceFlagExtended : 0) | (remote ? kTraceFlagRemote : 0) |
                             (blockSegment ? kTraceFlagSdoBlockSegment : 0));
    slot.direction = direction;
    // The bytes beyond the length are zero, never an older frame's.
    const std::size_t copied = std::min<std::size_t>(length, kMaxDataBytes);
    std::copy_n(data, copied, slot.data);
    std::fill(slot.data + copied, slot.data + kMaxDataBytes, uint8_t{0});
    slot.count = 1;

    writePosition_ = (writePosition_ + 1) % kCapacity;
    if (unread_ < std::numeric_limits<uint32_t>::max()) ++unread_;
    held_ = std::min(held_ + 1, kCapacity);
}

TraceReadResult TTraceBuffer::ReadRecent(int maxCount, TraceRecord* destination) {
    std::lock_guard guard(buffer_mutex);
    TraceReadResult result;
    result.unread = unread_;
    result.lost = lost_;
    const std::size_t wanted = maxCount < 0 ? unread_ : static_cast<std::size_t>(maxCount);
    result.copied = storage_ ? std::min(wanted, held_) : 0;
    std::size_t slot = writePosition_;
    for (std::size_t i = 0; i < result.copied; ++i) {
        slot = (slot == 0 ? kCapacity : slot) - 1;
        destination[i] = storage_[slot];
    }
    lost_ = false;
    unread_ = 0;
    return result;
}

void TTraceBuffer::Clear() {
    std::lock_guard guard(buffer_mutex);
    writePosition_ = 0;
    unread_ = 0;
    held_ = 0;
    lost_ = false;
}

void TTraceBuffer::Start() {
    std::lock_guard guard(buffer_mutex);
    recording_ = true;
}

void TTraceBuffer::Stop() {
    std::lock_guard guard(buffer_mutex);
    recording_ = false;
}

void TTraceBuffer::SetMonitorAll(bool all) {
    std::lock_guard guard(buffer_mutex);
    monitorAll_ = all;
}
