// The value forms that stand inside directive parameters: numbers, file
// names and inline hex data. Pure functions on text; no I/O.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorcmd {

// Space, tab and carriage return: the blanks allowed around parameters.
bool IsBlank(char c);
// The text without leading and trailing blanks.
std::string_view TrimBlanks(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// True for the three number forms: decimal digits, "0x" followed by hex
// digits, or hex digits followed by "h" (letters in any case).
bool IsNumberText(std::string_view text);
// The value of a text for which IsNumberText holds: hexadecimal with a "0x"
// prefix or an "h" suffix, octal with a leading 0, decimal otherwise.
// Empty when a leading-0 number holds the digit 8 or 9, or when the value
// does not fit in 32 bits.
std::optional<std::uint32_t> NumberValue(std::string_view text);

// True when the text is one or more file-name characters: letters, digits,
// ".", ":", "\", "_" and blanks.
bool IsFileNameText(std::string_view text);
// The stored form of a file-name text: blanks trimmed at both ends, inner
// tabs and carriage returns turned into spaces.
std::string FileNameFromText(std::string_view text);

// The bytes of a trimmed file-name text that counts as hex data: longer
// than two characters, and after one optional "0x" prefix and one optional
// "h" suffix an even, non-zero number of hex digits. Up to 8 digits are read
// as a number and stored least significant byte first; longer data is stored
// in the order written. Empty when the text is a file name instead.
std::optional<std::vector<std::uint8_t>> HexDataFromText(std::string_view text);

}  // namespace quorcmd
