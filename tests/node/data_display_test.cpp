#include "node/data_display.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Bytes 'A', 'B', ... of the given count.
Bytes letters(std::size_t count) {
    Bytes bytes(count);
    std::iota(bytes.begin(), bytes.end(), uint8_t{'A'});
    return bytes;
}

TEST(DataDisplayTest, ReadDataIsShownAsNumberOrBytes) {
    const struct {
        Bytes data;
        const char* hex;
        const char* ascii;
        const char* unsignedValue;
        const char* signedValue;
        bool onlyFirst16;
    } cases[] = {
        {{}, "", "", "0", "0", false},
        {{0x34, 0x12}, "1234", ".4", "4660", "4660", false},
        {{0xFF, 0xFF}, "FFFF", "..", "65535", "-1", false},
        {{0x01, 0x00, 0x00}, "000001", "...", "1", "1", false},
        {{0x00, 0x00, 0x80}, "800000", "...", "8388608", "-8388608", false},
        {{'A', 'B', 'C', 'D'}, "44434241", "DCBA", "1145258561", "1145258561", false},
        {{0x00, 0x00, 0x00, 0x80}, "80000000", "....", "2147483648", "-2147483648", false},
        {{0x80}, "80", ".", "128", "-128", false},
        {{'A', 'B', 'C', 'D', 'E'}, "4142434445", "ABCDE", "", "", false},
        {{0x00, 0x1F, 0x20, 0x7E, 0x7F}, "001F207E7F", ".. ~.", "", "", false},
        {letters(16), "4142434445464748494A4B4C4D4E4F50", "ABCDEFGHIJKLMNOP", "", "", false},
        {letters(17), "4142434445464748494A4B4C4D4E4F50", "ABCDEFGHIJKLMNOP", "", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hex);
        const ReadDisplay shown =
            FormatReadDisplay(c.data.data(), static_cast<uint32_t>(c.data.size()));
        EXPECT_EQ(shown.length, QString::number(c.data.size()));
        EXPECT_EQ(shown.hex, c.hex);
        EXPECT_EQ(shown.ascii, c.ascii);
        EXPECT_EQ(shown.unsignedValue, c.unsignedValue);
        EXPECT_EQ(shown.signedValue, c.signedValue);
        EXPECT_EQ(shown.onlyFirst16, c.onlyFirst16);
    }
}

TEST(DataDisplayTest, DumpWindowTexts) {
    EXPECT_EQ(DumpCaption(0x05, 0xabcd, 0x01), "Data from Node 0x05 OD Entry 0xABCD subindex 0x01");

    const Bytes data = letters(17);
    EXPECT_EQ(DumpLines(data.data(), 17),
              QStringList({"000000 4142434445464748494A4B4C4D4E4F50 ABCDEFGHIJKLMNOP",
                           "000010 51" + QString(30, ' ') + " Q" + QString(15, ' ')}));
    const Bytes whole(174080, 0x5A);
    const QStringList lines = DumpLines(whole.data(), 174080);
    ASSERT_EQ(lines.size(), 10880);
    EXPECT_TRUE(lines.last().startsWith("02A7F0 "));

    EXPECT_EQ(DumpTextHeight(1), 31);
    EXPECT_EQ(DumpTextHeight(16), 226);
    EXPECT_EQ(DumpTextHeight(17), 239);
    EXPECT_EQ(DumpTextHeight(10880), 239);
}

}  // namespace
