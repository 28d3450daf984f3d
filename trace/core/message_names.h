// Names of the user's transmit messages, as the interpreter uses them to
// name frames. Implemented by the transmit table; the offline decoder has none.
#pragma once

#include <cstdint>
#include <string>

class MessageNames {
public:
    virtual ~MessageNames() = default;
    // Number of messages (0 when there are none).
    virtual int Count() const = 0;
    // The identifier message i is sent with.
    virtual uint32_t EffectiveId(int i) const = 0;
    // The name of message i; empty when the message is disabled.
    virtual std::string DisplayName(int i) const = 0;
};
