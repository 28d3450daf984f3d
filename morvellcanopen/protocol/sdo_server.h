// SDO server engine: answers expedited, segmented and block uploads and
// downloads (CiA 301) for one node, with no I/O. Used by quorsim and by the
// client engine's tests. Not thread-safe; time is passed in.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "morvellcanopen.h"

namespace morvell::sdo {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

// The object dictionary as the server sees it. Each call returns 0 or the
// abort code (see sdo_abort.h) to send to the client.
class ObjectAccess {
public:
    virtual ~ObjectAccess() = default;
    // The whole value of index/subindex.
    virtual std::uint32_t read(std::uint16_t index, std::uint8_t subindex,
                               std::vector<std::uint8_t>& value) = 0;
    // Whether a write of `size` bytes (empty: not yet known) may start;
    // checked at the initiate request so a refusal aborts at once.
    virtual std::uint32_t checkWrite(std::uint16_t index, std::uint8_t subindex,
                                     std::optional<std::size_t> size) = 0;
    // Stores a complete value.
    virtual std::uint32_t write(std::uint16_t index, std::uint8_t subindex,
                                std::span<const std::uint8_t> value) = 0;
};

// Faults the server can be told to commit, for testing clients.
enum class ServerFault {
    None,
    NoAnswer,     // ignore every request
    WrongToggle,  // segment responses carry the wrong toggle bit
    Abort,        // answer every initiate request with fault_abort_code
    ShortFrames,  // responses are sent with length 4 instead of 8
    BadBlockCrc,  // block upload end carries a wrong CRC; block download
                  // end is answered with abort 0x05040004 (CRC error)
};

struct ServerConfig {
    std::uint8_t node = 1;  // 1-127: requests on 0x600 + node, responses on 0x580 + node
    bool block_transfer = true;  // false: block requests are refused with 0x05040001
    std::uint8_t block_size = 127;  // segments per block offered in block downloads, 1-127
    // A transfer with no request from the client for this long is dropped
    // (abort 0x05040000 sent).
    std::chrono::milliseconds timeout{1000};
};

class Server {
public:
    Server(ServerConfig config, ObjectAccess& objects);

    void setFault(ServerFault fault, std::uint32_t abort_code = 0);
    ServerFault fault() const;

    // Every frame from the bus; only 0x600 + node is acted on.
    void onFrame(const CanFrame& frame, TimePoint now);
    // Handles an expired deadline.
    void onTimer(TimePoint now);
    std::optional<TimePoint> deadline() const;

    // Responses to send, in order.
    std::vector<CanFrame> takeFrames();

private:
    // Members are the engine's own; the public interface above is the contract.
    ServerConfig config_;
    ObjectAccess& objects_;
};

}  // namespace morvell::sdo
