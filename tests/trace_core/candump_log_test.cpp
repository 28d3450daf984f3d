#include "trace/core/candump_log.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <utility>

#include "trace_test_support.h"

namespace {

using canopen_trace::CandumpLineKind;
using canopen_trace::ParseCandumpLine;

TEST(CandumpLogTest, ReadsTheFramesCanUtilsLogs) {
    // A log line and the frame it holds (see FrameFrom; remote frames: zeros
    // of the given length).
    const std::pair<const char*, const char*> cases[] = {
        {"(1436509052.249713) vcan0 080#", "080#"},
        {"(1436509052.249713) can0 701#R1", "701#R00"},
        {"(1436509052.249713) can0 123#1122334455667788_9", "123#1122334455667788"},
        {"(1.5) c 7FF#abcdef", "7FF#ABCDEF"},
        {"(1436509052.249713) can0 0605#01", "00000605#01"},
        {"  (1436509052.249713)\tcan0   181#00FF  \r\n", "181#00FF"},
    };
    for (const auto& [line, frame] : cases) {
        SCOPED_TRACE(line);
        const auto parsed = ParseCandumpLine(line);
        ASSERT_EQ(parsed.kind, CandumpLineKind::kFrame) << parsed.error;
        const TraceRecord expected = tracetest::FrameFrom(frame);
        EXPECT_EQ(std::tuple(parsed.record.identifier, parsed.record.flags, parsed.record.length),
                  std::tuple(expected.identifier, expected.flags, expected.length));
        EXPECT_EQ(std::memcmp(parsed.record.data, expected.data, 8), 0);
    }
}

TEST(CandumpLogTest, BlankLinesAreNoFrameAndNoFault) {
    for (const char* line : {"", "\t\r\n"}) {
        EXPECT_EQ(ParseCandumpLine(line).kind, CandumpLineKind::kBlank) << line;
    }
}

TEST(CandumpLogTest, NamesTheFaultOfAMalformedLine) {
    struct Case {
        const char* line;
        const char* error;
    };
    const Case cases[] = {
        {"701#05", "expected (SECONDS.MICROSECONDS) first"},
        {"(1436509052.249713)", "missing interface name"},
        {"(1436509052.249713) can0", "missing frame"},
        {"(1436509052.249713) can0 701#05 T", "unexpected text after the frame"},
        {"(1436509052.249713) can0 70105", "frame has no '#'"},
        {"(1436509052.249713) can0 71#05",
         "identifier must have 3 (standard) or 4-8 (extended) hex digits"},
        {"(1436509052.249713) can0 7G1#05", "identifier is not hex"},
        {"(1436509052.249713) can0 800#05", "standard identifier above 7FF"},
        {"(1436509052.249713) can0 20000080#0000000000000000", "error frame (not decoded)"},
        {"(1436509052.249713) can0 40000605#00", "extended identifier above 1FFFFFFF"},
        {"(1436509052.249713) can0 123##0112233", "CAN FD frame (not decoded)"},
        {"(1436509052.249713) can0 123#11.22.33", "'.' separators are not candump log format"},
        {"(1436509052.249713) can0 123#123", "odd number of data digits"},
        {"(1436509052.249713) can0 123#GG", "data is not hex"},
        {"(1436509052.249713) can0 123#112233445566778899", "more than 8 data bytes"},
        {"(1436509052.249713) can0 123#11223344_9",
         "raw DLC suffix needs 8 data bytes and a DLC of 9-F"},
        {"(1436509052.249713) can0 123#R9", "remote frame length must be a digit 0-8"},
        {"(1436509052.249713) can0 123#R12", "unexpected text after the remote frame length"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const auto parsed = ParseCandumpLine(c.line);
        EXPECT_EQ(parsed.kind, CandumpLineKind::kMalformed);
        EXPECT_EQ(parsed.error, c.error);
    }
}

}  // namespace
