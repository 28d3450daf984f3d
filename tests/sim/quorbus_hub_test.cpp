// The hub in this process on a free port: relaying, bus isolation, the
// remote/error-frame extension, refusals and a stalled client.
#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <thread>

#include "hub.h"
#include "protocol/can_frame.h"
#include "quorbus_test_client.h"
#include "support/child_process.h"

namespace {

namespace sc = morvell::socketcand;
using quorbustest::frameText;
using quorbustest::HubClient;

class HubTest : public ::testing::Test {
protected:
    void start(quorbus::HubOptions options = {}) {
        options.port = 0;
        options.quiet = true;
        hub_ = std::make_unique<quorbus::Hub>(options);
        ASSERT_EQ(hub_->listen().status, quorbus::ListenStatus::Listening);
        loop_ = std::thread([this] { hub_->run(); });
    }
    void TearDown() override {
        if (!hub_) return;
        hub_->stop();
        loop_.join();
    }
    std::unique_ptr<HubClient> joined(const std::string& bus, bool extended_frames = false) {
        auto client = std::make_unique<HubClient>(hub_->port());
        EXPECT_TRUE(client->connected());
        EXPECT_TRUE(client->join(bus, extended_frames));
        return client;
    }
    // Sends each command and expects an error message for each.
    static void expectRefused(HubClient& client, const std::vector<std::string>& commands) {
        for (const std::string& command : commands) {
            ASSERT_TRUE(client.sendText(command));
            EXPECT_EQ(client.next().value_or("").rfind("error", 0), 0u) << command;
        }
    }

