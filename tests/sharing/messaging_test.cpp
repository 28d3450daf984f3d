// TMessaging over its real socket: registration, forwarding, client data,
// filters, slow and vanishing clients, the socket's life and who may use it.
// Clients are RawClients speaking the wire format by hand; the frame sender
// is a fake that records what would have been transmitted.
#include "sharing/messaging.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include "raw_client.h"
#include "support/child_process.h"

namespace {

using namespace std::chrono_literals;
using sharing::Bytes;
using sharingtest::FromHex;
using sharingtest::RawClient;
using sharingtest::Texts;
using testsupport::waitUntil;

class MessagingTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/quorvane-sharing-test-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        dir_ = folder;
        path_ = dir_ + "/quorvane-sharing.sock";
    }
    void TearDown() override {
        messaging_.reset();
        std::filesystem::remove_all(dir_);
    }

    TMessaging::Options options() {
        TMessaging::Options o;
        o.socketPath = path_;
        o.send = [this](const CanFrame& frame) {
            std::lock_guard guard(sentMutex_);
            sent_.push_back(frame);
        };
        return o;
    }
    TMessaging& start(TMessaging::Options o) {
        messaging_ = std::make_unique<TMessaging>(std::move(o));
        messaging_->Start();
        return *messaging_;
    }
    TMessaging& start() { return start(options()); }

    // A registered client, counted by quorvane.
    std::unique_ptr<RawClient> registered() {
        const int before = messaging_->clientCount();
        auto client = std::make_unique<RawClient>(path_);
        EXPECT_TRUE(client->Register());
        EXPECT_TRUE(waitUntil([&] { return messaging_->clientCount() == before + 1; }));
        return client;
    }

    void record(uint32_t id, std::vector<uint8_t> data, bool extended = false,
                bool remote = false) {
        messaging_->RecordFrame(id, static_cast<uint8_t>(data.size()), 0, 0, remote, extended,
                                data.data());
    }

    std::vector<std::string> sentTexts() {
        std::lock_guard guard(sentMutex_);
        return Texts(sent_);
    }

    std::string dir_, path_;
    std::unique_ptr<TMessaging> messaging_;
    std::mutex sentMutex_;
    std::vector<CanFrame> sent_;
};

Bytes frameBytes(uint32_t id, std::vector<uint8_t> data) {
    CanFrame frame{};
    frame.id = id;
    frame.length = static_cast<uint8_t>(data.size());
    std::copy(data.begin(), data.end(), frame.data);
    Bytes bytes;
    sharing::AppendFrame(bytes, frame);
    return bytes;
}

TEST_F(MessagingTest, NotificationsRegisterAndUnregisterTheConnection) {
    using sharing::kFromClient;
    using sharing::kFromQuorvane;
    using sharing::kMessageHandle;
    using sharing::kMessageShutdown;
    using sharing::kMessageStartup;
    struct Step {
        uint32_t message, flag;
    };
    struct Row {
        const char* name;
        std::vector<Step> steps;
        int handles;      // Handle answers received
        bool registered;  // a frame sent afterwards is transmitted
    } rows[] = {
        {"Startup", {{kMessageStartup, kFromClient}}, 1, true},
        {"Startup twice",
         {{kMessageStartup, kFromClient}, {kMessageStartup, kFromClient}},
         2,
         true},
        {"Handle from a client", {{kMessageHandle, kFromClient}}, 0, true},
        {"Startup with flag 0", {{kMessageStartup, kFromQuorvane}}, 0, false},
        {"Handle with flag 0", {{kMessageHandle, kFromQuorvane}}, 0, false},
        {"Startup, Shutdown",
         {{kMessageStartup, kFromClient}, {kMessageShutdown, kFromClient}},
         1,
         false},
        {"Shutdown, never registered", {{kMessageShutdown, kFromClient}}, 0, false},
        {"Shutdown with flag 0",
         {{kMessageStartup, kFromClient}, {kMessageShutdown, kFromQuorvane}},
         1,
         true},
        {"unknown message", {{7, kFromClient}}, 0, false},
    };
    start();
    auto bystander = registered();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        {
            std::lock_guard guard(sentMutex_);
            sent_.clear();
        }
        RawClient client(path_);
        for (const Step& step : row.steps) ASSERT_TRUE(client.Notify(step.message, step.flag));
        ASSERT_TRUE(client.SendData(sharing::kBlockFrames, frameBytes(0x123, {1})));
        client.EndWriting();
        int handles = 0;
        for (const auto& message : client.AllUntilEnd()) {
            EXPECT_EQ(message.message, kMessageHandle);
            EXPECT_EQ(message.parameter, kFromQuorvane);
            EXPECT_EQ(message.handle, static_cast<uint32_t>(getpid()));
            ++handles;
        }
        EXPECT_TRUE(client.ended());
        EXPECT_EQ(handles, row.handles);
        EXPECT_EQ(sentTexts().size(), row.registered ? 1u : 0u);
        EXPECT_TRUE(waitUntil([&] { return messaging_->clientCount() == 1; }));
    }
}

