// The hub in this process on a free port: relaying, bus isolation, the
// remote/error-frame extension, refusals and a stalled client.
#include <gtest/gtest.h>
#include <linux/can/error.h>

#include <ctime>
#include <memory>
#include <thread>

#include "hub.h"
#include "protocol/can_frame.h"
#include "protocol/frame_duration.h"
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
    std::unique_ptr<HubClient> joined(const std::string& bus, bool extended_frames = false,
                                      int bitrate_kbit = 0) {
        auto client = std::make_unique<HubClient>(hub_->port());
        EXPECT_TRUE(client->connected());
        EXPECT_TRUE(client->join(bus, extended_frames, bitrate_kbit));
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
    expectRefused(a, {"< send 123 0 >", "< rawmode >", "< open a b >", "< frobnicate >",
                      "< bitrate 125 >", "< busstats >"});
    ASSERT_TRUE(a.sendText("< open vbus0 >"));
    EXPECT_EQ(a.next(), "ok");
    expectRefused(a, {"< send 123 0 >"});  // open but not raw yet
    ASSERT_TRUE(a.sendText("< rawmode >"));
    EXPECT_EQ(a.next(), "ok");
    auto b = joined("vbus0");
    // Each way a frame can be malformed: tests/transport/socketcand_framing_test.cpp.
    expectRefused(a, {"< send 123 2 11 >", "< open other >", "< bitrate 0 >", "< bitrate 1001 >",
                      "< bitrate 1e3 >", "< busstats now >"});
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
    EXPECT_EQ(stats.refused_messages, 13u);
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

// The next frame message's frame and time, or empty.
std::optional<sc::TimedFrame> nextFrame(HubClient& client) {
    const auto message = client.next();
    return message ? sc::parseFrame(sc::splitWords(*message)) : std::nullopt;
}

std::int64_t microsecondsOf(const sc::TimedFrame& f) {
    return static_cast<std::int64_t>(f.seconds) * 1000000 + f.microseconds;
}

TEST_F(HubTest, PacedBusSendsWaitingFramesOfThreeSendersInIdentifierOrder) {
    quorbus::HubOptions options;
    options.bitrate_bps = 1000;  // 1 kbit/s: a bit takes 1 ms
    start(options);
    auto busy = joined("vbus0");
    std::vector<std::unique_ptr<HubClient>> senders;
    for (int i = 0; i < 3; ++i) senders.push_back(joined("vbus0"));
    auto observer = joined("vbus0");
    // Four empty frames of the highest priority keep the bus busy for 212 ms
    // and win every contest while the three others wait.
    ASSERT_TRUE(busy->sendText("< send 000 0 >< send 000 0 >< send 000 0 >< send 000 0 >"));
    ASSERT_TRUE(senders[0]->sendText("< send 300 1 33 >"));
    ASSERT_TRUE(senders[1]->sendText("< send 100 1 11 >"));
    ASSERT_TRUE(senders[2]->sendText("< send 200 1 22 >"));
    std::vector<std::string> order;
    std::vector<sc::TimedFrame> frames;
    for (int i = 0; i < 7; ++i) {
        const auto f = nextFrame(*observer);
        ASSERT_TRUE(f) << "frame " << i;
        order.push_back(morvell::toString(f->frame));
        frames.push_back(*f);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"000#", "000#", "000#", "000#", "100#11", "200#22",
                                               "300#33"}));
    // Back to back: each end of frame follows the previous one by the frame's bits.
    for (std::size_t i = 1; i < frames.size(); ++i) {
        const std::int64_t bits_us =
            static_cast<std::int64_t>(morvell::frameBits(frames[i].frame).total) * 1000;
        EXPECT_NEAR(microsecondsOf(frames[i]) - microsecondsOf(frames[i - 1]), bits_us, 50) << i;
    }
}

