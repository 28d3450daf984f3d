// quorshare as users run it, against the real TMessaging in this process.
#include <gtest/gtest.h>

#include <sstream>

#include "share_fixture.h"
#include "trace/core/candump_log.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;
using testsupport::programPath;
using testsupport::waitUntil;

class QuorshareProgramTest : public sharetest::ShareFixture {
protected:
    std::unique_ptr<ChildProcess> run(const std::vector<std::string>& args) {
        return std::make_unique<ChildProcess>(programPath("quorshare"), args, environment());
    }
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> all;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) all.push_back(line);
    return all;
}

TEST_F(QuorshareProgramTest, HelpAndUsageErrors) {
    auto help = run({"--help"});
    EXPECT_EQ(help->wait(), 0);
    EXPECT_NE(help->output().find("usage: quorshare dump"), std::string::npos);
    for (auto args : {std::vector<std::string>{},
                      {"frobnicate"},
                      {"send"},
                      {"send", "12#1"},
                      {"dump", "--filter", "1:2"}}) {
        auto wrong = run(args);
        EXPECT_EQ(wrong->wait(), 2);
        EXPECT_NE(wrong->errors().find("usage:"), std::string::npos);
    }
}

TEST_F(QuorshareProgramTest, SendWithoutQuorvaneFails) {
    auto send = run({"send", "123#11"});
    EXPECT_EQ(send->wait(), 1);
    EXPECT_NE(send->errors().find("quorvane is not running"), std::string::npos);
}

TEST_F(QuorshareProgramTest, DumpStartedBeforeQuorvanePrintsTheFilteredFramesAsACandumpLog) {
    auto dump = run(
        {"dump", "--count", "3", "--filter", "FFFFFFFF:0@0", "--filter", "0000FFFF:0181FFFF@1"});
    startQuorvane();
    ASSERT_TRUE(waitUntil([&] { return messaging_->clientCount() == 1; }, 20s));
    for (const char* text : {"181#11", "182#22", "181#33", "00000181#44"}) record(text);
    forward();
    record("181#R2");
    forward();
    ASSERT_EQ(dump->wait(20s), 0) << dump->errors();
    const auto printed = lines(dump->output());
    ASSERT_EQ(printed.size(), 3u) << dump->output();
    const char* expected[] = {"181#11", "181#33", "181#R2"};
    for (std::size_t i = 0; i < printed.size(); ++i) {
        EXPECT_EQ(printed[i].substr(printed[i].find(')') + 1),
                  std::string(" quorvane ") + expected[i]);
        EXPECT_EQ(canopen_trace::ParseCandumpLine(printed[i]).kind,
                  canopen_trace::CandumpLineKind::kFrame);
    }
}

TEST_F(QuorshareProgramTest, DumpEndsWhenQuorvaneStopsOrOnSigterm) {
    startQuorvane();
    auto untilStop = run({"dump"});
    auto untilSignal = run({"dump"});
    ASSERT_TRUE(waitUntil([&] { return messaging_->clientCount() == 2; }, 20s));
    EXPECT_EQ(untilSignal->stop(), 0);
    messaging_->Stop();
    EXPECT_EQ(untilStop->wait(), 0);
}

TEST_F(QuorshareProgramTest, SendTransmitsTheFramesInOrder) {
    startQuorvane();
    auto send = run({"send", "123#1122", "12345678#AA", "705#R2", "080#"});
    EXPECT_EQ(send->wait(), 0) << send->errors();
    EXPECT_TRUE(waitUntil([&] { return sentTexts().size() == 4; }));
    EXPECT_EQ(sentTexts(), (std::vector<std::string>{"123#1122", "12345678#AA", "705#R2", "080#"}));
}

}  // namespace
