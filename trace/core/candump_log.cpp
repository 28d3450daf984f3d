#include "trace/core/candump_log.h"

#include <cstdint>

namespace canopen_trace {
namespace {

constexpr std::size_t kStandardIdDigits = 3;
constexpr std::size_t kExtendedIdMaxDigits = 8;
constexpr uint32_t kStandardIdMax = 0x7FF;
constexpr uint32_t kExtendedIdMax = 0x1FFFFFFF;
constexpr uint32_t kErrorFrameFlag = 0x20000000;
constexpr std::size_t kMaxDataBytes = 8;
constexpr char kIdSeparator = '#';
constexpr char kRawDlcSeparator = '_';
constexpr int kRawDlcMin = 9;  // raw DLC 9-15 of an 8-byte classic frame

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

// Splits off the next token separated by spaces or tabs.
std::string_view nextToken(std::string_view& rest) {
    while (!rest.empty() && isSpace(rest.front())) rest.remove_prefix(1);
    std::size_t end = 0;
    while (end < rest.size() && !isSpace(rest[end])) ++end;
    std::string_view token = rest.substr(0, end);
    rest.remove_prefix(end);
    return token;
}

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (!isDigit(c)) return false;
    }
    return true;
}

// "(1436509052.249713)"
bool isTimestamp(std::string_view token) {
    if (token.size() < 2 || token.front() != '(' || token.back() != ')') return false;
    token = token.substr(1, token.size() - 2);
    const std::size_t dot = token.find('.');
    if (dot == std::string_view::npos) return false;
    return allDigits(token.substr(0, dot)) && allDigits(token.substr(dot + 1));
}

CandumpLine malformed(std::string_view reason) {
    CandumpLine line;
    line.kind = CandumpLineKind::kMalformed;
    line.error = reason;
    return line;
}

// "_9" after 8 data bytes (or R8): the raw DLC, which the trace does not keep.
bool isRawDlcSuffix(std::string_view rest, std::size_t length) {
    return rest.size() == 2 && rest[0] == kRawDlcSeparator && length == kMaxDataBytes &&
           hexValue(rest[1]) >= kRawDlcMin;
}

std::string_view parseRemote(std::string_view rest, TraceRecord& record) {
    record.flags |= kTraceFlagRemote;
    if (rest.empty()) return {};
    if (!isDigit(rest[0]) || rest[0] - '0' > static_cast<int>(kMaxDataBytes)) {
        return "remote frame length must be a digit 0-8";
    }
    record.length = static_cast<uint8_t>(rest[0] - '0');
    rest.remove_prefix(1);
    if (rest.empty() || isRawDlcSuffix(rest, record.length)) return {};
    return "unexpected text after the remote frame length";
}

std::string_view parseData(std::string_view rest, TraceRecord& record) {
    std::size_t length = 0;
    while (!rest.empty() && rest[0] != kRawDlcSeparator) {
        if (rest[0] == '.') return "'.' separators are not candump log format";
        const int high = hexValue(rest[0]);
        if (high < 0) return "data is not hex";
        if (rest.size() < 2 || rest[1] == kRawDlcSeparator) return "odd number of data digits";
        const int low = hexValue(rest[1]);
        if (low < 0)
            return rest[1] == '.' ? "'.' separators are not candump log format" : "data is not hex";
        if (length == kMaxDataBytes) return "more than 8 data bytes";
        record.data[length++] = static_cast<uint8_t>(high << 4 | low);
        rest.remove_prefix(2);
    }
    record.length = static_cast<uint8_t>(length);
    if (rest.empty() || isRawDlcSuffix(rest, length)) return {};
    return "raw DLC suffix needs 8 data bytes and a DLC of 9-F";
}

std::string_view parseIdentifier(std::string_view digits, TraceRecord& record) {
    if (digits.size() < kStandardIdDigits || digits.size() > kExtendedIdMaxDigits) {
        return "identifier must have 3 (standard) or 4-8 (extended) hex digits";
    }
    uint32_t value = 0;
    for (char c : digits) {
        const int digit = hexValue(c);
        if (digit < 0) return "identifier is not hex";
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    if (digits.size() == kStandardIdDigits) {
        if (value > kStandardIdMax) return "standard identifier above 7FF";
    } else {
        if (value & kErrorFrameFlag) return "error frame (not decoded)";
        if (value > kExtendedIdMax) return "extended identifier above 1FFFFFFF";
        record.flags |= kTraceFlagExtended;
    }
    record.identifier = value;
    return {};
}

}  // namespace

CandumpLine ParseCandumpLine(std::string_view text) {
    std::string_view rest = trimmed(text);
    if (rest.empty()) return CandumpLine{};

    if (!isTimestamp(nextToken(rest))) return malformed("expected (SECONDS.MICROSECONDS) first");
    const std::string_view interface = nextToken(rest);
    if (interface.empty()) return malformed("missing interface name");
    const std::string_view frame = nextToken(rest);
    if (frame.empty()) return malformed("missing frame");
    if (!trimmed(rest).empty()) return malformed("unexpected text after the frame");

    const std::size_t separator = frame.find(kIdSeparator);
    if (separator == std::string_view::npos) return malformed("frame has no '#'");
    CandumpLine line;
    line.kind = CandumpLineKind::kFrame;
    line.record.direction = 0;
    line.record.count = 1;
    std::string_view error = parseIdentifier(frame.substr(0, separator), line.record);
    if (!error.empty()) return malformed(error);

    std::string_view payload = frame.substr(separator + 1);
    if (!payload.empty() && payload[0] == kIdSeparator) {
        return malformed("CAN FD frame (not decoded)");
    }
    if (!payload.empty() && (payload[0] == 'R' || payload[0] == 'r')) {
        error = parseRemote(payload.substr(1), line.record);
    } else {
        error = parseData(payload, line.record);
    }
    if (!error.empty()) return malformed(error);
    return line;
}

}  // namespace canopen_trace
