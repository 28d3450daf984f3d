// The ten functions against simulated nodes over real sockets:
// library -> quorbus -> quorsim.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <thread>

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
        {
            std::lock_guard lock(seen_mutex);
            seen.clear();
        }
        Event_Receive(recordFrame);
    }
};

TEST_F(Library, NmtCommandsChangeTheNodeState) {
    {
        std::lock_guard lock(sent_mutex);
        sent_frames.clear();
    }
    Event_Transmit(recordSent);
    startSimulator({"--node", "5", "--heartbeat", "50"});
    openLibrary();
    struct Case {
        int command;
        int heartbeat_state;
    };
    for (const Case c : {Case{1, 0x04}, Case{0, 0x05}, Case{2, 0x7F}}) {
        LibraryResult r{};
        CANopen_NMT(5, c.command, &r);
        ASSERT_EQ(r.code, 0);
        {
            std::lock_guard lock(seen_mutex);
            seen.clear();
        }
        EXPECT_TRUE(waitUntil([&] { return sawFrame(0x705, c.heartbeat_state); }))
            << "command " << c.command;
    }
    // Reset node to all nodes: a boot-up frame follows.
    LibraryResult r{};
    CANopen_NMT(0, 3, &r);
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(waitUntil([&] { return sawFrame(0x705, 0x00); }));
    // Each command was confirmed on the bus as [command specifier, node].
    for (const auto& [cs, node] : {std::pair{0x02, 5}, {0x01, 5}, {0x80, 5}, {0x81, 0}})
        EXPECT_TRUE(waitUntil([&, cs = cs, node = node] { return confirmed(0x000, cs, node); }))
            << std::hex << cs;
}

TEST_F(Library, UploadsOfEveryKind) {
    startSimulator({"--node", "5"});
    for (const char* block : {"0", "1"}) {
        setenv("MORVELLCANOPEN_BLOCK_UPLOAD", block, 1);
        openLibrary();
        std::vector<std::uint8_t> buf;
        auto r = upload(5, 0x1018, 4, buf, 4);  // expedited
        ASSERT_EQ(r.code, 0) << r.text;
        EXPECT_EQ(buf.size(), 4u);
        r = upload(5, 0x1008, 0, buf, 100);  // segmented (or block)
        ASSERT_EQ(r.code, 0) << r.text;
        EXPECT_GT(buf.size(), 4u);
        r = upload(5, 0x2101, 0, buf, 200000);  // the large domain, pattern i*7
        ASSERT_EQ(r.code, 0) << r.text;
        ASSERT_EQ(buf.size(), 200000u);
        for (std::size_t i = 0; i < buf.size(); i += 997)
            ASSERT_EQ(buf[i], static_cast<std::uint8_t>(i * 7)) << "at " << i;
        Hardware_Close();
    }
}

TEST_F(Library, DownloadsOfEveryKindReadBack) {
    startSimulator({"--node", "5"});
    for (const char* block_min : {"0", "64"}) {
        setenv("MORVELLCANOPEN_BLOCK_DOWNLOAD_MIN", block_min, 1);
        openLibrary();
        for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{889},
                                 std::size_t{890}, std::size_t{160000}}) {
            const auto data = pattern(size, static_cast<unsigned>(size));
            auto r = download(5, 0x2101, 0, data);
            ASSERT_EQ(r.code, 0) << size << ": " << r.text;
            std::vector<std::uint8_t> back;
            r = upload(5, 0x2101, 0, back, 200000);
            ASSERT_EQ(r.code, 0) << size << ": " << r.text;
            EXPECT_EQ(back, data) << "size " << size << " block_min " << block_min;
        }
        const std::vector<std::uint8_t> value{0x44, 0x33, 0x22, 0x11};
        ASSERT_EQ(download(5, 0x2000, 1, value).code, 0);
        std::vector<std::uint8_t> back;
        ASSERT_EQ(upload(5, 0x2000, 1, back, 4).code, 0);
        EXPECT_EQ(back, value);
        Hardware_Close();
    }
}

TEST_F(Library, FailuresCarryTheirCodeAndText) {
    startSimulator({"--node", "5"});
    openLibrary();
    std::vector<std::uint8_t> buf;
    auto r = upload(5, 0x6000, 0, buf, 8);
    EXPECT_EQ(r.code, 5);
    EXPECT_STREQ(r.text, "Object does not exist in the object dictionary (0x06020000)");

    r = download(5, 0x2001, 0, {1, 2, 3, 4});  // read-only
    EXPECT_EQ(r.code, 5);
    EXPECT_NE(std::string(r.text).find("0x06010002"), std::string::npos) << r.text;

    r = upload(5, 0x2100, 0, buf, 100);  // 1000 bytes into 100: never cut silently
    EXPECT_EQ(r.code, 5);
    EXPECT_NE(std::string(r.text).find("0x05040005"), std::string::npos) << r.text;

    r = upload(9, 0x1000, 0, buf, 4);  // no such node
    EXPECT_EQ(r.code, 11);

    // The next transfer works after each failure.
    r = upload(5, 0x1000, 0, buf, 4);
    EXPECT_EQ(r.code, 0) << r.text;
}

