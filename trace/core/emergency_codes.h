// Names of CANopen emergency error codes. Any thread; lookups serialise on
// codes_mutex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sync/timed_mutex.h"

class TEmergencyCodes {
public:
    // The name of `code` into `destination` (at most size - 1 characters and
    // a terminating NUL; nothing when size is 0): the exact entry, else the
    // entry of its class (code & 0xFF00), else "Unknown".
    void EmergencyText(uint16_t code, char* destination, size_t size);

    // The same text as a string (no length limit).
    std::string Text(uint16_t code);

private:
    // The constant name of `code` (no allocation).
    const char* Name(uint16_t code);

    quorvane::TimedMutex codes_mutex;
};
