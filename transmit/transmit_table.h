// The table of user-defined transmit messages.
#pragma once

#include <cstdint>

class TTransmit {
public:
    explicit TTransmit(int messageCount) : messageCount_(messageCount) {}
    int messageCount() const { return messageCount_; }
    // Sends the enabled messages whose trigger is this received identifier.
    // Library thread, from the receive callback.
    void ReceiveTrigger(uint32_t id) { (void)id; }

private:
    int messageCount_;
};
