#include "command_runner.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <thread>

#include "banner.h"
#include "sync/callback_target.h"
#include "trace/core/hex_dump.h"
#include "upload_file.h"

namespace quorcmd {
namespace {

constexpr std::int32_t kInvalidParameterCode = 4;
constexpr std::size_t kLargestReversedValue = 4;
constexpr std::chrono::milliseconds kPauseBeforeClose{200};
constexpr const char* kLogHeaderTimeFormat = "%I:%M%p %d %b %Y";

// The binding's completion callback carries no user data: this names the
// state of the run in progress (set for the run's duration, main thread).
quorvane::CallbackTarget<OperationState> active_state;

void onCompletion(const LibraryResult* result) {
    active_state.invoke([result](OperationState& state) { state.complete(*result); });
}

void onProgress(float) {}

// Writes text whole (NUL bytes included) and flushes.
void printText(std::FILE* sink, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), sink);
    std::fflush(sink);
}

// Two upper-case hex digits, e.g. "05".
std::string hexByte(std::uint8_t value) {
    char text[3];
    std::snprintf(text, sizeof text, "%2.2X", value);
    return text;
}

// Name a transfer kind has in its result lines, e.g. "SDO Upload".
const char* transferLabel(std::uint32_t operation) {
    switch (operation) {
        case kSdoUploadTransfer:
            return "SDO Upload";
        case kSdoDownloadTransfer:
            return "SDO Download";
        case kOdReadTransfer:
            return "OD Read";
        case kOdWriteTransfer:
            return "OD Write";
        default:
            return "Transfer";
    }
}

std::int32_t libraryNmtCommand(NmtWord word) {
    switch (word) {
        case NmtWord::Start:
            return 0;
        case NmtWord::Stop:
            return 1;
        case NmtWord::PreOperational:
            return 2;
        case NmtWord::Reset:
            return 3;
        case NmtWord::ResetComm:
            return 5;
    }
    return 0;
}

void openInterface(const InterfaceSelection& hw, LibraryResult* result) {
    switch (hw.interface) {
        case HW_PARALLEL_DONGLE: {
            constexpr std::uint32_t kEppPortType = 2;
            const HwParallelParams params{hw.baud_kbps, hw.port_address, hw.irq,
                                          hw.port_type == kEppPortType ? 1u : 0u};
            return Hardware_Initialize(hw.interface, &params, result);
        }
        case HW_USB_MODULE: {
            const HwUsbModuleParams params{hw.baud_kbps, hw.device};
            return Hardware_Initialize(hw.interface, &params, result);
        }
        case HW_ISA: {
            const HwIsaParams params{hw.baud_kbps, hw.isa_address, hw.irq};
            return Hardware_Initialize(hw.interface, &params, result);
        }
        default: {
            const HwBaudParams params{hw.baud_kbps};
            return Hardware_Initialize(hw.interface, &params, result);
        }
    }
}

std::string logHeaderTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    if (std::strftime(text, sizeof text, kLogHeaderTimeFormat, &local) == 0) return {};
    return text;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Executes the commands of one run; main thread.
class Runner {
public:
    // log: the QUIET log file, or null when the output goes to the console.
    Runner(std::FILE* sink, std::FILE* log, ErrorFlag& error_flag)
        : sink_(sink), log_(log), error_flag_(error_flag), state_(sink, error_flag) {
        active_state.attach(&state_);
    }
    ~Runner() { active_state.detach(&state_); }

    void run(const CommandRecord& command) {
        switch (command.operation) {
            case Operation::Nmt:
                return runNmt(command);
            case Operation::SdoUpload:
                return runUpload(command, kSdoUploadTransfer);
            case Operation::OdRead:
                return runUpload(command, kOdReadTransfer);
            case Operation::SdoDownload:
                return runDownload(command, kSdoDownloadTransfer);
            case Operation::OdWrite:
                return runDownload(command, kOdWriteTransfer);
        }
    }

private:
    void fail(TransferOperation operation, const std::string& reason,
              const CommandRecord& command) {
        printText(sink_, std::string(transferLabel(operation)) + " failed: " + reason + " [" +
                             command.directive_text + "]\n");
        error_flag_ = true;
    }

    void runNmt(const CommandRecord& command) {
        LibraryResult result{};
        CANopen_NMT(command.node, libraryNmtCommand(command.nmt), &result);
        if (result.code == 0) {
            printText(sink_, "NMT message sent to " + hexByte(command.node) + " [" +
                                 command.directive_text + "]\n");
            return;
        }
        printText(sink_, "NMT message send failed: " + ResultText(result) + " (" +
                             hexByte(command.node) + ") [" + command.directive_text + "]\n");
        error_flag_ = true;
    }

