#include "sharing/share_server.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace sharing {

namespace {

constexpr int kMaxEvents = 32;
constexpr std::size_t kReadChunk = 65536;
constexpr int kReadsPerEvent = 16;  // then the other connections get their turn

std::string systemText(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

sockaddr_un addressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// Whether a process listens on the socket at `path`.
bool socketAnswers(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const sockaddr_un address = addressOf(path);
    const int result = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int error = errno;
    close(fd);
    return result == 0 || error == EAGAIN || error == EINPROGRESS;
}

}  // namespace

struct ShareServer::Connection {
    ConnectionId id = 0;
    int fd = -1;
    WireReader reader;
    std::shared_ptr<ClientQueue> queue;
    Bytes writing;                // the message being written
    std::size_t written = 0;      // bytes of it already sent
    bool waitingToWrite = false;  // EPOLLOUT armed
};

std::optional<uid_t> PeerUidFromKernel(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return std::nullopt;
    return credentials.uid;
}

ShareServer::ShareServer(const ServerConfig& config, ServerHandler& handler)
    : config_(config), handler_(handler) {}

std::unique_ptr<ShareServer> ShareServer::Start(const ServerConfig& config, ServerHandler& handler,
                                                std::string* error) {
    std::unique_ptr<ShareServer> server(new ShareServer(config, handler));
    if (!server->Listen(error)) return nullptr;
    server->epollFd_ = epoll_create1(EPOLL_CLOEXEC);
    server->wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (server->epollFd_ < 0 || server->wakeFd_ < 0) {
        *error = systemText("cannot watch the socket", errno);
        return nullptr;
    }
    for (int fd : {server->listenFd_, server->wakeFd_}) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = fd;
        epoll_ctl(server->epollFd_, EPOLL_CTL_ADD, fd, &event);
    }
    try {
        server->thread_ = std::thread([raw = server.get()] { raw->Run(); });
    } catch (const std::system_error& failure) {
        *error = std::string("cannot start the sharing thread: ") + failure.what();
        return nullptr;
    }
    return server;
}

bool ShareServer::Listen(std::string* error) {
    const std::string& path = config_.path;
    if (path.empty() || path.size() >= sizeof(sockaddr_un::sun_path)) {
        *error = "no usable socket path";
        return false;
    }
    listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        *error = systemText("cannot make a socket", errno);
        return false;
    }
    const sockaddr_un address = addressOf(path);
    auto bindSocket = [&] {
        return bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    };
    if (!bindSocket()) {
        struct stat existing {};
        const bool staleSocket = errno == EADDRINUSE && lstat(path.c_str(), &existing) == 0 &&
                                 S_ISSOCK(existing.st_mode) && !socketAnswers(path);
        if (!staleSocket) {
            *error = errno == EADDRINUSE ? path + " is in use by another program"
                                         : systemText("cannot bind " + path, errno);
            return false;
        }
        unlink(path.c_str());  // left by a process that ended without removing it
        if (!bindSocket()) {
            *error = systemText("cannot bind " + path, errno);
            return false;
        }
    }
    struct stat made {};
    // Nobody can connect before listen(), so the mode is set in time.
    if (chmod(path.c_str(), S_IRUSR | S_IWUSR) != 0 || stat(path.c_str(), &made) != 0 ||
        listen(listenFd_, SOMAXCONN) != 0) {
        *error = systemText("cannot serve " + path, errno);
        unlink(path.c_str());
        return false;
    }
    socketDevice_ = made.st_dev;
    socketInode_ = made.st_ino;
    return true;
}

ShareServer::~ShareServer() {
    if (thread_.joinable()) {
        Stop();
    } else {
        RemoveSocketFile();  // made, but the thread never started
    }
    for (int fd : {listenFd_, epollFd_, wakeFd_}) {
        if (fd >= 0) close(fd);
    }
}

void ShareServer::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
}

void ShareServer::Stop(const Bytes& farewell) {
    if (!thread_.joinable()) return;
    {
        std::lock_guard guard(farewellMutex_);
        farewell_ = farewell;
    }
    stopping_ = true;
    Wake();
    thread_.join();
    RemoveSocketFile();
}

void ShareServer::RemoveSocketFile() {
    if (socketInode_ == 0) return;  // never made
    // Unless another process has replaced it meanwhile.
    struct stat current {};
    if (lstat(config_.path.c_str(), &current) == 0 && current.st_dev == socketDevice_ &&
        current.st_ino == socketInode_) {
        unlink(config_.path.c_str());
    }
    socketInode_ = 0;
}

