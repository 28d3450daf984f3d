#include "trace/emergency_codes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

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
