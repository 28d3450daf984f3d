// Sends the messages of the transmit table: on request, on a trigger key and
// on a received trigger identifier. No state besides its two seams; the
// calls run on the caller's thread (UI thread for requests and keys, the
// library's I/O thread for receive triggers).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "canlib/morvellcanopen.h"

class TTransmit;
struct TransmitMessage;

class TransmitEngine {
public:
    // Hands one frame to the bus; failures are not reported.
    using FrameSender = std::function<void(const CanFrame&)>;
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // Defaults: the library's CAN_Transmit and the system clock.
    explicit TransmitEngine(TTransmit& table, FrameSender send = {}, Clock now = {});

    // Sends message i now when the table is valid, i is in range and the
    // message is enabled; otherwise nothing.
    void Transmit(int i) const;
    // Sends, in ascending order, every enabled message with a key trigger on
    // `keyCode` (a Windows virtual key code).
    void OnKey(uint16_t keyCode) const;
    // Sends, in ascending order, every enabled message with a receive trigger
    // on `id`, whatever the received frame's flags.
    void OnReceive(uint32_t id) const;

    // The frame message `message` goes out as at `moment`.
    static CanFrame BuildFrame(const TransmitMessage& message,
                               std::chrono::system_clock::time_point moment);

private:
    void send(const TransmitMessage& message) const;

    TTransmit& table_;
    FrameSender send_;
    Clock now_;
};
