#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>

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
    const char* dataHex = "";
    const char* dataAscii = "";
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

TEST(InterpreterTest, OneRowPerMessageKindAndSdoSpecifier) {
    const char* const kDownload = "SDO Download Request";
    const char* const kUpload = "SDO Upload Response";
    const char* const kAbort = "SDO Abort by Server";
    const char* const kState = "Node Guarding/Heartbeat";
    const Row rows[] = {
        {"000#0100", "NMT Master Request", "All", "Operational"},
        {"000#8205", "NMT Master Request", "05 (5d)", "Reset Communication"},
        {"000#0300", "NMT Master Request", "All", "Unknown"},
        {"000#01FF", "NMT Master Request", "FF (255d)", "Operational"},  // node > 127
        {"080#05", "SYNC", "", ""},
        {"085#1023010000000000", "Emergency", "05 (5d)", "Current, device output side",
         "00 00 00 00 00 ", "....."},  // class match
        {"0FF#10811148697E7F20", "Emergency", "7F (127d)", "CAN Overrun (Objects lost)",
         "48 69 7E 7F 20 ", "Hi~. "},
        {"081#005001", "Emergency", "01 (1d)", "Device Hardware"},
        {"081#3412", "Emergency", "01 (1d)", "Unknown"},              // class 0x1200 unnamed
        {"181#4100FF", "", "", "COB-ID: 0x181", "41 00 FF ", "A.."},  // PDO
        {"001#01", "", "", "COB-ID: 0x1", "01 ", "."},  // node-number identifier below 0x80
        {"17F#", "", "", "COB-ID: 0x17F"},              // group 0x100 beside TIME
        {"10000605#23", "", "", "COB-ID: 0x10000605", "23 ", "#"},
        {"00000000#0100", "NMT Master Request", "All", "Operational"},
        {"605#1B01020000000000", kDownload, "05 (5d)", "toggle = 1, last segment", "01 02 ", ".."},
        {"605#0E00000000000000", kDownload, "05 (5d)", "toggle = 0"},  // 7 bytes unused
        {"605#2018100100000000", kDownload, "05 (5d)", "Index = 0x1018, Sub = 0x01, fragmented"},
        {"605#210020FE10270000", kDownload, "05 (5d)",
         "Index = 0x2000, Sub = 0xFE, fragmented, size = 10000 bytes"},
        {"605#21002000FFFFFFFF", kDownload, "05 (5d)",
         "Index = 0x2000, Sub = 0x00, fragmented, size = -1 bytes"},
        {"605#2200600001020304", kDownload, "05 (5d)", "Index = 0x6000, Sub = 0x00, expedited",
         "01 02 03 04 ", "...."},
        {"605#2F17100041424344", kDownload, "05 (5d)", "Index = 0x1017, Sub = 0x00, expedited",
         "41 ", "A"},
        {"67F#4041600000000000", "SDO Upload Request", "7F (127d)", "Index = 0x6041, Sub = 0x00"},
        {"601#7000000000000000", "SDO Upload Request", "01 (1d)", "toggle = 1"},
        {"605#8000100000000405", "SDO Abort by Client", "05 (5d)", "SDO protocol timed out"},
        {"605#8000100078563412", "SDO Abort by Client", "05 (5d)", "Unknown reason"},
        {"605#A00102", "SDO Request", "05 (5d)", "Unknown", "A0 01 02 ", "..."},  // block upload
        {"585#1D5A000000000000", kUpload, "05 (5d)", "toggle = 1, last segment", "5A ", "Z"},
        {"585#3000000000000000", "SDO Download Response", "05 (5d)", "toggle = 1"},
        {"585#4008100000000000", kUpload, "05 (5d)", "fragmented"},
        {"585#410810002C010000", kUpload, "05 (5d)", "fragmented, size = 300 bytes"},
        {"585#4F001000AB000000", kUpload, "05 (5d)", "expedited", "AB ", "."},
        {"585#6000100000000000", "SDO Download Response", "05 (5d)", ""},
        {"585#8000100000000206", kAbort, "05 (5d)",
         "Object does not exist in the object dictionary"},
        {"585#8000000001000206", kAbort, "05 (5d)", "Unknown reason"},  // near a listed one
        {"5FF#A47F41", "SDO Response", "7F (127d)", "Unknown", "A4 7F 41 ", "..A"},
        {"705#R", "Node Guard Request", "05 (5d)", ""},
        {"705#05", kState, "05 (5d)", "Operational"},
        {"705#85", kState, "05 (5d)", "Operational"},  // toggle bit set
        {"77F#04", kState, "7F (127d)", "Stopped"},
        {"701#7F", kState, "01 (1d)", "Pre-Operational"},
        {"705#00", "Bootup", "05 (5d)", ""},
        {"00000705#05", kState, "05 (5d)", "Operational"},
    };
    CheckRows(rows);
}

TEST(InterpreterTest, TimeOfDayInUtc) {
    tracetest::ScopedTimeZone zone("UTC");
    const Row rows[] = {
        {"100#000000000000", "TIME", "", "01-Jan-1984 00:00:00:000", "00 00 00 00 00 00 ",
         "......"},
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
    const Row rows[] = {
        // 50821250 ms on day 9195 (winter), then on day 9313 (summer, one hour on).
        {"100#82780703EB23", "TIME", "", "05-Mar-2009 14:07:01:250", "82 78 07 03 EB 23 ",
         ".x...#"},
        {"100#827807036124", "TIME", "", "01-Jul-2009 15:07:01:250", "82 78 07 03 61 24 ",
         ".x..a$"},
    };
    CheckRows(rows);
}

TEST(InterpreterTest, FixedColumnsDirectionCountIdentifierRaw) {
    TEmergencyCodes codes;
    TraceLine line;
    TraceRecord record = FrameFrom("1FFFFFFF#AB");
    record.direction = 2;  // other traffic
    record.count = 4294967295u;
    InterpretFrame(record, codes, nullptr, line);
    EXPECT_EQ(line.text(kColDir), "Rx");
    EXPECT_EQ(line.text(kColCnt), "4294967295");
    EXPECT_EQ(line.text(kColMsgId), "1FFFFFFF");
    EXPECT_EQ(line.text(kColRaw), "AB ");

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
        {{{0x605, "Motor speed"}}, "605#2300100001020304", "SDO Download Request Motor speed"},
        // A disabled match ends the search, also on an unnamed type.
        {{{0x605, ""}, {0x605, "enabled"}}, "605#4000100000000000", "SDO Upload Request "},
        {{{0x300, "other"}, {0x201, "first"}, {0x201, "2nd"}}, "00000201#R", "first"},
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
