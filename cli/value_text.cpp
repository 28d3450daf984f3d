#include "value_text.h"

#include <algorithm>
#include <limits>

namespace quorcmd {
namespace {

constexpr std::size_t kMaxDigitsReadAsNumber = 8;
constexpr std::size_t kDataPrefixLength = 2;  // "0x"
constexpr std::size_t kShortestDataText = 3;  // "longer than two characters"

char ToUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    const char upper = ToUpper(c);
    return IsDecimalDigit(c) || (upper >= 'A' && upper <= 'F');
}

unsigned HexDigitValue(char c) {
    return IsDecimalDigit(c) ? static_cast<unsigned>(c - '0')
                             : static_cast<unsigned>(ToUpper(c) - 'A' + 10);
}

bool AllOf(std::string_view text, bool (*predicate)(char)) {
    return std::all_of(text.begin(), text.end(), predicate);
}

bool HasHexPrefix(std::string_view text) {
    return text.size() >= kDataPrefixLength && text[0] == '0' && ToUpper(text[1]) == 'X';
}

bool HasHexSuffix(std::string_view text) {
    return !text.empty() && ToUpper(text.back()) == 'H';
}

// Digits in `base`, all already checked; empty when above 32 bits.
std::optional<std::uint32_t> DigitsValue(std::string_view digits, unsigned base) {
    std::uint64_t value = 0;
    for (const char c : digits) {
        value = value * base + HexDigitValue(c);
        if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

bool IsFileNameChar(char c) {
    const char upper = ToUpper(c);
    return IsDecimalDigit(c) || (upper >= 'A' && upper <= 'Z') || c == '.' || c == ':' ||
           c == '\\' || c == '_' || IsBlank(c);
}

}  // namespace

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return ToUpper(x) == ToUpper(y);
           });
}

bool IsNumberText(std::string_view text) {
    if (text.empty()) return false;
    if (AllOf(text, IsDecimalDigit)) return true;
    if (HasHexPrefix(text)) {
        const std::string_view digits = text.substr(kDataPrefixLength);
        return !digits.empty() && AllOf(digits, IsHexDigit);
    }
    if (HasHexSuffix(text)) {
        const std::string_view digits = text.substr(0, text.size() - 1);
        return !digits.empty() && AllOf(digits, IsHexDigit);
    }
    return false;
}

std::optional<std::uint32_t> NumberValue(std::string_view text) {
    constexpr unsigned kHex = 16;
    constexpr unsigned kOctal = 8;
    constexpr unsigned kDecimal = 10;
    if (HasHexSuffix(text)) return DigitsValue(text.substr(0, text.size() - 1), kHex);
    if (HasHexPrefix(text)) return DigitsValue(text.substr(kDataPrefixLength), kHex);
    if (text.size() > 1 && text.front() == '0') {
        if (text.find_first_of("89") != std::string_view::npos) return std::nullopt;
        return DigitsValue(text, kOctal);
    }
    return DigitsValue(text, kDecimal);
}

bool IsFileNameText(std::string_view text) {
    return !text.empty() && AllOf(text, IsFileNameChar);
}

std::string FileNameFromText(std::string_view text) {
    std::string name(TrimBlanks(text));
    std::replace_if(name.begin(), name.end(), IsBlank, ' ');
    return name;
}

std::optional<std::vector<std::uint8_t>> HexDataFromText(std::string_view text) {
    if (text.size() < kShortestDataText) return std::nullopt;
    std::string_view digits = text;
    if (HasHexPrefix(digits)) digits.remove_prefix(kDataPrefixLength);
    if (HasHexSuffix(digits)) digits.remove_suffix(1);
    if (digits.empty() || digits.size() % 2 != 0 || !AllOf(digits, IsHexDigit)) {
        return std::nullopt;
    }
    const std::size_t count = digits.size() / 2;
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t pair = 0; pair < count; ++pair) {
        const auto value = static_cast<std::uint8_t>(HexDigitValue(digits[2 * pair]) * 16 +
                                                     HexDigitValue(digits[2 * pair + 1]));
        const bool as_number = digits.size() <= kMaxDigitsReadAsNumber;
        bytes[as_number ? count - 1 - pair : pair] = value;
    }
    return bytes;
}

}  // namespace quorcmd
