// The transmit message name a trace line carries, fixed when the trace takes
// its frame: renaming or enabling a message later changes only later lines.
// UI thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MessageNames;

// null: no transmit message uses the frame's identifier; else the name of the
// first one that does (empty for a disabled message). Shared, never changed.
using FrameName = std::shared_ptr<const std::string>;

// The names of the transmit messages as one refresh read them.
class MessageNameSnapshot {
public:
    // Reads every message's identifier and name; nullptr: no messages. A name
    // that did not change keeps its shared string.
    void Take(const MessageNames* names);
    // The name of a frame on `identifier` under the names taken last.
    const FrameName& Find(uint32_t identifier) const;

private:
    struct Entry {
        uint32_t identifier;
        FrameName name;
    };
    std::vector<Entry> entries_;  // in message order
    FrameName none_;
};
