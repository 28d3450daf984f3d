// SDO block transfers in the trace: the tracker tells sub-block segments from
// commands, the interpreter names every block step. Frame layouts as CiA 301
// gives them; the first rows are the examples of sdo_block_texts.h.
#include <gtest/gtest.h>

#include <span>
#include <string_view>
#include <vector>

#include "trace/core/canopen_interpreter.h"
#include "trace/core/emergency_codes.h"
#include "trace/core/sdo_block_tracker.h"
#include "trace/core/trace_buffer.h"
#include "trace_test_support.h"

namespace {

using tracetest::FrameFrom;

struct Row {
    const char* frame;
    const char* msgType;
    const char* details;
    const char* dataHex = "";
    const char* dataAscii = "";
};

constexpr const char* kDownloadRequest = "SDO Download Request";
constexpr const char* kDownloadResponse = "SDO Download Response";
constexpr const char* kUploadRequest = "SDO Upload Request";
constexpr const char* kUploadResponse = "SDO Upload Response";

// Feeds the rows in order through one tracker, as the trace buffer and
// quordecode do, and checks each interpreted line.
void CheckSequence(std::span<const Row> rows) {
    SdoBlockTracker tracker;
    TEmergencyCodes codes;
    TraceLine line;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.frame);
        TraceRecord record = FrameFrom(row.frame);
        if (tracker.Observe(record.identifier, record.length, record.data,
                            (record.flags & kTraceFlagRemote) != 0)) {
            record.flags |= kTraceFlagSdoBlockSegment;
        }
        InterpretFrame(record, codes, nullptr, line);
        EXPECT_EQ(line.text(kColMsgType), std::string_view(row.msgType));
        EXPECT_EQ(line.text(kColDetails), std::string_view(row.details));
        EXPECT_EQ(line.text(kColDataHex), std::string_view(row.dataHex));
        EXPECT_EQ(line.text(kColDataAscii), std::string_view(row.dataAscii));
    }
}

TEST(SdoBlockTrace, DownloadWithCrc) {
    const Row rows[] = {
        {"605#C60020000A000000", kDownloadRequest,
         "Index = 0x2000, Sub = 0x00, block, size = 10 bytes, CRC"},
        {"585#A40020007F000000", kDownloadResponse,
         "Index = 0x2000, Sub = 0x00, block, block size = 127, CRC"},
        {"605#0111223344556677", kDownloadRequest, "block segment, sequence = 1",
         "11 22 33 44 55 66 77 ", ".\"3DUfw"},
        {"605#828899AA00000000", kDownloadRequest, "block segment, sequence = 2, last segment",
         "88 99 AA 00 00 00 00 ", "......."},
        {"585#A2027F0000000000", kDownloadResponse, "block ack, sequence = 2, block size = 127"},
        {"605#D512340000000000", kDownloadRequest, "block end, 5 bytes unused, CRC = 0x3412"},
        {"585#A100000000000000", kDownloadResponse, "block end"},
        // Afterwards the same bytes are commands again.
        {"605#0111223344556677", kDownloadRequest, "toggle = 0, last segment",
         "11 22 33 44 55 66 77 ", ".\"3DUfw"},
    };
    CheckSequence(rows);
}

TEST(SdoBlockTrace, UploadWithCrcAndThreshold) {
    const Row rows[] = {
        {"605#A40020007F150000", kUploadRequest,
         "Index = 0x2000, Sub = 0x00, block, block size = 127, threshold = 21, CRC"},
        {"585#C60020000A000000", kUploadResponse,
         "Index = 0x2000, Sub = 0x00, block, size = 10 bytes, CRC"},
        {"605#A300000000000000", kUploadRequest, "block start"},
        {"585#0141424344454647", kUploadResponse, "block segment, sequence = 1",
         "41 42 43 44 45 46 47 ", "ABCDEFG"},
        {"585#8248494A00000000", kUploadResponse, "block segment, sequence = 2, last segment",
         "48 49 4A 00 00 00 00 ", "HIJ...."},
        {"605#A2027F0000000000", kUploadRequest, "block ack, sequence = 2, block size = 127"},
        {"585#D512340000000000", kUploadResponse, "block end, 5 bytes unused, CRC = 0x3412"},
        {"605#A100000000000000", kUploadRequest, "block end"},
        {"585#0141424344454647", kUploadResponse, "toggle = 0, last segment",
         "41 42 43 44 45 46 47 ", "ABCDEFG"},
    };
    CheckSequence(rows);
}

