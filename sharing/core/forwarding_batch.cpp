#include "sharing/core/forwarding_batch.h"

#include <cstring>

namespace sharing {

CanFrame FrameOfEntry(const MessagingEntry& entry) {
    CanFrame frame{};
    frame.id = entry.id;
    frame.length = entry.length;
    frame.flags =
        static_cast<uint8_t>(((entry.flags & kEntryExtended) ? CANFRAME_FLAG_EXTENDED : 0) |
                             ((entry.flags & kEntryRemote) ? CANFRAME_FLAG_REMOTE : 0));
    std::memcpy(frame.data, entry.data, sizeof frame.data);
    return frame;
}

ForwardingBatch BuildBatch(const MessagingEntry* entries, std::size_t count,
                           const FilterTable& filters, uint32_t ownHandle) {
    ForwardingBatch batch;
    for (std::size_t i = 0; i < count; ++i) {
        const CanFrame frame = FrameOfEntry(entries[i]);
        if (!filters.Passes(FilterKey(frame))) continue;
        if (batch.frames == 0) {
            batch.message.reserve(kHeaderBytes + (count - i) * kFrameBytes);
            AppendDataHeader(batch.message, ownHandle, kBlockFrames, 0);
        }
        AppendFrame(batch.message, frame);
        ++batch.frames;
    }
    if (batch.frames > 0) {
        PatchDataCount(batch.message, 0, static_cast<uint32_t>(batch.frames * kFrameBytes));
    }
    return batch;
}

}  // namespace sharing
