// python-can's socketcand interface and a raw client exchange standard and
// extended frames through a spawned quorbus.
#include <gtest/gtest.h>

#include <string>

#include "protocol/can_frame.h"
#include "quorbus_test_client.h"
#include "support/child_process.h"

namespace {

namespace sc = morvell::socketcand;
using quorbustest::HubClient;
using testsupport::ChildProcess;

constexpr char kPython[] = "/usr/bin/python3";
constexpr char kListening[] = "quorbus listening on 127.0.0.1:";

bool pythonCanInstalled() {
    ChildProcess probe(kPython, {"-c", "import can"});
    return probe.started() && probe.wait(std::chrono::seconds(30)) == 0;
}

TEST(QuorbusPythonCan, ExchangesStandardAndExtendedFrames) {
    if (!pythonCanInstalled()) GTEST_SKIP() << "python3 cannot import can";
    ChildProcess hub(testsupport::programPath("quorbus"), {"--port", "0", "--quiet"});
    const std::string line = hub.waitForLine(kListening);
    ASSERT_FALSE(line.empty()) << hub.errors();
    const std::string port = line.substr(line.find(kListening) + sizeof kListening - 1);

    HubClient raw(static_cast<std::uint16_t>(std::stoi(port)));
    ASSERT_TRUE(raw.join("vbus7"));
    ChildProcess python(
        kPython, {std::string(QUORVANE_SOURCE_DIR) + "/tests/sim/python_can_client.py", "127.0.0.1",
                  port, "vbus7", "3"});
    ASSERT_FALSE(python.waitForLine("ready").empty()) << python.errors();

    // raw -> python-can
    ASSERT_TRUE(raw.sendText("< send 123 2 AB CD >\n< send 1234567 1 EE >\n< send 000 0 >\n"));
    EXPECT_FALSE(python.waitForLine("rx 123 ABCD").empty()) << python.output() << python.errors();
    EXPECT_FALSE(python.waitForLine("rx 1234567 EE").empty()) << python.output();
    EXPECT_FALSE(python.waitForLine("rx 0 ").empty()) << python.output();

    // python-can -> raw
    struct Expected {
        std::uint32_t id;
        bool extended;
        std::uint8_t length;
    };
    for (const Expected& want : {Expected{0x123, false, 3}, Expected{0x1ABCD, true, 1},
                                 Expected{0x12345678, true, 0}, Expected{0x7FF, false, 8}}) {
        const auto message = raw.next();
        const auto frame = message ? sc::parseFrame(sc::splitWords(*message)) : std::nullopt;
        ASSERT_TRUE(frame) << message.value_or("<none>") << python.errors();
        EXPECT_EQ(frame->frame.id, want.id);
        EXPECT_EQ(morvell::isExtended(frame->frame), want.extended) << *message;
        EXPECT_EQ(frame->frame.length, want.length) << *message;
    }
    EXPECT_FALSE(python.waitForLine("sent").empty());
    python.writeLine("done");
    EXPECT_EQ(python.wait(), 0) << python.errors();
}

}  // namespace
