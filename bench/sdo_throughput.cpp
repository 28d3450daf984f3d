// SDO throughput through the C binding: 160000-byte upload and download of
// a simulated node's domain entry over quorbus, segmented and block.
//
// usage: sdo_throughput [REPEATS] [--bitrate KBIT] [--python]
//   REPEATS        transfers per mode and direction (default 5)
//   --bitrate KBIT a paced bus (quorbus, quorsim and the library at KBIT
//                  kbit/s); prints each mode's ceiling on that bus, with and
//                  without the stuff bits of the transfer's frames, and the
//                  bus load the hub measured over the last second of a transfer
//   --python       also times bench/python_sdo_client.py (python-canopen when
//                  installed) on the same hub and node, alternating with ours
// Starts its own quorbus on a free port and quorsim with node 5.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "canlib/morvellcanopen.h"
#include "protocol/frame_duration.h"
#include "support/child_process.h"
#include "transport/socketcand_framing.h"

namespace {

constexpr std::uint32_t kBytes = 160000;
constexpr std::uint8_t kNode = 5;
constexpr std::uint16_t kDomain = 0x2101;
constexpr int kBlockSize = 127;

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
    const bool ok = cv.wait_for(lock, std::chrono::seconds(120), [] { return done; });
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

bool open(bool block, int bitrate_kbit) {
    setenv("MORVELLCANOPEN_BLOCK_UPLOAD", block ? "1" : "0", 1);
    setenv("MORVELLCANOPEN_BLOCK_DOWNLOAD_MIN", block ? "64" : "0", 1);
    HwBaudParams params{bitrate_kbit};
    LibraryResult r{};
    Hardware_Initialize(HW_USB, &params, &r);
    if (r.code != 0) std::fprintf(stderr, "open failed: %s\n", r.text);
    return r.code == 0;
}

// ---- What the bus carries for one transfer --------------------------------

CanFrame sdoFrame(std::uint32_t id, std::initializer_list<std::uint8_t> head,
                  const std::uint8_t* tail = nullptr, std::size_t tail_length = 0) {
    CanFrame f{};
    f.id = id;
    f.length = 8;
    std::size_t i = 0;
    for (std::uint8_t b : head) f.data[i++] = b;
    for (std::size_t k = 0; k < tail_length && i < 8; ++k) f.data[i++] = tail[k];
    return f;
}

// Every frame of an ideal transfer of data (requests 0x605, responses 0x585;
// the block CRC taken as 0).
std::vector<CanFrame> transferFrames(bool block, bool upload,
                                     const std::vector<std::uint8_t>& data) {
    const std::uint32_t request = 0x600 + kNode, response = 0x580 + kNode;
    const std::uint32_t client_data = upload ? response : request;  // who sends segments
    const std::uint32_t acknowledger = upload ? request : response;
    const std::uint8_t lo = kDomain & 0xFF, hi = kDomain >> 8;
    const std::uint8_t s0 = kBytes & 0xFF, s1 = (kBytes >> 8) & 0xFF, s2 = kBytes >> 16;
    std::vector<CanFrame> frames;
    const std::size_t segments = (data.size() + 6) / 7;
    if (!block) {
        frames.push_back(
            sdoFrame(request, {std::uint8_t(upload ? 0x40 : 0x21), lo, hi, 0, s0, s1, s2}));
        frames.push_back(
            sdoFrame(response, {std::uint8_t(upload ? 0x41 : 0x60), lo, hi, 0, s0, s1, s2}));
        for (std::size_t i = 0; i < segments; ++i) {
            const std::size_t n = std::min<std::size_t>(7, data.size() - 7 * i);
            const std::uint8_t toggle = (i & 1) << 4;
            const std::uint8_t command =
                toggle | std::uint8_t((7 - n) << 1) | (i + 1 == segments ? 1 : 0);
            if (upload) {
                frames.push_back(sdoFrame(request, {std::uint8_t(0x60 | toggle)}));
                frames.push_back(sdoFrame(response, {command}, &data[7 * i], n));
            } else {
                frames.push_back(sdoFrame(request, {command}, &data[7 * i], n));
                frames.push_back(sdoFrame(response, {std::uint8_t(0x20 | toggle)}));
            }
        }
        return frames;
    }
    if (upload) {
        frames.push_back(sdoFrame(request, {0xA4, lo, hi, 0, kBlockSize}));
        frames.push_back(sdoFrame(response, {0xC6, lo, hi, 0, s0, s1, s2}));
        frames.push_back(sdoFrame(request, {0xA3}));
    } else {
        frames.push_back(sdoFrame(request, {0xC6, lo, hi, 0, s0, s1, s2}));
        frames.push_back(sdoFrame(response, {0xA4, lo, hi, 0, kBlockSize}));
    }
    for (std::size_t i = 0; i < segments; ++i) {
        const std::size_t n = std::min<std::size_t>(7, data.size() - 7 * i);
        const std::uint8_t seq = std::uint8_t(i % kBlockSize + 1);
        const bool last = i + 1 == segments;
        frames.push_back(
            sdoFrame(client_data, {std::uint8_t(seq | (last ? 0x80 : 0))}, &data[7 * i], n));
        if (seq == kBlockSize || last)
            frames.push_back(sdoFrame(acknowledger, {0xA2, seq, kBlockSize}));
    }
    const std::uint8_t unused = std::uint8_t((7 - (data.size() - 7 * (segments - 1))) << 2);
    frames.push_back(sdoFrame(client_data, {std::uint8_t(0xC1 | unused)}));
    frames.push_back(sdoFrame(acknowledger, {0xA1}));
    return frames;
}

struct Ceiling {
    double nominal;  // bytes/s without stuff bits
    double stuffed;  // bytes/s with the stuff bits of these frames
};

Ceiling ceilingOf(const std::vector<CanFrame>& frames, int bitrate_kbit) {
    std::uint64_t bits = 0, stuff = 0;
    for (const CanFrame& f : frames) {
        const morvell::FrameBits b = morvell::frameBits(f);
        bits += b.total;
        stuff += b.stuff;
    }
    const double bps = bitrate_kbit * 1000.0;
    return {kBytes * bps / static_cast<double>(bits - stuff),
            kBytes * bps / static_cast<double>(bits)};
}

// ---- The hub's load figures ------------------------------------------------

// "< busstats ... >" of bus over a socketcand connection to the hub; empty on failure.
std::string busStats(int port, const std::string& bus) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "< open " + bus + " >< busstats >";
        morvell::socketcand::MessageReader reader;
        if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) > 0) {
            for (int reads = 0; reads < 20 && reply.empty(); ++reads) {
                pollfd p{fd, POLLIN, 0};
                char buffer[512];
                if (poll(&p, 1, 2000) != 1) break;
                const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                reader.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
                while (auto message = reader.next())
                    if (message->rfind("busstats", 0) == 0) reply = *message;
            }
        }
    }
    if (fd >= 0) close(fd);
    return reply;
}

