#include "trace/core/emergency_codes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

namespace {

// The exact entry, else its class (code & 0xFF00), else "Unknown"; the whole
// 0xFFxx class is device specific.
TEST(EmergencyCodesTest, ExactEntryThenClassThenUnknown) {
    TEmergencyCodes codes;
    const std::pair<uint16_t, const char*> cases[] = {
        {0x8110, "CAN Overrun (Objects lost)"},
        {0x8111, "Unknown"},
        {0x4201, "Device Temperature"},
        {0xF0A5, "Additional Functions"},
        {0xFE00, "Unknown"},
        {0xFF00, "Device Specific"},
        {0xFF01, "Device Specific"},
        {0xFF80, "Device Specific"},
        {0xFFFE, "Device Specific"},
        {0xFFFF, "Device Specific"},
    };
    for (const auto& [code, text] : cases) EXPECT_EQ(codes.Text(code), text) << std::hex << code;
}

TEST(EmergencyCodesTest, EmergencyTextCutsToTheBufferSize) {
    TEmergencyCodes codes;
    // Size 0 leaves the whole buffer alone.
    const std::pair<size_t, const char*> cases[] = {
        {10, "CAN Overr"}, {1, ""}, {27, "CAN Overrun (Objects lost)"}, {0, nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        char buffer[32];
        std::memset(buffer, '#', sizeof buffer);
        codes.EmergencyText(0x8110, buffer, c.first);
        if (c.second != nullptr) {
            EXPECT_STREQ(buffer, c.second);
        }
        // Nothing written past the given size.
        for (size_t i = c.first; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << i;
    }
}

}  // namespace
