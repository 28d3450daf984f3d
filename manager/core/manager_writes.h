// The CANopen Manager window's edits and writes, without the window: the
// typing rules of the node table and the settings page, and the three write
// operations. Each write runs on the calling (worker) thread, makes its
// transfers through a BlockingSdo, logs each failed entry through the
// OperationControl and stops after the transfer in flight once an abort is
// requested.
//
//     record.slaveAssignment = WithRetryFactor(record.slaveAssignment,
//                                              ParseTypedNumber("300"));  // bits 8-15 = 44
//     RowWriteOutcome outcome = WriteNodeRow(sdo, 16, 3, record, config.entryCounts, control);
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "manager/core/manager_configuration.h"
#include "manager/core/manager_operations.h"

// ---- Typing rules -----------------------------------------------------------

// Typed text as an unsigned decimal number: leading spaces skipped, digits up
// to the first non-digit, none giving 0. Counted modulo 2^32, so the low bits
// that the masks keep are exact for any length:
//   "300" -> 300, "  12ab" -> 12, "" -> 0, "-5" -> 0, "4294967301" -> 5.
uint32_t ParseTypedNumber(std::string_view text);

// Typed text as a hexadecimal number, as ParseTypedNumber: "191" -> 0x191,
// " 1a2B" -> 0x1A2B, "x1" -> 0.
uint32_t ParseTypedHex(std::string_view text);

// Slave assignment with bits 8-15 = typed & 0xFF (retry factor) or bits
// 16-31 = typed & 0xFFFF (guard time, ms); the other bits kept.
uint32_t WithRetryFactor(uint32_t assignment, uint32_t typed);
uint32_t WithGuardTime(uint32_t assignment, uint32_t typed);

// Configuration word (0x2000 sub 1) with a drop-down's selected index in
// bits 0-1 (operating mode) or bits 4-5 (smart bridge), or one flag set or
// cleared; the other bits kept.
inline constexpr uint16_t kDisableSdoChannelBit = 0x0100;
inline constexpr uint16_t kStartInSetupBit = 0x8000;
uint16_t WithOperatingMode(uint16_t word, int index);
uint16_t WithSmartBridge(uint16_t word, int index);
uint16_t WithFlag(uint16_t word, uint16_t bit, bool set);

// ---- One node row -----------------------------------------------------------

// The entries of a node row, as bits.
enum RowEntry : uint8_t {
    kRowAssignment = 0x01,  // 0x1F81, count 0
    kRowDate = 0x02,        // 0x1F26, count 1
    kRowTime = 0x04,        // 0x1F27, count 1
    kRowDeviceType = 0x08,  // 0x1F84 .. 0x1F88, counts 2-6: one bit each,
    kRowVendorId = 0x10,    // in column order
    kRowProductCode = 0x20,
    kRowRevisionNumber = 0x40,
    kRowSerialNumber = 0x80,
};
// What a row write sends when nothing else is asked for.
inline constexpr uint8_t kRowWriteEntries = kRowAssignment | kRowDate | kRowTime;
// The entry of an identity column (10-14), or 0.
uint8_t IdentityEntryOfColumn(int column);
// The record's field of an identity column (10-14).
uint32_t ManagerNodeRecord::*IdentityFieldOfColumn(int column);
// Columns whose cells are typed: 7-8 (decimal) and 10-14 (hex).
bool IsTypedColumn(int column);

struct RowWriteOutcome {
    uint8_t written = 0;  // RowEntry bits the manager took
    uint8_t failed = 0;   // RowEntry bits it did not take (each logged)
};

// Writes the entries asked for of node's row, each to sub node of its table
// when node is within the table's count, in the order of the bits, 4 bytes
// little-endian: by default the slave assignment (0x1F81), then the date and
// time (0x1F26, 0x1F27). A failed entry is logged ("Failed to write slave
// assignment for node 0x03 (3d) to the CANopen Manager (0x1F81 sub 3): <the
// library's text>") and the next still written.
RowWriteOutcome WriteNodeRow(BlockingSdo& sdo, uint8_t manager, uint8_t node,
                             const ManagerNodeRecord& record,
                             const std::array<uint8_t, manager_map::kEntryCounts>& counts,
                             const OperationControl& control, uint8_t entries = kRowWriteEntries);

// ---- Settings ---------------------------------------------------------------

// 0x2000 sub 1-7: the configuration word, pre and post boot delay, SDO
// timeout, SDO delay (ms), default heartbeat time (ms) and factor (%).
using ManagerSettings = std::array<uint32_t, manager_map::kSettingCount>;
ManagerSettings SettingsOf(const ManagerConfiguration& config);

// Writes the seven values in subindex order, each as 2 bytes, low byte first
// (bits above 15 are dropped: 99999 goes as 34463). A failed value is logged
// and the next still written. Returns the failed subindices as bits 1 << sub.
uint8_t WriteSettings(BlockingSdo& sdo, uint8_t manager, const ManagerSettings& settings,
                      const OperationControl& control);

// ---- Bridge forwarding tables -----------------------------------------------

inline constexpr uint32_t kBridgeTableCapacity = 1000;  // bytes

// A table file's content as it is sent: the file's bytes, each CR LF read as
// one LF, nothing added. error holds the log line when the file cannot be
// opened or read, is empty, or holds more than kBridgeTableCapacity bytes
// (at most that many plus one are ever read).
struct BridgeTableFile {
    std::vector<uint8_t> bytes;
    std::string error;
};
BridgeTableFile ReadBridgeTableFile(const std::string& path);

// One table download: the manager's port (1 or 2) and the file.
struct BridgeTableJob {
    int port = 1;
    std::string path;  // as the file system takes it
};

// Reads the job's file and downloads it to 0x2010 + port sub 3, the length
// being the number of bytes. A file that cannot be sent and a failed
// download are logged. True when the manager took the table.
bool WriteBridgeTable(BlockingSdo& sdo, uint8_t manager, const BridgeTableJob& job,
                      const OperationControl& control);
