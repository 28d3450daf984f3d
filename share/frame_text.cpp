#include "share/frame_text.h"

#include <cstdio>

namespace share {

namespace {

constexpr uint32_t kMaxStandardId = 0x7FF;
constexpr uint32_t kMaxExtendedId = 0x1FFFFFFF;
constexpr std::size_t kStandardIdDigits = 3;
constexpr std::size_t kMaxIdDigits = 8;
constexpr std::size_t kMaxBytes = 8;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<uint32_t> parseHex(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return value;
}

}  // namespace

std::string FrameText(const QuorshareFrame& frame) {
    char text[40];
    const bool extended = (frame.flags & QUORSHARE_FLAG_EXTENDED) != 0;
    int at = std::snprintf(text, sizeof text, extended ? "%08X#" : "%03X#", frame.id);
    if ((frame.flags & QUORSHARE_FLAG_REMOTE) != 0) {
        text[at++] = 'R';
        if (frame.length > 0 && frame.length <= kMaxBytes) text[at++] = char('0' + frame.length);
        text[at] = '\0';
        return text;
    }
    for (std::size_t i = 0; i < frame.length && i < kMaxBytes; ++i) {
        at += std::snprintf(text + at, sizeof text - static_cast<std::size_t>(at), "%02X",
                            frame.data[i]);
    }
    return text;
}

std::string DumpLine(const QuorshareFrame& frame, uint64_t seconds, uint32_t microseconds,
                     std::string_view interface) {
    char time[48];
    std::snprintf(time, sizeof time, "(%llu.%06u) ", static_cast<unsigned long long>(seconds),
                  microseconds);
    std::string line = time;
    line.append(interface);
    line += ' ';
    line += FrameText(frame);
    return line;
}

std::optional<QuorshareFrame> ParseFrameText(std::string_view text) {
    const std::size_t hash = text.find('#');
    if (hash == std::string_view::npos) return std::nullopt;
    const std::string_view id = text.substr(0, hash);
    std::string_view rest = text.substr(hash + 1);
    if (id.size() < kStandardIdDigits || id.size() > kMaxIdDigits || id.find('x') != id.npos ||
        id.find('X') != id.npos) {
        return std::nullopt;
    }
    const std::optional<uint32_t> value = parseHex(id);
    if (!value) return std::nullopt;
    QuorshareFrame frame{};
    frame.id = *value;
    if (id.size() > kStandardIdDigits) {
        if (frame.id > kMaxExtendedId) return std::nullopt;
        frame.flags = QUORSHARE_FLAG_EXTENDED;
    } else if (frame.id > kMaxStandardId) {
        return std::nullopt;
    }
    if (!rest.empty() && (rest[0] == 'R' || rest[0] == 'r')) {
        frame.flags |= QUORSHARE_FLAG_REMOTE;
        if (rest.size() == 1) return frame;
        if (rest.size() != 2 || rest[1] < '0' || rest[1] > '8') return std::nullopt;
        frame.length = static_cast<uint8_t>(rest[1] - '0');
        return frame;
    }
    while (!rest.empty()) {
        if (rest[0] == '.') {
            rest.remove_prefix(1);
            continue;
        }
        if (rest.size() < 2 || frame.length == kMaxBytes) return std::nullopt;
        const int high = hexDigit(rest[0]);
        const int low = hexDigit(rest[1]);
        if (high < 0 || low < 0) return std::nullopt;
        frame.data[frame.length++] = static_cast<uint8_t>(high << 4 | low);
        rest.remove_prefix(2);
    }
    return frame;
}

std::optional<FilterArgument> ParseFilterArgument(std::string_view text) {
    const std::size_t colon = text.find(':');
    const std::size_t at = text.find('@');
    if (colon == std::string_view::npos || at == std::string_view::npos || at < colon) {
        return std::nullopt;
    }
    const auto mask = parseHex(text.substr(0, colon));
    const auto value = parseHex(text.substr(colon + 1, at - colon - 1));
    const std::string_view slotText = text.substr(at + 1);
    if (!mask || !value || slotText.empty() || slotText.size() > 2) return std::nullopt;
    uint32_t slot = 0;
    for (char c : slotText) {
        if (c < '0' || c > '9') return std::nullopt;
        slot = slot * 10 + static_cast<uint32_t>(c - '0');
    }
    if (slot > 31) return std::nullopt;
    return FilterArgument{*mask, *value, slot};
}

}  // namespace share
