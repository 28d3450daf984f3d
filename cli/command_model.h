// What reading a quorcmd command text leaves behind: the interface selection,
// the log settings and the queued commands, in the order written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorcmd {

// A token (one directive, or one run of other characters) longer than this
// stops the program: "token too large, exceeds YYLMAX", exit code 2.
inline constexpr std::size_t kMaxTokenLength = 8191;
// Longest file name a command holds; longer ones are refused, never cut.
inline constexpr std::size_t kMaxFileName = 302;
// Longest QUIET log file name.
inline constexpr std::size_t kMaxLogFileName = 259;
// Largest command text read; a larger command file ends the run with exit code 1.
inline constexpr std::size_t kMaxCommandFileBytes = std::size_t{16} << 20;
// Largest upload accepted and largest file sent, in bytes.
inline constexpr std::uint32_t kTransferBufferBytes = 160000;

// Which execution routine runs a command.
enum class Operation { Nmt, SdoUpload, SdoDownload, OdRead, OdWrite };

// NMT command words as stored: 1 START, 2 STOP, 3 PREOPERATIONAL, 4 RESET,
// 5 RESETCOMM.
enum class NmtWord : std::uint8_t {
    Start = 1,
    Stop = 2,
    PreOperational = 3,
    Reset = 4,
    ResetComm = 5
};

struct CommandRecord {
    Operation operation = Operation::Nmt;
    std::uint8_t node = 0;         // 0-127; 0 = all nodes (NMT)
    std::uint32_t index = 0;       // 0-0xFFFF
    std::uint8_t subindex = 0;     // 0-255
    NmtWord nmt = NmtWord::Start;  // NMT only
    // Destination or source file name (at most kMaxFileName characters),
    // "SCREEN" for the output, or empty when data holds inline bytes.
    std::string file;
    std::vector<std::uint8_t> data;  // inline hex data (SDODOWNLOAD, ODWRITE)
    std::string directive_text;      // the directive exactly as read
};

// The interface to open, with the defaults of a run without HARDWARE.
struct InterfaceSelection {
    std::int32_t interface = 1;  // 1 parallel dongle, 2 USB, 3 USB module, 4 PCI, 5 ISA
    std::uint32_t port_address = 0x378;
    std::uint32_t irq = 7;
    std::uint32_t port_type = 1;  // 1 STANDARD, 2 EPP
    std::int32_t baud_kbps = 1000;
    std::uint8_t device = 255;  // USB module device, 255 = any
    std::uint32_t isa_address = 0;
};

struct LogSettings {
    bool quiet = false;
    std::string file;  // at most kMaxLogFileName characters
};

struct ReadResult {
    enum class Status {
        Ok,
        Error,          // error_message holds the first error
        TokenTooLarge,  // a token above kMaxTokenLength: exit code 2
    };
    Status status = Status::Ok;
    // The first error, e.g. "ERROR: Unknown directive: foo\n".
    std::string error_message;
    std::vector<CommandRecord> commands;
    InterfaceSelection interface;
    LogSettings log;
};

// Reads a whole command text (a command file, or the argument lines joined
// with "\n"). Reading stops at the first error.
ReadResult ParseCommands(std::string_view text);

}  // namespace quorcmd
