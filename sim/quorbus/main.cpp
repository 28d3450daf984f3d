// quorbus: the virtual CAN bus hub. See README.md.
//
//   quorbus [--port N] [--bitrate KBIT|auto] [--idle-exit MS] [--max-queue BYTES] [--quiet]
//
// Exit codes: 0 stopped (SIGTERM/SIGINT or idle), 1 failure, 2 port in use,
// 3 bad arguments.
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "hub.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitPortInUse = 2;
constexpr int kExitUsage = 3;
constexpr unsigned long kMaxPort = 65535;

void printUsage(std::FILE* to) {
    std::fprintf(
        to,
        "usage: quorbus [--port N] [--bitrate KBIT|auto] [--idle-exit MS] [--max-queue BYTES]\n"
        "               [--quiet]\n"
        "  --port N           TCP port on 127.0.0.1 (default %u, 0 = any free port)\n"
        "  --bitrate KBIT     paced buses: each frame takes its time at KBIT kbit/s\n"
        "                     (1-1000); auto: each bus at its first client's bit rate;\n"
        "                     default: frames are relayed at once\n"
        "  --idle-exit MS     exit when no client has been connected for MS ms\n"
        "  --max-queue BYTES  output queue per client before frames are dropped\n"
        "                     (default %zu)\n"
        "  --quiet            no connection lines; exit summary only after drops\n"
        "SIGUSR1 prints the counters, SIGTERM/SIGINT stop.\n",
        static_cast<unsigned>(quorbus::kDefaultPort), quorbus::kDefaultMaxQueueBytes);
}

std::optional<unsigned long long> parseNumber(const char* text) {
    if (text == nullptr || *text == '\0') return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || text[0] == '-') return std::nullopt;
    return value;
}

// Fills options from argv; false on a bad argument (message printed).
bool parseArguments(int argc, char** argv, quorbus::HubOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            printUsage(stdout);
            std::exit(0);
        }
        const auto number = parseNumber(value);
        if (arg == "--bitrate" && value && std::string(value) == "auto") {
            options.bitrate_bps = 0;
            options.bitrate_from_clients = true;
        } else if (arg == "--bitrate" && number && *number >= 1 &&
                   *number <= quorbus::kMaxBitrateKbit) {
            options.bitrate_bps = static_cast<std::uint32_t>(*number) * 1000;
            options.bitrate_from_clients = false;
        } else if (arg == "--port" && number && *number <= kMaxPort) {
            options.port = static_cast<std::uint16_t>(*number);
        } else if (arg == "--idle-exit" && number) {
            options.idle_exit = std::chrono::milliseconds(*number);
        } else if (arg == "--max-queue" && number && *number > 0) {
            options.max_queue_bytes = static_cast<std::size_t>(*number);
        } else {
            std::fprintf(stderr, "quorbus: bad argument '%s'%s%s\n", arg.c_str(), value ? " " : "",
                         value ? value : "");
            printUsage(stderr);
            return false;
        }
        ++i;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    quorbus::HubOptions options;
    if (!parseArguments(argc, argv, options)) return kExitUsage;

    // Handled through a signalfd; reset first, an ignored signal never reaches it.
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal_number : {SIGTERM, SIGINT, SIGUSR1}) {
        std::signal(signal_number, SIG_DFL);
        sigaddset(&signals, signal_number);
    }
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) {
        std::perror("quorbus: sigprocmask");
        return kExitFailure;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const int signal_fd = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signal_fd < 0) {
        std::perror("quorbus: signalfd");
        return kExitFailure;
    }
    options.signal_fd = signal_fd;

    int exit_code = 0;
    {
        quorbus::Hub hub(options);
        const quorbus::ListenResult listening = hub.listen();
        if (listening.status != quorbus::ListenStatus::Listening) {
            std::fprintf(stderr, "quorbus: %s\n", listening.error.c_str());
            close(signal_fd);
            return listening.status == quorbus::ListenStatus::PortInUse ? kExitPortInUse
                                                                        : kExitFailure;
        }
        std::printf("quorbus listening on %s:%u\n", quorbus::kListenAddress,
                    static_cast<unsigned>(hub.port()));
        std::fflush(stdout);
        exit_code = hub.run();
    }
    close(signal_fd);
    return exit_code;
}
