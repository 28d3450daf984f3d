#include "socketcand_transport.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "socketcan_transport.h"

namespace morvell::transport {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadChunk = 65536;
constexpr int kMaxReadsPerReceive = 16;  // at most 1 MiB per receive() call
// output_ is compacted once this many written bytes sit at its front.
constexpr std::size_t kCompactThreshold = 65536;

int millisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

std::string hostPort(const SocketcandEndpoint& endpoint) {
    return endpoint.host + ":" + std::to_string(endpoint.port);
}

// Non-blocking TCP connection to host:port within the deadline; -1 on failure.
int connectTcp(const SocketcandEndpoint& endpoint, Clock::time_point deadline,
               ConnectFailure* failure, std::string* error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* addresses = nullptr;
    const std::string port = std::to_string(endpoint.port);
    const int resolved = getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &addresses);
    if (resolved != 0) {
        *failure = ConnectFailure::Unreachable;
        *error = "cannot resolve host '" + endpoint.host + "' (" + gai_strerror(resolved) +
                 "): check the address in MORVELLCANOPEN_CHANNEL or morvellcanopen.conf";
        return -1;
    }
    int last_errno = ETIMEDOUT;
    int fd = -1;
    for (addrinfo* a = addresses; a && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            last_errno = errno;
            continue;
        }
        int result = ::connect(fd, a->ai_addr, a->ai_addrlen);
        if (result != 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, millisecondsLeft(deadline)) == 1) {
                int so_error = 0;
                socklen_t size = sizeof so_error;
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &size);
                errno = so_error;
                result = so_error == 0 ? 0 : -1;
            } else {
                errno = ETIMEDOUT;
            }
        }
        if (result != 0) {
            last_errno = errno;
            ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(addresses);
    if (fd >= 0) {
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);  // best effort: latency only
        return fd;
    }
    if (last_errno == ECONNREFUSED) {
        *failure = ConnectFailure::Refused;
        *error = "no socketcand gateway at " + hostPort(endpoint) + ": start socketcand -i " +
                 endpoint.bus + ", or check the address";
    } else {
        *failure = ConnectFailure::Unreachable;
        *error = "cannot reach socketcand at " + hostPort(endpoint) + " (" +
                 std::strerror(last_errno) + "): check the address and the network";
    }
    return -1;
}

TransportEvent busError(std::int32_t code) {
    TransportEvent event;
    event.kind = TransportEvent::Kind::BusError;
    event.error_code = code;
    return event;
}

TransportEvent receivedFrame(const CanFrame& frame) {
    TransportEvent event;
    event.kind = TransportEvent::Kind::Frame;
    event.status = 1;
    event.frame = frame;
    return event;
}

}  // namespace

SocketcandTransport::SocketcandTransport(int fd, SocketcandEndpoint endpoint)
    : fd_(fd), endpoint_(std::move(endpoint)) {}

SocketcandTransport::~SocketcandTransport() {
    if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<SocketcandTransport> SocketcandTransport::connect(
    const SocketcandEndpoint& endpoint, std::chrono::milliseconds limit, ConnectFailure* failure,
    std::string* error) {
    const auto deadline = Clock::now() + limit;
    *failure = ConnectFailure::None;
    const int fd = connectTcp(endpoint, deadline, failure, error);
    if (fd < 0) return nullptr;
    auto transport = std::unique_ptr<SocketcandTransport>(new SocketcandTransport(fd, endpoint));
    if (!transport->handshake(deadline, error)) {
        *failure = ConnectFailure::Handshake;
        return nullptr;
    }
    return transport;
}

// Reads until a reply (not a frame) arrives; frames are kept for the first
// receive(). request, when not null, is written first.
bool SocketcandTransport::expectReply(const char* request, Clock::time_point deadline,
                                      std::string* reply, std::string* error) {
    if (request) {
        output_ += request;
        queued_total_ += std::strlen(request);
        while (unwrittenBytes()) {
            if (!writeOutput()) {
                *error = error_;
                return false;
            }
            pollfd p{fd_, POLLOUT, 0};
            if (unwrittenBytes() && poll(&p, 1, millisecondsLeft(deadline)) != 1) break;
        }
    }
    for (;;) {
        while (std::optional<std::string> message = reader_.next()) {
            const auto words = socketcand::splitWords(*message);
            if (!words.empty() &&
                (words[0] == "frame" || words[0] == "rtr" || words[0] == "errframe")) {
                handleMessage(*message, early_events_);
                continue;
            }
            *reply = std::move(*message);
            return true;
        }
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, millisecondsLeft(deadline)) != 1) {
            *error = endpoint_.peer +
                     " did not answer in time: check that it is a socketcand "
                     "gateway and not overloaded";
            return false;
        }
        if (!readAvailable()) {
            *error = error_;
            return false;
        }
    }
}

