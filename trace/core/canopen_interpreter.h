// Turns one traced frame into the nine texts of a trace line, decoding the
// CANopen predefined connection set (NMT, SYNC, TIME, emergency, SDO, NMT
// error control). Free of Qt: serves the trace window, the export and the
// offline decoder. Thread: whichever calls it (the emergency lookup locks).
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "trace/core/trace_record.h"

class TEmergencyCodes;
class MessageNames;

// The columns of a trace line, in display order.
enum TraceColumn : std::size_t {
    kColDir = 0,
    kColCnt,
    kColMsgId,
    kColMsgType,
    kColNodeId,
    kColDetails,
    kColDataHex,
    kColDataAscii,
    kColRaw,
    kTraceColumnCount
};

// One interpreted line: nine NUL-terminated texts of at most 99 characters.
// Fixed storage, so interpreting allocates nothing.
struct TraceLine {
    static constexpr std::size_t kTextSize = 100;
    std::array<std::array<char, kTextSize>, kTraceColumnCount> texts{};

    std::string_view text(TraceColumn column) const;
};

// Interprets `record` into `line`. `names` may be nullptr (no message names).
void InterpretFrame(const TraceRecord& record, TEmergencyCodes& codes, const MessageNames* names,
                    TraceLine& line);