TEST_F(Library, InjectedFaultsEndTransfersCleanly) {
    startSimulator({"--node", "5"});
    openLibrary();
    struct Case {
        const char* fault;
        std::uint16_t index;
        int code;
        const char* text;
    };
    const Case cases[] = {
        {"fault 5 toggle", 0x1008, 5, "0x05030000"},
        {"fault 5 abort 0x08000020", 0x1000, 5, "0x08000020"},
        {"fault 5 noanswer", 0x1000, 11, ""},
        {"fault 5 short", 0x1000, 5, ""},
        {"fault 5 crc", 0x2100, 5, "0x05040004"},
    };
    std::vector<std::uint8_t> buf;
    for (const auto& c : cases) {
        simCommand(c.fault);
        const auto r = upload(5, c.index, 0, buf, 200000);
        EXPECT_EQ(r.code, c.code) << c.fault << ": " << r.text;
        EXPECT_NE(std::string(r.text).find(c.text), std::string::npos) << c.fault << ": " << r.text;
        simCommand("fault 5 none");
        EXPECT_EQ(upload(5, 0x1000, 0, buf, 4).code, 0) << "after " << c.fault;
    }
    // A delayed answer within the time-out still succeeds.
    simCommand("fault 5 delay 50");
    EXPECT_EQ(upload(5, 0x1008, 0, buf, 100).code, 0);
    simCommand("fault 5 none");
    // A server without block transfer is read and written all the same.
    simCommand("block 5 off");
    EXPECT_EQ(upload(5, 0x2100, 0, buf, 1000).code, 0);
    EXPECT_EQ(download(5, 0x2100, 0, pattern(1000, 3)).code, 0);
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
    ASSERT_TRUE(completions.waitFor(1));
    EXPECT_EQ(completions.last().code, 1);
    EXPECT_EQ(upload(5, 0x1000, 0, buf, 4).code, 0);
}

TEST_F(Library, RefusalsReturnAtOnceWithoutCompletion) {
    std::vector<std::uint8_t> buf(8);
    std::uint32_t len = 8;
    LibraryResult r{};
    CANopen_SDOUpload(5, 0x1000, 0, buf.data(), &len, nullptr, onCompletion, &r);
    EXPECT_EQ(r.code, 8) << "not open";

    startSimulator({"--node", "5"});
    openLibrary();
    struct ParamCase {
        const char* what;
        std::function<void(LibraryResult*)> call;
        int parameter;
    };
    const ParamCase cases[] = {
        {"node 0",
         [&](LibraryResult* res) {
             CANopen_SDOUpload(0, 0x1000, 0, buf.data(), &len, nullptr, onCompletion, res);
         },
         1},
        {"node 128",
         [&](LibraryResult* res) {
             CANopen_SDODownload(128, 0x1000, 0, buf.data(), 1, nullptr, onCompletion, res);
         },
         1},
        {"index",
         [&](LibraryResult* res) {
             CANopen_SDOUpload(5, 0x10000, 0, buf.data(), &len, nullptr, onCompletion, res);
         },
         2},
        {"buffer",
         [&](LibraryResult* res) {
             CANopen_SDOUpload(5, 0x1000, 0, nullptr, &len, nullptr, onCompletion, res);
         },
         4},
        {"length",
         [&](LibraryResult* res) {
             CANopen_SDOUpload(5, 0x1000, 0, buf.data(), nullptr, nullptr, onCompletion, res);
         },
         5},
        {"nmt command 4", [&](LibraryResult* res) { CANopen_NMT(5, 4, res); }, 2},
        {"nmt node 128", [&](LibraryResult* res) { CANopen_NMT(128, 0, res); }, 1},
        {"frame length 9",
         [&](LibraryResult* res) {
             CanFrame f{};
             f.length = 9;
             CAN_Transmit(&f, res);
         },
         1},
        {"hardware code 6",
         [&](LibraryResult* res) {
             HwBaudParams p{125};
             Hardware_Initialize(6, &p, res);
         },
         1},
        {"bit rate 100",
         [&](LibraryResult* res) {
             HwBaudParams p{100};
             Hardware_Initialize(2, &p, res);
         },
         2},
    };
    for (const auto& c : cases) {
        LibraryResult res{};
        c.call(&res);
        EXPECT_EQ(res.code, 4) << c.what;
        EXPECT_EQ(static_cast<unsigned char>(res.text[0]), c.parameter) << c.what;
    }
    // The refused Hardware_Initialize calls left the interface open.
    simCommand("fault 5 delay 200");
    len = 8;
    CANopen_SDOUpload(5, 0x1000, 0, buf.data(), &len, nullptr, onCompletion, &r);
    ASSERT_EQ(r.code, 0) << r.text;
    std::vector<std::uint8_t> other(8);
    std::uint32_t other_len = 8;
    LibraryResult busy{};
    CANopen_SDOUpload(5, 0x1000, 0, other.data(), &other_len, nullptr, onCompletion, &busy);
    EXPECT_EQ(busy.code, 8);
    ASSERT_TRUE(completions.waitFor(1));
    EXPECT_EQ(completions.last().code, 0);
    // Only the started transfer completed.
    Hardware_Close();
    EXPECT_EQ(completions.count(), 1u);
}

