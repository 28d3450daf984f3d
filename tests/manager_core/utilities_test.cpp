// TUtilities against the library, quorbus and a simulated manager: blocking
// transfers, a refused start returned at once, one transfer at a time.
#include "manager/core/utilities.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/simulated_network.h"

namespace {

constexpr uint8_t kManager = 16;

class UtilitiesTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("MORVELLCANOPEN_SDO_TIMEOUT_MS", "3000", 1);
        network = std::make_unique<testsupport::SimulatedNetwork>("util");
        ASSERT_EQ(network->start({"--manager", "16"}), "");
        HwParallelParams params{125, 0x378, 7, 0};
        LibraryResult result{};
        Hardware_Initialize(HW_PARALLEL_DONGLE, &params, &result);
        ASSERT_EQ(result.code, 0) << result.text;
    }
    void TearDown() override {
        Hardware_Close();
        network.reset();
    }

    // Runs call on another thread; false when it did not return within the limit.
    template <class Call>
    static bool returns(Call call, std::chrono::seconds limit = std::chrono::seconds(20)) {
        auto done = std::async(std::launch::async, call);
        return done.wait_for(limit) == std::future_status::ready;
    }

    std::unique_ptr<testsupport::SimulatedNetwork> network;
    TUtilities utilities;
};

TEST_F(UtilitiesTest, TransfersBlockUntilTheyEnd) {
    EXPECT_EQ(utilities.completionEventName(),
              std::to_string(getpid()) + "utilitiessdo_completedevent");
    const uint8_t word[2] = {0x34, 0x12};
    LibraryResult result{};
    utilities.SDODownload(kManager, 0x2000, 2, word, 2, result);
    ASSERT_EQ(result.code, 0) << result.text;
    uint8_t buffer[1000] = {};
    uint32_t length = sizeof buffer;
    utilities.SDOUpload(kManager, 0x2000, 2, buffer, length, result);
    ASSERT_EQ(result.code, 0) << result.text;
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(buffer[0] | buffer[1] << 8, 0x1234);
    // A segmented upload.
    length = sizeof buffer;
    utilities.SDOUpload(kManager, 0x2001, 0, buffer, length, result);
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), length),
              "Quorsim Manager node 16: ready");
    // An abort comes back with the library's text.
    length = sizeof buffer;
    utilities.SDOUpload(kManager, 0x2000, 9, buffer, length, result);
    EXPECT_EQ(result.code, 5);
    EXPECT_STREQ(result.text, "Sub-index does not exist (0x06090011)");
}

TEST_F(UtilitiesTest, ARefusedStartReturnsAtOnceAndLeavesNoStaleCompletion) {
    Hardware_Close();
    LibraryResult result{};
    ASSERT_TRUE(returns([&] {
        uint8_t buffer[4];
        uint32_t length = sizeof buffer;
        utilities.SDOUpload(kManager, 0x1000, 0, buffer, length, result);
    })) << "waited for a completion that never comes";
    EXPECT_NE(result.code, 0);
    EXPECT_STREQ(result.text, "the CAN interface is not open");

    // The next transfer waits for its own completion.
    HwParallelParams params{125, 0x378, 7, 0};
    Hardware_Initialize(HW_PARALLEL_DONGLE, &params, &result);
    ASSERT_EQ(result.code, 0) << result.text;
    uint8_t buffer[4] = {};
    uint32_t length = sizeof buffer;
    utilities.SDOUpload(kManager, 0x1000, 0, buffer, length, result);
    EXPECT_EQ(result.code, 0) << result.text;
    EXPECT_EQ(length, 4u);
}

TEST_F(UtilitiesTest, CallersOnSeveralThreadsGetOneTransferAtATime) {
    // The library refuses a second transfer while one runs; TUtilities queues it.
    constexpr int kThreads = 4;
    constexpr int kEach = 25;
    std::vector<int32_t> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                uint8_t buffer[1000];
                uint32_t length = sizeof buffer;
                LibraryResult result{};
                utilities.SDOUpload(kManager, 0x1F81, static_cast<uint8_t>(1 + t), buffer, length,
                                    result);
                if (result.code != 0 || length != 4) ++failures[t];
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures, std::vector<int32_t>(kThreads, 0));
}

TEST_F(UtilitiesTest, CancelEndsTheTransferInFlight) {
    ASSERT_EQ(network->sim->writeLine("silent 16 0x1000 0"), true);
    ASSERT_FALSE(network->sim->waitForLine("ok entry silent").empty());
    LibraryResult result{};
    std::atomic<bool> done{false};
    std::thread transfer([&] {
        uint8_t buffer[4];
        uint32_t length = sizeof buffer;
        utilities.SDOUpload(kManager, 0x1000, 0, buffer, length, result);
        done = true;
    });
    // Cancel until the transfer has started and ended (code 1, not the time-out).
    const bool ended = testsupport::waitUntil(
        [&] {
            utilities.CancelTransfer();
            return done.load();
        },
        std::chrono::seconds(10));
    transfer.join();
    EXPECT_TRUE(ended);
    EXPECT_EQ(result.code, 1) << result.text;
}

}  // namespace
