#include "manager/core/manager_operations.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "manager/core/manager_texts.h"

namespace {

using namespace manager_map;

constexpr uint32_t kDialogCapacity = 100;
constexpr uint8_t kMaxCount = 127;

uint32_t le32(const uint8_t* data) {
    return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
           static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
}

// The manager's read of one entry into a 1000-byte buffer.
class ManagerReader {
public:
    ManagerReader(BlockingSdo& sdo, uint8_t manager, const OperationControl& control)
        : sdo_(sdo), manager_(manager), control_(control), buffer_(kEntryCapacity) {}

    // The bytes received, or nothing after a failed transfer (logged). A reply
    // of another length than `expected` (when given) is logged too.
    std::optional<uint32_t> read(uint16_t index, uint8_t subindex,
                                 std::optional<uint32_t> expected) {
        std::fill(buffer_.begin(), buffer_.end(), 0);
        uint32_t length = kEntryCapacity;
        LibraryResult result{};
        sdo_.SDOUpload(manager_, index, subindex, buffer_.data(), length, result);
        if (result.code != 0) {
            log(manager_text::ManagerReadFailed(index, subindex, result.code, result.text));
            return std::nullopt;
        }
        length = std::min(length, kEntryCapacity);
        if (expected && length != *expected)
            log(manager_text::ManagerReplyLength(index, subindex, length, *expected));
        return length;
    }
    // A value of exactly `size` bytes (1, 2 or 4), or nothing.
    std::optional<uint32_t> value(uint16_t index, uint8_t subindex, uint32_t size) {
        const auto length = read(index, subindex, size);
        if (!length || *length != size) return std::nullopt;
        uint8_t bytes[4] = {};
        std::memcpy(bytes, buffer_.data(), size);
        return le32(bytes);
    }
    const uint8_t* data() const { return buffer_.data(); }

private:
    void log(std::string line) {
        if (control_.log) control_.log(std::move(line));
    }

    BlockingSdo& sdo_;
    const uint8_t manager_;
    const OperationControl& control_;
    std::vector<uint8_t> buffer_;
};

uint32_t ManagerNodeRecord::*const kTableFields[] = {
    &ManagerNodeRecord::slaveAssignment, &ManagerNodeRecord::configDate,
    &ManagerNodeRecord::configTime,      &ManagerNodeRecord::deviceType,
    &ManagerNodeRecord::vendorId,        &ManagerNodeRecord::productCode,
    &ManagerNodeRecord::revisionNumber,  &ManagerNodeRecord::serialNumber};

// Which entry count each table sets.
constexpr int kTableCount[] = {0, 1, 1, 2, 3, 4, 5, 6};

class ReadManagerRun {
public:
    ReadManagerRun(BlockingSdo& sdo, uint8_t manager, ManagerConfiguration& config,
                   const OperationControl& control)
        : reader_(sdo, manager, control), config_(config), control_(control) {}

    bool run() {
        for (std::size_t t = 0; t < kTables.size(); ++t) {
            if (!readTable(t)) return cancel();
        }
        return readSingleEntries() ? finish() : cancel();
    }

private:
    void step(int steps = 1) {
        steps_ += steps;
        if (control_.progress) control_.progress(steps_ * 100.0f / kReadManagerSteps);
    }
    bool cancel() {
        config_.entryCounts.fill(0);
        return false;
    }
    bool finish() {
        config_.configValid = true;
        return true;
    }

    // The table's count from sub 0, or nothing.
    std::optional<uint8_t> count(std::size_t t) {
        const uint16_t index = kTables[t];
        if (index == kSlaveAssignment) {
            const auto length = reader_.read(index, 0, std::nullopt);
            if (!length) return std::nullopt;
            if (*length == 0) return uint8_t{0};
            return reader_.data()[0];
        }
        const auto value = reader_.value(index, 0, 1);
        if (!value) return std::nullopt;
        return static_cast<uint8_t>(*value);
    }

    // False when an abort ends the read.
    bool readTable(std::size_t t) {
        const uint16_t index = kTables[t];
        uint8_t& counted = config_.entryCounts[kTableCount[t]];
        const std::optional<uint8_t> given = count(t);
        if (!given || (index == kSlaveAssignment && *given == 0)) {
            if (index == kExpectedSerialNumber) config_.entryCounts.fill(0);
            step(kMaxCount);
            return !control_.aborted();
        }
        const uint8_t capped = std::min(*given, kMaxCount);
        if (index == kExpectedTime) {
            counted = std::min(counted, capped);
        } else {
            counted = capped;
        }
        for (uint8_t n = 1; n <= counted; ++n) {
            if (const auto value = reader_.value(index, n, 4))
                config_.node(n).*kTableFields[t] = *value;
            step();
            if (control_.aborted()) return false;
        }
        return !control_.aborted();
    }

    // One step each; 0 when the reply is not of the size.
    template <class T>
    bool single(uint16_t index, uint8_t subindex, uint32_t size, T& field) {
        field = static_cast<T>(reader_.value(index, subindex, size).value_or(0));
        step();
        return !control_.aborted();
    }

