// Execution of the queued quorcmd commands through the CANopen access
// library: one command at a time, one result line per command.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <semaphore>
#include <string>
#include <vector>

#include "canlib/morvellcanopen.h"
#include "command_model.h"
#include "sync/timed_mutex.h"

namespace quorcmd {

// The run's error flag: set by any failure on the main thread or the
// library's thread; decides exit code 1.
using ErrorFlag = std::atomic<bool>;

// Operation values of the shared state; 0 = none or finished.
enum TransferOperation : std::uint32_t {
    kNoTransfer = 0,
    kSdoUploadTransfer = 1,
    kSdoDownloadTransfer = 2,
    kOdReadTransfer = 3,
    kOdWriteTransfer = 4,
};

// Readable text of a library result; code 4 carries a parameter number.
std::string ResultText(const LibraryResult& result);

// Where an upload goes: a file name ending in ".txt" (lower case) gets a hex
// dump, "SCREEN" the output, any other name the raw bytes.
enum class Destination { Screen, TextFile, BinaryFile };
Destination DestinationOf(const std::string& file);

// Bytes as written to a binary file: 1 to 4 bytes reversed (a value lands most
// significant byte first), other lengths in the order received.
std::vector<std::uint8_t> BinaryFileBytes(const std::uint8_t* data, std::size_t length);

// The state one transfer shares between the main thread (start and poll) and
// the library's thread (completion). The operation and current command are
// touched only under opstate_mutex, each wait for it at most 500 ms. The
// completion hands its outcome over in a slot published by an atomic count,
// so whichever thread holds opstate_mutex first while the operation is still
// set prints the result line: exactly once, also when one side's wait fails.
class OperationState {
public:
    static constexpr std::chrono::milliseconds kLockWait{500};
    static constexpr std::chrono::milliseconds kPollInterval{5};

    // Lines go to sink; failures set error_flag. Both must outlive this.
    OperationState(std::FILE* sink, ErrorFlag& error_flag);

    // Main thread, before starting a transfer: sets operation and command.
    // False when opstate_mutex could not be had (nothing is then started).
    bool begin(TransferOperation operation, const CommandRecord& command);

    // Main thread: the start was refused, so no completion follows; the
    // caller has printed the failure line. Clears the operation.
    void abandon();

    // Main thread, after a start with code 0: returns once the result line is
    // printed and the completion callback has returned. Polls every 5 ms and
    // wakes at once when the completion arrives. Returns the result code.
    std::int32_t waitForCompletion();

    // Library thread: the completion callback's work.
    void complete(const LibraryResult& result);

    // For tests that hold the mutex to make the other side's wait fail.
    quorvane::TimedMutex& opstateMutex() { return opstate_mutex_; }

private:
    // Caller holds opstate_mutex_ and operation_ != kNoTransfer.
    void reportLocked(std::int32_t code, const std::string& text);

    std::FILE* sink_;
    ErrorFlag& error_flag_;

    quorvane::TimedMutex opstate_mutex_;
    std::uint32_t operation_ = kNoTransfer;   // guarded by opstate_mutex_
    const CommandRecord* current_ = nullptr;  // guarded by opstate_mutex_

    // Completion hand-off: the slot is written by the library thread before
    // stored_ counts it, and read only after stored_ shows it.
    std::int32_t slot_code_ = 0;
    std::string slot_text_;
    std::atomic<std::uint32_t> stored_{0};    // completions handed over
    std::atomic<std::uint32_t> returned_{0};  // completion callbacks finished
    std::uint32_t started_ = 0;               // main thread only
    std::counting_semaphore<> wakeup_{0};
};

// Executes commands in order on the selected interface, with the output on
// standard output or, when log.quiet, in the log file (created afresh).
// Prints the log header and banner first. Returns false when anything failed
// (the run's error flag). Main thread only; one run per process at a time.
bool RunCommands(const std::vector<CommandRecord>& commands, const InterfaceSelection& hardware,
                 const LogSettings& log);

}  // namespace quorcmd