    std::unique_ptr<quorbus::Hub> hub_;
    std::thread loop_;
};

TEST_F(HubTest, RelaysToEveryOtherClientOfTheBusButNotBackToTheSender) {
    start();
    auto a = joined("vbus0");
    auto b = joined("vbus0");
    auto c = joined("vbus0");
    auto other = joined("other");
    auto other_peer = joined("other");
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(a->sendText("< send 123 2 11 22 >"));
    for (HubClient* receiver : {b.get(), c.get()}) {
        const auto message = receiver->next();
        const auto got = message ? sc::parseFrame(sc::splitWords(*message)) : std::nullopt;
        ASSERT_TRUE(got) << message.value_or("<none>");
        EXPECT_EQ(morvell::toString(got->frame), "123#1122");
        EXPECT_GE(got->seconds + 1, static_cast<std::uint64_t>(before));  // the hub's wall clock
        EXPECT_LE(got->seconds, static_cast<std::uint64_t>(std::time(nullptr)));
    }
    // b's reply reaches a; had a received its own frame, it would come first.
    ASSERT_TRUE(b->sendText("< send 7FF 0 >"));
    EXPECT_EQ(frameText(a->next()), "7FF#");
    EXPECT_EQ(frameText(c->next()), "7FF#");
    ASSERT_TRUE(other_peer->sendText("< send 202 0 >"));
    EXPECT_EQ(frameText(other->next()), "202#");  // not 0x123: buses are apart
}

TEST_F(HubTest, RemoteAndErrorFramesReachOnlyClientsThatAskedForThem) {
    start();
    auto sender = joined("vbus0", true);
    auto extended = joined("vbus0", true);
    auto plain = joined("vbus0");
    ASSERT_TRUE(sender->sendText("< sendrtr 123 4 >"));
    ASSERT_TRUE(sender->sendText("< senderr 20000004 00 08 00 00 00 00 00 00 >"));
    ASSERT_TRUE(sender->sendText("< send 456 1 01 >"));

    const auto rtr = extended->next();
    const auto remote = rtr ? sc::parseRtr(sc::splitWords(*rtr)) : std::nullopt;
    ASSERT_TRUE(remote) << rtr.value_or("<none>");
    EXPECT_EQ(morvell::toString(remote->frame), "123#R4");

    const auto err = extended->next();
    const auto error = err ? sc::parseErrFrame(sc::splitWords(*err)) : std::nullopt;
    ASSERT_TRUE(error) << err.value_or("<none>");
    EXPECT_EQ(morvell::toString(error->frame), "20000004#0008000000000000");

    EXPECT_EQ(frameText(extended->next()), "456#01");
    EXPECT_EQ(frameText(plain->next()), "456#01");  // the rtr and errframe were skipped
}

TEST_F(HubTest, RefusalsAreAnsweredGarbageIsDroppedAndTheHubGoesOn) {
    start();
    HubClient a(hub_->port());
    ASSERT_EQ(a.next(), "hi");
    expectRefused(a, {"< send 123 0 >", "< rawmode >", "< open a b >", "< frobnicate >"});
    ASSERT_TRUE(a.sendText("< open vbus0 >"));
    EXPECT_EQ(a.next(), "ok");
    expectRefused(a, {"< send 123 0 >"});  // open but not raw yet
    ASSERT_TRUE(a.sendText("< rawmode >"));
    EXPECT_EQ(a.next(), "ok");
    auto b = joined("vbus0");
    // Each way a frame can be malformed: tests/transport/socketcand_framing_test.cpp.
    expectRefused(a, {"< send 123 2 11 >", "< open other >"});
    // an empty message, garbage, an over-long message and a message split over three writes
    ASSERT_TRUE(a.sendText("< >"));
    ASSERT_TRUE(a.sendText("garbage\x01\xff"));
    ASSERT_TRUE(a.sendText("< send 123 0 " + std::string(1000, '0') + " >"));
    ASSERT_TRUE(a.sendText("< se"));
    ASSERT_TRUE(a.sendText("nd 3"));
    ASSERT_TRUE(a.sendText("21 1 42 >"));
    EXPECT_EQ(frameText(b->next()), "321#42");  // the only frame b sees
    ASSERT_TRUE(a.sendText("< echo >"));
    EXPECT_EQ(a.next(), "echo");
    const quorbus::HubStats stats = hub_->stats();
    EXPECT_EQ(stats.refused_messages, 7u);
    EXPECT_GT(stats.garbage_bytes, 1000u);
    EXPECT_EQ(stats.frames_received, 1u);
}

TEST_F(HubTest, StalledClientLosesFramesWithoutStallingTheOthers) {
    quorbus::HubOptions options;
    options.max_queue_bytes = 16 * 1024;
    start(options);
    auto sender = joined("vbus0");
    auto reader = joined("vbus0");
    auto stalled = std::make_unique<HubClient>(hub_->port(), 4096);
    ASSERT_TRUE(stalled->join("vbus0"));

    constexpr int kBatch = 200;
    constexpr int kMaxBatches = 2000;
    std::string batch;
    const std::string kFrame = "0001ABCD#0102030405060708";
    for (int i = 0; i < kBatch; ++i) batch += "< send 1ABCD 8 1 2 3 4 5 6 7 8 >\n";
    int sent = 0;
    int received = 0;
    for (int round = 0; round < kMaxBatches && hub_->stats().frames_dropped == 0; ++round) {
        ASSERT_TRUE(sender->sendText(batch));
        sent += kBatch;
        for (; received < sent; ++received)
            ASSERT_EQ(frameText(reader->next()), kFrame) << "after " << received << " frames";
    }
    quorbus::HubStats stats = hub_->stats();
    ASSERT_GT(stats.frames_dropped, 0u) << "the stalled client's queue never filled";
    EXPECT_EQ(received, sent);
    EXPECT_EQ(stats.frames_delivered + stats.frames_dropped, 2u * stats.frames_received);

    // What the stalled client was given arrives whole once it reads.
    const std::uint64_t for_stalled = stats.frames_delivered - static_cast<std::uint64_t>(received);
    for (std::uint64_t i = 0; i < for_stalled; ++i)
        ASSERT_EQ(frameText(stalled->next()), kFrame) << "frame " << i;
    // The hub still relays after the stalled client leaves.
    stalled.reset();
    ASSERT_TRUE(sender->sendText("< send 55 0 >"));
    EXPECT_EQ(frameText(reader->next()), "055#");
}

}  // namespace
