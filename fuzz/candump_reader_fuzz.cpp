// The candump log reader: single lines through ParseCandumpLine, and the
// whole input through quordecode's decoding pass (line reader, interpreter,
// export) in both orders.
#include <sstream>
#include <string>
#include <string_view>

#include "trace/quordecode/decode_options.h"
#include "trace/quordecode/decode_run.h"
#include "fuzz_targets.h"
#include "protocol/can_frame.h"
#include "trace/core/candump_log.h"

namespace quorvane_fuzz {

int FuzzCandumpReader(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const canopen_trace::CandumpLine line =
            canopen_trace::ParseCandumpLine(text.substr(start, end - start));
        if (line.kind == canopen_trace::CandumpLineKind::kMalformed)
            FUZZ_CHECK(!line.error.empty());
        if (line.kind == canopen_trace::CandumpLineKind::kFrame) {
            FUZZ_CHECK(line.error.empty());
            FUZZ_CHECK(line.record.length <= 8);
        }
        start = end + 1;
    }
    for (const bool descending : {false, true}) {
        std::istringstream in{std::string(text)};
        std::ostringstream out, errors;
        quordecode::DecodeOptions options;
        options.descending = descending;
        const int code = quordecode::RunDecode(in, out, errors, options, 0);
        FUZZ_CHECK(code == quordecode::kExitDecoded || code == quordecode::kExitLinesSkipped);
        FUZZ_CHECK((code == quordecode::kExitLinesSkipped) == !errors.str().empty());
    }
    return 0;
}

}  // namespace quorvane_fuzz
