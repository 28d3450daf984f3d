#include "sim_node.h"

#include <algorithm>

#include "device_constants.h"
#include "protocol/can_frame.h"
#include "protocol/sdo_wire.h"

namespace quorsim {

using morvell::nmt::Command;
using morvell::nmt::State;
namespace nmt = morvell::nmt;
namespace sdo = morvell::sdo;

namespace {

inline constexpr unsigned kNmtFrameLength = 2;  // command, node
// The SDO server drops a transfer after this long without a request; a
// response delay is added to it.
inline constexpr Milliseconds kSdoServerTimeout{1000};

std::optional<TimePoint> earliest(std::optional<TimePoint> a, std::optional<TimePoint> b) {
    if (!a) return b;
    if (!b) return a;
    return std::min(*a, *b);
}

}  // namespace

SimNode::SimNode(std::uint8_t node, ObjectDictionary defaults)
    : node_(node), defaults_(std::move(defaults)), objects_(defaults_) {
    startServer();
}

void SimNode::startServer() {
    sdo::ServerConfig config;
    config.node = node_;
    config.block_transfer = block_transfer_;
    config.timeout = kSdoServerTimeout + response_delay_;
    config.bitrate_bps = bitrate_bps_;
    server_.reset();
    server_.emplace(config, objects_);
    server_->setFault(fault_, fault_abort_code_);
}

void SimNode::powerOn(TimePoint now) {
    resetApplication(now);
}

void SimNode::resetApplication(TimePoint now) {
    objects_ = defaults_;
    resetCommunication(now);
}

void SimNode::resetCommunication(TimePoint now) {
    delayed_.clear();
    startServer();
    guard_toggle_ = false;
    bootUp(now);
}

void SimNode::bootUp(TimePoint now) {
    state_ = State::Initialising;
    out_.push_back(nmt::makeErrorControlFrame(node_, State::Initialising));
    state_ = State::PreOperational;
    restartHeartbeat(now);
}

Milliseconds SimNode::heartbeatTime() const {
    return Milliseconds(objects_.number(kHeartbeatTimeIndex, 0).value_or(0));
}

void SimNode::restartHeartbeat(TimePoint now) {
    heartbeat_period_ = heartbeatTime();
    next_heartbeat_.reset();
    if (heartbeat_period_.count() > 0) next_heartbeat_ = now + heartbeat_period_;
}

void SimNode::syncHeartbeatPeriod(TimePoint now) {
    if (heartbeatTime() != heartbeat_period_) restartHeartbeat(now);
}

void SimNode::onFrame(const CanFrame& frame, TimePoint now) {
    if (morvell::isExtended(frame)) return;
    if (frame.id == nmt::kNmtId) {
        if (morvell::isRemote(frame) || frame.length < kNmtFrameLength) return;
        if (frame.data[1] == node_ || frame.data[1] == kAllNodes) onNmtCommand(frame.data[0], now);
        return;
    }
    if (frame.id == nmt::kErrorControlBase + node_) {
        if (morvell::isRemote(frame)) onGuardingRequest();
        return;
    }
    if (frame.id == sdo::wire::kRequestBase + node_) {
        if (state_ == State::Stopped || morvell::isRemote(frame)) return;
        server_->onFrame(frame, now);
        collectServerFrames(now);
    }
}

void SimNode::onNmtCommand(std::uint8_t command, TimePoint now) {
    switch (static_cast<Command>(command)) {
        case Command::Start:
            state_ = State::Operational;
            break;
        case Command::Stop:
            enterStopped();
            break;
        case Command::EnterPreOperational:
            state_ = State::PreOperational;
            break;
        case Command::ResetNode:
            resetApplication(now);
            break;
        case Command::ResetCommunication:
            resetCommunication(now);
            break;
    }
}

void SimNode::enterStopped() {
    state_ = State::Stopped;
    delayed_.clear();  // a stopped node sends no SDO response, not even a late one
}

void SimNode::onGuardingRequest() {
    out_.push_back(nmt::makeErrorControlFrame(node_, state_, guard_toggle_));
    guard_toggle_ = !guard_toggle_;
}

void SimNode::collectServerFrames(TimePoint now) {
    std::vector<CanFrame> responses = server_->takeFrames();
    // A stopped node answers no SDO, not even with a time-out abort.
    if (state_ != State::Stopped) {
        for (const CanFrame& f : responses) {
            if (response_delay_.count() > 0 || !delayed_.empty())
                delayed_.push_back({now + response_delay_, f});
            else
                out_.push_back(f);
        }
    }
    syncHeartbeatPeriod(now);
}

void SimNode::onTimer(TimePoint now) {
    if (const auto d = server_->deadline(); d && *d <= now) {
        server_->onTimer(now);
        collectServerFrames(now);
    }
    while (!delayed_.empty() && delayed_.front().due <= now) {
        out_.push_back(delayed_.front().frame);
        delayed_.pop_front();
    }
    if (next_heartbeat_ && *next_heartbeat_ <= now) {
        // Paced by due times; a late timer sends one heartbeat, not a burst.
        const TimePoint due = *next_heartbeat_ + heartbeat_period_;
        out_.push_back(nmt::makeErrorControlFrame(node_, state_));
        next_heartbeat_ = due > now ? due : now + heartbeat_period_;
    }
}

std::optional<TimePoint> SimNode::nextDeadline() const {
    std::optional<TimePoint> next = earliest(next_heartbeat_, server_->deadline());
    if (!delayed_.empty()) next = earliest(next, delayed_.front().due);
    return next;
}

std::vector<CanFrame> SimNode::takeFrames() {
    std::vector<CanFrame> frames;
    frames.swap(out_);
    return frames;
}

void SimNode::requestState(StateRequest request, TimePoint now) {
    switch (request) {
        case StateRequest::Boot:
            bootUp(now);
            return;
        case StateRequest::PreOperational:
            state_ = State::PreOperational;
            break;
        case StateRequest::Operational:
            state_ = State::Operational;
            break;
        case StateRequest::Stopped:
            enterStopped();
            break;
    }
    if (heartbeat_period_.count() > 0) {
        out_.push_back(nmt::makeErrorControlFrame(node_, state_));
        restartHeartbeat(now);
    }
}

void SimNode::setHeartbeatTime(std::uint16_t period_ms, TimePoint now) {
    objects_.setNumber(kHeartbeatTimeIndex, 0, period_ms);
    syncHeartbeatPeriod(now);
}

void SimNode::sendEmergency(std::uint16_t error_code, std::optional<std::uint8_t> error_register,
                            const std::array<std::uint8_t, 5>& manufacturer) {
    if (error_register) objects_.setNumber(kErrorRegisterIndex, 0, *error_register);
    const auto reg = objects_.number(kErrorRegisterIndex, 0).value_or(0);
    CanFrame f{};
    f.id = nmt::kEmergencyBase + node_;
    f.length = kEmergencyLength;
    f.data[0] = static_cast<std::uint8_t>(error_code);
    f.data[1] = static_cast<std::uint8_t>(error_code >> 8);
    f.data[2] = static_cast<std::uint8_t>(reg);
    std::copy(manufacturer.begin(), manufacturer.end(), f.data + 3);
    out_.push_back(f);
}

void SimNode::setFault(sdo::ServerFault fault, std::uint32_t abort_code) {
    fault_ = fault;
    fault_abort_code_ = abort_code;
    server_->setFault(fault, abort_code);
    if (fault == sdo::ServerFault::None && response_delay_.count() > 0)
        setResponseDelay(Milliseconds(0));
}

void SimNode::setResponseDelay(Milliseconds delay) {
    response_delay_ = delay;
    startServer();
}

void SimNode::setBlockTransfer(bool enabled) {
    block_transfer_ = enabled;
    startServer();
}

void SimNode::setBusBitrate(std::uint32_t bitrate_bps) {
    bitrate_bps_ = bitrate_bps;
    startServer();
}

}  // namespace quorsim
