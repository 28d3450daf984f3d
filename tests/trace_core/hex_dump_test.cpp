#include "trace/core/hex_dump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorcmd {
namespace {

std::vector<std::uint8_t> counting(std::size_t n, std::uint8_t first) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(first + i);
    return v;
}

// Sixteen bytes a line; bytes outside 0x20..0x7E show as '.'.
TEST(HexDump, FormatsLinesOfSixteenBytes) {
    const auto bytes = counting(17, 0x7A);
    EXPECT_EQ(FormatHexDump(bytes.data(), bytes.size()),
              std::string(kHexDumpHeader) +
                  "000000 7A7B7C7D7E7F80818283848586878889 z{|}~...........\n"
                  "000010 8A" +
                  std::string(30, ' ') + " ." + std::string(15, ' ') + "\n");
}

}  // namespace
}  // namespace quorcmd