bool SocketcandTransport::handshake(Clock::time_point deadline, std::string* error) {
    std::string reply;
    if (!expectReply(nullptr, deadline, &reply, error)) return false;
    if (reply != "hi") {
        *error = hostPort(endpoint_) + " is not a socketcand gateway (it said '" +
                 reply.substr(0, 40) + "'): check the address";
        return false;
    }
    const std::string open = "< open " + endpoint_.bus + " >\n";
    if (!expectReply(open.c_str(), deadline, &reply, error)) return false;
    if (reply != "ok") {
        *error = endpoint_.peer + " refused bus '" + endpoint_.bus + "' (" + reply.substr(0, 60) +
                 "): check the interface name (socketcand -i " + endpoint_.bus + ")";
        return false;
    }
    if (!expectReply("< rawmode >\n", deadline, &reply, error)) return false;
    if (reply != "ok") {
        *error = endpoint_.peer + " refused raw mode (" + reply.substr(0, 60) + ")";
        return false;
    }
    // "< echo >" right behind: a gateway that ignores xframes still answers
    // it. No answer in time: carry on without the extension.
    std::string ignored;
    if (expectReply("< xframes >\n< echo >\n", deadline, &reply, &ignored)) {
        extended_frames_ = reply == "ok";
        if (reply != "echo") expectReply(nullptr, deadline, &reply, &ignored);
    }
    // A paced virtual bus checks the bit rate (a mismatch shows as error
    // frames later, as on a real bus); the answer changes nothing here.
    if (extended_frames_ && endpoint_.bitrate_kbps > 0 && !broken_) {
        const std::string bitrate = "< bitrate " + std::to_string(endpoint_.bitrate_kbps) + " >\n";
        expectReply(bitrate.c_str(), deadline, &reply, &ignored);
    }
    if (broken_) *error = error_;
    return !broken_;
}

bool SocketcandTransport::fail(std::string text) {
    if (!broken_) error_ = std::move(text);
    broken_ = true;
    return false;
}

bool SocketcandTransport::readAvailable() {
    char buffer[kReadChunk];
    for (int reads = 0; reads < kMaxReadsPerReceive; ++reads) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            reader_.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
            if (static_cast<std::size_t>(n) < sizeof buffer) return true;
            continue;
        }
        if (n == 0) return fail("connection to " + endpoint_.peer + " closed");
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
        return fail("connection to " + endpoint_.peer + " failed: " + std::strerror(errno));
    }
    return true;
}

void SocketcandTransport::handleMessage(const std::string& message,
                                        std::vector<TransportEvent>& events) {
    const std::vector<std::string_view> words = socketcand::splitWords(message);
    if (words.empty()) return;
    if (words[0] == "frame") {
        if (auto timed = socketcand::parseFrame(words))
            events.push_back(receivedFrame(timed->frame));
    } else if (words[0] == "rtr") {
        if (auto timed = socketcand::parseRtr(words)) events.push_back(receivedFrame(timed->frame));
    } else if (words[0] == "errframe") {
        if (auto timed = socketcand::parseErrFrame(words)) {
            for (std::int32_t code : errorCodesOfErrorFrame(timed->frame))
                events.push_back(busError(code));
        }
    }
    // "ok", "echo" and "error" replies to our own requests need no action.
}

