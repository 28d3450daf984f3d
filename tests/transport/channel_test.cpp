// Channel texts and the resolution order: environment, per-user file,
// per-adapter default.
#include "transport/channel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <tuple>

namespace {

using morvell::transport::parseChannel;
using morvell::transport::resolveChannelText;

// Rows: text, canonical text of the parsed channel ("" = refused).
TEST(ChannelParse, Table) {
    const std::pair<const char*, const char*> cases[] = {
        {" socketcan:vcan1 ", "socketcan:vcan1"},
        {"socketcand:gw.local/can1", "socketcand:gw.local:29536/can1"},
        {"virtual", "virtual:vbus0"},
        {"virtual:lab@40000", "virtual:lab@40000"},
        {"socketcan:averyveryverylongname", ""},
        {"socketcand:host", ""},
        {"socketcand:host:99999/can0", ""},
        {"virtual:bus@0", ""},
        {"pcan:usb1", ""},
    };
    for (const auto& [text, canonical] : cases) {
        std::string error;
        const auto ch = parseChannel(text, &error);
        EXPECT_EQ(ch ? ch->toString() : "", canonical) << text;
        EXPECT_EQ(error.empty(), ch.has_value()) << text;
        if (ch) {
            EXPECT_EQ(parseChannel(canonical).value().toString(), canonical);
        }
    }
}

TEST(ChannelResolve, EnvironmentThenFileThenDefault) {
    const morvell::transport::ConfigValues file{{"adapter2", "socketcan:can7"}};
    EXPECT_EQ(resolveChannelText(2, 255, "virtual:x", file), "virtual:x");
    EXPECT_EQ(resolveChannelText(2, 255, "", file), "socketcan:can7");
    EXPECT_EQ(resolveChannelText(1, 255, "", file), "virtual");
    EXPECT_EQ(resolveChannelText(3, 2, "", file), "socketcan:can2");
}

TEST(ChannelResolve, SourceOfEachRule) {
    using morvell::transport::ChannelSource;
    using morvell::transport::resolveChannel;
    const morvell::transport::ConfigValues file{{"adapter2", "socketcan:can7"}, {"adapter4", ""}};
    const std::tuple<std::int32_t, const char*, const char*, ChannelSource> rows[] = {
        {2, " virtual:x ", "virtual:x", ChannelSource::Environment},
        {2, "  ", "socketcan:can7", ChannelSource::File},
        {4, "", "socketcan:can0", ChannelSource::Default},  // an empty value counts as missing
        {5, "", "socketcan:can0", ChannelSource::Default},
    };
    for (const auto& [code, environment, text, source] : rows) {
        const auto resolved = resolveChannel(code, 255, environment, file);
        EXPECT_EQ(resolved.text, text) << code;
        EXPECT_EQ(resolved.source, source) << code;
    }
}

TEST(ChannelResolve, ConfigFileSyntax) {
    const std::string path = testing::TempDir() + "morvellconf_syntax";
    std::ofstream(path) << "# channels of this machine\n"
                           "adapter2 = socketcand:gw/can1   # the lab gateway\n"
                           "   sdo_timeout_ms=250\n"
                           "garbage line without equals\n"
                           "= no key\n";
    const auto values = morvell::transport::readConfigFile(path);
    std::remove(path.c_str());
    const morvell::transport::ConfigValues expected{{"adapter2", "socketcand:gw/can1"},
                                                    {"sdo_timeout_ms", "250"}};
    EXPECT_EQ(values, expected);
    EXPECT_TRUE(morvell::transport::readConfigFile("/nonexistent/file").empty());
}

}  // namespace
