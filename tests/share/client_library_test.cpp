// The C functions of libquorshare.so against the real TMessaging.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "share/quorshare.h"
#include "share_fixture.h"

namespace {

using namespace std::chrono_literals;
using testsupport::waitUntil;

class ClientLibraryTest : public sharetest::ShareFixture {
protected:
    QuorshareClient* connected() {
        const int before = messaging_->clientCount();
        QuorshareClient* client = nullptr;
        EXPECT_EQ(quorshare_connect(10000, &client), QUORSHARE_OK);
        EXPECT_TRUE(waitUntil([&] { return messaging_->clientCount() == before + 1; }));
        return client;
    }

    // Receives until `count` frames came (or 10 s passed).
    std::vector<std::string> receive(QuorshareClient* client, std::size_t count,
                                     int32_t capacity = 64) {
        std::vector<std::string> texts;
        std::vector<QuorshareFrame> frames(static_cast<std::size_t>(capacity));
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (texts.size() < count && std::chrono::steady_clock::now() < end) {
            int32_t got = 0;
            const int result = quorshare_receive(client, frames.data(), capacity, 100, &got);
            if (result != QUORSHARE_OK && result != QUORSHARE_TIMEOUT) break;
            for (int32_t i = 0; i < got; ++i) texts.push_back(share::FrameText(frames[i]));
        }
        return texts;
    }
};

TEST_F(ClientLibraryTest, AClientStartedBeforeQuorvaneWaitsForIt) {
    std::atomic<bool> calling{false};
    int result = -1;
    QuorshareClient* client = nullptr;
    std::thread early([&] {
        calling = true;
        result = quorshare_connect(30000, &client);
    });
    ASSERT_TRUE(waitUntil([&] { return calling.load(); }));
    startQuorvane();
    early.join();
    ASSERT_EQ(result, QUORSHARE_OK);
    EXPECT_TRUE(waitUntil([&] { return messaging_->clientCount() == 1; }));
    record("181#01");
    forward();
    EXPECT_EQ(receive(client, 1), (std::vector<std::string>{"181#01"}));
    quorshare_disconnect(client);
    EXPECT_TRUE(waitUntil([&] { return messaging_->clientCount() == 0; }));
}

TEST_F(ClientLibraryTest, ConnectWithoutQuorvaneOrRuntimeFolderFails) {
    QuorshareClient* client = nullptr;
    EXPECT_EQ(quorshare_connect(0, &client), QUORSHARE_TIMEOUT);
    EXPECT_EQ(quorshare_connect(120, &client), QUORSHARE_TIMEOUT);
    EXPECT_EQ(client, nullptr);
    EXPECT_EQ(quorshare_connect(0, nullptr), QUORSHARE_BAD_ARGUMENT);
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(quorshare_connect(0, &client), QUORSHARE_NO_RUNTIME_DIR);
}

TEST_F(ClientLibraryTest, ReceiveHandsEachBatchOutInBusOrder) {
    startQuorvane();
    QuorshareClient* client = connected();
    for (const char* text : {"181#01", "181#02", "181#03"}) record(text);
    forward();
    for (const char* text : {"181#04", "12345678#05", "705#R1"}) record(text);
    forward();
    EXPECT_EQ(receive(client, 6, 2), (std::vector<std::string>{"181#01", "181#02", "181#03",
                                                               "181#04", "12345678#05", "705#R1"}));
    QuorshareFrame frame{};
    int32_t count = -1;
    EXPECT_EQ(quorshare_receive(client, &frame, 1, 0, &count), QUORSHARE_TIMEOUT);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(quorshare_receive(client, &frame, 0, 0, &count), QUORSHARE_BAD_ARGUMENT);
    quorshare_disconnect(client);
}

TEST_F(ClientLibraryTest, FiltersHoldEvenForFramesForwardedBeforeTheSetting) {
    startQuorvane();
    QuorshareClient* client = connected();
    record("181#01");
    record("182#02");
    forward();  // forwarded with the default filters, not yet received
    // Slot 1 first: quorvane never holds a setting that passes less than the last.
    ASSERT_EQ(quorshare_setfilter(client, 1, 0x0000FFFF, 0x0181FFFF), QUORSHARE_OK);
    ASSERT_EQ(quorshare_setfilter(client, 0, 0xFFFFFFFF, 0), QUORSHARE_OK);
    EXPECT_EQ(quorshare_setfilter(client, 32, 0, 0), QUORSHARE_BAD_ARGUMENT);
    record("182#03");
    record("00000181#04");
    record("181#05");
    forward();
    EXPECT_EQ(receive(client, 2), (std::vector<std::string>{"181#01", "181#05"}));
    quorshare_disconnect(client);
}

TEST_F(ClientLibraryTest, SentFramesAreTransmittedInOrder) {
    startQuorvane();
    QuorshareClient* client = connected();
    QuorshareFrame frames[3] = {};
    frames[0] = *share::ParseFrameText("123#1122");
    frames[1] = *share::ParseFrameText("12345678#AA");
    frames[2] = *share::ParseFrameText("705#R2");
    ASSERT_EQ(quorshare_send(client, frames, 3), QUORSHARE_OK);
    EXPECT_TRUE(waitUntil([&] { return sentTexts().size() == 3; }));
    EXPECT_EQ(sentTexts(), (std::vector<std::string>{"123#1122", "12345678#AA", "705#R2"}));

    QuorshareFrame tooLong = frames[0];
    tooLong.length = 9;
    QuorshareFrame pair[2] = {frames[0], tooLong};
    EXPECT_EQ(quorshare_send(client, pair, 2), QUORSHARE_BAD_ARGUMENT);  // nothing goes
    ASSERT_EQ(quorshare_send(client, &frames[1], 1), QUORSHARE_OK);
    EXPECT_TRUE(waitUntil([&] { return sentTexts().size() == 4; }));
    EXPECT_EQ(sentTexts().back(), "12345678#AA");
    quorshare_disconnect(client);
}

TEST_F(ClientLibraryTest, FramesBeforeQuorvaneShutsDownComeFirstThenTheEnd) {
    startQuorvane();
    QuorshareClient* client = connected();
    record("181#01");
    forward();
    messaging_->Stop();
    EXPECT_EQ(receive(client, 1), (std::vector<std::string>{"181#01"}));
    QuorshareFrame frame{};
    int32_t count = -1;
    EXPECT_EQ(quorshare_receive(client, &frame, 1, 10000, &count), QUORSHARE_ENDED);
    EXPECT_EQ(count, 0);
    quorshare_disconnect(client);
}

TEST_F(ClientLibraryTest, AnotherUsersQuorvaneIsNotJoined) {
    auto o = options();
    o.peerUid = [](int) { return std::optional<uid_t>(geteuid() + 1); };
    startQuorvane(std::move(o));
    QuorshareClient* client = nullptr;
    EXPECT_EQ(quorshare_connect(1000, &client), QUORSHARE_REFUSED);
    EXPECT_EQ(client, nullptr);
}

TEST_F(ClientLibraryTest, EveryResultHasItsOwnText) {
    std::set<std::string> texts;
    for (int code = QUORSHARE_OK; code <= QUORSHARE_SYSTEM_ERROR; ++code) {
        texts.insert(quorshare_resulttext(code));
    }
    EXPECT_EQ(texts.size(), 8u);
    EXPECT_STREQ(quorshare_resulttext(99), "unknown result code");
}

}  // namespace