void SocketcandTransport::takeConfirmations(std::vector<TransportEvent>& events) {
    while (!pending_.empty() && pending_.front().end_offset <= written_total_) {
        if (pending_.front().confirm) {
            TransportEvent event;
            event.kind = TransportEvent::Kind::Sent;
            event.frame = pending_.front().frame;
            unreported_.push_back(event);
        }
        pending_.pop_front();
    }
    events.insert(events.end(), unreported_.begin(), unreported_.end());
    unreported_.clear();
}

bool SocketcandTransport::receive(std::vector<TransportEvent>& events) {
    takeConfirmations(events);
    events.insert(events.end(), early_events_.begin(), early_events_.end());
    early_events_.clear();
    if (broken_) return false;
    const bool alive = readAvailable();
    while (std::optional<std::string> message = reader_.next()) handleMessage(*message, events);
    return alive;
}

bool SocketcandTransport::writeOutput() {
    while (output_start_ < output_.size()) {
        const ssize_t n = ::send(fd_, output_.data() + output_start_,
                                 output_.size() - output_start_, MSG_NOSIGNAL);
        if (n > 0) {
            output_start_ += static_cast<std::size_t>(n);
            written_total_ += static_cast<std::uint64_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n < 0 && (errno == EPIPE || errno == ECONNRESET))
            return fail("connection to " + endpoint_.peer + " closed");
        return fail("connection to " + endpoint_.peer +
                    " failed: " + (n < 0 ? std::strerror(errno) : "nothing written"));
    }
    if (output_start_ == output_.size()) {
        output_.clear();
        output_start_ = 0;
    } else if (output_start_ >= kCompactThreshold) {
        output_.erase(0, output_start_);
        output_start_ = 0;
    }
    return true;
}

bool SocketcandTransport::flush(std::vector<TransportEvent>& events) {
    const bool alive = !broken_ && writeOutput();
    takeConfirmations(events);
    return alive;
}

SendResult SocketcandTransport::queue(const std::string& bytes, const CanFrame& frame,
                                      bool confirm) {
    if (broken_) return SendResult::Failed;
    if (pending_.size() >= kMaxPendingFrames) return SendResult::WouldBlock;
    output_ += bytes;
    queued_total_ += bytes.size();
    pending_.push_back({frame, queued_total_, confirm});
    // Write at once when nothing waits ahead; otherwise flush() continues.
    if (!holding_output_ && output_start_ + bytes.size() == output_.size() && !writeOutput())
        return SendResult::Failed;
    return SendResult::Ok;
}

SendResult SocketcandTransport::sendBatch(std::span<const CanFrame> frames, std::size_t* taken) {
    *taken = 0;
    const bool write_now = !unwrittenBytes();  // else flush() continues on writable
    holding_output_ = true;
    SendResult result = SendResult::Ok;
    for (const CanFrame& frame : frames) {
        result = send(frame);
        if (result != SendResult::Ok) break;
        ++*taken;
    }
    holding_output_ = false;
    if (result != SendResult::Failed && write_now && unwrittenBytes() && !writeOutput())
        return SendResult::Failed;
    return result;
}

SendResult SocketcandTransport::send(const CanFrame& frame) {
    if ((frame.flags & CANFRAME_FLAG_REMOTE) && !extended_frames_) {
        if (broken_) return SendResult::Failed;
        unreported_.push_back(busError(MORVELL_ERROR_TX_FAILED));
        return SendResult::Ok;
    }
    return queue(socketcand::formatSend(frame), frame, true);
}

SendResult SocketcandTransport::sendErrorFrame(const CanFrame& error_frame) {
    if (!extended_frames_) return SendResult::Failed;
    return queue(socketcand::formatSendErr(error_frame), error_frame, false);
}

}  // namespace morvell::transport
