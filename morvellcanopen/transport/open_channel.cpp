// openChannel(): from a resolved channel to an open transport.
#include <algorithm>
#include <array>

#include "channel.h"
#include "socketcan_transport.h"
#include "socketcand_transport.h"
#include "virtual_bus.h"

namespace morvell::transport {

namespace {

constexpr std::array<int, 8> kBitratesKbps = {1000, 800, 500, 250, 125, 50, 20, 10};
constexpr std::chrono::milliseconds kSocketcandConnectLimit{2000};

OpenResult failed(std::string text) {
    OpenResult result;
    result.error = std::move(text);
    return result;
}

OpenResult openSocketCan(const Channel& channel, int bitrate_kbps) {
    OpenResult result;
    const auto link = makeSocketcanLinkControl();
    result.transport =
        SocketCanTransport::open(channel.interface, bitrate_kbps, *link, &result.error);
    return result;
}

OpenResult openSocketcand(const Channel& channel, int bitrate_kbps) {
    SocketcandEndpoint endpoint;
    endpoint.bitrate_kbps = bitrate_kbps;
    endpoint.host = channel.host;
    endpoint.port = channel.port;
    endpoint.bus = channel.interface;
    const std::string host_port = channel.host + ":" + std::to_string(channel.port);
    endpoint.name = "socketcand:" + host_port + "/" + channel.interface;
    endpoint.peer = "socketcand at " + host_port;
    OpenResult result;
    ConnectFailure failure = ConnectFailure::None;
    result.transport =
        SocketcandTransport::connect(endpoint, kSocketcandConnectLimit, &failure, &result.error);
    return result;
}

}  // namespace

bool isSupportedBitrate(int bitrate_kbps) {
    return std::find(kBitratesKbps.begin(), kBitratesKbps.end(), bitrate_kbps) !=
           kBitratesKbps.end();
}

OpenResult openChannel(const Channel& channel, int bitrate_kbps) {
    if (!isSupportedBitrate(bitrate_kbps))
        return failed("bit rate " + std::to_string(bitrate_kbps) +
                      " kbit/s is not supported: use 1000, 800, 500, 250, 125, 50, 20 or 10");
    switch (channel.kind) {
        case Channel::Kind::SocketCan:
            return openSocketCan(channel, bitrate_kbps);
        case Channel::Kind::Socketcand:
            return openSocketcand(channel, bitrate_kbps);
        case Channel::Kind::Virtual:
            return openVirtualBus(
                channel.interface.empty() ? kDefaultVirtualBus : channel.interface, channel.port,
                bitrate_kbps);
    }
    return failed("unknown channel kind");
}

}  // namespace morvell::transport
