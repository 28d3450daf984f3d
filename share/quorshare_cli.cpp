#include "share/quorshare_cli.h"

#include <signal.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace share {

const char kUsage[] =
    "usage: quorshare dump [--filter MASK:VALUE@SLOT]... [--count N] [--wait SECONDS]\n"
    "                      [--interface NAME]\n"
    "       quorshare send [--wait SECONDS] ID#DATA...\n"
    "       quorshare --help\n"
    "\n"
    "Shares the CAN interface of the quorvane running on this desktop (same user).\n"
    "\n"
    "dump  prints the frames quorvane sees as a candump log, oldest first:\n"
    "        (1699999999.000123) quorvane 181#1122334455667788\n"
    "      --filter MASK:VALUE@SLOT  sets filter slot SLOT (0-31) to hex MASK and VALUE.\n"
    "          A frame passes a slot when (MASK | key) == VALUE; key = id<<16 | d0<<8 | d1\n"
    "          for a standard frame, id | 0x80000000 for an extended one. A frame is\n"
    "          printed when any slot passes it; slot 0 passes all until it is set.\n"
    "          Only standard 0x181: --filter FFFFFFFF:0@0 --filter 0000FFFF:0181FFFF@1\n"
    "      --count N          ends after N frames\n"
    "      --wait SECONDS     waits this long for quorvane to start (default: no limit)\n"
    "      --interface NAME   interface field of the lines (default: quorvane)\n"
    "      Ends on Ctrl-C or SIGTERM, after --count frames, or when quorvane shuts down.\n"
    "send  has quorvane transmit the frames, in order:\n"
    "        123#11223344  12345678#AABB  080#  705#R  705#R1  123#11.22.33\n"
    "      --wait SECONDS     waits this long for quorvane to start (default: 0)\n"
    "\n"
    "Exit status: 0 done, 1 quorvane not reachable or gone (or output failed),\n"
    "2 usage error.\n";

namespace {

constexpr int32_t kDumpBatch = 512;
constexpr int32_t kSignalCheckMs = 200;

volatile sig_atomic_t stopRequested = 0;

void requestStop(int) {
    stopRequested = 1;
}

std::optional<int32_t> parseSeconds(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(seconds) || seconds < 0 ||
        seconds > 86400.0 * 24) {
        return std::nullopt;
    }
    return static_cast<int32_t>(std::lround(seconds * 1000));
}

std::optional<int64_t> parseCount(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long long count = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || count < 1) return std::nullopt;
    return count;
}

int fail(const char* what, int code) {
    std::fprintf(stderr, "quorshare: %s: %s\n", what, quorshare_resulttext(code));
    return kExitFailed;
}

QuorshareClient* connectOrReport(const CliOptions& options, int* exitCode) {
    QuorshareClient* client = nullptr;
    const int result = quorshare_connect(options.waitMs, &client);
    if (result == QUORSHARE_OK) return client;
    if (result == QUORSHARE_TIMEOUT) {
        std::fprintf(stderr, "quorshare: quorvane is not running%s\n",
                     options.waitMs == 0 ? " (--wait SECONDS waits for it)" : "");
    } else {
        fail("cannot reach quorvane", result);
    }
    *exitCode = kExitFailed;
    return nullptr;
}

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a waiting receive returns at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int runDump(const CliOptions& options) {
    catchStopSignals();
    int exitCode = kExitDone;
    QuorshareClient* client = connectOrReport(options, &exitCode);
    if (client == nullptr) return exitCode;
    // Slot 0 (which passes everything at first) is set last, so the filters
    // never pass less on the way than they do at the end.
    std::vector<FilterArgument> filters = options.filters;
    std::stable_partition(filters.begin(), filters.end(),
                          [](const FilterArgument& filter) { return filter.slot != 0; });
    for (const FilterArgument& filter : filters) {
        const int result = quorshare_setfilter(client, filter.slot, filter.mask, filter.value);
        if (result != QUORSHARE_OK) {
            quorshare_disconnect(client);
            return fail("cannot set the filter", result);
        }
    }
    int64_t printed = 0;
    QuorshareFrame frames[kDumpBatch];
    while (!stopRequested && (options.count < 0 || printed < options.count)) {
        int32_t count = 0;
        const int result = quorshare_receive(client, frames, kDumpBatch, kSignalCheckMs, &count);
        if (result == QUORSHARE_TIMEOUT) continue;
        if (result == QUORSHARE_ENDED) break;
        if (result != QUORSHARE_OK) {
            exitCode = fail("lost quorvane", result);
            break;
        }
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        for (int32_t i = 0; i < count && (options.count < 0 || printed < options.count); ++i) {
            const std::string line =
                DumpLine(frames[i], static_cast<uint64_t>(now.tv_sec),
                         static_cast<uint32_t>(now.tv_nsec / 1000), options.interface);
            std::fputs(line.c_str(), stdout);
            std::fputc('\n', stdout);
            ++printed;
        }
        if (std::fflush(stdout) != 0) {
            std::fprintf(stderr, "quorshare: cannot write the output\n");
            exitCode = kExitFailed;
            break;
        }
    }
    quorshare_disconnect(client);
    return exitCode;
}

