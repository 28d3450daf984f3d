#include "program_options.h"

#include "device_constants.h"
#include "number_text.h"
#include "transport/channel.h"

namespace quorsim {
namespace {

inline constexpr std::uint64_t kMaxBitrateKbps = 1000;

OptionsResult fail(std::string reason) {
    return {std::nullopt, std::move(reason)};
}

}  // namespace

const char* usageText() {
    return "usage: quorsim [--channel CHANNEL] [--bitrate KBPS] [--node N[:EDSFILE]]...\n"
           "               [--manager N]... [--heartbeat MS] [--exec CMD]... [--exit-on-eof]\n"
           "  CHANNEL: socketcan:IFACE, socketcand:HOST[:PORT]/IFACE or virtual[:BUS][@PORT]\n"
           "           (default $MORVELLCANOPEN_CHANNEL, else virtual)\n"
           "  Commands on standard input, one per line; see README.md.\n";
}

OptionsResult parseProgramOptions(const std::vector<std::string>& args,
                                  const std::string& environment_channel) {
    ProgramOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
            continue;
        }
        if (a == "--exit-on-eof") {
            o.exit_on_eof = true;
            continue;
        }
        if (a != "--channel" && a != "--bitrate" && a != "--node" && a != "--manager" &&
            a != "--heartbeat" && a != "--exec")
            return fail("unknown option '" + a + "'");
        if (i + 1 >= args.size()) return fail("option " + a + " needs a value");
        const std::string& value = args[++i];
        if (a == "--channel") {
            o.channel = value;
        } else if (a == "--bitrate") {
            const auto v = parseUnsigned(value, kMaxBitrateKbps);
            if (!v || !morvell::transport::isSupportedBitrate(static_cast<int>(*v)))
                return fail("--bitrate '" + value +
                            "': expected 1000, 800, 500, 250, 125, 50, 20 or 10 kbit/s");
            o.bitrate_kbps = static_cast<int>(*v);
        } else if (a == "--node") {
            const auto colon = value.find(':');
            const auto v = parseUnsigned(value.substr(0, colon), kMaxNode);
            if (!v || *v < kMinNode)
                return fail("--node '" + value + "': expected N[:EDSFILE], N 1-127");
            NodeOption n{static_cast<std::uint8_t>(*v), {}};
            if (colon != std::string::npos) n.eds_file = value.substr(colon + 1);
            if (colon != std::string::npos && n.eds_file.empty())
                return fail("--node '" + value + "': the EDS file name is empty");
            o.nodes.push_back(n);
        } else if (a == "--manager") {
            const auto v = parseUnsigned(value, kMaxNode);
            if (!v || *v < kMinNode) return fail("--manager '" + value + "': expected N, 1-127");
            o.nodes.push_back({static_cast<std::uint8_t>(*v), {}, true});
        } else if (a == "--heartbeat") {
            const auto v = parseUnsigned(value, 0xFFFF);
            if (!v) return fail("--heartbeat '" + value + "': expected 0-65535 ms");
            o.heartbeat_ms = static_cast<std::uint16_t>(*v);
        } else {
            o.exec.push_back(value);
        }
    }
    if (o.channel.empty())
        o.channel = environment_channel.empty() ? "virtual" : environment_channel;
    return {o, {}};
}

}  // namespace quorsim
