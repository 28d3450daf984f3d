// End to end on quorbus: frames that quorsim puts on the bus reach the
// library's receive callback, whose receive trigger answers on the bus.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gui_test_support.h"
#include "morvellcanopen.h"
#include "sim/quorbus_test_client.h"
#include "support/child_process.h"
#include "transmit_test_support.h"

namespace {

using transmittest::rxMessage;

// What the library's callbacks saw; the callbacks carry no context.
struct Seen {
    TransmitEngine* engine = nullptr;
    std::mutex mutex;
    std::vector<uint32_t> received, transmitted;
};
Seen* seen = nullptr;

void onReceive(const CanFrame* frame, int32_t) {
    {
        std::lock_guard guard(seen->mutex);
        seen->received.push_back(frame->id);
    }
    seen->engine->OnReceive(frame->id);
}

void onTransmit(const CanFrame* frame) {
    std::lock_guard guard(seen->mutex);
    seen->transmitted.push_back(frame->id);
}

class TransmitBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        guitest::clearSettings();
        port = testsupport::freeLoopbackPort();
        channel = "virtual:txbus@" + std::to_string(port);
        setenv("MORVELLCANOPEN_CHANNEL", channel.c_str(), 1);
        setenv("MORVELLCANOPEN_QUORBUS", testsupport::programPath("quorbus").c_str(), 1);
        bus = std::make_unique<testsupport::ChildProcess>(
            testsupport::programPath("quorbus"),
            std::vector<std::string>{"--port", std::to_string(port)});
        ASSERT_FALSE(bus->waitForLine("listening").empty()) << bus->errors();
        sim = std::make_unique<testsupport::ChildProcess>(
            testsupport::programPath("quorsim"),
            std::vector<std::string>{"--channel", channel, "--node", "5"});
        ASSERT_FALSE(sim->waitForLine("quorsim ready").empty()) << sim->errors();

        table = std::make_unique<TTransmit>(20);
        engine = std::make_unique<TransmitEngine>(*table);
        state.engine = engine.get();
        seen = &state;
        Event_Receive(onReceive);
        Event_Transmit(onTransmit);
        HwParallelParams params{125, 0x378, 7, 0};
        LibraryResult result{};
        Hardware_Initialize(HW_PARALLEL_DONGLE, &params, &result);
        ASSERT_EQ(result.code, 0) << result.text;
    }

    void TearDown() override {
        Hardware_Close();
        Event_Receive(nullptr);
        Event_Transmit(nullptr);
        seen = nullptr;
        sim.reset();
        bus.reset();
    }

    void simCommand(const std::string& command) {
        ASSERT_TRUE(sim->writeLine(command));
        const std::string answer = sim->waitForLine("");
        ASSERT_EQ(answer.rfind("ok", 0), 0u) << command << " -> " << answer;
    }

    // How often the library reported `id` as received or as sent.
    long count(const std::vector<uint32_t> Seen::*which, uint32_t id) {
        std::lock_guard guard(state.mutex);
        return std::count((state.*which).begin(), (state.*which).end(), id);
    }

    int port = 0;
    std::string channel;
    std::unique_ptr<testsupport::ChildProcess> bus, sim;
    std::unique_ptr<TTransmit> table;
    std::unique_ptr<TransmitEngine> engine;
    Seen state;
};

TEST_F(TransmitBusTest, ReceivedTriggerIdentifierIsAnsweredOnTheBus) {
    TransmitMessage answer = rxMessage(0x182, 0x181);
    answer.dlc = 2;
    answer.data = {0xAA, 0xBB};
    table->SetMessage(0, answer);
    // Triggered by the answer itself: sent only if our own frames came back
    // as received ones.
    table->SetMessage(1, rxMessage(0x183, 0x182));
    TransmitMessage disabled = answer;
    disabled.enable = false;
    disabled.id = 0x184;
    table->SetMessage(2, disabled);

    quorbustest::HubClient observer(static_cast<std::uint16_t>(port));
    ASSERT_TRUE(observer.connected());
    ASSERT_TRUE(observer.join("txbus"));

    simCommand("send 181#11");
    simCommand("send 181#R");  // flags do not matter
    simCommand("send 185#22");
    int answered = 0;
    // Every frame up to 0x185; an answer may reach the observer after it.
    while (auto message = observer.next()) {
        const std::string frame = quorbustest::frameText(message);
        EXPECT_NE(frame.substr(0, 4), "183#") << "own frames never trigger";
        EXPECT_NE(frame.substr(0, 4), "184#") << "disabled messages are never sent";
        if (frame == "182#AABB") ++answered;
        if (frame.rfind("185#", 0) == 0) break;
    }
    for (; answered < 2; ++answered) ASSERT_EQ(observer.waitForFrame(0x182), "182#AABB");
    ASSERT_TRUE(testsupport::waitUntil([&] { return count(&Seen::received, 0x185) == 1; }));
    EXPECT_EQ(count(&Seen::received, 0x181), 2);
    EXPECT_EQ(count(&Seen::received, 0x182), 0);
    ASSERT_TRUE(testsupport::waitUntil([&] { return count(&Seen::transmitted, 0x182) == 2; }));
    std::lock_guard guard(state.mutex);
    EXPECT_EQ(state.transmitted, (std::vector<uint32_t>{0x182, 0x182}));
}

}  // namespace
