#include "trace/candump_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using canopen_trace::CandumpLineKind;
using canopen_trace::ParseCandumpLine;

constexpr uint8_t kExt = kTraceFlagExtended;
constexpr uint8_t kRtr = kTraceFlagRemote;

struct FrameCase {
    const char* line;
    uint32_t identifier;
    uint8_t flags;
    std::vector<uint8_t> data;  // remote frames: zeros of the given length
};

TEST(CandumpLogTest, ReadsTheFramesCanUtilsLogs) {
    const FrameCase cases[] = {
        // The header's examples first.
        {"(1436509052.249713) can0 701#05", 0x701, 0, {0x05}},
        {"(1436509052.249713) can0 00000605#40", 0x605, kExt, {0x40}},
        {"(1436509052.249713) vcan0 080#", 0x080, 0, {}},
        {"(1436509052.249713) can0 701#R", 0x701, kRtr, {}},
        {"(1436509052.249713) can0 701#R1", 0x701, kRtr, {0x00}},
        {"(1436509052.249713) can0 123#1122334455667788_9",
         0x123,
         0,
         {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}},
        // Further forms.
        {"(0000000001.000000) can1 000#0100", 0x000, 0, {0x01, 0x00}},
        {"(1.5) c 7FF#abcdef", 0x7FF, 0, {0xAB, 0xCD, 0xEF}},
        {"(1436509052.249713) can0 1FFFFFFF#", 0x1FFFFFFF, kExt, {}},
        {"(1436509052.249713) can0 0605#01", 0x605, kExt, {0x01}},
        {"(1436509052.249713) can0 12345678#R8_F", 0x12345678, kExt | kRtr,
         std::vector<uint8_t>(8)},
        {"(1436509052.249713) can0 705#r0", 0x705, kRtr, {}},
        {"  (1436509052.249713)\tcan0   181#00FF  \r\n", 0x181, 0, {0x00, 0xFF}},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.line);
        const auto parsed = ParseCandumpLine(c.line);
        ASSERT_EQ(parsed.kind, CandumpLineKind::kFrame) << parsed.error;
        EXPECT_EQ(parsed.record.identifier, c.identifier);
        EXPECT_EQ(parsed.record.flags, c.flags);
        EXPECT_EQ(parsed.record.direction, 0);
        EXPECT_EQ(parsed.record.count, 1u);
        ASSERT_EQ(parsed.record.length, c.data.size());
        for (std::size_t i = 0; i < 8; ++i) {
            EXPECT_EQ(parsed.record.data[i], i < c.data.size() ? c.data[i] : 0) << i;
        }
    }
}

TEST(CandumpLogTest, BlankLinesAreNoFrameAndNoFault) {
    for (const char* line : {"", "   ", "\t\r\n", "\n"}) {
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
        {"1436509052.249713 can0 701#05", "expected (SECONDS.MICROSECONDS) first"},
        {"(1436509052) can0 701#05", "expected (SECONDS.MICROSECONDS) first"},
        {"(14365x9052.249713) can0 701#05", "expected (SECONDS.MICROSECONDS) first"},
        {"(1436509052.249713)", "missing interface name"},
        {"(1436509052.249713) can0", "missing frame"},
        {"(1436509052.249713) can0 701#05 T", "unexpected text after the frame"},
        {"(1436509052.249713) can0 70105", "frame has no '#'"},
        {"(1436509052.249713) can0 71#05",
         "identifier must have 3 (standard) or 4-8 (extended) hex digits"},
        {"(1436509052.249713) can0 000000605#05",
         "identifier must have 3 (standard) or 4-8 (extended) hex digits"},
        {"(1436509052.249713) can0 7G1#05", "identifier is not hex"},
        {"(1436509052.249713) can0 800#05", "standard identifier above 7FF"},
        {"(1436509052.249713) can0 20000080#0000000000000000", "error frame (not decoded)"},
        {"(1436509052.249713) can0 40000605#00", "extended identifier above 1FFFFFFF"},
        {"(1436509052.249713) can0 123##0112233", "CAN FD frame (not decoded)"},
        {"(1436509052.249713) can0 123#11.22.33", "'.' separators are not candump log format"},
        {"(1436509052.249713) can0 123#1.22", "'.' separators are not candump log format"},
        {"(1436509052.249713) can0 123#123", "odd number of data digits"},
        {"(1436509052.249713) can0 123#1_9", "odd number of data digits"},
        {"(1436509052.249713) can0 123#GG", "data is not hex"},
        {"(1436509052.249713) can0 123#0G", "data is not hex"},
        {"(1436509052.249713) can0 123#112233445566778899", "more than 8 data bytes"},
        {"(1436509052.249713) can0 123#11223344_9",
         "raw DLC suffix needs 8 data bytes and a DLC of 9-F"},
        {"(1436509052.249713) can0 123#1122334455667788_8",
         "raw DLC suffix needs 8 data bytes and a DLC of 9-F"},
        {"(1436509052.249713) can0 123#R9", "remote frame length must be a digit 0-8"},
        {"(1436509052.249713) can0 123#RX", "remote frame length must be a digit 0-8"},
        {"(1436509052.249713) can0 123#R12", "unexpected text after the remote frame length"},
        {"(1436509052.249713) can0 123#R5_9", "unexpected text after the remote frame length"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const auto parsed = ParseCandumpLine(c.line);
        EXPECT_EQ(parsed.kind, CandumpLineKind::kMalformed);
        EXPECT_EQ(parsed.error, c.error);
    }
}

}  // namespace
