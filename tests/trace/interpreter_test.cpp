#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "trace/canopen_interpreter.h"
#include "trace/emergency_codes.h"
#include "trace_test_support.h"

namespace {

using tracetest::FakeNames;
using tracetest::FrameFrom;

// A frame (see FrameFrom) and the decoded columns it must give.
struct Row {
    const char* frame;
    const char* msgType;
    const char* nodeId;
    const char* details;
    const char* dataHex;
    const char* dataAscii;
};

// Interprets every row into the same line, so text left over from an
// earlier row shows up as a failure.
void CheckRows(std::span<const Row> rows) {
    TEmergencyCodes codes;
    TraceLine line;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.frame);
        InterpretFrame(FrameFrom(row.frame), codes, nullptr, line);
        EXPECT_EQ(line.text(kColMsgType), std::string_view(row.msgType));
        EXPECT_EQ(line.text(kColNodeId), std::string_view(row.nodeId));
        EXPECT_EQ(line.text(kColDetails), std::string_view(row.details));
        EXPECT_EQ(line.text(kColDataHex), std::string_view(row.dataHex));
        EXPECT_EQ(line.text(kColDataAscii), std::string_view(row.dataAscii));
    }
}

TEST(InterpreterTest, NmtSyncEmergencyAndOtherIdentifiers) {
    const Row rows[] = {
        {"000#0100", "NMT Master Request", "All", "Operational", "", ""},
        {"000#8205", "NMT Master Request", "05 (5d)", "Reset Communication", "", ""},
        {"000#027F", "NMT Master Request", "7F (127d)", "Stop", "", ""},
        {"000#801A", "NMT Master Request", "1A (26d)", "Pre-Operational", "", ""},
        {"000#8100", "NMT Master Request", "All", "Reset", "", ""},
        {"000#0300", "NMT Master Request", "All", "Unknown", "", ""},
        {"000#01FF", "NMT Master Request", "FF (255d)", "Operational", "", ""},  // node > 127
        {"080#05", "SYNC", "", "", "", ""},
        {"085#1023010000000000", "Emergency", "05 (5d)", "Current, device output side",
         "00 00 00 00 00 ", "....."},  // class match
        {"0FF#10811148697E7F20", "Emergency", "7F (127d)", "CAN Overrun (Objects lost)",
         "48 69 7E 7F 20 ", "Hi~. "},
        {"081#00000041", "Emergency", "01 (1d)", "Error Reset/No Error", "41 ", "A"},
        {"081#005001", "Emergency", "01 (1d)", "Device Hardware", "", ""},
        {"081#", "Emergency", "01 (1d)", "Error Reset/No Error", "", ""},
        {"181#4100FF", "", "", "COB-ID: 0x181", "41 00 FF ", "A.."},  // PDO
        {"181#", "", "", "COB-ID: 0x181", "", ""},
        {"001#01", "", "", "COB-ID: 0x1", "01 ", "."},    // node-number identifier below 0x80
        {"17F#", "", "", "COB-ID: 0x17F", "", ""},        // group 0x100 beside TIME
        {"7E5#04", "", "", "COB-ID: 0x7E5", "04 ", "."},  // LSS
        {"57F#", "", "", "COB-ID: 0x57F", "", ""},
        {"10000605#23", "", "", "COB-ID: 0x10000605", "23 ", "#"},
        {"00000605#2300100011223344", "SDO Download Request", "05 (5d)",
         "Index = 0x1000, Sub = 0x00, expedited", "11 22 33 44 ", ".\"3D"},
        {"00000000#0100", "NMT Master Request", "All", "Operational", "", ""},
    };
    CheckRows(rows);
}

