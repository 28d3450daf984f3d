#include "trace/emergency_codes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct NameCase {
    uint16_t code;
    const char* name;
};

TEST(EmergencyCodesTest, NamesExactEntryElseClassElseUnknown) {
    const NameCase cases[] = {
        {0x8110, "CAN Overrun (Objects lost)"},   // exact entry
        {0xFFFF, "Device Specific"},              // exact entry, last in the table
        {0x2310, "Current, device output side"},  // class 0x2300
        {0x00FF, "Error Reset/No Error"},         // class 0x0000
        {0x1234, "Unknown"},                      // class 0x1200 is not named
        {0x8111, "Unknown"},                      // class 0x8100 has no name
    };
    TEmergencyCodes codes;
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(codes.Text(c.code), c.name);
        char buffer[64];
        codes.EmergencyText(c.code, buffer, sizeof buffer);
        EXPECT_STREQ(buffer, c.name);
    }
}

TEST(EmergencyCodesTest, EmergencyTextCutsToTheBufferSize) {
    TEmergencyCodes codes;
    struct Case {
        size_t size;
        const char* expected;
    };
    // Size 0 leaves the whole buffer alone.
    const Case cases[] = {
        {10, "CAN Overr"}, {1, ""}, {27, "CAN Overrun (Objects lost)"}, {0, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        char buffer[32];
        std::memset(buffer, '#', sizeof buffer);
        codes.EmergencyText(0x8110, buffer, c.size);
        if (c.expected != nullptr) {
            EXPECT_STREQ(buffer, c.expected);
        }
        // Nothing written past the given size.
        for (size_t i = c.size; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << i;
    }
}

}  // namespace
