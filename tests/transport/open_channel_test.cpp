#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/child_process.h"
#include "transport/channel.h"

namespace morvell::transport {
namespace {

Channel channelOf(Channel::Kind kind, std::string interface, std::string host = {},
                  std::uint16_t port = kDefaultSocketcandPort) {
    Channel c;
    c.kind = kind;
    c.interface = std::move(interface);
    c.host = std::move(host);
    c.port = port;
    return c;
}

TEST(OpenChannel, OnlyTheEightBitRatesAreAccepted) {
    for (int kbps : {0, 100, -125}) {
        SCOPED_TRACE(kbps);
        OpenResult r = openChannel(channelOf(Channel::Kind::Virtual, "vbus0"), kbps);
        EXPECT_FALSE(r.transport);
        EXPECT_EQ(r.error, "bit rate " + std::to_string(kbps) +
                               " kbit/s is not supported: use 1000, 800, 500, 250, 125, 50, 20 "
                               "or 10");
    }
}

TEST(OpenChannel, FailuresNameTheFixPerKind) {
    const int closed_port = testsupport::freeLoopbackPort();
    struct Row {
        Channel channel;
        std::string text;
        bool whole = false;  // the text is the whole error, not its start
    } rows[] = {
        {channelOf(Channel::Kind::Socketcand, "can1", "127.0.0.1",
                   static_cast<std::uint16_t>(closed_port)),
         "no socketcand gateway at 127.0.0.1:" + std::to_string(closed_port) +
             ": start socketcand -i can1, or check the address",
         true},
        {channelOf(Channel::Kind::Socketcand, "can0", "no-such-host.invalid"),
         "cannot resolve host 'no-such-host.invalid'"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        OpenResult r = openChannel(row.channel, 250);
        EXPECT_FALSE(r.transport);
        EXPECT_EQ(row.whole ? r.error : r.error.substr(0, row.text.size()), row.text);
        EXPECT_LT(r.error.size(), 280u);
    }
}

}  // namespace
}  // namespace morvell::transport
