// A simulated network for library tests: quorbus on a free port, quorsim
// playing nodes on it, and the library pointed at it through the
// environment. Each test program process opens the library afresh.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "morvellcanopen.h"
#include "support/child_process.h"

namespace integration {

class SimulatedNetwork : public ::testing::Test {
protected:
    // Completions of transfers, in order; written by the library's I/O thread.
    static inline std::mutex completions_mutex;
    static inline std::condition_variable completed;
    static inline std::vector<LibraryResult> completions;
    static void onCompletion(const LibraryResult* r) {
        std::lock_guard lock(completions_mutex);
        completions.push_back(*r);
        completed.notify_all();
    }
    // Waits for the n-th completion (1-based); false after the limit.
    static bool waitForCompletion(std::size_t n) {
        std::unique_lock lock(completions_mutex);
        return completed.wait_for(lock, std::chrono::seconds(180),
                                  [&] { return completions.size() >= n; });
    }
    static std::size_t completionCount() {
        std::lock_guard lock(completions_mutex);
        return completions.size();
    }
    static LibraryResult lastCompletion() {
        std::lock_guard lock(completions_mutex);
        return completions.back();
    }

    void SetUp() override {
        {
            std::lock_guard lock(completions_mutex);
            completions.clear();
        }
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

    // Runs a call that starts a transfer and waits for its completion. A transfer
    // that does not end in time is cancelled before the test goes on, so the
    // library never writes into a buffer the test has let go.
    LibraryResult transfer(const std::function<void(LibraryResult*)>& start) {
        const std::size_t n = completionCount() + 1;
        LibraryResult r{};
        start(&r);
        if (r.code != 0) return r;
        if (!waitForCompletion(n)) {
            ADD_FAILURE() << "transfer did not complete in time";
            CANopen_Cancel();
            waitForCompletion(n);
        }
        return lastCompletion();
    }

    LibraryResult upload(std::uint8_t node, std::uint16_t index, std::uint8_t sub,
                         std::vector<std::uint8_t>& buffer, std::uint32_t capacity) {
        buffer.assign(capacity, 0);
        length = capacity;
        const LibraryResult r = transfer([&](LibraryResult* res) {
            CANopen_SDOUpload(node, index, sub, buffer.data(), &length, nullptr, onCompletion, res);
        });
        buffer.resize(length);
        return r;
    }

    LibraryResult download(std::uint8_t node, std::uint16_t index, std::uint8_t sub,
                           const std::vector<std::uint8_t>& data) {
        return transfer([&](LibraryResult* res) {
            CANopen_SDODownload(node, index, sub, data.data(),
                                static_cast<std::uint32_t>(data.size()), nullptr, onCompletion,
                                res);
        });
    }

    int port = 0;
    std::string channel;
    std::uint32_t length = 0;
    std::unique_ptr<testsupport::ChildProcess> bus, sim;
};

}  // namespace integration
