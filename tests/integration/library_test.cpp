// The ten functions against simulated nodes over real sockets: quorbus on a
// free port, quorsim playing nodes on it, and the library pointed at it
// through the environment.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "canlib/morvellcanopen.h"
#include "support/child_process.h"

namespace integration {
namespace {

using testsupport::waitUntil;

// Frames the receive callback saw.
std::mutex seen_mutex;
std::vector<CanFrame> seen;
void recordFrame(const CanFrame* f, std::int32_t) {
    std::lock_guard lock(seen_mutex);
    seen.push_back(*f);
}
bool sawFrame(std::uint32_t id, std::uint8_t first_byte) {
    std::lock_guard lock(seen_mutex);
    for (const auto& f : seen)
        if (f.id == id && f.length > 0 && f.data[0] == first_byte) return true;
    return false;
}

// Frames the transmit callback confirmed.
std::mutex sent_mutex;
std::vector<CanFrame> sent_frames;
void recordSent(const CanFrame* f) {
    std::lock_guard lock(sent_mutex);
    sent_frames.push_back(*f);
}
bool confirmed(std::uint32_t id, std::uint8_t b0, std::uint8_t b1) {
    std::lock_guard lock(sent_mutex);
    for (const auto& f : sent_frames)
        if (f.id == id && f.length == 2 && f.data[0] == b0 && f.data[1] == b1) return true;
    return false;
}

// Codes the error callback reported.
std::mutex errors_mutex;
std::vector<std::int32_t> error_codes;
void recordError(std::int32_t code) {
    std::lock_guard lock(errors_mutex);
    error_codes.push_back(code);
}
bool reportedError(std::int32_t code) {
    std::lock_guard lock(errors_mutex);
    return std::find(error_codes.begin(), error_codes.end(), code) != error_codes.end();
}

class Library : public ::testing::Test {
protected:
    // Completions of transfers, in order; written by the library's I/O thread.
    static inline std::mutex completions_mutex;
    static inline std::condition_variable completed;
    static inline std::vector<LibraryResult> completions;
    static void onCompletion(const LibraryResult* r) {
        std::lock_guard lock(completions_mutex);
        completions.push_back(*r);
        completed.notify_all();
    }
    // Waits for the n-th completion (1-based); false after the limit.
    static bool waitForCompletion(std::size_t n) {
        std::unique_lock lock(completions_mutex);
        return completed.wait_for(lock, std::chrono::seconds(180),
                                  [&] { return completions.size() >= n; });
    }
    static std::size_t completionCount() {
        std::lock_guard lock(completions_mutex);
        return completions.size();
    }
    static LibraryResult lastCompletion() {
        std::lock_guard lock(completions_mutex);
        return completions.back();
    }

    void SetUp() override {
        {
            std::scoped_lock lock(completions_mutex, seen_mutex, sent_mutex);
            completions.clear();
            seen.clear();
            sent_frames.clear();
        }
        Event_Receive(recordFrame);
        port = testsupport::freeLoopbackPort();
        channel = "virtual:itest@" + std::to_string(port);
        setenv("MORVELLCANOPEN_CHANNEL", channel.c_str(), 1);
        setenv("MORVELLCANOPEN_QUORBUS", testsupport::programPath("quorbus").c_str(), 1);
        setenv("MORVELLCANOPEN_SDO_TIMEOUT_MS", "300", 1);
        bus = std::make_unique<testsupport::ChildProcess>(
            testsupport::programPath("quorbus"),
            std::vector<std::string>{"--port", std::to_string(port)});
        ASSERT_FALSE(bus->waitForLine("listening").empty()) << bus->errors();
    }

    void TearDown() override {
        Hardware_Close();
        Event_Receive(nullptr);
        Event_Transmit(nullptr);
        Event_MajorError(nullptr);
        sim.reset();
        bus.reset();
    }

