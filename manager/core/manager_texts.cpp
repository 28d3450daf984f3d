#include "manager/core/manager_texts.h"

#include <cstdio>
#include <cstring>

#include "canlib/morvellcanopen.h"
#include "manager/core/config_date_time.h"

namespace manager_text {
namespace {

constexpr const char* kTitles[kColumns] = {"Node",
                                           "Slave",
                                           "Auto Config",
                                           "Mandatory",
                                           "Rst if Not Op",
                                           "Verify Version",
                                           "Auto Update",
                                           "Retry Factor",
                                           "Guard Time (ms)",
                                           "Expected Config Date/Time",
                                           "Device Type",
                                           "Vendor ID",
                                           "Product Code",
                                           "Revision Number",
                                           "Serial Number",
                                           ""};

// Assignment bit of check columns 1-6.
constexpr uint32_t kCheckBits[7] = {0, 0x01, 0x04, 0x08, 0x10, 0x20, 0x40};

// The library's text of a failed transfer, or its code when it gave none.
std::string libraryOutcome(int32_t code, const char* libraryText) {
    if (libraryText != nullptr && libraryText[0] != '\0')
        return std::string(libraryText, strnlen(libraryText, LIBRARY_RESULT_TEXT_SIZE));
    return "code " + std::to_string(code);
}

std::string hex8(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%8.8X", static_cast<unsigned>(value));
    return text;
}

}  // namespace

std::string NodeLine(const char* format, uint8_t node) {
    char text[128];
    std::snprintf(text, sizeof text, format, node, node);
    return text;
}

std::string NodeTitle(uint8_t node) {
    return NodeLine("0x%2.2X (%dd)", node);
}

uint32_t AssignmentBitOfColumn(int column) {
    return column >= 1 && column <= 6 ? kCheckBits[column] : 0;
}

const char* ColumnTitle(int column) {
    return column >= 0 && column < kColumns ? kTitles[column] : "";
}

int CountOfColumn(int column) {
    if (column >= 1 && column <= 8) return kSlaveAssignmentCount;
    if (column == kDateTimeColumn) return kDateTimeCount;
    if (column >= 10 && column <= 14) return kDeviceTypeCount + (column - 10);
    return -1;
}

bool CellAvailable(const ManagerConfiguration& config, int row, int column) {
    const int count = CountOfColumn(column);
    return count >= 0 && row >= 1 && row <= config.entryCounts[count];
}

std::string CellText(const ManagerConfiguration& config, int row, int column) {
    if (row < 1 || row > manager_map::kMaxNode) return {};
    const auto node = static_cast<uint8_t>(row);
    if (column == 0) return NodeTitle(node);
    if (!config.configValid || column < 1 || column >= kFillerColumn) return {};
    const ManagerNodeRecord& r = config.node(node);
    if (column <= 6) return (r.slaveAssignment & kCheckBits[column]) != 0 ? "1" : "0";
    if (column == kRetryFactorColumn) return std::to_string((r.slaveAssignment >> 8) & 0xFF);
    if (column == kGuardTimeColumn) return std::to_string(r.slaveAssignment >> 16);
    if (column == kDateTimeColumn) return FormatConfigDateTime(r.configDate, r.configTime);
    const uint32_t identity[5] = {r.deviceType, r.vendorId, r.productCode, r.revisionNumber,
                                  r.serialNumber};
    return hex8(identity[column - 10]);
}

std::string ReadDateFailed(uint8_t node) {
    return NodeLine("Failed to read date from node 0x%2.2X (%dd)", node);
}
std::string ReadTimeFailed(uint8_t node) {
    return NodeLine("Failed to read time from node 0x%2.2X (%dd)", node);
}
std::string WriteDateToManagerFailed(uint8_t node) {
    return NodeLine("Failed to write date for node 0x%2.2X (%dd) to CANopen Manager", node);
}
std::string WriteTimeToManagerFailed(uint8_t node) {
    return NodeLine("Failed to write time for node 0x%2.2X (%dd) to CANopen Manager", node);
}

std::string ManagerReadFailed(uint16_t index, uint8_t subindex, int32_t code,
                              const char* libraryText) {
    char text[96];
    std::snprintf(text, sizeof text,
                  "Failed to read 0x%4.4X sub %u from the CANopen Manager: ", index, subindex);
    return text + libraryOutcome(code, libraryText);
}

std::string ManagerWriteFailed(const std::string& what, uint16_t index, uint8_t subindex,
                               int32_t code, const char* libraryText) {
    char entry[32];
    std::snprintf(entry, sizeof entry, " (0x%4.4X sub %u): ", index, subindex);
    return what + entry + libraryOutcome(code, libraryText);
}

std::string ManagerReplyLength(uint16_t index, uint8_t subindex, uint32_t length,
                               uint32_t expected) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "Unexpected reply of %u bytes from the CANopen Manager for 0x%4.4X sub %u "
                  "(%u expected)",
                  static_cast<unsigned>(length), index, subindex, static_cast<unsigned>(expected));
    return text;
}

}  // namespace manager_text
