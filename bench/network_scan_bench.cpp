// A full network scan: the real network overview window (offscreen) scans
// nodes 1-127 on a private virtual bus where quorsim plays five nodes with
// different identity objects. Reports the scan's wall time against its
// ideal: 122 absent nodes x the SDO time-out, plus the present nodes'
// uploads at the round trip measured before the scan.
//
// usage: network_scan_bench [SDO_TIMEOUT_MS] [RUNS]     (default 50 ms, 3 runs)
#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "canlib/morvellcanopen.h"
#include "gui/notifier.h"
#include "gui/progress_dialog.h"
#include "support/child_process.h"
#include "support/simulated_network.h"
#include "trace/network_window.h"

namespace {

using Clock = std::chrono::steady_clock;

// Uploads of the present nodes: node 3 and 11 read 7 entries (11 has its
// error register refused), node 5 reads 5, nodes 7 and 9 read 3.
constexpr int kPresentNodes = 5;
constexpr int kPresentUploads = 7 + 5 + 3 + 3 + 7;

class PrintingNotifier : public Notifier {
public:
    void notify(Kind, const QString& text) override {
        std::fprintf(stderr, "box: %s\n", qPrintable(text));
    }
};

std::atomic<int> completions{0};
std::atomic<int> failures{0};
void onCompletion(const LibraryResult* result) {
    if (result->code != 0) ++failures;
    ++completions;
}

// Median time of an expedited upload of node's device type, 21 times: the
// round trip of a present node, the time-out of an absent one.
double medianUploadMs(QApplication& app, uint8_t node) {
    std::vector<double> times;
    for (int i = 0; i < 21; ++i) {
        uint8_t buffer[10];
        uint32_t length = sizeof buffer;
        LibraryResult result{};
        const int before = completions.load();
        const auto start = Clock::now();
        CANopen_SDOUpload(node, 0x1000, 0, buffer, &length, nullptr, onCompletion, &result);
        if (result.code != 0) {
            std::fprintf(stderr, "upload refused: %s\n", result.text);
            std::exit(1);
        }
        while (completions.load() == before) app.processEvents();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string example(const char* name) {
    return std::string(QUORVANE_SOURCE_DIR) + "/sim/quorsim/examples/" + name;
}

}  // namespace

int main(int argc, char** argv) {
    const int timeoutMs = argc > 1 ? std::atoi(argv[1]) : 50;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    QTemporaryDir home;  // private settings
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_CONFIG_HOME", qPrintable(home.path()), 1);
    setenv("XDG_RUNTIME_DIR", qPrintable(home.path()), 1);
    setenv("MORVELLCANOPEN_SDO_TIMEOUT_MS", std::to_string(timeoutMs).c_str(), 1);
    QApplication app(argc, argv);

    testsupport::SimulatedNetwork network("scanbench");
    if (const std::string problem =
            network.start({"--node", "3:" + example("network_identity4.eds"), "--node",
                           "5:" + example("network_identity2.eds"), "--node",
                           "7:" + example("network_identity0.eds"), "--node",
                           "9:" + example("network_no_identity.eds"), "--node",
                           "11:" + example("network_no_error_register.eds")},
                          {"--quiet"});
        !problem.empty())
        return std::fprintf(stderr, "%s\n", problem.c_str()), 1;

    HwBaudParams params{1000};
    LibraryResult opened{};
    Hardware_Initialize(HW_USB, &params, &opened);
    if (opened.code != 0) return std::fprintf(stderr, "open failed: %s\n", opened.text), 1;

    const double roundTripMs = medianUploadMs(app, 3);
    const double timeoutSeenMs = medianUploadMs(app, 100);
    const double idealMs = (127 - kPresentNodes) * timeoutMs + kPresentUploads * roundTripMs;
    PrintingNotifier notifier;
    TWin_Progress progress;
    TWin_Network window(progress, notifier, {});
    window.show();
    auto* scan = window.findChild<QPushButton*>(QStringLiteral("scanbutton"));
    std::vector<double> walls;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        scan->click();
        while (window.scanning()) app.processEvents(QEventLoop::WaitForMoreEvents, 5);
        walls.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    Hardware_Close();
    network.sim->writeLine("quit");

    std::sort(walls.begin(), walls.end());
    std::printf(
        "SDO time-out %d ms (an absent node's upload takes %.2f ms), expedited round "
        "trip %.2f ms (medians of 21)\n",
        timeoutMs, timeoutSeenMs, roundTripMs);
    std::printf("ideal %.0f ms = 122 x %d ms + %d uploads x %.2f ms\n", idealMs, timeoutMs,
                kPresentUploads, roundTripMs);
    std::printf("scan wall over %d runs: min %.0f ms, median %.0f ms, max %.0f ms\n", runs,
                walls.front(), walls[walls.size() / 2], walls.back());
    std::printf("median / ideal: %.3f (overhead %.1f ms per upload)\n",
                walls[walls.size() / 2] / idealMs,
                (walls[walls.size() / 2] - idealMs) / (127 + kPresentUploads - kPresentNodes));
    return 0;
}