    // Starts quorsim with the given extra arguments and waits until it is ready.
    void startSimulator(std::vector<std::string> args) {
        args.insert(args.begin(), {"--channel", channel});
        sim =
            std::make_unique<testsupport::ChildProcess>(testsupport::programPath("quorsim"), args);
        ASSERT_FALSE(sim->waitForLine("quorsim ready").empty()) << sim->errors();
    }

    // Sends a quorsim command and checks its answer, the next line it prints.
    void simCommand(const std::string& command) {
        ASSERT_TRUE(sim->writeLine(command));
        const std::string answer = sim->waitForLine("");
        ASSERT_EQ(answer.rfind("ok", 0), 0u) << command << " -> " << answer << "\n"
                                             << sim->errors();
    }

    void openLibrary(std::int32_t bitrate_kbps = 125) {
        HwParallelParams params{bitrate_kbps, 0x378, 7, 0};
        LibraryResult r{};
        Hardware_Initialize(HW_PARALLEL_DONGLE, &params, &r);
        ASSERT_EQ(r.code, 0) << r.text;
    }

    // Runs a call that starts a transfer and waits for its completion. A transfer
    // that does not end in time is cancelled before the test goes on, so the
    // library never writes into a buffer the test has let go.
    LibraryResult transfer(const std::function<void(LibraryResult*)>& start) {
        const std::size_t n = completionCount() + 1;
        LibraryResult r{};
        start(&r);
        if (r.code != 0) return r;
        if (!waitForCompletion(n)) {
            ADD_FAILURE() << "transfer did not complete in time";
            CANopen_Cancel();
            waitForCompletion(n);
        }
        return lastCompletion();
    }

    LibraryResult upload(std::uint8_t node, std::uint16_t index, std::uint8_t sub,
                         std::vector<std::uint8_t>& buffer, std::uint32_t capacity) {
        buffer.assign(capacity, 0);
        length = capacity;
        const LibraryResult r = transfer([&](LibraryResult* res) {
            CANopen_SDOUpload(node, index, sub, buffer.data(), &length, nullptr, onCompletion, res);
        });
        buffer.resize(length);
        return r;
    }

    LibraryResult download(std::uint8_t node, std::uint16_t index, std::uint8_t sub,
                           const std::vector<std::uint8_t>& data) {
        return transfer([&](LibraryResult* res) {
            CANopen_SDODownload(node, index, sub, data.data(),
                                static_cast<std::uint32_t>(data.size()), nullptr, onCompletion,
                                res);
        });
    }

