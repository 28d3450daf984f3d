#include "hub.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include "output_queue.h"
#include "transport/socketcand_framing.h"

namespace quorbus {

namespace {

// epoll tags; client ids start at 1.
constexpr std::uint64_t kListenTag = 0;
constexpr std::uint64_t kWakeTag = ~std::uint64_t{0};
constexpr std::uint64_t kSignalTag = kWakeTag - 1;

constexpr int kListenBacklog = 64;
constexpr int kMaxEvents = 64;
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr long kNanosPerMicro = 1000;

WallTime wallClock() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return WallTime{static_cast<std::uint64_t>(ts.tv_sec),
                    static_cast<std::uint32_t>(ts.tv_nsec / kNanosPerMicro)};
}

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
};

Hub::Hub(HubOptions options) : options_(options), read_buffer_(kReadChunk) {}

Hub::~Hub() {
    for (auto& [id, client] : clients_) close(client->fd);
    for (int fd : {listen_fd_, epoll_fd_, wake_fd_}) {
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
    if (epoll_fd_ < 0 || wake_fd_ < 0 || !addToEpoll(epoll_fd_, listen_fd_, EPOLLIN, kListenTag) ||
        !addToEpoll(epoll_fd_, wake_fd_, EPOLLIN, kWakeTag) ||
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
        for (int i = 0; i < count; ++i) {
            const std::uint64_t tag = events[i].data.u64;
            if (tag == kListenTag) {
                acceptClients();
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
        for (std::uint64_t id : dirty_) {
            auto found = clients_.find(id);
            if (found == clients_.end()) continue;
            found->second->dirty = false;
            if (!found->second->closing) flushClient(*found->second);
        }
        dirty_.clear();
        for (std::uint64_t id : closing_) closeClient(id);
        closing_.clear();
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

void Hub::readClient(Client& client) {
    if (client.closing) return;
    const ssize_t n = recv(client.fd, read_buffer_.data(), read_buffer_.size(), 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
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
    const bool was_on_bus = !client.session.bus().empty();
    const Reaction reaction = client.session.handle(message, wallClock());
    if (!was_on_bus && !client.session.bus().empty()) {
        buses_[client.session.bus()].push_back(&client);
    }
    if (reaction.refused) counters_.refused_messages.fetch_add(1);
    if (!reaction.reply.empty()) queue(client, reaction.reply, false);
    if (reaction.relay) {
        ++client.frames_sent;
        counters_.frames_received.fetch_add(1);
        relay(client, *reaction.relay);
    }
}

void Hub::relay(const Client& sender, const Relay& relay) {
    auto bus = buses_.find(sender.session.bus());
    if (bus == buses_.end()) return;
    for (Client* other : bus->second) {
        if (other == &sender || other->closing || !other->session.receives(relay.audience)) {
            continue;
        }
        queue(*other, relay.text, true);
    }
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
        std::erase(bus->second, &client);
        if (bus->second.empty()) buses_.erase(bus);
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
                 "delivered %llu, dropped %llu, refused messages %llu, garbage bytes %llu\n",
                 title, static_cast<unsigned long long>(s.clients_connected),
                 static_cast<unsigned long long>(s.clients_accepted),
                 static_cast<unsigned long long>(s.frames_received),
                 static_cast<unsigned long long>(s.frames_delivered),
                 static_cast<unsigned long long>(s.frames_dropped),
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
