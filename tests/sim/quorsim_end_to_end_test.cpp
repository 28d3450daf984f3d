// quorsim as a program on quorbus, watched by a raw socketcand client:
// start-up line and boot-ups, commands, the ways it ends.
#include <gtest/gtest.h>

#include <string>

#include "quorbus_test_client.h"
#include "support/child_process.h"

namespace {

using testsupport::ChildProcess;
using testsupport::programPath;

TEST(QuorsimEndToEnd, NodesBootCommandsAnswerAndTheEndOfInputIsNotTheEnd) {
    ChildProcess hub(programPath("quorbus"), {"--port", "0", "--quiet"});
    const std::uint16_t port = quorbustest::portOf(hub.waitForLine(quorbustest::kListening));
    ASSERT_NE(port, 0) << hub.errors();
    quorbustest::HubClient client(port);
    ASSERT_TRUE(client.join("testbus"));
    const std::string channel = "virtual:testbus@" + std::to_string(port);
    ChildProcess sim(programPath("quorsim"),
                     {"--channel", channel, "--node", "6", "--heartbeat", "50", "--exec", "add 9"});
    EXPECT_FALSE(sim.waitForLine("quorsim ready: nodes 6 on " + channel).empty()) << sim.errors();
    EXPECT_FALSE(sim.waitForLine("ok node 9 added").empty()) << sim.output();
    EXPECT_EQ(client.waitForFrame(0x706, 0x00), "706#00") << "boot-up";
    EXPECT_EQ(client.waitForFrame(0x709, 0x00), "709#00") << "boot-up";
    ASSERT_TRUE(sim.writeLine("no such command"));
    EXPECT_FALSE(sim.waitForLine("error: unknown command 'no'").empty()) << sim.output();
    // Without --exit-on-eof, the end of input is not the end: the heartbeat goes on.
    sim.closeInput();
    EXPECT_EQ(client.waitForFrame(0x706, 0x7F), "706#7F") << "heartbeat, pre-operational";
    EXPECT_EQ(sim.stop(), 0) << sim.errors();
    ChildProcess quitter(programPath("quorsim"), {"--channel", channel, "--exec", "quit"});
    EXPECT_EQ(quitter.wait(), 0) << quitter.errors();
}

TEST(QuorsimProgram, UnusableChannelExitsWithCodeOne) {
    ChildProcess sim(programPath("quorsim"), {"--channel", "carrier-pigeon"});
    EXPECT_EQ(sim.wait(), 1);
    EXPECT_NE(sim.errors().find("unknown channel"), std::string::npos) << sim.errors();
}

}  // namespace
