// Command line of the quorsim program:
//
//   quorsim [--channel CHANNEL] [--bitrate KBPS] [--node N[:EDSFILE]]...
//           [--manager N]... [--heartbeat MS] [--exec CMD]... [--exit-on-eof]
//
// Channel: --channel, else $MORVELLCANOPEN_CHANNEL, else "virtual".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorsim {

inline constexpr int kDefaultBitrateKbps = 125;

struct NodeOption {
    std::uint8_t node = 0;  // 1-127
    std::string eds_file;   // empty: built-in device
    bool manager = false;   // a CANopen Manager (--manager)
};

struct ProgramOptions {
    std::string channel;  // channel text, resolved as above
    int bitrate_kbps = kDefaultBitrateKbps;
    std::vector<NodeOption> nodes;
    std::optional<std::uint16_t> heartbeat_ms;
    std::vector<std::string> exec;  // commands run after the nodes are added
    bool exit_on_eof = false;       // end when standard input ends
    bool help = false;
};

struct OptionsResult {
    std::optional<ProgramOptions> options;  // empty on error
    std::string error;
};

// args without the program name; environment_channel: $MORVELLCANOPEN_CHANNEL or empty.
OptionsResult parseProgramOptions(const std::vector<std::string>& args,
                                  const std::string& environment_channel);

const char* usageText();

}  // namespace quorsim
