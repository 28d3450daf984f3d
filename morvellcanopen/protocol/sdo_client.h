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
// Every failure carries a text that reads on its own, e.g. "Transfer
// cancelled", "No response from node 5 within 1000 ms".
#pragma once

#include <array>
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
    // Time allowed for each response of the server. 1-60000 ms. Inside a
    // block upload, after half of it without a segment the client
    // acknowledges what arrived (the server resends the rest) and waits again.
    std::chrono::milliseconds response_timeout{1000};
    // The bus's bit rate in bit/s; 0 = not known. When known, each wait for a
    // response starts after the frames just handed over have had their time
    // on the bus: a 127-segment sub-block of a block download takes 1.4-1.7 s
    // at 10 kbit/s, longer than the response time itself.
    std::uint32_t bitrate_bps = 0;
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
    // channel of the running transfer (0x580 + node) are ignored. While an
    // initiate request waits for its response, frames that cannot answer it
    // (another index or subindex, a specifier that does not fit, a short
    // frame) are ignored too: late answers to an earlier transfer, also one
    // of another program, must not fail this one. They leave the deadline
    // as it was. Later steps abort on any wrong frame (toggle, sequence).
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
    std::vector<CanFrame> takeFrames();          // to send, in order
    std::optional<float> takeProgress();         // newest percent (0-100) if it changed
    std::optional<Completion> takeCompletion();  // once per transfer

private:
    // What the engine waits for next; each has one handler in sdo_client.cpp.
    enum class State {
        Idle,
        UploadInitiate,         // sent initiate upload, awaiting its response
        UploadSegment,          // sent upload segment request, awaiting the segment
        BlockUploadInitiate,    // sent block upload initiate, awaiting its response
        BlockUploadSubBlock,    // sent start or ack, receiving block segments
        BlockUploadEnd,         // acknowledged the last block, awaiting the end
        DownloadInitiate,       // sent initiate download, awaiting its response
        DownloadSegment,        // sent a download segment, awaiting its response
        BlockDownloadInitiate,  // sent block download initiate, awaiting its response
        BlockDownloadSubBlock,  // sent a block, awaiting the block acknowledgement
        BlockDownloadEnd,       // sent block download end, awaiting its response
    };

    // The running transfer; replaced as a whole by each start.
    struct Transfer {
        std::uint8_t node = 0;
        std::uint16_t index = 0;
        std::uint8_t subindex = 0;
        std::span<std::uint8_t> destination;  // upload
        std::vector<std::uint8_t> source;     // download
        std::optional<std::uint32_t> size;    // total bytes, when known
        std::uint32_t transferred = 0;        // received / acknowledged bytes
        bool toggle = false;                  // segmented: toggle of the next segment
        bool expedited = false;               // download initiate was expedited
        std::uint32_t segment_bytes = 0;      // segmented download: bytes in the last segment
        bool crc = false;                     // block: both sides support CRC
        std::uint8_t block_size = 0;          // block: segments in the current block
        std::uint8_t sequence = 0;            // block: last good / last sent sequence number
        bool sequence_error = false;          // block upload: a segment was lost in this block
        bool last_segment = false;            // block: the segment with c = 1 was received / sent
        std::vector<std::uint8_t> pending;    // block upload: last segment, not yet stored
        float reported_percent = 0;
    };

    using Bytes = std::array<std::uint8_t, 8>;

    State onUploadInitiateResponse(const CanFrame& f);
    State onUploadSegment(const CanFrame& f);
    std::optional<State> checkSegmentResponse(std::uint8_t command, std::uint8_t expected_scs);
    State onBlockUploadInitiateResponse(const CanFrame& f);
    State onBlockUploadSegment(const CanFrame& f);
    State acknowledgeBlock();
    bool blockStarted() const;  // block upload: segments of the current block arrived
    State onBlockUploadEnd(const CanFrame& f);
    State onDownloadInitiateResponse(const CanFrame& f);
    State onDownloadSegmentResponse(const CanFrame& f);
    State onBlockDownloadInitiateResponse(const CanFrame& f);
    State onBlockDownloadAck(const CanFrame& f);
    State onBlockDownloadEnd(const CanFrame& f);
    State onServerAbort(std::uint32_t abort_code);
    State dispatch(const CanFrame& f);
    bool cannotAnswerInitiate(const CanFrame& f) const;

    State sendInitiateUpload();
    State sendBlockUploadInitiate();
    State sendInitiateDownload();
    State sendBlockDownloadInitiate();
    State sendUploadSegmentRequest();
    State sendDownloadSegment();
    State sendBlock();

    // Stores upload bytes; on a fault sends the abort and returns it.
    std::optional<State> store(std::span<const std::uint8_t> bytes);
    std::optional<State> checkCapacity();
    bool multiplexerMatches(const CanFrame& f) const;
    std::uint8_t blockSize() const;  // config_.block_size within 1-127
    std::uint32_t unspecifiedExpeditedSize(const CanFrame& f) const;
    void send(const Bytes& bytes);
    // The next deadline: the frames just sent have their bus time first,
    // then the server has response_time.
    void waitFor(std::chrono::milliseconds response_time, TimePoint now);
    Bytes withMultiplexer(std::uint8_t command) const;
    void sendAbort(std::uint32_t abort_code);
    State complete(std::int32_t code, std::string text);
    State abortTransfer(std::uint32_t abort_code, std::string explanation = {});
    void updateProgress();

    ClientConfig config_;
    State state_ = State::Idle;
    Transfer transfer_;
    TimePoint deadline_{};
    // Bus time of the frames sent since the deadline was last set, not yet
    // counted in it.
    std::chrono::nanoseconds pending_bus_time_{};
    TimePoint now_{};  // time of the latest call
    static constexpr std::size_t kNodeSlots = 128;
    // Nodes that refused block transfer since the last setConfig.
    std::array<bool, kNodeSlots> block_upload_refused_{};
    std::array<bool, kNodeSlots> block_download_refused_{};
    std::vector<CanFrame> frames_;
    std::optional<float> progress_;
    std::optional<Completion> completion_;
};

}  // namespace morvell::sdo
