#include "manager/core/manager_writes.h"

#include <cstdio>
#include <memory>

#include "manager/core/manager_texts.h"

namespace {

using namespace manager_map;

void log(const OperationControl& control, std::string line) {
    if (control.log) control.log(std::move(line));
}

// One download to the manager; a failure is logged as "<failure> (entry): <text>".
bool download(BlockingSdo& sdo, uint8_t manager, uint16_t index, uint8_t subindex,
              const uint8_t* data, uint32_t length, const std::string& failure,
              const OperationControl& control) {
    LibraryResult result{};
    sdo.SDODownload(manager, index, subindex, data, length, result);
    if (result.code == 0) return true;
    log(control,
        manager_text::ManagerWriteFailed(failure, index, subindex, result.code, result.text));
    return false;
}

bool downloadValue(BlockingSdo& sdo, uint8_t manager, uint16_t index, uint8_t subindex,
                   uint32_t value, uint32_t size, const std::string& failure,
                   const OperationControl& control) {
    uint8_t bytes[4];
    for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    return download(sdo, manager, index, subindex, bytes, size, failure, control);
}

}  // namespace

uint32_t ParseTypedNumber(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && text[at] == ' ') ++at;
    uint32_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        value = value * 10u + static_cast<uint32_t>(text[at] - '0');
    return value;
}

uint32_t ParseTypedHex(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && text[at] == ' ') ++at;
    uint32_t value = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            break;
        }
        value = value << 4 | digit;
    }
    return value;
}

uint32_t WithRetryFactor(uint32_t assignment, uint32_t typed) {
    return (assignment & ~0x0000FF00u) | (typed & 0xFFu) << 8;
}

uint32_t WithGuardTime(uint32_t assignment, uint32_t typed) {
    return (assignment & 0x0000FFFFu) | (typed & 0xFFFFu) << 16;
}

uint16_t WithOperatingMode(uint16_t word, int index) {
    return static_cast<uint16_t>((word & ~0x0003u) | (static_cast<unsigned>(index) & 0x3u));
}

uint16_t WithSmartBridge(uint16_t word, int index) {
    return static_cast<uint16_t>((word & ~0x0030u) | ((static_cast<unsigned>(index) << 4) & 0x30u));
}

uint16_t WithFlag(uint16_t word, uint16_t bit, bool set) {
    return static_cast<uint16_t>(set ? word | bit : word & ~bit);
}

uint8_t IdentityEntryOfColumn(int column) {
    return column >= 10 && column <= 14 ? static_cast<uint8_t>(kRowDeviceType << (column - 10)) : 0;
}

uint32_t ManagerNodeRecord::*IdentityFieldOfColumn(int column) {
    static constexpr uint32_t ManagerNodeRecord::*kFields[] = {
        &ManagerNodeRecord::deviceType, &ManagerNodeRecord::vendorId,
        &ManagerNodeRecord::productCode, &ManagerNodeRecord::revisionNumber,
        &ManagerNodeRecord::serialNumber};
    return kFields[column - 10];
}

bool IsTypedColumn(int column) {
    return column == manager_text::kRetryFactorColumn || column == manager_text::kGuardTimeColumn ||
           IdentityEntryOfColumn(column) != 0;
}

