// The trace buffer: a ring of the 13000 most recent frames the station saw,
// filled by the library's callbacks and read by the trace window and export.
// Every operation holds buffer_mutex; Store waits for it at most 100 ms and
// drops the frame otherwise, so a busy reader never stalls the library.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "sync/timed_mutex.h"
#include "trace/core/sdo_block_tracker.h"
#include "trace/core/trace_record.h"

// Direction of a traced frame.
enum TraceDirection : uint8_t {
    kTraceReceived = 0,      // received by this station
    kTraceTransmitted = 1,   // sent by this program
    kTraceOtherTraffic = 2,  // sent by another program on this host
};

// What one ReadRecent returned.
struct TraceReadResult {
    uint32_t unread = 0;     // frames stored since the previous read or clear (not capped)
    bool lost = false;       // an unread record was overwritten since then
    std::size_t copied = 0;  // records written to the destination, newest first
};

class TTraceBuffer {
public:
    static constexpr std::size_t kCapacity = 13000;
    // Identifiers up to this value pass the node filter (NMT, SYNC, EMCY, TIME).
    static constexpr uint32_t kAlwaysTracedMaxId = 0x100;
    static constexpr uint32_t kNodeIdMask = 0x7F;
    static constexpr std::chrono::milliseconds kStoreWait{100};

    // Allocates the storage; usable() tells whether that succeeded.
    TTraceBuffer();
    // Takes `storage` of kCapacity records; nullptr makes an unusable buffer.
    explicit TTraceBuffer(std::unique_ptr<TraceRecord[]> storage);
    ~TTraceBuffer();
    TTraceBuffer(const TTraceBuffer&) = delete;
    TTraceBuffer& operator=(const TTraceBuffer&) = delete;

    // False when the storage could not be allocated: Store drops every frame
    // and reads copy nothing. Any thread.
    bool usable() const { return usable_; }

    // Stores one frame. Library callback thread (one thread at a time).
    // `currentNodeId` is the main window's node at the time, for the node
    // filter; `length` 0-8 (bytes beyond 8 are not copied); `data` holds at
    // least `length` bytes. The record's data bytes beyond `length` are zero.
    // Every frame, also one not stored, goes through the block transfer
    // tracker, which marks sub-block segments.
    void Store(uint32_t id, uint8_t length, uint8_t currentNodeId, uint8_t direction, bool remote,
               bool extended, const uint8_t* data);

    // Copies the newest records into `destination` (room for at least
    // kCapacity records, or for `maxCount` when that is smaller), newest first.
    // maxCount < 0: as many as were stored since the last read. Resets the
    // unread count and the lost flag; the ring keeps its records. UI thread.
    TraceReadResult ReadRecent(int maxCount, TraceRecord* destination);

    // Empties the ring. UI thread.
    void Clear();
    // Recording on / off (on at creation). UI thread.
    void Start();
    void Stop();
    // true: frames of every node (at creation); false: only the current
    // node's and identifiers up to 0x100. UI thread.
    void SetMonitorAll(bool all);

private:
    quorvane::TimedMutex buffer_mutex;
    std::unique_ptr<TraceRecord[]> storage_;
    const bool usable_;
    std::size_t writePosition_ = 0;
    uint32_t unread_ = 0;
    std::size_t held_ = 0;
    bool lost_ = false;
    bool recording_ = true;
    bool monitorAll_ = true;
    SdoBlockTracker blockTracker_;  // Store's thread only, outside buffer_mutex
};
