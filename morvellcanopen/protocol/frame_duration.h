// How long a classical CAN frame occupies the bus, and which of two frames
// wins arbitration. I/O-free; any thread.
//
// Bits on the wire (stuff bits are inserted by the transmitter after five
// equal bits from SOF to the end of the CRC; a stuff bit counts in the next
// run; the CRC is CRC-15 over SOF..data):
//   standard:  SOF 1, identifier 11, RTR 1, IDE 1, r0 1, DLC 4, data 8n, CRC 15
//   extended:  SOF 1, base identifier 11, SRR 1, IDE 1, extension 18, RTR 1,
//              r1 1, r0 1, DLC 4, data 8n, CRC 15
//   then, never stuffed: CRC delimiter 1, ACK slot 1, ACK delimiter 1, EOF 7,
//   intermission 3.
// A remote frame has no data field whatever its DLC. Totals:
//   standard 47 + 8n + stuff bits, extended 67 + 8n + stuff bits.
// Examples (the first test rows):
//   000#         53 bits: 19 zero bits up to the DLC and a zero CRC, a stuff
//                bit after every fifth zero: 6 stuff bits
//   7FF#         50 bits: 3 stuff bits
//   605#4000210100000000   122 bits (11 stuff bits)
//   00000000#    74 bits (7 stuff bits)
#pragma once

#include <chrono>
#include <cstdint>

#include "morvellcanopen.h"

namespace morvell {

struct FrameBits {
    std::uint32_t stuff = 0;  // stuff bits
    std::uint32_t total = 0;  // every bit including stuff bits and the intermission
};

// The bits f occupies, stuff bits counted from its content. f must be valid.
FrameBits frameBits(const CanFrame& f);

// The most bits any frame of this format and data length can take:
// the nominal bits plus floor((stuffed bits - 1) / 4).
std::uint32_t worstCaseFrameBits(bool extended, bool remote, std::uint8_t data_bytes);

// bits at bitrate_bps (> 0), rounded to the nearest nanosecond.
std::chrono::nanoseconds bitTime(std::uint64_t bits, std::uint32_t bitrate_bps);

// frameBits(f).total at bitrate_bps.
inline std::chrono::nanoseconds frameDuration(const CanFrame& f, std::uint32_t bitrate_bps) {
    return bitTime(frameBits(f).total, bitrate_bps);
}

// The arbitration field as sent (identifier, SRR, IDE, RTR): of two frames
// contending for the bus, the one with the lower key wins. A standard frame
// beats an extended one with the same 11 leading identifier bits, a data
// frame the remote frame with the same identifier.
std::uint32_t arbitrationKey(const CanFrame& f);

}  // namespace morvell
