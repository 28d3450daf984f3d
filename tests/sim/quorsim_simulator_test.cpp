// Several nodes on one simulated bus, the load generator on a virtual clock,
// and the ID#DATA frame texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame_text.h"
#include "protocol/can_frame.h"
#include "simulator.h"

namespace quorsim {
namespace {

using morvell::makeFrame;
using morvell::toString;
using std::chrono::milliseconds;

std::vector<std::string> texts(const std::vector<CanFrame>& frames) {
    std::vector<std::string> out;
    for (const CanFrame& f : frames) out.push_back(toString(f));
    return out;
}

TEST(QuorsimFrameText, ParsesCandumpStyle) {
    // text, toString of the result (nullptr: an error)
    const std::pair<const char*, const char*> cases[] = {
        {"181#1122334455667788", "181#1122334455667788"},
        {"123#11.22.33", "123#112233"},
        {"701#R1", "701#R1"},
        {"00000181#11", "00000181#11"},
        {"800#00", nullptr},       // above 0x7FF with 3 digits
        {"20000000#00", nullptr},  // above 0x1FFFFFFF
        {"181#112233445566778899", nullptr},
        {"181#123", nullptr},  // odd digit count
        {"181", nullptr},
        {"701#R9", nullptr},
    };
    for (const auto& [text, expected] : cases) {
        std::string error;
        const auto frame = parseFrameText(text, &error);
        if (expected) {
            ASSERT_TRUE(frame) << text << ": " << error;
            EXPECT_EQ(toString(*frame), expected);
        } else {
            EXPECT_FALSE(frame) << text;
            EXPECT_NE(error.find(text), std::string::npos) << error;
        }
    }
}

class QuorsimSimulator : public ::testing::Test {
protected:
    void add(std::uint8_t node, std::uint16_t heartbeat_ms = 0) {
        ASSERT_EQ(sim.addNode(node, makeDefaultDevice(node, heartbeat_ms), now), "");
    }
    // Advances the virtual clock to t, firing deadlines; returns what went to the bus.
    std::vector<CanFrame> runUntil(milliseconds t) {
        std::vector<CanFrame> sent;
        while (true) {
            const auto d = sim.nextDeadline();
            if (!d || *d > start + t) break;
            now = std::max(now, *d);
            sim.onTimer(now);
            for (const CanFrame& f : sim.takeFrames()) sent.push_back(f);
        }
        now = start + t;
        return sent;
    }

    const TimePoint start = TimePoint{} + std::chrono::hours(2);
    TimePoint now = start;
    Simulator sim;
};

TEST_F(QuorsimSimulator, AddingNodesSendsBootUpAndRefusesBadIds) {
    add(5);
    add(6);
    EXPECT_EQ(texts(sim.takeFrames()), (std::vector<std::string>{"705#00", "706#00"}));
    EXPECT_EQ(sim.addNode(0, makeDefaultDevice(0), now), "node 0 is out of range 1-127");
    EXPECT_EQ(sim.addNode(128, makeDefaultDevice(1), now), "node 128 is out of range 1-127");
    EXPECT_EQ(sim.nodeIds(), (std::vector<std::uint8_t>{5, 6}));
    EXPECT_TRUE(sim.removeNode(5));
    EXPECT_EQ(sim.findNode(5), nullptr);
    EXPECT_NE(sim.findNode(6), nullptr);
}

TEST_F(QuorsimSimulator, OwnAndBusFramesReachEveryNode) {
    add(5);
    add(6);
    sim.takeFrames();
    // The simulator's own frame (the `send` command) goes to the bus and to every node.
    sim.transmit(makeFrame(0, {0x01, 0}), now);
    EXPECT_EQ(sim.findNode(5)->state(), morvell::nmt::State::Operational);
    EXPECT_EQ(sim.findNode(6)->state(), morvell::nmt::State::Operational);
    // A guarding request from the bus to node 6 is answered once.
    sim.onBusFrame(makeFrame(0x706, {}, CANFRAME_FLAG_REMOTE), now);
    EXPECT_EQ(texts(sim.takeFrames()), (std::vector<std::string>{"000#0100", "706#05"}));
    // An SDO request sent from inside the simulator reaches node 5; the answer follows it.
    sim.transmit(makeFrame(0x605, {0x40, 0x00, 0x10, 0, 0, 0, 0, 0}), now);
    EXPECT_EQ(texts(sim.takeFrames()),
              (std::vector<std::string>{"605#4000100000000000", "585#4300100091010000"}));
    const SimulatorStats s = sim.stats();
    EXPECT_EQ(s.frames_received, 1u);
    EXPECT_EQ(s.frames_sent, 6u) << "2 boot-ups, NMT, guarding reply, SDO request and response";
}

TEST_F(QuorsimSimulator, LoadCountMatchesRateOverVirtualTime) {
    add(5);
    sim.takeFrames();
    const CanFrame pattern = makeFrame(0x181, {1, 2, 3, 4, 5, 6, 7, 8});
    sim.traffic().start(1000, pattern, now);
    const auto first = runUntil(milliseconds(999));
    EXPECT_EQ(first.size(), 1000u) << "frames 0..999 due at 0..999 ms";
    for (const CanFrame& f : first) EXPECT_TRUE(morvell::sameFrame(f, pattern));
    // Late by 300 ms: the overdue frames come in bursts of at most kMaxLoadBurst.
    now = start + milliseconds(1299);
    sim.onTimer(now);
    EXPECT_EQ(sim.takeFrames().size(), kMaxLoadBurst);
    sim.onTimer(now);
    EXPECT_EQ(sim.takeFrames().size(), 300 - kMaxLoadBurst);
    EXPECT_EQ(sim.traffic().totalSent(), 1300u);
    EXPECT_EQ(sim.stats().load_frames_sent, 1300u);
    // Budget 0 (output backed up): nothing now, everything later.
    now = start + milliseconds(1309);
    sim.onTimer(now, 0);
    EXPECT_TRUE(sim.takeFrames().empty());
    sim.onTimer(now);
    EXPECT_EQ(sim.takeFrames().size(), 10u);
    // An odd rate: 3 frames/s over 10 s gives 30 frames (frame 30 is due at exactly 10 s).
    sim.traffic().start(3, pattern, now);
    EXPECT_EQ(runUntil(milliseconds(1309 + 9999)).size(), 30u);
    sim.traffic().stop();
    EXPECT_TRUE(runUntil(milliseconds(60000)).empty());
    EXPECT_EQ(sim.nextDeadline(), std::nullopt);
}

TEST_F(QuorsimSimulator, LoadFramesReachTheNodes) {
    add(5);
    sim.takeFrames();
    sim.traffic().start(10, makeFrame(0, {0x02, 0}), now);  // "stop all", ten times a second
    runUntil(milliseconds(0));
    EXPECT_EQ(sim.findNode(5)->state(), morvell::nmt::State::Stopped);
}

}  // namespace
}  // namespace quorsim
