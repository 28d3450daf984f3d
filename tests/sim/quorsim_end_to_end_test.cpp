// quorbus and quorsim as programs, watched by a raw socketcand client.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "support/child_process.h"
#include "transport/socketcand_framing.h"

namespace {

namespace sc = morvell::socketcand;
using std::chrono::milliseconds;
using std::chrono::seconds;

bool built(const std::string& program) {
    return access(testsupport::programPath(program).c_str(), X_OK) == 0;
}

// A plain socketcand client in raw mode, as any third-party tool would be.
class RawClient {
public:
    ~RawClient() {
        if (fd_ >= 0) close(fd_);
    }

    bool join(int port, const std::string& bus) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return false;
        return next(seconds(5)) == "hi" && write("< open " + bus + " >") &&
               next(seconds(5)) == "ok" && write("< rawmode >") && next(seconds(5)) == "ok";
    }

    bool write(const std::string& message) {
        return ::send(fd_, message.data(), message.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(message.size());
    }

    // The next message, or empty after the limit.
    std::string next(milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (true) {
            if (auto m = reader_.next()) return *m;
            const auto left =
                std::chrono::duration_cast<milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) return {};
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char buf[1024];
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n <= 0) return {};
            reader_.feed(std::string_view(buf, static_cast<std::size_t>(n)));
        }
    }

    // Waits for a frame with this id and first data byte; returns its data bytes
    // as hex text, or empty.
    std::optional<std::string> waitForFrame(std::uint32_t id, std::optional<std::uint8_t> first,
                                            milliseconds limit = seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            const std::string m = next(
                std::chrono::duration_cast<milliseconds>(end - std::chrono::steady_clock::now()));
            if (m.empty()) break;
            const auto words = sc::splitWords(m);
            const auto frame = sc::parseFrame(words);
            if (!frame || frame->frame.id != id) continue;
            if (first && (frame->frame.length == 0 || frame->frame.data[0] != *first)) continue;
            std::string hex;
            char byte[4];
            for (unsigned i = 0; i < frame->frame.length; ++i) {
                std::snprintf(byte, sizeof byte, "%02X", frame->frame.data[i]);
                hex += byte;
            }
            return hex;
        }
        return std::nullopt;
    }

private:
    int fd_ = -1;
    sc::MessageReader reader_;
};

TEST(QuorsimEndToEnd, BootUpHeartbeatNmtAndSdoReachARawClient) {
    if (!built("quorbus") || !built("quorsim")) GTEST_SKIP() << "quorbus or quorsim not built";
    const int port = testsupport::freeLoopbackPort();
    testsupport::ChildProcess bus(testsupport::programPath("quorbus"),
                                  {"--port", std::to_string(port)});
    ASSERT_FALSE(bus.waitForLine("listening").empty()) << bus.errors();
    RawClient client;
    ASSERT_TRUE(client.join(port, "testbus"));

    testsupport::ChildProcess sim(
        testsupport::programPath("quorsim"),
        {"--channel", "virtual:testbus@" + std::to_string(port), "--node", "5", "--node", "6",
         "--heartbeat", "50"},
        {"MORVELLCANOPEN_QUORBUS=" + testsupport::programPath("quorbus")});
    ASSERT_FALSE(sim.waitForLine("quorsim ready: nodes 5,6 on virtual:testbus@").empty())
        << sim.output() << sim.errors();

    EXPECT_EQ(client.waitForFrame(0x705, 0x00), "00") << "boot-up";
    EXPECT_EQ(client.waitForFrame(0x706, 0x00), "00") << "boot-up";
    EXPECT_EQ(client.waitForFrame(0x705, 0x7F), "7F") << "heartbeat, pre-operational";

    ASSERT_TRUE(client.write("< send 0 2 01 05 >"));  // start node 5
    EXPECT_EQ(client.waitForFrame(0x705, 0x05), "05") << "heartbeat, operational";

    ASSERT_TRUE(client.write("< send 605 8 40 18 10 04 00 00 00 00 >"));  // serial number
    EXPECT_EQ(client.waitForFrame(0x585, std::nullopt), "4318100405100000");

    // Closing standard input does not end quorsim; commands still could not arrive,
    // so check it is alive by its heartbeat, then end it with SIGTERM.
    sim.closeInput();
    EXPECT_EQ(client.waitForFrame(0x706, 0x7F), "7F");
    EXPECT_EQ(sim.stop(), 0) << sim.errors();
}

TEST(QuorsimEndToEnd, CommandsAnswerAndQuitEnds) {
    if (!built("quorbus") || !built("quorsim")) GTEST_SKIP() << "quorbus or quorsim not built";
    const int port = testsupport::freeLoopbackPort();
    testsupport::ChildProcess bus(testsupport::programPath("quorbus"),
                                  {"--port", std::to_string(port)});
    ASSERT_FALSE(bus.waitForLine("listening").empty()) << bus.errors();
    RawClient client;
    ASSERT_TRUE(client.join(port, "vbus0"));
    testsupport::ChildProcess sim(
        testsupport::programPath("quorsim"),
        {"--channel", "virtual:vbus0@" + std::to_string(port), "--exec", "add 9"});
    ASSERT_FALSE(sim.waitForLine("quorsim ready: nodes none").empty()) << sim.errors();
    EXPECT_FALSE(sim.waitForLine("ok node 9 added").empty()) << sim.output();
    EXPECT_EQ(client.waitForFrame(0x709, 0x00), "00");
    ASSERT_TRUE(sim.writeLine("emcy 9 0x8110 0x11 1 2 3 4 5"));
    EXPECT_FALSE(sim.waitForLine("ok node 9 emergency").empty()) << sim.output();
    EXPECT_EQ(client.waitForFrame(0x089, std::nullopt), "1081110102030405");
    ASSERT_TRUE(sim.writeLine("no such command"));
    EXPECT_FALSE(sim.waitForLine("error: unknown command 'no'").empty()) << sim.output();
    ASSERT_TRUE(sim.writeLine("quit"));
    EXPECT_EQ(sim.wait(), 0) << sim.errors();
}

TEST(QuorsimEndToEnd, UnusableChannelExitsWithCodeOne) {
    if (!built("quorsim")) GTEST_SKIP() << "quorsim not built";
    testsupport::ChildProcess bad(testsupport::programPath("quorsim"),
                                  {"--channel", "carrier-pigeon"});
    EXPECT_EQ(bad.wait(), 1);
    EXPECT_NE(bad.errors().find("unknown channel"), std::string::npos) << bad.errors();
    const int closed_port = testsupport::freeLoopbackPort();
    testsupport::ChildProcess refused(
        testsupport::programPath("quorsim"),
        {"--channel", "socketcand:127.0.0.1:" + std::to_string(closed_port) + "/can0"});
    EXPECT_EQ(refused.wait(), 1);
    EXPECT_NE(refused.errors().find("cannot open"), std::string::npos) << refused.errors();
}

}  // namespace
