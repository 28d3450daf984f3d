#include "trace/core/static_trace.h"

#include <algorithm>
#include <cstring>

StaticTrace::StaticTrace()
    : entries_(std::make_unique<TraceRecord[]>(kMaxEntries)),
      names_(std::make_unique<FrameName[]>(kMaxEntries)) {}

void StaticTrace::MergeNewestFirst(const TraceRecord* frames, std::size_t count,
                                   const FrameName* names) {
    static const FrameName kNoName;
    for (std::size_t i = count; i-- > 0;) merge(frames[i], names != nullptr ? names[i] : kNoName);
}

void StaticTrace::Clear() {
    for (std::size_t i = 0; i < size_; ++i) names_[i].reset();
    size_ = 0;
}

void StaticTrace::merge(const TraceRecord& frame, const FrameName& name) {
    // Identifiers are unique in the table, so the sorted index finds the
    // same entry a search in arrival order would.
    const auto end = sorted_.begin() + static_cast<std::ptrdiff_t>(size_);
    const auto position = std::lower_bound(
        sorted_.begin(), end, frame.identifier,
        [this](uint16_t index, uint32_t id) { return entries_[index].identifier < id; });
    if (position != end && entries_[*position].identifier == frame.identifier) {
        TraceRecord& entry = entries_[*position];
        entry.length = frame.length;
        entry.flags = frame.flags;
        entry.direction = frame.direction;
        std::memcpy(entry.data, frame.data, sizeof entry.data);
        ++entry.count;
        names_[*position] = name;
        return;
    }
    if (size_ == kMaxEntries) return;

    entries_[size_] = frame;
    entries_[size_].count = 1;
    names_[size_] = name;
    std::copy_backward(position, end, end + 1);
    *position = static_cast<uint16_t>(size_);
    ++size_;
}
