// The simulated devices on one bus. Frames a simulated node sends go to the
// bus and are also seen by the other simulated nodes (never by the sender,
// as the hub does not echo), so nodes in one process talk to each other as
// on a real bus. Frames the simulator itself sends (`send`, load) are seen by
// every simulated node. No I/O, time passed in; not thread-safe.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim_node.h"
#include "traffic_generator.h"

namespace quorsim {

// Load frames taken from the generator per onTimer() call at most.
inline constexpr std::size_t kMaxLoadBurst = 256;

struct SimulatorStats {
    std::uint64_t frames_received = 0;  // from the bus
    std::uint64_t frames_sent = 0;      // to the bus, all kinds
    std::uint64_t load_frames_sent = 0;
};

class Simulator {
public:
    // Adds node 1-127 and powers it on (boot-up frame). Returns an empty
    // string, or the reason it was refused (out of range, already present).
    std::string addNode(std::uint8_t node, ObjectDictionary defaults, TimePoint now);
    // Adds a device of another kind (a manager) the same way.
    std::string addDevice(std::unique_ptr<SimNode> device, TimePoint now);
    // The bus's bit rate in bit/s (0 = not known), given to every node's SDO
    // server, those present and those added later.
    void setBitrateBps(std::uint32_t bitrate_bps);
    // Removes a node silently (as if its cable were pulled); false if absent.
    bool removeNode(std::uint8_t node);
    SimNode* findNode(std::uint8_t node);
    std::vector<std::uint8_t> nodeIds() const;

    // A frame another participant sent on the bus.
    void onBusFrame(const CanFrame& frame, TimePoint now);
    // A frame of the simulator itself: to the bus and to every node.
    void transmit(const CanFrame& frame, TimePoint now);
    // Routes frames nodes produced after being called directly (commands).
    void collect(TimePoint now);

    // Runs node timers and the load generator (at most load_budget frames).
    void onTimer(TimePoint now, std::size_t load_budget = kMaxLoadBurst);
    // Earliest deadline of nodes and, when include_load, of the generator.
    std::optional<TimePoint> nextDeadline(bool include_load = true) const;

    // Frames to write to the bus, in order.
    std::vector<CanFrame> takeFrames();

    TrafficGenerator& traffic() { return traffic_; }
    const TrafficGenerator& traffic() const { return traffic_; }
    SimulatorStats stats() const;

private:
    void send(std::uint8_t origin, const CanFrame& frame, TimePoint now);

    std::map<std::uint8_t, std::unique_ptr<SimNode>> nodes_;
    std::uint32_t bitrate_bps_ = 0;
    TrafficGenerator traffic_;
    std::vector<CanFrame> out_;
    SimulatorStats stats_;
};

}  // namespace quorsim
