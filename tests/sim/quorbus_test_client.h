// Test helper: a raw TCP socketcand client of quorbus, reading with the
// library's MessageReader. Blocking writes, reads wait on poll() with a limit.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/can_frame.h"
#include "transport/socketcand_framing.h"

namespace quorbustest {

class HubClient {
public:
    // receive_buffer_bytes > 0 shrinks the socket's receive buffer (a slow reader).
    explicit HubClient(std::uint16_t port, int receive_buffer_bytes = 0) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) return;
        if (receive_buffer_bytes > 0 &&
            setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receive_buffer_bytes,
                       sizeof receive_buffer_bytes) != 0) {
            closeSocket();
            return;
        }
        const int one = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            closeSocket();
        }
    }
    ~HubClient() { closeSocket(); }
    HubClient(const HubClient&) = delete;
    HubClient& operator=(const HubClient&) = delete;

    bool connected() const { return fd_ >= 0; }

    bool sendText(std::string_view text) {
        while (!text.empty()) {
            const ssize_t n = send(fd_, text.data(), text.size(), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            text.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    // Next message without brackets; empty after the limit or when the hub closed.
    std::optional<std::string> next(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (auto message = reader_.next()) return message;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (fd_ < 0 || left.count() <= 0) return std::nullopt;
            pollfd p{fd_, POLLIN, 0};
            const int ready = poll(&p, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return std::nullopt;
            char buffer[16384];
            const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return std::nullopt;
            reader_.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
        }
    }

    // Reads the greeting, opens bus, enters raw mode (and asks for remote
    // and error frames); true when every step was answered as expected.
    // bitrate_kbit > 0: announces it as the library does.
    bool join(const std::string& bus, bool extended_frames = false, int bitrate_kbit = 0) {
        if (next() != "hi") return false;
        if (!sendText("< open " + bus + " >") || next() != "ok") return false;
        if (!sendText("< rawmode >") || next() != "ok") return false;
        if (extended_frames && (!sendText("< xframes >") || next() != "ok")) return false;
        if (bitrate_kbit > 0 &&
            (!sendText("< bitrate " + std::to_string(bitrate_kbit) + " >") || next() != "ok"))
            return false;
        return true;
    }

    // Skips messages until a frame with this id (and first data byte) arrives;
    // returns it as "ID#DATA", or empty when none came within the limit.
    std::string waitForFrame(std::uint32_t id, std::optional<std::uint8_t> first = std::nullopt,
                             std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (auto message = next(std::chrono::duration_cast<std::chrono::milliseconds>(
                   end - std::chrono::steady_clock::now()))) {
            const auto timed =
                morvell::socketcand::parseFrame(morvell::socketcand::splitWords(*message));
            if (!timed || timed->frame.id != id) continue;
            if (first && (timed->frame.length == 0 || timed->frame.data[0] != *first)) continue;
            return morvell::toString(timed->frame);
        }
        return {};
    }

    void closeSocket() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    morvell::socketcand::MessageReader reader_;
};

// A frame message as "ID#DATA" (8 id digits when extended), or "" for anything else.
inline std::string frameText(const std::optional<std::string>& message) {
    const auto timed =
        message ? morvell::socketcand::parseFrame(morvell::socketcand::splitWords(*message))
                : std::nullopt;
    return timed ? morvell::toString(timed->frame) : std::string();
}

constexpr char kListening[] = "quorbus listening on 127.0.0.1:";

// The port in quorbus's listening line, or 0.
inline std::uint16_t portOf(const std::string& line) {
    const auto at = line.find(kListening);
    if (at == std::string::npos) return 0;
    return static_cast<std::uint16_t>(std::stoi(line.substr(at + sizeof kListening - 1)));
}

}  // namespace quorbustest
