#include "channel.h"

#include <cctype>
#include <cstdlib>
#include <fstream>

namespace morvell::transport {
namespace {

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool parsePort(const std::string& text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5) return false;
    unsigned long value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (value == 0 || value > 65535) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

// Interface and bus names: what `ip link` and socketcand accept, no spaces
// and nothing that would break a socketcand message.
bool validName(const std::string& name) {
    if (name.empty() || name.size() > 15) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.'))
            return false;
    return true;
}

std::optional<Channel> fail(std::string* error, std::string reason) {
    if (error) *error = std::move(reason);
    return std::nullopt;
}

}  // namespace

std::string Channel::toString() const {
    switch (kind) {
        case Kind::SocketCan:
            return "socketcan:" + interface;
        case Kind::Socketcand:
            return "socketcand:" + host + ":" + std::to_string(port) + "/" + interface;
        case Kind::Virtual:
            return "virtual:" + interface +
                   (port != kDefaultSocketcandPort ? "@" + std::to_string(port) : "");
    }
    return {};
}

std::optional<Channel> parseChannel(const std::string& raw, std::string* error) {
    const std::string text = trim(raw);
    const auto colon = text.find(':');
    const std::string kind = text.substr(0, colon);
    const std::string rest = colon == std::string::npos ? "" : text.substr(colon + 1);
    Channel ch;
    if (kind == "socketcan") {
        ch.kind = Channel::Kind::SocketCan;
        ch.interface = rest;
        if (!validName(ch.interface))
            return fail(error,
                        "channel '" + text + "': expected socketcan:IFACE, e.g. socketcan:can0");
        return ch;
    }
    if (kind == "socketcand") {
        ch.kind = Channel::Kind::Socketcand;
        const auto slash = rest.rfind('/');
        if (slash == std::string::npos)
            return fail(
                error,
                "channel '" + text +
                    "': expected socketcand:HOST[:PORT]/IFACE, e.g. socketcand:localhost/can0");
        std::string address = rest.substr(0, slash);
        ch.interface = rest.substr(slash + 1);
        const auto port_colon = address.rfind(':');
        if (port_colon != std::string::npos) {
            if (!parsePort(address.substr(port_colon + 1), ch.port))
                return fail(error, "channel '" + text + "': the port must be a number 1-65535");
            address.resize(port_colon);
        }
        ch.host = address;
        if (ch.host.empty() || !validName(ch.interface))
            return fail(
                error,
                "channel '" + text +
                    "': expected socketcand:HOST[:PORT]/IFACE, e.g. socketcand:localhost/can0");
        return ch;
    }
    if (kind == "virtual") {
        ch.kind = Channel::Kind::Virtual;
        std::string bus = rest;
        const auto at = bus.find('@');
        if (at != std::string::npos) {
            if (!parsePort(bus.substr(at + 1), ch.port))
                return fail(error, "channel '" + text + "': the port must be a number 1-65535");
            bus.resize(at);
        }
        ch.interface = bus.empty() ? kDefaultVirtualBus : bus;
        if (!validName(ch.interface))
            return fail(
                error, "channel '" + text + "': expected virtual[:BUS][@PORT], e.g. virtual:vbus0");
        return ch;
    }
    return fail(error, "unknown channel '" + text +
                           "': use socketcan:IFACE, socketcand:HOST[:PORT]/IFACE or virtual[:BUS]");
}

ConfigValues readConfigFile(const std::string& path) {
    ConfigValues values;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const auto hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = trim(line.substr(0, eq));
        if (!key.empty()) values[key] = trim(line.substr(eq + 1));
    }
    return values;
}

std::string defaultConfigPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.config";
    }
    return base + "/Trelvik-System/morvellcanopen.conf";
}

std::string adapterKey(std::int32_t adapter_code) {
    return "adapter" + std::to_string(adapter_code);
}

ResolvedChannel resolveChannel(std::int32_t adapter_code, std::uint8_t device_number,
                               const std::string& environment, const ConfigValues& config) {
    if (!trim(environment).empty()) return {trim(environment), ChannelSource::Environment};
    const auto it = config.find(adapterKey(adapter_code));
    if (it != config.end() && !it->second.empty()) return {it->second, ChannelSource::File};
    switch (adapter_code) {
        case 1:
            return {"virtual", ChannelSource::Default};
        case 3:
            return {"socketcan:can" + std::to_string(device_number == 255 ? 0 : device_number),
                    ChannelSource::Default};
        default:
            return {"socketcan:can0", ChannelSource::Default};
    }
}

std::string resolveChannelText(std::int32_t adapter_code, std::uint8_t device_number,
                               const std::string& environment, const ConfigValues& config) {
    return resolveChannel(adapter_code, device_number, environment, config).text;
}

}  // namespace morvell::transport
