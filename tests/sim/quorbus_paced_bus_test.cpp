// The paced bus in virtual time: frame timing, arbitration among the
// controllers' first frames, FIFO order within one controller; the load
// meter's window; a mismatched controller's error frames.
#include <gtest/gtest.h>
#include <linux/can/error.h>

#include <string>
#include <vector>

#include "bus_load.h"
#include "mismatched_controller.h"
#include "paced_bus.h"
#include "protocol/can_frame.h"
#include "protocol/frame_duration.h"

namespace {

using namespace std::chrono_literals;
using quorbus::BusFrame;
using quorbus::BusTime;
using quorbus::PacedBus;

constexpr std::uint32_t kBitrate = 125000;  // 8 us per bit

CanFrame frame(std::uint32_t id, std::initializer_list<std::uint8_t> bytes = {}) {
    return morvell::makeFrame(id, bytes);
}

std::chrono::nanoseconds bits(const CanFrame& f, int minus = 0) {
    return morvell::bitTime(morvell::frameBits(f).total - minus, kBitrate);
}

std::vector<std::string> order(const std::vector<BusFrame>& ended) {
    std::vector<std::string> texts;
    for (const BusFrame& f : ended) texts.push_back(morvell::toString(f.frame));
    return texts;
}

class PacedBusTest : public ::testing::Test {
protected:
    std::vector<BusFrame> advanceTo(BusTime t) {
        std::vector<BusFrame> ended;
        bus.advance(t, ended);
        return ended;
    }
    PacedBus bus{kBitrate};
    BusTime t0 = BusTime{} + 1s;
};

TEST_F(PacedBusTest, FrameOnAnIdleBusStartsAtOnceAndEndsAfterItsBits) {
    const CanFrame f = frame(0x000);  // 53 bits: 50 to the end of EOF, 3 intermission
    bus.submit(1, f, t0);
    EXPECT_TRUE(advanceTo(t0).empty());
    ASSERT_EQ(bus.nextDeadline(), t0 + 50 * 8us);
    EXPECT_TRUE(advanceTo(t0 + 399us).empty());
    const auto ended = advanceTo(t0 + 400us);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].sender, 1u);
    EXPECT_EQ(ended[0].start, t0);
    EXPECT_EQ(ended[0].end, t0 + 400us);
    EXPECT_EQ(ended[0].idle, t0 + 424us);
    EXPECT_FALSE(bus.nextDeadline());
    EXPECT_EQ(bus.pending(), 0u);
}

TEST_F(PacedBusTest, ThreeSendersWaitingLeaveInIdentifierOrderBackToBack) {
    const CanFrame busy = frame(0x700, {1, 2, 3, 4, 5, 6, 7, 8});
    bus.submit(1, busy, t0);
    advanceTo(t0);
    bus.submit(2, frame(0x300, {0x33}), t0 + 10us);
    bus.submit(3, frame(0x100, {0x11}), t0 + 20us);
    bus.submit(4, frame(0x200, {0x22}), t0 + 30us);
    const auto ended = advanceTo(t0 + 1s);  // one late call returns them all
    EXPECT_EQ(order(ended),
              (std::vector<std::string>{"700#0102030405060708", "100#11", "200#22", "300#33"}));
    ASSERT_EQ(ended.size(), 4u);
    for (std::size_t i = 1; i < ended.size(); ++i) {
        EXPECT_EQ(ended[i].start, ended[i - 1].idle) << i;
        EXPECT_EQ(ended[i].idle - ended[i].start, bits(ended[i].frame)) << i;
    }
    EXPECT_EQ((std::vector<std::uint64_t>{ended[1].sender, ended[2].sender, ended[3].sender}),
              (std::vector<std::uint64_t>{3, 4, 2}));
}

TEST_F(PacedBusTest, OneControllersFramesKeepTheirOrderAgainstOthers) {
    bus.submit(1, frame(0x300), t0);
    bus.submit(1, frame(0x100), t0);
    bus.submit(2, frame(0x200), t0);
    // First contest: 0x300 (head of 1) against 0x200; then 0x300 alone
    // against nothing else, then 0x100.
    EXPECT_EQ(order(advanceTo(t0 + 1s)), (std::vector<std::string>{"200#", "300#", "100#"}));
}

