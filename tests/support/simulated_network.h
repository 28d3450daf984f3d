// A simulated CAN network for tests and benchmarks: quorbus on a free
// loopback port, quorsim playing devices on it, and the library pointed at
// the bus through the environment (MORVELLCANOPEN_CHANNEL and
// MORVELLCANOPEN_QUORBUS). Both programs stop when the object is destroyed,
// the simulator first.
//
//     testsupport::SimulatedNetwork network("mgr");
//     ASSERT_EQ(network.start({"--manager", "16", "--node", "5"}), "");
//     // Hardware_Initialize now opens "virtual:mgr@<port>"
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace testsupport {

class SimulatedNetwork {
public:
    explicit SimulatedNetwork(const std::string& busName)
        : port(freeLoopbackPort()), channel("virtual:" + busName + "@" + std::to_string(port)) {}
    ~SimulatedNetwork() {
        sim.reset();
        bus.reset();
    }
    SimulatedNetwork(const SimulatedNetwork&) = delete;
    SimulatedNetwork& operator=(const SimulatedNetwork&) = delete;

    // Starts quorbus with extra arguments (such as {"--bitrate", "10"}) and
    // points the library at it; empty, or what went wrong.
    std::string startBus(const std::vector<std::string>& extra = {}) {
        setenv("MORVELLCANOPEN_CHANNEL", channel.c_str(), 1);
        setenv("MORVELLCANOPEN_QUORBUS", programPath("quorbus").c_str(), 1);
        std::vector<std::string> arguments{"--port", std::to_string(port)};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        bus = std::make_unique<ChildProcess>(programPath("quorbus"), arguments);
        if (bus->waitForLine("listening").empty()) return "quorbus did not start: " + bus->errors();
        return {};
    }
    // Starts quorsim on the bus with these arguments; empty, or what went wrong.
    std::string startSimulator(const std::vector<std::string>& extra) {
        std::vector<std::string> arguments{"--channel", channel};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        sim = std::make_unique<ChildProcess>(programPath("quorsim"), arguments);
        if (sim->waitForLine("quorsim ready").empty())
            return "quorsim did not start: " + sim->errors();
        return {};
    }
    // Both, the bus first.
    std::string start(const std::vector<std::string>& simulator,
                      const std::vector<std::string>& bus = {}) {
        std::string problem = startBus(bus);
        return problem.empty() ? startSimulator(simulator) : problem;
    }

    const int port;
    const std::string channel;
    std::unique_ptr<ChildProcess> bus, sim;
};

}  // namespace testsupport
