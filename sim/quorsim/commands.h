// quorsim's command language: one command per line, from standard input or
// --exec. Numbers are decimal or 0x hex. Every command gets one reply line,
// "ok ..." or "error: reason"; blank lines and lines starting with '#' get
// none.
//
//   add 5                       built-in device as node 5 (boot-up follows)
//   add 6 /path/dev.eds         node 6 from an EDS file
//   remove 5
//   emcy 5 0x1000               emergency, error register from 0x1001
//   emcy 5 0x8110 0x11 1 2 3 4 5   error register and manufacturer bytes
//   state 5 boot|preop|operational|stopped
//   heartbeat 5 100             0x1017 = 100 ms (0 = off)
//   fault 5 noanswer|toggle|abort 0x06020000|delay 200|short|crc|none
//   block 5 on|off              SDO block transfer offered or refused
//   load 1000 181#1122334455667788   1000 frames/s; "load 0" stops
//   load 40% 181#1122334455667788    as many frames/s as fill 40 % of the bus
//                               at quorsim's bit rate (stuff bits counted)
//   send 000#0100               one frame on the bus (simulated nodes see it)
//   buserror passive            error frame to the bus's listeners (virtual bus
//                               and socketcand only): warning|passive|busoff|
//                               protocol|overflow|cleared
//   stats
//   quit
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "simulator.h"

namespace quorsim {

enum class CommandKind {
    Empty,  // blank or comment line: no reply
    Add,
    Remove,
    Emergency,
    State,
    Heartbeat,
    Fault,
    Block,
    Load,
    Send,
    BusError,
    Stats,
    Quit,
};

enum class FaultKind { None, NoAnswer, WrongToggle, Abort, Delay, ShortFrames, BadCrc };

struct Command {
    CommandKind kind = CommandKind::Empty;
    std::uint8_t node = 0;  // 1-127 for node commands
    std::string eds_file;   // add; empty = built-in device
    // emcy
    std::uint16_t error_code = 0;
    std::optional<std::uint8_t> error_register;
    std::array<std::uint8_t, 5> manufacturer{};
    // state
    StateRequest state = StateRequest::PreOperational;
    // heartbeat
    std::uint16_t heartbeat_ms = 0;
    // fault
    FaultKind fault = FaultKind::None;
    std::uint32_t abort_code = 0;  // FaultKind::Abort
    std::uint32_t delay_ms = 0;    // FaultKind::Delay
    // block
    bool block_enabled = true;
    // load (rate 0 = stop) and send; buserror: the error frame (SocketCAN
    // layout: error class as id, 8 data bytes)
    std::uint32_t rate = 0;
    std::uint32_t load_centipercent = 0;  // load given as a share of the bus: 1-10000
    CanFrame frame{};
};

struct ParseResult {
    std::optional<Command> command;  // empty on error
    std::string error;               // without the "error: " prefix
};

ParseResult parseCommand(std::string_view line);

struct Reply {
    Reply(std::string reply_line = {}, bool quit_after = false,
          std::optional<CanFrame> frame = std::nullopt)
        : line(std::move(reply_line)), quit(quit_after), error_frame(frame) {}

    std::string line;  // "ok ..." or "error: ..."; empty for CommandKind::Empty
    bool quit = false;
    // buserror: an error frame for the program to put on the bus.
    std::optional<CanFrame> error_frame;
};

// The error frame a bus error condition is announced with, or empty for an
// unknown name (warning, passive, busoff, protocol, overflow, cleared).
std::optional<CanFrame> busErrorFrame(std::string_view condition);

// Runs commands against a simulator. Reads EDS files for `add`; otherwise
// no I/O. Not thread-safe.
class CommandRunner {
public:
    // heartbeat_ms: when set, the default 0x1017 of every node added (the
    // value a reset node returns to), overriding the built-in or EDS value.
    explicit CommandRunner(Simulator& simulator, std::optional<std::uint16_t> heartbeat_ms = {})
        : simulator_(simulator), heartbeat_ms_(heartbeat_ms) {}

    // The bus's bit rate in kbit/s (> 0), for load given in percent.
    void setBitrateKbps(int kbps) { bitrate_kbps_ = kbps; }

    Reply run(std::string_view line, TimePoint now);
    Reply execute(const Command& command, TimePoint now);

private:
    Reply add(const Command& command, TimePoint now);
    Reply onNode(const Command& command, TimePoint now);
    Reply load(const Command& command, TimePoint now);
    std::string stats() const;

    Simulator& simulator_;
    std::optional<std::uint16_t> heartbeat_ms_;
    int bitrate_kbps_ = 125;
};

}  // namespace quorsim
