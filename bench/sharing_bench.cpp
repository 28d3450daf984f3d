// Frame sharing under load: quorsim's traffic generator sends frames at a
// fixed rate on a private virtual bus; this process opens the library and
// runs the real TMessaging as quorvane does (RecordFrame from the library's
// receive callback, a forwarding pass every 5 ms tick that saw traffic,
// skipping every 100th tick) without quorvane's windows, which would wait
// for the hardware dialog. N `quorshare dump` processes receive the frames,
// their output in files. Reports per client the frames printed against the
// frames sent and the frames quorvane dropped for it, and the CPU time of
// this process (library, sharing and pass threads) and of each client.
//
// usage: sharing_bench [RATE] [SECONDS] [CLIENTS]   (default 21000 frames/s, 60 s, 4)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "canlib/morvellcanopen.h"
#include "sharing/core/forwarding_schedule.h"
#include "sharing/messaging.h"
#include "support/child_process.h"
#include "support/simulated_network.h"

extern char** environ;

namespace {

using bench::cpuSeconds;
using bench::numberAfter;

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr char kLoadFrame[] = "181#1122334455667788";
constexpr int32_t kBitRateKbps = 1000;
constexpr uint64_t kTickMs = 5;
constexpr auto kTick = std::chrono::milliseconds(kTickMs);

TMessaging* messaging = nullptr;
sharing::ForwardingSchedule forwarding;  // as the main window's
uint64_t elapsedMs = 0;
std::atomic<uint64_t> delivered{0};
std::atomic<bool> trafficSeen{false};

void onReceive(const CanFrame* frame, int32_t status) {
    messaging->RecordFrame(frame->id, frame->length, 0, status != 0 ? 0 : 2,
                           (frame->flags & CANFRAME_FLAG_REMOTE) != 0,
                           (frame->flags & CANFRAME_FLAG_EXTENDED) != 0, frame->data);
    delivered.fetch_add(1, std::memory_order_relaxed);
    trafficSeen.store(true, std::memory_order_relaxed);
}

struct Client {
    pid_t pid = -1;
    std::string output;
    rusage usage{};
    int status = -1;
};

Client spawnDump(const std::string& output) {
    Client client;
    client.output = output;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string program = testsupport::programPath("quorshare");
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("dump"), nullptr};
    if (posix_spawn(&client.pid, program.c_str(), &actions, nullptr, argv, environ) != 0) {
        client.pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return client;
}

uint64_t countLines(const std::string& path) {
    std::ifstream in(path);
    uint64_t lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    return lines;
}

// The 5 ms tick of the main window, for `duration` (or until `until` holds).
template <class Until>
void tick(Clock::duration duration, Until until) {
    const auto end = Clock::now() + duration;
    auto next = Clock::now();
    while (Clock::now() < end && !until()) {
        next += kTick;
        std::this_thread::sleep_until(next);
        elapsedMs += kTickMs;
        if (forwarding.OnTick(trafficSeen.exchange(false), elapsedMs)) {
            messaging->StartForwardingPass();
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int rate = argc > 1 ? std::atoi(argv[1]) : 21000;
    const int durationSeconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const int clientCount = argc > 3 ? std::atoi(argv[3]) : 4;
    char folder[] = "/tmp/sharing-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) return std::perror("mkdtemp"), 1;
    setenv("XDG_RUNTIME_DIR", folder, 1);

    testsupport::SimulatedNetwork network("sharebench");
    if (const std::string problem =
            network.start({"--bitrate", std::to_string(kBitRateKbps)}, {"--quiet"});
        !problem.empty())
        return std::fprintf(stderr, "%s\n", problem.c_str()), 1;

    TMessaging sharing;
    messaging = &sharing;
    sharing.Start();
    if (!sharing.serving()) return std::fprintf(stderr, "sharing did not start\n"), 1;
    Event_Receive(onReceive);
    HwBaudParams params{kBitRateKbps};
    LibraryResult opened{};
    Hardware_Initialize(HW_USB, &params, &opened);
    if (opened.code != 0) return std::fprintf(stderr, "open failed: %s\n", opened.text), 1;

    std::vector<Client> clients;
    for (int i = 0; i < clientCount; ++i) {
        clients.push_back(spawnDump(std::string(folder) + "/dump" + std::to_string(i) + ".log"));
        if (clients.back().pid < 0) return std::fprintf(stderr, "no quorshare\n"), 1;
    }
    if (!testsupport::waitUntil([&] { return sharing.clientCount() == clientCount; }, 20s)) {
        return std::fprintf(stderr, "the clients did not register\n"), 1;
    }

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = Clock::now();
    network.sim->writeLine("load " + std::to_string(rate) + " " + kLoadFrame);
    if (network.sim->waitForLine("ok load").empty())
        return std::fprintf(stderr, "load refused\n"), 1;
    tick(std::chrono::seconds(durationSeconds), [] { return false; });
    network.sim->writeLine("load 0");
    const std::string stopped = network.sim->waitForLine("ok load stopped");
    const long long sent = std::atoll(stopped.c_str() + std::string("ok load stopped, ").size());
    // Frames in flight still arrive and are forwarded.
    tick(5s, [&] { return delivered.load() >= uint64_t(sent); });
    tick(200ms, [] { return false; });
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const auto stats = sharing.clientStats();

    sharing.Stop();  // the clients print what they have and end
    for (Client& client : clients) {
        wait4(client.pid, &client.status, 0, &client.usage);
    }
    Hardware_Close();
    Event_Receive(nullptr);
    network.sim->writeLine("quit");

    std::printf("rate %d frames/s for %.1f s, %d quorshare dump clients\n", rate, elapsed,
                clientCount);
    std::printf("quorsim load frames sent  %lld\n", sent);
    std::printf("delivered to the callback %llu\n", (unsigned long long)delivered.load());
    std::printf("passes run                %llu\n", (unsigned long long)sharing.passesDone());
    std::printf("CPU: quorvane side %.1f%% of one core\n",
                100.0 * (cpuSeconds(after) - cpuSeconds(before)) / elapsed);
    bool complete = true;
    for (std::size_t i = 0; i < clients.size(); ++i) {
        const uint64_t printed = countLines(clients[i].output);
        std::printf("client %zu: printed %llu of %lld (%.3f%%), CPU %.1f%% of one core, exit %d\n",
                    i + 1, (unsigned long long)printed, sent,
                    100.0 * double(printed) / double(sent),
                    100.0 * cpuSeconds(clients[i].usage) / elapsed,
                    WIFEXITED(clients[i].status) ? WEXITSTATUS(clients[i].status) : -1);
        complete = complete && printed == uint64_t(sent);
    }
    std::printf("dropped by quorvane for a full client queue:");
    for (const TMessaging::ClientStats& client : stats) {
        std::printf(" %llu", (unsigned long long)client.droppedFrames);
    }
    std::printf("\n");
    std::filesystem::remove_all(folder);
    return complete ? 0 : 2;
}