struct Row {
    std::string label;
    std::vector<double> rates;
    std::optional<Ceiling> ceiling;
    std::string load;  // the hub's last-second load after the last transfer
};

void printRow(Row& row) {
    if (row.rates.empty()) return;
    std::sort(row.rates.begin(), row.rates.end());
    const double median = row.rates[row.rates.size() / 2];
    std::printf("%-38s %10.0f %10.0f %10.0f", row.label.c_str(), row.rates.front(), median,
                row.rates.back());
    if (row.ceiling) {
        std::printf("  %8.0f %5.1f%%  %8.0f %5.1f%%  %s", row.ceiling->nominal,
                    100 * median / row.ceiling->nominal, row.ceiling->stuffed,
                    100 * median / row.ceiling->stuffed, row.load.c_str());
    }
    std::printf("\n");
}

// Runs the python client once per direction; appends rates; false on failure.
bool runPython(int port, const std::string& bus, bool block, Row& down, Row& up,
               std::string& client) {
    testsupport::ChildProcess python(
        "/usr/bin/python3",
        {std::string(QUORVANE_SOURCE_DIR) + "/bench/python_sdo_client.py", std::to_string(port),
         bus, std::to_string(kNode), block ? "block" : "segmented", "1"});
    if (python.wait(std::chrono::seconds(600)) != 0) {
        std::fprintf(stderr, "python client failed:\n%s%s\n", python.output().c_str(),
                     python.errors().c_str());
        return false;
    }
    std::istringstream lines(python.output());
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("client ", 0) == 0) client = line.substr(7);
        if (line.rfind("skipped", 0) == 0) client = line;
        double seconds = 0;
        if (std::sscanf(line.c_str(), "download %lf", &seconds) == 1)
            down.rates.push_back(kBytes / seconds);
        if (std::sscanf(line.c_str(), "upload %lf", &seconds) == 1)
            up.rates.push_back(kBytes / seconds);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int repeats = 5;
    int bitrate_kbit = 0;
    bool python = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--bitrate" && i + 1 < argc)
            bitrate_kbit = std::atoi(argv[++i]);
        else if (arg == "--python")
            python = true;
        else
            repeats = std::max(1, std::atoi(argv[i]));
    }
    const int port = testsupport::freeLoopbackPort();
    const std::string bus_name = "bench";
    const std::string channel = "virtual:" + bus_name + "@" + std::to_string(port);
    setenv("MORVELLCANOPEN_CHANNEL", channel.c_str(), 1);
    std::vector<std::string> bus_args = {"--port", std::to_string(port), "--quiet"};
    std::vector<std::string> sim_args = {"--channel", channel, "--node", std::to_string(kNode)};
    const int library_kbit = bitrate_kbit > 0 ? bitrate_kbit : 1000;
    if (bitrate_kbit > 0) {
        bus_args.insert(bus_args.end(), {"--bitrate", std::to_string(bitrate_kbit)});
        sim_args.insert(sim_args.end(), {"--bitrate", std::to_string(bitrate_kbit)});
    }
    testsupport::ChildProcess bus(testsupport::programPath("quorbus"), bus_args);
    if (bus.waitForLine("listening").empty())
        return std::fprintf(stderr, "quorbus did not start\n"), 1;
    testsupport::ChildProcess sim(testsupport::programPath("quorsim"), sim_args);
    if (sim.waitForLine("quorsim ready").empty())
        return std::fprintf(stderr, "quorsim did not start\n"), 1;

    std::vector<std::uint8_t> data(kBytes);
    for (std::uint32_t i = 0; i < kBytes; ++i) data[i] = static_cast<std::uint8_t>(i);
    std::printf("%s bus, %u bytes, %d repeats\n",
                bitrate_kbit > 0 ? ("paced " + std::to_string(bitrate_kbit) + " kbit/s").c_str()
                                 : "unpaced",
                kBytes, repeats);
    std::printf("%-38s %10s %10s %10s", "mode direction client", "min B/s", "median B/s",
                "max B/s");
    if (bitrate_kbit > 0)
        std::printf("  %8s %6s  %8s %6s  %s", "ceiling", "median", "stuffed", "median",
                    "hub: busstats kbit load% frames");
    std::printf("\n");
    for (bool block : {false, true}) {
        Row down{std::string(block ? "block" : "segmented") + " download library", {}, {}, {}};
        Row up{std::string(block ? "block" : "segmented") + " upload library", {}, {}, {}};
        Row py_down{std::string(block ? "block" : "segmented") + " download python", {}, {}, {}};
        Row py_up{std::string(block ? "block" : "segmented") + " upload python", {}, {}, {}};
        if (bitrate_kbit > 0) {
            down.ceiling = ceilingOf(transferFrames(block, false, data), bitrate_kbit);
            up.ceiling = ceilingOf(transferFrames(block, true, data), bitrate_kbit);
            py_down.ceiling = down.ceiling;
            py_up.ceiling = up.ceiling;
        }
        std::string python_client;
        for (int i = 0; i < repeats; ++i) {
            if (!open(block, library_kbit)) return 1;
            for (bool upload : {false, true}) {
                const double s = timeTransfer(upload, data);
                if (s <= 0) return 1;
                Row& row = upload ? up : down;
                row.rates.push_back(kBytes / s);
                if (bitrate_kbit > 0) row.load = busStats(port, bus_name);
            }
            Hardware_Close();
            if (python && !runPython(port, bus_name, block, py_down, py_up, python_client))
                return 1;
        }
        printRow(down);
        printRow(up);
        if (python) {
            std::printf("  python client: %s\n", python_client.c_str());
            printRow(py_down);
            printRow(py_up);
        }
    }
    sim.writeLine("quit");
    return 0;
}
