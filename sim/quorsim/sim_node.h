// One simulated CANopen slave: NMT state machine with boot-up, heartbeat
// producer (period from 0x1017), node guarding, emergencies, an SDO server on
// 0x600 + node, and injected faults. No I/O: frames go in through onFrame(),
// come out through takeFrames(); time is passed in and the next deadline
// reported by nextDeadline(). Not thread-safe (quorsim's loop thread).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "object_dictionary.h"
#include "protocol/nmt.h"
#include "protocol/sdo_server.h"

namespace quorsim {

using morvell::sdo::TimePoint;
using Milliseconds = std::chrono::milliseconds;

// What the `state` command asks for.
enum class StateRequest {
    Boot,  // boot again: boot-up frame, then pre-operational
    PreOperational,
    Operational,
    Stopped,
};

class SimNode {
public:
    // node 1-127; defaults are the dictionary's content after power-on and
    // after an NMT reset node.
    SimNode(std::uint8_t node, ObjectDictionary defaults);
    virtual ~SimNode() = default;
    SimNode(const SimNode&) = delete;
    SimNode& operator=(const SimNode&) = delete;

    std::uint8_t node() const { return node_; }
    morvell::nmt::State state() const { return state_; }
    ObjectDictionary& objects() { return objects_; }
    // Heartbeat period now in force; 0 = no heartbeat.
    Milliseconds heartbeatPeriod() const { return heartbeat_period_; }

    // Initialising -> boot-up frame (0x700 + node, 00) -> pre-operational.
    void powerOn(TimePoint now);

    // Every frame on the bus: NMT (id 0), guarding requests (remote 0x700 +
    // node), SDO requests (0x600 + node, not in Stopped); the rest is ignored.
    virtual void onFrame(const CanFrame& frame, TimePoint now);
    // Sends due heartbeats and delayed responses, runs SDO time-outs.
    virtual void onTimer(TimePoint now);
    virtual std::optional<TimePoint> nextDeadline() const;
    // Frames to put on the bus, in order.
    std::vector<CanFrame> takeFrames();

    // Sets the state; sends a heartbeat at once when the producer is on
    // (Boot sends the boot-up frame instead).
    void requestState(StateRequest request, TimePoint now);
    // Writes 0x1017 and restarts the heartbeat timer with the new period.
    void setHeartbeatTime(std::uint16_t period_ms, TimePoint now);
    // Emergency 0x080 + node: code (little-endian), error register (reg, or
    // 0x1001 when empty; a given reg is also stored in 0x1001), 5 bytes.
    void sendEmergency(std::uint16_t error_code, std::optional<std::uint8_t> error_register,
                       const std::array<std::uint8_t, 5>& manufacturer);

    // SDO faults (see morvell::sdo::ServerFault); None also clears the delay.
    void setFault(morvell::sdo::ServerFault fault, std::uint32_t abort_code = 0);
    // SDO responses are held back delay before they are sent; 0 = none.
    // Restarts the SDO server so its time-out allows for the delay.
    void setResponseDelay(Milliseconds delay);
    // Block transfers offered (on) or refused (off). Restarts the SDO server.
    void setBlockTransfer(bool enabled);
    // The bus's bit rate in bit/s (0 = not known): the SDO server's waits
    // start after its responses have had their time on the bus. Restarts it.
    void setBusBitrate(std::uint32_t bitrate_bps);

protected:
    // A frame of the device's own (sent after the frames already queued).
    void emitFrame(const CanFrame& frame) { out_.push_back(frame); }
    // The content an NMT reset node or a power-on returns to.
    ObjectDictionary& storedObjects() { return defaults_; }

private:
    void bootUp(TimePoint now);
    void resetCommunication(TimePoint now);
    void resetApplication(TimePoint now);
    void onNmtCommand(std::uint8_t command, TimePoint now);
    void enterStopped();
    void onGuardingRequest();
    void startServer();
    // Moves SDO responses to the output (or the delay queue); picks up a
    // 0x1017 change made by a download.
    void collectServerFrames(TimePoint now);
    // 0x1017 as a period.
    Milliseconds heartbeatTime() const;
    // Next heartbeat one period of 0x1017 from now (none when 0).
    void restartHeartbeat(TimePoint now);
    // Restarts the heartbeat when 0x1017 no longer matches the period in force.
    void syncHeartbeatPeriod(TimePoint now);

    struct DelayedFrame {
        TimePoint due;
        CanFrame frame;
    };

    std::uint8_t node_;
    ObjectDictionary defaults_;
    ObjectDictionary objects_;
    morvell::nmt::State state_ = morvell::nmt::State::Initialising;
    std::optional<morvell::sdo::Server> server_;
    morvell::sdo::ServerFault fault_ = morvell::sdo::ServerFault::None;
    std::uint32_t fault_abort_code_ = 0;
    bool block_transfer_ = true;
    std::uint32_t bitrate_bps_ = 0;
    Milliseconds response_delay_{0};
    Milliseconds heartbeat_period_{0};
    std::optional<TimePoint> next_heartbeat_;
    bool guard_toggle_ = false;
    std::deque<DelayedFrame> delayed_;
    std::vector<CanFrame> out_;
};

}  // namespace quorsim
