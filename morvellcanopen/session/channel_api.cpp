// The channel functions of canlib/morvellchannels.h.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "c_boundary.h"
#include "morvellchannels.h"
#include "transport/can_interfaces.h"
#include "transport/channel.h"
#include "transport/config_file.h"
#include "transport/socketcan_transport.h"

namespace {

using morvell::session::guarded;
using morvell::session::setParameterError;
using morvell::session::setResult;
namespace transport = morvell::transport;

constexpr std::int32_t kChannelRefused = 7;
constexpr const char* kChannelVariable = "MORVELLCANOPEN_CHANNEL";

// Writers of the per-user file within this process.
std::mutex file_mutex;

bool validAdapterCode(std::int32_t code) {
    return code >= HW_PARALLEL_DONGLE && code <= HW_ISA;
}

template <std::size_t N>
void copyText(char (&field)[N], const std::string& text) {
    const std::size_t n = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

std::int32_t sourceCode(transport::ChannelSource source) {
    switch (source) {
        case transport::ChannelSource::Environment:
            return CHANNEL_FROM_ENVIRONMENT;
        case transport::ChannelSource::File:
            return CHANNEL_FROM_FILE;
        case transport::ChannelSource::Default:
            break;
    }
    return CHANNEL_FROM_DEFAULT;
}

}  // namespace

MORVELL_API void Channel_Resolve(int32_t interfaceCode, const void* params,
                                 ChannelResolution* resolution, LibraryResult* result) {
    guarded(result, [&] {
        if (!validAdapterCode(interfaceCode)) return setParameterError(result, 1);
        if (interfaceCode == HW_USB_MODULE && !params) return setParameterError(result, 2);
        if (!resolution) return setParameterError(result, 3);
        const std::uint8_t device =
            interfaceCode == HW_USB_MODULE
                ? static_cast<const HwUsbModuleParams*>(params)->deviceNumber
                : std::uint8_t{255};
        const char* environment = std::getenv(kChannelVariable);
        const std::string path = transport::defaultConfigPath();
        const transport::ResolvedChannel resolved = transport::resolveChannel(
            interfaceCode, device, environment ? environment : "", transport::readConfigFile(path));
        std::string error;
        const auto channel = transport::parseChannel(resolved.text, &error);
        *resolution = ChannelResolution{};
        copyText(resolution->channel, channel ? channel->toString() : resolved.text);
        resolution->source = sourceCode(resolved.source);
        if (resolved.source == transport::ChannelSource::Environment)
            copyText(resolution->origin, kChannelVariable);
        else if (resolved.source == transport::ChannelSource::File)
            copyText(resolution->origin, path);
        setResult(result, channel ? 0 : kChannelRefused, error);
    });
}

MORVELL_API void Channel_Check(const char* channel, LibraryResult* result) {
    guarded(result, [&] {
        if (!channel) return setParameterError(result, 1);
        std::string error;
        const auto parsed = transport::parseChannel(channel, &error);
        if (!parsed) return setResult(result, kChannelRefused, error);
        setResult(result, 0, parsed->toString());
    });
}

MORVELL_API void Channel_ListInterfaces(CanInterfaceInfo* interfaces, int32_t capacity,
                                        int32_t* count, LibraryResult* result) {
    guarded(result, [&] {
        if (capacity < 0 || (capacity > 0 && !interfaces)) return setParameterError(result, 1);
        if (!count) return setParameterError(result, 3);
        const auto link = transport::makeSocketcanLinkControl();
        const auto found = transport::listCanInterfaces(transport::kSysfsNetRoot, link.get());
        *count = static_cast<int32_t>(found.size());
        const std::size_t filled = std::min(found.size(), static_cast<std::size_t>(capacity));
        for (std::size_t i = 0; i < filled; ++i) {
            interfaces[i] = CanInterfaceInfo{};
            copyText(interfaces[i].name, found[i].name);
            copyText(interfaces[i].state, found[i].state);
            interfaces[i].bitrate = found[i].bitrate.value_or(0);
        }
        setResult(result, 0);
    });
}

MORVELL_API void Channel_Save(int32_t interfaceCode, const char* channel, LibraryResult* result) {
    guarded(result, [&] {
        if (!validAdapterCode(interfaceCode)) return setParameterError(result, 1);
        std::string canonical;
        if (channel && *channel) {
            std::string error;
            const auto parsed = transport::parseChannel(channel, &error);
            if (!parsed) return setResult(result, kChannelRefused, error);
            canonical = parsed->toString();
        }
        std::lock_guard lock(file_mutex);
        const std::string error = transport::writeConfigValue(
            transport::defaultConfigPath(), transport::adapterKey(interfaceCode), canonical);
        setResult(result, error.empty() ? 0 : kChannelRefused, error);
    });
}
