// python-can's socketcand interface and a raw client exchange standard and
// extended frames, empty and full, through a spawned quorbus.
#include <gtest/gtest.h>

#include <string>

#include "quorbus_test_client.h"
#include "support/child_process.h"

namespace {

using quorbustest::HubClient;
using testsupport::ChildProcess;

constexpr char kPython[] = "/usr/bin/python3";

bool pythonCanInstalled() {
    ChildProcess probe(kPython, {"-c", "import can"});
    return probe.started() && probe.wait(std::chrono::seconds(30)) == 0;
}

TEST(QuorbusPythonCan, AnswersEveryFrameFormat) {
    if (!pythonCanInstalled()) GTEST_SKIP() << "python3 cannot import can";
    ChildProcess hub(testsupport::programPath("quorbus"), {"--port", "0", "--quiet"});
    const std::uint16_t port = quorbustest::portOf(hub.waitForLine(quorbustest::kListening));
    ASSERT_NE(port, 0) << hub.errors();
    HubClient raw(port);
    ASSERT_TRUE(raw.join("vbus7"));

    struct Row {
        const char* send;
        const char* answer;  // from python-can: id + 1, same data
    };
    const Row rows[] = {
        {"< send 123 2 AB CD >", "124#ABCD"},
        {"< send 7FE 8 0 1 2 3 4 5 6 7 >", "7FF#0001020304050607"},
        {"< send 1ABCC 1 AA >", "0001ABCD#AA"},
        {"< send 12345677 0 >", "12345678#"},
    };
    ChildProcess python(kPython,
                        {std::string(QUORVANE_SOURCE_DIR) + "/tests/sim/python_can_client.py",
                         std::to_string(port), "vbus7", std::to_string(std::size(rows))});
    ASSERT_FALSE(python.waitForLine("ready").empty()) << python.errors();
    for (const Row& row : rows) {
        ASSERT_TRUE(raw.sendText(row.send));
        EXPECT_EQ(quorbustest::frameText(raw.next()), row.answer)
            << row.send << "\n"
            << python.output() << python.errors();
    }
    EXPECT_EQ(python.wait(), 0) << python.output() << python.errors();
}

}  // namespace
