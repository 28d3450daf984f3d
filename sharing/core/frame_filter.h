// The filter rule of frame sharing. Every client has 32 slots of (mask,
// value); a frame goes to the client when any slot passes its key:
//
//   key  standard frame: identifier << 16 | data[0] << 8 | data[1]
//        extended frame: identifier | 0x80000000
//   a slot passes the key when (mask | key) == value: bits set in mask may
//   take any value in the key, and value must have those same bits set.
//
// A new table passes everything through slot 0 (0xFFFFFFFF, 0xFFFFFFFF); slots
// 1-31 are (0xFFFFFFFF, 0), which pass nothing. Examples:
//   slot 0 = (0xFFFFFFFF, 0), slot 1 = (0x0000FFFF, 0x0181FFFF): only standard
//   frames with identifier 0x181, whatever their data.
//   slot 0 = (0x7FFFFFFF, 0xFFFFFFFF): every extended frame.
#pragma once

#include <array>
#include <cstdint>

#include "canlib/morvellcanopen.h"
#include "sharing/core/messaging_wire.h"

namespace sharing {

struct FilterSlot {
    uint32_t mask = 0xFFFFFFFF;
    uint32_t value = 0;
};

// `data` holds the frame's 8 data bytes (bytes past its length zero).
uint32_t FilterKey(uint32_t id, bool extended, const uint8_t* data);
uint32_t FilterKey(const CanFrame& frame);

inline bool SlotPasses(const FilterSlot& slot, uint32_t key) {
    return (slot.mask | key) == slot.value;
}

class FilterTable {
public:
    static constexpr uint32_t kSlots = kFilterSlotCount;

    FilterTable();
    // False (and no change) when slot is not 0-31.
    bool Set(const FilterSetting& setting);
    // The first slot that passes the key, or -1.
    int FirstPassing(uint32_t key) const;
    bool Passes(uint32_t key) const { return FirstPassing(key) >= 0; }
    const FilterSlot& slot(uint32_t index) const { return slots_[index]; }

private:
    std::array<FilterSlot, kSlots> slots_;
};

}  // namespace sharing
