#include "manager/core/utilities.h"

#include <unistd.h>

#include <chrono>
#include <cstring>

#include "sync/callback_target.h"

namespace {

// The library's numbering: the transfer did not end in time.
constexpr int32_t kTimeoutCode = 11;
// The wait has no limit of its own in practice: the library ends every
// started transfer after its SDO time-out. This bound only turns a lost
// completion into a time-out instead of a hang.
constexpr std::chrono::hours kCompletionWaitLimit{1};

// The instance the completion callback reaches (it carries no context).
quorvane::CallbackTarget<TUtilities> completionTarget;

}  // namespace

TUtilities::TUtilities()
    : completionEventName_(std::to_string(getpid()) + "utilitiessdo_completedevent") {
    completionTarget.attach(this);
}

TUtilities::~TUtilities() {
    completionTarget.detach(this);
}

void TUtilities::SDOCompleted(const LibraryResult* record) {
    if (record == nullptr) return;
    completionTarget.invoke([record](TUtilities& utilities) { utilities.completed(*record); });
}

void TUtilities::completed(const LibraryResult& record) {
    {
        std::lock_guard guard(result_mutex);
        // A completion nobody waits for (one that follows a refused start)
        // must not release the next transfer's wait.
        if (!awaiting_) return;
        awaiting_ = false;
        lastResult_.code = record.code;
        std::memcpy(lastResult_.text, record.text, sizeof lastResult_.text);
    }
    completion_event.set();
}

template <class Start>
void TUtilities::transfer(Start start, LibraryResult& result) {
    std::lock_guard serial(transfer_mutex);
    completion_event.reset();
    {
        std::lock_guard guard(result_mutex);
        awaiting_ = true;
    }
    LibraryResult immediate{};
    inFlight_ = true;
    start(immediate);
    if (immediate.code != 0) {
        // Refused: the transfer never started and no completion follows.
        {
            std::lock_guard guard(result_mutex);
            awaiting_ = false;
        }
        inFlight_ = false;
        result = immediate;
        return;
    }
    const bool ended = completion_event.wait_for(kCompletionWaitLimit);
    inFlight_ = false;
    std::lock_guard guard(result_mutex);
    if (!ended) {
        awaiting_ = false;
        result = LibraryResult{};
        result.code = kTimeoutCode;
        return;
    }
    result = lastResult_;
}

void TUtilities::SDOUpload(uint8_t nodeId, uint16_t index, uint8_t subindex, uint8_t* buffer,
                           uint32_t& length, LibraryResult& result) {
    transfer(
        [&](LibraryResult& immediate) {
            CANopen_SDOUpload(nodeId, index, subindex, buffer, &length, nullptr,
                              &TUtilities::SDOCompleted, &immediate);
        },
        result);
}

void TUtilities::SDODownload(uint8_t nodeId, uint16_t index, uint8_t subindex, const uint8_t* data,
                             uint32_t length, LibraryResult& result) {
    transfer(
        [&](LibraryResult& immediate) {
            CANopen_SDODownload(nodeId, index, subindex, data, length, nullptr,
                                &TUtilities::SDOCompleted, &immediate);
        },
        result);
}

void TUtilities::CancelTransfer() {
    if (inFlight_) CANopen_Cancel();
}
