// Frames per second between two clients through a spawned quorbus.
//
//   quorbus_throughput [FRAMES] [WINDOW]
//
// One sender writes FRAMES eight-byte frames ("< send 123 8 ... >"), one
// receiver on the same bus counts the "< frame >" messages. The sender stays
// at most WINDOW frames ahead of the receiver, so the hub never has to drop
// (its per-client queue holds far more). Prints frames/s and MB/s of relayed
// text. Both clients run in this thread on non-blocking sockets.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "transport/socketcand_framing.h"

namespace {

constexpr long kDefaultFrames = 1'000'000;
constexpr long kDefaultWindow = 4096;
constexpr int kLimitMs = 10'000;  // no progress for this long: give up
constexpr char kFrameText[] = "< send 123 8 11 22 33 44 55 66 77 88 >\n";
constexpr char kListening[] = "quorbus listening on 127.0.0.1:";

struct Hub {
    pid_t pid = -1;
    int port = 0;
};

// Starts quorbus on a free port and reads its listening line.
Hub startHub() {
    Hub hub;
    int out[2];
    if (pipe(out) != 0) return hub;
    hub.pid = fork();
    if (hub.pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl(QUORBUS_PATH, QUORBUS_PATH, "--port", "0", "--quiet", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string line;
    char c;
    while (line.find('\n') == std::string::npos && read(out[0], &c, 1) == 1) line += c;
    close(out[0]);
    const auto at = line.find(kListening);
    if (at != std::string::npos) hub.port = std::atoi(line.c_str() + at + sizeof kListening - 1);
    return hub;
}

void stopHub(const Hub& hub) {
    if (hub.pid <= 0) return;
    kill(hub.pid, SIGTERM);
    int status = 0;
    waitpid(hub.pid, &status, 0);
}

int connectTo(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Blocking: waits for `count` messages and takes them.
bool expectMessages(int fd, morvell::socketcand::MessageReader& reader, int count) {
    char buffer[4096];
    for (int got = 0; got < count;) {
        if (reader.next()) {
            ++got;
            continue;
        }
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        reader.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
    return true;
}

// Greeting, open, rawmode.
bool join(int fd, morvell::socketcand::MessageReader& reader) {
    return expectMessages(fd, reader, 1) && writeAll(fd, "< open bench >") &&
           expectMessages(fd, reader, 1) && writeAll(fd, "< rawmode >") &&
           expectMessages(fd, reader, 1);
}

}  // namespace

int main(int argc, char** argv) {
    const long frames = argc > 1 ? std::atol(argv[1]) : kDefaultFrames;
    const long window = argc > 2 ? std::atol(argv[2]) : kDefaultWindow;
    if (frames <= 0 || window <= 0) {
        std::fprintf(stderr, "usage: quorbus_throughput [FRAMES] [WINDOW]\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    const Hub hub = startHub();
    if (hub.port <= 0) {
        std::fprintf(stderr, "quorbus did not start (%s)\n", QUORBUS_PATH);
        stopHub(hub);
        return 1;
    }
    morvell::socketcand::MessageReader sender_reader, receiver_reader;
    const int sender = connectTo(hub.port);
    const int receiver = connectTo(hub.port);
    if (sender < 0 || receiver < 0 || !join(sender, sender_reader) ||
        !join(receiver, receiver_reader)) {
        std::fprintf(stderr, "could not join the bus\n");
        stopHub(hub);
        return 1;
    }
    fcntl(sender, F_SETFL, O_NONBLOCK);
    fcntl(receiver, F_SETFL, O_NONBLOCK);

    constexpr long kBurst = 64;
    std::string burst;
    for (long i = 0; i < kBurst; ++i) burst += kFrameText;
    std::string pending;  // sender bytes not yet written
    long queued = 0, received = 0;
    std::uint64_t received_bytes = 0;
    char buffer[65536];

    const auto start = std::chrono::steady_clock::now();
    while (received < frames) {
        while (pending.size() < burst.size() && queued < frames && queued - received < window) {
            const long n = std::min({kBurst, frames - queued, window - (queued - received)});
            pending.append(burst, 0, static_cast<std::size_t>(n) * (sizeof kFrameText - 1));
            queued += n;
        }
        pollfd fds[2] = {{receiver, POLLIN, 0},
                         {sender, pending.empty() ? short{0} : short{POLLOUT}, 0}};
        const int ready = poll(fds, 2, kLimitMs);
        if (ready == 0) {
            std::fprintf(stderr, "stalled after %ld of %ld frames\n", received, frames);
            break;
        }
        if (ready < 0 && errno != EINTR) break;
        if (fds[1].revents & POLLOUT) {
            const ssize_t n = write(sender, pending.data(), pending.size());
            if (n > 0) pending.erase(0, static_cast<std::size_t>(n));
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t n = read(receiver, buffer, sizeof buffer);
            if (n <= 0) break;
            received_bytes += static_cast<std::uint64_t>(n);
            receiver_reader.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
            while (auto message = receiver_reader.next()) {
                if (message->compare(0, 6, "frame ") == 0) ++received;
            }
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    close(sender);
    close(receiver);
    stopHub(hub);

    std::printf(
        "quorbus_throughput: %ld of %ld frames in %.3f s: %.0f frames/s (%.1f MB/s relayed, window "
        "%ld)\n",
        received, frames, seconds, static_cast<double>(received) / seconds,
        static_cast<double>(received_bytes) / seconds / 1e6, window);
    return received == frames ? 0 : 1;
}
