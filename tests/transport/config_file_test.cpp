// Writing one value of the per-user file: other lines survive, the key is
// replaced, added or removed, and a failure leaves the file as it was.
#include "transport/config_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <tuple>

#include "transport/channel.h"

namespace morvell::transport {
namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string makeFolder() {
    std::string pattern = testing::TempDir() + "conf_XXXXXX";
    return ::mkdtemp(pattern.data());
}

// Rows: file before, key, value, file after.
TEST(ConfigFileWrite, Table) {
    const std::string comments = "# channels of this machine\nsdo_timeout_ms = 250\n";
    const std::tuple<std::string, std::string, std::string, std::string> rows[] = {
        {"", "adapter2", "socketcan:can1", "adapter2 = socketcan:can1\n"},
        {comments, "adapter2", "socketcan:can1", comments + "adapter2 = socketcan:can1\n"},
        {"adapter2=virtual:a  # old\nx = 1\nadapter2 = virtual:b\n", "adapter2", "virtual:c",
         "adapter2 = virtual:c\nx = 1\n"},
        {"# adapter2 = kept comment\nadapter2 = virtual:a\n", "adapter2", "",
         "# adapter2 = kept comment\n"},
        {"adapter20 = virtual:a\n", "adapter2", "virtual:b",
         "adapter20 = virtual:a\nadapter2 = virtual:b\n"},
        {"no newline at end", "adapter1", "virtual:vbus0",
         "no newline at end\nadapter1 = virtual:vbus0\n"},
    };
    const std::string folder = makeFolder();
    const std::string path = folder + "/morvellcanopen.conf";
    for (const auto& [before, key, value, after] : rows) {
        std::ofstream(path) << before;
        EXPECT_EQ(writeConfigValue(path, key, value), "") << before;
        EXPECT_EQ(readAll(path), after) << before;
        EXPECT_EQ(readConfigFile(path).count(key), value.empty() ? 0u : 1u);
    }
    std::system(("rm -rf '" + folder + "'").c_str());
}

TEST(ConfigFileWrite, CreatesMissingFolders) {
    const std::string folder = makeFolder();
    const std::string path = folder + "/a/Trelvik-System/morvellcanopen.conf";
    EXPECT_EQ(writeConfigValue(path, "adapter4", "socketcand:gw:29536/can0"), "");
    EXPECT_EQ(readConfigFile(path).at("adapter4"), "socketcand:gw:29536/can0");
    std::system(("rm -rf '" + folder + "'").c_str());
}

TEST(ConfigFileWrite, FailureNamesThePathAndKeepsTheFile) {
    const std::string folder = makeFolder();
    // A path below a regular file cannot be created.
    std::ofstream(folder + "/plain") << "x";
    const std::string error =
        writeConfigValue(folder + "/plain/sub/file.conf", "adapter1", "virtual");
    EXPECT_NE(error.find(folder + "/plain"), std::string::npos) << error;

    if (::geteuid() != 0) {  // root writes into read-only folders
        const std::string path = folder + "/ro/morvellcanopen.conf";
        ::mkdir((folder + "/ro").c_str(), 0755);
        std::ofstream(path) << "adapter1 = virtual:old\n";
        ::chmod((folder + "/ro").c_str(), 0555);
        EXPECT_NE(writeConfigValue(path, "adapter1", "virtual:new"), "");
        EXPECT_EQ(readAll(path), "adapter1 = virtual:old\n");
        ::chmod((folder + "/ro").c_str(), 0755);
    }
    std::system(("rm -rf '" + folder + "'").c_str());
}

}  // namespace
}  // namespace morvell::transport
