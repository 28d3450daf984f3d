#include "simulator.h"

#include <algorithm>

#include "device_constants.h"

namespace quorsim {
namespace {

// Origin of frames that no simulated node sent.
inline constexpr std::uint8_t kNoNode = 0;
// Rounds of node-to-node traffic routed per call; nodes only answer requests,
// so two rounds settle any exchange.
inline constexpr int kMaxRoutingRounds = 8;

}  // namespace

std::string Simulator::addNode(std::uint8_t node, ObjectDictionary defaults, TimePoint now) {
    if (node < kMinNode || node > kMaxNode)
        return "node " + std::to_string(node) + " is out of range 1-127";
    return addDevice(std::make_unique<SimNode>(node, std::move(defaults)), now);
}

std::string Simulator::addDevice(std::unique_ptr<SimNode> device, TimePoint now) {
    const std::uint8_t node = device->node();
    if (node < kMinNode || node > kMaxNode)
        return "node " + std::to_string(node) + " is out of range 1-127";
    if (nodes_.count(node)) return "node " + std::to_string(node) + " already exists";
    if (bitrate_bps_ != 0) device->setBusBitrate(bitrate_bps_);
    device->powerOn(now);
    nodes_.emplace(node, std::move(device));
    collect(now);
    return {};
}

void Simulator::setBitrateBps(std::uint32_t bitrate_bps) {
    bitrate_bps_ = bitrate_bps;
    for (auto& [node, device] : nodes_) device->setBusBitrate(bitrate_bps);
}

bool Simulator::removeNode(std::uint8_t node) {
    return nodes_.erase(node) > 0;
}

SimNode* Simulator::findNode(std::uint8_t node) {
    const auto it = nodes_.find(node);
    return it == nodes_.end() ? nullptr : it->second.get();
}

std::vector<std::uint8_t> Simulator::nodeIds() const {
    std::vector<std::uint8_t> ids;
    for (const auto& entry : nodes_) ids.push_back(entry.first);
    return ids;
}

void Simulator::onBusFrame(const CanFrame& frame, TimePoint now) {
    ++stats_.frames_received;
    for (auto& entry : nodes_) entry.second->onFrame(frame, now);
    collect(now);
}

void Simulator::transmit(const CanFrame& frame, TimePoint now) {
    send(kNoNode, frame, now);
    collect(now);
}

void Simulator::send(std::uint8_t origin, const CanFrame& frame, TimePoint now) {
    out_.push_back(frame);
    ++stats_.frames_sent;
    for (auto& entry : nodes_)
        if (entry.first != origin) entry.second->onFrame(frame, now);
}

void Simulator::collect(TimePoint now) {
    for (int round = 0; round < kMaxRoutingRounds; ++round) {
        bool any = false;
        for (auto& entry : nodes_) {
            for (const CanFrame& frame : entry.second->takeFrames()) {
                any = true;
                send(entry.first, frame, now);
            }
        }
        if (!any) return;
    }
}

void Simulator::onTimer(TimePoint now, std::size_t load_budget) {
    for (auto& entry : nodes_) {
        const auto deadline = entry.second->nextDeadline();
        if (deadline && *deadline <= now) entry.second->onTimer(now);
    }
    collect(now);
    std::vector<CanFrame> load;
    traffic_.emitDue(now, load, std::min(load_budget, kMaxLoadBurst));
    stats_.load_frames_sent += load.size();
    for (const CanFrame& frame : load) send(kNoNode, frame, now);
    collect(now);
}

std::optional<TimePoint> Simulator::nextDeadline(bool include_load) const {
    std::optional<TimePoint> next;
    auto consider = [&next](std::optional<TimePoint> t) {
        if (t && (!next || *t < *next)) next = t;
    };
    for (const auto& entry : nodes_) consider(entry.second->nextDeadline());
    if (include_load) consider(traffic_.nextDeadline());
    return next;
}

std::vector<CanFrame> Simulator::takeFrames() {
    std::vector<CanFrame> frames;
    frames.swap(out_);
    return frames;
}

SimulatorStats Simulator::stats() const {
    return stats_;
}

}  // namespace quorsim
