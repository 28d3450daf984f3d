// One client's share of a forwarding pass: the data message (kind 0) with
// the taken entries its filters pass, in the order taken (newest first).
#pragma once

#include <cstddef>
#include <cstdint>

#include "sharing/core/frame_filter.h"
#include "sharing/core/messaging_ring.h"
#include "sharing/core/messaging_wire.h"

namespace sharing {

struct ForwardingBatch {
    Bytes message;           // header and frames; empty when no frame passed
    std::size_t frames = 0;  // frames in it
};

// Each entry goes at most once, tested against slots 0-31 in order. Throws
// std::bad_alloc when the message cannot be allocated.
ForwardingBatch BuildBatch(const MessagingEntry* entries, std::size_t count,
                           const FilterTable& filters, uint32_t ownHandle);

// The 14-byte frame of an entry.
CanFrame FrameOfEntry(const MessagingEntry& entry);

}  // namespace sharing
