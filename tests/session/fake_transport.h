// A transport for session tests: frames the session sends go to a peer
// function (which may answer with frames), and the test can inject frames,
// errors or a broken connection. Thread-safe; its fd is an eventfd that is
// readable while events wait.
#pragma once

#include <sys/eventfd.h>
#include <unistd.h>

#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "transport/can_transport.h"

namespace sessiontest {

using morvell::transport::SendResult;
using morvell::transport::TransportEvent;

class FakeTransport : public morvell::transport::CanTransport {
public:
    // Called on the I/O thread for every frame sent; returns the answers.
    using Peer = std::function<std::vector<CanFrame>(const CanFrame&)>;

    FakeTransport() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~FakeTransport() override { close(fd_); }

    void setPeer(Peer peer) {
        std::lock_guard lock(mutex_);
        peer_ = std::move(peer);
    }
    // The next `count` sends are refused with WouldBlock.
    void refuseSends(int count) {
        std::lock_guard lock(mutex_);
        refusals_ = count;
    }
    void inject(const CanFrame& frame, std::int32_t status = 1) {
        push({.kind = TransportEvent::Kind::Frame, .frame = frame, .status = status});
    }
    void injectError(std::int32_t code) {
        push({.kind = TransportEvent::Kind::BusError, .error_code = code});
    }
    void breakConnection() {
        {
            std::lock_guard lock(mutex_);
            broken_ = true;
        }
        signal();
    }
    std::vector<CanFrame> sent() const {
        std::lock_guard lock(mutex_);
        return sent_;
    }

    int fd() const override { return fd_; }
    bool receive(std::vector<TransportEvent>& events) override {
        std::uint64_t counter;
        [[maybe_unused]] ssize_t n = read(fd_, &counter, sizeof counter);
        std::lock_guard lock(mutex_);
        if (broken_) return false;
        events.insert(events.end(), incoming_.begin(), incoming_.end());
        incoming_.clear();
        return true;
    }
    SendResult send(const CanFrame& frame) override {
        Peer peer;
        {
            std::lock_guard lock(mutex_);
            if (refusals_ > 0) {
                --refusals_;
                return SendResult::WouldBlock;
            }
            sent_.push_back(frame);
            confirmations_.push_back({.kind = TransportEvent::Kind::Sent, .frame = frame});
            peer = peer_;
        }
        if (peer)
            for (const auto& answer : peer(frame)) inject(answer);
        return SendResult::Ok;
    }
    bool hasPendingOutput() const override { return false; }
    bool flush(std::vector<TransportEvent>& events) override {
        std::lock_guard lock(mutex_);
        events.insert(events.end(), confirmations_.begin(), confirmations_.end());
        confirmations_.clear();
        return true;
    }
    bool confirmsByEcho() const override { return false; }
    std::string error() const override { return "fake connection broken"; }
    std::string name() const override { return "fake"; }

private:
    void push(const TransportEvent& e) {
        {
            std::lock_guard lock(mutex_);
            incoming_.push_back(e);
        }
        signal();
    }
    void signal() {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(fd_, &one, sizeof one);
    }

    int fd_;
    mutable std::mutex mutex_;
    Peer peer_;
    int refusals_ = 0;
    bool broken_ = false;
    std::vector<CanFrame> sent_;
    std::deque<TransportEvent> incoming_, confirmations_;
};

}  // namespace sessiontest
