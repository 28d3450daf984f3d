#include <gtest/gtest.h>

#include "support/child_process.h"
#include "transport/channel.h"

namespace morvell::transport {
namespace {

TEST(OpenChannel, OnlyTheEightBitRatesAreAccepted) {
    for (int kbps : {0, 100, -125}) {
        SCOPED_TRACE(kbps);
        OpenResult r = openChannel(*parseChannel("virtual"), kbps);
        EXPECT_FALSE(r.transport);
        EXPECT_EQ(r.error, "bit rate " + std::to_string(kbps) +
                               " kbit/s is not supported: use 1000, 800, 500, 250, 125, 50, 20 "
                               "or 10");
    }
}

TEST(OpenChannel, FailuresNameTheFixPerKind) {
    const std::string port = std::to_string(testsupport::freeLoopbackPort());
    struct Row {
        std::string channel, text;
        bool whole = false;  // the text is the whole error, not its start
    } rows[] = {
        {"socketcand:127.0.0.1:" + port + "/can1",
         "no socketcand gateway at 127.0.0.1:" + port +
             ": start socketcand -i can1, or check the address",
         true},
        {"socketcand:no-such-host.invalid/can0", "cannot resolve host 'no-such-host.invalid'"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        OpenResult r = openChannel(*parseChannel(row.channel), 250);
        EXPECT_FALSE(r.transport);
        EXPECT_EQ(row.whole ? r.error : r.error.substr(0, row.text.size()), row.text);
        EXPECT_LT(r.error.size(), 280u);
    }
}

}  // namespace
}  // namespace morvell::transport