    int port = 0;
    std::string channel;
    std::uint32_t length = 0;
    std::unique_ptr<testsupport::ChildProcess> bus, sim;
};

TEST_F(Library, NmtCommandsAndOwnFramesAreConfirmedAndAnswered) {
    Event_Transmit(recordSent);
    startSimulator({"--node", "5", "--heartbeat", "50"});
    openLibrary();
    // command -> specifier on the wire, and the heartbeat state that follows
    for (const auto& [command, cs, state] :
         {std::tuple{0, 0x01, 0x05}, {2, 0x80, 0x7F}, {1, 0x02, 0x04}}) {
        LibraryResult r{};
        CANopen_NMT(5, command, &r);
        ASSERT_EQ(r.code, 0);
        EXPECT_TRUE(waitUntil([&, cs = cs] { return confirmed(0x000, cs, 5); })) << command;
        EXPECT_TRUE(waitUntil([&, state = state] { return sawFrame(0x705, state); })) << command;
    }
    // Reset node to all nodes: a boot-up frame follows.
    LibraryResult r{};
    CANopen_NMT(0, 3, &r);
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(waitUntil([] { return confirmed(0x000, 0x81, 0); }));
    EXPECT_TRUE(waitUntil([] { return sawFrame(0x705, 0x00); }));
    // A frame of the caller's own: a read of 0x1000 that node 5 answers.
    CanFrame request{0x605, 8, 0, {0x40, 0x00, 0x10, 0, 0, 0, 0, 0}};
    CAN_Transmit(&request, &r);
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(waitUntil([] { return sawFrame(0x585, 0x43); }));
}

// The client and server engines meet at every size boundary: empty, one
// expedited byte, one segment, one block (889 bytes) and one over, the
// largest; segmented and block.
TEST_F(Library, TransfersOfEverySizeReadBackWithAndWithoutBlockMode) {
    startSimulator({"--node", "5"});
    for (const bool block : {false, true}) {
        setenv("MORVELLCANOPEN_BLOCK_UPLOAD", block ? "1" : "0", 1);
        setenv("MORVELLCANOPEN_BLOCK_DOWNLOAD_MIN", block ? "64" : "0", 1);
        openLibrary();
        for (std::size_t size : {0, 1, 7, 889, 890, 160000}) {
            std::vector<std::uint8_t> data(size);
            for (std::size_t i = 0; i < size; ++i)
                data[i] = static_cast<std::uint8_t>(i * 31 + size);
            auto r = download(5, 0x2101, 0, data);
            ASSERT_EQ(r.code, 0) << size << ": " << r.text;
            std::vector<std::uint8_t> back;
            r = upload(5, 0x2101, 0, back, 200000);
            ASSERT_EQ(r.code, 0) << size << ": " << r.text;
            EXPECT_EQ(back, data) << "size " << size << " block " << block;
        }
        Hardware_Close();
    }
}

TEST_F(Library, FailuresCarryTheirCodeAndTextAndTheNextTransferWorks) {
    startSimulator({"--node", "5"});
    openLibrary();
    std::vector<std::uint8_t> buf;
    auto r = upload(5, 0x6000, 0, buf, 8);
    EXPECT_EQ(r.code, 5);
    EXPECT_STREQ(r.text, "Object does not exist in the object dictionary (0x06020000)");
    EXPECT_EQ(upload(9, 0x1000, 0, buf, 4).code, 11) << "no such node";
    r = upload(5, 0x1000, 0, buf, 4);
    EXPECT_EQ(r.code, 0) << r.text;
}

// Callbacks that throw: the exception stops at the library's call, the I/O
// thread goes on receiving and completing transfers.
void throwingReceive(const CanFrame* f, std::int32_t status) {
    recordFrame(f, status);
    throw std::runtime_error("receive callback fault");
}
std::atomic<int> throwing_completions{0};
void throwingCompletion(const LibraryResult*) {
    ++throwing_completions;
    throw std::logic_error("completion callback fault");
}

TEST_F(Library, ExceptionsFromCallbacksStopAtTheLibrary) {
    Event_Receive(throwingReceive);
    startSimulator({"--node", "5", "--heartbeat", "50"});
    openLibrary();
    std::vector<std::uint8_t> buf(4);
    std::uint32_t capacity = 4;
    LibraryResult r{};
    CANopen_SDOUpload(5, 0x1000, 0, buf.data(), &capacity, nullptr, throwingCompletion, &r);
    ASSERT_EQ(r.code, 0) << r.text;
    EXPECT_TRUE(waitUntil([] { return throwing_completions.load() == 1; }));
    // The thread survived both: the next transfer completes, frames still arrive.
    std::vector<std::uint8_t> back;
    r = upload(5, 0x1000, 0, back, 4);
    EXPECT_EQ(r.code, 0) << r.text;
    {
        std::lock_guard lock(seen_mutex);
        seen.clear();
    }
    EXPECT_TRUE(waitUntil([] { return sawFrame(0x705, 0x7F) || sawFrame(0x705, 0x05); }));
}

// At 10 kbit/s a sub-block of 127 segments is longer on the bus than the
// response time: the wait for the server's acknowledgement starts only when
// the segments have had their time on the bus.
TEST_F(Library, BlockTransfersOfAWholeSubBlockWorkAtTenKbit) {
    bus.reset();
    bus = std::make_unique<testsupport::ChildProcess>(
        testsupport::programPath("quorbus"),
        std::vector<std::string>{"--port", std::to_string(port), "--bitrate", "10"});
    ASSERT_FALSE(bus->waitForLine("listening").empty()) << bus->errors();
    startSimulator({"--node", "5", "--bitrate", "10"});
    setenv("MORVELLCANOPEN_BLOCK_UPLOAD", "1", 1);
    setenv("MORVELLCANOPEN_BLOCK_DOWNLOAD_MIN", "64", 1);
    openLibrary(10);
    std::vector<std::uint8_t> data(127 * 7);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 29);
    auto r = download(5, 0x2101, 0, data);
    ASSERT_EQ(r.code, 0) << r.text;
    std::vector<std::uint8_t> back;
    r = upload(5, 0x2101, 0, back, 1000);
    ASSERT_EQ(r.code, 0) << r.text;
    EXPECT_EQ(back, data);
}

// On a paced bus transfers run at the bus's pace; a library opened at
// another bit rate is not heard and reports the errors its controller sees.
TEST_F(Library, PacedBusCarriesTransfersAndShutsOutAnotherBitRate) {
    bus.reset();  // the unpaced one
    bus = std::make_unique<testsupport::ChildProcess>(
        testsupport::programPath("quorbus"),
        std::vector<std::string>{"--port", std::to_string(port), "--bitrate", "125"});
    ASSERT_FALSE(bus->waitForLine("listening").empty()) << bus->errors();
    startSimulator({"--node", "5", "--bitrate", "125"});
    std::vector<std::uint8_t> data(890);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 13);
    for (const bool block : {false, true}) {
        setenv("MORVELLCANOPEN_BLOCK_UPLOAD", block ? "1" : "0", 1);
        setenv("MORVELLCANOPEN_BLOCK_DOWNLOAD_MIN", block ? "64" : "0", 1);
        openLibrary(125);
        auto r = download(5, 0x2101, 0, data);
        ASSERT_EQ(r.code, 0) << r.text;
        std::vector<std::uint8_t> back;
        r = upload(5, 0x2101, 0, back, 1000);
        ASSERT_EQ(r.code, 0) << r.text;
        EXPECT_EQ(back, data) << "block " << block;
        Hardware_Close();
    }
    {
        std::scoped_lock lock(errors_mutex, seen_mutex);
        error_codes.clear();
        seen.clear();
    }
    Event_MajorError(recordError);
    openLibrary(1000);
    const CanFrame request{0x605, 8, 0, {0x40, 0x00, 0x10, 0, 0, 0, 0, 0}};
    LibraryResult r{};
    CAN_Transmit(&request, &r);
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(waitUntil([] { return reportedError(MORVELL_ERROR_PROTOCOL); }));
    std::vector<std::uint8_t> buf;
    EXPECT_EQ(upload(5, 0x1000, 0, buf, 4).code, 11) << "the node never hears the request";
    EXPECT_FALSE(sawFrame(0x585, 0x43));
}

