#include "trace/core/trace_export.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sstream>
#include <string>

#include "trace/core/emergency_codes.h"
#include "trace_test_support.h"

namespace {

using tracetest::FrameFrom;
using tracetest::kRowA;
using tracetest::kRowB;
using tracetest::kRowC;

constexpr std::time_t kSundayAfternoon2009 = 1236521221;  // 2009-03-08 14:07:01 UTC
const std::string kHeading =
    std::string("Quorvane Trace saved on: Sun Mar 08 14:07:01 2009,,,,,,,,\n") +
    tracetest::kColumnLine;

std::string Export(const TraceRecord* records, std::size_t count, bool descending) {
    tracetest::ScopedTimeZone zone("UTC");
    TEmergencyCodes codes;
    std::ostringstream out;
    EXPECT_TRUE(
        WriteTraceExport(out, records, count, descending, codes, nullptr, kSundayAfternoon2009));
    return out.str();
}

// The trace's ascending order, newest frame first: C, B, A (A the oldest).
std::array<TraceRecord, 3> NewestFirst() {
    TraceRecord b = FrameFrom("605#2300100011223344");
    b.direction = 1;
    return {FrameFrom("181#2C2241"), b, FrameFrom("705#05")};
}

TEST(TraceExportTest, AscendingNumbersNewestFirstDescendingIsChronological) {
    const auto records = NewestFirst();
    struct Case {
        bool descending;
        std::string expected;
    };
    const Case cases[] = {
        {false, kHeading + "1" + kRowC + "2" + kRowB + "3" + kRowA},
        {true, kHeading + "3" + kRowA + "2" + kRowB + "1" + kRowC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.descending);
        EXPECT_EQ(Export(records.data(), 3, c.descending), c.expected);
        EXPECT_EQ(Export(records.data(), 0, c.descending), "") << "nothing to export";
    }
}

TEST(TraceExportTest, FieldsQuotedOnlyForCommaQuoteOrLineBreak) {
    struct Case {
        const char* field;
        const char* written;
    };
    const Case cases[] = {
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
