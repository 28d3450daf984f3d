// Frames as text for quorshare, in can-utils' notation:
//
//   181#1122334455667788         standard identifier: 3 hex digits
//   12345678#AABB                extended identifier: 4 to 8 hex digits
//   080#                         no data
//   705#R  705#R1                remote frame, length 0 or 1-8
//   123#11.22.33                 (input only) '.' between bytes, as cansend takes
//
// A dump line is candump's log line: "(SECONDS.MICROSECONDS) INTERFACE FRAME",
// e.g. "(1699999999.000123) quorvane 181#1122334455667788", which canplayer,
// Wireshark and quordecode read. Identifiers and bytes are written in upper
// case; input takes either case.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "share/quorshare.h"

namespace share {

// "181#1122334455667788", "12345678#AABB", "705#R1".
std::string FrameText(const QuorshareFrame& frame);
// "(1699999999.000123) quorvane 181#1122334455667788"
std::string DumpLine(const QuorshareFrame& frame, uint64_t seconds, uint32_t microseconds,
                     std::string_view interface);

// One frame in the notation above; none when malformed (bad hex, an odd
// number of digits, more than 8 bytes, a standard identifier above 0x7FF, an
// extended one above 0x1FFFFFFF, CAN FD "##", a remote length above 8).
std::optional<QuorshareFrame> ParseFrameText(std::string_view text);

// "MASK:VALUE@SLOT", hex numbers (an optional 0x) and a decimal slot 0-31:
// "0000FFFF:0181FFFF@1".
struct FilterArgument {
    uint32_t mask = 0;
    uint32_t value = 0;
    uint32_t slot = 0;
};
std::optional<FilterArgument> ParseFilterArgument(std::string_view text);

}  // namespace share