TEST(InterpreterTest, SdoRequestsEverySpecifierAndSizeBits) {
    const char* const kDownload = "SDO Download Request";
    const Row rows[] = {
        {"605#0061626364656667", kDownload, "05 (5d)", "toggle = 0", "61 62 63 64 65 66 67 ",
         "abcdefg"},
        {"605#1B01020000000000", kDownload, "05 (5d)", "toggle = 1, last segment", "01 02 ", ".."},
        {"605#0E00000000000000", kDownload, "05 (5d)", "toggle = 0", "", ""},  // 7 bytes unused
        {"605#2018100100000000", kDownload, "05 (5d)", "Index = 0x1018, Sub = 0x01, fragmented", "",
         ""},
        {"605#210020FE10270000", kDownload, "05 (5d)",
         "Index = 0x2000, Sub = 0xFE, fragmented, size = 10000 bytes", "", ""},
        {"605#21002000FFFFFFFF", kDownload, "05 (5d)",
         "Index = 0x2000, Sub = 0x00, fragmented, size = -1 bytes", "", ""},
        {"605#2200600001020304", kDownload, "05 (5d)", "Index = 0x6000, Sub = 0x00, expedited",
         "01 02 03 04 ", "...."},
        {"605#2F17100041424344", kDownload, "05 (5d)", "Index = 0x1017, Sub = 0x00, expedited",
         "41 ", "A"},
        {"605#2300100011223344", kDownload, "05 (5d)", "Index = 0x1000, Sub = 0x00, expedited",
         "11 22 33 44 ", ".\"3D"},
        {"67F#4041600000000000", "SDO Upload Request", "7F (127d)", "Index = 0x6041, Sub = 0x00",
         "", ""},
        {"601#7000000000000000", "SDO Upload Request", "01 (1d)", "toggle = 1", "", ""},
        {"601#6000000000000000", "SDO Upload Request", "01 (1d)", "toggle = 0", "", ""},
        {"605#8000100000000405", "SDO Abort by Client", "05 (5d)", "SDO protocol timed out", "",
         ""},
        {"605#8000100078563412", "SDO Abort by Client", "05 (5d)", "Unknown reason", "", ""},
        {"605#A00102", "SDO Request", "05 (5d)", "Unknown", "A0 01 02 ", "..."},  // block upload
        {"605#C641", "SDO Request", "05 (5d)", "Unknown", "C6 41 ", ".A"},        // block download
        {"605#E0", "SDO Request", "05 (5d)", "Unknown", "E0 ", "."},
    };
    CheckRows(rows);
}

TEST(InterpreterTest, SdoResponsesEverySpecifierAndSizeBits) {
    const char* const kUpload = "SDO Upload Response";
    const char* const kAbort = "SDO Abort by Server";
    const Row rows[] = {
        {"585#0031323334353637", kUpload, "05 (5d)", "toggle = 0", "31 32 33 34 35 36 37 ",
         "1234567"},
        {"585#1D5A000000000000", kUpload, "05 (5d)", "toggle = 1, last segment", "5A ", "Z"},
        {"585#2000000000000000", "SDO Download Response", "05 (5d)", "toggle = 0", "", ""},
        {"585#3000000000000000", "SDO Download Response", "05 (5d)", "toggle = 1", "", ""},
        {"585#4008100000000000", kUpload, "05 (5d)", "fragmented", "", ""},
        {"585#410810002C010000", kUpload, "05 (5d)", "fragmented, size = 300 bytes", "", ""},
        {"585#4200100091010F00", kUpload, "05 (5d)", "expedited", "91 01 0F 00 ", "...."},
        {"585#4B00100034120000", kUpload, "05 (5d)", "expedited", "34 12 ", "4."},
        {"585#4F001000AB000000", kUpload, "05 (5d)", "expedited", "AB ", "."},
        {"585#6000100000000000", "SDO Download Response", "05 (5d)", "", "", ""},
        {"585#8000100000000206", kAbort, "05 (5d)",
         "Object does not exist in the object dictionary", "", ""},
        {"585#8000000023000008", kAbort, "05 (5d)",
         "Object Dictionary dynamic generation failed/No Object Dictionary present", "", ""},
        {"585#8000100078563412", kAbort, "05 (5d)", "Unknown reason", "", ""},
        {"585#8000000001000206", kAbort, "05 (5d)", "Unknown reason", "", ""},  // near a listed one
        {"5FF#A47F41", "SDO Response", "7F (127d)", "Unknown", "A4 7F 41 ", "..A"},
        {"581#C0", "SDO Response", "01 (1d)", "Unknown", "C0 ", "."},
        {"581#FF20", "SDO Response", "01 (1d)", "Unknown", "FF 20 ", ". "},
    };
    CheckRows(rows);
}

TEST(InterpreterTest, ErrorControlStates) {
    const char* const kState = "Node Guarding/Heartbeat";
    const Row rows[] = {
        {"705#R", "Node Guard Request", "05 (5d)", "", "", ""},
        {"705#R05", "Node Guard Request", "05 (5d)", "", "", ""},
        {"705#05", kState, "05 (5d)", "Operational", "", ""},
        {"705#85", kState, "05 (5d)", "Operational", "", ""},  // toggle bit set
        {"77F#04", kState, "7F (127d)", "Stopped", "", ""},
        {"701#7F", kState, "01 (1d)", "Pre-Operational", "", ""},
        {"701#FF", kState, "01 (1d)", "Pre-Operational", "", ""},
        {"701#02", kState, "01 (1d)", "Unknown", "", ""},
        {"705#00", "Bootup", "05 (5d)", "", "", ""},
        {"705#80", "Bootup", "05 (5d)", "", "", ""},
        {"700#05", kState, "00 (0d)", "Operational", "", ""},
        {"00000705#05", kState, "05 (5d)", "Operational", "", ""},
    };
    CheckRows(rows);
}

