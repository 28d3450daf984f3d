// Nanoseconds per frame for the trace interpreter and the export row writer
// on a mixed CANopen workload (NMT, SYNC, heartbeats, PDOs, SDO expedited,
// segmented and abort, emergencies, TIME).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <streambuf>
#include <string>
#include <vector>

#include "trace/core/canopen_interpreter.h"
#include "trace/core/emergency_codes.h"
#include "trace/core/message_names.h"
#include "trace/core/trace_export.h"

namespace {

TraceRecord Frame(uint32_t identifier, std::vector<uint8_t> data, uint8_t flags = 0) {
    TraceRecord record;
    record.identifier = identifier;
    record.flags = flags;
    for (uint8_t byte : data) record.data[record.length++] = byte;
    return record;
}

// Four bus cycles of a four-node network: 132 frames.
std::vector<TraceRecord> MixedTraffic() {
    std::vector<TraceRecord> frames;
    frames.push_back(Frame(0x000, {0x01, 0x00}));
    frames.push_back(Frame(0x100, {0x95, 0x2C, 0xB3, 0x02, 0xE6, 0x4F}));
    for (uint8_t cycle = 0; cycle < 4; ++cycle) {
        frames.push_back(Frame(0x080, {cycle}));
        for (uint32_t node = 1; node <= 4; ++node) {
            frames.push_back(Frame(0x180 + node, {cycle, 0x10, 0x20, 0x30, 0x40, 0x50}));
            frames.push_back(Frame(0x280 + node, {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}));
            frames.push_back(Frame(0x200 + node, {0xE8, 0x03}));
            frames.push_back(Frame(0x700 + node, {0x05}));
        }
        frames.push_back(Frame(0x705, {}, kTraceFlagRemote));
        frames.push_back(Frame(0x605, {0x40, 0x18, 0x10, 0x01, 0, 0, 0, 0}));
        frames.push_back(Frame(0x585, {0x43, 0x18, 0x10, 0x01, 0x78, 0x56, 0x34, 0x12}));
        frames.push_back(Frame(0x605, {0x23, 0x00, 0x20, 0x00, 0x11, 0x22, 0x33, 0x44}));
        frames.push_back(Frame(0x585, {0x60, 0x00, 0x20, 0x00, 0, 0, 0, 0}));
        frames.push_back(Frame(0x605, {0x21, 0x01, 0x21, 0x00, 0x40, 0x00, 0x00, 0x00}));
        frames.push_back(Frame(0x585, {0x60, 0x01, 0x21, 0x00, 0, 0, 0, 0}));
        frames.push_back(Frame(0x605, {0x00, 'q', 'u', 'o', 'r', 'v', 'a', 'n'}));
        frames.push_back(Frame(0x585, {0x20, 0, 0, 0, 0, 0, 0, 0}));
        frames.push_back(Frame(0x605, {0x1B, 'e', '!', 0, 0, 0, 0, 0}));
        frames.push_back(Frame(0x585, {0x30, 0, 0, 0, 0, 0, 0, 0}));
        frames.push_back(Frame(0x605, {0x40, 0x00, 0x30, 0x00, 0, 0, 0, 0}));
        frames.push_back(Frame(0x585, {0x80, 0x00, 0x30, 0x00, 0x00, 0x00, 0x02, 0x06}));
        frames.push_back(Frame(0x085, {0x10, 0x23, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}));
        frames.push_back(
            Frame(0x00000605, {0x40, 0x00, 0x10, 0x00, 0, 0, 0, 0}, kTraceFlagExtended));
    }
    frames.push_back(Frame(0x081, {0x30, 0x81, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00}));
    frames.push_back(Frame(0x100, {0x00, 0x00, 0x00, 0x00, 0xEB, 0x23}));
    return frames;
}

// 32 user messages, the matching one last: the longest search.
class BenchNames : public MessageNames {
public:
    int Count() const override { return 32; }
    uint32_t EffectiveId(int i) const override { return i == 31 ? 0x181 : 0x300 + i; }
    std::string DisplayName(int i) const override { return i == 31 ? "Motor speed" : "unused"; }
};

// Counts bytes and drops them.
class NullBuffer : public std::streambuf {
protected:
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
};

void SetUtc() {
    setenv("TZ", "UTC", 1);
    tzset();
}

void InterpretAll(benchmark::State& state, const std::vector<TraceRecord>& frames,
                  const MessageNames* names) {
    SetUtc();
    TEmergencyCodes codes;
    TraceLine line;
    for (auto _ : state) {
        for (const TraceRecord& record : frames) {
            InterpretFrame(record, codes, names, line);
            benchmark::DoNotOptimize(line.texts[kColRaw][0]);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames.size()));
}

void BM_InterpretMixed(benchmark::State& state) {
    InterpretAll(state, MixedTraffic(), nullptr);
}
BENCHMARK(BM_InterpretMixed);

void BM_InterpretMixedWithNames(benchmark::State& state) {
    BenchNames names;
    InterpretAll(state, MixedTraffic(), &names);
}
BENCHMARK(BM_InterpretMixedWithNames);

void BM_InterpretTime(benchmark::State& state) {
    InterpretAll(state, {Frame(0x100, {0x95, 0x2C, 0xB3, 0x02, 0xE6, 0x4F})}, nullptr);
}
BENCHMARK(BM_InterpretTime);

void BM_InterpretSdoExpedited(benchmark::State& state) {
    InterpretAll(state, {Frame(0x605, {0x23, 0x00, 0x20, 0x00, 0x11, 0x22, 0x33, 0x44})}, nullptr);
}
BENCHMARK(BM_InterpretSdoExpedited);

// Interpreting plus writing the export row.
void BM_ExportRowMixed(benchmark::State& state) {
    SetUtc();
    const std::vector<TraceRecord> frames = MixedTraffic();
    TEmergencyCodes codes;
    TraceLine line;
    NullBuffer sink;
    std::ostream out(&sink);
    long number = 0;
    for (auto _ : state) {
        for (const TraceRecord& record : frames) {
            InterpretFrame(record, codes, nullptr, line);
            WriteTraceExportRow(out, ++number, line);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames.size()));
}
BENCHMARK(BM_ExportRowMixed);

}  // namespace

BENCHMARK_MAIN();
