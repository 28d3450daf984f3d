// One CAN bus in time: the frames its clients' controllers hand over go out
// one after the other, each taking its real duration (frame_duration.h), and
// reach the other clients when their end of frame has passed.
//
// Model: every client has one transmit FIFO (as a SocketCAN interface has);
// when the bus turns idle, the first frames of all FIFOs contend and the
// lowest arbitration key wins. The contest is decided at the end of the
// previous frame's EOF, among the frames handed over by then; the winner
// starts after the 3-bit intermission, or at once on an idle bus. Frames are
// never lost, errors never occur. Time is passed in; bus time does not drift
// when the caller runs late: frames waiting at an end of frame follow
// back to back, and a late advance() returns every frame ended since.
// One thread (the hub loop).
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "morvellcanopen.h"

namespace quorbus {

using BusClock = std::chrono::steady_clock;
using BusTime = BusClock::time_point;

struct BusFrame {
    std::uint64_t sender = 0;
    CanFrame frame{};
    BusTime start{};  // start of frame (SOF)
    BusTime end{};    // end of the EOF: the receivers take the frame
    BusTime idle{};   // end of the intermission: the bus is free again
};

class PacedBus {
public:
    // bitrate_bps: 1000..1000000.
    explicit PacedBus(std::uint32_t bitrate_bps);

    std::uint32_t bitrate() const { return bitrate_bps_; }

    // sender's controller takes frame (valid) at now.
    void submit(std::uint64_t sender, const CanFrame& frame, BusTime now);

    // Moves the bus to now: appends the frames whose EOF ended by now, in bus
    // order, and starts the next contest. now never goes backwards.
    void advance(BusTime now, std::vector<BusFrame>& ended);

    // The end of the frame on the bus; empty when the bus is idle and nothing
    // waits (after advance()).
    std::optional<BusTime> nextDeadline() const;

    // Drops the frames of a client that left (its frame on the wire goes on).
    void removeSender(std::uint64_t sender);

    // Frames handed over and not yet ended, the one on the wire included.
    std::size_t pending() const;

private:
    struct Waiting {
        CanFrame frame;
        BusTime handed_over;
        std::uint64_t order;  // ties between equal keys: first handed over wins
    };

    // The winner among the first frames handed over by at; empty when none.
    std::optional<std::uint64_t> contest(BusTime at) const;
    std::optional<BusTime> earliestHandOver() const;

    std::uint32_t bitrate_bps_;
    std::map<std::uint64_t, std::deque<Waiting>> fifos_;  // by sender; never empty deques
    std::optional<BusFrame> wire_;
    BusTime eof_end_{};  // of the last frame that ended
    BusTime idle_from_{};
    std::uint64_t next_order_ = 0;
};

}  // namespace quorbus
