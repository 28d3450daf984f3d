// The controller of a client whose bit rate differs from its paced bus's:
// it decodes nothing on the bus and nothing it sends is decoded by the
// others. Its error counters move as CAN fault confinement has them, one
// attempt per frame (no automatic retransmission):
//   each frame it sends:            bit error, transmit error counter + 8
//   each frame the others send:     receive error counter + 1 (up to 128)
//   either counter >= 96: warning; >= 128: error passive;
//   transmit counter > 255: bus-off (it sends nothing more)
// What it is told comes as SocketCAN error frames (error class as id, data
// as in linux/can/error.h, counters in bytes 6 and 7): a protocol error for
// each frame it sent, and every change of state. One thread (the hub loop).
#pragma once

#include <cstdint>
#include <optional>

#include "morvellcanopen.h"

namespace quorbus {

class MismatchedController {
public:
    // A frame the client sent: the error frame to give it; empty once bus-off.
    std::optional<CanFrame> onTransmit();
    // A frame the client could not receive: an error frame when its state changed.
    std::optional<CanFrame> onBusFrame();

    bool busOff() const { return transmit_errors_ > kBusOffAbove; }
    std::uint32_t transmitErrors() const { return transmit_errors_; }
    std::uint32_t receiveErrors() const { return receive_errors_; }

    static constexpr std::uint32_t kWarning = 96;
    static constexpr std::uint32_t kPassive = 128;
    static constexpr std::uint32_t kBusOffAbove = 255;

private:
    enum class State { Active, Warning, Passive, BusOff };
    State state() const;
    // An error frame carrying error_class (and the state bits when the state changed).
    CanFrame errorFrame(std::uint32_t error_class, State before) const;

    std::uint32_t transmit_errors_ = 0;
    std::uint32_t receive_errors_ = 0;
};

}  // namespace quorbus
