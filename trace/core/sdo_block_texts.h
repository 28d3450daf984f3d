// Texts of the SDO block transfer frames (CiA 301) in a trace line, in the
// style of the segmented rows: the Msg Type names the direction as for any
// SDO frame, Details say which block step it is.
//
//   605 C6 00 20 00 0A 00 00 00  SDO Download Request   Index = 0x2000, Sub = 0x00, block, size =
//   10 bytes, CRC 585 A4 00 20 00 7F 00 00 00  SDO Download Response  Index = 0x2000, Sub = 0x00,
//   block, block size = 127, CRC 605 01 11 22 33 44 55 66 77  SDO Download Request   block segment,
//   sequence = 1     (data 11 .. 77) 605 82 88 99 AA 00 00 00 00  SDO Download Request   block
//   segment, sequence = 2, last segment 585 A2 02 7F 00 00 00 00 00  SDO Download Response  block
//   ack, sequence = 2, block size = 127 605 D5 12 34 00 00 00 00 00  SDO Download Request   block
//   end, 5 bytes unused, CRC = 0x3412 585 A1 00 00 00 00 00 00 00  SDO Download Response  block end
//   605 A4 00 20 00 7F 15 00 00  SDO Upload Request     Index = 0x2000, Sub = 0x00, block, block
//   size = 127, threshold = 21, CRC 585 C6 00 20 00 0A 00 00 00  SDO Upload Response    Index =
//   0x2000, Sub = 0x00, block, size = 10 bytes, CRC 605 A3 00 00 00 00 00 00 00  SDO Upload Request
//   block start 605 A2 02 7F 00 00 00 00 00  SDO Upload Request     block ack, sequence = 2, block
//   size = 127 585 D5 12 34 00 00 00 00 00  SDO Upload Response    block end, 5 bytes unused, CRC =
//   0x3412 605 A1 00 00 00 00 00 00 00  SDO Upload Request     block end
//
// A segment is recognised by the trace record's kTraceFlagSdoBlockSegment
// (set by SdoBlockTracker), everything else by its command byte. Bytes beyond
// the record's length read as 0. Thread: whichever calls it.
#pragma once

#include "trace/core/trace_record.h"
#include "trace/core/trace_text.h"

namespace canopen_trace {

// The texts a block frame fills; the caller's builders, empty on entry.
struct SdoBlockTexts {
    TextBuilder& msgType;
    TextBuilder& details;
    TextBuilder& dataHex;
    TextBuilder& dataAscii;
};

// Fill the texts and return true for a block transfer frame on a request
// (0x600 + node) or response (0x580 + node) identifier; false, touching
// nothing, for any other frame.
bool DescribeSdoBlockRequest(const TraceRecord& record, SdoBlockTexts& out);
bool DescribeSdoBlockResponse(const TraceRecord& record, SdoBlockTexts& out);

}  // namespace canopen_trace
