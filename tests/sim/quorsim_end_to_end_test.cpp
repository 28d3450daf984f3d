// quorsim as a program on quorbus, watched by a raw socketcand client:
// start-up line and boot-ups, commands on standard input, the ways it ends.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "quorbus_test_client.h"
#include "support/child_process.h"

namespace {

using testsupport::ChildProcess;
using testsupport::programPath;

class QuorsimEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        hub_ = std::make_unique<ChildProcess>(programPath("quorbus"),
                                              std::vector<std::string>{"--port", "0", "--quiet"});
        const std::uint16_t port = quorbustest::portOf(hub_->waitForLine(quorbustest::kListening));
        ASSERT_NE(port, 0) << hub_->errors();
        channel_ = "virtual:testbus@" + std::to_string(port);
        client_ = std::make_unique<quorbustest::HubClient>(port);
        ASSERT_TRUE(client_->join("testbus"));
    }

    // quorsim on the hub's bus, waited for until it prints its ready line.
    std::unique_ptr<ChildProcess> startSimulator(std::vector<std::string> args,
                                                 const std::string& ready) {
        args.insert(args.begin(), {"--channel", channel_});
        auto sim = std::make_unique<ChildProcess>(programPath("quorsim"), args);
        EXPECT_FALSE(sim->waitForLine(ready + " on " + channel_).empty())
            << sim->output() << sim->errors();
        return sim;
    }

    std::unique_ptr<ChildProcess> hub_;
    std::string channel_;
    std::unique_ptr<quorbustest::HubClient> client_;
};

TEST_F(QuorsimEndToEnd, NodesBootAndOutliveTheEndOfInputUntilSigterm) {
    auto sim = startSimulator({"--node", "5", "--node", "6", "--heartbeat", "50"},
                              "quorsim ready: nodes 5,6");
    EXPECT_EQ(client_->waitForFrame(0x705, 0x00), "705#00") << "boot-up";
    EXPECT_EQ(client_->waitForFrame(0x706, 0x00), "706#00") << "boot-up";
    // Without --exit-on-eof, the end of input is not the end: the heartbeat goes on.
    sim->closeInput();
    EXPECT_EQ(client_->waitForFrame(0x706, 0x7F), "706#7F") << "heartbeat, pre-operational";
    EXPECT_EQ(sim->stop(), 0) << sim->errors();
}

TEST_F(QuorsimEndToEnd, ExecAndInputCommandsAnswerAndQuitEnds) {
    auto sim = startSimulator({"--exec", "add 9"}, "quorsim ready: nodes none");
    EXPECT_FALSE(sim->waitForLine("ok node 9 added").empty()) << sim->output();
    EXPECT_EQ(client_->waitForFrame(0x709), "709#00");
    ASSERT_TRUE(sim->writeLine("no such command"));
    EXPECT_FALSE(sim->waitForLine("error: unknown command 'no'").empty()) << sim->output();
    ASSERT_TRUE(sim->writeLine("quit"));
    EXPECT_EQ(sim->wait(), 0) << sim->errors();
}

TEST(QuorsimProgram, UnusableChannelExitsWithCodeOne) {
    const std::string closed_port = std::to_string(testsupport::freeLoopbackPort());
    const std::pair<std::string, const char*> cases[] = {
        {"carrier-pigeon", "unknown channel"},
        {"socketcand:127.0.0.1:" + closed_port + "/can0", "cannot open"},
    };
    for (const auto& [channel, expected] : cases) {
        ChildProcess sim(programPath("quorsim"), {"--channel", channel});
        EXPECT_EQ(sim.wait(), 1) << channel;
        EXPECT_NE(sim.errors().find(expected), std::string::npos) << sim.errors();
    }
}

}  // namespace
