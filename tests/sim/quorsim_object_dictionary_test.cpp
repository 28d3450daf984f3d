// The built-in device's dictionary: access rules and sizes.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "object_dictionary.h"

namespace quorsim {
namespace {

TEST(QuorsimObjectDictionary, WritesFollowTypeSizeAndAccess) {
    struct Case {
        const char* what;
        std::uint16_t index;
        std::uint8_t sub;
        std::size_t size;
        std::uint32_t abort;
    };
    const Case cases[] = {
        {"UNSIGNED32 exact", 0x2000, 1, 4, 0},
        {"UNSIGNED32 too long", 0x2000, 1, 5, 0x06070012},
        {"UNSIGNED32 too short", 0x2000, 1, 3, 0x06070013},
        {"string above capacity", 0x2000, 9, 65, 0x06070012},
        {"read-only", 0x2001, 0, 4, 0x06010002},
        {"write-only", 0x2002, 0, 4, 0},
        {"missing subindex", 0x1018, 9, 4, 0x06090011},
    };
    for (const Case& c : cases) {
        ObjectDictionary od = makeDefaultDevice(5);
        EXPECT_EQ(od.checkWrite(c.index, c.sub, c.size), c.abort) << c.what;
        const auto value = std::vector<std::uint8_t>(c.size, 0xEE);
        EXPECT_EQ(od.write(c.index, c.sub, value), c.abort) << c.what;
        if (c.abort != 0) continue;
        if (od.find(c.index, c.sub)->access == Access::WriteOnly) continue;
        std::vector<std::uint8_t> back;
        EXPECT_EQ(od.read(c.index, c.sub, back), 0u) << c.what;
        EXPECT_EQ(back, value) << c.what;
    }
}

TEST(QuorsimObjectDictionary, WriteOnlyReadAndSizeLessCheck) {
    ObjectDictionary od = makeDefaultDevice(4);
    std::vector<std::uint8_t> value;
    EXPECT_EQ(od.read(0x2002, 0, value), 0x06010001u) << "write-only";
    // A capacity check without a size at the start is allowed; the write decides.
    EXPECT_EQ(od.checkWrite(0x2100, 0, std::nullopt), 0u);
    EXPECT_EQ(od.checkWrite(0x2001, 0, std::nullopt), 0x06010002u);
}

}  // namespace
}  // namespace quorsim
