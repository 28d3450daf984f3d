// The quorbus hub: a socketcand server on 127.0.0.1 that relays every frame
// a raw-mode client sends to all other raw-mode clients of the same bus
// name, as a CAN bus does: at once (unpaced), or at the end of the frame's
// transmission on a paced bus (paced_bus.h). One thread runs the loop
// (run()); stop(), requestReport() and stats() may be called from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "bus_load.h"
#include "client_session.h"
#include "hub_wire.h"
#include "mismatched_controller.h"
#include "paced_bus.h"

namespace quorbus {

struct HubOptions {
    std::uint16_t port = kDefaultPort;  // 0: any free port (see Hub::port())
    // Exit run() once no client has been connected for this long; 0 = never.
    std::chrono::milliseconds idle_exit{0};
    bool quiet = false;  // no connect/disconnect lines; exit summary only when frames were dropped
    std::size_t max_queue_bytes = kDefaultMaxQueueBytes;  // per client
    // Paced buses: every bus at this bit rate (bit/s, 1000-1000000); 0 = see below.
    std::uint32_t bitrate_bps = 0;
    // With bitrate_bps 0: true paces each bus at the bit rate its first
    // client announces; false relays every frame at once (no pacing).
    bool bitrate_from_clients = false;
    // A signalfd (SIGTERM/SIGINT stop, SIGUSR1 reports) the loop watches; -1 = none.
    int signal_fd = -1;
    std::FILE* log = stderr;  // connection lines and reports
};

// Totals since start. Frames count relayed messages (data, remote, error).
struct HubStats {
    std::uint64_t clients_connected = 0;  // now
    std::uint64_t clients_accepted = 0;   // since start
    std::uint64_t frames_received = 0;    // from clients
    std::uint64_t frames_delivered = 0;   // queued to recipients
    std::uint64_t frames_dropped = 0;     // a recipient's queue was full
    std::uint64_t frames_mismatched = 0;  // sent at a bit rate other than the paced bus's
    std::uint64_t refused_messages = 0;   // answered with "< error >"
    std::uint64_t garbage_bytes = 0;      // outside "< >" or over-long
};

enum class ListenStatus { Listening, PortInUse, Failed };

struct ListenResult {
    ListenStatus status = ListenStatus::Failed;
    std::string error;  // why, for PortInUse / Failed
};

class Hub {
public:
    explicit Hub(HubOptions options);
    ~Hub();
    Hub(const Hub&) = delete;
    Hub& operator=(const Hub&) = delete;

    // Binds 127.0.0.1:options.port and listens. Call once, before run().
    ListenResult listen();
    // The port listened on (the chosen one when options.port was 0).
    std::uint16_t port() const { return port_; }

    // Serves clients until stop(), a stop signal or the idle limit.
    // Returns 0, or 1 when the loop itself failed (epoll error).
    int run();

    void stop();
    void requestReport();
    HubStats stats() const;

private:
    struct Client;
    struct Bus {
        std::vector<Client*> clients;
        std::uint32_t bitrate_bps = 0;    // 0: none known (unpaced, nobody announced one)
        std::unique_ptr<PacedBus> paced;  // null: frames are relayed at once
        BusLoadMeter load;
    };
    struct Counters {
        std::atomic<std::uint64_t> clients_connected{0};
        std::atomic<std::uint64_t> clients_accepted{0};
        std::atomic<std::uint64_t> frames_received{0};
        std::atomic<std::uint64_t> frames_delivered{0};
        std::atomic<std::uint64_t> frames_dropped{0};
        std::atomic<std::uint64_t> frames_mismatched{0};
        std::atomic<std::uint64_t> refused_messages{0};
        std::atomic<std::uint64_t> garbage_bytes{0};
    };

    void acceptClients();
    void readClient(Client& client);
    void handleMessage(Client& client, const std::string& message);
    void joinBus(Client& client);
    void onBitrateAnnounced(Client& client);
    void onFrameSent(Client& client, const Relay& relay);
    void relay(Bus& bus, std::uint64_t sender, const Relay& relay, WallTime at);
    void advanceBuses();
    void armPacingTimer();
    void answerStats(Client& client);
    WallTime wallTimeOf(BusTime t) const;
    void queue(Client& client, std::string_view text, bool is_frame);
    void flushClient(Client& client);
    void watchOutput(Client& client, bool on);
    void closeClient(std::uint64_t id);
    void pauseAccepting(bool pause);
    void handleSignal();
    void handleWake();
    void printReport(const char* title);
    int idleTimeoutMs() const;

    HubOptions options_;
    int listen_fd_ = -1;
    int epoll_fd_ = -1;
    int wake_fd_ = -1;   // eventfd: stop() / requestReport()
    int timer_fd_ = -1;  // timerfd: the next end of frame on a paced bus
    std::uint16_t port_ = 0;
    bool accept_paused_ = false;  // listen socket out of epoll after EMFILE
    std::atomic<bool> stop_requested_{false};
    std::atomic<bool> report_requested_{false};
    Counters counters_;

    std::uint64_t next_client_id_ = 1;
    std::unordered_map<std::uint64_t, std::unique_ptr<Client>> clients_;
    std::unordered_map<std::string, Bus> buses_;  // erased when the last client leaves
    std::optional<BusTime> timer_armed_for_;
    BusTime round_time_{};        // when the loop woke this round
    WallTime round_wall_time_{};  // the same moment on the wall clock
    std::int64_t round_wall_ns_ = 0;
    bool timestamps_ = false;  // kernel receive times on client sockets (paced buses)
    BusTime handed_over_{};    // when the bytes being handled reached the hub
    std::vector<BusFrame> ended_;
    std::vector<std::uint64_t> dirty_;    // clients with output to write
    std::vector<std::uint64_t> closing_;  // clients to close after this round
    std::chrono::steady_clock::time_point idle_since_;
    std::vector<char> read_buffer_;
};

}  // namespace quorbus
