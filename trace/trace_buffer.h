// The trace buffer: every frame the station sees, for the trace window.
#pragma once

#include <cstdint>

// Direction of a traced frame.
enum TraceDirection : uint8_t {
    kTraceReceived = 0,     // received by this station
    kTraceTransmitted = 1,  // sent by this program
    kTraceOtherTraffic = 2, // sent by another program on this host
};

class TTraceBuffer {
public:
    // Stores one frame. Any thread (library callbacks). `currentNodeId` is the
    // main window's node at the time, for the node filter.
    void Store(uint32_t id, uint8_t length, uint8_t currentNodeId, uint8_t direction, bool remote,
               bool extended, const uint8_t* data) {
        (void)id, (void)length, (void)currentNodeId, (void)direction, (void)remote,
            (void)extended, (void)data;
    }
};
