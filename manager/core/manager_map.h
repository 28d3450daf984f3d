// The CANopen Manager's object dictionary entries the tool reads and writes,
// its control commands and its bit rate codes. All values little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace manager_map {

inline constexpr uint8_t kMaxNode = 127;
inline constexpr uint32_t kEntryCapacity = 1000;  // bytes of every manager read

// The tables, sub 0 = count, sub n = node n (4 bytes), in reading order.
inline constexpr uint16_t kSlaveAssignment = 0x1F81;     // count 0
inline constexpr uint16_t kExpectedDate = 0x1F26;        // count 1, days since 1 Jan 1984
inline constexpr uint16_t kExpectedTime = 0x1F27;        // count 1, ms after midnight
inline constexpr uint16_t kExpectedDeviceType = 0x1F84;  // counts 2-6: 0x1F84-0x1F88
inline constexpr uint16_t kExpectedSerialNumber = 0x1F88;
inline constexpr std::array<uint16_t, 8> kTables = {0x1F81, 0x1F26, 0x1F27, 0x1F84,
                                                    0x1F85, 0x1F86, 0x1F87, 0x1F88};
inline constexpr int kEntryCounts = 7;

inline constexpr uint16_t kCommand = 0x1F50;  // sub 5: four ASCII characters
inline constexpr uint8_t kCommandSubindex = 5;
inline constexpr uint16_t kSettings = 0x2000;  // sub 1-7, 2 bytes each
inline constexpr uint8_t kSettingCount = 7;
inline constexpr uint16_t kStatusMessage = 0x2001;  // sub 0, text up to 1000 bytes
inline constexpr uint16_t kPortInfo = 0x2011;       // + port - 1: sub 1 status, 2 bit rate, 3 table
inline constexpr uint16_t kPortLoad = 0x2101;       // + port - 1: sub 1-3 load figures
inline constexpr uint8_t kPortStatusSubindex = 1;
inline constexpr uint8_t kPortBitRateSubindex = 2;
inline constexpr uint8_t kPortTableSubindex = 3;  // bridge forwarding table, written only

// Entries read from the slaves themselves.
inline constexpr uint16_t kDeviceType = 0x1000;
inline constexpr uint16_t kVerifyConfiguration = 0x1020;  // sub 0 = 2, 1 date, 2 time
inline constexpr uint8_t kVerifyConfigurationEntries = 2;

// The control commands, written to 0x1F50 sub 5 first character first.
enum class ManagerCommand { HardwareReset, ClearNetwork, ScanNetwork, ScanNetworkAndStore };

inline constexpr std::string_view CommandWord(ManagerCommand command) {
    switch (command) {
        case ManagerCommand::HardwareReset:
            return "RSET";
        case ManagerCommand::ClearNetwork:
            return "ClrN";
        case ManagerCommand::ScanNetwork:
            return "ScnN";
        case ManagerCommand::ScanNetworkAndStore:
            return "WrtN";
    }
    return "";
}

// The four bytes on the wire: "RSET" -> 52 53 45 54 (0x54455352 as a number).
inline constexpr std::array<uint8_t, 4> CommandBytes(ManagerCommand command) {
    const std::string_view word = CommandWord(command);
    return {static_cast<uint8_t>(word[0]), static_cast<uint8_t>(word[1]),
            static_cast<uint8_t>(word[2]), static_cast<uint8_t>(word[3])};
}

// Bit rate code 0-8 as text ("Disabled", "10kbps" ... "1Mbps"); nothing for
// any other code (the field keeps its text).
std::optional<std::string_view> BitRateText(uint8_t code);

}  // namespace manager_map
