#include "hex_dump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorcmd {
namespace {

struct DumpCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::string lines;  // what follows the header
};

std::vector<std::uint8_t> counting(std::size_t n, std::uint8_t first) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(first + i);
    return v;
}

TEST(HexDump, FormatsLinesOfSixteenBytes) {
    const std::vector<DumpCase> cases = {
        {"empty", {}, ""},
        {"one byte over", counting(17, 0x30),
         "000000 303132333435363738393A3B3C3D3E3F 0123456789:;<=>?\n"
         "000010 40" +
             std::string(30, ' ') + " @" + std::string(15, ' ') + "\n"},
        {"non-printables",
         {0x00, 0x1F, 0x20, 0x7E, 0x7F, 0x80, 0xFF},
         "000000 001F207E7F80FF" + std::string(18, ' ') + " .. ~..." + std::string(9, ' ') + "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FormatHexDump(c.bytes.data(), c.bytes.size()), kHexDumpHeader + c.lines);
    }
}

TEST(HexDump, OffsetsCountInUpperCaseHex) {
    const auto bytes = counting(0x1A0, 0);
    const std::string dump = FormatHexDump(bytes.data(), bytes.size());
    EXPECT_NE(dump.find("\n000190 "), std::string::npos);
    EXPECT_NE(dump.find("\n0000A0 A0A1A2A3"), std::string::npos);
    EXPECT_EQ(dump.size(), std::string(kHexDumpHeader).size() + 0x1A * 57);
}

}  // namespace
}  // namespace quorcmd
