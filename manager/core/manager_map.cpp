#include "manager/core/manager_map.h"

namespace manager_map {

std::optional<std::string_view> BitRateText(uint8_t code) {
    constexpr std::string_view kTexts[] = {"Disabled", "10kbps",  "20kbps",  "50kbps", "125kbps",
                                           "250kbps",  "500kbps", "800kbps", "1Mbps"};
    if (code >= std::size(kTexts)) return std::nullopt;
    return kTexts[code];
}

}  // namespace manager_map
