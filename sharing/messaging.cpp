#include "sharing/messaging.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>
#include <system_error>

#include "sharing/core/forwarding_batch.h"
#include "sharing/core/socket_path.h"

using sharing::ConnectionId;
using sharing::MessagingEntry;
using sharing::MessagingRing;

namespace {

void transmitWithLibrary(const CanFrame& frame) {
    LibraryResult result{};
    CAN_Transmit(&frame, &result);  // a refused frame is lost, as on a full transmit queue
}

std::unique_ptr<MessagingEntry[]> allocateEntries(std::size_t count) {
    return std::unique_ptr<MessagingEntry[]>(new (std::nothrow) MessagingEntry[count]);
}

}  // namespace

TMessaging::TMessaging() : TMessaging(Options{}) {}

TMessaging::TMessaging(Options options) : TMessaging(Prepare(std::move(options))) {}

TMessaging::TMessaging(Prepared prepared)
    : options_(std::move(prepared.options)),
      ownHandle_(static_cast<uint32_t>(getpid())),
      ring_(std::move(prepared.storage.ring)),
      copyOut_(std::move(prepared.storage.copyOut)),
      usable_(ring_.usable() && copyOut_ != nullptr) {}

TMessaging::Prepared TMessaging::Prepare(Options options) {
    if (!options.send) options.send = transmitWithLibrary;
    if (!options.peerUid) options.peerUid = sharing::PeerUidFromKernel;
    if (!options.allocate) options.allocate = allocateEntries;
    Storage storage;
    storage.ring = options.allocate(MessagingRing::kCapacity);
    if (storage.ring) storage.copyOut = options.allocate(MessagingRing::kCapacity);
    if (!storage.copyOut) storage.ring.reset();  // whatever was allocated is released
    return Prepared{std::move(options), std::move(storage)};
}

TMessaging::~TMessaging() {
    Stop();
    JoinPasses(false);
}

void TMessaging::Start() {
    if (!usable_ || server_) return;
    std::string path = options_.socketPath;
    if (path.empty()) {
        const std::optional<std::string> standard = sharing::SharingSocketPath();
        if (!standard) {
            std::fprintf(stderr, "quorvane: frame sharing is off: XDG_RUNTIME_DIR is not set\n");
            return;
        }
        path = *standard;
    }
    sharing::ServerConfig config;
    config.path = path;
    config.queueLimitBytes = options_.clientQueueBytes;
    config.peerUid = options_.peerUid;
    std::string error;
    server_ = sharing::ShareServer::Start(config, *this, &error);
    if (!server_) std::fprintf(stderr, "quorvane: frame sharing is off: %s\n", error.c_str());
}

void TMessaging::Stop() {
    if (!server_) return;
    JoinPasses(false);  // passes only queue, so they end at once; their batches go out first
    {
        std::lock_guard guard(clients_mutex_);
        clients_.clear();
        clientCount_ = 0;
    }
    server_->Stop(
        sharing::Notification(sharing::kMessageShutdown, ownHandle_, sharing::kFromQuorvane));
    server_.reset();
}

void TMessaging::RecordFrame(uint32_t id, uint8_t length, uint8_t /*currentNodeId*/,
                             uint8_t direction, bool remote, bool extended, const uint8_t* data) {
    if (!usable_ || clientCount_.load(std::memory_order_relaxed) == 0) return;
    ring_.Record(id, length, direction, remote, extended, data);
}

void TMessaging::StartForwardingPass() {
    if (!usable_ || !server_ || clientCount_.load() == 0) return;
    JoinPasses(true);
    try {
        auto done = std::make_shared<std::atomic<bool>>(false);
        passes_.reserve(passes_.size() + 1);  // so that keeping the thread cannot throw
        passes_.push_back(PassThread{std::thread(&TMessaging::PassThreadMain, this, done), done});
    } catch (const std::exception&) {
        // No thread now: the frames wait for the next tick.
    }
}

void TMessaging::PassThreadMain(std::shared_ptr<std::atomic<bool>> done) {
    try {
        RunPass();
    } catch (...) {
        // Out of memory: this pass's frames are lost.
    }
    ++passesDone_;
    *done = true;
}

