#include "session/library_config.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

std::map<std::string, std::string> environment;
const char* lookup(const char* name) {
    const auto it = environment.find(name);
    return it == environment.end() ? nullptr : it->second.c_str();
}

TEST(LibrarySettings, EnvironmentOverridesFile) {
    environment = {{"MORVELLCANOPEN_SDO_TIMEOUT_MS", "250"},
                   {"MORVELLCANOPEN_BLOCK_UPLOAD", "0"},
                   {"MORVELLCANOPEN_CHANNEL", "virtual:a"}};
    const morvell::transport::ConfigValues file{
        {"sdo_timeout_ms", "700"}, {"block_download_min", "0"}, {"adapter1", "virtual:b"}};
    const auto s = morvell::session::loadLibrarySettings(1, 255, file, lookup);
    EXPECT_EQ(s.channel_text, "virtual:a");
    EXPECT_EQ(s.session.sdo.response_timeout, std::chrono::milliseconds(250));
    EXPECT_FALSE(s.session.sdo.block_upload);
    EXPECT_EQ(s.session.sdo.block_download_min_bytes, 0u);
}

// An empty value counts as unset: the defaults apply.
TEST(LibrarySettings, MalformedValuesAreReported) {
    for (const char* bad : {"0", "60001", "12ms", ""}) {
        environment = {{"MORVELLCANOPEN_SDO_TIMEOUT_MS", bad}};
        const auto s = morvell::session::loadLibrarySettings(2, 255, {}, lookup);
        EXPECT_EQ(s.problem.empty(), std::string(bad).empty()) << bad;
        EXPECT_EQ(s.problem.find("MORVELLCANOPEN_SDO_TIMEOUT_MS") == std::string::npos, !*bad);
        EXPECT_EQ(s.channel_text, "socketcan:can0");
        EXPECT_EQ(s.session.sdo.response_timeout, std::chrono::milliseconds(1000)) << bad;
    }
}

}  // namespace
