// The decoding pass of quordecode: candump log lines in, trace export out.
#pragma once

#include <ctime>
#include <istream>
#include <ostream>

#include "decode_options.h"

namespace quordecode {

// Reads `in` to its end and writes the export to `out`, malformed lines to
// `errors`. Log order streams line by line. Descending order reads a
// seekable input twice: the first pass counts the frames and notes where
// each stretch of 65536 frames starts, the second decodes the stretches last
// first, so memory stays small; from a pipe it keeps the decoded frames (one
// TraceRecord each) until the end. `savedAt` is the moment named in the
// title. Returns kExitDecoded, kExitLinesSkipped, or kExitUsage when reading
// or writing failed.
int RunDecode(std::istream& in, std::ostream& out, std::ostream& errors,
              const DecodeOptions& options, std::time_t savedAt);

}  // namespace quordecode