TEST_F(HubTest, ClientAtAnotherBitRateGetsErrorFramesAndIsNotHeard) {
    quorbus::HubOptions options;
    options.bitrate_bps = 1000000;
    start(options);
    auto matching = joined("vbus0", true, 1000);
    auto mismatched = joined("vbus0", true, 125);
    auto unannounced = joined("vbus0");  // a plain socketcand client: taken as matching
    ASSERT_TRUE(mismatched->sendText("< send 123 1 AA >"));
    const auto message = mismatched->next();
    const auto error = message ? sc::parseErrFrame(sc::splitWords(*message)) : std::nullopt;
    ASSERT_TRUE(error) << message.value_or("<none>");
    EXPECT_EQ(error->frame.id, CAN_ERR_PROT | CAN_ERR_BUSERROR | CAN_ERR_CNT);
    EXPECT_EQ(error->frame.data[6], 8);  // transmit error counter
    // The others hear the next frame first: the mismatched one never arrived.
    ASSERT_TRUE(matching->sendText("< send 456 0 >"));
    EXPECT_EQ(frameText(unannounced->next()), "456#");
    ASSERT_TRUE(unannounced->sendText("< send 457 0 >"));
    EXPECT_EQ(frameText(matching->next()), "457#");
    // Nor does the mismatched client decode theirs: its echo comes back first.
    ASSERT_TRUE(mismatched->sendText("< echo >"));
    EXPECT_EQ(mismatched->next(), "echo");
    EXPECT_EQ(hub_->stats().frames_mismatched, 1u);
}

TEST_F(HubTest, BusStatsGiveBitRateLoadAndFramesOfTheLastSecond) {
    quorbus::HubOptions options;
    options.bitrate_bps = 1000000;
    start(options);
    auto sender = joined("vbus0");
    auto receiver = joined("vbus0");
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(sender->sendText("< send 181 8 11 22 33 44 55 66 77 88 >"));
    for (int i = 0; i < 10; ++i) ASSERT_EQ(frameText(receiver->next()), "181#1122334455667788");
    // Frames count once the 10 ms slot they ended in is complete.
    std::vector<std::string_view> words;
    std::string reply;
    ASSERT_TRUE(testsupport::waitUntil([&] {
        if (!receiver->sendText("< busstats >")) return false;
        reply = receiver->next().value_or("");
        words = sc::splitWords(reply);
        return words.size() == 4 && words[3] == "10";
    })) << reply;
    EXPECT_EQ(words[0], "busstats");
    EXPECT_EQ(words[1], "1000");
    // 10 frames of 115 bits at 1 Mbit/s: 1.15 ms of the second.
    EXPECT_NEAR(std::stod(std::string(words[2])), 0.115, 0.006);
}

// Without --bitrate a bus only notes the first announced rate (for its
// load); with "auto" that rate paces it and later clients must match it.
TEST_F(HubTest, FirstAnnouncedBitRateIsTheBussUnpacedOrPaced) {
    for (const bool paced : {false, true}) {
        quorbus::HubOptions options;
        options.bitrate_from_clients = paced;
        start(options);
        auto plain = joined("vbus0", true);
        ASSERT_TRUE(plain->sendText("< busstats >"));
        EXPECT_EQ(plain->next(), "busstats 0 0.00 0");
        auto first = joined("vbus0", true, 500);
        auto other = joined("vbus0", true, 250);
        ASSERT_TRUE(first->sendText("< busstats >"));
        EXPECT_EQ(first->next(), "busstats 500 0.00 0");
        ASSERT_TRUE(other->sendText("< send 321 0 >"));
        if (paced) {
            const auto message = other->next();
            EXPECT_TRUE(message && sc::parseErrFrame(sc::splitWords(*message)))
                << message.value_or("<none>");
            ASSERT_TRUE(first->sendText("< send 322 0 >"));
            EXPECT_EQ(frameText(plain->next()), "322#");
        } else {
            EXPECT_EQ(frameText(plain->next()), "321#");
        }
        TearDown();
        hub_.reset();
    }
}

}  // namespace
