// The facts library callbacks hand to the UI thread. Each group of values is
// guarded by its own mutex; nobody holds two of them at once. Callbacks
// (library thread) write, the 5 ms tick of the main window (UI thread) copies
// and resets.
#pragma once

#include <cstdint>

#include "sync/timed_mutex.h"

// NMT states as the main window shows them.
enum NodeState : uint32_t {
    kNodeStateUnknown = 0,
    kNodeStateBootup = 1,
    kNodeStatePreOperational = 2,
    kNodeStateOperational = 3,
    kNodeStateStopped = 4,
};

struct SignalState {
    quorvane::TimedMutex tx_signal_mutex;
    bool txSeen = false;

    quorvane::TimedMutex rx_signal_mutex;
    bool rxSeen = false;
    uint32_t rxStatus = 0;  // first non-zero receive status since the last tick

    quorvane::TimedMutex error_signal_mutex;
    bool errorSeen = false;
    int32_t errorCode = 0;  // last code of the error callback; kept across ticks

    quorvane::TimedMutex clear_signal_mutex;
    bool clearRequest = false;

    quorvane::TimedMutex display_signal_mutex;
    bool showRequest = false;

    quorvane::TimedMutex nodeinfo_signal_mutex;
    bool nodeInfoChanged = false;
    uint32_t nodeState = kNodeStateUnknown;  // NodeState
    uint16_t lastEmergency = 0;              // emergency error code

    quorvane::TimedMutex current_nodeid_mutex;
    uint8_t currentNodeId = 0;  // 1-127; 0 = none selected
};

// What one tick copied; the flags are reset in the state as they are copied.
struct SignalSnapshot {
    bool txSeen = false;
    bool rxSeen = false;
    uint32_t rxStatus = 0;
    bool errorSeen = false;
    int32_t errorCode = 0;
    bool clearRequest = false;
    bool showRequest = false;
    bool nodeInfoChanged = false;
    uint32_t nodeState = kNodeStateUnknown;
    uint16_t lastEmergency = 0;
};

// Copies every group in the order rx, tx, error, clear, display, nodeinfo,
// each under its own mutex, and resets the flags. UI thread.
SignalSnapshot TakeSignals(SignalState& state);

// currentNodeId under its mutex (unlimited wait). Any thread.
uint8_t CurrentNodeId(SignalState& state);

// Node selection: sets the current node (0 = none) and, under the node
// information mutex, forgets the node's state and last emergency.
void SelectCurrentNode(SignalState& state, uint8_t nodeId);

// The node state reported by a heartbeat or boot-up byte (the toggle bit 7
// is ignored): 0 boot-up, 4 stopped, 5 operational, 127 pre-operational.
NodeState NodeStateFromHeartbeat(uint8_t firstByte);
