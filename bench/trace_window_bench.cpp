// The trace window under load: quorsim's traffic generator sends frames at a
// fixed rate on a private virtual bus; this process opens the library, stores
// every received frame into the real trace buffer from the library's callback
// thread (as quorvane's receive callback does) and shows the real trace
// window offscreen, refreshed every 500 ms. Reports frames sent, delivered
// and stored, lost-frame titles, and CPU time of the process and of its UI
// thread. With NAMES > 0 the window names its lines after that many enabled
// transmit messages, the first on the load frame's identifier.
//
// usage: trace_window_bench [RATE] [SECONDS] [NAMES]   (default 21000 frames/s, 60 s, 0)
#include <sys/resource.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_support.h"
#include "canlib/morvellcanopen.h"
#include "gui/notifier.h"
#include "support/child_process.h"
#include "support/simulated_network.h"
#include "trace/core/emergency_codes.h"
#include "trace/core/trace_buffer.h"
#include "trace/trace_window.h"
#include "transmit/core/transmit_table.h"

namespace {

using bench::cpuSeconds;
using bench::numberAfter;

using Clock = std::chrono::steady_clock;

constexpr char kLoadFrame[] = "181#1122334455667788";
constexpr uint32_t kLoadId = 0x181;
constexpr int32_t kBitRateKbps = 1000;

// What the library's callbacks saw; written on the library thread.
struct CallbackCounts {
    TTraceBuffer* buffer = nullptr;
    std::atomic<uint64_t> delivered{0};
    std::atomic<uint64_t> slowStores{0};  // Store calls that reached the 100 ms limit
    std::atomic<int64_t> longestStore_ns{0};
    std::atomic<uint64_t> libraryErrors{0};
};
CallbackCounts counts;

void onReceive(const CanFrame* frame, int32_t status) {
    const auto start = Clock::now();
    counts.buffer->Store(frame->id, frame->length, 0,
                         status != 0 ? kTraceReceived : kTraceOtherTraffic,
                         (frame->flags & CANFRAME_FLAG_REMOTE) != 0,
                         (frame->flags & CANFRAME_FLAG_EXTENDED) != 0, frame->data);
    const int64_t took = std::chrono::nanoseconds(Clock::now() - start).count();
    counts.delivered.fetch_add(1, std::memory_order_relaxed);
    if (took >= std::chrono::nanoseconds(TTraceBuffer::kStoreWait).count()) counts.slowStores++;
    int64_t longest = counts.longestStore_ns.load(std::memory_order_relaxed);
    while (took > longest && !counts.longestStore_ns.compare_exchange_weak(longest, took)) {
    }
}

void onError(int32_t code) {
    if (code != MORVELL_ERROR_CLEARED) counts.libraryErrors++;
}

class PrintingNotifier : public Notifier {
public:
    void notify(Kind, const QString& text) override {
        std::fprintf(stderr, "box: %s\n", qPrintable(text));
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int rate = argc > 1 ? std::atoi(argv[1]) : 21000;
    const int durationSeconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const int nameCount = argc > 3 ? std::atoi(argv[3]) : 0;
    QTemporaryDir home;  // private settings: the user's trace sizes stay untouched
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_CONFIG_HOME", qPrintable(home.path()), 1);
    setenv("XDG_RUNTIME_DIR", qPrintable(home.path()), 1);
    QApplication app(argc, argv);

    testsupport::SimulatedNetwork network("tracebench");
    if (const std::string problem =
            network.start({"--bitrate", std::to_string(kBitRateKbps)}, {"--quiet"});
        !problem.empty())
        return std::fprintf(stderr, "%s\n", problem.c_str()), 1;

    TTraceBuffer buffer;
    TEmergencyCodes codes;
    PrintingNotifier notifier;
    counts.buffer = &buffer;
    Event_Receive(onReceive);
    Event_MajorError(onError);
    HwBaudParams params{kBitRateKbps};
    LibraryResult opened{};
    Hardware_Initialize(HW_USB, &params, &opened);
    if (opened.code != 0) return std::fprintf(stderr, "open failed: %s\n", opened.text), 1;

    TTransmit names(nameCount, nullptr);
    for (int i = 0; i < nameCount; ++i) {
        TransmitMessage message;
        message.name = "Message " + std::to_string(i);
        message.enable = true;
        message.id = i == 0 ? kLoadId : 0x600 + static_cast<uint32_t>(i);
        names.SetMessage(i, message);
    }
    TWin_Trace window(buffer, codes, nameCount > 0 ? &names : nullptr, {}, notifier);
    uint64_t lostTitles = 0;
    QObject::connect(&window, &QWidget::windowTitleChanged, [&lostTitles](const QString& title) {
        if (title.endsWith(QLatin1String(" - messages lost!"))) ++lostTitles;
    });
    window.show();

    const double processBefore = cpuSeconds(RUSAGE_SELF);
    const double uiBefore = cpuSeconds(RUSAGE_THREAD);
    const auto start = Clock::now();
    network.sim->writeLine("load " + std::to_string(rate) + " " + kLoadFrame);
    if (network.sim->waitForLine("ok load").empty())
        return std::fprintf(stderr, "load refused\n"), 1;
    QTimer::singleShot(durationSeconds * 1000, &app, &QCoreApplication::quit);
    app.exec();

    network.sim->writeLine("load 0");
    const std::string stopped = network.sim->waitForLine("ok load stopped");
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double processCpu = cpuSeconds(RUSAGE_SELF) - processBefore;
    const double uiCpu = cpuSeconds(RUSAGE_THREAD) - uiBefore;
    const long long sent = std::atoll(stopped.c_str() + std::string("ok load stopped, ").size());
    // Frames still in flight reach the callback shortly after the load stops.
    testsupport::waitUntil([&] { return counts.delivered.load() >= uint64_t(sent); },
                           std::chrono::seconds(5));
    network.sim->writeLine("stats");
    const std::string stats = network.sim->waitForLine("ok nodes");
    Hardware_Close();
    Event_Receive(nullptr);
    Event_MajorError(nullptr);
    network.sim->writeLine("quit");

    const uint64_t delivered = counts.delivered.load();
    const uint64_t stored = delivered - counts.slowStores.load();
    std::printf("rate %d frames/s for %.1f s, %d message names\n", rate, elapsed, nameCount);
    std::printf("quorsim load frames sent   %lld (stats: load %lld)\n", sent,
                numberAfter(stats, "load"));
    std::printf("delivered to the callback  %llu\n", (unsigned long long)delivered);
    std::printf(
        "stored in the trace buffer %llu (Store calls at the 100 ms limit: %llu, "
        "longest Store %.3f ms)\n",
        (unsigned long long)stored, (unsigned long long)counts.slowStores.load(),
        counts.longestStore_ns.load() / 1e6);
    std::printf("frames lost                %lld\n", sent - (long long)stored);
    std::printf("titles with messages lost  %llu; library errors %llu\n",
                (unsigned long long)lostTitles, (unsigned long long)counts.libraryErrors.load());
    std::printf("CPU: process %.1f%% of one core, UI thread %.1f%%\n", 100.0 * processCpu / elapsed,
                100.0 * uiCpu / elapsed);
    std::printf("last title: %s\n", qPrintable(window.windowTitle()));
    return sent == (long long)stored && lostTitles == 0 ? 0 : 2;
}
