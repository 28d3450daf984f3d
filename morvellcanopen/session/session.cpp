#include "session.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

namespace morvell::session {
namespace {

using Clock = std::chrono::steady_clock;
using transport::TransportEvent;

// How long to wait before retrying a transport that refused a frame without
// offering a writable event (SocketCAN reports a full queue as ENOBUFS).
constexpr auto kSendRetry = std::chrono::milliseconds(1);

enum EventTag : std::uint64_t { kWakeTag = 1, kTimerTag = 2, kTransportTag = 3 };

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Runs an application callback. An exception it throws stops here: the I/O
// thread goes on, and the first one is named on standard error.
template <class Callback, class... Args>
void callApplication(Callback callback, Args... args) noexcept {
    if (callback == nullptr) return;
    static std::atomic<bool> reported{false};
    try {
        callback(args...);
    } catch (const std::exception& e) {
        if (!reported.exchange(true))
            std::fprintf(stderr, "morvellcanopen: a callback threw, stopped there: %s\n", e.what());
    } catch (...) {
        if (!reported.exchange(true))
            std::fprintf(stderr, "morvellcanopen: a callback threw, stopped there\n");
    }
}

}  // namespace

struct Session::Impl {
    Impl(std::unique_ptr<transport::CanTransport> t, const SessionConfig& c, const Callbacks& cb)
        : transport(std::move(t)), config(c), callbacks(cb), client(c.sdo) {}
    ~Impl() {
        closeFd(epoll_fd);
        closeFd(wake_fd);
        closeFd(timer_fd);
    }

    // --- any thread ---------------------------------------------------------
    void wake() {
        const std::uint64_t one = 1;
        // A full eventfd counter still wakes the loop: ignore EAGAIN.
        [[maybe_unused]] ssize_t n = ::write(wake_fd, &one, sizeof one);
    }

    CallResult transmit(const CanFrame& frame) {
        {
            std::lock_guard lock(queue_mutex);
            if (broken) return {kBusError, "the interface is gone: " + broken_reason, 0};
            if (queue.size() >= config.transmit_queue_limit)
                return {kBusError, "transmit queue full: the bus does not take frames", 0};
            queue.push_back(frame);
        }
        wake();
        return {};
    }

    struct Transfer {
        std::uint8_t* buffer = nullptr;
        std::uint32_t* length = nullptr;
        ProgressCallback progress = nullptr;
        CompletionCallback completion = nullptr;
    };

    // Claims the SDO client for a new transfer: code 8 while another one runs
    // (until its completion is being delivered) or when the link is gone.
    template <class StartFn>
    CallResult startTransfer(const Transfer& t, StartFn&& start) {
        {
            std::lock_guard lock(sdo_mutex);
            if (broken_flag.load()) return {kBusError, "the interface is gone", 0};
            if (transfer || client.busy())
                return {kBusError, "an SDO transfer is already running", 0};
            transfer = t;
            start(client, Clock::now());
        }
        wake();
        return {};
    }

    void cancel() {
        {
            std::lock_guard lock(sdo_mutex);
            if (!client.busy()) return;
            client.cancel(Clock::now());
        }
        wake();
    }

    // --- I/O thread -----------------------------------------------------------
    void run() {
        thread_id = std::this_thread::get_id();
        epoll_event ready[8];
        while (!stopping.load()) {
            armTimer();
            const int n = ::epoll_wait(epoll_fd, ready, 8, -1);
            if (n < 0) {
                if (errno == EINTR) continue;
                markBroken(std::string("epoll_wait: ") + std::strerror(errno));
                break;
            }
            bool readable = false, writable = false;
            for (int i = 0; i < n; ++i) {
                std::uint64_t counter;
                const auto tag = ready[i].data.u64;
                if (tag == kWakeTag || tag == kTimerTag) {
                    // Reading resets the counter; nothing else is carried.
                    [[maybe_unused]] ssize_t r =
                        ::read(tag == kWakeTag ? wake_fd : timer_fd, &counter, sizeof counter);
                    if (tag == kTimerTag) timer_armed_for.reset();
                } else if (tag == kTransportTag) {
                    readable = readable || (ready[i].events & (EPOLLIN | EPOLLERR | EPOLLHUP));
                    writable = writable || (ready[i].events & EPOLLOUT);
                }
            }
            serviceTransport(readable, writable);
        }
        shutdown();
    }

    void serviceTransport(bool readable, bool writable) {
        events.clear();
        if (!broken_flag.load()) {
            if (readable && !transport->receive(events)) markBroken(transport->error());
            if (!broken_flag.load() && writable && !transport->flush(events))
                markBroken(transport->error());
        }
        dispatch(events);
        {
            std::lock_guard lock(sdo_mutex);
            client.onTimer(Clock::now());
        }
        deliverSdoOutputs();
        sendPending();
    }