TEST_F(Library, OpeningFailuresNameTheFix) {
    struct Case {
        const char* channel;
        const char* expected;
    };
    const Case cases[] = {
        {"socketcan:can0", "SocketCAN"},
        {"pcan:usb", "unknown channel"},
        {"socketcand:127.0.0.1:1/can0", "socketcand"},
    };
    for (const auto& c : cases) {
        setenv("MORVELLCANOPEN_CHANNEL", c.channel, 1);
        HwBaudParams p{250};
        LibraryResult r{};
        Hardware_Initialize(HW_USB, &p, &r);
        EXPECT_EQ(r.code, 7) << c.channel;
        EXPECT_NE(std::string(r.text).find(c.expected), std::string::npos) << r.text;
    }
}

TEST_F(Library, EmergencyAndHeartbeatReachTheReceiveCallback) {
    startSimulator({"--node", "5", "--node", "6"});
    openLibrary();
    simCommand("emcy 6 0x8110");
    EXPECT_TRUE(waitUntil([] {
        std::lock_guard lock(seen_mutex);
        for (const auto& f : seen)
            if (f.id == 0x86 && f.length == 8 && f.data[0] == 0x10 && f.data[1] == 0x81)
                return true;
        return false;
    }));
}

std::mutex errors_mutex;
std::vector<std::int32_t> errors_seen;
void recordError(std::int32_t code) {
    std::lock_guard lock(errors_mutex);
    errors_seen.push_back(code);
}

TEST_F(Library, BusErrorsOnTheVirtualBusReachTheErrorCallback) {
    {
        std::lock_guard lock(errors_mutex);
        errors_seen.clear();
    }
    Event_MajorError(recordError);
    startSimulator({"--node", "5"});
    openLibrary();
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

TEST_F(Library, FramesCrossToAPythonCanClient) {
    if (std::system("/usr/bin/python3 -c 'import can' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3-can is not installed";
    testsupport::ChildProcess peer("/usr/bin/python3", {std::string(QUORVANE_SOURCE_DIR) +
                                                            "/tests/integration/python_can_echo.py",
                                                        std::to_string(port), "itest", "2"});
    ASSERT_FALSE(peer.waitForLine("ready").empty()) << peer.errors();
    openLibrary();
    CanFrame standard{};
    standard.id = 0x123;
    standard.length = 3;
    standard.data[0] = 0xAA;
    standard.data[1] = 0xBB;
    standard.data[2] = 0xCC;
    CanFrame extended{};
    extended.id = 0x1234567;
    extended.flags = CANFRAME_FLAG_EXTENDED;
    extended.length = 1;
    extended.data[0] = 0x42;
    LibraryResult r{};
    CAN_Transmit(&standard, &r);
    ASSERT_EQ(r.code, 0);
    ASSERT_FALSE(peer.waitForLine("echo 123 std aabbcc").empty()) << peer.output() << peer.errors();
    CAN_Transmit(&extended, &r);
    ASSERT_EQ(r.code, 0);
    ASSERT_FALSE(peer.waitForLine("echo 1234567 ext 42").empty()) << peer.output() << peer.errors();
    EXPECT_TRUE(waitUntil([] { return sawFrame(0x124, 0xAA); }));
    EXPECT_TRUE(waitUntil([] {
        std::lock_guard lock(seen_mutex);
        for (const auto& f : seen)
            if (f.id == 0x1234568 && (f.flags & CANFRAME_FLAG_EXTENDED) && f.data[0] == 0x42)
                return true;
        return false;
    }));
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
