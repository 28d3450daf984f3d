// Wire constants of the quorbus hub: the socketcand commands it answers and
// the replies it writes. Frame messages themselves come from
// morvellcanopen/transport/socketcand_framing.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorbus {

inline constexpr std::uint16_t kDefaultPort = 29536;
inline constexpr const char* kListenAddress = "127.0.0.1";

// "< hi >" and "< ok >" carry no newline: python-can compares them byte for
// byte. Every other message the hub writes ends with a newline.
inline constexpr std::string_view kGreeting = "< hi >";
inline constexpr std::string_view kOk = "< ok >";
inline constexpr std::string_view kEchoReply = "< echo >\n";

// Client commands (first word of a message).
inline constexpr std::string_view kOpen = "open";
inline constexpr std::string_view kRawMode = "rawmode";
inline constexpr std::string_view kEcho = "echo";
inline constexpr std::string_view kExtendedFrames = "xframes";
inline constexpr std::string_view kSend = "send";
inline constexpr std::string_view kSendRemote = "sendrtr";
inline constexpr std::string_view kSendError = "senderr";
// Extension: the client's bit rate in kbit/s, and the bus's load figures.
inline constexpr std::string_view kBitrate = "bitrate";
inline constexpr std::string_view kBusStats = "busstats";
inline constexpr std::uint32_t kMaxBitrateKbit = 1000;
// socketcand modes this hub does not offer.
inline constexpr std::string_view kUnsupportedModes[] = {"bcmmode", "controlmode", "isotpmode"};

// A bus name: 1-64 printable characters without blanks.
inline constexpr std::size_t kMaxBusName = 64;

// Per-client output queue limit in bytes (default of --max-queue).
inline constexpr std::size_t kDefaultMaxQueueBytes = 1u << 20;

// "< error REASON >\n"
inline std::string errorReply(std::string_view reason) {
    std::string out = "< error ";
    out += reason;
    out += " >\n";
    return out;
}

}  // namespace quorbus
