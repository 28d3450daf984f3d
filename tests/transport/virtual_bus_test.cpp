#include "transport/virtual_bus.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "protocol/can_frame.h"
#include "support/child_process.h"

namespace morvell::transport {
namespace {

using V = std::vector<std::string>;

// Without the environment: beside the library, then PATH without empty entries. The
// environment's text is checked through openVirtualBus below.
TEST(VirtualBusSearch, LocateTakesTheFirstExecutableAndStartReportsWhatCannotRun) {
    EXPECT_EQ(quorbusCandidates({"", "/b/lib", "::/usr/bin:"}),
              (V{"/b/lib/../bin/quorbus", "/b/lib/quorbus", "/usr/bin/quorbus"}));
    std::string error;
    EXPECT_EQ(locateQuorbus({"", "/nonexistent/lib", "/nonexistent/a:/bin"}, &error), "");
    EXPECT_EQ(error, "no quorbus program beside the library or on PATH");
    EXPECT_EQ(locateQuorbus({"/bin/true", "/nonexistent", ""}, &error), "/bin/true");
    EXPECT_FALSE(startQuorbus("/nonexistent/quorbus", 1, &error));
    EXPECT_EQ(error, "/nonexistent/quorbus: No such file or directory");
}

// Sets an environment variable for one test (the tests run without it).
struct ScopedEnvironment {
    ScopedEnvironment(const char* name, const std::string& value) : name(name) {
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() { unsetenv(name); }
    const char* name;
};

TEST(VirtualBusStart, MissingProgramNamesTheFix) {
    ScopedEnvironment quorbus("MORVELLCANOPEN_QUORBUS", "/nonexistent/quorbus");
    OpenResult result =
        openVirtualBus("vbus0", static_cast<std::uint16_t>(testsupport::freeLoopbackPort()));
    EXPECT_FALSE(result.transport);
    EXPECT_EQ(result.error,
              "the virtual bus (quorbus) could not be started: MORVELLCANOPEN_QUORBUS="
              "/nonexistent/quorbus is not an executable program; build or install quorbus, or "
              "set MORVELLCANOPEN_QUORBUS");
}

std::vector<TransportEvent> receiveEvents(CanTransport& transport, std::size_t count) {
    std::vector<TransportEvent> events;
    testsupport::waitUntil([&] {
        pollfd p{transport.fd(), POLLIN, 0};
        poll(&p, 1, 10);
        EXPECT_TRUE(transport.receive(events)) << transport.error();
        return events.size() >= count;
    });
    return events;
}

// Opens use the quorbus built beside the tests, on a free port.
class VirtualBusHub : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(program_.c_str(), X_OK) != 0) GTEST_SKIP() << "quorbus is not built";
    }
    const std::string program_ = testsupport::programPath("quorbus");
    ScopedEnvironment quorbus_{"MORVELLCANOPEN_QUORBUS", program_};
    const std::uint16_t port = static_cast<std::uint16_t>(testsupport::freeLoopbackPort());
};

TEST_F(VirtualBusHub, ConcurrentOpensShareOneHub) {
    OpenResult results[3];
    std::vector<std::thread> openers;
    for (auto& r : results) openers.emplace_back([&r, this] { r = openVirtualBus("vbus1", port); });
    for (auto& t : openers) t.join();
    for (auto& r : results) ASSERT_TRUE(r.transport) << r.error;
    EXPECT_EQ(results[0].transport->name(), "virtual:vbus1@" + std::to_string(port));

    ASSERT_EQ(results[0].transport->send(makeFrame(0x80, {})), SendResult::Ok);
    for (int i = 1; i < 3; ++i) {
        auto events = receiveEvents(*results[i].transport, 1);
        ASSERT_EQ(events.size(), 1u) << i;
        EXPECT_EQ(events[0].frame.id, 0x80u);
    }
}

}  // namespace
}  // namespace morvell::transport
