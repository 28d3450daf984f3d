// Listing CAN interfaces from a fake sysfs root.
#include "transport/can_interfaces.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "transport/socketcan_transport.h"

namespace morvell::transport {
namespace {

// Bit rates by interface; the others have no bit timing (vcan).
class RateTable : public CanLinkControl {
public:
    std::map<std::string, std::uint32_t> rates;
    std::optional<std::uint32_t> bitrate(const std::string& iface) override {
        const auto it = rates.find(iface);
        if (it == rates.end()) return std::nullopt;
        return it->second;
    }
    bool stop(const std::string&) override { return false; }
    bool setBitrate(const std::string&, std::uint32_t) override { return false; }
    bool start(const std::string&) override { return false; }
};

std::string makeRoot() {
    std::string pattern = testing::TempDir() + "sysfs_net_XXXXXX";
    return ::mkdtemp(pattern.data());
}

void addInterface(const std::string& root, const std::string& name, const char* type,
                  const char* operstate) {
    const std::string folder = root + "/" + name;
    ::mkdir(folder.c_str(), 0755);
    if (type) std::ofstream(folder + "/type") << type << "\n";
    if (operstate) std::ofstream(folder + "/operstate") << operstate << "\n";
}

TEST(CanInterfaces, OnlyCanTypesSortedWithStateAndBitrate) {
    const std::string root = makeRoot();
    addInterface(root, "vcan0", "280", "unknown");
    addInterface(root, "eth0", "1", "up");
    addInterface(root, "lo", "772", "unknown");
    addInterface(root, "can1", "280", "down");
    addInterface(root, "can0", "280", "up");
    addInterface(root, "slcan0", "280", nullptr);  // state unreadable
    addInterface(root, "broken", nullptr, "up");   // no type: not listed
    RateTable link;
    link.rates = {{"can0", 500000}, {"can1", 0}, {"eth0", 1}};

    struct Row {
        const char* name;
        const char* state;
        std::optional<std::uint32_t> bitrate;
    };
    const Row expected[] = {
        {"can0", "up", 500000},
        {"can1", "down", std::nullopt},  // 0: no bit rate set
        {"slcan0", "", std::nullopt},
        {"vcan0", "unknown", std::nullopt},
    };
    const auto found = listCanInterfaces(root, &link);
    ASSERT_EQ(found.size(), std::size(expected));
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].name, expected[i].name);
        EXPECT_EQ(found[i].state, expected[i].state) << found[i].name;
        EXPECT_EQ(found[i].bitrate, expected[i].bitrate) << found[i].name;
    }

    const auto without_link = listCanInterfaces(root, nullptr);
    ASSERT_EQ(without_link.size(), 4u);
    EXPECT_FALSE(without_link[0].bitrate);
    std::system(("rm -rf '" + root + "'").c_str());
}

TEST(CanInterfaces, MissingRootListsNothing) {
    EXPECT_TRUE(listCanInterfaces("/nonexistent/sys/class/net", nullptr).empty());
}

}  // namespace
}  // namespace morvell::transport
