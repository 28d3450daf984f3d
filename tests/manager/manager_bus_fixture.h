// A simulated network for the manager's window tests: quorbus on a free
// port, quorsim with a manager (node 16) and slaves 5 and 7, the library
// open on it with a short SDO time-out, and a second hub client that sees
// every frame.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "canlib/morvellcanopen.h"
#include "gui_support/gui_test_support.h"
#include "manager/core/utilities.h"
#include "sim/quorbus_test_client.h"
#include "support/child_process.h"
#include "support/scoped_time_zone.h"
#include "support/simulated_network.h"

namespace managertest {

using TimeZone = testsupport::ScopedTimeZone;

inline constexpr uint8_t kManagerNode = 16;
inline constexpr char kSdoTimeoutMs[] = "200";

class ManagerBusFixture : public ::testing::Test {
protected:
    void SetUp() override {
        guitest::clearSettings();
        setenv("MORVELLCANOPEN_SDO_TIMEOUT_MS", sdoTimeoutMs.c_str(), 1);
        network = std::make_unique<testsupport::SimulatedNetwork>("mgr");
        ASSERT_EQ(network->start({"--manager", "16", "--node", "5", "--node", "7"}), "");
        HwParallelParams params{125, 0x378, 7, 0};
        LibraryResult result{};
        Hardware_Initialize(HW_PARALLEL_DONGLE, &params, &result);
        ASSERT_EQ(result.code, 0) << result.text;
        listen();
    }

    void TearDown() override {
        Hardware_Close();
        listener.reset();
        network.reset();
    }

    // A new listener: frames from now on.
    void listen() {
        listener = std::make_unique<quorbustest::HubClient>(static_cast<uint16_t>(network->port));
        ASSERT_TRUE(listener->join("mgr"));
    }

    // The next upload request to node (initiate or block initiate) as
    // "INDEX sub SUB", e.g. "1F81 sub 00"; empty when none came within the limit.
    std::string nextUpload(uint8_t node,
                           std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        const std::string prefix = [node] {
            char id[8];
            std::snprintf(id, sizeof id, "%03X#", 0x600 + node);
            return std::string(id);
        }();
        while (auto message = listener->next(std::chrono::duration_cast<std::chrono::milliseconds>(
                   end - std::chrono::steady_clock::now()))) {
            const std::string frame = quorbustest::frameText(message);
            if (frame.size() < 12 || frame.compare(0, 4, prefix) != 0) continue;
            const std::string command = frame.substr(4, 2);
            if (command != "40" && command != "A4") continue;
            return frame.substr(8, 2) + frame.substr(6, 2) + " sub " + frame.substr(10, 2);
        }
        return {};
    }

    void simCommand(const std::string& command) {
        ASSERT_TRUE(network->sim->writeLine(command));
        const std::string answer = network->sim->waitForLine("");
        ASSERT_EQ(answer.rfind("ok", 0), 0u) << command << " -> " << answer;
    }

    // A 4-byte write to a node through the library, as another tool would.
    void write32(uint8_t node, uint16_t index, uint8_t sub, uint32_t value) {
        const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                                  uint8_t(value >> 24)};
        LibraryResult result{};
        utilities.SDODownload(node, index, sub, bytes, 4, result);
        ASSERT_EQ(result.code, 0) << result.text;
    }

    // The library's SDO time-out; a fixture may set it before SetUp.
    std::string sdoTimeoutMs = kSdoTimeoutMs;
    std::unique_ptr<testsupport::SimulatedNetwork> network;
    std::unique_ptr<quorbustest::HubClient> listener;
    guitest::RecordingNotifier notifier;
    TUtilities utilities;
};

}  // namespace managertest
