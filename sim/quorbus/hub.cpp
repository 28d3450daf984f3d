#include "hub.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include "output_queue.h"
#include "protocol/can_frame.h"
#include "protocol/frame_duration.h"
#include "transport/socketcand_framing.h"

namespace quorbus {

namespace {

// epoll tags; client ids start at 1.
constexpr std::uint64_t kListenTag = 0;
constexpr std::uint64_t kWakeTag = ~std::uint64_t{0};
constexpr std::uint64_t kSignalTag = kWakeTag - 1;
constexpr std::uint64_t kTimerTag = kWakeTag - 2;

constexpr int kListenBacklog = 64;
constexpr int kMaxEvents = 64;
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr long kNanosPerMicro = 1000;
constexpr std::int64_t kMicrosPerSecond = 1000000;
constexpr std::int64_t kNanosPerSecond = 1000000000;
constexpr std::int64_t kMaxAgeNs = 10000000;
constexpr std::uint32_t kBitsPerKbit = 1000;

std::string peerName(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

const char* modeName(ClientSession::Mode mode) {
    switch (mode) {
        case ClientSession::Mode::Greeted:
            return "greeted";
        case ClientSession::Mode::Opened:
            return "opened";
        case ClientSession::Mode::Raw:
            return "raw";
    }
    return "?";
}

bool addToEpoll(int epoll_fd, int fd, std::uint32_t events, std::uint64_t tag) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = tag;
    return epoll_ctl(epoll_fd, EPOLL_CTL_ADD, fd, &event) == 0;
}

}  // namespace

struct Hub::Client {
    Client(std::uint64_t client_id, int socket_fd, std::string peer_name, std::size_t limit)
        : id(client_id), fd(socket_fd), peer(std::move(peer_name)), out(limit) {}

    std::uint64_t id;
    int fd;
    std::string peer;
    ClientSession session;
    morvell::socketcand::MessageReader reader;
    OutputQueue out;
    bool watching_output = false;
    bool dirty = false;
    bool closing = false;
    std::uint64_t frames_sent = 0;      // by this client
    std::uint64_t frames_received = 0;  // delivered to this client
    std::uint64_t dropped = 0;          // messages for this client that did not fit
    Bus* bus = nullptr;                 // after "< open >"
    // Set while the client's announced bit rate differs from its paced bus's.
    std::optional<MismatchedController> mismatch;
};

Hub::Hub(HubOptions options)
    : options_(options),
      timestamps_(options.bitrate_bps > 0 || options.bitrate_from_clients),
      read_buffer_(kReadChunk) {}

Hub::~Hub() {
    for (auto& [id, client] : clients_) close(client->fd);
    for (int fd : {listen_fd_, epoll_fd_, wake_fd_, timer_fd_}) {
        if (fd >= 0) close(fd);
    }
}

ListenResult Hub::listen() {
    listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listen_fd_ < 0) return {ListenStatus::Failed, std::string("socket: ") + strerror(errno)};
    const int one = 1;
    if (setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0) {
        return {ListenStatus::Failed, std::string("SO_REUSEADDR: ") + strerror(errno)};
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(options_.port);
    inet_pton(AF_INET, kListenAddress, &address.sin_addr);
    if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        const std::string where = std::string(kListenAddress) + ":" + std::to_string(options_.port);
        if (error == EADDRINUSE) {
            return {ListenStatus::PortInUse,
                    where + " is already in use (another quorbus or socketcand is running?)"};
        }
        return {ListenStatus::Failed, "cannot bind " + where + ": " + strerror(error)};
    }
    if (::listen(listen_fd_, kListenBacklog) != 0) {
        return {ListenStatus::Failed, std::string("listen: ") + strerror(errno)};
    }
    socklen_t length = sizeof address;
    if (getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return {ListenStatus::Failed, std::string("getsockname: ") + strerror(errno)};
    }
    port_ = ntohs(address.sin_port);

    epoll_fd_ = epoll_create1(EPOLL_CLOEXEC);
    wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    timer_fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (epoll_fd_ < 0 || wake_fd_ < 0 || timer_fd_ < 0 ||
        !addToEpoll(epoll_fd_, listen_fd_, EPOLLIN, kListenTag) ||
        !addToEpoll(epoll_fd_, wake_fd_, EPOLLIN, kWakeTag) ||
        !addToEpoll(epoll_fd_, timer_fd_, EPOLLIN, kTimerTag) ||
        (options_.signal_fd >= 0 &&
         !addToEpoll(epoll_fd_, options_.signal_fd, EPOLLIN, kSignalTag))) {
        return {ListenStatus::Failed, std::string("epoll set-up: ") + strerror(errno)};
    }
    return {ListenStatus::Listening, {}};
}

