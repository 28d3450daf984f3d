// quorsim as a program on quorbus, watched by a raw socketcand client:
// start-up line and boot-ups, commands, the ways it ends.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

// Standard input that is a regular file or /dev/null (epoll refuses both) is
// read like a pipe; --exit-on-eof ends the program at its end. A line longer
// than 4096 characters gets one error answer, whatever its length.
TEST(QuorsimProgram, ScriptFilesOnStandardInputRunAndEnd) {
    ChildProcess hub(programPath("quorbus"), {"--port", "0", "--quiet"});
    const std::uint16_t port = quorbustest::portOf(hub.waitForLine(quorbustest::kListening));
    ASSERT_NE(port, 0) << hub.errors();
    const std::string channel = "virtual:scriptbus@" + std::to_string(port);
    std::string folder = (std::filesystem::temp_directory_path() / "quorsim_scriptXXXXXX").string();
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    const std::string too_long = "error: line longer than 4096 characters";
    const struct {
        const char* name;
        std::string script;  // empty: /dev/null
        std::vector<std::string> answers;
    } cases[] = {
        {"/dev/null", "", {}},
        {"script", "add 9\nstats\n", {"ok node 9 added", "ok nodes 9 "}},
        {"last line without newline", "add 9\nremove 9", {"ok node 9 added", "ok node 9 removed"}},
        {"long lines",
         std::string(1 << 20, 'x') + "\n" + std::string(4097, 'y') + "\nadd 9\n" +
             std::string(4096, '#') + "\n" + std::string(100000, 'z'),
         {too_long, too_long, "ok node 9 added", too_long}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string input = "/dev/null";
        if (!c.script.empty()) {
            input = folder + "/script.txt";
            std::ofstream(input, std::ios::binary) << c.script;
        }
        // sh -c SCRIPT quorsim INPUT OPTIONS...: quorsim OPTIONS... < INPUT
        ChildProcess sim("/bin/sh",
                         {"-c", "input=$1; shift; exec \"$0\" \"$@\" < \"$input\"",
                          programPath("quorsim"), input, "--channel", channel, "--exit-on-eof"});
        ASSERT_EQ(sim.wait(std::chrono::seconds(20)), 0) << sim.output() << sim.errors();
        std::vector<std::string> answers;
        std::string line;
        std::istringstream out(sim.output());
        while (std::getline(out, line))
            if (line.rfind("quorsim ready", 0) != 0) answers.push_back(line);
        ASSERT_EQ(answers.size(), c.answers.size()) << sim.output();
        for (std::size_t i = 0; i < answers.size(); ++i)
            EXPECT_EQ(answers[i].rfind(c.answers[i], 0), 0u) << answers[i];
    }
    std::filesystem::remove_all(folder);
}

TEST(QuorsimProgram, UnusableChannelExitsWithCodeOne) {
    ChildProcess sim(programPath("quorsim"), {"--channel", "carrier-pigeon"});
    EXPECT_EQ(sim.wait(), 1);
    EXPECT_NE(sim.errors().find("unknown channel"), std::string::npos) << sim.errors();
}

}  // namespace
