#include "transport/socketcand_transport.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>
#include <tuple>

#include "protocol/can_frame.h"
#include "socketcand_transport_fake_server.h"
#include "support/child_process.h"

namespace morvell::transport {
namespace {

using transporttest::FakeSocketcand;
using transporttest::HandshakeScript;
using Kind = TransportEvent::Kind;

SocketcandEndpoint endpointOf(std::uint16_t port) {
    return {"127.0.0.1", port, "can0", "socketcand:127.0.0.1/can0", "socketcand at 127.0.0.1"};
}

struct Connected {
    std::unique_ptr<SocketcandTransport> transport;
    ConnectFailure failure = ConnectFailure::None;
    std::string error;
};

Connected connectTo(FakeSocketcand& server, const HandshakeScript& script = {}) {
    Connected c;
    server.play(script);
    c.transport = SocketcandTransport::connect(endpointOf(server.port()), std::chrono::seconds(5),
                                               &c.failure, &c.error);
    server.finish();
    return c;
}

// Receives until at least count events arrived (or the limit passed).
std::vector<TransportEvent> receiveEvents(SocketcandTransport& transport, std::size_t count) {
    std::vector<TransportEvent> events;
    testsupport::waitUntil([&] {
        pollfd p{transport.fd(), POLLIN, 0};
        poll(&p, 1, 10);
        transport.receive(events);
        return events.size() >= count;
    });
    return events;
}

// Without the extension, remote frames fail with TX_FAILED and are never written.
TEST(SocketcandTransportHandshake, ExtendedFramesFollowTheGatewaysAnswer) {
    struct Row {
        const char* xframes_reply;
        bool extended;
    } rows[] = {
        {"< ok >", true},                      // quorbus
        {"< error unknown command >", false},  // socketcand
        {"", false},                           // no answer at all, only the echo
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.xframes_reply);
        FakeSocketcand server;
        HandshakeScript script;
        script.xframes_reply = row.xframes_reply;
        Connected c = connectTo(server, script);
        ASSERT_TRUE(c.transport) << c.error;
        EXPECT_EQ(c.transport->extendedFrames(), row.extended);
        EXPECT_EQ(c.transport->name(), "socketcand:127.0.0.1/can0");
        ASSERT_EQ(c.transport->send(makeFrame(0x701, {}, CANFRAME_FLAG_REMOTE)), SendResult::Ok);
        ASSERT_EQ(c.transport->send(makeFrame(0x702, {5})), SendResult::Ok);
        std::vector<TransportEvent> events;
        ASSERT_TRUE(c.transport->flush(events));
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].kind, row.extended ? Kind::Sent : Kind::BusError);
        EXPECT_EQ(events[0].error_code, row.extended ? 0 : MORVELL_ERROR_TX_FAILED);
        EXPECT_EQ(events[1].kind, Kind::Sent);
        ASSERT_TRUE(server.readUntil("< send 702 1 05 >"));
        EXPECT_EQ(server.received().find("sendrtr") != std::string::npos, row.extended);
    }
}

TEST(SocketcandTransportHandshake, RefusalsFailWithATextNamingTheFix) {
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {"SSH-2.0-OpenSSH_9.2\r\n< x >", "< ok >", "is not a socketcand gateway"},
        {"< hi >", "< error no such interface >", "socketcand -i can0"},
    };
    for (const auto& [greeting, open_reply, expected_text] : rows) {
        FakeSocketcand server;
        HandshakeScript script;
        script.greeting = greeting;
        script.open_reply = open_reply;
        Connected c = connectTo(server, script);
        EXPECT_FALSE(c.transport);
        EXPECT_EQ(c.failure, ConnectFailure::Handshake);
        EXPECT_NE(c.error.find(expected_text), std::string::npos) << c.error;
        EXPECT_LT(c.error.size(), 280u);
    }
}

