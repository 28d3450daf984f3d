// Reads the lines of a can-utils candump log (candump -l, -L), one frame a
// line: "(SECONDS.MICROSECONDS) INTERFACE FRAME". FRAME as can-utils writes
// it for classic CAN:
//
//   (1436509052.249713) can0 701#05        standard identifier: 3 hex digits
//   (1436509052.249713) can0 00000605#40   extended identifier: 4 to 8 hex digits
//   (1436509052.249713) vcan0 080#         no data (length 0)
//   (1436509052.249713) can0 701#R         remote frame, length 0
//   (1436509052.249713) can0 701#R1        remote frame, length 1 (newer can-utils)
//   (1436509052.249713) can0 123#1122334455667788_9   8 bytes, raw DLC 9 ignored
//
// Data is contiguous hex pairs (either case), at most 8 bytes. Not accepted,
// each with its reason: CAN FD frames ("123##0..."), error frames (identifier
// with 0x20000000 set), "." separators in the data (candump's screen format,
// not the log), standard identifiers above 0x7FF, anything after the frame.
#pragma once

#include <string_view>

#include "trace/core/trace_record.h"

namespace canopen_trace {

enum class CandumpLineKind {
    kFrame,      // record holds the frame
    kBlank,      // empty or only white space: no frame, no fault
    kMalformed,  // error names the fault
};

struct CandumpLine {
    CandumpLineKind kind = CandumpLineKind::kBlank;
    TraceRecord record;      // direction 0 (received), count 1
    std::string_view error;  // static text, set for kMalformed
};

// Parses one line (without or with its line end).
CandumpLine ParseCandumpLine(std::string_view line);

}  // namespace canopen_trace
