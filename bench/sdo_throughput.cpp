// SDO throughput through the C binding: 160000-byte upload and download of
// a simulated node's domain entry over quorbus, segmented and block.
//
// usage: sdo_throughput [REPEATS]      (default 5; prints median bytes/s)
// Starts its own quorbus on a free port and quorsim with node 5.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "canlib/morvellcanopen.h"
#include "support/child_process.h"

namespace {

constexpr std::uint32_t kBytes = 160000;
constexpr std::uint8_t kNode = 5;
constexpr std::uint16_t kDomain = 0x2101;

std::mutex mutex;
std::condition_variable cv;
bool done = false;
LibraryResult outcome;

void onCompletion(const LibraryResult* r) {
    std::lock_guard lock(mutex);
    outcome = *r;
    done = true;
    cv.notify_all();
}

bool waitDone() {
    std::unique_lock lock(mutex);
    const bool ok = cv.wait_for(lock, std::chrono::seconds(60), [] { return done; });
    done = false;
    return ok && outcome.code == 0;
}

// Seconds for one transfer, negative on failure.
double timeTransfer(bool upload, std::vector<std::uint8_t>& data) {
    LibraryResult r{};
    std::uint32_t length = kBytes;
    const auto start = std::chrono::steady_clock::now();
    if (upload)
        CANopen_SDOUpload(kNode, kDomain, 0, data.data(), &length, nullptr, onCompletion, &r);
    else
        CANopen_SDODownload(kNode, kDomain, 0, data.data(), kBytes, nullptr, onCompletion, &r);
    if (r.code != 0 || !waitDone()) {
        std::fprintf(stderr, "transfer failed: %d %s\n", r.code ? r.code : outcome.code,
                     r.code ? r.text : outcome.text);
        return -1;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool open(bool block) {
    setenv("MORVELLCANOPEN_BLOCK_UPLOAD", block ? "1" : "0", 1);
    setenv("MORVELLCANOPEN_BLOCK_DOWNLOAD_MIN", block ? "64" : "0", 1);
    HwBaudParams params{1000};
    LibraryResult r{};
    Hardware_Initialize(HW_USB, &params, &r);
    if (r.code != 0) std::fprintf(stderr, "open failed: %s\n", r.text);
    return r.code == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int port = testsupport::freeLoopbackPort();
    const std::string channel = "virtual:bench@" + std::to_string(port);
    setenv("MORVELLCANOPEN_CHANNEL", channel.c_str(), 1);
    testsupport::ChildProcess bus(testsupport::programPath("quorbus"),
                                  {"--port", std::to_string(port), "--quiet"});
    if (bus.waitForLine("listening").empty())
        return std::fprintf(stderr, "quorbus did not start\n"), 1;
    testsupport::ChildProcess sim(testsupport::programPath("quorsim"),
                                  {"--channel", channel, "--node", std::to_string(kNode)});
    if (sim.waitForLine("quorsim ready").empty())
        return std::fprintf(stderr, "quorsim did not start\n"), 1;

    std::vector<std::uint8_t> data(kBytes);
    for (std::uint32_t i = 0; i < kBytes; ++i) data[i] = static_cast<std::uint8_t>(i);
    std::printf("%-10s %-9s %12s %12s %12s\n", "mode", "direction", "min B/s", "median B/s",
                "max B/s");
    for (bool block : {false, true}) {
        if (!open(block)) return 1;
        for (bool upload : {false, true}) {
            std::vector<double> rates;
            for (int i = 0; i < repeats; ++i) {
                const double s = timeTransfer(upload, data);
                if (s <= 0) return 1;
                rates.push_back(kBytes / s);
            }
            std::sort(rates.begin(), rates.end());
            std::printf("%-10s %-9s %12.0f %12.0f %12.0f\n", block ? "block" : "segmented",
                        upload ? "upload" : "download", rates.front(), rates[rates.size() / 2],
                        rates.back());
        }
        Hardware_Close();
    }
    sim.writeLine("quit");
    return 0;
}