int Hub::run() {
    if (epoll_fd_ < 0) return 1;
    idle_since_ = std::chrono::steady_clock::now();
    epoll_event events[kMaxEvents];
    int result = 0;
    while (!stop_requested_.load()) {
        const int count = epoll_wait(epoll_fd_, events, kMaxEvents, idleTimeoutMs());
        if (count < 0) {
            if (errno == EINTR) continue;
            std::fprintf(options_.log, "quorbus: epoll_wait: %s\n", strerror(errno));
            result = 1;
            break;
        }
        round_time_ = BusClock::now();
        timespec wall{};
        clock_gettime(CLOCK_REALTIME, &wall);
        round_wall_ns_ = static_cast<std::int64_t>(wall.tv_sec) * kNanosPerSecond + wall.tv_nsec;
        round_wall_time_ = WallTime{static_cast<std::uint64_t>(wall.tv_sec),
                                    static_cast<std::uint32_t>(wall.tv_nsec / kNanosPerMicro)};
        for (int i = 0; i < count; ++i) {
            const std::uint64_t tag = events[i].data.u64;
            if (tag == kListenTag) {
                acceptClients();
            } else if (tag == kTimerTag) {
                std::uint64_t expirations = 0;
                [[maybe_unused]] const ssize_t n =
                    read(timer_fd_, &expirations, sizeof expirations);
                timer_armed_for_.reset();
            } else if (tag == kWakeTag) {
                handleWake();
            } else if (tag == kSignalTag) {
                handleSignal();
            } else if (auto found = clients_.find(tag); found != clients_.end()) {
                Client& client = *found->second;
                if (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) readClient(client);
                if ((events[i].events & EPOLLOUT) && !client.closing) flushClient(client);
            }
        }
        advanceBuses();
        for (std::uint64_t id : dirty_) {
            auto found = clients_.find(id);
            if (found == clients_.end()) continue;
            found->second->dirty = false;
            if (!found->second->closing) flushClient(*found->second);
        }
        dirty_.clear();
        for (std::uint64_t id : closing_) closeClient(id);
        closing_.clear();
        armPacingTimer();
        if (report_requested_.exchange(false)) printReport("report");
        if (clients_.empty() && options_.idle_exit.count() > 0 &&
            std::chrono::steady_clock::now() - idle_since_ >= options_.idle_exit) {
            if (!options_.quiet) std::fprintf(options_.log, "quorbus: idle, exiting\n");
            break;
        }
    }
    if (!options_.quiet || counters_.frames_dropped.load() > 0) printReport("exit");
    while (!clients_.empty()) closeClient(clients_.begin()->first);
    return result;
}

int Hub::idleTimeoutMs() const {
    if (!clients_.empty() || options_.idle_exit.count() <= 0) return -1;
    const auto left = options_.idle_exit - (std::chrono::steady_clock::now() - idle_since_);
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms < 0 ? 0 : static_cast<int>(ms);
}

void Hub::stop() {
    stop_requested_.store(true);
    const std::uint64_t one = 1;
    if (wake_fd_ >= 0 && write(wake_fd_, &one, sizeof one) < 0) {
        // The counter is already non-zero: the loop wakes anyway.
    }
}

void Hub::requestReport() {
    report_requested_.store(true);
    const std::uint64_t one = 1;
    if (wake_fd_ >= 0 && write(wake_fd_, &one, sizeof one) < 0) {
        // Already signalled.
    }
}

void Hub::handleWake() {
    std::uint64_t value = 0;
    if (read(wake_fd_, &value, sizeof value) < 0) {
        // EAGAIN: a concurrent read took it; the flags are what matter.
    }
}

void Hub::handleSignal() {
    signalfd_siginfo info{};
    while (read(options_.signal_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGUSR1) {
            report_requested_.store(true);
        } else {
            stop_requested_.store(true);
        }
    }
}

HubStats Hub::stats() const {
    HubStats s;
    s.clients_connected = counters_.clients_connected.load();
    s.clients_accepted = counters_.clients_accepted.load();
    s.frames_received = counters_.frames_received.load();
    s.frames_delivered = counters_.frames_delivered.load();
    s.frames_dropped = counters_.frames_dropped.load();
    s.frames_mismatched = counters_.frames_mismatched.load();
    s.refused_messages = counters_.refused_messages.load();
    s.garbage_bytes = counters_.garbage_bytes.load();
    return s;
}