int runSend(const CliOptions& options) {
    int exitCode = kExitDone;
    QuorshareClient* client = connectOrReport(options, &exitCode);
    if (client == nullptr) return exitCode;
    // A sender reads nothing: slot 0 passes nothing, so quorvane forwards nothing.
    int result = quorshare_setfilter(client, 0, 0xFFFFFFFF, 0);
    if (result == QUORSHARE_OK) {
        result = quorshare_send(client, options.frames.data(),
                                static_cast<int32_t>(options.frames.size()));
    }
    quorshare_disconnect(client);
    return result == QUORSHARE_OK ? kExitDone : fail("cannot send", result);
}

}  // namespace

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                          std::string* error) {
    CliOptions options;
    if (args.empty()) {
        *error = "a command is missing (dump or send)";
        return std::nullopt;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") return options;
    if (args[0] == "dump") {
        options.command = CliOptions::Command::kDump;
        options.waitMs = -1;
    } else if (args[0] == "send") {
        options.command = CliOptions::Command::kSend;
    } else {
        *error = "unknown command '" + args[0] + "'";
        return std::nullopt;
    }
    const bool dump = options.command == CliOptions::Command::kDump;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.command = CliOptions::Command::kHelp;
            return options;
        }
        const bool takesValue =
            arg == "--wait" ||
            (dump && (arg == "--filter" || arg == "--count" || arg == "--interface"));
        if (takesValue) {
            if (i + 1 >= args.size()) {
                *error = arg + " needs a value";
                return std::nullopt;
            }
            const std::string& value = args[++i];
            if (arg == "--wait") {
                const auto wait = parseSeconds(value);
                if (!wait) {
                    *error = "--wait takes seconds, not '" + value + "'";
                    return std::nullopt;
                }
                options.waitMs = *wait;
            } else if (arg == "--filter") {
                const auto filter = ParseFilterArgument(value);
                if (!filter) {
                    *error = "--filter takes MASK:VALUE@SLOT (hex, slot 0-31), not '" + value + "'";
                    return std::nullopt;
                }
                options.filters.push_back(*filter);
            } else if (arg == "--count") {
                const auto count = parseCount(value);
                if (!count) {
                    *error = "--count takes a number of frames, not '" + value + "'";
                    return std::nullopt;
                }
                options.count = *count;
            } else {
                if (value.empty() || value.find_first_of(" \t\n") != std::string::npos) {
                    *error = "--interface takes a name without blanks";
                    return std::nullopt;
                }
                options.interface = value;
            }
            continue;
        }
        if (!dump && arg.rfind("--", 0) != 0) {
            const auto frame = ParseFrameText(arg);
            if (!frame) {
                *error = "not a frame: '" + arg + "' (ID#DATA, e.g. 123#1122 or 12345678#AA)";
                return std::nullopt;
            }
            options.frames.push_back(*frame);
            continue;
        }
        *error = "unknown option '" + arg + "'";
        return std::nullopt;
    }
    if (!dump && options.frames.empty()) {
        *error = "send needs at least one frame (ID#DATA)";
        return std::nullopt;
    }
    return options;
}

int RunQuorshare(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const std::optional<CliOptions> options = ParseCliOptions(args, &error);
    if (!options) {
        std::fprintf(stderr, "quorshare: %s\n%s", error.c_str(), kUsage);
        return kExitUsage;
    }
    switch (options->command) {
        case CliOptions::Command::kHelp:
            std::fputs(kUsage, stdout);
            return kExitDone;
        case CliOptions::Command::kDump:
            return runDump(*options);
        case CliOptions::Command::kSend:
            return runSend(*options);
    }
    return kExitUsage;
}

}  // namespace share
