// The hex dump quorcmd writes for an upload to a ".txt" file or to SCREEN.
//
// Offset Hexadecimal                      ASCII
// 000000 48656C6C00                       Hell.
//
// One line per 16 bytes: the offset as six upper-case hex digits, a space,
// 32 hex digits (two spaces for each position beyond the data), a space, 16
// characters (0x20-0x7E as themselves, others ".", a space beyond the data).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorcmd {

inline constexpr const char* kHexDumpHeader = "Offset Hexadecimal                      ASCII\n";

// The header line followed by one line per 16 bytes; the header only for 0 bytes.
std::string FormatHexDump(const std::uint8_t* data, std::size_t length);

}  // namespace quorcmd
