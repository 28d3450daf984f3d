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

struct Shown {
    Bytes data;
    const char* length;
    const char* hex;
    const char* ascii;
    const char* unsignedValue;
    const char* signedValue;
    bool onlyFirst16;
};

TEST(DataDisplayTest, ReadDataIsShownAsNumberOrBytes) {
    const Shown cases[] = {
        {{}, "0", "", "", "0", "0", false},
        {{0x34, 0x12}, "2", "1234", ".4", "4660", "4660", false},
        {{0xFF, 0xFF}, "2", "FFFF", "..", "65535", "-1", false},
        {{0x00, 0x80}, "2", "8000", "..", "32768", "-32768", false},
        {{0x01, 0x00, 0x00}, "3", "000001", "...", "1", "1", false},
        {{0x00, 0x00, 0x80}, "3", "800000", "...", "8388608", "-8388608", false},
        {{0xFF, 0xFF, 0x7F}, "3", "7FFFFF", "...", "8388607", "8388607", false},
        {{'A', 'B', 'C', 'D'}, "4", "44434241", "DCBA", "1145258561", "1145258561", false},
        {{0x00, 0x00, 0x00, 0x80}, "4", "80000000", "....", "2147483648", "-2147483648", false},
        {{0xFF, 0xFF, 0xFF, 0xFF}, "4", "FFFFFFFF", "....", "4294967295", "-1", false},
        {{0x20, 0x7E, 0x7F, 0x1F}, "4", "1F7F7E20", "..~ ", "528449056", "528449056", false},
        {{0x80}, "1", "80", ".", "128", "-128", false},
        {{0x7F}, "1", "7F", ".", "127", "127", false},
        {{0xab}, "1", "AB", ".", "171", "-85", false},
        {{'0'}, "1", "30", "0", "48", "48", false},
        {{'A', 'B', 'C', 'D', 'E'}, "5", "4142434445", "ABCDE", "", "", false},
        {{0x00, 0x1F, 0x20, 0x7E, 0x7F, 0xFF}, "6", "001F207E7FFF", ".. ~..", "", "", false},
        {letters(16), "16", "4142434445464748494A4B4C4D4E4F50", "ABCDEFGHIJKLMNOP", "", "", false},
        {letters(17), "17", "4142434445464748494A4B4C4D4E4F50", "ABCDEFGHIJKLMNOP", "", "", true},
        {Bytes(174080, 0x41), "174080", "41414141414141414141414141414141", "AAAAAAAAAAAAAAAA", "",
         "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length + std::string(" bytes, hex ") + c.hex);
        const ReadDisplay shown =
            FormatReadDisplay(c.data.data(), static_cast<uint32_t>(c.data.size()));
        EXPECT_EQ(shown.length, c.length);
        EXPECT_EQ(shown.hex, c.hex);
        EXPECT_EQ(shown.ascii, c.ascii);
        EXPECT_EQ(shown.unsignedValue, c.unsignedValue);
        EXPECT_EQ(shown.signedValue, c.signedValue);
        EXPECT_EQ(shown.onlyFirst16, c.onlyFirst16);
    }
}

TEST(DataDisplayTest, DumpCaptionNamesNodeIndexAndSubindex) {
    const struct {
        uint8_t node;
        uint32_t index;
        uint8_t subindex;
        const char* caption;
    } cases[] = {
        {0x05, 0x1018, 0x01, "Data from Node 0x05 OD Entry 0x1018 subindex 0x01"},
        {0x7F, 0x000A, 0xFF, "Data from Node 0x7F OD Entry 0x000A subindex 0xFF"},
        {0x01, 0x0000, 0x00, "Data from Node 0x01 OD Entry 0x0000 subindex 0x00"},
        {0xFF, 0xabcd, 0xab, "Data from Node 0xFF OD Entry 0xABCD subindex 0xAB"},
        {0x10, 0x12345, 0x0C, "Data from Node 0x10 OD Entry 0x12345 subindex 0x0C"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        EXPECT_EQ(DumpCaption(c.node, c.index, c.subindex), c.caption);
    }
}

TEST(DataDisplayTest, DumpLinesPadTheLastLineToFullWidth) {
    const Bytes mixed = {0x00, 0x1F, 0x20, 0x7E, 0x7F, 0x80, 0xFF, 'z'};
    const struct {
        Bytes data;
        QStringList lines;
    } cases[] = {
        {{}, {}},
        {letters(16), {"000000 4142434445464748494A4B4C4D4E4F50 ABCDEFGHIJKLMNOP"}},
        {letters(17),
         {"000000 4142434445464748494A4B4C4D4E4F50 ABCDEFGHIJKLMNOP",
          "000010 51" + QString(30, ' ') + " Q" + QString(15, ' ')}},
        {mixed, {"000000 001F207E7F80FF7A" + QString(16, ' ') + " .. ~...z" + QString(8, ' ')}},
        {{0xAB}, {"000000 AB" + QString(30, ' ') + " ." + QString(15, ' ')}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data.size());
        const QStringList lines = DumpLines(c.data.data(), static_cast<uint32_t>(c.data.size()));
        EXPECT_EQ(lines, c.lines);
        for (const QString& line : lines) EXPECT_EQ(line.size(), 56);
    }
}

TEST(DataDisplayTest, DumpOfTheWholeBufferHasOneLinePerSixteenBytes) {
    const struct {
        std::size_t size;
        int lineCount;
        const char* lastOffset;
    } cases[] = {
        {32, 2, "000010"},
        {33, 3, "000020"},
        {4096, 256, "000FF0"},
        {174080, 10880, "02A7F0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const Bytes data(c.size, 0x5A);
        const QStringList lines = DumpLines(data.data(), static_cast<uint32_t>(c.size));
        ASSERT_EQ(lines.size(), c.lineCount);
        for (int i = 0; i < lines.size(); ++i) {
            ASSERT_EQ(lines[i].size(), 56) << "line " << i;
            ASSERT_EQ(lines[i].left(6),
                      QStringLiteral("%1").arg(i * 16, 6, 16, QChar('0')).toUpper())
                << "line " << i;
        }
        EXPECT_EQ(lines.last().left(6), c.lastOffset);
    }
}

TEST(DataDisplayTest, DumpTextHeightGrowsPerLineUpToTheLimit) {
    const std::pair<int, int> cases[] = {{0, 18},   {1, 31},   {2, 44},     {16, 226},
                                         {17, 239}, {18, 239}, {10880, 239}};
    for (const auto& [lines, height] : cases) {
        SCOPED_TRACE(lines);
        EXPECT_EQ(DumpTextHeight(lines), height);
    }
}

}  // namespace