TEST(InterpreterTest, TimeOfDayInUtc) {
    tracetest::ScopedTimeZone zone("UTC");
    const Row rows[] = {
        {"100#000000000000", "TIME", "", "01-Jan-1984 00:00:00:000", "00 00 00 00 00 00 ",
         "......"},
        {"100#", "TIME", "", "01-Jan-1984 00:00:00:000", "", ""},  // whatever the length
        {"100#804A5D050000", "TIME", "", "02-Jan-1984 01:00:00:000", "80 4A 5D 05 00 00 ",
         ".J]..."},  // more than a day of milliseconds
        {"100#952CB3F2EB23", "TIME", "", "05-Mar-2009 12:34:56:789", "95 2C B3 F2 EB 23 ",
         ".,...#"},  // top milliseconds bits ignored
        {"100#952CB302E64F", "TIME", "", "01-Jan-2040 12:34:56:789", "95 2C B3 02 E6 4F ",
         ".,...O"},
        {"100#FFFFFFFFFFFF", "TIME", "", "09-Jun-2163 02:33:55:455", "FF FF FF FF FF FF ",
         "......"},
    };
    CheckRows(rows);
}

TEST(InterpreterTest, TimeOfDayStartsAtStandardTimeAndFollowsDaylightSaving) {
    tracetest::ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    TEmergencyCodes codes;
    TraceLine line;
    const std::pair<const char*, const char*> cases[] = {
        {"100#827807030000", "01-Jan-1984 14:07:01:250"},  // 50821250 ms on day 0
        {"100#82780703EB23", "05-Mar-2009 14:07:01:250"},  // day 9195: winter
        {"100#827807036124", "01-Jul-2009 15:07:01:250"},  // day 9313: summer, one hour on
    };
    for (const auto& [frame, details] : cases) {
        SCOPED_TRACE(frame);
        InterpretFrame(FrameFrom(frame), codes, nullptr, line);
        EXPECT_EQ(line.text(kColDetails), details);
    }
}

TEST(InterpreterTest, FixedColumnsDirectionCountIdentifierRaw) {
    struct Case {
        const char* frame;
        uint8_t direction;
        uint32_t count;
        const char* dir;
        const char* cnt;
        const char* msgId;
        const char* raw;
    };
    const Case cases[] = {
        {"000#0100", 0, 1, "Rx", "1", "000", "01 00 "},
        {"080#05", 1, 12, "Tx", "12", "080", "05 "},
        {"7FF#", 2, 4294967295u, "Rx", "4294967295", "7FF", ""},
        {"00000605#2300100011223344", 1, 0, "Tx", "0", "00000605", "23 00 10 00 11 22 33 44 "},
        {"1FFFFFFF#AB", 0, 1, "Rx", "1", "1FFFFFFF", "AB "},
        {"705#R", 0, 1, "Rx", "1", "705", ""},
    };
    TEmergencyCodes codes;
    TraceLine line;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frame);
        TraceRecord record = FrameFrom(c.frame);
        record.direction = c.direction;
        record.count = c.count;
        InterpretFrame(record, codes, nullptr, line);
        EXPECT_EQ(line.text(kColDir), c.dir);
        EXPECT_EQ(line.text(kColCnt), c.cnt);
        EXPECT_EQ(line.text(kColMsgId), c.msgId);
        EXPECT_EQ(line.text(kColRaw), c.raw);
    }

    // Raw and data stop at eight bytes of an overlong record.
    TraceRecord overlong = FrameFrom("181#0102030405060708");
    overlong.length = 200;
    InterpretFrame(overlong, codes, nullptr, line);
    EXPECT_EQ(line.text(kColRaw), "01 02 03 04 05 06 07 08 ");
    EXPECT_EQ(line.text(kColDataHex), "01 02 03 04 05 06 07 08 ");
}

TEST(InterpreterTest, MessageNamesFirstMatchOnly) {
    struct Case {
        FakeNames names;
        const char* frame;
        std::string msgType;
    };
    const std::string longName(150, 'n');
    const Case cases[] = {
        {{{0x201, "Motor speed"}}, "201#10", "Motor speed"},
        {{{0x605, "Motor speed"}}, "605#2300100001020304", "SDO Download Request Motor speed"},
        {{{0x300, "other"}, {0x201, "first"}, {0x201, "second"}}, "201#", "first"},
        // A disabled match ends the search, also on an unnamed type.
        {{{0x605, ""}, {0x605, "enabled"}}, "605#4000100000000000", "SDO Upload Request "},
        {{{0x201, ""}, {0x201, "enabled"}}, "201#", ""},
        {{{0x201, "Motor speed"}}, "00000201#R", "Motor speed"},  // flags ignored
        {{{0x202, "Motor speed"}}, "201#", ""},
        {{}, "080#", "SYNC"},
        {{{0x201, longName}}, "201#", longName.substr(0, TraceLine::kTextSize - 1)},
    };
    TEmergencyCodes codes;
    TraceLine line;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.msgType);
        InterpretFrame(FrameFrom(c.frame), codes, &c.names, line);
        EXPECT_EQ(line.text(kColMsgType), c.msgType);
    }
}

}  // namespace
