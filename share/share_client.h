// The client side of frame sharing behind the C functions of quorshare.h:
// one connection to quorvane's socket (sharing/core/socket_path.h) speaking
// the messages of sharing/core/messaging_wire.h.
//
// Threads: Receive on one thread at a time; SetFilter and Send from any
// thread meanwhile (write_mutex_ serialises the writes and guards filters_).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "canlib/morvellcanopen.h"
#include "sharing/core/frame_filter.h"
#include "sharing/core/messaging_wire.h"

namespace share {

// The QUORSHARE_ codes of quorshare.h.
enum Result : int {
    kOk = 0,
    kTimeout = 1,
    kEnded = 2,
    kLost = 3,
    kBadArgument = 4,
    kNoRuntimeDir = 5,
    kRefused = 6,
    kSystemError = 7,
};

class ShareClient {
public:
    // How long a running quorvane may take to answer the registration.
    static constexpr int kAnswerWaitMs = 5000;

    // Connects and registers (waitMs: see quorshare_connect).
    static Result Connect(int32_t waitMs, std::unique_ptr<ShareClient>* client);
    // Sends Shutdown and closes.
    ~ShareClient();
    ShareClient(const ShareClient&) = delete;
    ShareClient& operator=(const ShareClient&) = delete;

    Result SetFilter(const sharing::FilterSetting& setting);
    // Up to `capacity` frames in bus order; kOk with *count >= 1, kTimeout,
    // kEnded or kLost.
    Result Receive(CanFrame* frames, std::size_t capacity, int32_t waitMs, std::size_t* count);
    Result Send(const CanFrame* frames, std::size_t count);

private:
    explicit ShareClient(int fd);
    enum class End { kNone, kShutdown, kLost };

    // Reads what arrives within waitMs (< 0: no limit) and handles it.
    // False when the wait ended first.
    bool ReadOnce(int32_t waitMs);
    void Handle(const sharing::WireMessage& message);
    Result WriteAll(const sharing::Bytes& bytes);  // holds write_mutex_
    Result AwaitAnswer();

    const int fd_;
    const uint32_t ownHandle_;
    std::mutex write_mutex_;        // guards writes to fd_ and filters_
    sharing::FilterTable filters_;  // mirror of the slots set at quorvane
    // Receiving thread only.
    sharing::WireReader reader_;
    std::deque<CanFrame> ready_;  // bus order, filtered when handed out
    bool answered_ = false;       // Handle from quorvane seen
    End end_ = End::kNone;
};

}  // namespace share