    bool readSingleEntries() {
        for (int port = 0; port < 2; ++port) {
            CanPortState& p = config_.ports[port];
            const auto index = static_cast<uint16_t>(kPortLoad + port);
            if (!single(index, 1, 2, p.currentLoad) || !single(index, 2, 2, p.maximumLoad) ||
                !single(index, 3, 2, p.longestBurst))
                return false;
        }
        const auto length = reader_.read(kStatusMessage, 0, std::nullopt);
        config_.statusMessage.assign(reinterpret_cast<const char*>(reader_.data()),
                                     length ? *length : 0);
        step();
        if (control_.aborted()) return false;
        for (int port = 0; port < 2; ++port) {
            CanPortState& p = config_.ports[port];
            const auto index = static_cast<uint16_t>(kPortInfo + port);
            if (!single(index, kPortStatusSubindex, 2, p.status) ||
                !single(index, kPortBitRateSubindex, 1, p.bitRateCode))
                return false;
        }
        uint32_t* const settings[kSettingCount - 1] = {
            &config_.preBootDelay, &config_.postBootDelay,        &config_.sdoTimeout,
            &config_.sdoDelay,     &config_.defaultHeartbeatTime, &config_.defaultHeartbeatFactor};
        if (!single(kSettings, 1, 2, config_.configWord)) return false;
        for (uint8_t sub = 2; sub <= kSettingCount; ++sub)
            if (!single(kSettings, sub, 2, *settings[sub - 2])) return false;
        return true;
    }

    ManagerReader reader_;
    ManagerConfiguration& config_;
    const OperationControl& control_;
    int steps_ = 0;
};

// An upload into `buffer` of `capacity` bytes: the value of exactly `size`
// bytes, or nothing.
std::optional<uint32_t> uploadValue(BlockingSdo& sdo, uint8_t node, uint16_t index,
                                    uint8_t subindex, uint32_t size, uint32_t capacity) {
    std::vector<uint8_t> buffer(capacity, 0);
    uint32_t length = capacity;
    LibraryResult result{};
    sdo.SDOUpload(node, index, subindex, buffer.data(), length, result);
    if (result.code != 0 || length != size) return std::nullopt;
    uint8_t bytes[4] = {};
    std::memcpy(bytes, buffer.data(), size);
    return le32(bytes);
}

bool download32(BlockingSdo& sdo, uint8_t node, uint16_t index, uint8_t subindex, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    LibraryResult result{};
    sdo.SDODownload(node, index, subindex, bytes, sizeof bytes, result);
    return result.code == 0;
}

}  // namespace

bool ReadManager(BlockingSdo& sdo, uint8_t manager, ManagerConfiguration& config,
                 const OperationControl& control) {
    return ReadManagerRun(sdo, manager, config, control).run();
}

bool ReadDatesFromNodes(BlockingSdo& sdo, uint8_t manager, uint8_t dateCount,
                        const OperationControl& control,
                        const std::function<void(const NodeDateTime&)>& stored) {
    auto log = [&control](std::string line) {
        if (control.log) control.log(std::move(line));
    };
    for (unsigned n = 1; n <= kMaxCount; ++n) {
        if (control.aborted()) continue;
        if (control.progress) control.progress(n * 100.0f / kMaxCount);
        if (n > dateCount) continue;
        const auto node = static_cast<uint8_t>(n);
        if (!uploadValue(sdo, node, kDeviceType, 0, 4, kEntryCapacity)) continue;
        const auto date = uploadValue(sdo, node, kVerifyConfiguration, 1, 4, kEntryCapacity);
        if (!date) {
            log(manager_text::ReadDateFailed(node));
            continue;
        }
        const auto time = uploadValue(sdo, node, kVerifyConfiguration, 2, 4, kEntryCapacity);
        if (!time) {
            log(manager_text::ReadTimeFailed(node));
            continue;
        }
        if (stored) stored({node, {*date, *time}});
        if (!download32(sdo, manager, kExpectedDate, node, *date)) {
            log(manager_text::WriteDateToManagerFailed(node));
            continue;
        }
        if (!download32(sdo, manager, kExpectedTime, node, *time))
            log(manager_text::WriteTimeToManagerFailed(node));
    }
    return !control.aborted();
}

NodeDateTimeRead ReadNodeDateTime(BlockingSdo& sdo, uint8_t node) {
    const auto entries = uploadValue(sdo, node, kVerifyConfiguration, 0, 1, kDialogCapacity);
    if (entries != kVerifyConfigurationEntries)
        return {std::nullopt,
                "Node was not found or does not support the Verify Configuration entry"};
    const auto date = uploadValue(sdo, node, kVerifyConfiguration, 1, 4, kDialogCapacity);
    if (!date) return {std::nullopt, "Failed to read configuration date from node"};
    const auto time = uploadValue(sdo, node, kVerifyConfiguration, 2, 4, kDialogCapacity);
    if (!time) return {std::nullopt, "Failed to read configuration time from node"};
    return {ConfigDateTime{*date, *time}, {}};
}

LibraryResult SendManagerCommand(BlockingSdo& sdo, uint8_t manager, ManagerCommand command) {
    const std::array<uint8_t, 4> bytes = CommandBytes(command);
    LibraryResult result{};
    sdo.SDODownload(manager, kCommand, kCommandSubindex, bytes.data(), bytes.size(), result);
    return result;
}