    // Callbacks for what the transport reported; received frames also go to
    // the SDO client after the application has seen them.
    void dispatch(const std::vector<TransportEvent>& list) {
        for (const auto& e : list) {
            switch (e.kind) {
                case TransportEvent::Kind::Frame:
                    callApplication(callbacks.receive.load(), &e.frame, e.status);
                    {
                        std::lock_guard lock(sdo_mutex);
                        if (client.busy()) client.onFrame(e.frame, Clock::now());
                    }
                    deliverSdoOutputs();
                    break;
                case TransportEvent::Kind::Sent:
                    callApplication(callbacks.transmit.load(), &e.frame);
                    break;
                case TransportEvent::Kind::BusError:
                    callApplication(callbacks.error.load(), e.error_code);
                    break;
            }
        }
    }

    // Frames, progress and the completion the SDO client produced. The
    // transfer is released before the completion callback runs, so the
    // callback may start the next one.
    void deliverSdoOutputs() {
        std::vector<CanFrame> frames;
        std::optional<float> progress;
        std::optional<sdo::Completion> done;
        Transfer finished;
        ProgressCallback progress_cb = nullptr;
        {
            std::lock_guard lock(sdo_mutex);
            frames = client.takeFrames();
            progress = client.takeProgress();
            done = client.takeCompletion();
            if (transfer) progress_cb = transfer->progress;
            if (done && transfer) {
                finished = *transfer;
                transfer.reset();
            }
        }
        if (!frames.empty()) {
            // Frames other threads queued before the engine produced these go
            // first: an NMT command sent before an SDO request precedes it.
            takeQueued();
            for (const auto& f : frames) pending.push_back(f);
            sendPending();
        }
        if (progress) callApplication(progress_cb, *progress);
        if (done) {
            if (finished.length) *finished.length = done->length;
            LibraryResult result{};
            result.code = done->code;
            std::snprintf(result.text, sizeof result.text, "%s", done->text.c_str());
            callApplication(finished.completion, static_cast<const LibraryResult*>(&result));
        }
    }

    // Moves queued frames behind the pending ones, but never more than the
    // queue limit: while the transport refuses frames, the queue fills and
    // CAN_Transmit is refused instead of memory growing without bound.
    void takeQueued() {
        std::lock_guard lock(queue_mutex);
        while (!queue.empty() && pending.size() < config.transmit_queue_limit) {
            pending.push_back(queue.front());
            queue.pop_front();
        }
    }

    // Sends what the engine produced and what other threads queued, in order,
    // as far as the transport takes it; then reports confirmations.
    void sendPending() {
        takeQueued();
        if (broken_flag.load()) {
            pending.clear();
            return;
        }
        retry_at.reset();
        while (!pending.empty()) {
            // One batch: a block of segments leaves with one system call.
            batch.assign(pending.begin(), pending.end());
            std::size_t taken = 0;
            const auto r = transport->sendBatch(batch, &taken);
            pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(taken));
            if (r == transport::SendResult::Ok) {
                takeQueued();
            } else if (r == transport::SendResult::WouldBlock) {
                if (!transport->hasPendingOutput()) retry_at = Clock::now() + kSendRetry;
                break;
            } else {
                markBroken(transport->error());
                pending.clear();
                return;
            }
        }
        std::vector<TransportEvent> confirmations;
        if (!transport->flush(confirmations)) markBroken(transport->error());
        dispatch(confirmations);
        watchWritable(transport->hasPendingOutput());
    }

    void watchWritable(bool on) {
        if (on == watching_writable || broken_flag.load()) return;
        epoll_event ev{};
        ev.events = EPOLLIN | (on ? static_cast<std::uint32_t>(EPOLLOUT) : 0u);
        ev.data.u64 = kTransportTag;
        ::epoll_ctl(epoll_fd, EPOLL_CTL_MOD, transport->fd(), &ev);
        watching_writable = on;
    }

    // The timer is set only when the next deadline comes before the armed
    // one: a deadline that moved later (each SDO segment pushes the response
    // time-out on) lets the armed timer fire early once, and the loop re-arms
    // it then. Saves a system call per frame.
    void armTimer() {
        std::optional<Clock::time_point> next;
        {
            std::lock_guard lock(sdo_mutex);
            next = client.deadline();
        }
        if (retry_at && (!next || *retry_at < *next)) next = retry_at;
        if (!next || (timer_armed_for && *timer_armed_for <= *next)) return;
        itimerspec spec{};
        const auto ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(next->time_since_epoch()).count();
        // Zero would disarm the timer; a deadline in the past fires at once.
        const auto at = ns > 0 ? ns : 1;
        spec.it_value.tv_sec = at / 1000000000;
        spec.it_value.tv_nsec = at % 1000000000;
        if (::timerfd_settime(timer_fd, TFD_TIMER_ABSTIME, &spec, nullptr) == 0)
            timer_armed_for = next;
    }

