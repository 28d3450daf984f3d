// The static trace: one record per distinct identifier with its occurrence
// count, at most 2048 identifiers, kept in arrival order with an index sorted
// by identifier. Fixed storage: merging allocates nothing. UI thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "trace/core/frame_name.h"
#include "trace/core/trace_record.h"

class StaticTrace {
public:
    static constexpr std::size_t kMaxEntries = 2048;

    StaticTrace();

    // Merges `count` frames given newest first (as ReadRecent delivers them),
    // taking them oldest first: a known identifier takes the frame's length,
    // flags, direction and data and counts one more; a new one is appended
    // with count 1 while there is room, else ignored. `names` (nullptr: none)
    // holds each frame's message name, which its entry takes with the frame.
    void MergeNewestFirst(const TraceRecord* frames, std::size_t count,
                          const FrameName* names = nullptr);
    void Clear();

    std::size_t size() const { return size_; }
    // The entry with the i-th lowest identifier, i < size().
    const TraceRecord& sortedAt(std::size_t i) const { return entries_[sorted_[i]]; }
    // Its message name.
    const FrameName& sortedNameAt(std::size_t i) const { return names_[sorted_[i]]; }

private:
    void merge(const TraceRecord& frame, const FrameName& name);

    std::unique_ptr<TraceRecord[]> entries_;      // arrival order
    std::unique_ptr<FrameName[]> names_;          // of entries_
    std::array<uint16_t, kMaxEntries> sorted_{};  // entry indexes by ascending identifier
    std::size_t size_ = 0;
};
