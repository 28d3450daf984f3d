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

#include "morvellcanopen.h"

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
    enum class Kind { Data, Remote, Error };
    Kind kind = Kind::Data;
    CanFrame frame{};  // Error: SocketCAN error class as id, 8 data bytes
    Audience audience() const {
        return kind == Kind::Data ? Audience::RawClients : Audience::ExtendedClients;
    }
};

// The message a relayed frame becomes ("< frame >", "< rtr >" or "< errframe >").
std::string relayText(const Relay& relay, WallTime at);

struct Reaction {
    std::string reply;               // to the sender itself; empty = nothing
    std::optional<Relay> relay;      // to the other clients of the bus
    bool refused = false;            // the reply is an error
    bool bitrate_announced = false;  // "< bitrate >" accepted: see announcedBitrate()
    bool stats_requested = false;    // "< busstats >": the hub answers with the bus's figures
};

class ClientSession {
public:
    enum class Mode { Greeted, Opened, Raw };

    // message: the text between "<" and ">", as MessageReader returns it.
    Reaction handle(std::string_view message);

    Mode mode() const { return mode_; }
    // The bus joined by "< open >"; empty before.
    const std::string& bus() const { return bus_; }
    bool receives(Audience audience) const {
        return mode_ == Mode::Raw && (audience == Audience::RawClients || extended_frames_);
    }
    // The bit rate the client announced, in bit/s; 0 = none.
    std::uint32_t announcedBitrate() const { return bitrate_bps_; }

private:
    using Words = std::vector<std::string_view>;
    Reaction onOpen(const Words& words);
    Reaction onRawMode(const Words& words);
    Reaction onEcho(const Words& words);
    Reaction onExtendedFrames(const Words& words);
    Reaction onBitrate(const Words& words);
    Reaction onBusStats(const Words& words);
    Reaction onSend(const Words& words);
    Reaction onSendRemote(const Words& words);
    Reaction onSendError(const Words& words);

    Mode mode_ = Mode::Greeted;
    std::string bus_;
    bool extended_frames_ = false;
    std::uint32_t bitrate_bps_ = 0;
};

}  // namespace quorbus
