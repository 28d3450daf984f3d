// The built-in device's dictionary: access rules, sizes and defaults.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "device_constants.h"
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
        {"INTEGER8 exact", 0x2000, 2, 1, 0},
        {"INTEGER8 too long", 0x2000, 2, 2, 0x06070012},
        {"INTEGER16 too short", 0x2000, 3, 1, 0x06070013},
        {"INTEGER32 exact", 0x2000, 4, 4, 0},
        {"UNSIGNED8 exact", 0x2000, 5, 1, 0},
        {"UNSIGNED16 exact", 0x2000, 6, 2, 0},
        {"UNSIGNED16 empty", 0x2000, 6, 0, 0x06070013},
        {"UNSIGNED64 exact", 0x2000, 7, 8, 0},
        {"string shorter than capacity", 0x2000, 9, 3, 0},
        {"string within capacity", 0x2000, 9, 64, 0},
        {"string above capacity", 0x2000, 9, 65, 0x06070012},
        {"heartbeat time", 0x1017, 0, 2, 0},
        {"verify configuration date", 0x1020, 1, 4, 0},
        {"read-only", 0x2001, 0, 4, 0x06010002},
        {"const device name", 0x1008, 0, 4, 0x06010002},
        {"identity serial", 0x1018, 4, 4, 0x06010002},
        {"write-only", 0x2002, 0, 4, 0},
        {"small domain partly", 0x2100, 0, 10, 0},
        {"small domain full", 0x2100, 0, 1000, 0},
        {"small domain above capacity", 0x2100, 0, 1001, 0x06070012},
        {"large domain full", 0x2101, 0, 200000, 0},
        {"large domain above capacity", 0x2101, 0, 200001, 0x06070012},
        {"missing index", 0x3000, 0, 4, 0x06020000},
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

TEST(QuorsimObjectDictionary, ReadsReportAccessAndMissingObjects) {
    struct Case {
        std::uint16_t index;
        std::uint8_t sub;
        std::uint32_t abort;
        std::vector<std::uint8_t> value;
    };
    const Case cases[] = {
        {0x2000, 1, 0, {0x78, 0x56, 0x34, 0x12}},
        {0x1018, 4, 0, {0x05, 0x10, 0x00, 0x00}},  // serial 0x1000 + node
        {0x1001, 0, 0, {0x00}},
        {0x1008, 0, 0, {'Q', 'u', 'o', 'r', 's', 'i', 'm', ' ', 'D', 'e', 'v', 'i', 'c', 'e'}},
        {0x2001, 0, 0, {0x0D, 0xF0, 0xFE, 0xCA}},
        {0x2002, 0, 0x06010001, {}},
        {0x1018, 5, 0x06090011, {}},
        {0x1234, 0, 0x06020000, {}},
    };
    ObjectDictionary od = makeDefaultDevice(5);
    for (const Case& c : cases) {
        std::vector<std::uint8_t> value;
        EXPECT_EQ(od.read(c.index, c.sub, value), c.abort)
            << std::hex << c.index << " " << int(c.sub);
        if (c.abort == 0) {
            EXPECT_EQ(value, c.value) << std::hex << c.index;
        }
    }
}

TEST(QuorsimObjectDictionary, DomainsHoldTheKnownPattern) {
    ObjectDictionary od = makeDefaultDevice(3);
    for (const auto& [index, size] : {std::pair{kSmallDomainIndex, kSmallDomainBytes},
                                      std::pair{kLargeDomainIndex, kLargeDomainBytes}}) {
        std::vector<std::uint8_t> value;
        ASSERT_EQ(od.read(index, 0, value), 0u);
        ASSERT_EQ(value.size(), size);
        for (std::size_t i : {std::size_t{0}, std::size_t{1}, std::size_t{37}, size - 1})
            EXPECT_EQ(value[i], static_cast<std::uint8_t>(i * 7 % 256)) << i;
    }
}

TEST(QuorsimObjectDictionary, NodeDependentDefaultsAndNumberAccess) {
    EXPECT_EQ(makeDefaultDevice(1).number(0x1018, 4), 0x1001u);
    EXPECT_EQ(makeDefaultDevice(127).number(0x1018, 4), 0x107Fu);
    ObjectDictionary od = makeDefaultDevice(4);
    EXPECT_TRUE(od.setNumber(0x1001, 0, 0x81));
    EXPECT_EQ(od.number(0x1001, 0), 0x81u);
    EXPECT_FALSE(od.setNumber(0x1008, 0, 1)) << "strings are not numbers";
    EXPECT_FALSE(od.setNumber(0x3000, 0, 1));
    // A capacity check without a size at the start is allowed; the write decides.
    EXPECT_EQ(od.checkWrite(0x2100, 0, std::nullopt), 0u);
    EXPECT_EQ(od.checkWrite(0x2001, 0, std::nullopt), 0x06010002u);
}

}  // namespace
}  // namespace quorsim
