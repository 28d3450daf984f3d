#include "trace/core/candump_recorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "trace/core/trace_record.h"

namespace canopen_trace {
namespace {

constexpr int64_t kMicrosecondsPerSecond = 1000000;
constexpr mode_t kFileMode = 0644;
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr unsigned kMaxDataBytes = 8;

void appendHex(uint32_t value, int digits, std::string& out) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += kHexDigits[(value >> shift) & 0xF];
}

class FileSink final : public RecordSink {
public:
    FileSink(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~FileSink() override {
        if (fd_ >= 0) ::close(fd_);
    }

    bool write(const char* bytes, std::size_t size, std::string* error) override {
        while (size > 0) {
            const ssize_t n = ::write(fd_, bytes, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                *error = "cannot write " + path_ + ": " +
                         (n < 0 ? std::strerror(errno) : "nothing written");
                return false;
            }
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    bool close(std::string* error) override {
        const int fd = fd_;
        fd_ = -1;
        if (fd >= 0 && ::close(fd) != 0) {
            *error = "cannot write " + path_ + ": " + std::strerror(errno);
            return false;
        }
        return true;
    }

private:
    int fd_;
    std::string path_;
};

}  // namespace

int64_t NowMicroseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return int64_t{now.tv_sec} * kMicrosecondsPerSecond + now.tv_nsec / 1000;
}

void AppendCandumpLine(const RecordedFrame& frame, std::string_view busName, std::string& out) {
    char time[40];
    const int64_t seconds = frame.time_us / kMicrosecondsPerSecond;
    const int64_t micros = frame.time_us % kMicrosecondsPerSecond;
    std::snprintf(time, sizeof time, "(%010" PRId64 ".%06" PRId64 ") ", seconds, micros);
    out += time;
    out += busName;
    out += ' ';
    const bool extended = (frame.flags & kTraceFlagExtended) != 0;
    appendHex(frame.identifier, extended ? 8 : 3, out);
    out += '#';
    const unsigned length = frame.length < kMaxDataBytes ? frame.length : kMaxDataBytes;
    if (frame.flags & kTraceFlagRemote) {
        out += 'R';
        if (length != 0) out += kHexDigits[length];
    } else {
        for (unsigned i = 0; i < length; ++i) appendHex(frame.data[i], 2, out);
    }
    out += '\n';
}

std::unique_ptr<RecordSink> CreateRecordFile(const std::string& path, std::string* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kFileMode);
    if (fd < 0) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<FileSink>(fd, path);
}

CandumpRecorder::~CandumpRecorder() {
    Stop();
}

bool CandumpRecorder::Start(std::unique_ptr<RecordSink> sink, std::string busName) {
    if (writer_.joinable() || !sink) return false;
    sink_ = std::move(sink);
    busName_ = std::move(busName);
    written_.store(0);
    {
        std::lock_guard lock(mutex_);
        pending_.clear();
        dropped_ = 0;
        failure_.clear();
        stopping_ = false;
        accepting_ = true;
    }
    writer_ = std::thread(&CandumpRecorder::writerLoop, this);
    return true;
}

void CandumpRecorder::Record(const RecordedFrame& frame) {
    std::lock_guard lock(mutex_);
    if (!accepting_) return;
    if (pending_.size() >= kMaxPendingFrames) {
        ++dropped_;
        return;
    }
    pending_.push_back(frame);
    if (pending_.size() == kBatchFrames) wake_.notify_one();
}

std::string CandumpRecorder::Stop() {
    if (!writer_.joinable()) return {};
    {
        std::lock_guard lock(mutex_);
        accepting_ = false;
        stopping_ = true;
    }
    wake_.notify_one();
    writer_.join();
    std::string error;
    if (!sink_->close(&error)) {
        std::lock_guard lock(mutex_);
        if (failure_.empty()) failure_ = error;
    }
    sink_.reset();
    return error;
}

RecorderStatus CandumpRecorder::Status() const {
    RecorderStatus status;
    std::lock_guard lock(mutex_);
    status.recording = accepting_;
    status.dropped = dropped_;
    status.failure = failure_;
    status.written = written_.load();
    return status;
}

void CandumpRecorder::writerLoop() {
    std::vector<RecordedFrame> batch;
    std::string text;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, kFlushInterval,
                           [&] { return pending_.size() >= kBatchFrames || stopping_; });
            if (pending_.empty()) {
                if (stopping_) return;
                continue;
            }
            batch.swap(pending_);
        }
        text.clear();
        for (const RecordedFrame& frame : batch) AppendCandumpLine(frame, busName_, text);
        std::string error;
        if (!sink_->write(text.data(), text.size(), &error)) {
            // What was written stays; the recording ends here.
            std::lock_guard lock(mutex_);
            failure_ = error;
            accepting_ = false;
            pending_.clear();
            return;
        }
        written_.fetch_add(batch.size());
        batch.clear();
    }
}

}  // namespace canopen_trace