RowWriteOutcome WriteNodeRow(BlockingSdo& sdo, uint8_t manager, uint8_t node,
                             const ManagerNodeRecord& record,
                             const std::array<uint8_t, kEntryCounts>& counts,
                             const OperationControl& control, uint8_t entries) {
    const struct {
        RowEntry entry;
        uint16_t index;
        uint32_t value;
        int count;
        const char* what;
    } row[] = {
        {kRowAssignment, kSlaveAssignment, record.slaveAssignment, kSlaveAssignmentCount,
         "Failed to write slave assignment for node 0x%2.2X (%dd) to the CANopen Manager"},
        {kRowDate, kExpectedDate, record.configDate, kDateTimeCount,
         "Failed to write date for node 0x%2.2X (%dd) to the CANopen Manager"},
        {kRowTime, kExpectedTime, record.configTime, kDateTimeCount,
         "Failed to write time for node 0x%2.2X (%dd) to the CANopen Manager"},
        {kRowDeviceType, kExpectedDeviceType + 0, record.deviceType, kDeviceTypeCount + 0,
         "Failed to write device type for node 0x%2.2X (%dd) to the CANopen Manager"},
        {kRowVendorId, kExpectedDeviceType + 1, record.vendorId, kDeviceTypeCount + 1,
         "Failed to write vendor ID for node 0x%2.2X (%dd) to the CANopen Manager"},
        {kRowProductCode, kExpectedDeviceType + 2, record.productCode, kDeviceTypeCount + 2,
         "Failed to write product code for node 0x%2.2X (%dd) to the CANopen Manager"},
        {kRowRevisionNumber, kExpectedDeviceType + 3, record.revisionNumber, kDeviceTypeCount + 3,
         "Failed to write revision number for node 0x%2.2X (%dd) to the CANopen Manager"},
        {kRowSerialNumber, kExpectedDeviceType + 4, record.serialNumber, kDeviceTypeCount + 4,
         "Failed to write serial number for node 0x%2.2X (%dd) to the CANopen Manager"},
    };
    RowWriteOutcome outcome;
    for (const auto& e : row) {
        if ((entries & e.entry) == 0 || node > counts[e.count] || control.aborted()) continue;
        if (downloadValue(sdo, manager, e.index, node, e.value, 4,
                          manager_text::NodeLine(e.what, node), control)) {
            outcome.written |= e.entry;
        } else {
            outcome.failed |= e.entry;
        }
    }
    return outcome;
}

ManagerSettings SettingsOf(const ManagerConfiguration& config) {
    return {config.configWord,
            config.preBootDelay,
            config.postBootDelay,
            config.sdoTimeout,
            config.sdoDelay,
            config.defaultHeartbeatTime,
            config.defaultHeartbeatFactor};
}

uint8_t WriteSettings(BlockingSdo& sdo, uint8_t manager, const ManagerSettings& settings,
                      const OperationControl& control) {
    constexpr const char* kFailures[kSettingCount] = {
        "Failed to write configuration to the CANopen Manager",
        "Failed to write pre boot delay to the CANopen Manager",
        "Failed to write post boot delay to the CANopen Manager",
        "Failed to write SDO timeout to the CANopen Manager",
        "Failed to write SDO back to back delay to the CANopen Manager",
        "Failed to write default heartbeat time to the CANopen Manager",
        "Failed to write default heartbeat factor to the CANopen Manager"};
    uint8_t failed = 0;
    for (uint8_t sub = 1; sub <= kSettingCount && !control.aborted(); ++sub) {
        if (!downloadValue(sdo, manager, kSettings, sub, settings[sub - 1] & 0xFFFFu, 2,
                           kFailures[sub - 1], control))
            failed |= static_cast<uint8_t>(1u << sub);
    }
    return failed;
}

BridgeTableFile ReadBridgeTableFile(const std::string& path) {
    BridgeTableFile file;
    const std::unique_ptr<FILE, int (*)(FILE*)> stream(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
    if (!stream) {
        file.error = "Failed to open file " + path;
        return file;
    }
    int c;
    while (file.bytes.size() <= kBridgeTableCapacity && (c = std::fgetc(stream.get())) != EOF) {
        if (c == '\r') {
            const int next = std::fgetc(stream.get());
            if (next == '\n') {
                c = '\n';
            } else if (next != EOF) {
                std::ungetc(next, stream.get());
            }
        }
        file.bytes.push_back(static_cast<uint8_t>(c));
    }
    if (std::ferror(stream.get())) {
        file.error = "Failed to read file " + path;
    } else if (file.bytes.empty()) {
        file.error = "File " + path + " is empty: no bridge forwarding table was sent";
    } else if (file.bytes.size() > kBridgeTableCapacity) {
        file.error = "File " + path +
                     " holds more than 1000 bytes, the most a bridge forwarding table may have: "
                     "nothing was sent";
    }
    if (!file.error.empty()) file.bytes.clear();
    return file;
}

bool WriteBridgeTable(BlockingSdo& sdo, uint8_t manager, const BridgeTableJob& job,
                      const OperationControl& control) {
    const BridgeTableFile file = ReadBridgeTableFile(job.path);
    if (!file.error.empty()) {
        log(control, file.error);
        return false;
    }
    return download(sdo, manager, static_cast<uint16_t>(kPortInfo + job.port - 1),
                    kPortTableSubindex, file.bytes.data(), static_cast<uint32_t>(file.bytes.size()),
                    "Failed to write bridge forwarding table to the CANopen Manager", control);
}
