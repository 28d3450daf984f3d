// ReadManager of a CANopen Manager with 127 assigned slaves: quorsim plays
// the manager on a private virtual bus. Reports the number of transfers and
// the sum of their round trips (each blocking transfer timed on its own),
// against the wall time of the whole read, once through the Qt-free read
// and once through the real window (offscreen), from OpenForNode to the end
// of the read.
//
// usage: manager_read_bench [RUNS]     (default 3)
#include <QApplication>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "canlib/morvellcanopen.h"
#include "gui/notifier.h"
#include "gui/progress_dialog.h"
#include "manager/core/manager_operations.h"
#include "manager/core/utilities.h"
#include "manager/manager_window.h"
#include "support/child_process.h"
#include "support/simulated_network.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint8_t kManager = 16;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class PrintingNotifier : public Notifier {
public:
    void notify(Kind, const QString& text) override {
        std::fprintf(stderr, "box: %s\n", qPrintable(text));
    }
};

// Counts the transfers and adds up the time each one blocks.
class TimedSdo : public BlockingSdo {
public:
    explicit TimedSdo(BlockingSdo& inner) : inner_(inner) {}
    void SDOUpload(uint8_t node, uint16_t index, uint8_t sub, uint8_t* buffer, uint32_t& length,
                   LibraryResult& result) override {
        const auto start = Clock::now();
        inner_.SDOUpload(node, index, sub, buffer, length, result);
        roundTripsMs += msSince(start);
        ++transfers;
        if (result.code != 0) ++failures;
    }
    void SDODownload(uint8_t node, uint16_t index, uint8_t sub, const uint8_t* data,
                     uint32_t length, LibraryResult& result) override {
        const auto start = Clock::now();
        inner_.SDODownload(node, index, sub, data, length, result);
        roundTripsMs += msSince(start);
        ++transfers;
        if (result.code != 0) ++failures;
    }
    int transfers = 0;
    int failures = 0;
    double roundTripsMs = 0;

private:
    BlockingSdo& inner_;
};

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    QTemporaryDir home;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit().constData(), 1);
    setenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);

    testsupport::SimulatedNetwork network("mgrbench");
    if (const std::string problem = network.start({"--manager", "16"}); !problem.empty())
        return std::fprintf(stderr, "%s\n", problem.c_str()), 1;
    HwParallelParams params{125, 0x378, 7, 0};
    LibraryResult result{};
    Hardware_Initialize(HW_PARALLEL_DONGLE, &params, &result);
    if (result.code != 0) {
        std::fprintf(stderr, "open: %s\n", result.text);
        return 1;
    }

    TUtilities utilities;
    for (unsigned n = 1; n <= 127; ++n) {  // every node a slave, retry factor 3
        const uint8_t assignment[4] = {0x05, 0x03, 0x00, 0x00};
        utilities.SDODownload(kManager, 0x1F81, static_cast<uint8_t>(n), assignment, 4, result);
        if (result.code != 0) {
            std::fprintf(stderr, "assign %u: %s\n", n, result.text);
            return 1;
        }
    }

    PrintingNotifier notifier;
    TWin_Progress progress;
    TWin_CANopenManager window(utilities, progress, notifier);
    std::printf("ReadManager, manager with 127 assigned slaves (8 tables of 127, 18 entries)\n");
    std::printf("%-4s %10s %9s %16s %14s %16s\n", "run", "transfers", "failures", "sum of RTTs ms",
                "core read ms", "window read ms");
    for (int run = 1; run <= runs; ++run) {
        TimedSdo timed(utilities);
        std::atomic<bool> abort{false};
        OperationControl control{&abort, nullptr, nullptr};
        ManagerConfiguration config;
        const auto coreStart = Clock::now();
        ReadManager(timed, kManager, config, control);
        const double coreMs = msSince(coreStart);
        if (config.entryCounts[0] != 127 || config.node(127).slaveAssignment != 0x0305) {
            std::fprintf(stderr, "the read missed the slaves\n");
            return 1;
        }

        const auto windowStart = Clock::now();
        window.OpenForNode(kManager);
        while (window.busy()) app.processEvents(QEventLoop::WaitForMoreEvents);
        const double windowMs = msSince(windowStart);
        if (!window.configuration().configValid) return 1;
        std::printf("%-4d %10d %9d %16.1f %14.1f %16.1f\n", run, timed.transfers, timed.failures,
                    timed.roundTripsMs, coreMs, windowMs);
    }
    Hardware_Close();
    return 0;
}
