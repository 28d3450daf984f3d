// Node ids, the load generator on a virtual clock, and the ID#DATA frame texts.
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

TEST(QuorsimFrameText, ParsesCandumpStyle) {
    // text, toString of the result (nullptr: an error)
    const std::pair<const char*, const char*> cases[] = {
        {"181#1122334455667788", "181#1122334455667788"},
        {"701#R1", "701#R1"},
        {"800#00", nullptr},       // above 0x7FF with 3 digits
        {"20000000#00", nullptr},  // above 0x1FFFFFFF
        {"181#112233445566778899", nullptr},
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

TEST_F(QuorsimSimulator, RefusesBadNodeIds) {
    add(5);
    add(6);
    EXPECT_EQ(sim.addNode(0, makeDefaultDevice(0), now), "node 0 is out of range 1-127");
    EXPECT_EQ(sim.nodeIds(), (std::vector<std::uint8_t>{5, 6}));
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
    sim.traffic().stop();
    EXPECT_TRUE(runUntil(milliseconds(60000)).empty());
    EXPECT_EQ(sim.nextDeadline(), std::nullopt);
}

TEST_F(QuorsimSimulator, FastLoadLeavesInOneMillisecondBatches) {
    const CanFrame pattern = makeFrame(0x181, {1, 2, 3, 4, 5, 6, 7, 8});
    sim.traffic().start(21000, pattern, now);
    EXPECT_EQ(sim.traffic().batch(), 21u);
    int wake_ups = 0;
    std::size_t frames = 0;
    while (true) {
        const auto d = sim.nextDeadline();
        if (!d || *d >= start + milliseconds(1000)) break;
        now = *d;
        sim.onTimer(now);
        const std::size_t batch = sim.takeFrames().size();
        EXPECT_EQ(batch, 21u) << "wake-up " << wake_ups;
        frames += batch;
        ++wake_ups;
    }
    EXPECT_EQ(wake_ups, 1000);
    EXPECT_EQ(frames, 21000u);
    // A slow rate still wakes once per frame.
    sim.traffic().start(500, pattern, now);
    EXPECT_EQ(sim.traffic().batch(), 1u);
    EXPECT_EQ(sim.nextDeadline(), now);
}

}  // namespace
}  // namespace quorsim
