#include "decode_run.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "trace/core/candump_log.h"
#include "trace/core/emergency_codes.h"
#include "trace/core/sdo_block_tracker.h"
#include "trace/core/sdo_block_tracker.h"
#include "trace/core/trace_export.h"

namespace quordecode {
namespace {

using canopen_trace::CandumpLine;
using canopen_trace::CandumpLineKind;

constexpr std::size_t kMaxLogLineBytes = 4096;  // candump writes fewer than 100
constexpr const char* kLineTooLong = "line longer than 4096 characters";
constexpr std::size_t kReadChunk = 1 << 16;  // more than kMaxLogLineBytes
constexpr std::size_t kWriteChunk = 1 << 16;
// Descending order over a seekable input decodes the log in stretches of
// this many frames, the last stretch first, instead of holding every frame.
constexpr long kFramesPerStretch = 1 << 16;

// The lines of a stream, read in large chunks; a line may be of any length.
class LineReader {
public:
    explicit LineReader(std::istream& in) : in_(in), buffer_(kReadChunk) {}

    // The next line without its '\n'; false at the end of the input. A line
    // longer than kMaxLogLineBytes is read to its end but not kept: it comes
    // back empty with `tooLong` set, so an endless line never fills memory.
    bool next(std::string_view& line, bool& tooLong) {
        tooLong = false;
        for (;;) {
            const char* start = buffer_.data() + begin_;
            const std::size_t available = end_ - begin_;
            const void* end = std::memchr(start, '\n', available);
            if (end != nullptr || ended_) {
                if (end == nullptr && available == 0 && !skipping_) return false;
                const std::size_t length =
                    end != nullptr
                        ? static_cast<std::size_t>(static_cast<const char*>(end) - start)
                        : available;
                const std::size_t consumed = end != nullptr ? length + 1 : length;
                begin_ += consumed;
                offset_ += static_cast<std::streamoff>(consumed);
                tooLong = skipping_ || length > kMaxLogLineBytes;
                skipping_ = false;
                line = tooLong ? std::string_view() : std::string_view(start, length);
                return true;
            }
            if (available > kMaxLogLineBytes) {
                // Too long already: drop what is here and read on to its end.
                skipping_ = true;
                begin_ = end_;
                offset_ += static_cast<std::streamoff>(available);
            }
            fill();
        }
    }

    // Stream offset of the next line.
    std::streamoff offset() const { return offset_; }

    // Reads on from offset (a seekable stream); false when seeking failed.
    bool seek(std::streamoff offset) {
        in_.clear();
        in_.seekg(offset);
        begin_ = end_ = 0;
        ended_ = false;
        skipping_ = false;
        offset_ = offset;
        return !in_.fail();
    }

private:
    void fill() {
        if (begin_ > 0) {
            std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        }
        in_.read(buffer_.data() + end_, static_cast<std::streamsize>(buffer_.size() - end_));
        const std::streamsize n = in_.gcount();
        end_ += static_cast<std::size_t>(n);
        if (n == 0 || !in_) ended_ = true;
    }

    std::istream& in_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;  // first unread byte
    std::size_t end_ = 0;    // end of the bytes read
    bool ended_ = false;
    bool skipping_ = false;  // inside a line longer than kMaxLogLineBytes
    std::streamoff offset_ = 0;
};

// Writes the heading before the first row only, so an empty log gives an
// empty export. Rows are collected and written in large chunks.
class RowWriter {
public:
    RowWriter(std::ostream& out, const DecodeOptions& options, std::time_t savedAt)
        : out_(out),
          headingDue_(options.title),
          savedAt_(savedAt),
          buffer_(kWriteChunk + kTraceExportRowCapacity) {}

    void write(const TraceRecord& record, long number) {
        if (headingDue_) {
            WriteTraceExportHeading(out_, savedAt_);
            headingDue_ = false;
        }
        InterpretFrame(record, codes_, nullptr, line_);
        used_ += FormatTraceExportRow(buffer_.data() + used_, number, line_);
        if (used_ >= kWriteChunk) flush();
    }

