#include "sharing/core/frame_filter.h"

namespace sharing {

namespace {
constexpr uint32_t kExtendedKeyBit = 0x80000000;
}  // namespace

uint32_t FilterKey(uint32_t id, bool extended, const uint8_t* data) {
    if (extended) return id | kExtendedKeyBit;
    return id << 16 | uint32_t(data[0]) << 8 | data[1];
}

uint32_t FilterKey(const CanFrame& frame) {
    return FilterKey(frame.id, (frame.flags & CANFRAME_FLAG_EXTENDED) != 0, frame.data);
}

FilterTable::FilterTable() {
    slots_[0] = {0xFFFFFFFF, 0xFFFFFFFF};
}

bool FilterTable::Set(const FilterSetting& setting) {
    if (setting.slot >= kSlots) return false;
    slots_[setting.slot] = {setting.mask, setting.value};
    return true;
}

int FilterTable::FirstPassing(uint32_t key) const {
    for (uint32_t i = 0; i < kSlots; ++i) {
        if (SlotPasses(slots_[i], key)) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace sharing
