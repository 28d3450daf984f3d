#include "node/data_entry.h"

#include <algorithm>
#include <cstring>

#include "gui/result_text.h"

namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isPrintable(QChar c) {
    return c.unicode() >= 0x20 && c.unicode() <= 0x7E;
}

int hexNibble(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

EntryConversion refuse(int32_t code) {
    return EntryConversion{code, QString(), 0};
}

EntryConversion refuseLength(std::size_t capacity) {
    return EntryConversion{0, LengthLimitMessage(capacity), 0};
}

// Hexadecimal: pairs of digits in typed order, zero-filled to L; entries of
// at most 4 bytes are reversed so that they go out as a little-endian number.
EntryConversion convertHex(const QString& text, int32_t length, uint8_t* buffer,
                           std::size_t capacity) {
    if (text.isEmpty() || !IsHexText(text)) return refuse(kResultBadHexData);
    if (text.size() % 2 != 0) return refuse(kResultOddHexDigits);
    // The length is checked before the data is compared with it, so that an
    // empty length is named as such (as for ASCII).
    if (length < 1) return refuse(kResultHexLength);
    if (text.size() / 2 > length) return refuse(kResultHexExceedsLength);
    if (static_cast<std::size_t>(length) > capacity) return refuseLength(capacity);

    const auto count = static_cast<std::size_t>(length);
    std::memset(buffer, 0, count);
    for (qsizetype i = 0; i + 1 < text.size(); i += 2) {
        buffer[i / 2] = static_cast<uint8_t>(hexNibble(text[i]) << 4 | hexNibble(text[i + 1]));
    }
    if (count <= 4) std::reverse(buffer, buffer + count);
    return EntryConversion{0, QString(), static_cast<uint32_t>(count)};
}

// Decimal: a value of 1-4 bytes, negative values in two's complement.
EntryConversion convertDecimal(const QString& text, int32_t length, uint8_t* buffer) {
    const bool negative = text.startsWith(QLatin1Char('-'));
    const QString digits = negative ? text.mid(1) : text;
    if (!std::all_of(digits.begin(), digits.end(), isDigit)) return refuse(kResultBadDecimal);
    if (text.isEmpty()) return refuse(kResultBadDecimal);
    // The sign does not count towards the ten digits.
    if (digits.size() > 10) return refuse(kResultDecimalTooLarge);
    const uint64_t magnitude = digits.isEmpty() ? 0 : digits.toULongLong();
    if (!negative && magnitude > 0xFFFFFFFFull) return refuse(kResultDecimalTooLarge);
    if (length < 1 || length > 4) return refuse(kResultDecimalLength);

    const uint64_t range = uint64_t{1} << (8 * length);
    // A negative value fits down to -range/2 (-128 in one byte).
    if (!negative && magnitude >= range) return refuse(kResultDecimalExceedsLength);
    if (negative && magnitude > range / 2) return refuse(kResultDecimalExceedsLength);

    const uint64_t value = negative ? (range - magnitude) % range : magnitude;
    for (int32_t i = 0; i < length; ++i) buffer[i] = static_cast<uint8_t>(value >> (8 * i));
    return EntryConversion{0, QString(), static_cast<uint32_t>(length)};
}

// ASCII: the characters in order, space-filled to L.
EntryConversion convertAscii(const QString& text, int32_t length, uint8_t* buffer,
                             std::size_t capacity) {
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), isPrintable)) {
        return refuse(kResultBadAscii);
    }
    if (length < 1) return refuse(kResultAsciiLength);
    if (text.size() > length) return refuse(kResultAsciiExceedsLength);
    if (static_cast<std::size_t>(length) > capacity) return refuseLength(capacity);

    const auto count = static_cast<std::size_t>(length);
    std::memset(buffer, ' ', count);
    for (qsizetype i = 0; i < text.size(); ++i) buffer[i] = static_cast<uint8_t>(text[i].unicode());
    return EntryConversion{0, QString(), static_cast<uint32_t>(count)};
}

}  // namespace

int32_t ParseLength(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace()) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    uint32_t value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10u + static_cast<uint32_t>(text[i].unicode() - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

bool IsHexText(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return hexNibble(c) >= 0; });
}

uint32_t HexValue(const QString& text) {
    uint32_t value = 0;
    for (QChar c : text) {
        const int nibble = hexNibble(c);
        if (nibble < 0) break;
        value = value << 4 | static_cast<uint32_t>(nibble);
    }
    return value;
}

EntryConversion ConvertEntry(const QString& base, const QString& text, const QString& lengthText,
                             uint8_t* buffer, std::size_t capacity) {
    const int32_t length = ParseLength(lengthText);
    if (base == kBaseHexadecimal) return convertHex(text, length, buffer, capacity);
    if (base == kBaseDecimal) return convertDecimal(text, length, buffer);
    if (base == kBaseAscii) return convertAscii(text, length, buffer, capacity);
    return refuse(kResultBadHexData);
}

QString LengthLimitMessage(std::size_t capacity) {
    return QStringLiteral("The data length must not be more than %1 bytes.").arg(capacity);
}
