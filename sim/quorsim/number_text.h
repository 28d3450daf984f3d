// Numbers and hex bytes as quorsim's commands and EDS files write them.
//
//   "42"  -> 42          decimal
//   "0x2A", "0X2a" -> 42 hexadecimal
//   "052" -> 42          octal, only where allow_octal (EDS files)
//   "-5"                 only through parseSigned
//   "0A1B2C" -> {0x0A, 0x1B, 0x2C}   hex bytes (spaces between bytes allowed)
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace quorsim {

std::string_view trimmed(std::string_view text);

// A non-negative number no larger than max; empty when malformed, empty or
// out of range.
std::optional<std::uint64_t> parseUnsigned(std::string_view text, std::uint64_t max,
                                           bool allow_octal = false);

// A number in [min, max]; a leading '-' for negative values.
std::optional<std::int64_t> parseSigned(std::string_view text, std::int64_t min, std::int64_t max,
                                        bool allow_octal = false);

// Pairs of hex digits; empty result when a digit is bad or the count is odd.
std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text);

}  // namespace quorsim
