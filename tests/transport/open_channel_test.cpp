#include <gtest/gtest.h>

#include "support/child_process.h"
#include "transport/channel.h"

namespace morvell::transport {
namespace {

TEST(OpenChannel, OnlyTheEightBitRatesAreAccepted) {
    OpenResult r = openChannel(*parseChannel("virtual"), 100);
    EXPECT_FALSE(r.transport);
    EXPECT_EQ(r.error,
              "bit rate 100 kbit/s is not supported: use 1000, 800, 500, 250, 125, 50, 20 or 10");
}

TEST(OpenChannel, FailuresNameTheFixPerKind) {
    const std::string port = std::to_string(testsupport::freeLoopbackPort());
    OpenResult r = openChannel(*parseChannel("socketcand:127.0.0.1:" + port + "/can1"), 250);
    EXPECT_FALSE(r.transport);
    EXPECT_EQ(r.error, "no socketcand gateway at 127.0.0.1:" + port +
                           ": start socketcand -i can1, or check the address");
    r = openChannel(*parseChannel("socketcand:no-such-host.invalid/can0"), 250);
    EXPECT_EQ(r.error.rfind("cannot resolve host 'no-such-host.invalid'", 0), 0u) << r.error;
    EXPECT_LT(r.error.size(), 280u);
}

}  // namespace
}  // namespace morvell::transport
