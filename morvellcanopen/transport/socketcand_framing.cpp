#include "socketcand_framing.h"

#include <cstdio>

#include "protocol/can_frame.h"

namespace morvell::socketcand {

namespace {

constexpr char kOpen = '<';
constexpr char kClose = '>';
constexpr std::size_t kMaxIdDigits = 8;
constexpr std::size_t kMaxStandardIdDigits = 3;
constexpr std::size_t kMaxByteDigits = 2;
constexpr std::size_t kMaxDataBytes = 8;
constexpr std::size_t kErrorFrameBytes = 8;
constexpr std::size_t kMicrosecondDigits = 6;
constexpr std::size_t kMaxSecondDigits = 19;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 1 to max_digits hex digits.
std::optional<std::uint32_t> parseHex(std::string_view word, std::size_t max_digits) {
    if (word.empty() || word.size() > max_digits) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : word) {
        const int digit = hexValue(c);
        if (digit < 0) return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::optional<std::uint64_t> parseDecimal(std::string_view word, std::size_t max_digits) {
    if (word.empty() || word.size() > max_digits) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

// A data-frame identifier: sets id and the extended flag.
bool parseFrameId(std::string_view word, CanFrame& frame) {
    const auto id = parseHex(word, kMaxIdDigits);
    if (!id || *id > kMaxExtendedId) return false;
    frame.id = *id;
    if (word.size() > kMaxStandardIdDigits || *id > kMaxStandardId) {
        frame.flags |= CANFRAME_FLAG_EXTENDED;
    }
    return true;
}

// The length word of send / sendrtr / rtr: one digit 0-8.
bool parseDlc(std::string_view word, CanFrame& frame) {
    const auto dlc = parseDecimal(word, 1);
    if (!dlc || *dlc > kMaxDataBytes) return false;
    frame.length = static_cast<std::uint8_t>(*dlc);
    return true;
}

// "SEC.USEC": seconds, '.', 1-6 fraction digits (scaled to microseconds).
bool parseTime(std::string_view word, TimedFrame& out) {
    const auto dot = word.find('.');
    if (dot == std::string_view::npos) return false;
    const auto seconds = parseDecimal(word.substr(0, dot), kMaxSecondDigits);
    const std::string_view fraction = word.substr(dot + 1);
    auto micros = parseDecimal(fraction, kMicrosecondDigits);
    if (!seconds || !micros) return false;
    for (std::size_t i = fraction.size(); i < kMicrosecondDigits; ++i) *micros *= 10;
    out.seconds = *seconds;
    out.microseconds = static_cast<std::uint32_t>(*micros);
    return true;
}

// Separate byte words of 1-2 hex digits; their count must be `count`.
bool parseByteWords(const std::vector<std::string_view>& words, std::size_t first,
                    std::size_t count, CanFrame& frame) {
    if (words.size() != first + count) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const auto byte = parseHex(words[first + i], kMaxByteDigits);
        if (!byte) return false;
        frame.data[i] = static_cast<std::uint8_t>(*byte);
    }
    return true;
}

// Hex data written without spaces ("112233"), possibly split into several
// words of whole bytes; sets length. At most max_bytes bytes.
bool parseHexData(const std::vector<std::string_view>& words, std::size_t first,
                  std::size_t max_bytes, CanFrame& frame) {
    std::size_t length = 0;
    for (std::size_t w = first; w < words.size(); ++w) {
        const std::string_view word = words[w];
        if (word.size() % 2 != 0) return false;
        for (std::size_t i = 0; i < word.size(); i += 2) {
            if (length == max_bytes) return false;
            const auto byte = parseHex(word.substr(i, 2), kMaxByteDigits);
            if (!byte) return false;
            frame.data[length++] = static_cast<std::uint8_t>(*byte);
        }
    }
    frame.length = static_cast<std::uint8_t>(length);
    return true;
}

bool hasCommand(const std::vector<std::string_view>& words, std::string_view command) {
    return !words.empty() && words[0] == command;
}

void appendId(std::string& out, std::uint32_t id, bool extended) {
    char buf[16];
    const int n = std::snprintf(buf, sizeof buf, extended ? "%08X" : "%03X", id);
    out.append(buf, static_cast<std::size_t>(n));
}

void appendTime(std::string& out, const TimedFrame& frame) {
    char buf[40];
    const int n = std::snprintf(buf, sizeof buf, " %llu.%06u ",
                                static_cast<unsigned long long>(frame.seconds),
                                static_cast<unsigned>(frame.microseconds));
    out.append(buf, static_cast<std::size_t>(n));
}

void appendHexByte(std::string& out, std::uint8_t byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

std::uint8_t dataLength(const CanFrame& frame) {
    return frame.length > kMaxDataBytes ? kMaxDataBytes : frame.length;
}

}  // namespace

// ---- MessageReader

void MessageReader::startMessage() {
    state_ = State::Inside;
    partial_.clear();
    partial_raw_ = 1;
    blank_pending_ = false;
}

void MessageReader::finishMessage() {
    state_ = State::Between;
    if (partial_.empty()) {
        discarded_ += partial_raw_ + 1;
        return;
    }
    ready_.push_back(std::move(partial_));
    partial_.clear();
}

void MessageReader::feed(std::string_view bytes) {
    for (const char c : bytes) {
        switch (state_) {
            case State::Between:
                if (c == kOpen) {
                    startMessage();
                } else if (!isBlank(c)) {
                    ++discarded_;
                }
                break;
            case State::Inside:
                if (c == kClose) {
                    finishMessage();
                } else if (c == kOpen) {
                    discarded_ += partial_raw_;
                    startMessage();
                } else if (++partial_raw_ >= kMaxMessage) {
                    discarded_ += partial_raw_;
                    ++overlong_;
                    partial_.clear();
                    state_ = State::SkippingOverlong;
                } else if (isBlank(c)) {
                    blank_pending_ = true;
                } else {
                    if (blank_pending_ && !partial_.empty()) partial_ += ' ';
                    blank_pending_ = false;
                    partial_ += c;
                }
                break;
            case State::SkippingOverlong:
                if (c == kOpen) {
                    startMessage();
                } else {
                    ++discarded_;
                    if (c == kClose) state_ = State::Between;
                }
                break;
        }
    }
}

std::optional<std::string> MessageReader::next() {
    if (ready_.empty()) return std::nullopt;
    std::string message = std::move(ready_.front());
    ready_.pop_front();
    return message;
}

// ---- words

std::vector<std::string_view> splitWords(std::string_view message) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < message.size()) {
        while (i < message.size() && isBlank(message[i])) ++i;
        const std::size_t start = i;
        while (i < message.size() && !isBlank(message[i])) ++i;
        if (i > start) words.push_back(message.substr(start, i - start));
    }
    return words;
}

// ---- formatting

std::string formatSend(const CanFrame& frame) {
    std::string out;
    out.reserve(48);
    out += isRemote(frame) ? "< sendrtr " : "< send ";
    appendId(out, frame.id, isExtended(frame));
    out += ' ';
    out += static_cast<char>('0' + dataLength(frame));
    if (!isRemote(frame)) {
        for (std::uint8_t i = 0; i < dataLength(frame); ++i) {
            out += ' ';
            appendHexByte(out, frame.data[i]);
        }
    }
    out += " >\n";
    return out;
}

std::string formatSendErr(const CanFrame& frame) {
    std::string out;
    out.reserve(48);
    out += "< senderr ";
    appendId(out, frame.id, true);
    for (std::size_t i = 0; i < kErrorFrameBytes; ++i) {
        out += ' ';
        appendHexByte(out, frame.data[i]);
    }
    out += " >\n";
    return out;
}

std::string formatFrame(const TimedFrame& frame) {
    const CanFrame& f = frame.frame;
    std::string out;
    out.reserve(48);
    out += isRemote(f) ? "< rtr " : "< frame ";
    appendId(out, f.id, isExtended(f));
    appendTime(out, frame);
    if (isRemote(f)) {
        out += static_cast<char>('0' + dataLength(f));
    } else {
        for (std::uint8_t i = 0; i < dataLength(f); ++i) appendHexByte(out, f.data[i]);
    }
    out += " >\n";
    return out;
}

std::string formatErrorFrame(const TimedFrame& frame) {
    std::string out;
    out.reserve(56);
    out += "< errframe ";
    appendId(out, frame.frame.id, true);
    appendTime(out, frame);
    for (std::size_t i = 0; i < kErrorFrameBytes; ++i) appendHexByte(out, frame.frame.data[i]);
    out += " >\n";
    return out;
}

// ---- parsing

std::optional<CanFrame> parseSend(const std::vector<std::string_view>& words) {
    // send ID DLC B0 .. B(DLC-1)
    CanFrame frame{};
    if (!hasCommand(words, "send") || words.size() < 3) return std::nullopt;
    if (!parseFrameId(words[1], frame) || !parseDlc(words[2], frame)) return std::nullopt;
    if (!parseByteWords(words, 3, frame.length, frame)) return std::nullopt;
    return frame;
}

std::optional<CanFrame> parseSendRtr(const std::vector<std::string_view>& words) {
    // sendrtr ID DLC
    CanFrame frame{};
    if (!hasCommand(words, "sendrtr") || words.size() != 3) return std::nullopt;
    if (!parseFrameId(words[1], frame) || !parseDlc(words[2], frame)) return std::nullopt;
    frame.flags |= CANFRAME_FLAG_REMOTE;
    return frame;
}

std::optional<TimedFrame> parseFrame(const std::vector<std::string_view>& words) {
    // frame ID SEC.USEC [DATA]
    TimedFrame out;
    if (!hasCommand(words, "frame") || words.size() < 3) return std::nullopt;
    if (!parseFrameId(words[1], out.frame) || !parseTime(words[2], out)) return std::nullopt;
    if (!parseHexData(words, 3, kMaxDataBytes, out.frame)) return std::nullopt;
    return out;
}

std::optional<TimedFrame> parseRtr(const std::vector<std::string_view>& words) {
    // rtr ID SEC.USEC DLC
    TimedFrame out;
    if (!hasCommand(words, "rtr") || words.size() != 4) return std::nullopt;
    if (!parseFrameId(words[1], out.frame) || !parseTime(words[2], out) ||
        !parseDlc(words[3], out.frame)) {
        return std::nullopt;
    }
    out.frame.flags |= CANFRAME_FLAG_REMOTE;
    return out;
}

std::optional<CanFrame> parseSendErr(const std::vector<std::string_view>& words) {
    // senderr ID B0 .. B7
    CanFrame frame{};
    if (!hasCommand(words, "senderr") || words.size() < 2) return std::nullopt;
    const auto id = parseHex(words[1], kMaxIdDigits);
    if (!id || !parseByteWords(words, 2, kErrorFrameBytes, frame)) return std::nullopt;
    frame.id = *id;
    frame.length = kErrorFrameBytes;
    return frame;
}

std::optional<TimedFrame> parseErrFrame(const std::vector<std::string_view>& words) {
    // errframe ID SEC.USEC DATA(8 bytes)
    TimedFrame out;
    if (!hasCommand(words, "errframe") || words.size() < 4) return std::nullopt;
    const auto id = parseHex(words[1], kMaxIdDigits);
    if (!id || !parseTime(words[2], out)) return std::nullopt;
    if (!parseHexData(words, 3, kErrorFrameBytes, out.frame)) return std::nullopt;
    if (out.frame.length != kErrorFrameBytes) return std::nullopt;
    out.frame.id = *id;
    return out;
}

}  // namespace morvell::socketcand