void Hub::acceptClients() {
    for (;;) {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        const int fd = accept4(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return;
            // Out of descriptors or memory: stop accepting until a client leaves.
            std::fprintf(options_.log, "quorbus: accept: %s\n", strerror(errno));
            pauseAccepting(true);
            return;
        }
        const int one = 1;
        if (setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0) {
            // Only latency suffers.
        }
        if (timestamps_ && setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &one, sizeof one) != 0) {
            // Frames then count as handed over when read.
        }
        const std::uint64_t id = next_client_id_++;
        if (!addToEpoll(epoll_fd_, fd, EPOLLIN, id)) {
            std::fprintf(options_.log, "quorbus: epoll_ctl: %s\n", strerror(errno));
            close(fd);
            continue;
        }
        auto client = std::make_unique<Client>(id, fd, peerName(address), options_.max_queue_bytes);
        if (!options_.quiet) {
            std::fprintf(options_.log, "quorbus: client %llu connected from %s\n",
                         static_cast<unsigned long long>(id), client->peer.c_str());
        }
        Client& added = *client;
        clients_.emplace(id, std::move(client));
        counters_.clients_connected.fetch_add(1);
        counters_.clients_accepted.fetch_add(1);
        queue(added, kGreeting, false);
    }
}

// Paced buses take a frame as handed over when the kernel received its bytes
// (SO_TIMESTAMPNS: within the sender's send() on loopback), not when this
// loop got round to reading them: a real controller starts sending as soon as
// the frame is in its mailbox.
void Hub::readClient(Client& client) {
    if (client.closing) return;
    iovec data{read_buffer_.data(), read_buffer_.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    if (timestamps_) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
    }
    const ssize_t n = recvmsg(client.fd, &message, 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    handed_over_ = round_time_;
    for (cmsghdr* c = timestamps_ ? CMSG_FIRSTHDR(&message) : nullptr; c != nullptr;
         c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS) continue;
        timespec received{};
        std::memcpy(&received, CMSG_DATA(c), sizeof received);
        const std::int64_t ago_ns =
            round_wall_ns_ -
            (static_cast<std::int64_t>(received.tv_sec) * kNanosPerSecond + received.tv_nsec);
        // A wall clock step must not move frames far: at most 10 ms back.
        if (ago_ns > 0) handed_over_ -= std::chrono::nanoseconds(std::min(ago_ns, kMaxAgeNs));
    }
    if (n <= 0) {
        client.closing = true;
        closing_.push_back(client.id);
        return;
    }
    const std::uint64_t garbage_before = client.reader.discarded();
    client.reader.feed(std::string_view(read_buffer_.data(), static_cast<std::size_t>(n)));
    counters_.garbage_bytes.fetch_add(client.reader.discarded() - garbage_before);
    while (auto message = client.reader.next()) handleMessage(client, *message);
}

void Hub::handleMessage(Client& client, const std::string& message) {
    const Reaction reaction = client.session.handle(message);
    if (!client.bus && !client.session.bus().empty()) joinBus(client);
    if (reaction.refused) counters_.refused_messages.fetch_add(1);
    if (!reaction.reply.empty()) queue(client, reaction.reply, false);
    if (reaction.bitrate_announced) onBitrateAnnounced(client);
    if (reaction.stats_requested) answerStats(client);
    if (reaction.relay) {
        ++client.frames_sent;
        counters_.frames_received.fetch_add(1);
        onFrameSent(client, *reaction.relay);
    }
}

void Hub::joinBus(Client& client) {
    Bus& bus = buses_[client.session.bus()];
    if (bus.clients.empty() && options_.bitrate_bps > 0) {
        bus.bitrate_bps = options_.bitrate_bps;
        bus.paced = std::make_unique<PacedBus>(bus.bitrate_bps);
    }
    bus.clients.push_back(&client);
    client.bus = &bus;
}

void Hub::onBitrateAnnounced(Client& client) {
    Bus& bus = *client.bus;
    const std::uint32_t announced = client.session.announcedBitrate();
    if (bus.bitrate_bps == 0) {
        bus.bitrate_bps = announced;
        if (options_.bitrate_from_clients) bus.paced = std::make_unique<PacedBus>(announced);
    }
    if (bus.paced && announced != bus.bitrate_bps) {
        if (!client.mismatch) client.mismatch.emplace();
    } else {
        client.mismatch.reset();
    }
}

