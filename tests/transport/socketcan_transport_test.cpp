#include "transport/socketcan_transport.h"

#include <gtest/gtest.h>
#include <linux/can/error.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <tuple>

#include "protocol/can_frame.h"

namespace morvell::transport {
namespace {

can_frame kernelFrame(canid_t id, std::initializer_list<std::uint8_t> bytes) {
    can_frame f{};
    f.can_id = id;
    f.len = static_cast<std::uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), f.data);
    return f;
}

TEST(SocketcanConversion, FramesBothWays) {
    struct Row {
        CanFrame frame;
        canid_t kernel_id;
        std::uint8_t kernel_len;
    } rows[] = {
        {makeFrame(0x7FF, {1, 2, 3, 4, 5, 6, 7, 8}), 0x7FF, 8},
        {makeFrame(0x1FFFFFFF, {0xAA}, CANFRAME_FLAG_EXTENDED), 0x1FFFFFFF | CAN_EFF_FLAG, 1},
        {makeFrame(0x1ABCDE, {}, CANFRAME_FLAG_EXTENDED | CANFRAME_FLAG_REMOTE),
         0x1ABCDE | CAN_EFF_FLAG | CAN_RTR_FLAG, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(toString(row.frame));
        const can_frame k = toKernelFrame(row.frame);
        EXPECT_EQ(k.can_id, row.kernel_id);
        EXPECT_EQ(k.len, row.kernel_len);
        EXPECT_EQ(std::memcmp(k.data, row.frame.data, k.len), 0);
        EXPECT_TRUE(sameFrame(fromKernelFrame(k), row.frame)) << toString(fromKernelFrame(k));
        EXPECT_FALSE(isKernelErrorFrame(k));
    }
}

// Remote frames keep their length but carry no data; lengths above 8 are clamped.
TEST(SocketcanConversion, OneWayCases) {
    CanFrame long_frame = makeFrame(0x100, {1, 2, 3, 4, 5, 6, 7, 8});
    long_frame.length = 15;
    EXPECT_EQ(toKernelFrame(long_frame).len, 8);
    const can_frame k = toKernelFrame(makeFrame(0x701, {9, 9, 9, 9}, CANFRAME_FLAG_REMOTE));
    EXPECT_EQ(k.len, 4);
    EXPECT_EQ(k.data[0], 0);

    can_frame long_kernel = kernelFrame(0x100, {1});
    long_kernel.len = 12;
    EXPECT_EQ(fromKernelFrame(long_kernel).length, 8);
    const CanFrame remote = fromKernelFrame(kernelFrame(0x701 | CAN_RTR_FLAG, {7, 7}));
    EXPECT_EQ(remote.length, 2);
    EXPECT_EQ(remote.flags, CANFRAME_FLAG_REMOTE);
    EXPECT_EQ(remote.data[0], 0);
}

// Rows: error class, controller byte, codes; worse states win, clearing comes first.
TEST(SocketcanErrorFrames, DecodeToMorvellCodes) {
    using V = std::vector<std::int32_t>;
    constexpr std::uint32_t kCrtl = CAN_ERR_CRTL;
    constexpr std::int32_t kBusOff = MORVELL_ERROR_BUS_OFF, kWarning = MORVELL_ERROR_WARNING,
                           kPassive = MORVELL_ERROR_PASSIVE, kRxOver = MORVELL_ERROR_RX_OVERFLOW,
                           kTxFailed = MORVELL_ERROR_TX_FAILED, kProtocol = MORVELL_ERROR_PROTOCOL,
                           kCleared = MORVELL_ERROR_CLEARED;
    const std::tuple<std::uint32_t, std::uint8_t, V> rows[] = {
        {CAN_ERR_BUSOFF, 0, {kBusOff}},
        {kCrtl, CAN_ERR_CRTL_TX_WARNING, {kWarning}},
        {kCrtl, CAN_ERR_CRTL_RX_WARNING | CAN_ERR_CRTL_TX_PASSIVE, {kPassive}},
        {kCrtl, CAN_ERR_CRTL_TX_OVERFLOW, {kTxFailed}},
        {CAN_ERR_PROT | CAN_ERR_ACK | CAN_ERR_BUSERROR, 0, {kProtocol}},
        {kCrtl, CAN_ERR_CRTL_ACTIVE, {kCleared}},
        {CAN_ERR_RESTARTED | CAN_ERR_PROT, 0, {kCleared, kProtocol}},
        {kCrtl, CAN_ERR_CRTL_RX_OVERFLOW | CAN_ERR_CRTL_RX_WARNING, {kRxOver, kWarning}},
        {CAN_ERR_LOSTARB, 0, {}},
    };
    for (const auto& [error_class, controller, codes] : rows) {
        CanFrame frame = makeFrame(error_class, {0, controller, 0, 0, 0, 0, 0, 0});
        EXPECT_EQ(errorCodesOfErrorFrame(frame), codes) << error_class << "/" << int{controller};
    }
}

TEST(SocketcanReceive, MessageFlagsAndErrorFramesBecomeEvents) {
    using Kind = TransportEvent::Kind;
    constexpr int kBothFlags = MSG_CONFIRM | MSG_DONTROUTE;
    constexpr canid_t kRestartedNoAck = CAN_ERR_FLAG | CAN_ERR_RESTARTED | CAN_ERR_ACK;
    struct Row {
        const char* what;
        can_frame frame;
        int msg_flags;
        std::vector<Kind> kinds;
        std::int32_t status;
    } rows[] = {
        {"from the wire", kernelFrame(0x181, {1, 2}), 0, {Kind::Frame}, 1},
        {"another local socket", kernelFrame(0x181, {1, 2}), MSG_DONTROUTE, {Kind::Frame}, 0},
        {"our own, both flags", kernelFrame(0x181, {}), kBothFlags, {Kind::Sent}, 0},
        {"error frame", kernelFrame(kRestartedNoAck, {}), 0, {Kind::BusError, Kind::BusError}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<TransportEvent> events;
        appendEventsForKernelFrame(row.frame, row.msg_flags, events);
        ASSERT_EQ(events.size(), row.kinds.size());
        for (std::size_t i = 0; i < events.size(); ++i) {
            EXPECT_EQ(events[i].kind, row.kinds[i]);
            if (row.kinds[i] == Kind::BusError) continue;
            EXPECT_EQ(events[i].status, row.status);
            EXPECT_TRUE(sameFrame(events[i].frame, fromKernelFrame(row.frame)));
        }
    }
}

TEST(SocketcanReceive, DropCounterReportsGrowthAndSurvivesTheWrap) {
    DropCounter drops;
    struct Step {
        std::uint32_t kernel;
        std::uint32_t new_drops;
        std::uint64_t total;
    } steps[] = {
        {0, 0, 0}, {3, 3, 3}, {3, 0, 3}, {0xFFFFFFFE, 0xFFFFFFFB, 0xFFFFFFFE}, {1, 3, 0x100000001},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.kernel);
        EXPECT_EQ(drops.update(step.kernel), step.new_drops);
        EXPECT_EQ(drops.total(), step.total);
    }
}

// An unplugged adapter (ENODEV) or an interface set down (ENETDOWN) is named
// with the way back; other errors keep the system's text.
TEST(SocketcanReceive, FailureTextNamesAVanishedInterface) {
    EXPECT_EQ(receiveFailureText("can1", ENODEV),
              "CAN interface 'can1' is gone (adapter unplugged or interface removed): open it "
              "again once it is back");
    EXPECT_EQ(receiveFailureText("can1", ENETDOWN),
              "CAN interface 'can1' went down: run 'sudo ip link set can1 up' and open it again");
    EXPECT_EQ(receiveFailureText("can1", EIO),
              std::string("socketcan:can1: receive failed: ") + std::strerror(EIO));
}

// A scripted interface: bit rate, and whether changes are permitted.
class FakeLink : public CanLinkControl {
public:
    std::optional<std::uint32_t> rate;
    bool permitted = false;
    std::vector<std::string> calls;

    std::optional<std::uint32_t> bitrate(const std::string&) override { return rate; }
    bool stop(const std::string&) override { return record("stop"); }
    bool setBitrate(const std::string&, std::uint32_t bits) override {
        if (permitted) rate = bits;
        return record("set " + std::to_string(bits));
    }
    bool start(const std::string&) override { return record("start"); }

private:
    bool record(std::string call) {
        calls.push_back(std::move(call));
        return permitted;
    }
};

// Rows: current rate (none on vcan), changes permitted, calls made, error.
TEST(SocketcanBitrate, AcceptedSetOrRefusedWithTheCommand) {
    using V = std::vector<std::string>;
    const std::string run =
        "without privileges: run 'sudo ip link set can0 down && sudo ip link set can0 type can "
        "bitrate 125000 && sudo ip link set can0 up'";
    const std::string wrong =
        "can0 runs at 500 kbit/s, not 125 kbit/s, and cannot be changed " + run;
    const std::string unset = "can0 has no bit rate set and it cannot be set " + run;
    const std::tuple<std::optional<std::uint32_t>, bool, V, std::string> rows[] = {
        {std::nullopt, false, {}, ""},
        {125000, false, {}, ""},
        {500000, true, {"stop", "set 125000", "start"}, ""},
        {500000, false, {"stop"}, wrong},
        {0, false, {"stop"}, unset},
    };
    for (const auto& [rate, permitted, calls, expected] : rows) {
        FakeLink link;
        link.rate = rate;
        link.permitted = permitted;
        EXPECT_EQ(ensureBitrate(link, "can0", 125), expected);
        EXPECT_EQ(link.calls, calls) << expected;
    }
}

TEST(SocketcanOpen, FailsWithATextNamingTheFix) {
    const int probe = socket(PF_CAN, SOCK_RAW, CAN_RAW);
    if (probe >= 0) close(probe);
    const std::string expected =
        probe >= 0
            ? "CAN interface 'nosuchcan7' does not exist: check 'ip link show type can', or set "
              "MORVELLCANOPEN_CHANNEL to another channel (socketcan:IFACE, socketcand:HOST/IFACE, "
              "virtual)"
            : "This kernel has no SocketCAN support (socket: Address family not supported by "
              "protocol). Load it with 'sudo modprobe can_raw', or choose another channel, e.g. "
              "MORVELLCANOPEN_CHANNEL=virtual";
    FakeLink link;
    std::string error;
    EXPECT_FALSE(SocketCanTransport::open("nosuchcan7", 125, link, &error));
    EXPECT_EQ(error, expected);
    EXPECT_LT(error.size(), 280u);
    EXPECT_TRUE(link.calls.empty());
}

}  // namespace
}  // namespace morvell::transport
