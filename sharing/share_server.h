// The serving side of frame sharing: a Unix domain stream socket served by
// a thread of its own (epoll over the listening socket, an eventfd and the
// connections). The thread accepts connections of the same user only
// (SO_PEERCRED), reads each connection's messages and hands them to the
// handler, and is the only writer of every connection: it writes each
// connection's queue with non-blocking sends, so no client can make it (or
// anyone pushing to a queue) wait.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "sharing/core/client_queue.h"
#include "sharing/core/messaging_wire.h"

namespace sharing {

using ConnectionId = uint64_t;

// Called on the server thread only.
class ServerHandler {
public:
    virtual ~ServerHandler() = default;
    // A complete message from a connection; `queue` is the connection's
    // outgoing queue (call ShareServer::Wake after pushing from elsewhere).
    virtual void OnMessage(ConnectionId connection, const std::shared_ptr<ClientQueue>& queue,
                           const WireMessage& message) = 0;
    // The connection has ended (closed by either side or broken).
    virtual void OnClosed(ConnectionId connection) = 0;
};

// The user id of a connected socket's peer; none when it cannot be read.
using PeerUidReader = std::function<std::optional<uid_t>(int fd)>;
std::optional<uid_t> PeerUidFromKernel(int fd);

struct ServerConfig {
    std::string path;  // where the socket is made
    std::size_t queueLimitBytes = 1 << 20;
    PeerUidReader peerUid = PeerUidFromKernel;  // refused unless it is this process's uid
};

class ShareServer {
public:
    // Makes the socket (mode 0600; a stale socket file left by a process that
    // ended is replaced, one that answers is not) and starts the thread.
    // Null with *error set when the socket cannot be made.
    static std::unique_ptr<ShareServer> Start(const ServerConfig& config, ServerHandler& handler,
                                              std::string* error);
    // Stop(), without a farewell, if not stopped.
    ~ShareServer();
    ShareServer(const ShareServer&) = delete;
    ShareServer& operator=(const ShareServer&) = delete;

    // Any thread: queues have new messages to write.
    void Wake();
    // Queues `farewell` behind each connection's messages, writes what the
    // sockets take without waiting, closes every connection (OnClosed for
    // each), removes the socket file and ends the thread. Not from the
    // server thread; waits for nothing but the thread's end.
    void Stop(const Bytes& farewell = {});

    // Connections refused for their peer's user id. Any thread.
    uint64_t refused() const { return refused_.load(); }

private:
    struct Connection;

    ShareServer(const ServerConfig& config, ServerHandler& handler);
    bool Listen(std::string* error);
    void Run();
    void Serve();
    void AcceptAll();
    bool ReadFrom(Connection& connection);
    bool Flush(Connection& connection);
    void Close(int fd);
    void CloseAll();
    void RemoveSocketFile();

    const ServerConfig config_;
    ServerHandler& handler_;
    int listenFd_ = -1;
    int epollFd_ = -1;
    int wakeFd_ = -1;
    dev_t socketDevice_ = 0;
    ino_t socketInode_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::mutex farewellMutex_;  // guards farewell_
    Bytes farewell_;
    std::atomic<uint64_t> refused_{0};
    // Server thread only.
    std::map<int, std::unique_ptr<Connection>> connections_;
    ConnectionId nextId_ = 1;
};

}  // namespace sharing
