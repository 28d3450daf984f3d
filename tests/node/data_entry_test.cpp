#include "node/data_entry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "app/result_text.h"

namespace {

constexpr std::size_t kCapacity = 174080;
constexpr std::size_t kGuard = 16;
constexpr uint8_t kSentinel = 0xA5;

using Bytes = std::vector<uint8_t>;

// The main window's data buffer plus guard bytes, every byte a sentinel.
Bytes freshBuffer() {
    return Bytes(kCapacity + kGuard, kSentinel);
}

bool untouchedFrom(const Bytes& buffer, std::size_t from) {
    return std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(from), buffer.end(),
                       [](uint8_t b) { return b == kSentinel; });
}

struct Accepted {
    const QString& base;
    const char* text;
    const char* length;
    Bytes expected;
};

TEST(DataEntryTest, AcceptedEntriesWriteExactlyTheirBytes) {
    const Accepted cases[] = {
        // Hexadecimal: up to 4 bytes reversed with the zero fill, longer in typed order.
        {kBaseHexadecimal, "1234", "2", {0x34, 0x12}},
        {kBaseHexadecimal, "1234", "4", {0x00, 0x00, 0x34, 0x12}},
        {kBaseHexadecimal, "12", "4", {0x00, 0x00, 0x00, 0x12}},
        {kBaseHexadecimal, "12", "1", {0x12}},
        {kBaseHexadecimal, "1A2B", "2", {0x2B, 0x1A}},
        {kBaseHexadecimal, "abCD", "2", {0xCD, 0xAB}},
        {kBaseHexadecimal, "0102030405", "5", {0x01, 0x02, 0x03, 0x04, 0x05}},
        {kBaseHexadecimal, "0102030405", "6", {0x01, 0x02, 0x03, 0x04, 0x05, 0x00}},
        {kBaseHexadecimal, "12", "3", {0x00, 0x00, 0x12}},
        {kBaseHexadecimal, "12", " 3", {0x00, 0x00, 0x12}},
        {kBaseHexadecimal, "12", "+3", {0x00, 0x00, 0x12}},
        {kBaseHexadecimal, "12", "3abc", {0x00, 0x00, 0x12}},
        {kBaseHexadecimal, "FF", "5", {0xFF, 0x00, 0x00, 0x00, 0x00}},
        // Decimal: low L bytes, least significant first; negatives in two's complement.
        {kBaseDecimal, "300", "2", {0x2C, 0x01}},
        {kBaseDecimal, "-1", "2", {0xFF, 0xFF}},
        {kBaseDecimal, "-127", "1", {0x81}},
        {kBaseDecimal, "-128", "1", {0x80}},
        {kBaseDecimal, "-32768", "2", {0x00, 0x80}},
        {kBaseDecimal, "-8388608", "3", {0x00, 0x00, 0x80}},
        {kBaseDecimal, "-2147483648", "4", {0x00, 0x00, 0x00, 0x80}},
        {kBaseDecimal, "-1", "4", {0xFF, 0xFF, 0xFF, 0xFF}},
        {kBaseDecimal, "4294967295", "4", {0xFF, 0xFF, 0xFF, 0xFF}},
        {kBaseDecimal, "255", "1", {0xFF}},
        {kBaseDecimal, "65536", "3", {0x00, 0x00, 0x01}},
        {kBaseDecimal, "16909060", "4", {0x04, 0x03, 0x02, 0x01}},
        {kBaseDecimal, "0000000001", "1", {0x01}},
        {kBaseDecimal, "0", "1", {0x00}},
        {kBaseDecimal, "-0", "2", {0x00, 0x00}},
        {kBaseDecimal, "-", "2", {0x00, 0x00}},
        // ASCII: characters in order, space-filled.
        {kBaseAscii, "AB", "4", {0x41, 0x42, 0x20, 0x20}},
        {kBaseAscii, "AB", "2", {0x41, 0x42}},
        {kBaseAscii, " ~", "3", {0x20, 0x7E, 0x20}},
        {kBaseAscii, "ABCDEF", "6", {0x41, 0x42, 0x43, 0x44, 0x45, 0x46}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.base + " '" + c.text + "' length '" + c.length + "'").toStdString());
        Bytes buffer = freshBuffer();
        const EntryConversion result =
            ConvertEntry(c.base, QString::fromLatin1(c.text), QString::fromLatin1(c.length),
                         buffer.data(), kCapacity);
        EXPECT_TRUE(result.ok());
        EXPECT_EQ(result.code, 0);
        EXPECT_TRUE(result.message.isEmpty());
        EXPECT_EQ(result.length, c.expected.size());
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + c.expected.size()), c.expected);
        EXPECT_TRUE(untouchedFrom(buffer, c.expected.size()));
    }
}

