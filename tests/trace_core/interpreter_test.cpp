#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "morvellcanopen/protocol/sdo_abort.h"
#include "trace/core/canopen_interpreter.h"
#include "trace/core/emergency_codes.h"
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
        {"000#0305", "NMT Master Request", "05 (5d)", "Unknown"},
        {"080#05", "SYNC", "", ""},
        {"085#1023010000000000", "Emergency", "05 (5d)", "Current, device output side",
         "00 00 00 00 00 ", "....."},  // class match
        {"0FF#10811148697E7F20", "Emergency", "7F (127d)", "CAN Overrun (Objects lost)",
         "48 69 7E 7F 20 ", "Hi~. "},
        {"081#3412", "Emergency", "01 (1d)", "Unknown"},              // class 0x1200 unnamed
        {"181#4100FF", "", "", "COB-ID: 0x181", "41 00 FF ", "A.."},  // PDO
        {"10000605#23", "", "", "COB-ID: 0x10000605", "23 ", "#"},
        {"605#1B01020000000000", kDownload, "05 (5d)", "toggle = 1, last segment", "01 02 ", ".."},
        {"605#210020FE10270000", kDownload, "05 (5d)",
         "Index = 0x2000, Sub = 0xFE, fragmented, size = 10000 bytes"},
        {"605#2F17100041424344", kDownload, "05 (5d)", "Index = 0x1017, Sub = 0x00, expedited",
         "41 ", "A"},
        {"605#8000100000000405", "SDO Abort by Client", "05 (5d)", "SDO protocol timed out"},
        {"585#3000000000000000", "SDO Download Response", "05 (5d)", "toggle = 1"},
        {"585#410810002C010000", kUpload, "05 (5d)", "fragmented, size = 300 bytes"},
        {"585#4F001000AB000000", kUpload, "05 (5d)", "expedited", "AB ", "."},
        {"585#8000100000000206", kAbort, "05 (5d)",
         "Object does not exist in the object dictionary"},
        {"585#8000000001000206", kAbort, "05 (5d)", "Unknown reason"},  // near a listed one
        {"705#R", "Node Guard Request", "05 (5d)", ""},
        {"705#05", kState, "05 (5d)", "Operational"},
        {"705#00", "Bootup", "05 (5d)", ""},
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
        // The largest value: the top four milliseconds bits are ignored.
        {"100#FFFFFFFFFFFF", "TIME", "", "09-Jun-2163 03:33:55:455", "FF FF FF FF FF FF ",
         "......"},
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

// Every abort code the library knows, with the text the trace shows for it
// and the library's messages give ("SDO Protocol error: <text> (0x...)").
TEST(InterpreterTest, AbortTextsAreTheLibrarysList) {
    const std::pair<uint32_t, const char*> cases[] = {
        {0x05030000, "Toggle bit not alternated"},
        {0x05040000, "SDO protocol timed out"},
        {0x05040001, "Client/Server command specifier not valid or unknown"},
        {0x05040002, "Invalid block size"},
        {0x05040003, "Invalid sequence number"},
        {0x05040004, "CRC error"},
        {0x05040005, "Out of memory"},
        {0x06010000, "Unsupported access to an object"},
        {0x06010001, "Attempt to read a write only object"},
        {0x06010002, "Attempt to write a read only object"},
        {0x06020000, "Object does not exist in the object dictionary"},
        {0x06040041, "Object cannot be mapped to the PDO"},
        {0x06040042, "The number and length of the objects mapped would exceed PDO length"},
        {0x06040043, "General parameter incompatibility reason"},
        {0x06040047, "General internal imcompatibility in the device"},
        {0x06060000, "Access failed due to a hardware error"},
        {0x06070010, "Data type does not match, length of service parameter does not match"},
        {0x06070012, "Data type does not match, length of service parameter too high"},
        {0x06070013, "Data type does not match, length of service parameter too low"},
        {0x06090011, "Sub-index does not exist"},
        {0x06090030, "Value range of parameter exceeded"},
        {0x06090031, "Value of parameter written too high"},
        {0x06090032, "Value of parameter written too low"},
        {0x06090036, "Maximum value is less than minimum value"},
        {0x060A0023, "Resource not available: SDO connection"},
        {0x08000000, "General error"},
        {0x08000020, "Data cannot be transferred or stored to the application"},
        {0x08000021,
         "Data cannot be transferred or stored to the application because of local control"},
        {0x08000022,
         "Data cannot be transferred or stored to the application because of the present device "
         "state"},
        {0x08000023, "Object Dictionary dynamic generation failed/No Object Dictionary present"},
        {0x08000024, "No data available"},
    };
    TEmergencyCodes codes;
    TraceLine line;
    for (const auto& [code, text] : cases) {
        SCOPED_TRACE(text);
        TraceRecord abort = FrameFrom("585#8000100000000000");
        for (int i = 0; i < 4; ++i) abort.data[4 + i] = uint8_t(code >> (8 * i));
        InterpretFrame(abort, codes, nullptr, line);
        EXPECT_EQ(line.text(kColDetails), text);
        EXPECT_STREQ(morvell::sdo::abortText(code), text);
    }
}

// Bytes beyond a record's length read as zero, whatever the record holds
// there: a short frame gives the line quordecode gives for it.
TEST(InterpreterTest, BytesBeyondTheLengthReadAsZero) {
    const char* const frames[] = {
        "085#10",        // emergency code 0x??10
        "605#40",        // SDO upload request, index and subindex
        "585#80000000",  // abort code
        "100#1234",      // TIME
        "705#",          // heartbeat state
    };
    TEmergencyCodes codes;
    TraceLine clean, dirty;
    for (const char* frame : frames) {
        SCOPED_TRACE(frame);
        const TraceRecord record = FrameFrom(frame);
        TraceRecord leftover = record;
        for (unsigned i = record.length; i < 8; ++i) leftover.data[i] = uint8_t(0x81 + i);
        InterpretFrame(record, codes, nullptr, clean);
        InterpretFrame(leftover, codes, nullptr, dirty);
        for (std::size_t column = 0; column < kTraceColumnCount; ++column) {
            EXPECT_EQ(dirty.text(TraceColumn(column)), clean.text(TraceColumn(column))) << column;
        }
    }
}

// A name cut at the line's length never ends in half a UTF-8 character.
TEST(InterpreterTest, LongNameIsCutBetweenCharacters) {
    std::string name(98, 'n');
    name += "\xC3\xBC\xC3\xBC";  // 99 characters fit: the first umlaut only in half
    const FakeNames names{{0x201, name}};
    TEmergencyCodes codes;
    TraceLine line;
    InterpretFrame(FrameFrom("201#"), codes, &names, line);
    EXPECT_EQ(line.text(kColMsgType), std::string(98, 'n'));
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
        {{{0x300, "other"}, {0x201, longName}, {0x201, "2nd"}},
         "00000201#R",
         longName.substr(0, TraceLine::kTextSize - 1)},
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
