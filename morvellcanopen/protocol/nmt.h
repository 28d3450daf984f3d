// NMT master frames and error-control (heartbeat / boot-up) states.
#pragma once

#include <cstdint>
#include <optional>

#include "morvellcanopen.h"

namespace morvell::nmt {

inline constexpr std::uint32_t kNmtId = 0x000;
inline constexpr std::uint32_t kErrorControlBase = 0x700;  // + node: heartbeat, boot-up, guarding
inline constexpr std::uint32_t kEmergencyBase = 0x080;     // + node
inline constexpr std::uint8_t kToggleBit = 0x80;           // node guarding reply

// Command specifiers in byte 0 of an NMT frame.
enum class Command : std::uint8_t {
    Start = 0x01,
    Stop = 0x02,
    EnterPreOperational = 0x80,
    ResetNode = 0x81,
    ResetCommunication = 0x82,
};

// States as carried in byte 0 of error-control frames (bits 6-0).
enum class State : std::uint8_t {
    Initialising = 0x00,  // boot-up frame
    Stopped = 0x04,
    Operational = 0x05,
    PreOperational = 0x7F,
};

// The binding's command numbers: 0 start, 1 stop, 2 pre-operational,
// 3 reset node, 5 reset communication; anything else is empty.
std::optional<Command> commandFromBinding(std::int32_t command);

// NMT frame: identifier 0, [command, node]; node 0 addresses all nodes.
CanFrame makeCommandFrame(Command command, std::uint8_t node);

// Heartbeat or boot-up frame of node; toggle sets bit 7 (node guarding).
CanFrame makeErrorControlFrame(std::uint8_t node, State state, bool toggle = false);

}  // namespace morvell::nmt
