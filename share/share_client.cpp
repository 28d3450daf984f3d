#include "share/share_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "sharing/core/socket_path.h"

namespace share {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kRetryPeriod{50};
constexpr std::size_t kReadChunk = 65536;

// Milliseconds left until deadline (none: no limit, -1), at least 0.
int32_t remainingMs(const std::optional<Clock::time_point>& deadline) {
    if (!deadline) return -1;
    const auto left = std::chrono::duration_cast<milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int32_t>(std::max<long long>(left, 0));
}

std::optional<Clock::time_point> deadlineAfter(int32_t waitMs) {
    if (waitMs < 0) return std::nullopt;
    return Clock::now() + milliseconds(waitMs);
}

// A connected socket, -1 while nobody listens (sets *result otherwise).
int tryConnect(const std::string& path, Result* result) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *result = kSystemError;
        return -1;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return fd;
    const int error = errno;
    close(fd);
    if (error == ENOENT || error == ECONNREFUSED || error == EAGAIN) {
        *result = kTimeout;  // not there yet, or a stale socket: keep waiting
    } else {
        *result = error == EACCES || error == EPERM ? kRefused : kSystemError;
    }
    return -1;
}

bool servedBySameUser(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
           credentials.uid == geteuid();
}

}  // namespace

ShareClient::ShareClient(int fd) : fd_(fd), ownHandle_(static_cast<uint32_t>(getpid())) {}

ShareClient::~ShareClient() {
    if (end_ == End::kNone) {
        WriteAll(
            sharing::Notification(sharing::kMessageShutdown, ownHandle_, sharing::kFromClient));
    }
    close(fd_);
}

Result ShareClient::Connect(int32_t waitMs, std::unique_ptr<ShareClient>* client) {
    const std::optional<std::string> path = sharing::SharingSocketPath();
    if (!path) return kNoRuntimeDir;
    const auto deadline = deadlineAfter(waitMs);
    int fd = -1;
    for (;;) {
        Result failure = kTimeout;
        fd = tryConnect(*path, &failure);
        if (fd >= 0) break;
        if (failure != kTimeout) return failure;
        const int32_t left = remainingMs(deadline);
        if (left == 0) return kTimeout;
        std::this_thread::sleep_for(left < 0 ? kRetryPeriod
                                             : std::min(kRetryPeriod, milliseconds(left)));
    }
    if (!servedBySameUser(fd)) {
        close(fd);
        return kRefused;
    }
    std::unique_ptr<ShareClient> made(new ShareClient(fd));
    const Result registered = made->AwaitAnswer();
    if (registered != kOk) return registered;
    *client = std::move(made);
    return kOk;
}

Result ShareClient::AwaitAnswer() {
    const Result sent =
        WriteAll(sharing::Notification(sharing::kMessageStartup, ownHandle_, sharing::kFromClient));
    if (sent != kOk) {
        end_ = End::kLost;
        return kRefused;
    }
    const auto deadline = deadlineAfter(kAnswerWaitMs);
    while (!answered_ && end_ == End::kNone) {
        if (!ReadOnce(remainingMs(deadline)) && remainingMs(deadline) == 0) return kTimeout;
    }
    if (answered_) return kOk;
    // Closed at once: refused (another user), or quorvane was just stopping.
    return end_ == End::kShutdown ? kEnded : kRefused;
}

Result ShareClient::SetFilter(const sharing::FilterSetting& setting) {
    if (setting.slot >= sharing::kFilterSlotCount) return kBadArgument;
    std::lock_guard guard(write_mutex_);
    filters_.Set(setting);
    const sharing::Bytes message = sharing::FilterMessage(ownHandle_, setting);
    const ssize_t sent = send(fd_, message.data(), message.size(), MSG_NOSIGNAL);
    return sent == static_cast<ssize_t>(message.size()) ? kOk : kLost;
}

Result ShareClient::Send(const CanFrame* frames, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (frames[i].length > sharing::kMaxDataBytes) return kBadArgument;
    }
    for (std::size_t at = 0; at < count; at += sharing::kMaxBlockFrames) {
        const std::size_t block = std::min(count - at, sharing::kMaxBlockFrames);
        const Result sent = WriteAll(sharing::FramesMessage(ownHandle_, frames + at, block));
        if (sent != kOk) return sent;
    }
    return kOk;
}

Result ShareClient::WriteAll(const sharing::Bytes& bytes) {
    std::lock_guard guard(write_mutex_);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t sent =
            send(fd_, bytes.data() + written, bytes.size() - written, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            return kLost;
        }
        written += static_cast<std::size_t>(sent);
    }
    return kOk;
}

Result ShareClient::Receive(CanFrame* frames, std::size_t capacity, int32_t waitMs,
                            std::size_t* count) {
    *count = 0;
    const auto deadline = deadlineAfter(waitMs);
    for (;;) {
        // The filters in effect now, also for frames forwarded before a change.
        sharing::FilterTable filters;
        {
            std::lock_guard guard(write_mutex_);
            filters = filters_;
        }
        std::size_t taken = 0;
        while (!ready_.empty() && taken < capacity) {
            if (filters.Passes(sharing::FilterKey(ready_.front())))
                frames[taken++] = ready_.front();
            ready_.pop_front();
        }
        *count = taken;
        if (taken > 0) return kOk;
        if (end_ != End::kNone) return end_ == End::kShutdown ? kEnded : kLost;
        if (!ReadOnce(remainingMs(deadline))) return kTimeout;
    }
}

bool ShareClient::ReadOnce(int32_t waitMs) {
    pollfd watched{fd_, POLLIN, 0};
    const int ready = poll(&watched, 1, waitMs);
    if (ready <= 0) return false;  // the wait ended, or a signal came
    uint8_t buffer[kReadChunk];
    const ssize_t got = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return false;
    if (got <= 0) {
        end_ = End::kLost;
        return true;
    }
    reader_.Feed(buffer, static_cast<std::size_t>(got));
    while (std::optional<sharing::WireMessage> message = reader_.Next()) {
        Handle(*message);
        if (end_ != End::kNone) break;
    }
    if (reader_.broken()) end_ = End::kLost;
    return true;
}

void ShareClient::Handle(const sharing::WireMessage& message) {
    if (message.message == sharing::kMessageData) {
        if (message.parameter != sharing::kBlockFrames) return;
        const std::vector<CanFrame> batch =
            sharing::FramesOfBlock(message.block.data(), message.block.size());
        // A batch is newest first: hand it out oldest first.
        ready_.insert(ready_.end(), batch.rbegin(), batch.rend());
        return;
    }
    if (message.parameter != sharing::kFromQuorvane) return;
    if (message.message == sharing::kMessageHandle) answered_ = true;
    if (message.message == sharing::kMessageShutdown) end_ = End::kShutdown;
}

}  // namespace share
