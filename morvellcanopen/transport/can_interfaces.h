// The CAN network interfaces present on this machine, found by interface
// type in sysfs (ARPHRD_CAN, 280): can0, vcan0, slcan0, ... A fake root with
// the same layout serves the tests:
//
//   ROOT/can0/type        "280"     a CAN interface
//   ROOT/can0/operstate   "up"      its state as the kernel reports it
//   ROOT/eth0/type        "1"       not CAN: left out
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvell::transport {

class CanLinkControl;

inline constexpr const char* kSysfsNetRoot = "/sys/class/net";

struct CanInterface {
    std::string name;                      // e.g. "can0"
    std::string state;                     // operstate: "up", "down", "unknown"...; "" unreadable
    std::optional<std::uint32_t> bitrate;  // bit/s, when the link reports one (not vcan)
};

// Interfaces under sysfs_net_root whose type is CAN, sorted by name. link
// reads the bit rates; nullptr leaves them empty. Any thread.
std::vector<CanInterface> listCanInterfaces(const std::string& sysfs_net_root,
                                            CanLinkControl* link);

}  // namespace morvell::transport