    void markBroken(const std::string& reason) {
        if (broken_flag.exchange(true)) return;
        {
            std::lock_guard lock(queue_mutex);
            broken = true;
            broken_reason = reason;
            queue.clear();
        }
        ::epoll_ctl(epoll_fd, EPOLL_CTL_DEL, transport->fd(), nullptr);
        callApplication(callbacks.error.load(), MORVELL_ERROR_CONNECTION_LOST);
        {
            std::lock_guard lock(sdo_mutex);
            client.fail(kBusError, "connection lost: " + reason);
        }
        deliverSdoOutputs();
    }

    // End of the I/O thread: abort a running transfer on the bus and complete it.
    void shutdown() {
        {
            std::lock_guard lock(sdo_mutex);
            if (client.busy()) client.cancel(Clock::now());
        }
        deliverSdoOutputs();
        sendPending();
    }

    static constexpr std::int32_t kBusError = 8;  // LibraryResult code

    std::unique_ptr<transport::CanTransport> transport;
    SessionConfig config;
    const Callbacks& callbacks;

    int epoll_fd = -1, wake_fd = -1, timer_fd = -1;
    std::thread thread;
    std::atomic<std::thread::id> thread_id{};
    std::atomic<bool> stopping{false};
    std::atomic<bool> broken_flag{false};

    std::mutex queue_mutex;  // guards queue, broken, broken_reason
    std::deque<CanFrame> queue;
    bool broken = false;
    std::string broken_reason;

    std::mutex sdo_mutex;  // guards client, transfer
    sdo::Client client;
    std::optional<Transfer> transfer;

    // I/O thread only.
    std::deque<CanFrame> pending;
    std::vector<CanFrame> batch;  // pending, contiguous for sendBatch()
    std::vector<TransportEvent> events;
    std::optional<Clock::time_point> retry_at;
    std::optional<Clock::time_point> timer_armed_for;  // empty: not armed
    bool watching_writable = false;
};

std::unique_ptr<Session> Session::start(std::unique_ptr<transport::CanTransport> transport,
                                        const SessionConfig& config, const Callbacks& callbacks,
                                        std::string* error) {
    auto impl = std::make_shared<Impl>(std::move(transport), config, callbacks);
    impl->epoll_fd = ::epoll_create1(EPOLL_CLOEXEC);
    impl->wake_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    impl->timer_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    auto fail = [&](const char* what) {
        if (error) *error = std::string(what) + ": " + std::strerror(errno);
        return nullptr;
    };
    if (impl->epoll_fd < 0 || impl->wake_fd < 0 || impl->timer_fd < 0) return fail("event set-up");
    const std::pair<int, std::uint64_t> watched[] = {{impl->wake_fd, kWakeTag},
                                                     {impl->timer_fd, kTimerTag},
                                                     {impl->transport->fd(), kTransportTag}};
    for (const auto& [fd, tag] : watched) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = tag;
        if (::epoll_ctl(impl->epoll_fd, EPOLL_CTL_ADD, fd, &ev) != 0) return fail("epoll_ctl");
    }
    try {
        // The thread keeps the state alive: a session closed from one of its
        // own callbacks lets the thread finish after the callback returns.
        impl->thread = std::thread([impl] { impl->run(); });
    } catch (const std::system_error& e) {
        if (error) *error = std::string("the I/O thread could not be started: ") + e.what();
        return nullptr;
    }
    return std::unique_ptr<Session>(new Session(std::move(impl)));
}

Session::Session(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

Session::~Session() {
    impl_->stopping = true;
    impl_->wake();
    if (std::this_thread::get_id() == impl_->thread_id.load())
        impl_->thread.detach();
    else
        impl_->thread.join();
}

CallResult Session::transmit(const CanFrame& frame) {
    return impl_->transmit(frame);
}

CallResult Session::startUpload(std::uint8_t node, std::uint16_t index, std::uint8_t subindex,
                                std::uint8_t* buffer, std::uint32_t* length,
                                ProgressCallback progress, CompletionCallback completion) {
    const std::span<std::uint8_t> destination(buffer, *length);
    return impl_->startTransfer({buffer, length, progress, completion},
                                [&](sdo::Client& c, Clock::time_point now) {
                                    c.startUpload(node, index, subindex, destination, now);
                                });
}

CallResult Session::startDownload(std::uint8_t node, std::uint16_t index, std::uint8_t subindex,
                                  const std::uint8_t* data, std::uint32_t length,
                                  ProgressCallback progress, CompletionCallback completion) {
    const std::span<const std::uint8_t> source(data, length);
    return impl_->startTransfer({nullptr, nullptr, progress, completion},
                                [&](sdo::Client& c, Clock::time_point now) {
                                    c.startDownload(node, index, subindex, source, now);
                                });
}

void Session::cancel() {
    impl_->cancel();
}

std::string Session::channelName() const {
    return impl_->transport->name();
}

}  // namespace morvell::session
