// A simulated network for library tests: quorbus on a free port, quorsim
// playing nodes on it, and the library pointed at it through the
// environment. Each test program process opens the library afresh.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "morvellcanopen.h"
#include "support/child_process.h"

namespace integration {

// Completion of one transfer, waited for by the test thread.
struct CompletionWaiter {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<LibraryResult> results;

    // Waits for the n-th completion (1-based); false after the limit.
    bool waitFor(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(180)) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, limit, [&] { return results.size() >= n; });
    }
    LibraryResult last() {
        std::lock_guard lock(mutex);
        return results.back();
    }
    std::size_t count() {
        std::lock_guard lock(mutex);
        return results.size();
    }
};

class SimulatedNetwork : public ::testing::Test {
protected:
    static CompletionWaiter* waiter;
    static void onCompletion(const LibraryResult* r) {
        std::lock_guard lock(waiter->mutex);
        waiter->results.push_back(*r);
        waiter->cv.notify_all();
    }

    void SetUp() override {
        waiter = &completions;
        port = testsupport::freeLoopbackPort();
        channel = "virtual:itest@" + std::to_string(port);
        setenv("MORVELLCANOPEN_CHANNEL", channel.c_str(), 1);
        setenv("MORVELLCANOPEN_QUORBUS", testsupport::programPath("quorbus").c_str(), 1);
        setenv("MORVELLCANOPEN_SDO_TIMEOUT_MS", "300", 1);
        bus = std::make_unique<testsupport::ChildProcess>(
            testsupport::programPath("quorbus"),
            std::vector<std::string>{"--port", std::to_string(port)});
        ASSERT_FALSE(bus->waitForLine("listening").empty()) << bus->errors();
    }

    void TearDown() override {
        Hardware_Close();
        Event_Receive(nullptr);
        Event_Transmit(nullptr);
        Event_MajorError(nullptr);
        sim.reset();
        bus.reset();
        waiter = nullptr;
    }

    // Starts quorsim with the given extra arguments and waits until it is ready.
    void startSimulator(std::vector<std::string> args) {
        args.insert(args.begin(), {"--channel", channel});
        sim =
            std::make_unique<testsupport::ChildProcess>(testsupport::programPath("quorsim"), args);
        ASSERT_FALSE(sim->waitForLine("quorsim ready").empty()) << sim->errors();
    }

    // Sends a quorsim command and checks its answer, the next line it prints.
    void simCommand(const std::string& command) {
        ASSERT_TRUE(sim->writeLine(command));
        const std::string answer = sim->waitForLine("");
        ASSERT_EQ(answer.rfind("ok", 0), 0u) << command << " -> " << answer << "\n"
                                             << sim->errors();
    }

    void openLibrary() {
        HwParallelParams params{125, 0x378, 7, 0};
        LibraryResult r{};
        Hardware_Initialize(HW_PARALLEL_DONGLE, &params, &r);
        ASSERT_EQ(r.code, 0) << r.text;
    }

    // Waits for the n-th completion. A transfer that does not end in time is
    // cancelled before the test goes on, so the library never writes into a
    // buffer the test has let go.
    void finish(std::size_t n) {
        if (completions.waitFor(n)) return;
        ADD_FAILURE() << "transfer did not complete in time";
        CANopen_Cancel();
        completions.waitFor(n);
    }

    // Starts an upload and waits for its completion; returns the result.
    LibraryResult upload(std::uint8_t node, std::uint16_t index, std::uint8_t sub,
                         std::vector<std::uint8_t>& buffer, std::uint32_t capacity) {
        buffer.assign(capacity, 0);
        length = capacity;
        LibraryResult r{};
        const auto before = completions.count();
        CANopen_SDOUpload(node, index, sub, buffer.data(), &length, nullptr, onCompletion, &r);
        if (r.code != 0) return r;
        finish(before + 1);
        buffer.resize(length);
        return completions.last();
    }

    LibraryResult download(std::uint8_t node, std::uint16_t index, std::uint8_t sub,
                           const std::vector<std::uint8_t>& data) {
        LibraryResult r{};
        const auto before = completions.count();
        CANopen_SDODownload(node, index, sub, data.data(), static_cast<std::uint32_t>(data.size()),
                            nullptr, onCompletion, &r);
        if (r.code != 0) return r;
        finish(before + 1);
        return completions.last();
    }

    int port = 0;
    std::string channel;
    std::uint32_t length = 0;
    CompletionWaiter completions;
    std::unique_ptr<testsupport::ChildProcess> bus, sim;
};

inline CompletionWaiter* SimulatedNetwork::waiter = nullptr;

}  // namespace integration
