#include "decode_run.h"

#include <istream>
#include <string>
#include <vector>

#include "trace/core/candump_log.h"
#include "trace/core/emergency_codes.h"
#include "trace/core/trace_export.h"

namespace quordecode {
namespace {

using canopen_trace::CandumpLine;
using canopen_trace::CandumpLineKind;

constexpr std::size_t kMaxLogLineBytes = 4096;  // candump writes fewer than 100
constexpr const char* kLineTooLong = "line longer than 4096 characters";

// Writes the heading before the first row only, so an empty log gives an
// empty export.
class RowWriter {
public:
    RowWriter(std::ostream& out, const DecodeOptions& options, std::time_t savedAt)
        : out_(out), headingDue_(options.title), savedAt_(savedAt) {}

    void write(const TraceRecord& record, long number) {
        if (headingDue_) {
            WriteTraceExportHeading(out_, savedAt_);
            headingDue_ = false;
        }
        InterpretFrame(record, codes_, nullptr, line_);
        WriteTraceExportRow(out_, number, line_);
    }

private:
    std::ostream& out_;
    bool headingDue_;
    std::time_t savedAt_;
    TEmergencyCodes codes_;
    TraceLine line_;
};

// Reads one line without its '\n' into `text`, keeping at most
// kMaxLogLineBytes of it: a longer line is read to its end and reported by
// `too_long`, so an endless line never fills the memory. False at the end.
bool ReadLine(std::istream& in, std::string& text, bool& too_long) {
    text.clear();
    too_long = false;
    std::streambuf* buffer = in.rdbuf();
    if (buffer == nullptr || !in.good()) return false;
    for (bool any = false;; any = true) {
        int c = 0;
        try {
            c = buffer->sbumpc();
        } catch (...) {
            // A read error (a folder, a failing disk): the caller reports it.
            in.setstate(std::ios::badbit);
            return false;
        }
        if (c == std::char_traits<char>::eof()) {
            in.setstate(any ? std::ios::eofbit : std::ios::eofbit | std::ios::failbit);
            return any;
        }
        if (c == '\n') return true;
        if (text.size() < kMaxLogLineBytes) {
            text.push_back(static_cast<char>(c));
        } else {
            too_long = true;
        }
    }
}

}  // namespace

int RunDecode(std::istream& in, std::ostream& out, std::ostream& errors,
              const DecodeOptions& options, std::time_t savedAt) {
    RowWriter writer(out, options, savedAt);
    std::vector<TraceRecord> held;  // descending order only
    std::string text;
    long lineNumber = 0;
    long frames = 0;
    bool skipped = false;
    bool too_long = false;
    while (ReadLine(in, text, too_long)) {
        ++lineNumber;
        if (too_long) {
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
        ++frames;
        if (options.descending) {
            held.push_back(line.record);
        } else {
            writer.write(line.record, frames);
        }
    }
    if (in.bad()) {
        errors << "quordecode: cannot read " << options.file << '\n';
        return kExitUsage;
    }
    if (options.descending) {
        for (long number = frames; number >= 1; --number) {
            writer.write(held[static_cast<std::size_t>(number - 1)], number);
        }
    }
    out.flush();
    if (!out) {
        errors << "quordecode: cannot write standard output\n";
        return kExitUsage;
    }
    return skipped ? kExitLinesSkipped : kExitDecoded;
}

}  // namespace quordecode
