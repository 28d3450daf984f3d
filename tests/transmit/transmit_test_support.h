// Helpers of the transmit tests: readable QString failures and an engine
// whose frames are recorded instead of sent.
#pragma once

#include <QString>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "transmit/core/transmit_engine.h"
#include "transmit/core/transmit_table.h"
#include "transmit/transmit_settings.h"

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace transmittest {

// The settings store the tables of these tests load from and save to.
inline TransmitStore* settingsStore() {
    static SettingsTransmitStore store;  // no state of its own
    return &store;
}

// Frames the engine hands to the bus, in order. Any thread.
class FrameLog {
public:
    TransmitEngine::FrameSender sender() {
        return [this](const CanFrame& frame) {
            std::lock_guard guard(mutex_);
            frames_.push_back(frame);
        };
    }
    std::vector<uint32_t> ids() const {
        std::lock_guard guard(mutex_);
        std::vector<uint32_t> out;
        for (const CanFrame& f : frames_) out.push_back(f.id);
        return out;
    }
    std::vector<CanFrame> frames() const {
        std::lock_guard guard(mutex_);
        return frames_;
    }
    void clear() {
        std::lock_guard guard(mutex_);
        frames_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<CanFrame> frames_;
};

// An enabled message sent with identifier `id`.
inline TransmitMessage enabledMessage(uint32_t id, const char* name = "Test") {
    return {.name = name, .enable = true, .id = id};
}

// An enabled message sent with `id` on the trigger key `key` (virtual key code).
inline TransmitMessage keyedMessage(uint32_t id, uint16_t key) {
    return {.enable = true, .id = id, .keytrigger = true, .key = key};
}

// An enabled message sent with `id` whenever identifier `rxid` is received.
inline TransmitMessage rxMessage(uint32_t id, uint32_t rxid) {
    return {.enable = true, .id = id, .rxtrigger = true, .rxid = rxid};
}

}  // namespace transmittest
