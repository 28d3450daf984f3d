#include "app/library_events.h"

#include <algorithm>
#include <chrono>
#include <mutex>

#include "canlib/can_frame_flags.h"
#include "sharing/messaging.h"
#include "sync/callback_target.h"
#include "trace/core/candump_recorder.h"
#include "trace/core/network_live_states.h"
#include "trace/core/trace_buffer.h"
#include "transmit/core/transmit_engine.h"

namespace {

using morvell::isExtended;
using morvell::isRemote;
using std::chrono::milliseconds;

constexpr milliseconds kRxSignalWait{500};
constexpr milliseconds kCurrentNodeWait{10};
constexpr uint32_t kHeartbeatBase = 0x700;
constexpr uint32_t kEmergencyBase = 0x080;

// The library's callbacks carry no context: the registered object.
quorvane::CallbackTarget<LibraryEvents> registered;

void receiveCallback(const CanFrame* frame, int32_t status) {
    registered.invoke([&](LibraryEvents& events) { events.onReceive(*frame, status); });
}
void transmitCallback(const CanFrame* frame) {
    registered.invoke([&](LibraryEvents& events) { events.onTransmit(*frame); });
}
void errorCallback(int32_t code) {
    registered.invoke([&](LibraryEvents& events) { events.onError(code); });
}

}  // namespace

LibraryEvents::LibraryEvents(SignalState& signals, TTraceBuffer& trace, TMessaging& messaging,
                             TransmitEngine& transmit)
    : signals_(signals), trace_(trace), messaging_(messaging), transmit_(transmit) {}

LibraryEvents::~LibraryEvents() {
    unregisterFromLibrary();
}

void LibraryEvents::unregisterFromLibrary() {
    if (registered.detach(this)) {
        Event_Receive(nullptr);
        Event_Transmit(nullptr);
        Event_MajorError(nullptr);
    }
}

void LibraryEvents::registerWithLibrary() {
    registered.attach(this);
    Event_Receive(receiveCallback);
    Event_Transmit(transmitCallback);
    Event_MajorError(errorCallback);
}

bool LibraryEvents::copyCurrentNode(uint8_t& node) {
    std::unique_lock guard(signals_.current_nodeid_mutex, kCurrentNodeWait);
    if (!guard.owns_lock()) return false;
    node = signals_.currentNodeId;
    return true;
}

void LibraryEvents::record(const CanFrame& frame) {
    canopen_trace::CandumpRecorder* recorder = recorder_.load();
    if (recorder == nullptr) return;
    canopen_trace::RecordedFrame recorded;
    recorded.time_us = canopen_trace::NowMicroseconds();
    recorded.identifier = frame.id;
    recorded.length = frame.length;
    recorded.flags = frame.flags;
    std::copy_n(frame.data, sizeof recorded.data, recorded.data);
    recorder->Record(recorded);
}

void LibraryEvents::onReceive(const CanFrame& frame, int32_t status) {
    record(frame);
    {
        std::unique_lock guard(signals_.rx_signal_mutex, kRxSignalWait);
        if (!guard.owns_lock()) return;
        signals_.rxSeen = true;
        if (signals_.rxStatus == 0 && status != 0)
            signals_.rxStatus = static_cast<uint32_t>(status);
    }
    uint8_t node = 0;
    if (!copyCurrentNode(node)) return;

    const uint8_t direction = status != 0 ? kTraceReceived : kTraceOtherTraffic;
    trace_.Store(frame.id, frame.length, node, direction, isRemote(frame), isExtended(frame),
                 frame.data);
    messaging_.RecordFrame(frame.id, frame.length, node, direction, isRemote(frame),
                           isExtended(frame), frame.data);
    transmit_.OnReceive(frame.id);

    const bool heartbeatRange = (frame.id & 0xF00) == kHeartbeatBase && !isRemote(frame);
    if (heartbeatRange && frame.length > 0) {  // an empty frame carries no state
        if (NetworkLiveStates* network = network_.load()) {
            network->SetLiveState(static_cast<uint8_t>(frame.id & 0x7F), frame.data[0]);
        }
    }
    // Node 0 is "none selected": 0x080 is SYNC and 0x700 no node's heartbeat.
    if (node == 0) return;
    if (heartbeatRange && frame.id == kHeartbeatBase + node) {
        std::lock_guard guard(signals_.nodeinfo_signal_mutex);
        signals_.nodeInfoChanged = true;
        signals_.nodeState = NodeStateFromHeartbeat(frame.data[0]);
    }
    // Any frame on the node's emergency identifier counts, whatever its length.
    if (frame.id == kEmergencyBase + node) {
        std::lock_guard guard(signals_.nodeinfo_signal_mutex);
        signals_.nodeInfoChanged = true;
        signals_.lastEmergency = static_cast<uint16_t>(frame.data[0] | frame.data[1] << 8);
    }
}

void LibraryEvents::onTransmit(const CanFrame& frame) {
    record(frame);
    {
        std::lock_guard guard(signals_.tx_signal_mutex);
        signals_.txSeen = true;
    }
    uint8_t node = 0;
    if (!copyCurrentNode(node)) return;
    trace_.Store(frame.id, frame.length, node, kTraceTransmitted, isRemote(frame),
                 isExtended(frame), frame.data);
    messaging_.RecordFrame(frame.id, frame.length, node, kTraceTransmitted, isRemote(frame),
                           isExtended(frame), frame.data);
}

void LibraryEvents::onError(int32_t code) {
    std::lock_guard guard(signals_.error_signal_mutex);
    signals_.errorSeen = true;
    signals_.errorCode = code;
}
