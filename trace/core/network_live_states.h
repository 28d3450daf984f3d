// Live NMT states of the nodes, fed by heartbeats, for the network overview.
#pragma once

#include <cstdint>

class NetworkLiveStates {
public:
    // One heartbeat-range frame (0x700 + node) with its first data byte.
    // Library thread.
    void RecordHeartbeat(uint8_t node, uint8_t firstByte) { (void)node, (void)firstByte; }
};
