// The messaging buffer: frames shared with other programs on this desktop.
#pragma once

#include <cstdint>

class TMessaging {
public:
    // Starts and stops serving client programs. UI thread.
    void Start() {}
    void Stop() {}
    // Keeps one frame for the clients. Any thread (library callbacks).
    void Store(uint32_t id, uint8_t length, uint8_t currentNodeId, uint8_t direction, bool remote,
               bool extended, const uint8_t* data) {
        (void)id, (void)length, (void)currentNodeId, (void)direction, (void)remote, (void)extended,
            (void)data;
    }
    // Hands the kept frames to the clients. UI thread, returns at once.
    void StartForwarding() {}
};
