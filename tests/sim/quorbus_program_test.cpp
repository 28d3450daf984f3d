// The quorbus program itself: start-up line, exit codes, signals, idle exit.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "quorbus_test_client.h"
#include "support/child_process.h"

namespace {

using quorbustest::HubClient;
using quorbustest::kListening;
using quorbustest::portOf;
using testsupport::ChildProcess;
using testsupport::programPath;

TEST(QuorbusProgram, AnnouncesItsPortAndStopsCleanlyOnSigterm) {
    ChildProcess hub(programPath("quorbus"), {"--port", "0"});
    const std::uint16_t port = portOf(hub.waitForLine(kListening));
    ASSERT_NE(port, 0) << hub.errors();
    HubClient a(port), b(port);
    ASSERT_TRUE(a.join("vbus0"));
    ASSERT_TRUE(b.join("vbus0"));
    ASSERT_TRUE(a.sendText("< send 123 0 >"));
    ASSERT_TRUE(b.next());
    kill(hub.pid(), SIGUSR1);
    kill(hub.pid(), SIGTERM);
    EXPECT_EQ(hub.wait(), 0);
    EXPECT_NE(hub.errors().find("quorbus report: 2 clients"), std::string::npos) << hub.errors();
    EXPECT_NE(hub.errors().find("quorbus exit:"), std::string::npos) << hub.errors();
    EXPECT_NE(hub.errors().find("sent 1, received 0, dropped 0"), std::string::npos);
}

TEST(QuorbusProgram, PortInUseExitsWithCodeTwo) {
    ChildProcess first(programPath("quorbus"), {"--port", "0", "--quiet"});
    const std::uint16_t port = portOf(first.waitForLine(kListening));
    ASSERT_NE(port, 0);
    ChildProcess second(programPath("quorbus"), {"--port", std::to_string(port)});
    EXPECT_EQ(second.wait(), 2);
    EXPECT_NE(second.errors().find("already in use"), std::string::npos) << second.errors();
    EXPECT_EQ(second.output().find(kListening), std::string::npos);
}

TEST(QuorbusProgram, IdleExitOnceTheLastClientHasLeft) {
    ChildProcess hub(programPath("quorbus"), {"--port", "0", "--idle-exit", "300", "--quiet"});
    const std::uint16_t port = portOf(hub.waitForLine(kListening));
    ASSERT_NE(port, 0);
    {
        HubClient client(port);
        ASSERT_TRUE(client.join("vbus0"));
    }
    EXPECT_EQ(hub.wait(std::chrono::seconds(20)), 0);
}

TEST(QuorbusProgram, BadArgumentsExitWithUsage) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--port", "70000"},
                                               {"--bitrate", "0"},
                                               {"--bitrate", "1001"},
                                               {"--bitrate", "fast"}}) {
        ChildProcess hub(programPath("quorbus"), args);
        EXPECT_EQ(hub.wait(), 3) << args[1];
        EXPECT_NE(hub.errors().find("usage"), std::string::npos) << args[1];
    }
}

}  // namespace
