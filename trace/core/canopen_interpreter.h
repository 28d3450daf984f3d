// Turns one traced frame into the nine texts of a trace line, decoding the
// CANopen predefined connection set (NMT, SYNC, TIME, emergency, SDO, NMT
// error control). Free of Qt: serves the trace window, the export and the
// offline decoder. Thread: whichever calls it (the emergency lookup locks).
#pragma once

#include <array>
#include <cstddef>
#include <string>
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

// Interprets `record` into `line`. Data bytes beyond the record's length
// read as zero. `names` may be nullptr (no message names); the first message
// on the record's identifier names it, a disabled one adds only the space.
void InterpretFrame(const TraceRecord& record, TEmergencyCodes& codes, const MessageNames* names,
                    TraceLine& line);
// The same with the message name looked up before: nullptr when no message
// uses the identifier, else the name appended to Msg Type after a space.
void InterpretNamedFrame(const TraceRecord& record, TEmergencyCodes& codes, const std::string* name,
                         TraceLine& line);
