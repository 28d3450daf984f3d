// Every input that ever made a fuzz target fail, kept under
// fuzz/regressions/TARGET/, run again through that target: a return is a
// pass, a failed check or sanitizer finding aborts the test program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_targets.h"

namespace {

class FuzzRegressions : public ::testing::TestWithParam<quorvane_fuzz::FuzzTarget> {};

TEST_P(FuzzRegressions, EveryKeptInputPasses) {
    const std::filesystem::path folder =
        std::filesystem::path(QUORVANE_FUZZ_REGRESSIONS) / GetParam().name;
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no inputs kept";
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        SCOPED_TRACE(entry.path().string());
        std::ifstream file(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> input{std::istreambuf_iterator<char>(file),
                                              std::istreambuf_iterator<char>()};
        EXPECT_EQ(GetParam().run(input.data(), input.size()), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressions,
                         ::testing::ValuesIn(quorvane_fuzz::AllTargets().begin(),
                                             quorvane_fuzz::AllTargets().end()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
