// Channels: where an adapter code leads on this machine.
//
//   socketcan:IFACE                   Linux kernel CAN, e.g. socketcan:can0
//   socketcand:HOST[:PORT]/IFACE      a socketcand gateway (default port 29536)
//   virtual[:BUS][@PORT]              the local quorbus hub on 127.0.0.1
//                                     (bus "vbus0", port 29536 by default)
//
// Resolution for an adapter code 1-5, first match wins:
//   1. the environment variable MORVELLCANOPEN_CHANNEL;
//   2. "adapterN = CHANNEL" in $XDG_CONFIG_HOME/Trelvik-System/morvellcanopen.conf
//      (~/.config when XDG_CONFIG_HOME is unset);
//   3. the default: 1 (parallel-port dongle, no Linux driver) virtual;
//      2 (USB), 4 (PCI), 5 (ISA) socketcan:can0; 3 (USB module, device N)
//      socketcan:canN, device 255 ("any") socketcan:can0.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "can_transport.h"

namespace morvell::transport {

inline constexpr std::uint16_t kDefaultSocketcandPort = 29536;
inline constexpr const char* kDefaultVirtualBus = "vbus0";

struct Channel {
    enum class Kind { SocketCan, Socketcand, Virtual };
    Kind kind = Kind::Virtual;
    std::string interface;  // SocketCAN interface, or socketcand / virtual bus name
    std::string host;       // socketcand only
    std::uint16_t port = kDefaultSocketcandPort;  // socketcand and virtual

    std::string toString() const;
};

// Parses a channel text; empty with a reason in *error when it is malformed.
std::optional<Channel> parseChannel(const std::string& text, std::string* error = nullptr);

// Settings read from the per-user file: "key = value" lines, '#' comments.
using ConfigValues = std::map<std::string, std::string>;
ConfigValues readConfigFile(const std::string& path);
std::string defaultConfigPath();

// Which rule above gave a channel.
enum class ChannelSource { Environment, File, Default };

struct ResolvedChannel {
    std::string text;  // as found, not yet parsed
    ChannelSource source = ChannelSource::Default;
};

// Channel for an adapter code and device number (code 3 only), by the rules
// above. environment: the value of MORVELLCANOPEN_CHANNEL or empty.
ResolvedChannel resolveChannel(std::int32_t adapter_code, std::uint8_t device_number,
                               const std::string& environment, const ConfigValues& config);
std::string resolveChannelText(std::int32_t adapter_code, std::uint8_t device_number,
                               const std::string& environment, const ConfigValues& config);

// The per-user file's key for an adapter code: "adapter2".
std::string adapterKey(std::int32_t adapter_code);

struct OpenResult {
    std::unique_ptr<CanTransport> transport;  // null on failure
    std::string error;                        // on failure: cause and fix, for LibraryResult code 7
};

// The bit rates an adapter is opened at: 1000, 800, 500, 250, 125, 50, 20
// and 10 kbit/s.
bool isSupportedBitrate(int bitrate_kbps);

// Opens a channel at a bit rate in kbit/s. For the virtual bus, starts
// quorbus when none is listening. socketcand and virtual channels announce
// the bit rate to gateways with the quorbus extension.
OpenResult openChannel(const Channel& channel, int bitrate_kbps);

}  // namespace morvell::transport
