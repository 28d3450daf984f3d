// quorshare: the command-line client of quorvane's frame sharing, on the C
// functions of quorshare.h. "dump" prints forwarded frames as a candump log,
// "send" has quorvane transmit frames.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "share/frame_text.h"
#include "share/quorshare.h"

namespace share {

enum ExitCode : int {
    kExitDone = 0,
    kExitFailed = 1,  // quorvane not reachable, gone, or the output failed
    kExitUsage = 2,
};

struct CliOptions {
    enum class Command { kHelp, kDump, kSend };
    Command command = Command::kHelp;
    std::vector<FilterArgument> filters;  // dump
    std::vector<QuorshareFrame> frames;   // send
    int32_t waitMs = 0;                   // for quorvane to appear; < 0 no limit
    int64_t count = -1;                   // dump: frames before the end; < 0 no limit
    std::string interface = "quorvane";   // dump: the interface field of the lines
};

extern const char kUsage[];

// The options of argv[1..]; none with *error set on a usage error.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string* error);

// The whole program: the exit code.
int RunQuorshare(int argc, char** argv);

}  // namespace share
