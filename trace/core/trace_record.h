// One frame as the trace keeps it. No time stamp: the order of records is
// the trace's only time information.
#pragma once

#include <cstdint>

// TraceRecord.flags bits: the library's CanFrame flag bits, and what the
// trace learnt from the frames before.
inline constexpr uint8_t kTraceFlagExtended = 0x01;
inline constexpr uint8_t kTraceFlagRemote = 0x02;
inline constexpr uint8_t kTraceFlagSdoBlockSegment = 0x80;  // see sdo_block_tracker.h

struct TraceRecord {
    uint32_t identifier = 0;  // 11-bit, or 29-bit with kTraceFlagExtended
    uint8_t length = 0;       // valid data bytes, 0-8
    uint8_t data[8] = {};
    uint8_t flags = 0;
    uint8_t direction = 0;  // TraceDirection: 0 received, 1 transmitted, 2 other traffic
    uint32_t count = 1;     // occurrences; raised only by the static trace
};
