// Object indices, data type codes and frame identifiers the simulated devices
// use: the one place for quorsim's CANopen numbers.
#pragma once

#include <cstdint>

namespace quorsim {

// Communication profile objects.
inline constexpr std::uint16_t kDeviceTypeIndex = 0x1000;
inline constexpr std::uint16_t kErrorRegisterIndex = 0x1001;
inline constexpr std::uint16_t kDeviceNameIndex = 0x1008;
inline constexpr std::uint16_t kHardwareVersionIndex = 0x1009;
inline constexpr std::uint16_t kSoftwareVersionIndex = 0x100A;
inline constexpr std::uint16_t kHeartbeatTimeIndex = 0x1017;  // UNSIGNED16, ms, 0 = off
inline constexpr std::uint16_t kIdentityIndex = 0x1018;
inline constexpr std::uint16_t kVerifyConfigurationIndex = 0x1020;

// Manufacturer objects of the built-in device.
inline constexpr std::uint16_t kTestValuesIndex = 0x2000;  // one sub per basic type, rw
inline constexpr std::uint16_t kReadOnlyValueIndex = 0x2001;
inline constexpr std::uint16_t kWriteOnlyValueIndex = 0x2002;
inline constexpr std::uint16_t kSmallDomainIndex = 0x2100;
inline constexpr std::uint16_t kLargeDomainIndex = 0x2101;
inline constexpr std::size_t kSmallDomainBytes = 1000;
inline constexpr std::size_t kLargeDomainBytes = 200000;

// Node ids and frame identifiers (see also protocol/nmt.h).
inline constexpr std::uint8_t kMinNode = 1;
inline constexpr std::uint8_t kMaxNode = 127;
inline constexpr std::uint8_t kAllNodes = 0;  // NMT target "every node"
inline constexpr unsigned kEmergencyLength = 8;
inline constexpr unsigned kEmergencyManufacturerBytes = 5;

// The built-in device's content pattern of its domains: byte i = i * 7 mod 256.
inline constexpr std::uint8_t domainPatternByte(std::size_t i) {
    return static_cast<std::uint8_t>(i * 7);
}

}  // namespace quorsim
