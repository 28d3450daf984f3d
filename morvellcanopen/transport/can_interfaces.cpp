#include "can_interfaces.h"

#include <dirent.h>

#include <algorithm>
#include <fstream>

#include "socketcan_transport.h"

namespace morvell::transport {
namespace {

constexpr const char* kCanInterfaceType = "280";  // ARPHRD_CAN

// The first line of a small sysfs file, empty when unreadable.
std::string firstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

std::vector<CanInterface> listCanInterfaces(const std::string& sysfs_net_root,
                                            CanLinkControl* link) {
    std::vector<CanInterface> found;
    DIR* folder = ::opendir(sysfs_net_root.c_str());
    if (!folder) return found;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.') continue;
        const std::string base = sysfs_net_root + "/" + name + "/";
        if (firstLine(base + "type") != kCanInterfaceType) continue;
        CanInterface item;
        item.name = name;
        item.state = firstLine(base + "operstate");
        if (link) {
            const std::optional<std::uint32_t> bitrate = link->bitrate(name);
            if (bitrate && *bitrate != 0) item.bitrate = bitrate;
        }
        found.push_back(std::move(item));
    }
    ::closedir(folder);
    std::sort(found.begin(), found.end(),
              [](const CanInterface& a, const CanInterface& b) { return a.name < b.name; });
    return found;
}

}  // namespace morvell::transport
