#include "trace/core/emergency_codes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

namespace {

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
