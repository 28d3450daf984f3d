#include "trace/trace_export.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sstream>
#include <string>

#include "trace/emergency_codes.h"
#include "trace_test_support.h"

namespace {

using tracetest::Frame;

constexpr std::time_t kSundayAfternoon2009 = 1236521221;  // 2009-03-08 14:07:01 UTC
constexpr char kHeading[] =
    "Quorvane Trace saved on: Sun Mar 08 14:07:01 2009,,,,,,,,\n"
    "Message Number,Dir,Cnt,Msg ID (Hex),Msg Type,Node ID (Hex),Details,Data (Hex),"
    "Data (ASCII),Raw Message (Hex)\n";
constexpr char kRowA[] = ",Rx,1,705,Node Guarding/Heartbeat,05 (5d),Operational,,,05 \n";
constexpr char kRowB[] =
    ",Tx,1,605,SDO Download Request,05 (5d),\"Index = 0x1000, Sub = 0x00, expedited\","
    "11 22 33 44 ,\".\"\"3D\",23 00 10 00 11 22 33 44 \n";
constexpr char kRowC[] = ",Rx,1,181,,,COB-ID: 0x181,2C 22 41 ,\",\"\"A\",2C 22 41 \n";

std::string Export(const TraceRecord* records, std::size_t count, bool descending,
                   const MessageNames* names = nullptr) {
    tracetest::ScopedTimeZone zone("UTC");
    TEmergencyCodes codes;
    std::ostringstream out;
    EXPECT_TRUE(
        WriteTraceExport(out, records, count, descending, codes, names, kSundayAfternoon2009));
    return out.str();
}

// The trace's ascending order, newest frame first: C, B, A (A the oldest).
std::array<TraceRecord, 3> NewestFirst() {
    TraceRecord a = Frame(0x705, {0x05});
    TraceRecord b = Frame(0x605, {0x23, 0x00, 0x10, 0x00, 0x11, 0x22, 0x33, 0x44});
    b.direction = 1;
    TraceRecord c = Frame(0x181, {0x2C, 0x22, 0x41});
    return {c, b, a};
}

TEST(TraceExportTest, AscendingNumbersNewestFirstDescendingIsChronological) {
    const auto records = NewestFirst();
    struct Case {
        bool descending;
        std::string expected;
    };
    const Case cases[] = {
        {false, std::string(kHeading) + "1" + kRowC + "2" + kRowB + "3" + kRowA},
        {true, std::string(kHeading) + "3" + kRowA + "2" + kRowB + "1" + kRowC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.descending);
        EXPECT_EQ(Export(records.data(), 3, c.descending), c.expected);
    }
}

TEST(TraceExportTest, NothingToExportWritesNothing) {
    for (bool descending : {false, true}) {
        EXPECT_EQ(Export(NewestFirst().data(), 0, descending), "");
    }
}

TEST(TraceExportTest, MessageNamesReachTheExport) {
    const tracetest::FakeNames names{{0x201, "Motor, left"}};
    const TraceRecord record = Frame(0x201, {0x01});
    EXPECT_EQ(Export(&record, 1, false, &names),
              std::string(kHeading) + "1,Rx,1,201,\"Motor, left\",,COB-ID: 0x201,01 ,.,01 \n");
}

TEST(TraceExportTest, FieldsQuotedOnlyForCommaQuoteOrLineBreak) {
    struct Case {
        const char* field;
        const char* written;
    };
    const Case cases[] = {
        {"toggle = 1", "toggle = 1"},
        {"", ""},
        {"AB 00 ", "AB 00 "},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""},
        {"x,\"y\" ", "\"x,\"\"y\"\" \""},
        {"two\nlines", "\"two\nlines\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        TraceLine line;
        for (auto& text : line.texts) text[0] = '\0';
        std::snprintf(line.texts[kColDetails].data(), TraceLine::kTextSize, "%s", c.field);
        std::ostringstream out;
        WriteTraceExportRow(out, 42, line);
        EXPECT_EQ(out.str(), std::string("42,,,,,,") + c.written + ",,,\n");
    }
}

TEST(TraceExportTest, LongestFieldsAllQuotedFitTheRow) {
    TraceLine line;
    for (auto& text : line.texts) {
        text.fill('"');
        text.back() = '\0';
    }
    std::ostringstream out;
    WriteTraceExportRow(out, -1, line);
    const std::string field = "\"" + std::string(2 * (TraceLine::kTextSize - 1), '"') + "\"";
    std::string expected = "-1";
    for (std::size_t i = 0; i < kTraceColumnCount; ++i) expected += "," + field;
    EXPECT_EQ(out.str(), expected + "\n");
}

TEST(TraceExportTest, ReportsAFailedStream) {
    const auto records = NewestFirst();
    std::ostream broken(nullptr);
    TEmergencyCodes codes;
    EXPECT_FALSE(WriteTraceExport(broken, records.data(), 3, false, codes, nullptr, 0));
}

}  // namespace