TEST_F(PacedBusTest, ContestIsDecidedAtTheEndOfFrameAmongFramesHandedOverByThen) {
    const CanFrame first = frame(0x100);
    bus.submit(1, first, t0);
    advanceTo(t0);
    const BusTime eof = *bus.nextDeadline();
    bus.submit(2, frame(0x200), t0 + 1us);
    bus.submit(3, frame(0x050), eof + 1us);  // too late for this contest
    const auto ended = advanceTo(t0 + 1s);
    EXPECT_EQ(order(ended), (std::vector<std::string>{"100#", "200#", "050#"}));
}

TEST_F(PacedBusTest, IdleGapsAreKeptAndDepartedSendersFramesDropped) {
    bus.submit(1, frame(0x100), t0);
    bus.submit(2, frame(0x200), t0 + 100ms);
    bus.submit(3, frame(0x300), t0 + 100ms);
    bus.submit(3, frame(0x301), t0 + 100ms);
    bus.removeSender(3);
    const auto ended = advanceTo(t0 + 1s);
    ASSERT_EQ(order(ended), (std::vector<std::string>{"100#", "200#"}));
    EXPECT_EQ(ended[1].start, t0 + 100ms);  // not back to back: the bus was idle
}

TEST(BusLoadMeter, ShareOfTheLastSecondAndFramesInIt) {
    quorbus::BusLoadMeter meter;
    const BusTime t0 = BusTime{} + 10s;
    // 100 frames of 1 ms each, one every 5 ms: 20 % over the first half second.
    for (int i = 0; i < 100; ++i) meter.add(t0 + i * 5ms, t0 + i * 5ms + 1ms);
    auto figures = meter.figures(t0 + 500ms);
    EXPECT_NEAR(figures.load_percent, 10.0, 1e-9);
    EXPECT_EQ(figures.frames_per_second, 100u);
    // One second later the window holds the second half only: nothing.
    figures = meter.figures(t0 + 1510ms);
    EXPECT_NEAR(figures.load_percent, 0.0, 1e-9);
    EXPECT_EQ(figures.frames_per_second, 0u);
    // A frame across slot boundaries counts in each slot; the slot being
    // filled is not in the window yet.
    meter.add(t0 + 2005ms, t0 + 2035ms);
    EXPECT_NEAR(meter.figures(t0 + 2031ms).load_percent, 2.5, 1e-9);
    EXPECT_NEAR(meter.figures(t0 + 2040ms).load_percent, 3.0, 1e-9);
    EXPECT_EQ(meter.figures(t0 + 2040ms).frames_per_second, 1u);
}

TEST(MismatchedController, ErrorCountersClimbToWarningPassiveAndBusOff) {
    quorbus::MismatchedController controller;
    // Transmissions: error frame n (1-based) and the state bits it carries.
    for (int n = 1; n <= 32; ++n) {
        const auto f = controller.onTransmit();
        ASSERT_TRUE(f) << n;
        EXPECT_EQ(f->id & (CAN_ERR_PROT | CAN_ERR_BUSERROR | CAN_ERR_CNT),
                  CAN_ERR_PROT | CAN_ERR_BUSERROR | CAN_ERR_CNT)
            << n;
        EXPECT_EQ(f->data[2], CAN_ERR_PROT_BIT) << n;
        EXPECT_EQ(f->data[6], std::min(8 * n, 255)) << n;
        const std::uint8_t expected_state = n == 12   ? CAN_ERR_CRTL_TX_WARNING
                                            : n == 16 ? CAN_ERR_CRTL_TX_PASSIVE
                                                      : 0;
        EXPECT_EQ(f->data[1], expected_state) << n;
        EXPECT_EQ((f->id & CAN_ERR_CRTL) != 0, expected_state != 0) << n;
        EXPECT_EQ((f->id & CAN_ERR_BUSOFF) != 0, n == 32) << n;
    }
    EXPECT_TRUE(controller.busOff());
    EXPECT_FALSE(controller.onTransmit());  // bus-off: nothing more goes out
    EXPECT_FALSE(controller.onBusFrame());
}

TEST(MismatchedController, FramesItCannotReceiveReportOnlyStateChanges) {
    quorbus::MismatchedController controller;
    std::vector<int> reported;  // frame numbers with an error frame
    for (int n = 1; n <= 200; ++n) {
        if (const auto f = controller.onBusFrame()) {
            reported.push_back(n);
            EXPECT_EQ(f->data[1], n == 96 ? CAN_ERR_CRTL_RX_WARNING : CAN_ERR_CRTL_RX_PASSIVE);
            EXPECT_EQ(f->data[7], n);
        }
    }
    EXPECT_EQ(reported, (std::vector<int>{96, 128}));
    EXPECT_EQ(controller.receiveErrors(), 128u);
}

}  // namespace
