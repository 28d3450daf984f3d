// SocketCAN backend: a raw CAN socket bound to one kernel interface (can0,
// vcan0, slcan0). Own frames come back through the kernel loopback and are
// reported as Sent (confirmsByEcho() is true); error frames and receive-queue
// drops become BusError events.
//
// The conversions between the kernel's structures and the binding's types are
// plain functions below, so they are tested without a CAN socket.
#pragma once

#include <linux/can.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "can_transport.h"

namespace morvell::transport {

// ---- Conversions (pure) -------------------------------------------------

// Binding frame -> kernel frame: EFF flag for extended ids, RTR flag for
// remote frames (no data bytes copied), length clamped to 8.
can_frame toKernelFrame(const CanFrame& frame);

// Kernel frame -> binding frame. Error frames (CAN_ERR_FLAG) give the error
// class (can_id & CAN_ERR_MASK) as id and their 8 data bytes, flags 0.
CanFrame fromKernelFrame(const can_frame& frame);

inline bool isKernelErrorFrame(const can_frame& frame) {
    return (frame.can_id & CAN_ERR_FLAG) != 0;
}

// MORVELL_ERROR_* codes an error frame stands for, in the order to report:
// MORVELL_ERROR_CLEARED first (restarted / back to error-active), then
// TX_FAILED, PROTOCOL, RX_OVERFLOW, then the controller state (only the most
// severe of WARNING, PASSIVE, BUS_OFF). error_frame.id is the SocketCAN error
// class (CAN_ERR_* bits without CAN_ERR_FLAG), data as in linux/can/error.h.
// Arbitration loss and transceiver status give no code.
std::vector<std::int32_t> errorCodesOfErrorFrame(const CanFrame& error_frame);

// What a frame read with recvmsg() is, from the message flags:
// MSG_CONFIRM = our own frame echoed (Sent), MSG_DONTROUTE = sent by another
// socket on this host (Frame, status 0), otherwise from the wire (status 1).
struct ReceivedKind {
    TransportEvent::Kind kind;
    std::int32_t status;
};
ReceivedKind classifyReceived(int msg_flags);

// Why a receive failed, for error(): an interface that went away (ENODEV:
// unplugged or removed; ENETDOWN: set down) names the way back.
std::string receiveFailureText(const std::string& iface, int error_number);

// Appends the events for one frame read from the socket.
void appendEventsForKernelFrame(const can_frame& frame, int msg_flags,
                                std::vector<TransportEvent>& events);

// Tracks the kernel's per-socket drop counter (SO_RXQ_OVFL, a 32-bit count
// that wraps).
class DropCounter {
public:
    // New value of the kernel counter; returns how many frames were dropped
    // since the previous value (0 when unchanged).
    std::uint32_t update(std::uint32_t kernel_count);
    std::uint64_t total() const { return total_; }

private:
    std::uint32_t last_ = 0;
    std::uint64_t total_ = 0;
};

// ---- Bit rate -----------------------------------------------------------

// The interface-configuration calls the bit-rate check needs (libsocketcan
// in production, a fake in tests).
class CanLinkControl {
public:
    virtual ~CanLinkControl() = default;
    // Bit rate in bit/s, or empty when the interface has no bit timing (vcan).
    virtual std::optional<std::uint32_t> bitrate(const std::string& iface) = 0;
    // Each returns false when not permitted or failed.
    virtual bool stop(const std::string& iface) = 0;
    virtual bool setBitrate(const std::string& iface, std::uint32_t bits_per_second) = 0;
    virtual bool start(const std::string& iface) = 0;
};

// CanLinkControl over libsocketcan (netlink); changes need CAP_NET_ADMIN.
std::unique_ptr<CanLinkControl> makeSocketcanLinkControl();

// Makes the interface run at bitrate_kbps: accepted when it has no bit timing
// or already runs at that rate; otherwise stop, set, start. Empty on success,
// else a text naming the ip link command that fixes it.
std::string ensureBitrate(CanLinkControl& link, const std::string& iface, int bitrate_kbps);

// ---- Transport ----------------------------------------------------------

class SocketCanTransport final : public CanTransport {
public:
    // Opens a non-blocking raw socket on iface at bitrate_kbps. Null with a
    // text naming the cause and the fix in *error (under 280 characters).
    static std::unique_ptr<SocketCanTransport> open(const std::string& iface, int bitrate_kbps,
                                                    CanLinkControl& link, std::string* error);
    ~SocketCanTransport() override;
    SocketCanTransport(const SocketCanTransport&) = delete;
    SocketCanTransport& operator=(const SocketCanTransport&) = delete;

    int fd() const override { return fd_; }
    // Reads at most kMaxFramesPerReceive frames per call (the descriptor stays
    // readable when more wait).
    bool receive(std::vector<TransportEvent>& events) override;
    SendResult send(const CanFrame& frame) override;
    bool hasPendingOutput() const override { return false; }
    bool flush(std::vector<TransportEvent>& events) override;
    bool confirmsByEcho() const override { return true; }
    std::string error() const override { return error_; }
    std::string name() const override { return "socketcan:" + iface_; }

    // Frames the kernel dropped from this socket's receive queue so far.
    std::uint64_t droppedFrames() const { return drops_.total(); }

    static constexpr int kMaxFramesPerReceive = 1024;

private:
    SocketCanTransport(int fd, std::string iface) : fd_(fd), iface_(std::move(iface)) {}

    int fd_ = -1;
    std::string iface_;
    std::string error_;
    DropCounter drops_;
};

}  // namespace morvell::transport
