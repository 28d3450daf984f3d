// The library callbacks' router: signal state, trace, triggers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/library_events.h"
#include "app/process_objects.h"
#include "gui/signal_state.h"

namespace {

// --- LibraryEvents --------------------------------------------------------

constexpr uint8_t kNoData[8] = {};

CanFrame Frame(uint32_t id, std::vector<uint8_t> bytes, uint8_t flags = 0) {
    CanFrame frame{};
    frame.id = id;
    frame.flags = flags;
    frame.length = static_cast<uint8_t>(bytes.size());
    std::memcpy(frame.data, bytes.empty() ? kNoData : bytes.data(), bytes.size());
    return frame;
}

CanFrame WithLength(CanFrame frame, uint8_t length) {
    frame.length = length;
    return frame;
}

class LibraryEventsTest : public ::testing::Test {
protected:
    SignalState signals;
    TTraceBuffer trace;
    TMessaging messaging;
    TTransmit transmit{ProcessObjects::kTransmitMessages, nullptr};
    std::vector<uint32_t> sent;  // frames the engine handed to the bus
    TransmitEngine engine{transmit, [this](const CanFrame& frame) { sent.push_back(frame.id); }};
    LibraryEvents events{signals, trace, messaging, engine};
};

// A received identifier triggers its messages; a frame this program sent never does.
TEST_F(LibraryEventsTest, OnlyReceivedFramesTriggerMessages) {
    TransmitMessage message;
    message.enable = true;
    message.id = 0x123;
    message.rxtrigger = true;
    message.rxid = 0x181;
    ASSERT_TRUE(transmit.SetMessage(0, message));
    events.onTransmit(Frame(0x181, {1}));
    EXPECT_TRUE(sent.empty());
    events.onReceive(Frame(0x181, {1}), 1);
    EXPECT_EQ(sent, std::vector<uint32_t>{0x123});
}

TEST_F(LibraryEventsTest, ReceiveKeepsTheFirstNonZeroStatusOfATick) {
    const CanFrame frame = Frame(0x123, {1});
    events.onReceive(frame, 0);
    SignalSnapshot s = TakeSignals(signals);
    EXPECT_TRUE(s.rxSeen);
    EXPECT_EQ(s.rxStatus, 0u);

    events.onReceive(frame, 0);
    events.onReceive(frame, 3);
    events.onReceive(frame, 0);
    events.onReceive(frame, 7);
    s = TakeSignals(signals);
    EXPECT_TRUE(s.rxSeen);
    EXPECT_EQ(s.rxStatus, 3u);

    events.onReceive(frame, 7);
    EXPECT_EQ(TakeSignals(signals).rxStatus, 7u);
}

// Node information changes from frames of the current node (10) only. Each
// row starts from a marked state so "unchanged" is visible.
TEST_F(LibraryEventsTest, NodeInformationFromHeartbeatAndEmergencyFrames) {
    constexpr uint32_t kMarkState = 0xEE;
    constexpr uint16_t kMarkEmergency = 0xBEEF;
    struct Case {
        const char* name;
        CanFrame frame;
        bool changed;
        uint32_t nodeState;
        uint16_t lastEmergency;
    };
    const Case cases[] = {
        {"operational", Frame(0x70A, {0x05}), true, kNodeStateOperational, kMarkEmergency},
        {"pre-operational, toggle bit", Frame(0x70A, {0xFF}), true, kNodeStatePreOperational,
         kMarkEmergency},
        {"no such state", Frame(0x70A, {0x01}), true, kNodeStateUnknown, kMarkEmergency},
        {"remote heartbeat", Frame(0x70A, {0x05}, CANFRAME_FLAG_REMOTE), false, kMarkState,
         kMarkEmergency},
        {"other node's heartbeat", Frame(0x70B, {0x05}), false, kMarkState, kMarkEmergency},
        {"emergency, length 0", WithLength(Frame(0x08A, {0x10, 0x81}), 0), true, kMarkState,
         0x8110},
        {"emergency, remote", Frame(0x08A, {0x10, 0x81}, CANFRAME_FLAG_REMOTE), true, kMarkState,
         0x8110},
    };
    SelectCurrentNode(signals, 10);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TakeSignals(signals);
        signals.nodeState = kMarkState;
        signals.lastEmergency = kMarkEmergency;
        events.onReceive(c.frame, 1);
        const SignalSnapshot s = TakeSignals(signals);
        EXPECT_TRUE(s.rxSeen);
        EXPECT_EQ(s.nodeInfoChanged, c.changed);
        EXPECT_EQ(s.nodeState, c.nodeState);
        EXPECT_EQ(s.lastEmergency, c.lastEmergency);
    }
}

