// Texts of the CANopen Manager window: node titles, the node table's cells
// and the error log's lines.
#pragma once

#include <cstdint>
#include <string>

#include "manager/core/manager_configuration.h"

namespace manager_text {

// "0x%2.2X (%dd)": node 5 -> "0x05 (5d)", node 127 -> "0x7F (127d)".
std::string NodeTitle(uint8_t node);

// The node table: 16 columns, rows 1-127 are nodes (row 0 the titles).
inline constexpr int kColumns = 16;
inline constexpr int kRetryFactorColumn = 7;  // assignment bits 8-15
inline constexpr int kGuardTimeColumn = 8;    // assignment bits 16-31
inline constexpr int kDateTimeColumn = 9;
inline constexpr int kFillerColumn = 15;
const char* ColumnTitle(int column);
// The assignment bit a check column toggles: column 1 bit 0 (0x01), columns
// 2-6 bits 2-6 (0x04 .. 0x40); 0 for any other column.
uint32_t AssignmentBitOfColumn(int column);
// The count that makes a cell of `column` available; -1 for columns 0 and 15.
int CountOfColumn(int column);
// 1 <= row <= the column's count (columns 0 and 15 never).
bool CellAvailable(const ManagerConfiguration& config, int row, int column);
// The text of cell (row 1-127, column 0-15): the node title in column 0;
// empty when the configuration is not valid (columns 1-14) or in column 15.
// Columns 1-6 "1"/"0" of the assignment bits 0, 2-6, 7-8 retry factor and
// guard time in decimal, 9 the expected date and time, 10-14 eight hex digits.
std::string CellText(const ManagerConfiguration& config, int row, int column);

// Error log lines of the background operations (both placeholders of a node
// line take the node ID).
std::string NodeLine(const char* format, uint8_t node);  // format with two node placeholders
std::string ReadDateFailed(uint8_t node);            // "Failed to read date from node 0x05 (5d)"
std::string ReadTimeFailed(uint8_t node);            // "Failed to read time from node ..."
std::string WriteDateToManagerFailed(uint8_t node);  // "... for node 0x05 (5d) to CANopen Manager"
std::string WriteTimeToManagerFailed(uint8_t node);
// A failed read of the manager's configuration: "Failed to read 0x1F88 sub 0
// from the CANopen Manager: <the library's text>" (the code when it gave no text).
std::string ManagerReadFailed(uint16_t index, uint8_t subindex, int32_t code,
                              const char* libraryText);
// A failed write to the manager: "<what> (0x1F81 sub 3): <the library's
// text>" (the code when it gave no text).
std::string ManagerWriteFailed(const std::string& what, uint16_t index, uint8_t subindex,
                               int32_t code, const char* libraryText);
// A reply of the wrong size: "Unexpected reply of 2 bytes from the CANopen
// Manager for 0x1F84 sub 3 (4 expected)".
std::string ManagerReplyLength(uint16_t index, uint8_t subindex, uint32_t length,
                               uint32_t expected);

}  // namespace manager_text