struct Refused {
    const QString& base;
    QString text;
    const char* length;
    int32_t code;
};

TEST(DataEntryTest, RefusalsGiveTheirCodeAndWriteNothing) {
    const Refused cases[] = {
        // Hexadecimal, checks in order: digits, even count, fits the length, length >= 1.
        {kBaseHexadecimal, "", "2", kResultBadHexData},
        {kBaseHexadecimal, "12G4", "2", kResultBadHexData},
        {kBaseHexadecimal, "12 ", "2", kResultBadHexData},
        {kBaseHexadecimal, "0x12", "2", kResultBadHexData},
        {kBaseHexadecimal, "G", "", kResultBadHexData},
        {kBaseHexadecimal, "ABC", "2", kResultOddHexDigits},
        {kBaseHexadecimal, "ABC", "", kResultOddHexDigits},
        {kBaseHexadecimal, "ABC", "200000", kResultOddHexDigits},
        {kBaseHexadecimal, "1234", "1", kResultHexExceedsLength},
        {kBaseHexadecimal, "123456", "2", kResultHexExceedsLength},
        // A length below 1 is named as such before the data is compared with it.
        {kBaseHexadecimal, "12", "-1", kResultHexLength},
        {kBaseHexadecimal, "12", "4294967295", kResultHexLength},
        {kBaseHexadecimal, "12", "2147483648", kResultHexLength},
        {kBaseHexadecimal, "12", "", kResultHexLength},
        {kBaseHexadecimal, "12", "0", kResultHexLength},
        // Decimal, checks in order: characters, empty, size, length 1-4, fits the length.
        {kBaseDecimal, "1-2", "2", kResultBadDecimal},
        {kBaseDecimal, "+5", "2", kResultBadDecimal},
        {kBaseDecimal, "--1", "2", kResultBadDecimal},
        {kBaseDecimal, " 1", "2", kResultBadDecimal},
        {kBaseDecimal, "1.5", "2", kResultBadDecimal},
        {kBaseDecimal, "A", "2", kResultBadDecimal},
        {kBaseDecimal, "", "2", kResultBadDecimal},
        {kBaseDecimal, "1-2", "0", kResultBadDecimal},
        {kBaseDecimal, "12345678901", "4", kResultDecimalTooLarge},
        {kBaseDecimal, "12345678901", "0", kResultDecimalTooLarge},
        {kBaseDecimal, "-12345678901", "4", kResultDecimalTooLarge},
        {kBaseDecimal, "5000000000", "4", kResultDecimalTooLarge},
        {kBaseDecimal, "4294967296", "4", kResultDecimalTooLarge},
        {kBaseDecimal, "4294967296", "5", kResultDecimalTooLarge},
        {kBaseDecimal, "1", "0", kResultDecimalLength},
        {kBaseDecimal, "1", "5", kResultDecimalLength},
        {kBaseDecimal, "1", "", kResultDecimalLength},
        {kBaseDecimal, "1", "-1", kResultDecimalLength},
        {kBaseDecimal, "300", "5", kResultDecimalLength},
        {kBaseDecimal, "-", "0", kResultDecimalLength},
        {kBaseDecimal, "300", "1", kResultDecimalExceedsLength},
        {kBaseDecimal, "256", "1", kResultDecimalExceedsLength},
        {kBaseDecimal, "65536", "2", kResultDecimalExceedsLength},
        {kBaseDecimal, "16777216", "3", kResultDecimalExceedsLength},
        {kBaseDecimal, "4294967295", "3", kResultDecimalExceedsLength},
        {kBaseDecimal, "-129", "1", kResultDecimalExceedsLength},
        {kBaseDecimal, "-32769", "2", kResultDecimalExceedsLength},
        {kBaseDecimal, "-8388609", "3", kResultDecimalExceedsLength},
        {kBaseDecimal, "-2147483649", "4", kResultDecimalExceedsLength},
        // Ten digits after the sign: not too large, but no length holds it.
        {kBaseDecimal, "-4294967295", "1", kResultDecimalExceedsLength},
        {kBaseDecimal, "-4294967295", "2", kResultDecimalExceedsLength},
        {kBaseDecimal, "-4294967295", "3", kResultDecimalExceedsLength},
        {kBaseDecimal, "-4294967295", "4", kResultDecimalExceedsLength},
        {kBaseDecimal, "-9999999999", "4", kResultDecimalExceedsLength},
        // ASCII, checks in order: printable, length >= 1, fits the length.
        {kBaseAscii, "", "4", kResultBadAscii},
        {kBaseAscii, "A\tB", "4", kResultBadAscii},
        {kBaseAscii, "A\tB", "", kResultBadAscii},
        {kBaseAscii, QString(QChar(0x7F)), "4", kResultBadAscii},
        {kBaseAscii, QString(QChar(0xE9)), "4", kResultBadAscii},
        {kBaseAscii, "", "200000", kResultBadAscii},
        {kBaseAscii, "AB", "", kResultAsciiLength},
        {kBaseAscii, "AB", "0", kResultAsciiLength},
        {kBaseAscii, "AB", "-1", kResultAsciiLength},
        {kBaseAscii, "ABC", "2", kResultAsciiExceedsLength},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.base + " '" + c.text + "' length '" + c.length + "'").toStdString());
        Bytes buffer = freshBuffer();
        const EntryConversion result =
            ConvertEntry(c.base, c.text, QString::fromLatin1(c.length), buffer.data(), kCapacity);
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(result.code, c.code);
        EXPECT_TRUE(result.message.isEmpty());
        EXPECT_EQ(result.length, 0u);
        EXPECT_TRUE(untouchedFrom(buffer, 0));
    }
}