// With no node selected, SYNC (0x080) and 0x700 are nobody's emergency or
// heartbeat.
TEST_F(LibraryEventsTest, NoNodeSelectedIgnoresSyncAndHeartbeatBase) {
    SelectCurrentNode(signals, 0);
    TakeSignals(signals);
    for (const CanFrame& frame : {Frame(0x080, {0x10, 0x81}), Frame(0x700, {0x00})}) {
        SCOPED_TRACE(frame.id);
        events.onReceive(frame, 1);
        const SignalSnapshot s = TakeSignals(signals);
        EXPECT_TRUE(s.rxSeen);
        EXPECT_FALSE(s.nodeInfoChanged);
        EXPECT_EQ(s.nodeState, kNodeStateUnknown);
        EXPECT_EQ(s.lastEmergency, 0);
    }
}

// Another thread holds the current node's mutex: the frame still counts for
// the receive LED, the call comes back, node information stays as it was.
TEST_F(LibraryEventsTest, ReceiveDoesNotWaitForABusyCurrentNode) {
    SelectCurrentNode(signals, 10);
    TakeSignals(signals);

    std::promise<void> locked;
    std::promise<void> release;
    std::thread holder([&] {
        std::lock_guard guard(signals.current_nodeid_mutex);
        locked.set_value();
        release.get_future().wait();
    });
    locked.get_future().wait();

    auto call = std::async(std::launch::async, [&] { events.onReceive(Frame(0x70A, {0x05}), 1); });
    const bool returned = call.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    release.set_value();
    holder.join();
    call.wait();

    ASSERT_TRUE(returned);
    const SignalSnapshot s = TakeSignals(signals);
    EXPECT_TRUE(s.rxSeen);
    EXPECT_FALSE(s.nodeInfoChanged);
    EXPECT_EQ(s.nodeState, kNodeStateUnknown);
}

TEST_F(LibraryEventsTest, TickResetsFlagsAndKeepsValues) {
    SelectCurrentNode(signals, 10);
    events.onReceive(Frame(0x70A, {0x05}), 1);
    events.onReceive(Frame(0x08A, {0x10, 0x81}), 1);
    events.onTransmit(Frame(0x60A, {0x40, 0x00, 0x10, 0x00}));
    events.onError(8);

    SignalSnapshot s = TakeSignals(signals);
    EXPECT_TRUE(s.rxSeen && s.txSeen && s.errorSeen && s.nodeInfoChanged);

    s = TakeSignals(signals);
    EXPECT_FALSE(s.rxSeen);
    EXPECT_FALSE(s.txSeen);
    EXPECT_FALSE(s.errorSeen);
    EXPECT_FALSE(s.nodeInfoChanged);
    EXPECT_EQ(s.errorCode, 8);
    EXPECT_EQ(s.nodeState, kNodeStateOperational);
    EXPECT_EQ(s.lastEmergency, 0x8110);
}

// Selecting forgets the node's information: main_window_test.
TEST_F(LibraryEventsTest, SelectingANodeOutsideTheRangeSelectsNone) {
    SelectCurrentNode(signals, 127);
    EXPECT_EQ(CurrentNodeId(signals), 127);
    SelectCurrentNode(signals, 128);
    EXPECT_EQ(CurrentNodeId(signals), 0);
}

// --- LEDs ------------------------------------------------------------------

}  // namespace
