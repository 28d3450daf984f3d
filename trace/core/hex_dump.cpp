#include "trace/core/hex_dump.h"

#include <cstdio>

namespace quorcmd {
namespace {

constexpr std::size_t kBytesPerLine = 16;
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isPrintable(std::uint8_t byte) {
    return byte >= 0x20 && byte <= 0x7E;
}

void appendLine(std::string& out, const std::uint8_t* data, std::size_t length,
                std::size_t offset) {
    char offset_text[24];
    std::snprintf(offset_text, sizeof offset_text, "%6.6lX ", static_cast<unsigned long>(offset));
    out += offset_text;
    for (std::size_t i = offset; i < offset + kBytesPerLine; ++i) {
        if (i < length) {
            out += kHexDigits[data[i] >> 4];
            out += kHexDigits[data[i] & 0x0F];
        } else {
            out += "  ";
        }
    }
    out += ' ';
    for (std::size_t i = offset; i < offset + kBytesPerLine; ++i)
        out += i < length ? (isPrintable(data[i]) ? static_cast<char>(data[i]) : '.') : ' ';
    out += '\n';
}

}  // namespace

std::string FormatHexDump(const std::uint8_t* data, std::size_t length) {
    std::string out = kHexDumpHeader;
    out.reserve(out.size() + (length / kBytesPerLine + 1) * 57);
    for (std::size_t offset = 0; offset < length; offset += kBytesPerLine)
        appendLine(out, data, length, offset);
    return out;
}

}  // namespace quorcmd
