// Byte-level CAN backends behind one interface: SocketCAN, a socketcand
// gateway, the virtual bus. A transport is driven by one thread (the
// session's I/O thread, or quorsim's loop): none of its calls is thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "morvellcanopen.h"

namespace morvell::transport {

struct TransportEvent {
    enum class Kind {
        Frame,     // a frame from the bus; status as the receive callback gets it
        Sent,      // confirmation that a frame this transport sent is on the bus
        BusError,  // an error condition (MORVELL_ERROR_*), 0 = cleared
    };
    Kind kind = Kind::Frame;
    CanFrame frame{};
    std::int32_t status = 1;      // Frame: 1 received from the bus, 0 sent by another local program
    std::int32_t error_code = 0;  // BusError
};

enum class SendResult {
    Ok,          // accepted: on the bus, or in the transport's own output buffer
    WouldBlock,  // nothing taken; try again once fd() is writable
    Failed,      // the transport is unusable; error() says why
};

class CanTransport {
public:
    virtual ~CanTransport() = default;

    // Descriptor to poll: readable when receive() has something, writable
    // when flush() can make progress.
    virtual int fd() const = 0;

    // Reads everything available without blocking and appends it to events.
    // false: the connection is gone or broken (error() says why).
    virtual bool receive(std::vector<TransportEvent>& events) = 0;

    // Sends one frame without blocking. Transports that cannot confirm a
    // frame themselves (socketcand, virtual) confirm it as written by
    // appending a Sent event on the next receive() or flush() -- see
    // confirmsByEcho().
    virtual SendResult send(const CanFrame& frame) = 0;

    // Sends frames in order as send() does, as far as the transport takes
    // them, with as few system calls as it can; *taken says how many it took.
    // Ok: all taken; WouldBlock: the rest waits for writable; Failed: broken.
    virtual SendResult sendBatch(std::span<const CanFrame> frames, std::size_t* taken) {
        *taken = 0;
        for (const CanFrame& frame : frames) {
            const SendResult r = send(frame);
            if (r != SendResult::Ok) return r;
            ++*taken;
        }
        return SendResult::Ok;
    }

    // Output waiting in the transport's own buffer: poll for writable.
    virtual bool hasPendingOutput() const = 0;
    // Writes buffered output; appends Sent events for frames now written.
    // false: broken.
    virtual bool flush(std::vector<TransportEvent>& events) = 0;

    // True when Sent events come from the bus itself (SocketCAN loopback),
    // false when they mean "written to the gateway".
    virtual bool confirmsByEcho() const = 0;

    // Human-readable reason of the last failure.
    virtual std::string error() const = 0;
    // A short name of the channel, e.g. "socketcan:can0".
    virtual std::string name() const = 0;
};

}  // namespace morvell::transport
