// TUtilities: the process-wide object through which the CANopen Manager
// windows make every SDO transfer. It turns the library's asynchronous
// transfers into blocking calls.
//
// Threads: SDOUpload and SDODownload may be called from any thread and block
// it until the transfer has ended (the library applies its SDO time-out;
// there is no limit here). One transfer at a time: a second caller waits
// for the first to end. SDOCompleted runs on the library's thread. One
// instance receives the completion callback at a time (the last created).
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "canlib/morvellcanopen.h"
#include "manager/core/blocking_sdo.h"
#include "sync/auto_reset_event.h"

class TUtilities : public BlockingSdo {
public:
    TUtilities();
    ~TUtilities() override;
    TUtilities(const TUtilities&) = delete;
    TUtilities& operator=(const TUtilities&) = delete;

    void SDOUpload(uint8_t nodeId, uint16_t index, uint8_t subindex, uint8_t* buffer,
                   uint32_t& length, LibraryResult& result) override;
    void SDODownload(uint8_t nodeId, uint16_t index, uint8_t subindex, const uint8_t* data,
                     uint32_t length, LibraryResult& result) override;

    // Ends the transfer in flight (the library's cancel: the server gets an
    // abort, the transfer ends with code 1); nothing when none runs. Used to
    // shorten a shutdown. Any thread.
    void CancelTransfer();

    // The completion callback handed to the library. Library thread.
    static void SDOCompleted(const LibraryResult* record);

    // "<pid>utilitiessdo_completedevent": the completion event's name.
    const std::string& completionEventName() const { return completionEventName_; }

private:
    template <class Start>
    void transfer(Start start, LibraryResult& result);
    void completed(const LibraryResult& record);

    const std::string completionEventName_;
    std::mutex transfer_mutex;  // held for the whole of one transfer
    quorvane::AutoResetEvent completion_event;
    // Guards the result slot and `awaiting_` between the library's thread
    // and the waiting thread.
    std::mutex result_mutex;
    bool awaiting_ = false;  // a started transfer has not completed yet
    LibraryResult lastResult_{};
    std::atomic<bool> inFlight_{false};
};