    // Marks the transfer as started under opstate_mutex; false (flag set) when
    // the mutex could not be had.
    bool begin(TransferOperation operation, const CommandRecord& command) {
        if (state_.begin(operation, command)) return true;
        error_flag_ = true;
        return false;
    }

    // The library refused the start: no completion follows, report it now.
    void refused(TransferOperation operation, const LibraryResult& result,
                 const CommandRecord& command) {
        state_.abandon();
        fail(operation, ResultText(result), command);
    }

    void runUpload(const CommandRecord& command, TransferOperation operation) {
        const Destination destination = DestinationOf(command.file);
        std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow)
                                                   std::uint8_t[kTransferBufferBytes]);
        if (!buffer) return fail(operation, "Unable to allocate memory", command);
        UploadFile file;
        if (destination != Destination::Screen) {
            if (IsSameFile(command.file, log_))
                return fail(operation, "Destination " + command.file + " is the QUIET log file",
                            command);
            if (!file.open(command.file))
                return fail(operation, "Unable to create file " + command.file, command);
        }
        if (!begin(operation, command)) return;
        std::uint32_t length = kTransferBufferBytes;
        LibraryResult result{};
        CANopen_SDOUpload(command.node, command.index, command.subindex, buffer.get(), &length,
                          onProgress, onCompletion, &result);
        if (result.code != 0) return refused(operation, result, command);
        const bool received = state_.waitForCompletion() == 0;
        if (length > kTransferBufferBytes) length = kTransferBufferBytes;
        // A failed upload leaves the destination as it was.
        if (destination != Destination::Screen && !received) return;
        if (!writeReceived(command, operation, destination, file.file(), buffer.get(), length))
            return;
        if (destination != Destination::Screen && !file.commit())
            fail(operation, "Unable to write file " + command.file, command);
    }

    // False (failure reported) when the file could not be written.
    bool writeReceived(const CommandRecord& command, TransferOperation operation,
                       Destination destination, std::FILE* file, const std::uint8_t* data,
                       std::uint32_t length) {
        if (destination == Destination::Screen) {
            const std::string dump = FormatHexDump(data, length);
            printText(sink_, dump);
            return true;
        }
        bool written;
        if (destination == Destination::TextFile) {
            const std::string dump = FormatHexDump(data, length);
            written = std::fwrite(dump.data(), 1, dump.size(), file) == dump.size();
        } else {
            const auto bytes = BinaryFileBytes(data, length);
            written =
                bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        }
        if (!written) fail(operation, "Unable to write file " + command.file, command);
        return written;
    }

    void runDownload(const CommandRecord& command, TransferOperation operation) {
        const std::uint8_t* data = command.data.data();
        std::uint32_t length = static_cast<std::uint32_t>(command.data.size());
        std::unique_ptr<std::uint8_t[]> buffer;
        if (!command.file.empty()) {
            // One byte more than the limit tells a file that is too long.
            buffer.reset(new (std::nothrow) std::uint8_t[kTransferBufferBytes + 1]);
            if (!buffer) return fail(operation, "Unable to allocate memory", command);
            File file(std::fopen(command.file.c_str(), "rb"));
            if (!file) return fail(operation, "Unable to open file " + command.file, command);
            const std::size_t read =
                std::fread(buffer.get(), 1, kTransferBufferBytes + 1, file.get());
            if (std::ferror(file.get()))
                return fail(operation, "Unable to read file " + command.file, command);
            if (read > kTransferBufferBytes)
                return fail(operation,
                            "File " + command.file + " is larger than " +
                                std::to_string(kTransferBufferBytes) + " bytes",
                            command);
            data = buffer.get();
            length = static_cast<std::uint32_t>(read);
        }
        if (!begin(operation, command)) return;
        LibraryResult result{};
        CANopen_SDODownload(command.node, command.index, command.subindex, data, length, onProgress,
                            onCompletion, &result);
        if (result.code != 0) return refused(operation, result, command);
        state_.waitForCompletion();
    }

    std::FILE* sink_;
    std::FILE* log_;
    ErrorFlag& error_flag_;
    OperationState state_;
};

}  // namespace

std::string ResultText(const LibraryResult& result) {
    if (result.code == kInvalidParameterCode)
        return "Invalid parameter " + std::to_string(static_cast<unsigned char>(result.text[0]));
    std::string text(result.text, strnlen(result.text, sizeof result.text));
    if (text.empty()) text = "Error code " + std::to_string(result.code);
    return text;
}

