// The comma-separated export of a trace: a title line, a column line and one
// line per record, each record interpreted as in the trace window. Free of Qt.
#pragma once

#include <cstddef>
#include <ctime>
#include <ostream>

#include "trace/core/canopen_interpreter.h"
#include "trace/core/frame_name.h"
#include "trace/core/trace_record.h"

class TEmergencyCodes;

// Writes `count` records to `out`. `records` are in ascending order: the
// continuous trace newest first, the static trace lowest identifier first.
// Ascending writes them in that order numbered 1..count; descending writes
// them in reverse numbered count..1. Nothing at all (no title) when count
// is 0. `names` holds each record's message name as the trace window took it
// (nullptr: none). `savedAt` is the moment named in the title (local time).
// Returns false when writing failed.
bool WriteTraceExport(std::ostream& out, const TraceRecord* records, std::size_t count,
                      bool descending, TEmergencyCodes& codes, const FrameName* names,
                      std::time_t savedAt);

// The pieces of the export, for writers that produce rows one at a time.
// Title line ("Quorvane Trace saved on: Sun Mar 08 14:07:01 2009,,,,,,,,",
// local time, English names) and column line.
void WriteTraceExportHeading(std::ostream& out, std::time_t savedAt);
// One row: `number`, then the nine texts of `line`. A field holding a comma,
// a double quote or a line break is enclosed in double quotes, its double
// quotes doubled; every other field is written as it is.
void WriteTraceExportRow(std::ostream& out, long number, const TraceLine& line);

// The same row into `buffer` of at least kTraceExportRowCapacity bytes;
// returns its length (newline included, no terminating zero counted).
inline constexpr std::size_t kTraceExportRowCapacity =
    kTraceColumnCount * (2 * TraceLine::kTextSize + 3) + 32;
std::size_t FormatTraceExportRow(char* buffer, long number, const TraceLine& line);