// Splits at every byte are covered by the MessageReader tests; ok/echo replies give no event.
TEST(SocketcandTransportReceive, HandshakeLeftoversThenManyMessagesInOneWrite) {
    FakeSocketcand server;
    HandshakeScript script;
    script.after_rawmode = "< frame 124 1.000001 BB >";
    Connected c = connectTo(server, script);
    ASSERT_TRUE(c.transport) << c.error;
    ASSERT_TRUE(server.write(
        "< frame 123 1699999999.000123 112233 >\n< ok >\n< rtr 123 23.000001 8 >\n< echo >"
        "< errframe 00000040 23.000001 0000000000000000 >\n"));
    const auto events = receiveEvents(*c.transport, 4);
    ASSERT_EQ(events.size(), 4u);
    const char* frames[] = {"124#BB", "123#112233", "123#R8"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(events[i].kind, Kind::Frame);
        EXPECT_EQ(toString(events[i].frame), frames[i]);
        EXPECT_EQ(events[i].status, 1);
    }
    EXPECT_EQ(events[3].kind, Kind::BusError);
    EXPECT_EQ(events[3].error_code, MORVELL_ERROR_BUS_OFF);
}

TEST(SocketcandTransportReceive, ConnectionDropEndsReceiveWithAText) {
    FakeSocketcand server;
    Connected c = connectTo(server);
    ASSERT_TRUE(c.transport) << c.error;
    ASSERT_TRUE(server.write("< frame 001 1.0 01 >"));
    server.closeClient();
    std::vector<TransportEvent> events;
    ASSERT_TRUE(testsupport::waitUntil([&] {
        pollfd p{c.transport->fd(), POLLIN, 0};
        poll(&p, 1, 10);
        return !c.transport->receive(events);
    }));
    ASSERT_EQ(events.size(), 1u);  // the frame before the drop still arrives
    EXPECT_EQ(c.transport->error(), "connection to socketcand at 127.0.0.1 closed");
    EXPECT_EQ(c.transport->send(makeFrame(0x1, {1})), SendResult::Failed);
}

// Frame i of a numbered series: id and data from i.
CanFrame numbered(std::uint32_t i) {
    return makeFrame(i & 0x7FF, {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8)});
}

TEST(SocketcandTransportSend, SlowReaderFillsTheBufferThenEverythingArrivesInOrder) {
    FakeSocketcand server(4096);
    Connected c = connectTo(server);
    ASSERT_TRUE(c.transport) << c.error;
    const int small = 4096;
    setsockopt(c.transport->fd(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);

    // The server reads nothing: the kernel buffers fill, then our own buffer.
    std::vector<TransportEvent> events;
    std::uint32_t accepted = 0;
    for (SendResult r; (r = c.transport->send(numbered(accepted))) != SendResult::WouldBlock;) {
        ASSERT_EQ(r, SendResult::Ok);
        ASSERT_LT(++accepted, 1000000u) << "send() never pushed back";
    }
    EXPECT_TRUE(c.transport->hasPendingOutput());
    ASSERT_TRUE(c.transport->flush(events));
    EXPECT_LT(events.size(), accepted);  // not everything is written yet

    // Now the server reads; flush whenever writable until all is out.
    const std::string last = socketcand::formatSend(numbered(accepted - 1));
    bool all_read = false;
    std::thread reader([&] { all_read = server.readUntil(last, std::chrono::seconds(30)); });
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            pollfd p{c.transport->fd(), POLLOUT, 0};
            poll(&p, 1, 10);
            EXPECT_TRUE(c.transport->flush(events));
            return !c.transport->hasPendingOutput();
        },
        std::chrono::seconds(30)));
    reader.join();
    ASSERT_TRUE(all_read);
    ASSERT_EQ(events.size(), accepted);
    for (std::uint32_t i = 0; i < accepted; ++i) {
        ASSERT_EQ(events[i].kind, Kind::Sent);
        ASSERT_TRUE(sameFrame(events[i].frame, numbered(i))) << i;
    }
    // The bytes arrived in the order sent.
    std::size_t position = 0;
    for (std::uint32_t i = 0; i < accepted; i += 97)
        ASSERT_NE(position = server.received().find(socketcand::formatSend(numbered(i)), position),
                  std::string::npos);
}

}  // namespace
}  // namespace morvell::transport