TEST_F(MessagingTest, AConnectionIsInTheListOnceAndGetsABatchNewestFirst) {
    start();
    auto client = registered();
    ASSERT_TRUE(client->Notify(sharing::kMessageStartup));  // again: still one entry
    ASSERT_TRUE(client->Notify(sharing::kMessageHandle));
    ASSERT_TRUE(client->Next());
    record(0x181, {1});
    record(0x182, {2});
    record(0x12345678, {3}, true);
    messaging_->StartForwardingPass();
    EXPECT_EQ(Texts(client->NextBatch()),
              (std::vector<std::string>{"12345678#03", "182#02", "181#01"}));
    record(0x183, {4}, false, true);
    messaging_->StartForwardingPass();
    EXPECT_EQ(Texts(client->NextBatch()), (std::vector<std::string>{"183#R1"}));
    EXPECT_EQ(messaging_->clientCount(), 1);
}

TEST_F(MessagingTest, ClientBlocksAreTransmittedOnlyWhenWholeAndValid) {
    struct Row {
        const char* name;
        uint32_t kind;
        Bytes block;
        std::vector<std::string> transmitted;
    } rows[] = {
        {"30 bytes: two frames",
         sharing::kBlockFrames,
         FromHex("81010000 02 00 1122000000000000 82010000 08 00 0102030405060708 abcd"),
         {"181#1122", "182#0102030405060708"}},
        {"length 9 skipped",
         sharing::kBlockFrames,
         FromHex("81010000 09 00 1122334455667788 82010000 00 00 0000000000000000"),
         {"182#"}},
        {"13 bytes", sharing::kBlockFrames, FromHex("81010000 02 00 11220000000000"), {}},
        {"empty block", sharing::kBlockFrames, {}, {}},
        {"filter of 11 bytes", sharing::kBlockFilter, FromHex("ffffffff 00000000 000000"), {}},
        {"unknown kind", 2, frameBytes(0x185, {5}), {}},
        {"extended and remote",
         sharing::kBlockFrames,
         FromHex("78563412 03 03 aabbcc0000000000"),
         {"12345678#R3"}},
    };
    start();
    auto client = registered();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        {
            std::lock_guard guard(sentMutex_);
            sent_.clear();
        }
        ASSERT_TRUE(client->SendData(row.kind, row.block));
        ASSERT_TRUE(client->Register());  // answered after the block was handled
        EXPECT_EQ(sentTexts(), row.transmitted);
    }
    // None of the blocks touched the filters: every frame still passes.
    record(0x7FF, {});
    messaging_->StartForwardingPass();
    EXPECT_EQ(Texts(client->NextBatch()), (std::vector<std::string>{"7FF#"}));
}

TEST_F(MessagingTest, DataFromAnUnregisteredConnectionIsIgnored) {
    start();
    RawClient client(path_);
    ASSERT_TRUE(client.SendData(sharing::kBlockFrames, frameBytes(0x123, {1})));
    ASSERT_TRUE(client.SendData(sharing::kBlockFilter, FromHex("ffffffff 00000000 00000000")));
    ASSERT_TRUE(client.Register());
    EXPECT_TRUE(sentTexts().empty());
    ASSERT_TRUE(waitUntil([&] { return messaging_->clientCount() == 1; }));
    record(0x181, {});  // slot 0 was not closed before registration
    messaging_->StartForwardingPass();
    EXPECT_EQ(Texts(client.NextBatch()), (std::vector<std::string>{"181#"}));
}

