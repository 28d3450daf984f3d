// Channel texts and the resolution order: environment, per-user file,
// per-adapter default.
#include "transport/channel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace {

using morvell::transport::Channel;
using morvell::transport::parseChannel;
using morvell::transport::resolveChannelText;

struct ParseCase {
    const char* text;
    bool ok;
    Channel::Kind kind;
    const char* interface;
    const char* host;
    int port;
};

TEST(ChannelParse, Table) {
    const ParseCase cases[] = {
        {" socketcan:vcan1 ", true, Channel::Kind::SocketCan, "vcan1", "", 29536},
        {"socketcand:gw.local/can1", true, Channel::Kind::Socketcand, "can1", "gw.local", 29536},
        {"socketcand:127.0.0.1:30000/can0", true, Channel::Kind::Socketcand, "can0", "127.0.0.1",
         30000},
        {"virtual", true, Channel::Kind::Virtual, "vbus0", "", 29536},
        {"virtual:lab@40000", true, Channel::Kind::Virtual, "lab", "", 40000},
        {"socketcan:", false, {}, "", "", 0},
        {"socketcan:averyveryverylongname", false, {}, "", "", 0},
        {"socketcand:host", false, {}, "", "", 0},
        {"socketcand:host:99999/can0", false, {}, "", "", 0},
        {"virtual:bus@0", false, {}, "", "", 0},
        {"pcan:usb1", false, {}, "", "", 0},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto ch = parseChannel(c.text, &error);
        ASSERT_EQ(ch.has_value(), c.ok) << c.text;
        if (!c.ok) {
            EXPECT_FALSE(error.empty()) << c.text;
            continue;
        }
        EXPECT_EQ(ch->kind, c.kind) << c.text;
        EXPECT_EQ(ch->interface, c.interface) << c.text;
        EXPECT_EQ(ch->host, c.host) << c.text;
        EXPECT_EQ(ch->port, c.port) << c.text;
        // The canonical text reads back as the same channel.
        const auto again = parseChannel(ch->toString());
        ASSERT_TRUE(again) << ch->toString();
        EXPECT_EQ(again->toString(), ch->toString());
    }
}

TEST(ChannelResolve, EnvironmentThenFileThenDefault) {
    const morvell::transport::ConfigValues file{{"adapter2", "socketcan:can7"}};
    EXPECT_EQ(resolveChannelText(2, 255, "virtual:x", file), "virtual:x");
    EXPECT_EQ(resolveChannelText(2, 255, "", file), "socketcan:can7");
    EXPECT_EQ(resolveChannelText(4, 255, "", file), "socketcan:can0");
    EXPECT_EQ(resolveChannelText(1, 255, "", file), "virtual");
    EXPECT_EQ(resolveChannelText(3, 2, "", file), "socketcan:can2");
}

TEST(ChannelResolve, ConfigFileSyntax) {
    char path[] = "/tmp/morvellconfXXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        std::ofstream out(path);
        out << "# channels of this machine\n"
               "adapter2 = socketcand:gw/can1   # the lab gateway\n"
               "   sdo_timeout_ms=250\n"
               "garbage line without equals\n"
               "= no key\n";
    }
    const auto values = morvell::transport::readConfigFile(path);
    std::remove(path);
    const morvell::transport::ConfigValues expected{{"adapter2", "socketcand:gw/can1"},
                                                    {"sdo_timeout_ms", "250"}};
    EXPECT_EQ(values, expected);
    EXPECT_TRUE(morvell::transport::readConfigFile("/nonexistent/file").empty());
}

}  // namespace
