// Recording the frames the station sees to a can-utils candump log, the
// format candump -l writes and candump_log.h reads: one frame a line,
// receive time in seconds and microseconds since 1970, bus name, frame.
//
//   (1436509052.249713) can0 701#05              standard identifier: 3 hex digits
//   (1436509052.249713) can0 00000605#40         extended identifier: 8 hex digits
//   (0000000001.000001) can0 080#                no data
//   (1436509052.249713) can0 701#R               remote frame, length 0
//   (1436509052.249713) can0 701#R1              remote frame, length 1
//
// Threads: Record() from one thread at a time (the library's I/O thread);
// it only copies the frame into a buffer under a mutex. A writer thread of
// the recorder's own formats and writes the buffered frames; Start, Stop and
// Status belong to one controlling thread (the UI thread).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace canopen_trace {

struct RecordedFrame {
    int64_t time_us = 0;  // receive time, microseconds since 1970-01-01 UTC
    uint32_t identifier = 0;
    uint8_t length = 0;  // 0-8
    uint8_t flags = 0;   // CanFrame flag bits: 0x01 extended, 0x02 remote
    uint8_t data[8] = {};
};

// The current time for RecordedFrame.time_us (CLOCK_REALTIME).
int64_t NowMicroseconds();

// Appends one log line (with its '\n') for frame on bus busName to out.
void AppendCandumpLine(const RecordedFrame& frame, std::string_view busName, std::string& out);

// Where the lines go. Called on the writer thread only.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    // Writes all of bytes; false with the reason in *error otherwise.
    virtual bool write(const char* bytes, std::size_t size, std::string* error) = 0;
    // Ends the output; false with the reason when what was written may be lost.
    virtual bool close(std::string* error) = 0;
};

// Creates (or empties) the file at path. Null with the reason in *error
// ("cannot create PATH: REASON") when that fails.
std::unique_ptr<RecordSink> CreateRecordFile(const std::string& path, std::string* error);

struct RecorderStatus {
    bool recording = false;  // taking frames
    uint64_t written = 0;    // frames in the sink
    uint64_t dropped = 0;    // frames refused because kMaxPendingFrames waited
    std::string failure;     // the write error that stopped the recording; empty when none
};

class CandumpRecorder {
public:
    // Frames waiting for the writer at most (about 50 s at 21,000 frames/s).
    static constexpr std::size_t kMaxPendingFrames = std::size_t{1} << 20;
    // The writer wakes for this many waiting frames, or after kFlushInterval.
    static constexpr std::size_t kBatchFrames = 256;
    static constexpr std::chrono::milliseconds kFlushInterval{50};

    CandumpRecorder() = default;
    ~CandumpRecorder();  // stops a recording
    CandumpRecorder(const CandumpRecorder&) = delete;
    CandumpRecorder& operator=(const CandumpRecorder&) = delete;

    // Starts recording into sink, naming the bus busName in every line
    // (e.g. "can0"). false when a recording runs already.
    bool Start(std::unique_ptr<RecordSink> sink, std::string busName);
    // Takes one frame while recording; does nothing otherwise.
    void Record(const RecordedFrame& frame);
    // Writes what waits, ends the writer and closes the sink. Returns the
    // close error (empty when none). Nothing happens when not started.
    std::string Stop();
    RecorderStatus Status() const;

private:
    void writerLoop();

    mutable std::mutex mutex_;  // guards everything up to writer_
    std::condition_variable wake_;
    std::vector<RecordedFrame> pending_;
    bool accepting_ = false;
    bool stopping_ = false;
    uint64_t dropped_ = 0;
    std::string failure_;
    std::atomic<uint64_t> written_{0};
    // Set by Start before the writer runs, read by the writer, reset by Stop
    // after it ended.
    std::unique_ptr<RecordSink> sink_;
    std::string busName_;
    std::thread writer_;
};

}  // namespace canopen_trace
