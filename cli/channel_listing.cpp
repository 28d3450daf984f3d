#include "channel_listing.h"

#include <string>
#include <vector>

#include "canlib/morvellchannels.h"
#include "startup.h"

namespace quorcmd {
namespace {

struct Adapter {
    int32_t code;
    const char* name;
};

constexpr Adapter kAdapters[] = {
    {HW_PARALLEL_DONGLE, "Trelvik Kestra Parallel Port Dongle"},
    {HW_USB, "Trelvik Kestra USB"},
    {HW_USB_MODULE, "Ostra USB Module, any device"},
    {HW_PCI, "Trelvik Kestra PCI"},
    {HW_ISA, "Trelvik Kestra ISA II"},
};
constexpr uint8_t kAnyModuleDevice = 255;

std::string sourceText(const ChannelResolution& resolution, int32_t code) {
    switch (resolution.source) {
        case CHANNEL_FROM_ENVIRONMENT:
        case CHANNEL_FROM_FILE:
            return std::string("from ") + resolution.origin;
        default:
            return code == HW_USB_MODULE ? "default; device N: socketcan:canN" : "default";
    }
}

std::string interfaceText(const CanInterfaceInfo& info) {
    std::string text = info.name;
    std::string details = info.state;
    if (info.bitrate != 0) {
        if (!details.empty()) details += ", ";
        details += std::to_string(info.bitrate / 1000) + " kbit/s";
    }
    if (!details.empty()) text += " (" + details + ")";
    return text;
}

}  // namespace

int PrintChannels(std::FILE* out) {
    int exit_code = kExitSuccess;
    for (const Adapter& adapter : kAdapters) {
        const HwUsbModuleParams record{0, kAnyModuleDevice};
        ChannelResolution resolution{};
        LibraryResult result{};
        Channel_Resolve(adapter.code, &record, &resolution, &result);
        std::string line = "adapter " + std::to_string(adapter.code) + " (" + adapter.name +
                           "): " + resolution.channel + " (" +
                           sourceText(resolution, adapter.code) + ")";
        if (result.code == 7) {
            line += std::string(" - not usable: ") + result.text;
        } else if (result.code != 0) {
            line = "adapter " + std::to_string(adapter.code) + ": cannot resolve (code " +
                   std::to_string(result.code) + ")";
            exit_code = kExitFailure;
        }
        std::fprintf(out, "%s\n", line.c_str());
    }

    int32_t count = 0;
    LibraryResult result{};
    Channel_ListInterfaces(nullptr, 0, &count, &result);
    std::vector<CanInterfaceInfo> interfaces(static_cast<std::size_t>(count > 0 ? count : 0));
    if (result.code == 0 && count > 0)
        Channel_ListInterfaces(interfaces.data(), count, &count, &result);
    if (result.code != 0) {
        std::fprintf(out, "CAN interfaces: cannot be listed (code %d)\n", result.code);
        return kExitFailure;
    }
    std::string line = "CAN interfaces:";
    if (interfaces.empty()) line += " none found";
    for (std::size_t i = 0; i < interfaces.size() && i < static_cast<std::size_t>(count); ++i)
        line += (i == 0 ? " " : ", ") + interfaceText(interfaces[i]);
    std::fprintf(out, "%s\n", line.c_str());
    std::fflush(out);
    return exit_code;
}

}  // namespace quorcmd
