#include "number_text.h"

#include <cctype>
#include <limits>

namespace quorsim {
namespace {

int digitValue(char c, unsigned base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v >= 0 && static_cast<unsigned>(v) < base ? v : -1;
}

// Digits in base, no sign, no prefix; empty on a bad digit or overflow of max.
std::optional<std::uint64_t> parseDigits(std::string_view digits, unsigned base,
                                         std::uint64_t max) {
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        const int d = digitValue(c, base);
        if (d < 0) return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(d);
        if (digit > max || value > (max - digit) / base) return std::nullopt;
        value = value * base + digit;
    }
    return value;
}

}  // namespace

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

std::optional<std::uint64_t> parseUnsigned(std::string_view text, std::uint64_t max,
                                           bool allow_octal) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return parseDigits(text.substr(2), 16, max);
    if (allow_octal && text.size() > 1 && text[0] == '0')
        return parseDigits(text.substr(1), 8, max);
    return parseDigits(text, 10, max);
}

std::optional<std::int64_t> parseSigned(std::string_view text, std::int64_t min, std::int64_t max,
                                        bool allow_octal) {
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    if (negative ? min >= 0 : max < 0) return std::nullopt;
    const std::uint64_t limit =
        negative ? static_cast<std::uint64_t>(-(min + 1)) + 1 : static_cast<std::uint64_t>(max);
    const auto magnitude = parseUnsigned(text, limit, allow_octal);
    if (!magnitude) return std::nullopt;
    if (!negative) return static_cast<std::int64_t>(*magnitude);
    if (*magnitude == 0) return 0;
    return -static_cast<std::int64_t>(*magnitude - 1) - 1;
}

std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    int high = -1;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (high >= 0) return std::nullopt;
            continue;
        }
        const int d = digitValue(c, 16);
        if (d < 0) return std::nullopt;
        if (high < 0) {
            high = d;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | d));
            high = -1;
        }
    }
    if (high >= 0) return std::nullopt;
    return bytes;
}

}  // namespace quorsim
