// The messaging ring: the 13000 most recent frames the station saw while a
// client was registered, waiting for the next forwarding pass. Every
// operation holds messaging_mutex; Record waits for it at most 100 ms and
// drops the frame otherwise, so a forwarding pass never stalls the library.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "sync/timed_mutex.h"

namespace sharing {

enum MessagingEntryFlags : uint8_t {
    kEntryExtended = 0x01,
    kEntryRemote = 0x02,
};

struct MessagingEntry {
    uint32_t id = 0;
    uint8_t length = 0;     // 0-8
    uint8_t data[8] = {};   // bytes past length are zero
    uint8_t flags = 0;      // MessagingEntryFlags
    uint8_t direction = 0;  // as the library's callbacks hand it over: 0, 1 or 2
};

// What one Take returned.
struct RingTake {
    std::size_t copied = 0;  // entries written to the destination, newest first
    bool lost = false;       // an unread entry was overwritten before this take
};

class MessagingRing {
public:
    static constexpr std::size_t kCapacity = 13000;
    static constexpr std::chrono::milliseconds kRecordWait{100};

    // Takes `storage` of kCapacity entries; nullptr makes an unusable ring.
    explicit MessagingRing(std::unique_ptr<MessagingEntry[]> storage);
    ~MessagingRing();
    MessagingRing(const MessagingRing&) = delete;
    MessagingRing& operator=(const MessagingRing&) = delete;

    bool usable() const { return usable_; }

    // Keeps one frame. Library threads. A `length` above 8 is kept as 8;
    // `data` holds at least min(length, 8) bytes. False when the frame was
    // dropped (mutex busy for kRecordWait, or no storage).
    bool Record(uint32_t id, uint8_t length, uint8_t direction, bool remote, bool extended,
                const uint8_t* data);

    // Copies the newest min(unread, held) entries into `destination` (room
    // for kCapacity), newest first, and resets the unread count and the lost
    // flag. Waits for messaging_mutex as long as it takes. Any thread.
    RingTake TakeNewest(MessagingEntry* destination);

    // Entries recorded since the last take (capped at kCapacity). Any thread.
    std::size_t unread();

private:
    quorvane::TimedMutex messaging_mutex;  // guards everything below
    std::unique_ptr<MessagingEntry[]> storage_;
    const bool usable_;
    std::size_t writePosition_ = 0;
    std::size_t unread_ = 0;
    std::size_t held_ = 0;
    bool lost_ = false;
};

}  // namespace sharing