// The parameter number a refused call names, or -1 when it was not refused as a bad parameter.
int refusedParameter(const std::function<void(LibraryResult*)>& call) {
    LibraryResult r{};
    call(&r);
    return r.code == 4 ? static_cast<unsigned char>(r.text[0]) : -1;
}

TEST_F(Library, RefusalsReturnAtOnceWithoutCompletion) {
    std::vector<std::uint8_t> buf(8);
    std::uint32_t len = 8;
    LibraryResult r{};
    CANopen_SDOUpload(5, 0x1000, 0, buf.data(), &len, nullptr, onCompletion, &r);
    EXPECT_EQ(r.code, 8) << "not open";
    setenv("MORVELLCANOPEN_CHANNEL", "pcan:usb", 1);
    HwBaudParams baud{125};
    Hardware_Initialize(HW_USB, &baud, &r);  // what each channel kind says: tests/transport
    EXPECT_EQ(r.code, 7);
    EXPECT_NE(std::string(r.text).find("unknown channel"), std::string::npos) << r.text;
    setenv("MORVELLCANOPEN_CHANNEL", channel.c_str(), 1);

    startSimulator({"--node", "5"});
    openLibrary();
    const auto uploadCall = [&](std::uint8_t node, std::uint32_t index, std::uint8_t* data,
                                std::uint32_t* length) {
        return [=](LibraryResult* res) {
            CANopen_SDOUpload(node, index, 0, data, length, nullptr, onCompletion, res);
        };
    };
    EXPECT_EQ(refusedParameter(uploadCall(0, 0x1000, buf.data(), &len)), 1);
    EXPECT_EQ(refusedParameter(uploadCall(5, 0x1000, nullptr, &len)), 4);
    EXPECT_EQ(refusedParameter([](LibraryResult* res) { CANopen_NMT(5, 4, res); }), 2);
    EXPECT_EQ(refusedParameter([](LibraryResult* res) {
                  CanFrame f{};
                  f.length = 9;
                  CAN_Transmit(&f, res);
              }),
              1);
    EXPECT_EQ(refusedParameter([&](LibraryResult* res) { Hardware_Initialize(6, &baud, res); }), 1);
    baud.baudKbps = 100;
    EXPECT_EQ(refusedParameter([&](LibraryResult* res) { Hardware_Initialize(2, &baud, res); }), 2);
    // The refused Hardware_Initialize calls left the interface open; no refusal completed.
    EXPECT_EQ(upload(5, 0x1000, 0, buf, 4).code, 0);
    EXPECT_EQ(completionCount(), 1u);
}