TEST_F(MessagingTest, TwoClientsGetWhatTheirOwnFiltersPass) {
    start();
    auto only181 = registered();
    auto everything = registered();
    ASSERT_TRUE(only181->SetFilter(1, 0x0000FFFF, 0x0181FFFF));
    ASSERT_TRUE(only181->SetFilter(0, 0xFFFFFFFF, 0));
    ASSERT_TRUE(only181->SetFilter(32, 0xFFFFFFFF, 0xFFFFFFFF));  // no slot 32: ignored
    ASSERT_TRUE(only181->Register());  // the filters are set once this is answered

    record(0x181, {0x11, 0x22});
    record(0x182, {0x11});
    record(0x181, {}, true);
    record(0x181, {0xFF, 0xFF, 0xFF}, false, false);
    record(0x081, {});
    messaging_->StartForwardingPass();
    EXPECT_EQ(Texts(only181->NextBatch()), (std::vector<std::string>{"181#FFFFFF", "181#1122"}));
    EXPECT_EQ(Texts(everything->NextBatch()),
              (std::vector<std::string>{"081#", "181#FFFFFF", "00000181#", "182#11", "181#1122"}));
}

TEST_F(MessagingTest, OverlappingPassesDeliverInTheOrderTheyTookFrames) {
    start();
    auto client = registered();
    // Idle clients lengthen each pass (a batch is built for each).
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 3; ++i) idle.push_back(registered());
    constexpr uint32_t kFrames = 80000;
    std::atomic<bool> readerDone{false};
    std::atomic<uint32_t> misordered{0}, newest{0};
    std::thread reader([&] {
        uint32_t last = 0;
        while (last < kFrames) {
            const auto batch = client->NextBatch(20s);
            if (batch.empty()) break;
            for (auto frame = batch.rbegin(); frame != batch.rend(); ++frame) {  // bus order
                uint32_t sequence = 0;
                std::memcpy(&sequence, frame->data, sizeof sequence);
                if (sequence <= last) ++misordered;
                last = sequence;
            }
            newest = last;
        }
        readerDone = true;
    });
    std::thread library([&] {
        for (uint32_t sequence = 1; sequence <= kFrames; ++sequence) {
            // Paced like a busy bus, so that many passes run meanwhile.
            if (sequence % 20 == 0) std::this_thread::sleep_for(50us);
            uint8_t data[8] = {};
            std::memcpy(data, &sequence, sizeof sequence);
            messaging_->RecordFrame(0x181, 8, 0, 0, false, false, data);
        }
    });
    // Passes started back to back, several at a time.
    const auto end = std::chrono::steady_clock::now() + 60s;
    uint64_t started = 0;
    while (!readerDone && std::chrono::steady_clock::now() < end) {
        if (started - messaging_->passesDone() < 16) {
            messaging_->StartForwardingPass();
            ++started;
        } else {
            std::this_thread::yield();
        }
    }
    library.join();
    reader.join();
    EXPECT_EQ(newest.load(), kFrames);
    EXPECT_EQ(misordered.load(), 0u);
    EXPECT_GT(started, 200u);
}

TEST_F(MessagingTest, AClientThatStopsReadingLosesFramesAndDelaysNobody) {
    auto o = options();
    o.clientQueueBytes = 64 * 1024;
    start(std::move(o));
    auto stalled = registered();  // never reads
    auto reading = registered();
    constexpr int kRounds = 100, kPerRound = 1000;
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < kPerRound; ++i) record(0x181, {uint8_t(i), uint8_t(round)});
        messaging_->StartForwardingPass();
        ASSERT_EQ(reading->NextBatch().size(), std::size_t(kPerRound)) << "round " << round;
    }
    ASSERT_TRUE(waitUntil([&] { return messaging_->passesDone() == kRounds; }));
    const auto stats = messaging_->clientStats();
    ASSERT_EQ(stats.size(), 2u);
    EXPECT_GT(stats[0].droppedFrames, 0u);
    EXPECT_EQ(stats[0].droppedFrames + stats[0].forwardedFrames, uint64_t(kRounds * kPerRound));
    EXPECT_EQ(stats[1].droppedFrames, 0u);
    EXPECT_EQ(stats[1].forwardedFrames, uint64_t(kRounds * kPerRound));
}