// Two sub-blocks of two segments, the second acknowledged short: the client
// sends the rest again, numbered from 1, and only then the end.
TEST(SdoBlockTrace, SubBlocksAndARepeatedSegment) {
    const Row rows[] = {
        {"605#C000300100000000", kDownloadRequest, "Index = 0x3000, Sub = 0x01, block"},
        {"585#A000300102000000", kDownloadResponse,
         "Index = 0x3000, Sub = 0x01, block, block size = 2"},
        {"605#0101010101010101", kDownloadRequest, "block segment, sequence = 1",
         "01 01 01 01 01 01 01 ", "......."},
        {"605#0202020202020202", kDownloadRequest, "block segment, sequence = 2",
         "02 02 02 02 02 02 02 ", "......."},
        {"585#A2020200", kDownloadResponse, "block ack, sequence = 2, block size = 2"},
        {"605#0103030303030303", kDownloadRequest, "block segment, sequence = 1",
         "03 03 03 03 03 03 03 ", "......."},
        {"605#8204040404040404", kDownloadRequest, "block segment, sequence = 2, last segment",
         "04 04 04 04 04 04 04 ", "......."},
        {"585#A2010200", kDownloadResponse, "block ack, sequence = 1, block size = 2"},
        {"605#8104040404040404", kDownloadRequest, "block segment, sequence = 1, last segment",
         "04 04 04 04 04 04 04 ", "......."},
        {"585#A2010200", kDownloadResponse, "block ack, sequence = 1, block size = 2"},
        {"605#C1", kDownloadRequest, "block end, 0 bytes unused, CRC = 0x0000"},
        {"585#A1", kDownloadResponse, "block end"},
    };
    CheckSequence(rows);
}

// An abort from either side, or a server that answers a block upload with a
// segmented one (protocol switch), ends the block; frames of other nodes
// never count.
TEST(SdoBlockTrace, AbortsSwitchesAndOtherNodes) {
    const Row rows[] = {
        {"606#C000300100000000", kDownloadRequest, "Index = 0x3000, Sub = 0x01, block"},
        {"586#A000300107000000", kDownloadResponse,
         "Index = 0x3000, Sub = 0x01, block, block size = 7"},
        {"605#0111223344556677", kDownloadRequest, "toggle = 0, last segment",
         "11 22 33 44 55 66 77 ", ".\"3DUfw"},  // node 5 is not in a block
        {"606#0111223344556677", kDownloadRequest, "block segment, sequence = 1",
         "11 22 33 44 55 66 77 ", ".\"3DUfw"},
        {"586#8000300104000405", "SDO Abort by Server", "CRC error"},
        {"606#0211223344556677", kDownloadRequest, "toggle = 0", "11 22 33 44 55 66 ", ".\"3DUf"},
        {"605#A000200000000000", kUploadRequest,
         "Index = 0x2000, Sub = 0x00, block, block size = 0, threshold = 0"},
        {"585#4300200001020304", kUploadResponse, "expedited", "01 02 03 04 ", "...."},
        {"605#A300000000000000", kUploadRequest, "block start"},
        {"585#0141424344454647", kUploadResponse, "toggle = 0, last segment",
         "41 42 43 44 45 46 47 ", "ABCDEFG"},
        // The client aborts in the middle of a sub-block.
        {"605#A400200010000000", kUploadRequest,
         "Index = 0x2000, Sub = 0x00, block, block size = 16, threshold = 0, CRC"},
        {"585#C200200000010000", kUploadResponse,
         "Index = 0x2000, Sub = 0x00, block, size = 256 bytes"},
        {"605#A3", kUploadRequest, "block start"},
        {"585#0141424344454647", kUploadResponse, "block segment, sequence = 1",
         "41 42 43 44 45 46 47 ", "ABCDEFG"},
        {"605#8000200000000008", "SDO Abort by Client", "General error"},
        {"585#0241424344454647", kUploadResponse, "toggle = 0", "41 42 43 44 45 46 ", "ABCDEF"},
    };
    CheckSequence(rows);
}

// Specifiers that are no block command keep their earlier texts.
TEST(SdoBlockTrace, OtherSpecifiersStayUnknown) {
    const Row rows[] = {
        {"585#A300000000000000", "SDO Response", "Unknown", "A3 00 00 00 00 00 00 00 ", "........"},
        {"585#E000000000000000", "SDO Response", "Unknown", "E0 00 00 00 00 00 00 00 ", "........"},
        {"605#E1020304", "SDO Request", "Unknown", "E1 02 03 04 ", "...."},
        {"5C5#A2", kDownloadResponse, "block ack, sequence = 0, block size = 0"},  // short frame
    };
    CheckSequence(rows);
}

// The trace buffer marks segments as it stores them, also while the node
// filter or a stopped trace keeps frames out.
TEST(SdoBlockTrace, TheTraceBufferMarksSegments) {
    TTraceBuffer buffer;
    const auto store = [&](const char* text) {
        const TraceRecord r = FrameFrom(text);
        buffer.Store(r.identifier, r.length, 6, 0, false, false, r.data);
    };
    buffer.SetMonitorAll(false);  // node 6 only
    store("605#C000300100000000");
    store("585#A000300107000000");
    buffer.SetMonitorAll(true);
    store("605#0111223344556677");
    buffer.Stop();
    store("605#8211223344556677");
    buffer.Start();
    store("585#A2020700");
    store("605#C5");
    std::vector<TraceRecord> read(TTraceBuffer::kCapacity);
    const TraceReadResult result = buffer.ReadRecent(-1, read.data());
    ASSERT_EQ(result.copied, 3u);
    EXPECT_EQ(read[2].flags, kTraceFlagSdoBlockSegment);  // oldest: the segment
    EXPECT_EQ(read[1].flags, 0);                          // the ack
    EXPECT_EQ(read[0].flags, 0);                          // the end
}

}  // namespace
