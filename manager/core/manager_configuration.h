// One CANopen Manager's configuration as the tool holds it in memory: filled
// by the read of the manager, changed by the user's edits. Plain values; the
// owner decides which thread touches it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "manager/core/manager_map.h"

// Per node 1-127; the sub n entries of the manager's tables.
struct ManagerNodeRecord {
    uint32_t slaveAssignment = 0;  // 0x1F81
    uint32_t configDate = 0;       // 0x1F26, days since 1 January 1984
    uint32_t configTime = 0;       // 0x1F27, ms after midnight
    uint32_t deviceType = 0;       // 0x1F84
    uint32_t vendorId = 0;         // 0x1F85
    uint32_t productCode = 0;      // 0x1F86
    uint32_t revisionNumber = 0;   // 0x1F87
    uint32_t serialNumber = 0;     // 0x1F88
    bool operator==(const ManagerNodeRecord&) const = default;
};

// Which column groups of the node table a count covers.
enum EntryCount : int {
    kSlaveAssignmentCount = 0,  // 0x1F81
    kDateTimeCount = 1,         // 0x1F26 and 0x1F27
    kDeviceTypeCount = 2,       // 0x1F84 .. 0x1F88: counts 2-6
    kSerialNumberCount = 6,
};

struct CanPortState {
    uint16_t currentLoad = 0;   // 0x2101/0x2102 sub 1
    uint16_t maximumLoad = 0;   // sub 2
    uint16_t longestBurst = 0;  // sub 3
    uint16_t status = 0;        // 0x2011/0x2012 sub 1: low byte error bits, bit 15 enabled
    uint8_t bitRateCode = 0;    // 0x2011/0x2012 sub 2, 0-8
    bool operator==(const CanPortState&) const = default;

    bool enabled() const { return (status & 0x8000) != 0; }
    uint8_t errorBits() const { return static_cast<uint8_t>(status & 0xFF); }
};

struct ManagerConfiguration {
    std::array<ManagerNodeRecord, manager_map::kMaxNode> nodes{};  // [n - 1] = node n
    std::array<uint8_t, manager_map::kEntryCounts> entryCounts{};  // each 0-127
    std::array<CanPortState, 2> ports{};                           // [0] = port 1
    std::string statusMessage;                                     // at most 1000 characters
    uint16_t configWord = 0;                                       // 0x2000 sub 1
    // 0x2000 sub 2-7, ms (the factor in %).
    uint32_t preBootDelay = 0;
    uint32_t postBootDelay = 0;
    uint32_t sdoTimeout = 0;
    uint32_t sdoDelay = 0;
    uint32_t defaultHeartbeatTime = 0;
    uint32_t defaultHeartbeatFactor = 0;
    bool configValid = false;  // a read completed without being cancelled

    ManagerNodeRecord& node(uint8_t n) { return nodes[n - 1]; }
    const ManagerNodeRecord& node(uint8_t n) const { return nodes[n - 1]; }
    bool operator==(const ManagerConfiguration&) const = default;
};
