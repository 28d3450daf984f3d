// quorshare's frame notation and dump lines; every dump line reads back
// through quordecode's candump reader as the same frame.
#include "share/frame_text.h"

#include <gtest/gtest.h>

#include "trace/core/candump_log.h"

namespace {

QuorshareFrame frame(uint32_t id, uint8_t flags, std::vector<uint8_t> data, int length = -1) {
    QuorshareFrame f{};
    f.id = id;
    f.flags = flags;
    f.length = static_cast<uint8_t>(length < 0 ? data.size() : length);
    std::copy(data.begin(), data.end(), f.data);
    return f;
}

constexpr uint8_t kExt = QUORSHARE_FLAG_EXTENDED;
constexpr uint8_t kRtr = QUORSHARE_FLAG_REMOTE;

TEST(FrameTextTest, WrittenAsCandumpWritesThemAndReadBack) {
    struct Row {
        QuorshareFrame frame;
        const char* text;
    } rows[] = {
        {frame(0x181, 0, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}), "181#1122334455667788"},
        {frame(0x12345678, kExt, {0xAA, 0xBB}), "12345678#AABB"},
        {frame(0x80, 0, {}), "080#"},
        {frame(0x705, kRtr, {}), "705#R"},
        {frame(0x705, kRtr, {}, 1), "705#R1"},
        {frame(0x181, kExt, {0x0a}), "00000181#0A"},
        {frame(0x1FFFFFFF, kExt | kRtr, {}, 8), "1FFFFFFF#R8"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(share::FrameText(row.frame), row.text);
        const std::string line = share::DumpLine(row.frame, 1699999999, 123, "quorvane");
        EXPECT_EQ(line, std::string("(1699999999.000123) quorvane ") + row.text);

        const auto parsed = share::ParseFrameText(row.text);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->id, row.frame.id);
        EXPECT_EQ(parsed->flags, row.frame.flags);
        EXPECT_EQ(parsed->length, row.frame.length);

        const auto read = canopen_trace::ParseCandumpLine(line);
        ASSERT_EQ(read.kind, canopen_trace::CandumpLineKind::kFrame) << read.error;
        EXPECT_EQ(read.record.identifier, row.frame.id);
        EXPECT_EQ(read.record.length, row.frame.length);
        EXPECT_EQ(std::vector<uint8_t>(read.record.data, read.record.data + read.record.length),
                  std::vector<uint8_t>(row.frame.data, row.frame.data + row.frame.length));
    }
}

TEST(FrameTextTest, FramesToSendTakeCansendNotationAndRefuseTheRest) {
    const auto dotted = share::ParseFrameText("123#11.22.33");
    ASSERT_TRUE(dotted);
    EXPECT_EQ(dotted->length, 3);
    EXPECT_EQ(dotted->data[2], 0x33);
    const auto lower = share::ParseFrameText("7ff#aabb");
    ASSERT_TRUE(lower);
    EXPECT_EQ(lower->id, 0x7FFu);

    for (const char* bad :
         {"123", "12#11", "800#11", "123456789#", "20000000#", "123#1", "123#112233445566778899",
          "123#GG", "123##0112", "123#R9", "123#R12", "0x1#11", "123#11 22", "#11", ""}) {
        EXPECT_FALSE(share::ParseFrameText(bad)) << bad;
    }
}

TEST(FrameTextTest, FilterArgumentsAreMaskValueAndSlot) {
    const auto spec = share::ParseFilterArgument("0000FFFF:0181FFFF@1");
    ASSERT_TRUE(spec);
    EXPECT_EQ(spec->mask, 0x0000FFFFu);
    EXPECT_EQ(spec->value, 0x0181FFFFu);
    EXPECT_EQ(spec->slot, 1u);
    const auto prefixed = share::ParseFilterArgument("0xffffffff:0@31");
    ASSERT_TRUE(prefixed);
    EXPECT_EQ(prefixed->mask, 0xFFFFFFFFu);
    EXPECT_EQ(prefixed->slot, 31u);

    for (const char* bad : {"FFFF:0", "FFFF@1", "FFFF:0@32", "FFFF:0@", "FFFF:0@-1", ":0@1",
                            "FFFF:@1", "1FFFFFFFF:0@1", "FFFF:0@1x", "0@1:FFFF"}) {
        EXPECT_FALSE(share::ParseFilterArgument(bad)) << bad;
    }
}

}  // namespace
