#include "node/data_entry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "gui/result_text.h"

namespace {

constexpr std::size_t kCapacity = 174080;
constexpr uint8_t kSentinel = 0xA5;
using Bytes = std::vector<uint8_t>;

struct Row {
    const QString& base;
    QString text;
    const char* length;
    Bytes sent;        // accepted: the bytes written
    int32_t code = 0;  // refused: the result code
};

// Converts into the main window's buffer plus 16 guard bytes of sentinels;
// checks the bytes written and that nothing else was touched.
void check(const Row& row) {
    SCOPED_TRACE((row.base + " '" + row.text + "' length '" + row.length + "'").toStdString());
    Bytes buffer(kCapacity + 16, kSentinel);
    const EntryConversion result =
        ConvertEntry(row.base, row.text, QString::fromLatin1(row.length), buffer.data(), kCapacity);
    EXPECT_EQ(result.code, row.code);
    EXPECT_TRUE(result.message.isEmpty());
    EXPECT_EQ(result.length, row.sent.size());
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + row.sent.size()), row.sent);
    EXPECT_TRUE(std::all_of(buffer.begin() + row.sent.size(), buffer.end(),
                            [](uint8_t b) { return b == kSentinel; }));
}

TEST(DataEntryTest, AcceptedEntriesWriteExactlyTheirBytes) {
    const Row rows[] = {
        // Hexadecimal: up to 4 bytes reversed with the zero fill, longer in typed order.
        {kBaseHexadecimal, "1234", "2", {0x34, 0x12}},
        {kBaseHexadecimal, "1234", "4", {0x00, 0x00, 0x34, 0x12}},
        {kBaseHexadecimal, "12", "4", {0x00, 0x00, 0x00, 0x12}},
        {kBaseHexadecimal, "abCD", "2", {0xCD, 0xAB}},
        {kBaseHexadecimal, "0102030405", "5", {0x01, 0x02, 0x03, 0x04, 0x05}},
        {kBaseHexadecimal, "0102030405", "6", {0x01, 0x02, 0x03, 0x04, 0x05, 0x00}},
        // The length reads like strtoul: white space, a sign, digits up to the first other.
        {kBaseHexadecimal, "12", " +3abc", {0x00, 0x00, 0x12}},
        // Decimal: low L bytes, least significant first; negatives in two's complement.
        {kBaseDecimal, "300", "2", {0x2C, 0x01}},
        {kBaseDecimal, "-1", "2", {0xFF, 0xFF}},
        {kBaseDecimal, "-127", "1", {0x81}},
        {kBaseDecimal, "-128", "1", {0x80}},
        {kBaseDecimal, "-2147483648", "4", {0x00, 0x00, 0x00, 0x80}},
        {kBaseDecimal, "4294967295", "4", {0xFF, 0xFF, 0xFF, 0xFF}},
        {kBaseDecimal, "-", "2", {0x00, 0x00}},
        // ASCII: characters in order, space-filled.
        {kBaseAscii, "AB", "4", {0x41, 0x42, 0x20, 0x20}},
        {kBaseAscii, " ~", "2", {0x20, 0x7E}},
    };
    for (const Row& row : rows) check(row);
}

TEST(DataEntryTest, RefusalsGiveTheirCodeInOrderAndWriteNothing) {
    const Row rows[] = {
        // Hexadecimal: digits, even count, length >= 1, fits the length.
        {kBaseHexadecimal, "", "2", {}, kResultBadHexData},
        {kBaseHexadecimal, "0x12", "2", {}, kResultBadHexData},
        {kBaseHexadecimal, "ABC", "200000", {}, kResultOddHexDigits},
        {kBaseHexadecimal, "12", "", {}, kResultHexLength},
        {kBaseHexadecimal, "12", "4294967295", {}, kResultHexLength},
        {kBaseHexadecimal, "1234", "1", {}, kResultHexExceedsLength},
        // Decimal: characters, size (the sign not counted), length 1-4, fits the length.
        {kBaseDecimal, "1-2", "0", {}, kResultBadDecimal},
        {kBaseDecimal, "+5", "2", {}, kResultBadDecimal},
        {kBaseDecimal, "", "2", {}, kResultBadDecimal},
        {kBaseDecimal, "12345678901", "0", {}, kResultDecimalTooLarge},
        {kBaseDecimal, "4294967296", "4", {}, kResultDecimalTooLarge},
        {kBaseDecimal, "1", "0", {}, kResultDecimalLength},
        {kBaseDecimal, "1", "5", {}, kResultDecimalLength},
        {kBaseDecimal, "256", "1", {}, kResultDecimalExceedsLength},
        {kBaseDecimal, "-129", "1", {}, kResultDecimalExceedsLength},
        {kBaseDecimal, "-2147483649", "4", {}, kResultDecimalExceedsLength},
        {kBaseDecimal, "-4294967295", "4", {}, kResultDecimalExceedsLength},
        // ASCII: printable, length >= 1, fits the length.
        {kBaseAscii, "A\tB", "", {}, kResultBadAscii},
        {kBaseAscii, QString(QChar(0xE9)), "4", {}, kResultBadAscii},
        {kBaseAscii, "AB", "-1", {}, kResultAsciiLength},
        {kBaseAscii, "ABC", "2", {}, kResultAsciiExceedsLength},
    };
    for (const Row& row : rows) check(row);
}

TEST(DataEntryTest, LengthBeyondTheBufferIsRefusedBeforeAnythingIsWritten) {
    for (const QString& base : {kBaseHexadecimal, kBaseAscii}) {
        Bytes buffer(kCapacity + 1, kSentinel);
        const EntryConversion refused = ConvertEntry(
            base, QStringLiteral("12"), QStringLiteral("174081"), buffer.data(), kCapacity);
        EXPECT_EQ(refused.code, 0);
        EXPECT_EQ(refused.message, "The data length must not be more than 174080 bytes.");
        EXPECT_TRUE(
            std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == kSentinel; }));
        // The whole buffer is allowed and filled, the byte after it is not.
        const EntryConversion full = ConvertEntry(
            base, QStringLiteral("12"), QStringLiteral("174080"), buffer.data(), kCapacity);
        EXPECT_TRUE(full.ok());
        EXPECT_EQ(full.length, kCapacity);
        EXPECT_EQ(buffer[kCapacity], kSentinel);
    }
}

TEST(DataEntryTest, LengthTextAndHexText) {
    const std::pair<const char*, int32_t> lengths[] = {
        {"\t7", 7}, {"-1", -1}, {"abc", 0}, {"0x10", 0}, {"2147483648", INT32_MIN},
    };
    for (const auto& [text, expected] : lengths) EXPECT_EQ(ParseLength(text), expected) << text;
    EXPECT_TRUE(IsHexText(""));
    EXPECT_FALSE(IsHexText(" 1"));
    EXPECT_EQ(HexValue("abCD"), 0xABCDu);
    EXPECT_EQ(HexValue("123456789"), 0x23456789u);  // low 32 bits
}

}  // namespace