TEST(DataEntryTest, LengthBeyondTheBufferIsRefusedWithAMessage) {
    const struct {
        const QString& base;
        const char* text;
        const char* length;
    } cases[] = {
        {kBaseHexadecimal, "12", "174081"},
        {kBaseHexadecimal, "12", "200000"},
        {kBaseHexadecimal, "0102030405", "99999999"},
        {kBaseAscii, "AB", "174081"},
        {kBaseAscii, "AB", "200000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.base + " '" + c.text + "' length '" + c.length + "'").toStdString());
        Bytes buffer = freshBuffer();
        const EntryConversion result =
            ConvertEntry(c.base, QString::fromLatin1(c.text), QString::fromLatin1(c.length),
                         buffer.data(), kCapacity);
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(result.code, 0);
        EXPECT_EQ(result.message, "The data length must not be more than 174080 bytes.");
        EXPECT_EQ(result.length, 0u);
        EXPECT_TRUE(untouchedFrom(buffer, 0));
    }
}

TEST(DataEntryTest, LengthOfTheWholeBufferFillsItAndNoMore) {
    const struct {
        const QString& base;
        const char* text;
        uint8_t first;
        uint8_t second;
        uint8_t fill;
    } cases[] = {
        {kBaseHexadecimal, "1234", 0x12, 0x34, 0x00},
        {kBaseAscii, "4V", 0x34, 0x56, 0x20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.base.toStdString());
        Bytes buffer = freshBuffer();
        const EntryConversion result =
            ConvertEntry(c.base, QString::fromLatin1(c.text), QStringLiteral("174080"),
                         buffer.data(), kCapacity);
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.length, kCapacity);
        EXPECT_EQ(buffer[0], c.first);
        EXPECT_EQ(buffer[1], c.second);
        EXPECT_TRUE(std::all_of(buffer.begin() + 2, buffer.begin() + kCapacity,
                                [&](uint8_t b) { return b == c.fill; }));
        EXPECT_TRUE(untouchedFrom(buffer, kCapacity));
    }
}

TEST(DataEntryTest, LengthTextReadsLikeUnsignedLongTakenAsSigned) {
    const std::pair<const char*, int32_t> cases[] = {
        {"12", 12},
        {" 12", 12},
        {"\t7", 7},
        {"+3", 3},
        {"-1", -1},
        {"-0", 0},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"   ", 0},
        {"-", 0},
        {"+-3", 0},
        {"1 2", 1},
        {"0x10", 0},
        {"007", 7},
        {"4294967295", -1},
        {"2147483647", 2147483647},
        {"2147483648", INT32_MIN},
        {"-2147483648", INT32_MIN},
        {"174080", 174080},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ParseLength(QString::fromLatin1(text)), expected);
    }
}

TEST(DataEntryTest, HexTextAndValue) {
    const struct {
        const char* text;
        bool isHex;
        uint32_t value;
    } cases[] = {
        {"", true, 0},
        {"0", true, 0},
        {"1018", true, 0x1018},
        {"abcdef", true, 0xABCDEF},
        {"ABCDEF", true, 0xABCDEF},
        {"FFFFFFFF", true, 0xFFFFFFFF},
        {"123456789", true, 0x23456789},
        {"G", false, 0},
        {"1G", false, 0},
        {" 1", false, 0},
        {"1 ", false, 0},
        {"-1", false, 0},
        {"0x1", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IsHexText(QString::fromLatin1(c.text)), c.isHex);
        if (c.isHex) {
            EXPECT_EQ(HexValue(QString::fromLatin1(c.text)), c.value);
        }
    }
}

}  // namespace
