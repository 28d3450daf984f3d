#include "transport/virtual_bus.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <thread>

#include "protocol/can_frame.h"
#include "support/child_process.h"

namespace morvell::transport {
namespace {

using V = std::vector<std::string>;

TEST(VirtualBusSearch, CandidatesInOrder) {
    struct Row {
        const char* what;
        QuorbusSearch search;
        V candidates;
    } rows[] = {
        {"environment wins alone", {"/opt/q/quorbus", "/usr/lib", "/usr/bin"}, {"/opt/q/quorbus"}},
        {"beside the library, then PATH",
         {"", "/b/lib", "/usr/local/bin:/usr/bin"},
         {"/b/lib/../bin/quorbus", "/b/lib/quorbus", "/usr/local/bin/quorbus", "/usr/bin/quorbus"}},
        {"empty PATH entries skipped", {"", "", "::/bin:"}, {"/bin/quorbus"}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(quorbusCandidates(row.search), row.candidates) << row.what;
    }
}

TEST(VirtualBusSearch, LocateTakesTheFirstExecutableAndStartReportsWhatCannotRun) {
    std::string error;
    EXPECT_EQ(locateQuorbus({"", "/nonexistent/lib", "/nonexistent/a:/bin"}, &error), "");
    EXPECT_EQ(error, "no quorbus program beside the library or on PATH");
    EXPECT_EQ(locateQuorbus({"/nonexistent/quorbus", "", "/usr/bin"}, &error), "");
    EXPECT_EQ(error, "MORVELLCANOPEN_QUORBUS=/nonexistent/quorbus is not an executable program");
    EXPECT_EQ(locateQuorbus({"/bin/true", "/nonexistent", ""}, &error), "/bin/true");
    EXPECT_FALSE(startQuorbus("/nonexistent/quorbus", 1, &error));
    EXPECT_EQ(error, "/nonexistent/quorbus: No such file or directory");
}

// Sets an environment variable for one test.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
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

TEST_F(VirtualBusHub, OpenStartsTheHubAndTwoParticipantsExchangeFrames) {
    OpenResult a = openVirtualBus("vbus0", port);
    ASSERT_TRUE(a.transport) << a.error;
    OpenResult b = openVirtualBus("vbus0", port);
    ASSERT_TRUE(b.transport) << b.error;
    EXPECT_EQ(a.transport->name(), "virtual:vbus0@" + std::to_string(port));

    const CanFrame frame = makeFrame(0x601, {0x40, 0x00, 0x10, 0x00});
    ASSERT_EQ(a.transport->send(frame), SendResult::Ok);
    auto at_b = receiveEvents(*b.transport, 1);
    ASSERT_EQ(at_b.size(), 1u);
    EXPECT_EQ(at_b[0].kind, TransportEvent::Kind::Frame);
    EXPECT_TRUE(sameFrame(at_b[0].frame, frame)) << toString(at_b[0].frame);

    std::vector<TransportEvent> at_a;
    ASSERT_TRUE(a.transport->flush(at_a));
    ASSERT_EQ(at_a.size(), 1u);
    EXPECT_EQ(at_a[0].kind, TransportEvent::Kind::Sent);

    const CanFrame remote = makeFrame(0x701, {}, CANFRAME_FLAG_REMOTE);  // needs xframes
    ASSERT_EQ(b.transport->send(remote), SendResult::Ok);
    auto back = receiveEvents(*a.transport, 1);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_TRUE(sameFrame(back[0].frame, remote)) << toString(back[0].frame);
}

TEST_F(VirtualBusHub, ConcurrentOpensShareOneHub) {
    OpenResult results[3];
    std::vector<std::thread> openers;
    for (auto& r : results) openers.emplace_back([&r, this] { r = openVirtualBus("vbus1", port); });
    for (auto& t : openers) t.join();
    for (auto& r : results) ASSERT_TRUE(r.transport) << r.error;

    ASSERT_EQ(results[0].transport->send(makeFrame(0x80, {})), SendResult::Ok);
    for (int i = 1; i < 3; ++i) {
        auto events = receiveEvents(*results[i].transport, 1);
        ASSERT_EQ(events.size(), 1u) << i;
        EXPECT_EQ(events[0].frame.id, 0x80u);
    }
}

}  // namespace
}  // namespace morvell::transport
