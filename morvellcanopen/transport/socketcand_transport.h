// socketcand client backend: a TCP connection to a socketcand gateway (or
// the quorbus hub) in raw mode on one bus. Frames are confirmed as Sent once
// their bytes are written to the connection (confirmsByEcho() is false).
//
// Handshake at open (blocking, bounded by a time limit):
//   < hi >                <- server
//   < open IFACE >        -> < ok >
//   < rawmode >           -> < ok >
//   < xframes >           -> < ok >   remote and error frames available (quorbus)
//                         -> < error ... >  a plain socketcand: carry on without
//   < bitrate 1000 >      -> < ok >   only after xframes was accepted: the bit
//                                     rate the channel was opened at, kbit/s
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "can_transport.h"
#include "socketcand_framing.h"

namespace morvell::transport {

enum class ConnectFailure {
    None,
    Refused,      // nothing listens at HOST:PORT
    Unreachable,  // name not resolved, no route, time-out
    Handshake,    // connected, but the gateway did not accept us
};

struct SocketcandEndpoint {
    std::string host;
    std::uint16_t port = 0;
    std::string bus;       // socketcand interface, or the virtual bus name
    std::string name;      // name() of the transport, e.g. "socketcand:gw:29536/can0"
    std::string peer;      // for texts, e.g. "socketcand at gw:29536"
    int bitrate_kbps = 0;  // announced to gateways with the quorbus extension; 0 = none
};

class SocketcandTransport final : public CanTransport {
public:
    // Connects and completes the handshake within limit. Null on failure with
    // the reason in *failure and a text in *error (under 280 characters).
    static std::unique_ptr<SocketcandTransport> connect(const SocketcandEndpoint& endpoint,
                                                        std::chrono::milliseconds limit,
                                                        ConnectFailure* failure,
                                                        std::string* error);
    ~SocketcandTransport() override;
    SocketcandTransport(const SocketcandTransport&) = delete;
    SocketcandTransport& operator=(const SocketcandTransport&) = delete;

    int fd() const override { return fd_; }
    bool receive(std::vector<TransportEvent>& events) override;
    // Remote frames need the xframes extension; without it the frame is
    // dropped and a BusError MORVELL_ERROR_TX_FAILED is reported instead.
    SendResult send(const CanFrame& frame) override;
    // Formats all frames first and writes them with one send().
    SendResult sendBatch(std::span<const CanFrame> frames, std::size_t* taken) override;
    // Also true while confirmations wait for flush(), so a caller that
    // flushes on writable gets them without waiting for incoming traffic.
    bool hasPendingOutput() const override {
        return unwrittenBytes() || !pending_.empty() || !unreported_.empty();
    }
    bool flush(std::vector<TransportEvent>& events) override;
    bool confirmsByEcho() const override { return false; }
    std::string error() const override { return error_; }
    std::string name() const override { return endpoint_.name; }

    // Whether the gateway accepted "< xframes >" (remote and error frames).
    bool extendedFrames() const { return extended_frames_; }
    // Sends an error frame (id = SocketCAN error class, 8 data bytes) to the
    // other participants. Used by simulators; Failed when !extendedFrames()
    // (the transport stays usable then).
    SendResult sendErrorFrame(const CanFrame& error_frame);

    // Frames accepted by send() and not yet fully written; beyond this many
    // send() returns WouldBlock.
    static constexpr std::size_t kMaxPendingFrames = 4096;

private:
    SocketcandTransport(int fd, SocketcandEndpoint endpoint);

    struct PendingFrame {
        CanFrame frame;
        std::uint64_t end_offset;  // stream offset just past this frame's bytes
        bool confirm;              // error frames are not confirmed
    };

    bool unwrittenBytes() const { return output_.size() > output_start_; }
    bool handshake(std::chrono::steady_clock::time_point deadline, std::string* error);
    bool expectReply(const char* request, std::chrono::steady_clock::time_point deadline,
                     std::string* reply, std::string* error);
    bool readAvailable();
    bool writeOutput();
    SendResult queue(const std::string& bytes, const CanFrame& frame, bool confirm);
    void handleMessage(const std::string& message, std::vector<TransportEvent>& events);
    void takeConfirmations(std::vector<TransportEvent>& events);
    bool fail(std::string text);

    int fd_ = -1;
    SocketcandEndpoint endpoint_;
    std::string error_;
    bool broken_ = false;
    bool extended_frames_ = false;
    bool holding_output_ = false;  // inside sendBatch(): queue() does not write
    socketcand::MessageReader reader_;
    std::vector<TransportEvent> early_events_;  // frames that arrived during the handshake
    std::string output_;
    std::size_t output_start_ = 0;  // bytes of output_ already written
    std::uint64_t written_total_ = 0;
    std::uint64_t queued_total_ = 0;
    std::deque<PendingFrame> pending_;
    std::vector<TransportEvent> unreported_;  // Sent / TX_FAILED for the next receive or flush
};

}  // namespace morvell::transport