Destination DestinationOf(const std::string& file) {
    const auto dot = file.rfind('.');
    if (dot != std::string::npos)
        return file.compare(dot + 1, std::string::npos, "txt") == 0 ? Destination::TextFile
                                                                    : Destination::BinaryFile;
    return file == "SCREEN" ? Destination::Screen : Destination::BinaryFile;
}

std::vector<std::uint8_t> BinaryFileBytes(const std::uint8_t* data, std::size_t length) {
    std::vector<std::uint8_t> bytes(data, data + length);
    if (length <= kLargestReversedValue) std::reverse(bytes.begin(), bytes.end());
    return bytes;
}

OperationState::OperationState(std::FILE* sink, ErrorFlag& error_flag)
    : sink_(sink), error_flag_(error_flag) {}

bool OperationState::begin(TransferOperation operation, const CommandRecord& command) {
    std::unique_lock lock(opstate_mutex_, kLockWait);
    if (!lock.owns_lock()) return false;
    operation_ = operation;
    current_ = &command;
    return true;
}

void OperationState::abandon() {
    // When the wait fails the operation stays set; the next begin() replaces
    // it, and no completion can report it.
    std::unique_lock lock(opstate_mutex_, kLockWait);
    if (!lock.owns_lock()) return;
    operation_ = kNoTransfer;
    current_ = nullptr;
}

void OperationState::reportLocked(std::int32_t code, const std::string& text) {
    const std::string label = transferLabel(operation_);
    const std::string directive = current_ ? current_->directive_text : std::string();
    if (code == 0) {
        printText(sink_, label + " complete [" + directive + "]\n");
    } else {
        printText(sink_, label + " failed: " + text + " [" + directive + "]\n");
        error_flag_ = true;
    }
    operation_ = kNoTransfer;
    current_ = nullptr;
}

std::int32_t OperationState::waitForCompletion() {
    ++started_;
    for (;;) {
        (void)wakeup_.try_acquire_for(kPollInterval);
        bool reported = false;
        std::unique_lock lock(opstate_mutex_, kLockWait);
        if (lock.owns_lock()) {
            // The callback could not take the mutex: print its outcome here.
            if (operation_ != kNoTransfer && stored_.load(std::memory_order_acquire) == started_)
                reportLocked(slot_code_, slot_text_);
            reported = operation_ == kNoTransfer;
            lock.unlock();
        }
        if (reported && returned_.load(std::memory_order_acquire) == started_) return slot_code_;
    }
}

void OperationState::complete(const LibraryResult& result) {
    slot_code_ = result.code;
    slot_text_ = ResultText(result);
    const std::uint32_t number = stored_.load(std::memory_order_relaxed) + 1;
    stored_.store(number, std::memory_order_release);
    wakeup_.release();
    {
        std::unique_lock lock(opstate_mutex_, kLockWait);
        if (lock.owns_lock() && operation_ != kNoTransfer) reportLocked(slot_code_, slot_text_);
    }
    returned_.store(number, std::memory_order_release);
    wakeup_.release();
}

bool RunCommands(const std::vector<CommandRecord>& commands, const InterfaceSelection& hardware,
                 const LogSettings& log) {
    ErrorFlag error_flag{false};
    File log_file;
    std::FILE* sink = stdout;
    if (log.quiet) {
        log_file.reset(std::fopen(log.file.c_str(), "w"));
        if (!log_file) {
            std::fputs(kBanner, stdout);
            std::fprintf(stdout, "Output file creation failed (%s)\n", log.file.c_str());
            std::fflush(stdout);
            return false;
        }
        sink = log_file.get();
        printText(sink, "CANopen logfile generated by Quorvane at " + logHeaderTime() + "\n");
    }
    printText(sink, kBanner);
    {
        Runner runner(sink, log_file.get(), error_flag);
        LibraryResult result{};
        openInterface(hardware, &result);
        if (result.code == 0) {
            printText(sink, "Hardware initialized\n");
        } else {
            printText(sink, "Hardware initialization failed: " + ResultText(result) + "\n");
            error_flag = true;
        }
        for (const CommandRecord& command : commands) runner.run(command);
        std::this_thread::sleep_for(kPauseBeforeClose);
        Hardware_Close();
    }
    if (log_file && std::fclose(log_file.release()) != 0) error_flag = true;
    std::fflush(stdout);
    return !error_flag;
}

}  // namespace quorcmd