TEST_F(Library, PlainCProgramRunsEveryTransferKind) {
    startSimulator({"--node", "5", "--node", "6"});
    testsupport::ChildProcess demo(testsupport::programPath("morvell_demo"), {"5", "6"});
    EXPECT_EQ(demo.wait(std::chrono::seconds(60)), 0) << demo.output() << demo.errors();
    EXPECT_NE(demo.output().find("demo complete"), std::string::npos) << demo.output();
    EXPECT_NE(demo.output().find("by block transfer"), std::string::npos) << demo.output();
}

// The bus going away (an unplugged adapter; here the gateway ends) reaches the
// error callback; opening fails while it is gone and works once it is back.
TEST_F(Library, AVanishedBusIsReportedAndOpensAgainOnceBack) {
    {
        std::lock_guard lock(errors_mutex);
        error_codes.clear();
    }
    Event_MajorError(recordError);
    Event_Transmit(recordSent);
    // A gateway channel: the library does not start a hub of its own.
    const std::string gateway = "socketcand:127.0.0.1:" + std::to_string(port) + "/itest";
    setenv("MORVELLCANOPEN_CHANNEL", gateway.c_str(), 1);
    openLibrary();
    bus.reset();
    EXPECT_TRUE(waitUntil([] {
        std::lock_guard lock(errors_mutex);
        return error_codes == std::vector<std::int32_t>{MORVELL_ERROR_CONNECTION_LOST};
    }));
    CanFrame frame{0x123, 1, 0, {0x42}};
    LibraryResult r{};
    CAN_Transmit(&frame, &r);
    EXPECT_EQ(r.code, 8);
    HwParallelParams params{125, 0x378, 7, 0};
    Hardware_Initialize(HW_PARALLEL_DONGLE, &params, &r);
    EXPECT_EQ(r.code, 7) << r.text;

    bus = std::make_unique<testsupport::ChildProcess>(
        testsupport::programPath("quorbus"),
        std::vector<std::string>{"--port", std::to_string(port)});
    ASSERT_FALSE(bus->waitForLine("listening").empty()) << bus->errors();
    openLibrary();
    CAN_Transmit(&frame, &r);
    ASSERT_EQ(r.code, 0) << r.text;
    EXPECT_TRUE(waitUntil([] {
        std::lock_guard lock(sent_mutex);
        return !sent_frames.empty() && sent_frames.back().id == 0x123;
    }));
}

}  // namespace
}  // namespace integration
