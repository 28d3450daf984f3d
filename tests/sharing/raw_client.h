// Test helper: a client of frame sharing that speaks the wire format by
// hand, so tests can send what the client library never would.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "sharing/core/messaging_wire.h"

namespace sharingtest {

using namespace std::chrono_literals;

constexpr uint32_t kClientHandle = 4242;

class RawClient {
public:
    explicit RawClient(const std::string& path) {
        fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~RawClient() { Close(); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }
    // No more from this side; the server then closes the connection.
    void EndWriting() { shutdown(fd_, SHUT_WR); }

    bool Send(const sharing::Bytes& bytes) {
        return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    bool Notify(uint32_t message, uint32_t flag = sharing::kFromClient) {
        return Send(sharing::Notification(message, kClientHandle, flag));
    }
    bool SendData(uint32_t kind, const sharing::Bytes& block) {
        sharing::Bytes message;
        sharing::AppendDataHeader(message, kClientHandle, kind,
                                  static_cast<uint32_t>(block.size()));
        message.insert(message.end(), block.begin(), block.end());
        return Send(message);
    }
    bool SetFilter(uint32_t slot, uint32_t mask, uint32_t value) {
        return Send(sharing::FilterMessage(kClientHandle, {mask, value, slot}));
    }

    // The next message within `limit`; none on time-out or end of stream.
    std::optional<sharing::WireMessage> Next(std::chrono::milliseconds limit = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (auto message = reader_.Next()) return message;
            if (ended_) return std::nullopt;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return std::nullopt;
            pollfd watched{fd_, POLLIN, 0};
            if (poll(&watched, 1, static_cast<int>(left.count())) <= 0) continue;
            uint8_t buffer[65536];
            const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
            if (got <= 0) {
                ended_ = true;
                continue;
            }
            reader_.Feed(buffer, static_cast<std::size_t>(got));
        }
    }
    // Startup, then waits for quorvane's Handle.
    bool Register() {
        if (!Notify(sharing::kMessageStartup)) return false;
        const auto answer = Next();
        return answer && answer->message == sharing::kMessageHandle &&
               answer->parameter == sharing::kFromQuorvane;
    }
    // The frames of the next data message (empty on time-out or end).
    std::vector<CanFrame> NextBatch(std::chrono::milliseconds limit = 10s) {
        const auto message = Next(limit);
        if (!message || message->message != sharing::kMessageData) return {};
        return sharing::FramesOfBlock(message->block.data(), message->block.size());
    }
    // Everything until the server closes the connection.
    std::vector<sharing::WireMessage> AllUntilEnd() {
        std::vector<sharing::WireMessage> all;
        while (auto message = Next()) all.push_back(*message);
        return all;
    }
    bool ended() const { return ended_; }

private:
    int fd_ = -1;
    sharing::WireReader reader_;
    bool ended_ = false;
};

// "181#1122": identifier (%03X, or %08X extended), 'R' for remote, data bytes.
inline std::string FrameText(const CanFrame& frame) {
    char text[40];
    const bool extended = (frame.flags & CANFRAME_FLAG_EXTENDED) != 0;
    int at = std::snprintf(text, sizeof text, extended ? "%08X#" : "%03X#", frame.id);
    if (frame.flags & CANFRAME_FLAG_REMOTE) {
        std::snprintf(text + at, sizeof text - at, "R%u", frame.length);
        return text;
    }
    for (int i = 0; i < frame.length && i < 8; ++i) {
        at += std::snprintf(text + at, sizeof text - at, "%02X", frame.data[i]);
    }
    return text;
}

inline std::vector<std::string> Texts(const std::vector<CanFrame>& frames) {
    std::vector<std::string> texts;
    for (const CanFrame& frame : frames) texts.push_back(FrameText(frame));
    return texts;
}

// Bytes from hex digits; blanks and '|' are skipped.
inline sharing::Bytes FromHex(const std::string& hex) {
    std::string digits;
    for (char c : hex) {
        if (c != ' ' && c != '|') digits += c;
    }
    sharing::Bytes bytes;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

inline std::string ToHex(const sharing::Bytes& bytes) {
    std::string hex;
    char two[3];
    for (uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return hex;
}

}  // namespace sharingtest
