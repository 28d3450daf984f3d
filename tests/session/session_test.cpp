// The session's threading contract: callbacks on the I/O thread, calls from
// inside callbacks, exactly one completion per started transfer, refusals
// without completion, shutdown and broken transports.
#include "session/session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "fake_transport.h"
#include "protocol/can_frame.h"
#include "protocol/sdo_server.h"
#include "support/child_process.h"

namespace {

using morvell::makeFrame;
using morvell::session::Callbacks;
using morvell::session::Session;
using morvell::session::SessionConfig;
using sessiontest::FakeTransport;
using testsupport::waitUntil;

constexpr std::uint8_t kNode = 5;

// A tiny object dictionary: 0x2000/0 holds 4 read-only bytes.
class Objects : public morvell::sdo::ObjectAccess {
public:
    std::uint32_t read(std::uint16_t i, std::uint8_t s, std::vector<std::uint8_t>& v) override {
        if (i != 0x2000 || s != 0) return 0x06020000;
        v = {0x78, 0x56, 0x34, 0x12};
        return 0;
    }
    std::uint32_t checkWrite(std::uint16_t, std::uint8_t, std::optional<std::size_t>) override {
        return 0x06010002;
    }
    std::uint32_t write(std::uint16_t, std::uint8_t, std::span<const std::uint8_t>) override {
        return 0x06010002;
    }
};

// What the callbacks saw. The callbacks are plain functions, so the record
// is process-wide and reset by each test.
struct Record {
    std::mutex mutex;
    std::vector<CanFrame> transmitted;
    std::vector<std::int32_t> errors, completions;
    std::vector<std::thread::id> callback_threads;
    std::atomic<int> completion_count{0};
    std::function<void(const CanFrame&)> on_receive;
};
Record* record = nullptr;

void onReceive(const CanFrame* f, std::int32_t) {
    {
        std::lock_guard lock(record->mutex);
        record->callback_threads.push_back(std::this_thread::get_id());
    }
    if (record->on_receive) record->on_receive(*f);
}
void onTransmit(const CanFrame* f) {
    std::lock_guard lock(record->mutex);
    record->transmitted.push_back(*f);
    record->callback_threads.push_back(std::this_thread::get_id());
}
void onError(std::int32_t code) {
    std::lock_guard lock(record->mutex);
    record->errors.push_back(code);
}
void onCompletion(const LibraryResult* r) {
    {
        std::lock_guard lock(record->mutex);
        record->completions.push_back(r->code);
    }
    ++record->completion_count;
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        record = &rec;
        callbacks.receive = onReceive;
        callbacks.transmit = onTransmit;
        callbacks.error = onError;
    }
    void TearDown() override {
        session.reset();
        record = nullptr;
    }

    // Opens a session whose peer is an SDO server for kNode.
    void open(SessionConfig config = {}) {
        auto t = std::make_unique<FakeTransport>();
        fake = t.get();
        server = std::make_unique<morvell::sdo::Server>(morvell::sdo::ServerConfig{.node = kNode},
                                                        objects);
        fake->setPeer([this](const CanFrame& f) {
            std::lock_guard lock(server_mutex);
            server->onFrame(f, morvell::sdo::Clock::now());
            return server->takeFrames();
        });
        std::string error;
        session = Session::start(std::move(t), config, callbacks, &error);
        ASSERT_TRUE(session) << error;
    }

    int completions() { return rec.completion_count.load(); }

    // An upload the server never answers: it runs until something ends it.
    void startUnansweredUpload() {
        server->setFault(morvell::sdo::ServerFault::NoAnswer);
        silent_length = sizeof silent_buffer;
        ASSERT_EQ(session
                      ->startUpload(kNode, 0x2000, 0, silent_buffer, &silent_length, nullptr,
                                    onCompletion)
                      .code,
                  0);
    }
    std::uint8_t silent_buffer[8] = {};
    std::uint32_t silent_length = 0;

    Record rec;
    Callbacks callbacks;
    Objects objects;
    std::mutex server_mutex;
    std::unique_ptr<morvell::sdo::Server> server;
    FakeTransport* fake = nullptr;
    std::unique_ptr<Session> session;
};