void ShareServer::Run() {
    try {
        Serve();
    } catch (...) {
        // Out of memory: sharing ends here; the clients see their connections close.
    }
    CloseAll();
}

void ShareServer::Serve() {
    epoll_event events[kMaxEvents];
    while (!stopping_) {
        const int count = epoll_wait(epollFd_, events, kMaxEvents, -1);
        if (count < 0) {
            if (errno == EINTR) continue;
            break;
        }
        bool flushAll = false;
        for (int i = 0; i < count; ++i) {
            const int fd = events[i].data.fd;
            if (fd == wakeFd_) {
                uint64_t wakes = 0;
                [[maybe_unused]] const ssize_t got = read(wakeFd_, &wakes, sizeof wakes);
                flushAll = true;
                continue;
            }
            if (fd == listenFd_) {
                AcceptAll();
                continue;
            }
            const auto found = connections_.find(fd);
            if (found == connections_.end()) continue;
            Connection& connection = *found->second;
            const bool readable =
                (events[i].events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) != 0;
            // A peer that stopped writing still gets the answers to what it sent.
            const bool open = !readable || ReadFrom(connection);
            if (!Flush(connection) || !open) Close(fd);
        }
        if (flushAll && !stopping_) {
            for (auto it = connections_.begin(); it != connections_.end();) {
                const int fd = (it++)->first;
                if (!Flush(*connections_.at(fd))) Close(fd);
            }
        }
    }
}

void ShareServer::AcceptAll() {
    for (;;) {
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;  // EAGAIN, or out of descriptors: the rest wait
        }
        const std::optional<uid_t> peer = config_.peerUid(fd);
        if (!peer || *peer != geteuid()) {
            ++refused_;
            close(fd);
            continue;
        }
        auto connection = std::make_unique<Connection>();
        connection->id = nextId_++;
        connection->fd = fd;
        connection->queue = std::make_shared<ClientQueue>(config_.queueLimitBytes);
        epoll_event event{};
        event.events = EPOLLIN | EPOLLRDHUP;
        event.data.fd = fd;
        if (epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &event) != 0) {
            close(fd);
            continue;
        }
        connections_[fd] = std::move(connection);
    }
}

bool ShareServer::ReadFrom(Connection& connection) {
    uint8_t buffer[kReadChunk];
    for (int reads = 0; reads < kReadsPerEvent; ++reads) {
        const ssize_t got = recv(connection.fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        connection.reader.Feed(buffer, static_cast<std::size_t>(got));
        // What arrived before the end is still handled, in order.
        while (std::optional<WireMessage> message = connection.reader.Next()) {
            handler_.OnMessage(connection.id, connection.queue, *message);
        }
        if (connection.reader.broken() || got == 0) return false;
    }
    return true;
}

bool ShareServer::Flush(Connection& connection) {
    for (;;) {
        if (connection.written == connection.writing.size()) {
            std::optional<Bytes> next = connection.queue->Pop();
            if (!next) break;
            connection.writing = std::move(*next);
            connection.written = 0;
            continue;
        }
        const ssize_t sent =
            send(connection.fd, connection.writing.data() + connection.written,
                 connection.writing.size() - connection.written, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
            if (!connection.waitingToWrite) {
                epoll_event event{};
                event.events = EPOLLIN | EPOLLRDHUP | EPOLLOUT;
                event.data.fd = connection.fd;
                epoll_ctl(epollFd_, EPOLL_CTL_MOD, connection.fd, &event);
                connection.waitingToWrite = true;
            }
            return true;
        }
        connection.written += static_cast<std::size_t>(sent);
    }
    if (connection.waitingToWrite) {
        epoll_event event{};
        event.events = EPOLLIN | EPOLLRDHUP;
        event.data.fd = connection.fd;
        epoll_ctl(epollFd_, EPOLL_CTL_MOD, connection.fd, &event);
        connection.waitingToWrite = false;
    }
    return true;
}

void ShareServer::Close(int fd) {
    const auto found = connections_.find(fd);
    if (found == connections_.end()) return;
    std::unique_ptr<Connection> connection = std::move(found->second);
    connections_.erase(found);
    connection->queue->Close();
    epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, nullptr);
    close(fd);
    handler_.OnClosed(connection->id);
}

void ShareServer::CloseAll() {
    Bytes farewell;
    {
        std::lock_guard guard(farewellMutex_);
        farewell = farewell_;
    }
    while (!connections_.empty()) {
        Connection& connection = *connections_.begin()->second;
        if (!farewell.empty()) {
            connection.queue->PushNotification(farewell);
            Flush(connection);
        }
        Close(connection.fd);
    }
}

}  // namespace sharing
