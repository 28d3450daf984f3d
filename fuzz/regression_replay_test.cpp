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

// The parameter is the target's name.
class FuzzRegressions : public ::testing::TestWithParam<std::string> {};

std::vector<std::string> targetNames() {
    std::vector<std::string> names;
    for (const quorvane_fuzz::FuzzTarget& target : quorvane_fuzz::AllTargets())
        names.push_back(target.name);
    return names;
}

TEST_P(FuzzRegressions, EveryKeptInputPasses) {
    quorvane_fuzz::FuzzFunction run = nullptr;
    for (const quorvane_fuzz::FuzzTarget& target : quorvane_fuzz::AllTargets())
        if (GetParam() == target.name) run = target.run;
    ASSERT_NE(run, nullptr);
    const std::filesystem::path folder =
        std::filesystem::path(QUORVANE_FUZZ_REGRESSIONS) / GetParam();
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no inputs kept";
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        SCOPED_TRACE(entry.path().string());
        std::ifstream file(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> input{std::istreambuf_iterator<char>(file),
                                              std::istreambuf_iterator<char>()};
        EXPECT_EQ(run(input.data(), input.size()), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressions, ::testing::ValuesIn(targetNames()),
                         [](const auto& info) { return info.param; });

}  // namespace
