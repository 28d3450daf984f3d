// One open interface: the transport, its I/O thread and the SDO client.
//
// Threads: every public method may be called from any thread, including from
// inside a callback on the I/O thread. All callbacks run on the I/O thread,
// never while the session holds one of its locks, so a callback may call back
// into the session (transmit, start the next transfer, cancel, even close).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "morvellcanopen.h"
#include "protocol/sdo_client.h"
#include "transport/can_transport.h"

namespace morvell::session {

// The application's callbacks, registered with the Event_* functions. Read
// by the I/O thread at each use, so registration takes effect at once.
struct Callbacks {
    std::atomic<ReceiveCallback> receive{nullptr};
    std::atomic<TransmitCallback> transmit{nullptr};
    std::atomic<ErrorCallback> error{nullptr};
};

struct SessionConfig {
    sdo::ClientConfig sdo;
    // Frames waiting to be sent; CAN_Transmit beyond it is refused (code 8).
    std::size_t transmit_queue_limit = 4096;
};

// Outcome of a call: code as in LibraryResult, text for codes other than 4;
// for code 4, parameter is the 1-based parameter number.
struct CallResult {
    std::int32_t code = 0;
    std::string text;
    std::uint8_t parameter = 0;
};

class Session {
public:
    // Starts the I/O thread on an opened transport. callbacks must outlive
    // the session. Returns null with *error set when the thread cannot start.
    static std::unique_ptr<Session> start(std::unique_ptr<transport::CanTransport> transport,
                                          const SessionConfig& config, const Callbacks& callbacks,
                                          std::string* error);

    // Stops the I/O thread; a running transfer is aborted on the bus and
    // completes with code 1 first. Called on the I/O thread itself (from a
    // callback), the thread finishes on its own after the callback returns.
    ~Session();

    // Queues one frame (copied). Code 0 queued, 8 queue full or interface gone.
    CallResult transmit(const CanFrame& frame);

    // Starts an SDO transfer; code 0 = started (the completion follows exactly
    // once), 8 = refused (another transfer runs, or the interface is gone).
    // Arguments are checked by the caller. The upload writes into buffer and
    // sets *length before the completion callback runs.
    CallResult startUpload(std::uint8_t node, std::uint16_t index, std::uint8_t subindex,
                           std::uint8_t* buffer, std::uint32_t* length, ProgressCallback progress,
                           CompletionCallback completion);
    CallResult startDownload(std::uint8_t node, std::uint16_t index, std::uint8_t subindex,
                             const std::uint8_t* data, std::uint32_t length,
                             ProgressCallback progress, CompletionCallback completion);

    // Aborts the running transfer (it completes with code 1); no effect when idle.
    void cancel();

    std::string channelName() const;

    struct Impl;

private:
    explicit Session(std::shared_ptr<Impl> impl);
    std::shared_ptr<Impl> impl_;
};

}  // namespace morvell::session
