#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "trace/canopen_interpreter.h"
#include "trace/emergency_codes.h"
#include "trace_test_support.h"

namespace {

using tracetest::FakeNames;
using tracetest::Frame;
using tracetest::TimeFrame;

constexpr uint8_t kExt = kTraceFlagExtended;
constexpr uint8_t kRtr = kTraceFlagRemote;

struct Expected {
    const char* msgType;
    const char* nodeId;
    const char* details;
    const char* dataHex;
    const char* dataAscii;
};

struct DecodeCase {
    const char* name;
    TraceRecord record;
    Expected expected;
};

// Interprets every case into the same line, so text left over from an
// earlier case shows up as a failure.
void CheckCases(const DecodeCase* begin, const DecodeCase* end,
                const MessageNames* names = nullptr) {
    TEmergencyCodes codes;
    TraceLine line;
    for (const DecodeCase* c = begin; c != end; ++c) {
        SCOPED_TRACE(c->name);
        InterpretFrame(c->record, codes, names, line);
        EXPECT_EQ(line.text(kColMsgType), std::string_view(c->expected.msgType));
        EXPECT_EQ(line.text(kColNodeId), std::string_view(c->expected.nodeId));
        EXPECT_EQ(line.text(kColDetails), std::string_view(c->expected.details));
        EXPECT_EQ(line.text(kColDataHex), std::string_view(c->expected.dataHex));
        EXPECT_EQ(line.text(kColDataAscii), std::string_view(c->expected.dataAscii));
    }
}

template <std::size_t N>
void CheckCases(const DecodeCase (&cases)[N], const MessageNames* names = nullptr) {
    CheckCases(cases, cases + N, names);
}

TEST(InterpreterTest, NmtSyncEmergencyAndOtherIdentifiers) {
    const DecodeCase cases[] = {
        {"NMT start all",
         Frame(0x000, {0x01, 0x00}),
         {"NMT Master Request", "All", "Operational", "", ""}},
        {"NMT reset communication node 5",
         Frame(0x000, {0x82, 0x05}),
         {"NMT Master Request", "05 (5d)", "Reset Communication", "", ""}},
        {"NMT stop node 127",
         Frame(0x000, {0x02, 0x7F}),
         {"NMT Master Request", "7F (127d)", "Stop", "", ""}},
        {"NMT pre-operational",
         Frame(0x000, {0x80, 0x1A}),
         {"NMT Master Request", "1A (26d)", "Pre-Operational", "", ""}},
        {"NMT reset node",
         Frame(0x000, {0x81, 0x00}),
         {"NMT Master Request", "All", "Reset", "", ""}},
        {"NMT unknown command",
         Frame(0x000, {0x03, 0x00}),
         {"NMT Master Request", "All", "Unknown", "", ""}},
        {"NMT node above 127",
         Frame(0x000, {0x01, 0xFF}),
         {"NMT Master Request", "FF (255d)", "Operational", "", ""}},
        {"SYNC with counter", Frame(0x080, {0x05}), {"SYNC", "", "", "", ""}},
        {"emergency class match",
         Frame(0x085, {0x10, 0x23, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}),
         {"Emergency", "05 (5d)", "Current, device output side", "00 00 00 00 00 ", "....."}},
        {"emergency manufacturer bytes",
         Frame(0x0FF, {0x10, 0x81, 0x11, 'H', 'i', 0x7E, 0x7F, 0x20}),
         {"Emergency", "7F (127d)", "CAN Overrun (Objects lost)", "48 69 7E 7F 20 ", "Hi~. "}},
        {"emergency of four bytes",
         Frame(0x081, {0x00, 0x00, 0x00, 0x41}),
         {"Emergency", "01 (1d)", "Error Reset/No Error", "41 ", "A"}},
        {"emergency of three bytes",
         Frame(0x081, {0x00, 0x50, 0x01}),
         {"Emergency", "01 (1d)", "Device Hardware", "", ""}},
        {"emergency without data",
         Frame(0x081, {}),
         {"Emergency", "01 (1d)", "Error Reset/No Error", "", ""}},
        {"PDO", Frame(0x181, {0x41, 0x00, 0xFF}), {"", "", "COB-ID: 0x181", "41 00 FF ", "A.."}},
        {"PDO without data", Frame(0x181, {}), {"", "", "COB-ID: 0x181", "", ""}},
        {"node-number identifier below 0x80",
         Frame(0x001, {0x01}),
         {"", "", "COB-ID: 0x1", "01 ", "."}},
        {"group 0x100 beside TIME", Frame(0x17F, {}), {"", "", "COB-ID: 0x17F", "", ""}},
        {"LSS", Frame(0x7E5, {0x04}), {"", "", "COB-ID: 0x7E5", "04 ", "."}},
        {"group 0x500", Frame(0x57F, {}), {"", "", "COB-ID: 0x57F", "", ""}},
        {"extended above 0x7FF",
         Frame(0x10000605, {0x23}, kExt),
         {"", "", "COB-ID: 0x10000605", "23 ", "#"}},
        {"extended SDO request",
         Frame(0x00000605, {0x23, 0x00, 0x10, 0x00, 0x11, 0x22, 0x33, 0x44}, kExt),
         {"SDO Download Request", "05 (5d)", "Index = 0x1000, Sub = 0x00, expedited",
          "11 22 33 44 ", ".\"3D"}},
        {"extended NMT",
         Frame(0x00000000, {0x01, 0x00}, kExt),
         {"NMT Master Request", "All", "Operational", "", ""}},
    };
    CheckCases(cases);
}

TEST(InterpreterTest, SdoRequestsEverySpecifierAndSizeBits) {
    const DecodeCase cases[] = {
        {"segment toggle 0, 7 bytes",
         Frame(0x605, {0x00, 'a', 'b', 'c', 'd', 'e', 'f', 'g'}),
         {"SDO Download Request", "05 (5d)", "toggle = 0", "61 62 63 64 65 66 67 ", "abcdefg"}},
        {"last segment toggle 1, 2 bytes",
         Frame(0x605, {0x1B, 0x01, 0x02, 0, 0, 0, 0, 0}),
         {"SDO Download Request", "05 (5d)", "toggle = 1, last segment", "01 02 ", ".."}},
        {"segment with 7 bytes unused",
         Frame(0x605, {0x0E, 0, 0, 0, 0, 0, 0, 0}),
         {"SDO Download Request", "05 (5d)", "toggle = 0", "", ""}},
        {"initiate, no size",
         Frame(0x605, {0x20, 0x18, 0x10, 0x01, 0, 0, 0, 0}),
         {"SDO Download Request", "05 (5d)", "Index = 0x1018, Sub = 0x01, fragmented", "", ""}},
        {"initiate, size",
         Frame(0x605, {0x21, 0x00, 0x20, 0xFE, 0x10, 0x27, 0x00, 0x00}),
         {"SDO Download Request", "05 (5d)",
          "Index = 0x2000, Sub = 0xFE, fragmented, size = 10000 bytes", "", ""}},
        {"initiate, size as signed",
         Frame(0x605, {0x21, 0x00, 0x20, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}),
         {"SDO Download Request", "05 (5d)",
          "Index = 0x2000, Sub = 0x00, fragmented, size = -1 bytes", "", ""}},
        {"expedited without size",
         Frame(0x605, {0x22, 0x00, 0x60, 0x00, 0x01, 0x02, 0x03, 0x04}),
         {"SDO Download Request", "05 (5d)", "Index = 0x6000, Sub = 0x00, expedited",
          "01 02 03 04 ", "...."}},
        {"expedited, 1 byte",
         Frame(0x605, {0x2F, 0x17, 0x10, 0x00, 0x41, 0x42, 0x43, 0x44}),
         {"SDO Download Request", "05 (5d)", "Index = 0x1017, Sub = 0x00, expedited", "41 ", "A"}},
        {"expedited, 4 bytes from the example",
         Frame(0x605, {0x23, 0x00, 0x10, 0x00, 0x11, 0x22, 0x33, 0x44}),
         {"SDO Download Request", "05 (5d)", "Index = 0x1000, Sub = 0x00, expedited",
          "11 22 33 44 ", ".\"3D"}},
        {"upload initiate",
         Frame(0x67F, {0x40, 0x41, 0x60, 0x00, 0, 0, 0, 0}),
         {"SDO Upload Request", "7F (127d)", "Index = 0x6041, Sub = 0x00", "", ""}},
        {"upload segment toggle 1",
         Frame(0x601, {0x70, 0, 0, 0, 0, 0, 0, 0}),
         {"SDO Upload Request", "01 (1d)", "toggle = 1", "", ""}},
        {"upload segment toggle 0",
         Frame(0x601, {0x60, 0, 0, 0, 0, 0, 0, 0}),
         {"SDO Upload Request", "01 (1d)", "toggle = 0", "", ""}},
        {"abort by client",
         Frame(0x605, {0x80, 0x00, 0x10, 0x00, 0x00, 0x00, 0x04, 0x05}),
         {"SDO Abort by Client", "05 (5d)", "SDO protocol timed out", "", ""}},
        {"abort by client, unknown code",
         Frame(0x605, {0x80, 0x00, 0x10, 0x00, 0x78, 0x56, 0x34, 0x12}),
         {"SDO Abort by Client", "05 (5d)", "Unknown reason", "", ""}},
        {"block upload",
         Frame(0x605, {0xA0, 0x01, 0x02}),
         {"SDO Request", "05 (5d)", "Unknown", "A0 01 02 ", "..."}},
        {"block download",
         Frame(0x605, {0xC6, 0x41}),
         {"SDO Request", "05 (5d)", "Unknown", "C6 41 ", ".A"}},
        {"specifier 7", Frame(0x605, {0xE0}), {"SDO Request", "05 (5d)", "Unknown", "E0 ", "."}},
    };
    CheckCases(cases);
}

TEST(InterpreterTest, SdoResponsesEverySpecifierAndSizeBits) {
    const DecodeCase cases[] = {
        {"upload segment, 7 bytes",
         Frame(0x585, {0x00, '1', '2', '3', '4', '5', '6', '7'}),
         {"SDO Upload Response", "05 (5d)", "toggle = 0", "31 32 33 34 35 36 37 ", "1234567"}},
        {"last upload segment, 1 byte",
         Frame(0x585, {0x1D, 0x5A, 0, 0, 0, 0, 0, 0}),
         {"SDO Upload Response", "05 (5d)", "toggle = 1, last segment", "5A ", "Z"}},
        {"download segment toggle 0",
         Frame(0x585, {0x20, 0, 0, 0, 0, 0, 0, 0}),
         {"SDO Download Response", "05 (5d)", "toggle = 0", "", ""}},
        {"download segment toggle 1",
         Frame(0x585, {0x30, 0, 0, 0, 0, 0, 0, 0}),
         {"SDO Download Response", "05 (5d)", "toggle = 1", "", ""}},
        {"upload initiate, no size",
         Frame(0x585, {0x40, 0x08, 0x10, 0x00, 0, 0, 0, 0}),
         {"SDO Upload Response", "05 (5d)", "fragmented", "", ""}},
        {"upload initiate, size",
         Frame(0x585, {0x41, 0x08, 0x10, 0x00, 0x2C, 0x01, 0x00, 0x00}),
         {"SDO Upload Response", "05 (5d)", "fragmented, size = 300 bytes", "", ""}},
        {"expedited without size",
         Frame(0x585, {0x42, 0x00, 0x10, 0x00, 0x91, 0x01, 0x0F, 0x00}),
         {"SDO Upload Response", "05 (5d)", "expedited", "91 01 0F 00 ", "...."}},
        {"expedited, 2 bytes",
         Frame(0x585, {0x4B, 0x00, 0x10, 0x00, 0x34, 0x12, 0x00, 0x00}),
         {"SDO Upload Response", "05 (5d)", "expedited", "34 12 ", "4."}},
        {"expedited, 1 byte from the example",
         Frame(0x585, {0x4F, 0x00, 0x10, 0x00, 0xAB, 0x00, 0x00, 0x00}),
         {"SDO Upload Response", "05 (5d)", "expedited", "AB ", "."}},
        {"download initiate",
         Frame(0x585, {0x60, 0x00, 0x10, 0x00, 0, 0, 0, 0}),
         {"SDO Download Response", "05 (5d)", "", "", ""}},
        {"abort by server",
         Frame(0x585, {0x80, 0x00, 0x10, 0x00, 0x00, 0x00, 0x02, 0x06}),
         {"SDO Abort by Server", "05 (5d)", "Object does not exist in the object dictionary", "",
          ""}},
        {"abort, last table entry",
         Frame(0x585, {0x80, 0, 0, 0, 0x23, 0x00, 0x00, 0x08}),
         {"SDO Abort by Server", "05 (5d)",
          "Object Dictionary dynamic generation failed/No Object Dictionary present", "", ""}},
        {"abort, unknown code",
         Frame(0x585, {0x80, 0x00, 0x10, 0x00, 0x78, 0x56, 0x34, 0x12}),
         {"SDO Abort by Server", "05 (5d)", "Unknown reason", "", ""}},
        {"abort code near a listed one",
         Frame(0x585, {0x80, 0, 0, 0, 0x01, 0x00, 0x02, 0x06}),
         {"SDO Abort by Server", "05 (5d)", "Unknown reason", "", ""}},
        {"block download, short frame",
         Frame(0x5FF, {0xA4, 0x7F, 0x41}),
         {"SDO Response", "7F (127d)", "Unknown", "A4 7F 41 ", "..A"}},
        {"block upload", Frame(0x581, {0xC0}), {"SDO Response", "01 (1d)", "Unknown", "C0 ", "."}},
        {"specifier 7",
         Frame(0x581, {0xFF, 0x20}),
         {"SDO Response", "01 (1d)", "Unknown", "FF 20 ", ". "}},
    };
    CheckCases(cases);
}

TEST(InterpreterTest, ErrorControlStates) {
    const DecodeCase cases[] = {
        {"guard request", Frame(0x705, {}, kRtr), {"Node Guard Request", "05 (5d)", "", "", ""}},
        {"guard request with a length",
         Frame(0x705, {0x05}, kRtr),
         {"Node Guard Request", "05 (5d)", "", "", ""}},
        {"operational",
         Frame(0x705, {0x05}),
         {"Node Guarding/Heartbeat", "05 (5d)", "Operational", "", ""}},
        {"operational, toggle set",
         Frame(0x705, {0x85}),
         {"Node Guarding/Heartbeat", "05 (5d)", "Operational", "", ""}},
        {"stopped",
         Frame(0x77F, {0x04}),
         {"Node Guarding/Heartbeat", "7F (127d)", "Stopped", "", ""}},
        {"pre-operational",
         Frame(0x701, {0x7F}),
         {"Node Guarding/Heartbeat", "01 (1d)", "Pre-Operational", "", ""}},
        {"pre-operational, toggle set",
         Frame(0x701, {0xFF}),
         {"Node Guarding/Heartbeat", "01 (1d)", "Pre-Operational", "", ""}},
        {"unknown state",
         Frame(0x701, {0x02}),
         {"Node Guarding/Heartbeat", "01 (1d)", "Unknown", "", ""}},
        {"bootup", Frame(0x705, {0x00}), {"Bootup", "05 (5d)", "", "", ""}},
        {"bootup with toggle bit", Frame(0x705, {0x80}), {"Bootup", "05 (5d)", "", "", ""}},
        {"node 0",
         Frame(0x700, {0x05}),
         {"Node Guarding/Heartbeat", "00 (0d)", "Operational", "", ""}},
        {"extended heartbeat",
         Frame(0x00000705, {0x05}, kExt),
         {"Node Guarding/Heartbeat", "05 (5d)", "Operational", "", ""}},
    };
    CheckCases(cases);
}

TEST(InterpreterTest, TimeOfDayInUtc) {
    tracetest::ScopedTimeZone zone("UTC");
    TraceRecord shortTime = TimeFrame(0, 0);
    shortTime.length = 0;  // decoded from the data field whatever the length
    const DecodeCase cases[] = {
        {"epoch",
         TimeFrame(0, 0),
         {"TIME", "", "01-Jan-1984 00:00:00:000", "00 00 00 00 00 00 ", "......"}},
        {"length 0", shortTime, {"TIME", "", "01-Jan-1984 00:00:00:000", "", ""}},
        {"more than a day of milliseconds",
         TimeFrame(90000000, 0),
         {"TIME", "", "02-Jan-1984 01:00:00:000", "80 4A 5D 05 00 00 ", ".J]..."}},
        {"top milliseconds bits ignored",
         TimeFrame(0xF0000000u | 45296789u, 9195),
         {"TIME", "", "05-Mar-2009 12:34:56:789", "95 2C B3 F2 EB 23 ", ".,...#"}},
        {"after 2038",
         TimeFrame(45296789, 20454),
         {"TIME", "", "01-Jan-2040 12:34:56:789", "95 2C B3 02 E6 4F ", ".,...O"}},
        {"largest value",
         TimeFrame(0xFFFFFFFF, 0xFFFF),
         {"TIME", "", "09-Jun-2163 02:33:55:455", "FF FF FF FF FF FF ", "......"}},
    };
    CheckCases(cases);
}

TEST(InterpreterTest, TimeOfDayStartsAtStandardTimeAndFollowsDaylightSaving) {
    tracetest::ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    const uint32_t afternoon = (14 * 3600 + 7 * 60 + 1) * 1000 + 250;
    TEmergencyCodes codes;
    TraceLine line;
    struct Case {
        uint16_t days;
        const char* details;
    };
    const Case cases[] = {
        {0, "01-Jan-1984 14:07:01:250"},
        {9195, "05-Mar-2009 14:07:01:250"},  // winter
        {9313, "01-Jul-2009 15:07:01:250"},  // summer: one hour on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.days);
        InterpretFrame(TimeFrame(afternoon, c.days), codes, nullptr, line);
        EXPECT_EQ(line.text(kColDetails), c.details);
    }
}

TEST(InterpreterTest, FixedColumnsDirectionCountIdentifierRaw) {
    struct Case {
        TraceRecord record;
        uint8_t direction;
        uint32_t count;
        const char* dir;
        const char* cnt;
        const char* msgId;
        const char* raw;
    };
    const Case cases[] = {
        {Frame(0x000, {0x01, 0x00}), 0, 1, "Rx", "1", "000", "01 00 "},
        {Frame(0x080, {0x05}), 1, 12, "Tx", "12", "080", "05 "},
        {Frame(0x7FF, {}), 2, 4294967295u, "Rx", "4294967295", "7FF", ""},
        {Frame(0x605, {0x23, 0x00, 0x10, 0x00, 0x11, 0x22, 0x33, 0x44}, kExt), 1, 0, "Tx", "0",
         "00000605", "23 00 10 00 11 22 33 44 "},
        {Frame(0x1FFFFFFF, {0xAB}, kExt), 0, 1, "Rx", "1", "1FFFFFFF", "AB "},
        {Frame(0x705, {}, kRtr), 0, 1, "Rx", "1", "705", ""},
    };
    TEmergencyCodes codes;
    TraceLine line;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.msgId);
        TraceRecord record = c.record;
        record.direction = c.direction;
        record.count = c.count;
        InterpretFrame(record, codes, nullptr, line);
        EXPECT_EQ(line.text(kColDir), c.dir);
        EXPECT_EQ(line.text(kColCnt), c.cnt);
        EXPECT_EQ(line.text(kColMsgId), c.msgId);
        EXPECT_EQ(line.text(kColRaw), c.raw);
    }
}

