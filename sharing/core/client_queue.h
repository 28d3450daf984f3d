// The messages waiting to be written to one client. Forwarding passes and
// the server thread push; only the server thread pops and writes, so the
// messages reach the client whole and in the order they were pushed.
//
// Forwarded batches count against a byte limit: a batch that does not fit is
// dropped and its frames counted, so a client that stops reading costs
// bounded memory and never holds up a pass or another client. Notifications
// (16 bytes, a few per connection) always fit. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "sharing/core/messaging_wire.h"

namespace sharing {

class ClientQueue {
public:
    explicit ClientQueue(std::size_t limitBytes) : limitBytes_(limitBytes) {}

    // False when the batch was dropped (queue full or closed).
    bool PushBatch(Bytes message, std::size_t frames);
    void PushNotification(Bytes message);
    // The oldest message, or none.
    std::optional<Bytes> Pop();
    // Pushes are ignored from now on; what is queued stays for a last flush.
    void Close();

    std::size_t queuedBytes() const;
    // Frames and batches dropped because the queue was full.
    uint64_t droppedFrames() const;
    uint64_t droppedBatches() const;
    // Frames in batches accepted for writing.
    uint64_t queuedFrames() const;

private:
    const std::size_t limitBytes_;
    mutable std::mutex mutex_;  // guards everything below
    std::deque<Bytes> messages_;
    std::size_t queuedBytes_ = 0;
    bool closed_ = false;
    uint64_t droppedFrames_ = 0;
    uint64_t droppedBatches_ = 0;
    uint64_t queuedFrames_ = 0;
};

}  // namespace sharing
