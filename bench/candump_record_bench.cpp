// Recording to a candump log under load: quorsim's traffic generator sends
// frames at a fixed rate on a private virtual bus; this process opens the
// library with quorvane's own callback router (LibraryEvents: signal state,
// trace buffer, sharing ring, triggers) and records every frame through the
// trace window's recorder into a file. Reports frames sent, recorded and in
// the file (each line read back), and CPU time of the process and of the
// recorder's writer thread.
//
// usage: candump_record_bench [RATE] [SECONDS] [FILE]   (default 21000 frames/s, 60 s,
//                                                        a temporary file)
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/library_events.h"
#include "app/process_objects.h"
#include "bench/bench_support.h"
#include "canlib/morvellcanopen.h"
#include "gui/signal_state.h"
#include "support/child_process.h"
#include "support/simulated_network.h"
#include "trace/core/candump_log.h"
#include "trace/core/candump_recorder.h"

namespace {

using bench::cpuSeconds;
using bench::numberAfter;

using Clock = std::chrono::steady_clock;

constexpr char kLoadFrame[] = "181#1122334455667788";
constexpr int32_t kBitRateKbps = 1000;

// CPU seconds of thread `tid` of this process, from /proc (utime + stime).
double threadCpuSeconds(long tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv) {
    const int rate = argc > 1 ? std::atoi(argv[1]) : 21000;
    const int durationSeconds = argc > 2 ? std::atoi(argv[2]) : 60;
    QTemporaryDir home;
    const std::string path = argc > 3 ? argv[3] : qPrintable(home.filePath("bench.log"));
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_CONFIG_HOME", qPrintable(home.path()), 1);
    QApplication app(argc, argv);

    testsupport::SimulatedNetwork network("recordbench");
    if (const std::string problem =
            network.start({"--bitrate", std::to_string(kBitRateKbps)}, {"--quiet"});
        !problem.empty())
        return std::fprintf(stderr, "%s\n", problem.c_str()), 1;

    ProcessObjects objects;
    SignalState signals;
    LibraryEvents events(signals, objects.traceBuffer, objects.messaging, objects.transmitEngine);
    canopen_trace::CandumpRecorder recorder;
    events.setRecorder(&recorder);
    events.registerWithLibrary();
    HwBaudParams params{kBitRateKbps};
    LibraryResult opened{};
    Hardware_Initialize(HW_USB, &params, &opened);
    if (opened.code != 0) return std::fprintf(stderr, "open failed: %s\n", opened.text), 1;

    std::string error;
    auto sink = canopen_trace::CreateRecordFile(path, &error);
    if (!sink) return std::fprintf(stderr, "%s\n", error.c_str()), 1;
    // The writer thread is the only thread the recorder starts: find it by
    // comparing the task lists before and after.
    const auto tasks = [] {
        std::vector<long> ids;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
            ids.push_back(std::stol(entry.path().filename().string()));
        return ids;
    };
    const std::vector<long> before = tasks();
    recorder.Start(std::move(sink), "vcan0");
    long writer = -1;
    for (long id : tasks())
        if (std::find(before.begin(), before.end(), id) == before.end()) writer = id;

    const double processBefore = cpuSeconds(RUSAGE_SELF);
    const auto start = Clock::now();
    network.sim->writeLine("load " + std::to_string(rate) + " " + kLoadFrame);
    if (network.sim->waitForLine("ok load").empty())
        return std::fprintf(stderr, "load refused\n"), 1;
    std::this_thread::sleep_for(std::chrono::seconds(durationSeconds));
    network.sim->writeLine("load 0");
    const std::string stopped = network.sim->waitForLine("ok load stopped");
    const long long sent = std::atoll(stopped.c_str() + std::string("ok load stopped, ").size());
    // Frames in flight reach the recorder shortly after the load stops.
    testsupport::waitUntil([&] { return recorder.Status().written >= uint64_t(sent); },
                           std::chrono::seconds(5));
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double writerCpu = writer > 0 ? threadCpuSeconds(writer) : -1;
    const std::string closeError = recorder.Stop();
    const double processCpu = cpuSeconds(RUSAGE_SELF) - processBefore;
    const canopen_trace::RecorderStatus status = recorder.Status();
    events.unregisterFromLibrary();
    Hardware_Close();
    network.sim->writeLine("quit");

    // Every line of the file is read back.
    std::ifstream in(path);
    std::string line;
    long long lines = 0, frames = 0;
    while (std::getline(in, line)) {
        ++lines;
        if (canopen_trace::ParseCandumpLine(line).kind == canopen_trace::CandumpLineKind::kFrame)
            ++frames;
    }
    std::printf("rate %d frames/s for %.1f s into %s\n", rate, elapsed, path.c_str());
    std::printf("quorsim load frames sent  %lld\n", sent);
    std::printf("recorded (written)        %llu, refused for a full buffer %llu%s%s\n",
                (unsigned long long)status.written, (unsigned long long)status.dropped,
                status.failure.empty() ? "" : ", failure: ", status.failure.c_str());
    std::printf("lines in the file         %lld, of them frames %lld\n", lines, frames);
    std::printf("frames lost               %lld\n", sent - frames);
    std::printf("CPU: process %.1f%% of one core, recorder writer thread %.1f%%\n",
                100.0 * processCpu / elapsed, 100.0 * writerCpu / elapsed);
    if (!closeError.empty()) std::printf("close: %s\n", closeError.c_str());
    return sent == frames ? 0 : 2;
}