TEST(InterpreterTest, RawAndDataStopAtEightBytesOfAnOverlongRecord) {
    TraceRecord record = Frame(0x181, {1, 2, 3, 4, 5, 6, 7, 8});
    record.length = 200;
    TEmergencyCodes codes;
    TraceLine line;
    InterpretFrame(record, codes, nullptr, line);
    EXPECT_EQ(line.text(kColRaw), "01 02 03 04 05 06 07 08 ");
    EXPECT_EQ(line.text(kColDataHex), "01 02 03 04 05 06 07 08 ");
}

TEST(InterpreterTest, MessageNamesFirstMatchOnly) {
    struct Case {
        const char* name;
        FakeNames names;
        TraceRecord record;
        const char* msgType;
    };
    const std::string longName(150, 'n');
    const Case cases[] = {
        {"user PDO", {{0x201, "Motor speed"}}, Frame(0x201, {0x10}), "Motor speed"},
        {"user SDO request",
         {{0x605, "Motor speed"}},
         Frame(0x605, {0x23, 0, 0x10, 0, 1, 2, 3, 4}),
         "SDO Download Request Motor speed"},
        {"first of two matches",
         {{0x300, "other"}, {0x201, "first"}, {0x201, "second"}},
         Frame(0x201, {}),
         "first"},
        {"disabled match ends the search",
         {{0x605, ""}, {0x605, "enabled"}},
         Frame(0x605, {0x40, 0, 0x10, 0, 0, 0, 0, 0}),
         "SDO Upload Request "},
        {"disabled match on an unnamed type",
         {{0x201, ""}, {0x201, "enabled"}},
         Frame(0x201, {}),
         ""},
        {"flags ignored", {{0x201, "Motor speed"}}, Frame(0x201, {}, kExt | kRtr), "Motor speed"},
        {"no match", {{0x202, "Motor speed"}}, Frame(0x201, {}), ""},
        {"no messages", {}, Frame(0x080, {}), "SYNC"},
        {"long name cut to 99", {{0x201, longName}}, Frame(0x201, {}), nullptr},
    };
    TEmergencyCodes codes;
    TraceLine line;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InterpretFrame(c.record, codes, &c.names, line);
        if (c.msgType != nullptr) {
            EXPECT_EQ(line.text(kColMsgType), c.msgType);
        } else {
            EXPECT_EQ(line.text(kColMsgType), longName.substr(0, TraceLine::kTextSize - 1));
        }
    }
}

}  // namespace
