// The ten functions against simulated nodes over real sockets:
// library -> quorbus -> quorsim.
#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>

#include "bus_fixture.h"

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
bool sawFrame(std::uint32_t id, int first_byte = -1) {
    std::lock_guard lock(seen_mutex);
    for (const auto& f : seen)
        if (f.id == id && (first_byte < 0 || (f.length > 0 && f.data[0] == first_byte)))
            return true;
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

std::vector<std::uint8_t> pattern(std::size_t n, unsigned seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 31 + seed);
    return v;
}

class Library : public SimulatedNetwork {
protected:
    void SetUp() override {
        SimulatedNetwork::SetUp();
        std::scoped_lock lock(seen_mutex, sent_mutex);
        seen.clear();
        sent_frames.clear();
        Event_Receive(recordFrame);
    }
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

TEST_F(Library, TransfersOfEverySizeReadBackWithAndWithoutBlockMode) {
    startSimulator({"--node", "5"});
    for (const bool block : {false, true}) {
        setenv("MORVELLCANOPEN_BLOCK_UPLOAD", block ? "1" : "0", 1);
        setenv("MORVELLCANOPEN_BLOCK_DOWNLOAD_MIN", block ? "64" : "0", 1);
        openLibrary();
        for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{889},
                                 std::size_t{890}, std::size_t{160000}}) {
            const auto data = pattern(size, static_cast<unsigned>(size));
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
    r = download(5, 0x2001, 0, {1, 2, 3, 4});  // read-only
    EXPECT_EQ(r.code, 5);
    EXPECT_NE(std::string(r.text).find("0x06010002"), std::string::npos) << r.text;
    EXPECT_EQ(upload(9, 0x1000, 0, buf, 4).code, 11) << "no such node";
    // Injected server faults (each kind's effect is pinned in tests/protocol).
    for (const auto& [fault, index, text] : {std::tuple{"abort 0x08000020", 0x1000, "0x08000020"},
                                             std::tuple{"crc", 0x2100, "0x05040004"}}) {
        simCommand(std::string("fault 5 ") + fault);
        r = upload(5, static_cast<std::uint16_t>(index), 0, buf, 200000);
        EXPECT_EQ(r.code, 5) << fault << ": " << r.text;
        EXPECT_NE(std::string(r.text).find(text), std::string::npos) << fault << ": " << r.text;
        simCommand("fault 5 none");
    }
    r = upload(5, 0x1000, 0, buf, 4);
    EXPECT_EQ(r.code, 0) << r.text;
}

TEST_F(Library, CancelAbortsARunningTransfer) {
    startSimulator({"--node", "5"});
    setenv("MORVELLCANOPEN_BLOCK_UPLOAD", "0", 1);
    openLibrary();
    std::vector<std::uint8_t> buf(200000);
    length = 200000;
    LibraryResult r{};
    CANopen_SDOUpload(5, 0x2101, 0, buf.data(), &length, nullptr, onCompletion, &r);
    ASSERT_EQ(r.code, 0);
    CANopen_Cancel();
    ASSERT_TRUE(waitForCompletion(1));
    EXPECT_EQ(lastCompletion().code, 1);
    EXPECT_EQ(upload(5, 0x1000, 0, buf, 4).code, 0);
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
    EXPECT_EQ(refusedParameter(uploadCall(5, 0x10000, buf.data(), &len)), 2);
    EXPECT_EQ(refusedParameter(uploadCall(5, 0x1000, nullptr, &len)), 4);
    EXPECT_EQ(refusedParameter(uploadCall(5, 0x1000, buf.data(), nullptr)), 5);
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

std::mutex errors_mutex;
std::vector<std::int32_t> errors_seen;
void recordError(std::int32_t code) {
    std::lock_guard lock(errors_mutex);
    errors_seen.push_back(code);
}

TEST_F(Library, EmergenciesAndBusErrorsReachTheirCallbacks) {
    {
        std::lock_guard lock(errors_mutex);
        errors_seen.clear();
    }
    Event_MajorError(recordError);
    startSimulator({"--node", "5"});
    openLibrary();
    simCommand("emcy 5 0x8110");
    EXPECT_TRUE(waitUntil([] {
        std::lock_guard lock(seen_mutex);
        for (const auto& f : seen)
            if (f.id == 0x85 && f.length == 8 && f.data[0] == 0x10 && f.data[1] == 0x81)
                return true;
        return false;
    }));
    simCommand("buserror passive");
    simCommand("buserror busoff");
    simCommand("buserror cleared");
    const std::vector<std::int32_t> expected{MORVELL_ERROR_PASSIVE, MORVELL_ERROR_BUS_OFF,
                                             MORVELL_ERROR_CLEARED};
    EXPECT_TRUE(waitUntil([&] {
        std::lock_guard lock(errors_mutex);
        return errors_seen == expected;
    }));
    // Error frames are not data: the receive callback saw none of them
    // (their error classes would appear as identifiers 0x004 and 0x040).
    EXPECT_FALSE(sawFrame(0x004));
    EXPECT_FALSE(sawFrame(0x040));
}

TEST_F(Library, PlainCProgramRunsEveryTransferKind) {
    startSimulator({"--node", "5", "--node", "6"});
    testsupport::ChildProcess demo(testsupport::programPath("morvell_demo"), {"5", "6"});
    EXPECT_EQ(demo.wait(std::chrono::seconds(60)), 0) << demo.output() << demo.errors();
    EXPECT_NE(demo.output().find("demo complete"), std::string::npos) << demo.output();
    EXPECT_NE(demo.output().find("by block transfer"), std::string::npos) << demo.output();
}

}  // namespace
}  // namespace integration
