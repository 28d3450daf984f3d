// SDO client engine: expedited, segmented and block upload and download
// (CiA 301) with no I/O. The owner feeds it received frames and the current
// time, sends the frames it produces and arms a timer for deadline().
//
// Not thread-safe: the owner serialises every call (the session holds a
// mutex). Time is steady-clock time passed in; the engine never reads a clock.
//
// Outcome of a transfer (Completion.code): 0 success; 1 cancelled; 5 SDO
// protocol error (server abort, or a protocol fault found by the client,
// which then sends an abort to the server) with describeAbort() as text;
// 11 no response within the response time-out (abort 0x05040000 sent).
// Codes 1 and 11 carry an empty text.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "morvellcanopen.h"

namespace morvell::sdo {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

struct ClientConfig {
    // Time allowed for each response of the server (and, in block uploads,
    // between segments). 1-60000 ms.
    std::chrono::milliseconds response_timeout{1000};
    // Downloads of at least this many bytes use block transfer; 0 = never.
    std::uint32_t block_download_min_bytes = 64;
    // Uploads start with a block upload request; a server that refuses it
    // (abort 0x05040001) is asked again with a normal upload.
    bool block_upload = true;
    // Segments per block the client accepts in block uploads, 1-127.
    std::uint8_t block_size = 127;
    // Protocol switch threshold sent in block upload requests: a server may
    // answer entries of at most this many bytes with a normal upload.
    std::uint8_t protocol_switch_threshold = 21;
};

struct Completion {
    std::int32_t code = 0;
    std::string text;          // empty on success
    std::uint32_t length = 0;  // bytes received (upload) or acknowledged (download)
};

enum class Direction { Upload, Download };

class Client {
public:
    explicit Client(ClientConfig config = {});

    // Takes effect with the next transfer.
    void setConfig(const ClientConfig& config);
    const ClientConfig& config() const { return config_; }

    // True from a start until the completion is produced.
    bool busy() const;

    // Starts reading node (1-127) index/subindex into destination; its size
    // is the capacity. destination must stay valid until the completion.
    // Precondition: !busy(). Produces the first request frame.
    void startUpload(std::uint8_t node, std::uint16_t index, std::uint8_t subindex,
                     std::span<std::uint8_t> destination, TimePoint now);

    // Starts writing data (copied) to node index/subindex. Precondition: !busy().
    void startDownload(std::uint8_t node, std::uint16_t index, std::uint8_t subindex,
                       std::span<const std::uint8_t> data, TimePoint now);

    // Every frame received from the bus; frames other than the response
    // channel of the running transfer (0x580 + node) are ignored.
    void onFrame(const CanFrame& frame, TimePoint now);

    // Handles an expired deadline; harmless when nothing has expired.
    void onTimer(TimePoint now);

    // Aborts the running transfer (abort 0x08000000 to the server); the
    // completion has code 1. No effect when idle.
    void cancel(TimePoint now);

    // Ends the running transfer with the given code and text without sending
    // anything (used when the interface closes or fails).
    void fail(std::int32_t code, std::string text);

    // When onTimer must next be called; empty when idle.
    std::optional<TimePoint> deadline() const;

    // Outputs, taken by the owner after each call above.
    std::vector<CanFrame> takeFrames();           // to send, in order
    std::optional<float> takeProgress();          // newest percent (0-100) if it changed
    std::optional<Completion> takeCompletion();   // once per transfer

private:
    // Members are the engine's own; the public interface above is the contract.
    ClientConfig config_;
};

}  // namespace morvell::sdo
