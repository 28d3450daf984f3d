// The messaging buffer: frames shared with other programs on this desktop.
// Client programs (the share/ library, quorshare) connect to a per-user Unix
// domain socket and register; quorvane forwards them, in batches, the frames
// its library callbacks see, filtered by each client's 32 filter slots
// (sharing/core/frame_filter.h), and transmits the frames they send. The
// messages are those of sharing/core/messaging_wire.h.
//
// Threads and what each mutex guards:
// - RecordFrame runs on the library's threads (both callbacks): one wait of
//   at most 100 ms for messaging_mutex (inside the ring) and a 20-byte copy;
//   nothing at all while no client is registered.
// - Start, Stop and StartForwardingPass run on the UI thread. None of them
//   waits for a client.
// - A forwarding pass runs on a thread of its own. Passes forward one at a
//   time under forwarding_mutex_ (which guards the copy-out area), taken
//   before messaging_mutex, so batches reach each client in the order the
//   passes took their frames even when passes overlap. A pass only queues
//   batches (bounded per client); it never writes to a socket.
// - The server thread (sharing/share_server.h) accepts the same user's
//   connections, handles their notifications and data blocks (ClientData:
//   frames go to the frame sender, filters to the client list) and is the
//   only writer of every socket.
// - clients_mutex_ guards the client list; it is never held while waiting
//   for anything else.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "canlib/morvellcanopen.h"
#include "sharing/core/frame_filter.h"
#include "sharing/core/messaging_ring.h"
#include "sharing/share_server.h"

class TMessaging : private sharing::ServerHandler {
public:
    // Transmits one frame a client sent; on the server thread.
    using FrameSender = std::function<void(const CanFrame&)>;
    // Allocates `count` entries; null when out of memory.
    using EntryAllocator =
        std::function<std::unique_ptr<sharing::MessagingEntry[]>(std::size_t count)>;

    // Forwarded bytes waiting for one client beyond which its batches are
    // dropped (about 75000 frames, 3.5 s of a busy 1 Mbit/s bus).
    static constexpr std::size_t kClientQueueBytes = 1 << 20;

    struct Options {
        FrameSender send;        // default: CAN_Transmit
        std::string socketPath;  // default: sharing::SharingSocketPath() at Start
        std::size_t clientQueueBytes = kClientQueueBytes;
        sharing::PeerUidReader peerUid;  // default: SO_PEERCRED
        EntryAllocator allocate;         // default: new (std::nothrow)
    };

    // Create: the ring and the copy-out area. usable() tells whether the
    // allocation succeeded; if not, the object does nothing from then on.
    TMessaging();
    explicit TMessaging(Options options);
    // Destroy: stops if still serving, waits for running passes, frees the
    // ring under messaging_mutex.
    ~TMessaging() override;
    TMessaging(const TMessaging&) = delete;
    TMessaging& operator=(const TMessaging&) = delete;

    bool usable() const { return usable_; }

    // Starts serving clients (UI thread). Stays off, with a line on standard
    // error, when the socket cannot be made (no runtime folder, another
    // quorvane serving).
    void Start();
    // Sends Shutdown to every client, closes them and the socket (UI thread).
    // Recording and forwarding are idle from then on.
    void Stop();
    bool serving() const { return server_ != nullptr; }

    // Keeps one frame for the clients. Library threads. The node ID is not used.
    void RecordFrame(uint32_t id, uint8_t length, uint8_t currentNodeId, uint8_t direction,
                     bool remote, bool extended, const uint8_t* data);

    // Starts a thread running one forwarding pass when clients are registered.
    // UI thread (the 5 ms signal tick), returns at once.
    void StartForwardingPass();

    // Observers, any thread.
    int clientCount() const { return clientCount_.load(); }
    struct ClientStats {
        sharing::ConnectionId connection = 0;
        uint64_t forwardedFrames = 0;  // queued for writing
        uint64_t droppedFrames = 0;    // dropped while its queue was full
    };
    std::vector<ClientStats> clientStats() const;
    uint64_t refusedConnections() const;
    uint64_t passesDone() const { return passesDone_.load(); }

private:
    struct Client {
        sharing::ConnectionId connection = 0;
        sharing::FilterTable filters;
        std::shared_ptr<sharing::ClientQueue> queue;
    };
    struct Storage {
        std::unique_ptr<sharing::MessagingEntry[]> ring;
        std::unique_ptr<sharing::MessagingEntry[]> copyOut;
    };
    struct PassThread {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    struct Prepared {
        Options options;  // with the defaults filled in
        Storage storage;  // both areas, or neither
    };
    static Prepared Prepare(Options options);
    explicit TMessaging(Prepared prepared);

    // sharing::ServerHandler, on the server thread.
    void OnMessage(sharing::ConnectionId connection,
                   const std::shared_ptr<sharing::ClientQueue>& queue,
                   const sharing::WireMessage& message) override;
    void OnClosed(sharing::ConnectionId connection) override;

    void AddClient(sharing::ConnectionId connection,
                   const std::shared_ptr<sharing::ClientQueue>& queue);
    void RemoveClient(sharing::ConnectionId connection);
    void ClientData(sharing::ConnectionId sender, uint32_t kind, const sharing::Bytes& block);
    void PassThreadMain(std::shared_ptr<std::atomic<bool>> done);
    void RunPass();
    void JoinPasses(bool finishedOnly);

    Options options_;
    const uint32_t ownHandle_;
    sharing::MessagingRing ring_;
    std::unique_ptr<sharing::MessagingEntry[]> copyOut_;  // guarded by forwarding_mutex_
    const bool usable_;
    std::mutex forwarding_mutex_;

    mutable std::mutex clients_mutex_;  // guards clients_
    std::vector<Client> clients_;       // in the order they registered
    std::atomic<int> clientCount_{0};

    std::unique_ptr<sharing::ShareServer> server_;  // set and reset on the UI thread
    std::vector<PassThread> passes_;                // UI thread
    std::atomic<uint64_t> passesDone_{0};
};