TEST_F(MessagingTest, AClientVanishingMidStreamLeavesTheOthersServed) {
    start();
    auto vanishing = registered();
    auto staying = registered();
    for (int round = 0; round < 40; ++round) {
        if (round == 10) vanishing->Close();  // with unread batches in its socket
        for (int i = 0; i < 200; ++i) record(0x181, {uint8_t(i)});
        messaging_->StartForwardingPass();
        ASSERT_EQ(staying->NextBatch().size(), 200u) << "round " << round;
    }
    EXPECT_TRUE(waitUntil([&] { return messaging_->clientCount() == 1; }));
}

TEST_F(MessagingTest, StaleSocketOfAnEndedProcessIsReplaced) {
    const int crashed = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(crashed, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(crashed);  // the file stays, nobody listens
    ASSERT_TRUE(std::filesystem::exists(path_));

    start();
    EXPECT_TRUE(messaging_->serving());
    registered();
}

TEST_F(MessagingTest, SocketOfARunningQuorvaneIsLeftAlone) {
    start();
    {
        TMessaging second(options());
        second.Start();
        EXPECT_FALSE(second.serving());
    }
    EXPECT_TRUE(std::filesystem::exists(path_));
    auto client = registered();
    record(0x181, {});
    messaging_->StartForwardingPass();
    EXPECT_EQ(client->NextBatch().size(), 1u);
}

TEST_F(MessagingTest, SocketIsTheUsersOwn) {
    start();
    struct stat made {};
    ASSERT_EQ(stat(path_.c_str(), &made), 0);
    EXPECT_TRUE(S_ISSOCK(made.st_mode));
    EXPECT_EQ(made.st_mode & 0777, 0600u);
    EXPECT_EQ(made.st_uid, geteuid());
}

TEST_F(MessagingTest, PeerOfAnotherUserIsRefused) {
    auto o = options();
    o.peerUid = [](int) { return std::optional<uid_t>(geteuid() + 1); };
    start(std::move(o));
    RawClient client(path_);
    ASSERT_TRUE(client.connected());  // the kernel accepts; quorvane then closes
    client.Notify(sharing::kMessageStartup);
    EXPECT_TRUE(client.AllUntilEnd().empty());
    EXPECT_TRUE(client.ended());
    EXPECT_EQ(messaging_->refusedConnections(), 1u);
    EXPECT_EQ(messaging_->clientCount(), 0);
}

TEST_F(MessagingTest, AnotherUserCannotOpenTheSocket) {
    if (geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
    start();
    ASSERT_EQ(chmod(dir_.c_str(), 0711), 0);  // the folder is no obstacle: the socket mode is
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(3);
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) _exit(2);
        _exit(errno == EACCES ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: connected, 1: other error, 3: no setuid";
}

TEST_F(MessagingTest, StopSaysShutdownAndRemovesTheSocket) {
    start();
    auto client = registered();
    messaging_->Stop();
    const auto messages = client->AllUntilEnd();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, sharing::kMessageShutdown);
    EXPECT_EQ(messages[0].parameter, sharing::kFromQuorvane);
    EXPECT_TRUE(client->ended());
    EXPECT_FALSE(std::filesystem::exists(path_));
    EXPECT_FALSE(messaging_->serving());
    EXPECT_EQ(messaging_->clientCount(), 0);
    record(0x181, {});
    messaging_->StartForwardingPass();  // idle: nothing to do, nothing to crash
    EXPECT_EQ(messaging_->passesDone(), 0u);
}

TEST_F(MessagingTest, WithoutItsMemoryItDoesNothing) {
    auto o = options();
    int allocations = 0;
    o.allocate = [&allocations](std::size_t count) {
        // The ring succeeds, the copy-out area fails: the ring is released.
        return ++allocations == 1 ? std::make_unique<sharing::MessagingEntry[]>(count) : nullptr;
    };
    start(std::move(o));
    EXPECT_EQ(allocations, 2);
    EXPECT_FALSE(messaging_->usable());
    EXPECT_FALSE(messaging_->serving());
    EXPECT_FALSE(std::filesystem::exists(path_));
    EXPECT_TRUE(TMessaging(options()).usable());
}

}  // namespace
