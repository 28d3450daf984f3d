#include "paced_bus.h"

#include <algorithm>

#include "protocol/frame_duration.h"

namespace quorbus {

namespace {
constexpr std::uint64_t kIntermissionBits = 3;
}

PacedBus::PacedBus(std::uint32_t bitrate_bps) : bitrate_bps_(bitrate_bps) {}

void PacedBus::submit(std::uint64_t sender, const CanFrame& frame, BusTime now) {
    fifos_[sender].push_back(Waiting{frame, now, next_order_++});
}

std::optional<BusTime> PacedBus::earliestHandOver() const {
    std::optional<BusTime> earliest;
    for (const auto& [sender, fifo] : fifos_) {
        const BusTime t = fifo.front().handed_over;
        if (!earliest || t < *earliest) earliest = t;
    }
    return earliest;
}

std::optional<std::uint64_t> PacedBus::contest(BusTime at) const {
    std::optional<std::uint64_t> winner;
    std::uint32_t best_key = 0;
    std::uint64_t best_order = 0;
    for (const auto& [sender, fifo] : fifos_) {
        const Waiting& head = fifo.front();
        if (head.handed_over > at) continue;
        const std::uint32_t key = morvell::arbitrationKey(head.frame);
        if (!winner || key < best_key || (key == best_key && head.order < best_order)) {
            winner = sender;
            best_key = key;
            best_order = head.order;
        }
    }
    return winner;
}

void PacedBus::advance(BusTime now, std::vector<BusFrame>& ended) {
    for (;;) {
        if (wire_) {
            if (wire_->end > now) return;
            eof_end_ = wire_->end;
            idle_from_ = wire_->idle;
            ended.push_back(*wire_);
            wire_.reset();
        }
        const auto earliest = earliestHandOver();
        if (!earliest) return;
        // Frames already waiting at the last end of frame contend then;
        // otherwise the first one handed over to an idle bus starts at once.
        const BusTime decided = std::max(eof_end_, *earliest);
        const auto winner = contest(decided);
        auto& fifo = fifos_[*winner];
        const Waiting head = fifo.front();
        fifo.pop_front();
        if (fifo.empty()) fifos_.erase(*winner);

        const morvell::FrameBits bits = morvell::frameBits(head.frame);
        BusFrame f;
        f.sender = *winner;
        f.frame = head.frame;
        f.start = std::max(idle_from_, head.handed_over);
        f.idle = f.start + morvell::bitTime(bits.total, bitrate_bps_);
        f.end = f.start + morvell::bitTime(bits.total - kIntermissionBits, bitrate_bps_);
        wire_ = f;
    }
}

std::optional<BusTime> PacedBus::nextDeadline() const {
    if (!wire_) return std::nullopt;
    return wire_->end;
}

void PacedBus::removeSender(std::uint64_t sender) {
    fifos_.erase(sender);
}

std::size_t PacedBus::pending() const {
    std::size_t n = wire_ ? 1 : 0;
    for (const auto& [sender, fifo] : fifos_) n += fifo.size();
    return n;
}

}  // namespace quorbus