void TMessaging::JoinPasses(bool finishedOnly) {
    for (auto it = passes_.begin(); it != passes_.end();) {
        if (finishedOnly && !it->done->load()) {
            ++it;
            continue;
        }
        it->thread.join();
        it = passes_.erase(it);
    }
}

void TMessaging::RunPass() {
    std::lock_guard order(forwarding_mutex_);
    if (!usable_ || clientCount_.load() == 0) return;
    const sharing::RingTake take = ring_.TakeNewest(copyOut_.get());
    if (take.copied == 0) return;

    std::vector<Client> clients;
    try {
        std::lock_guard guard(clients_mutex_);
        clients = clients_;
    } catch (const std::bad_alloc&) {
        return;
    }
    bool queued = false;
    for (const Client& client : clients) {
        sharing::ForwardingBatch batch;
        try {
            batch = sharing::BuildBatch(copyOut_.get(), take.copied, client.filters, ownHandle_);
        } catch (const std::bad_alloc&) {
            break;  // the other clients miss this pass too
        }
        if (batch.frames == 0) continue;
        queued |= client.queue->PushBatch(std::move(batch.message), batch.frames);
    }
    if (queued) server_->Wake();
}

void TMessaging::OnMessage(ConnectionId connection,
                           const std::shared_ptr<sharing::ClientQueue>& queue,
                           const sharing::WireMessage& message) {
    if (message.message == sharing::kMessageData) {
        ClientData(connection, message.parameter, message.block);
        return;
    }
    // Notifications from quorvane (flag 0) are not for this side.
    if (message.parameter != sharing::kFromClient) return;
    switch (message.message) {
        case sharing::kMessageHandle:
            AddClient(connection, queue);
            break;
        case sharing::kMessageStartup:
            // The answer goes ahead of the first batch a pass may queue.
            queue->PushNotification(
                sharing::Notification(sharing::kMessageHandle, ownHandle_, sharing::kFromQuorvane));
            AddClient(connection, queue);
            break;
        case sharing::kMessageShutdown:
            RemoveClient(connection);
            break;
        default:
            break;
    }
}

void TMessaging::OnClosed(ConnectionId connection) {
    RemoveClient(connection);
}

void TMessaging::AddClient(ConnectionId connection,
                           const std::shared_ptr<sharing::ClientQueue>& queue) {
    std::lock_guard guard(clients_mutex_);
    const bool known = std::any_of(clients_.begin(), clients_.end(), [&](const Client& client) {
        return client.connection == connection;
    });
    if (known) return;
    clients_.push_back(Client{connection, sharing::FilterTable{}, queue});
    clientCount_ = static_cast<int>(clients_.size());
}

void TMessaging::RemoveClient(ConnectionId connection) {
    std::lock_guard guard(clients_mutex_);
    std::erase_if(clients_, [&](const Client& client) { return client.connection == connection; });
    clientCount_ = static_cast<int>(clients_.size());
}

void TMessaging::ClientData(ConnectionId sender, uint32_t kind, const sharing::Bytes& block) {
    {
        std::lock_guard guard(clients_mutex_);
        auto client = std::find_if(clients_.begin(), clients_.end(),
                                   [&](const Client& c) { return c.connection == sender; });
        if (client == clients_.end()) return;  // not registered: ignored
        if (kind == sharing::kBlockFilter) {
            if (auto filter = sharing::FilterOfBlock(block.data(), block.size())) {
                client->filters.Set(*filter);
            }
            return;
        }
    }
    if (kind != sharing::kBlockFrames) return;
    for (const CanFrame& frame : sharing::FramesOfBlock(block.data(), block.size())) {
        options_.send(frame);
    }
}

std::vector<TMessaging::ClientStats> TMessaging::clientStats() const {
    std::lock_guard guard(clients_mutex_);
    std::vector<ClientStats> stats;
    for (const Client& client : clients_) {
        stats.push_back(
            {client.connection, client.queue->queuedFrames(), client.queue->droppedFrames()});
    }
    return stats;
}

uint64_t TMessaging::refusedConnections() const {
    return server_ ? server_->refused() : 0;
}