void Hub::onFrameSent(Client& client, const Relay& relay) {
    Bus& bus = *client.bus;
    // Error frames report a controller's state; they take no bus time.
    if (!bus.paced || relay.kind == Relay::Kind::Error) {
        if (relay.kind != Relay::Kind::Error) {
            const auto took = bus.bitrate_bps > 0
                                  ? morvell::frameDuration(relay.frame, bus.bitrate_bps)
                                  : std::chrono::nanoseconds(0);
            bus.load.add(round_time_ - took, round_time_);
        }
        this->relay(bus, client.id, relay, round_wall_time_);
        return;
    }
    if (client.mismatch) {
        counters_.frames_mismatched.fetch_add(1);
        const auto error = client.mismatch->onTransmit();
        if (error && client.session.receives(Audience::ExtendedClients))
            queue(client, relayText(Relay{Relay::Kind::Error, *error}, round_wall_time_), true);
        return;
    }
    bus.paced->submit(client.id, relay.frame, handed_over_);
}

void Hub::relay(Bus& bus, std::uint64_t sender, const Relay& relay, WallTime at) {
    const Audience audience = relay.audience();
    std::string text;
    for (Client* other : bus.clients) {
        if (other->id == sender || other->closing) continue;
        if (other->mismatch && relay.kind != Relay::Kind::Error) {
            const auto error = other->mismatch->onBusFrame();
            if (error && other->session.receives(Audience::ExtendedClients))
                queue(*other, relayText(Relay{Relay::Kind::Error, *error}, at), true);
            continue;
        }
        if (!other->session.receives(audience)) continue;
        if (text.empty()) text = relayText(relay, at);
        queue(*other, text, true);
    }
}

// Relays the frames whose transmission ended by this round.
void Hub::advanceBuses() {
    for (auto& [name, bus] : buses_) {
        if (!bus.paced || bus.paced->pending() == 0) continue;
        ended_.clear();
        bus.paced->advance(round_time_, ended_);
        for (const BusFrame& f : ended_) {
            bus.load.add(f.start, f.idle);
            const Relay relayed{
                morvell::isRemote(f.frame) ? Relay::Kind::Remote : Relay::Kind::Data, f.frame};
            relay(bus, f.sender, relayed, wallTimeOf(f.end));
        }
    }
}

void Hub::armPacingTimer() {
    std::optional<BusTime> next;
    for (const auto& [name, bus] : buses_) {
        if (!bus.paced) continue;
        const auto deadline = bus.paced->nextDeadline();
        if (deadline && (!next || *deadline < *next)) next = deadline;
    }
    if (next == timer_armed_for_ || !next) return;  // a stale expiry only costs a round
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(next->time_since_epoch()).count();
    itimerspec spec{};
    spec.it_value.tv_sec = ns / 1000000000;
    spec.it_value.tv_nsec = ns % 1000000000;
    if (spec.it_value.tv_sec == 0 && spec.it_value.tv_nsec == 0) spec.it_value.tv_nsec = 1;
    if (timerfd_settime(timer_fd_, TFD_TIMER_ABSTIME, &spec, nullptr) == 0) timer_armed_for_ = next;
}

// "< busstats KBIT LOAD FRAMES >": the bus's bit rate (0: none known), the
// load in percent and the frames that ended over the last second.
void Hub::answerStats(Client& client) {
    const Bus& bus = *client.bus;
    const LoadFigures figures = bus.load.figures(round_time_);
    char text[96];
    std::snprintf(text, sizeof text, "< busstats %u %.2f %llu >\n",
                  static_cast<unsigned>(bus.bitrate_bps / kBitsPerKbit),
                  bus.bitrate_bps > 0 ? figures.load_percent : 0.0,
                  static_cast<unsigned long long>(figures.frames_per_second));
    queue(client, text, false);
}

WallTime Hub::wallTimeOf(BusTime t) const {
    const std::int64_t ago_us =
        std::chrono::duration_cast<std::chrono::microseconds>(round_time_ - t).count();
    std::int64_t us = static_cast<std::int64_t>(round_wall_time_.seconds) * kMicrosPerSecond +
                      round_wall_time_.microseconds - ago_us;
    if (us < 0) us = 0;
    return WallTime{static_cast<std::uint64_t>(us / kMicrosPerSecond),
                    static_cast<std::uint32_t>(us % kMicrosPerSecond)};
}

