// The CANopen Manager window's background operations, without the window:
// each runs on the calling (worker) thread, makes its transfers one after
// the other through a BlockingSdo and reports through an OperationControl.
//
//     std::atomic<bool> abort{false};
//     OperationControl control{&abort, [](float p) {...}, [](std::string line) {...}};
//     ManagerConfiguration config;                    // zeroed
//     bool complete = ReadManager(sdo, 16, config, control);
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "manager/core/blocking_sdo.h"
#include "manager/core/config_date_time.h"
#include "manager/core/manager_configuration.h"
#include "manager/core/manager_map.h"

struct OperationControl {
    const std::atomic<bool>* abortRequested = nullptr;  // set by the UI thread's cancel
    std::function<void(float percent)> progress;        // 0-100, after each step
    std::function<void(std::string line)> log;          // one error log line
    bool aborted() const { return abortRequested != nullptr && abortRequested->load(); }
};

// Steps of ReadManager's progress: every possible table element and one per
// single entry (8 x 127 + 18).
inline constexpr int kReadManagerSteps = 1034;

// Reads manager's whole configuration into config (which the caller zeroed),
// 1000-byte buffer for every read. Tables in the order 0x1F81, 0x1F26,
// 0x1F27, 0x1F84-0x1F88: sub 0 gives the count (exactly one byte; for 0x1F81
// the first byte of any reply; capped at 127; 0x1F27 only lowers the count
// 0x1F26 set), then sub 1..count, each stored only when exactly 4 bytes came.
// A table without a count (0x1F81 also with count 0) keeps its count, and
// its 127 steps pass at once; 0x1F88 without a count sets all counts to 0.
// Then 0x2101/0x2102 sub 1-3, 0x2001, 0x2011/0x2012 sub 1-2, 0x2000 sub 1-7;
// a reply of the wrong size gives 0 (the status message: any length, empty
// on failure). Every failed read and wrong-sized reply is logged, the read
// goes on. An abort seen after an element, a table or a single entry sets
// all counts to 0 and ends the read: returns false. Otherwise sets
// configValid and returns true.
bool ReadManager(BlockingSdo& sdo, uint8_t manager, ManagerConfiguration& config,
                 const OperationControl& control);

// One node's date and time as ReadDatesFromNodes stores it.
struct NodeDateTime {
    uint8_t node = 0;
    ConfigDateTime value;
};

// For each node n = 1..127 (progress n / 127): skipped after an abort or when
// n > dateCount; a node that does not give 4 bytes of 0x1000 is absent
// (no line); 0x1020 sub 1 and sub 2 must give 4 bytes each, else "Failed to
// read date/time from node ..."; then stored(n, date, time) and the date and
// time are written to manager's 0x1F26 / 0x1F27 sub n ("Failed to write date
// ... to CANopen Manager" skips the time). Returns false when aborted.
bool ReadDatesFromNodes(BlockingSdo& sdo, uint8_t manager, uint8_t dateCount,
                        const OperationControl& control,
                        const std::function<void(const NodeDateTime&)>& stored);

// The date/time dialog's "Read from node": 0x1020 sub 0 must give one byte
// of value 2, then sub 1 and sub 2 four bytes each (100-byte buffer). The
// pair, or the message to show.
struct NodeDateTimeRead {
    std::optional<ConfigDateTime> value;
    std::string message;  // when no value
};
NodeDateTimeRead ReadNodeDateTime(BlockingSdo& sdo, uint8_t node);

// Writes the command's four characters to manager's 0x1F50 sub 5; returns
// the library's outcome (code 0 = success).
LibraryResult SendManagerCommand(BlockingSdo& sdo, uint8_t manager,
                                 manager_map::ManagerCommand command);
