// One hub client's socketcand conversation, without sockets: takes the
// client's messages and says what to answer and what to relay to the bus.
// States follow socketcand: greeted ("< hi >" sent) -> opened ("< open BUS >")
// -> raw ("< rawmode >"). One thread (the hub loop).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorbus {

// Wall-clock time of reception, as frame messages carry it.
struct WallTime {
    std::uint64_t seconds = 0;
    std::uint32_t microseconds = 0;  // 0-999999
};

// Who may receive a relayed message.
enum class Audience {
    RawClients,       // every raw-mode client of the bus (data frames)
    ExtendedClients,  // only raw-mode clients that sent "< xframes >" (rtr, errframe)
};

struct Relay {
    Audience audience = Audience::RawClients;
    std::string text;  // a complete message, newline included
};

struct Reaction {
    std::string reply;           // to the sender itself; empty = nothing
    std::optional<Relay> relay;  // to the other clients of the bus
    bool refused = false;        // the reply is an error
};

class ClientSession {
public:
    enum class Mode { Greeted, Opened, Raw };

    // message: the text between "<" and ">", as MessageReader returns it.
    Reaction handle(std::string_view message, WallTime now);

    Mode mode() const { return mode_; }
    // The bus joined by "< open >"; empty before.
    const std::string& bus() const { return bus_; }
    bool receives(Audience audience) const {
        return mode_ == Mode::Raw && (audience == Audience::RawClients || extended_frames_);
    }

private:
    using Words = std::vector<std::string_view>;
    Reaction onOpen(const Words& words);
    Reaction onRawMode(const Words& words);
    Reaction onEcho(const Words& words);
    Reaction onExtendedFrames(const Words& words);
    Reaction onSend(const Words& words, WallTime now);
    Reaction onSendRemote(const Words& words, WallTime now);
    Reaction onSendError(const Words& words, WallTime now);

    Mode mode_ = Mode::Greeted;
    std::string bus_;
    bool extended_frames_ = false;
};

}  // namespace quorbus
