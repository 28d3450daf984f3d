#include "gui/signal_state.h"

#include <mutex>

SignalSnapshot TakeSignals(SignalState& state) {
    SignalSnapshot copy;
    {
        std::lock_guard guard(state.rx_signal_mutex);
        copy.rxSeen = state.rxSeen;
        copy.rxStatus = state.rxStatus;
        state.rxSeen = false;
        state.rxStatus = 0;
    }
    {
        std::lock_guard guard(state.tx_signal_mutex);
        copy.txSeen = state.txSeen;
        state.txSeen = false;
    }
    {
        std::lock_guard guard(state.error_signal_mutex);
        copy.errorSeen = state.errorSeen;
        copy.errorCode = state.errorCode;
        state.errorSeen = false;
    }
    {
        std::lock_guard guard(state.clear_signal_mutex);
        copy.clearRequest = state.clearRequest;
        state.clearRequest = false;
    }
    {
        std::lock_guard guard(state.display_signal_mutex);
        copy.showRequest = state.showRequest;
        state.showRequest = false;
    }
    {
        std::lock_guard guard(state.nodeinfo_signal_mutex);
        copy.nodeInfoChanged = state.nodeInfoChanged;
        copy.nodeState = state.nodeState;
        copy.lastEmergency = state.lastEmergency;
        state.nodeInfoChanged = false;
    }
    return copy;
}

uint8_t CurrentNodeId(SignalState& state) {
    std::lock_guard guard(state.current_nodeid_mutex);
    return state.currentNodeId;
}

void SelectCurrentNode(SignalState& state, uint8_t nodeId) {
    {
        std::lock_guard guard(state.current_nodeid_mutex);
        state.currentNodeId = nodeId <= 127 ? nodeId : 0;
    }
    std::lock_guard guard(state.nodeinfo_signal_mutex);
    state.nodeInfoChanged = true;
    state.nodeState = kNodeStateUnknown;
    state.lastEmergency = 0;
}

NodeState NodeStateFromHeartbeat(uint8_t firstByte) {
    switch (firstByte & 0x7F) {
        case 0:
            return kNodeStateBootup;
        case 4:
            return kNodeStateStopped;
        case 5:
            return kNodeStateOperational;
        case 127:
            return kNodeStatePreOperational;
        default:
            return kNodeStateUnknown;
    }
}
