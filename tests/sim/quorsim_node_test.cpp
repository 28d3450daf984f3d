// A simulated node on a virtual clock: NMT, boot-up, heartbeat, guarding,
// SDO in each state, emergencies, response delay.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "object_dictionary.h"
#include "protocol/can_frame.h"
#include "sim_node.h"

namespace quorsim {
namespace {

using morvell::makeFrame;
using morvell::toString;
using std::chrono::milliseconds;

constexpr std::uint8_t kNode = 5;
const CanFrame kReadDeviceType = makeFrame(0x605, {0x40, 0x00, 0x10, 0, 0, 0, 0, 0});
const std::vector<std::string> kDeviceTypeAnswer = {"585#4300100091010000"};
const CanFrame kGuardRequest = makeFrame(0x705, {}, CANFRAME_FLAG_REMOTE);

class QuorsimNode : public ::testing::Test {
protected:
    explicit QuorsimNode(std::uint16_t heartbeat_ms = 0)
        : node(kNode, makeDefaultDevice(kNode, heartbeat_ms)) {
        node.powerOn(now);
        boot_up = taken();
    }

    // Moves the virtual clock to t, firing every deadline on the way, and
    // returns what the node sent, as "ID#DATA@ms" texts.
    std::vector<std::string> runUntil(milliseconds t) {
        std::vector<std::string> sent;
        while (true) {
            const auto d = node.nextDeadline();
            if (!d || *d > start + t) break;
            now = *d;
            node.onTimer(now);
            for (const std::string& f : taken()) sent.push_back(f);
        }
        now = start + t;
        return sent;
    }
    // What the node has sent since the last call, stamped with the current time.
    std::vector<std::string> taken() {
        std::vector<std::string> sent;
        const auto ms = std::chrono::duration_cast<milliseconds>(now - start).count();
        for (const CanFrame& f : node.takeFrames())
            sent.push_back(toString(f) + "@" + std::to_string(ms));
        return sent;
    }
    std::vector<std::string> input(const CanFrame& f) {
        node.onFrame(f, now);
        std::vector<std::string> sent;
        for (const CanFrame& out : node.takeFrames()) sent.push_back(toString(out));
        return sent;
    }
    static CanFrame nmt(std::uint8_t command, std::uint8_t target) {
        return makeFrame(0, {command, target});
    }
    const TimePoint start = TimePoint{} + std::chrono::hours(1);
    TimePoint now = start;
    SimNode node;
    std::vector<std::string> boot_up;
};

using morvell::nmt::State;

TEST_F(QuorsimNode, NmtCommandsChangeStateForThisNodeOrAll) {
    EXPECT_EQ(boot_up, std::vector<std::string>{"705#00@0"});
    EXPECT_EQ(node.state(), State::PreOperational);
    struct Case {
        std::uint8_t command, target;
        State state;
        std::vector<std::string> frames;
    };
    const Case cases[] = {
        {0x01, kNode, State::Operational, {}},
        {0x02, 6, State::Operational, {}},                 // another node
        {0x02, 0, State::Stopped, {}},                     // all nodes
        {0x82, kNode, State::PreOperational, {"705#00"}},  // reset communication: boot-up
        {0x81, 0, State::PreOperational, {"705#00"}},      // reset node: boot-up
        {0x77, kNode, State::PreOperational, {}},          // unknown command
    };
    for (const Case& c : cases) {
        EXPECT_EQ(input(nmt(c.command, c.target)), c.frames)
            << int(c.command) << " " << int(c.target);
        EXPECT_EQ(node.state(), c.state) << int(c.command) << " " << int(c.target);
    }
    EXPECT_TRUE(input(makeFrame(0, {0x01})).empty()) << "short NMT frame ignored";
    EXPECT_EQ(node.state(), State::PreOperational);
}

TEST_F(QuorsimNode, ResetNodeRestoresDefaultsAndResetCommunicationKeepsThem) {
    ASSERT_EQ(input(makeFrame(0x605, {0x2B, 0x00, 0x20, 6, 0x11, 0x11, 0, 0})),
              std::vector<std::string>{"585#6000200600000000"});
    input(nmt(0x82, kNode));
    EXPECT_EQ(node.objects().number(0x2000, 6), 0x1111u);
    input(nmt(0x81, kNode));
    EXPECT_EQ(node.objects().number(0x2000, 6), 0xABCDu);
}

TEST_F(QuorsimNode, GuardingAnswersWhenStoppedAndItsToggleRestartsOnCommunicationReset) {
    EXPECT_EQ(input(kGuardRequest), std::vector<std::string>{"705#7F"});
    EXPECT_EQ(input(kGuardRequest), std::vector<std::string>{"705#FF"});
    input(nmt(0x02, kNode));
    EXPECT_TRUE(input(kReadDeviceType).empty()) << "no SDO when stopped";
    EXPECT_EQ(input(kGuardRequest), std::vector<std::string>{"705#04"});
    input(nmt(0x82, kNode));
    EXPECT_EQ(input(kGuardRequest), std::vector<std::string>{"705#7F"});
    EXPECT_TRUE(input(makeFrame(0x705, {})).empty()) << "a data frame is no guarding request";
    EXPECT_TRUE(
        input(makeFrame(0x605, {0x40, 0, 0x10, 0, 0, 0, 0, 0}, CANFRAME_FLAG_EXTENDED)).empty());
}

class QuorsimHeartbeat : public QuorsimNode {
protected:
    QuorsimHeartbeat() : QuorsimNode(100) {}
};

TEST_F(QuorsimHeartbeat, PeriodFrom1017ChangesAtRunTime) {
    EXPECT_EQ(runUntil(milliseconds(350)),
              (std::vector<std::string>{"705#7F@100", "705#7F@200", "705#7F@300"}));
    input(nmt(0x01, kNode));
    // Writing 0x1017 by SDO restarts the producer with the new period.
    ASSERT_EQ(input(makeFrame(0x605, {0x2B, 0x17, 0x10, 0, 40, 0, 0, 0})),
              std::vector<std::string>{"585#6017100000000000"});
    EXPECT_EQ(runUntil(milliseconds(450)), (std::vector<std::string>{"705#05@390", "705#05@430"}));
    node.setHeartbeatTime(0, now);
    EXPECT_TRUE(runUntil(milliseconds(2000)).empty());
    EXPECT_FALSE(node.nextDeadline());
    node.setHeartbeatTime(500, now);
    EXPECT_EQ(runUntil(milliseconds(2600)), (std::vector<std::string>{"705#05@2500"}));
}

TEST_F(QuorsimHeartbeat, LateTimerSendsOneHeartbeatNotABurst) {
    now = start + milliseconds(1050);
    node.onTimer(now);
    EXPECT_EQ(taken(), std::vector<std::string>{"705#7F@1050"});
    EXPECT_EQ(*node.nextDeadline(), now + milliseconds(100));
}

TEST_F(QuorsimNode, DelayFaultHoldsResponsesBack) {
    node.setResponseDelay(milliseconds(200));
    EXPECT_TRUE(input(kReadDeviceType).empty());
    EXPECT_TRUE(runUntil(milliseconds(199)).empty());
    EXPECT_EQ(runUntil(milliseconds(250)), std::vector<std::string>{"585#4300100091010000@200"});
    EXPECT_EQ(input(kGuardRequest), std::vector<std::string>{"705#7F"})
        << "guarding is not delayed";
    // A response still held back when the node stops is never sent.
    EXPECT_TRUE(input(kReadDeviceType).empty());
    input(nmt(0x02, kNode));
    EXPECT_TRUE(runUntil(milliseconds(1000)).empty());
}

// Fault kinds and their effect on transfers are checked end to end in
// tests/integration; here: the fault reaches the server and outlives a reset.
TEST_F(QuorsimNode, ServerFaultSurvivesACommunicationReset) {
    node.setFault(morvell::sdo::ServerFault::Abort, 0x08000020);
    input(nmt(0x82, kNode));
    EXPECT_EQ(input(kReadDeviceType), std::vector<std::string>{"585#8000100020000008"});
    node.setFault(morvell::sdo::ServerFault::None);
    EXPECT_EQ(input(kReadDeviceType), kDeviceTypeAnswer);
}

}  // namespace
}  // namespace quorsim