    void flush() {
        out_.write(buffer_.data(), static_cast<std::streamsize>(used_));
        used_ = 0;
    }

private:
    std::ostream& out_;
    bool headingDue_;
    std::time_t savedAt_;
    TEmergencyCodes codes_;
    TraceLine line_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
};

// Writes held (frames first..first+held.size()-1) last first.
void writeReversed(const std::vector<TraceRecord>& held, long first, RowWriter& writer) {
    for (std::size_t i = held.size(); i-- > 0;) {
        writer.write(held[i], first + static_cast<long>(i));
    }
}

}  // namespace

int RunDecode(std::istream& in, std::ostream& out, std::ostream& errors,
              const DecodeOptions& options, std::time_t savedAt) {
    RowWriter writer(out, options, savedAt);
    LineReader reader(in);
    // Descending: where each stretch of frames starts, when the input can be
    // read again; otherwise every frame is held.
    const std::streamoff start = options.descending ? static_cast<std::streamoff>(in.tellg()) : -1;
    const bool stretches = start >= 0;
    if (stretches) reader.seek(start);
    std::vector<std::streamoff> stretchStarts;
    std::vector<TraceRecord> held;
    SdoBlockTracker blockTracker;       // sees the frames in log order
    std::vector<bool> blockSegments;    // per frame, for the stretches
    std::string_view text;
    long lineNumber = 0;
    long frames = 0;
    bool skipped = false;
    bool tooLong = false;
    for (std::streamoff lineStart = reader.offset(); reader.next(text, tooLong);
         lineStart = reader.offset()) {
        ++lineNumber;
        if (tooLong) {
            errors << "quordecode: line " << lineNumber << ": " << kLineTooLong << '\n';
            skipped = true;
            continue;
        }
        const CandumpLine line = canopen_trace::ParseCandumpLine(text);
        if (line.kind == CandumpLineKind::kBlank) continue;
        if (line.kind == CandumpLineKind::kMalformed) {
            errors << "quordecode: line " << lineNumber << ": " << line.error << '\n';
            skipped = true;
            continue;
        }
        TraceRecord record = line.record;
        if (blockTracker.Observe(record.identifier, record.length, record.data,
                                 (record.flags & kTraceFlagRemote) != 0)) {
            record.flags |= kTraceFlagSdoBlockSegment;
        }
        if (!options.descending) {
            writer.write(record, ++frames);
        } else if (stretches) {
            if (frames++ % kFramesPerStretch == 0) stretchStarts.push_back(lineStart);
            blockSegments.push_back((record.flags & kTraceFlagSdoBlockSegment) != 0);
        } else {
            held.push_back(record);
            ++frames;
        }
    }
    if (in.bad()) {
        errors << "quordecode: cannot read " << options.file << '\n';
        return kExitUsage;
    }
    if (stretches) {
        for (std::size_t s = stretchStarts.size(); s-- > 0;) {
            if (!reader.seek(stretchStarts[s])) {
                errors << "quordecode: cannot read " << options.file << '\n';
                return kExitUsage;
            }
            held.clear();
            while (static_cast<long>(held.size()) < kFramesPerStretch &&
                   reader.next(text, tooLong)) {
                if (tooLong) continue;
                const CandumpLine line = canopen_trace::ParseCandumpLine(text);
                if (line.kind != CandumpLineKind::kFrame) continue;
                TraceRecord record = line.record;
                const std::size_t number =
                    static_cast<std::size_t>(s) * kFramesPerStretch + held.size();
                if (number < blockSegments.size() && blockSegments[number])
                    record.flags |= kTraceFlagSdoBlockSegment;
                held.push_back(record);
            }
            writeReversed(held, static_cast<long>(s) * kFramesPerStretch + 1, writer);
        }
    } else if (options.descending) {
        writeReversed(held, 1, writer);
    }
    writer.flush();
    out.flush();
    if (!out) {
        errors << "quordecode: cannot write standard output\n";
        return kExitUsage;
    }
    return skipped ? kExitLinesSkipped : kExitDecoded;
}

}  // namespace quordecode
