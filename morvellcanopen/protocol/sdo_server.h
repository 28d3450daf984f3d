// SDO server engine: answers expedited, segmented and block uploads and
// downloads (CiA 301) for one node, with no I/O. Used by quorsim and by the
// client engine's tests. Not thread-safe; time is passed in.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "morvellcanopen.h"

namespace morvell::sdo {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

// The object dictionary as the server sees it. Each call returns 0 or the
// abort code (see sdo_abort.h) to send to the client.
class ObjectAccess {
public:
    virtual ~ObjectAccess() = default;
    // The whole value of index/subindex.
    virtual std::uint32_t read(std::uint16_t index, std::uint8_t subindex,
                               std::vector<std::uint8_t>& value) = 0;
    // Whether a write of `size` bytes (empty: not yet known) may start;
    // checked at the initiate request so a refusal aborts at once.
    virtual std::uint32_t checkWrite(std::uint16_t index, std::uint8_t subindex,
                                     std::optional<std::size_t> size) = 0;
    // Stores a complete value.
    virtual std::uint32_t write(std::uint16_t index, std::uint8_t subindex,
                                std::span<const std::uint8_t> value) = 0;
};

// Faults the server can be told to commit, for testing clients.
enum class ServerFault {
    None,
    NoAnswer,     // ignore every request
    WrongToggle,  // segment responses carry the wrong toggle bit
    Abort,        // answer every initiate request with fault_abort_code
    ShortFrames,  // responses are sent with length 4 instead of 8
    BadBlockCrc,  // block upload end carries a wrong CRC; block download
                  // end is answered with abort 0x05040004 (CRC error)
};

struct ServerConfig {
    std::uint8_t node = 1;          // 1-127: requests on 0x600 + node, responses on 0x580 + node
    bool block_transfer = true;     // false: block requests are refused with 0x05040001
    std::uint8_t block_size = 127;  // segments per block offered in block downloads, 1-127
    // A transfer with no request from the client for this long is dropped
    // (abort 0x05040000 sent).
    std::chrono::milliseconds timeout{1000};
    // The bus's bit rate in bit/s; 0 = not known. When known, the wait for
    // the client starts after the responses just sent have had their time on
    // the bus (a block upload's 127 segments take 1.4-1.7 s at 10 kbit/s).
    std::uint32_t bitrate_bps = 0;
};

class Server {
public:
    Server(ServerConfig config, ObjectAccess& objects);

    void setFault(ServerFault fault, std::uint32_t abort_code = 0);
    ServerFault fault() const;

    // Every frame from the bus; only standard data frames on 0x600 + node
    // are acted on. A request shorter than 8 bytes is answered with abort
    // 0x05040001 (and ends a running transfer); an abort request (0x80) ends
    // the transfer silently. While a block download runs, every other request
    // is taken as a block segment; otherwise an initiate request starts over.
    void onFrame(const CanFrame& frame, TimePoint now);
    // Handles an expired deadline (abort 0x05040000, silent under NoAnswer);
    // harmless when nothing has expired.
    void onTimer(TimePoint now);
    // When onTimer must next be called; empty when no transfer runs.
    std::optional<TimePoint> deadline() const;

    // Responses to send, in order.
    std::vector<CanFrame> takeFrames();

private:
    // What the server waits for next.
    enum class State {
        Idle,
        DownloadSegment,        // segmented download: next download segment request
        UploadSegment,          // segmented upload: next upload segment request
        BlockDownloadSubBlock,  // block download: segments of the current block
        BlockDownloadEnd,       // block download: the end request
        BlockUploadStart,       // block upload: the start request
        BlockUploadSubBlock,    // block upload: block sent, the client's ack
        BlockUploadEnd,         // block upload: end sent, the client's end response
    };
    using Request = std::array<std::uint8_t, 8>;
    using Response = std::array<std::uint8_t, 8>;

    State handleRequest(const Request& r);
    bool isInitiate(const Request& r) const;
    State initiate(const Request& r);
    State initiateDownload(const Request& r);
    State initiateUpload();
    State initiateBlockDownload(const Request& r);
    State initiateBlockUpload(const Request& r);
    State respondInitiateUpload();
    State onIdle(const Request& r);
    State onDownloadSegment(const Request& r);
    State onUploadSegment(const Request& r);
    State onBlockDownloadSegment(const Request& r);
    State onBlockDownloadEnd(const Request& r);
    State onBlockUploadStart(const Request& r);
    State onBlockUploadAck(const Request& r);
    State onBlockUploadEnd(const Request& r);
    State sendSubBlock();
    State sendBlockUploadEnd();

    State abort(std::uint32_t abort_code);
    Response responseWithMultiplexer(std::uint8_t command) const;
    std::uint8_t responseToggle(bool toggle) const;
    std::size_t uploadSegmentCount() const;
    void send(const Response& bytes);

    ServerConfig config_;
    ObjectAccess& objects_;
    ServerFault fault_ = ServerFault::None;
    std::uint32_t fault_abort_code_ = 0;

    State state_ = State::Idle;
    std::optional<TimePoint> deadline_;            // set while state_ != Idle
    std::chrono::nanoseconds pending_bus_time_{};  // of the responses since the last request
    std::uint16_t index_ = 0;
    std::uint8_t subindex_ = 0;
    // Upload: the whole value. Download: the bytes received so far (block
    // download: with the last segment's padding until the end request).
    std::vector<std::uint8_t> value_;
    std::optional<std::size_t> indicated_size_;  // download: size the client announced
    bool toggle_ = false;                        // segmented: toggle the next request carries
    std::size_t segments_done_ = 0;       // segmented / block upload: segments sent / acknowledged
    bool client_crc_ = false;             // block: the client supports CRC
    std::uint8_t block_size_ = 0;         // block: segments per block, 1-127
    std::uint8_t sequence_ = 0;           // block: last segment sent / received in order
    bool last_segment_received_ = false;  // block download
    std::vector<CanFrame> out_;
};

}  // namespace morvell::sdo