void Hub::queue(Client& client, std::string_view text, bool is_frame) {
    if (client.closing) return;
    if (!client.out.push(text)) {
        ++client.dropped;
        if (is_frame) counters_.frames_dropped.fetch_add(1);
        return;
    }
    if (is_frame) {
        ++client.frames_received;
        counters_.frames_delivered.fetch_add(1);
    }
    if (!client.dirty && !client.watching_output) {
        client.dirty = true;
        dirty_.push_back(client.id);
    }
}

void Hub::flushClient(Client& client) {
    while (!client.out.empty()) {
        const std::string_view pending = client.out.pending();
        const ssize_t n =
            send(client.fd, pending.data(), pending.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            client.out.consume(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            watchOutput(client, true);
            return;
        }
        client.closing = true;
        closing_.push_back(client.id);
        return;
    }
    watchOutput(client, false);
}

void Hub::watchOutput(Client& client, bool on) {
    if (client.watching_output == on) return;
    epoll_event event{};
    event.events = on ? (EPOLLIN | EPOLLOUT) : EPOLLIN;
    event.data.u64 = client.id;
    if (epoll_ctl(epoll_fd_, EPOLL_CTL_MOD, client.fd, &event) != 0) {
        client.closing = true;
        closing_.push_back(client.id);
        return;
    }
    client.watching_output = on;
}

void Hub::pauseAccepting(bool pause) {
    if (accept_paused_ == pause) return;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kListenTag;
    if (epoll_ctl(epoll_fd_, pause ? EPOLL_CTL_DEL : EPOLL_CTL_ADD, listen_fd_, &event) == 0) {
        accept_paused_ = pause;
    }
}

void Hub::closeClient(std::uint64_t id) {
    auto found = clients_.find(id);
    if (found == clients_.end()) return;
    Client& client = *found->second;
    if (auto bus = buses_.find(client.session.bus()); bus != buses_.end()) {
        std::erase(bus->second.clients, &client);
        if (bus->second.paced) bus->second.paced->removeSender(client.id);
        if (bus->second.clients.empty()) buses_.erase(bus);
    }
    epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, client.fd, nullptr);
    close(client.fd);
    if (!options_.quiet) {
        std::fprintf(options_.log,
                     "quorbus: client %llu (%s) left: sent %llu, received %llu, dropped %llu\n",
                     static_cast<unsigned long long>(id), client.peer.c_str(),
                     static_cast<unsigned long long>(client.frames_sent),
                     static_cast<unsigned long long>(client.frames_received),
                     static_cast<unsigned long long>(client.dropped));
    }
    clients_.erase(found);
    counters_.clients_connected.fetch_sub(1);
    pauseAccepting(false);
    if (clients_.empty()) idle_since_ = std::chrono::steady_clock::now();
}

void Hub::printReport(const char* title) {
    const HubStats s = stats();
    std::fprintf(options_.log,
                 "quorbus %s: %llu clients (%llu since start), frames received %llu, "
                 "delivered %llu, dropped %llu, mismatched %llu, refused messages %llu, "
                 "garbage bytes %llu\n",
                 title, static_cast<unsigned long long>(s.clients_connected),
                 static_cast<unsigned long long>(s.clients_accepted),
                 static_cast<unsigned long long>(s.frames_received),
                 static_cast<unsigned long long>(s.frames_delivered),
                 static_cast<unsigned long long>(s.frames_dropped),
                 static_cast<unsigned long long>(s.frames_mismatched),
                 static_cast<unsigned long long>(s.refused_messages),
                 static_cast<unsigned long long>(s.garbage_bytes));
    std::vector<const Client*> sorted;
    for (const auto& [id, client] : clients_) sorted.push_back(client.get());
    std::sort(sorted.begin(), sorted.end(),
              [](const Client* a, const Client* b) { return a->id < b->id; });
    for (const Client* c : sorted) {
        std::fprintf(
            options_.log, "  client %llu %s bus '%s' %s: sent %llu, received %llu, dropped %llu\n",
            static_cast<unsigned long long>(c->id), c->peer.c_str(), c->session.bus().c_str(),
            modeName(c->session.mode()), static_cast<unsigned long long>(c->frames_sent),
            static_cast<unsigned long long>(c->frames_received),
            static_cast<unsigned long long>(c->dropped));
    }
    std::fflush(options_.log);
}

}  // namespace quorbus
