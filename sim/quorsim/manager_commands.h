// quorsim commands for the simulated CANopen Manager and for shaping any
// node's dictionary. Numbers are decimal or 0x hex.
//
//   manager 16                        adds a CANopen Manager as node 16
//   entry 16 0x1F81 0 u8 200          sets an entry: u8|u16|u32 NUMBER or
//   entry 16 0x2001 0 string Hello    string TEXT (the rest of the line);
//                                     a manager also stores it (kept over a reset)
//   noentry 16 0x1F88                 removes an index, or one subindex:
//   noentry 5 0x1020 2                 noentry NODE INDEX [SUB]
//   silent 16 0x2101 2                a manager leaves SDO requests for the
//   silent 16 none                    entry unanswered; none clears them all
//   refuse 16 0x1F81 3 0x06010002     a manager answers SDO requests for the
//   refuse 16 none                    entry with this abort code; none clears
//
// Replies: "ok ..." or "error: reason", as every quorsim command.
#pragma once

#include <optional>
#include <string_view>

#include "commands.h"
#include "simulator.h"

namespace quorsim {

// Runs line when its first word is one of the commands above; nothing for
// any other line.
std::optional<Reply> runDeviceCommand(Simulator& simulator, std::string_view line, TimePoint now);

}  // namespace quorsim