TEST_F(SessionTest, ReceiveCallbackMayTransmitAndAllCallbacksRunOnTheIoThread) {
    open();
    rec.on_receive = [&](const CanFrame& f) {
        if (f.id == 0x100) session->transmit(makeFrame(0x101, {f.data[0]}));
    };
    fake->inject(makeFrame(0x100, {7}));
    ASSERT_TRUE(waitUntil([&] {
        std::lock_guard l(rec.mutex);
        return !rec.transmitted.empty();
    }));
    std::lock_guard lock(rec.mutex);
    EXPECT_TRUE(morvell::sameFrame(rec.transmitted[0], makeFrame(0x101, {7})));
    ASSERT_EQ(rec.callback_threads.size(), 2u);
    EXPECT_EQ(rec.callback_threads[0], rec.callback_threads[1]);
    EXPECT_NE(rec.callback_threads[0], std::this_thread::get_id());
}

TEST_F(SessionTest, FramesLeaveInTheOrderOfTheCalls) {
    open();
    std::uint8_t buffer[8];
    for (int round = 0; round < 50; ++round) {
        std::uint32_t length = sizeof buffer;
        const int before = completions();
        ASSERT_EQ(session->transmit(makeFrame(0x000, {0x02, kNode})).code, 0);
        ASSERT_EQ(
            session->startUpload(kNode, 0x2000, 0, buffer, &length, nullptr, onCompletion).code, 0);
        ASSERT_TRUE(waitUntil([&] { return completions() == before + 1; }));
    }
    // Each transfer's first request (initiate upload, or block upload) follows its NMT command.
    const auto sent = fake->sent();
    int requests = 0;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const bool initiate =
            sent[i].id == 0x600 + kNode && (sent[i].data[0] == 0x40 || sent[i].data[0] == 0xA4);
        if (!initiate) continue;
        ++requests;
        ASSERT_TRUE(i > 0 && sent[i - 1].id == 0x000)
            << "request " << i << " overtook the NMT command";
    }
    EXPECT_EQ(requests, 50);
}

TEST_F(SessionTest, CancelCompletesWithCodeOne) {
    open();
    ASSERT_NO_FATAL_FAILURE(startUnansweredUpload());
    session->cancel();
    ASSERT_TRUE(waitUntil([&] { return completions() == 1; }));
    EXPECT_EQ(rec.completions[0], 1);
}

TEST_F(SessionTest, ClosingMidTransferCompletesItOnce) {
    open();
    ASSERT_NO_FATAL_FAILURE(startUnansweredUpload());
    session.reset();
    EXPECT_EQ(completions(), 1);
    EXPECT_EQ(rec.completions[0], 1);
}

TEST_F(SessionTest, ClosingFromACallbackDoesNotDeadlock) {
    open();
    std::atomic<bool> closed{false};
    rec.on_receive = [&](const CanFrame&) {
        session.reset();
        closed = true;
    };
    fake->inject(makeFrame(0x700 + kNode, {0}));
    EXPECT_TRUE(waitUntil([&] { return closed.load(); }));
}

TEST_F(SessionTest, BrokenTransportFailsTheTransferAndLaterCalls) {
    open();
    ASSERT_NO_FATAL_FAILURE(startUnansweredUpload());
    fake->injectError(MORVELL_ERROR_PASSIVE);
    ASSERT_TRUE(waitUntil([&] {
        std::lock_guard l(rec.mutex);
        return !rec.errors.empty();
    }));
    fake->breakConnection();
    ASSERT_TRUE(waitUntil([&] { return completions() == 1; }));
    EXPECT_EQ(rec.completions[0], 8);
    {
        std::lock_guard lock(rec.mutex);
        EXPECT_EQ(rec.errors, (std::vector<std::int32_t>{MORVELL_ERROR_PASSIVE,
                                                         MORVELL_ERROR_CONNECTION_LOST}));
    }
    EXPECT_EQ(session->transmit(makeFrame(0x100, {})).code, 8);
}

TEST_F(SessionTest, FullTransmitQueueIsRefusedAndDrainsLater) {
    SessionConfig config;
    config.transmit_queue_limit = 4;
    open(config);
    fake->refuseSends(1 << 30);
    int accepted = 0;
    for (int i = 0; i < 100; ++i)
        if (session->transmit(makeFrame(0x200, {static_cast<std::uint8_t>(i)})).code == 0)
            ++accepted;
    // The limit holds the queue and the frames the transport still refuses.
    EXPECT_LE(accepted, 8);
    fake->refuseSends(0);
    ASSERT_TRUE(waitUntil([&] { return static_cast<int>(fake->sent().size()) == accepted; }));
    const auto sent = fake->sent();
    for (std::size_t i = 1; i < sent.size(); ++i) EXPECT_LT(sent[i - 1].data[0], sent[i].data[0]);
}

}  // namespace
