#include "decode_run.h"

#include <string>
#include <vector>

#include "trace/core/candump_log.h"
#include "trace/core/emergency_codes.h"
#include "trace/core/sdo_block_tracker.h"
#include "trace/core/trace_export.h"

namespace quordecode {
namespace {

using canopen_trace::CandumpLine;
using canopen_trace::CandumpLineKind;

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

}  // namespace

int RunDecode(std::istream& in, std::ostream& out, std::ostream& errors,
              const DecodeOptions& options, std::time_t savedAt) {
    RowWriter writer(out, options, savedAt);
    SdoBlockTracker blockTracker;   // sees the frames in log order
    std::vector<TraceRecord> held;  // descending order only
    std::string text;
    long lineNumber = 0;
    long frames = 0;
    bool skipped = false;
    while (std::getline(in, text)) {
        ++lineNumber;
        const CandumpLine line = canopen_trace::ParseCandumpLine(text);
        if (line.kind == CandumpLineKind::kBlank) continue;
        if (line.kind == CandumpLineKind::kMalformed) {
            errors << "quordecode: line " << lineNumber << ": " << line.error << '\n';
            skipped = true;
            continue;
        }
        ++frames;
        TraceRecord record = line.record;
        if (blockTracker.Observe(record.identifier, record.length, record.data,
                                 (record.flags & kTraceFlagRemote) != 0)) {
            record.flags |= kTraceFlagSdoBlockSegment;
        }
        if (options.descending) {
            held.push_back(record);
        } else {
            writer.write(record, frames);
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
