// Web addresses the windows open with the desktop's default browser.
#pragma once

namespace weblinks {
inline constexpr const char* kTrelvikHome = "https://www.trelvik-system.com/";
inline constexpr const char* kTrelvikDrivers = "https://www.trelvik-system.com/support/drivers/";
inline constexpr const char* kOstraHome = "https://www.ostra-electronic.com/";
inline constexpr const char* kOstraUsbModule =
    "https://www.ostra-electronic.com/products/usb-module/";
inline constexpr const char* kQuorvaneHome = "https://www.quorvane.org/";
inline constexpr const char* kMorvellHome = "https://www.morvell.com/";
}  // namespace weblinks
