#include "frame_duration.h"

#include "can_frame.h"

namespace morvell {

namespace {

constexpr std::uint32_t kCrcPolynomial = 0x4599;  // CRC-15/CAN
constexpr std::uint32_t kCrcMask = 0x7FFF;
constexpr int kCrcBits = 15;
constexpr int kStuffRun = 5;
// CRC delimiter, ACK slot, ACK delimiter, EOF 7, intermission 3.
constexpr std::uint32_t kUnstuffedTail = 13;
constexpr int kBaseIdBits = 11;
constexpr int kIdExtensionBits = 18;
constexpr int kDlcBits = 4;
constexpr std::uint64_t kNanosPerSecond = 1000000000;

// The stuffed part of a frame, bit by bit: counts stuff bits and the CRC.
class StuffCounter {
public:
    void put(std::uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) putBit((value >> i) & 1u);
    }
    // The CRC of everything put so far; ends the CRC's input.
    void putCrc() {
        const std::uint32_t crc = crc_;
        crc_done_ = true;
        put(crc, kCrcBits);
    }
    std::uint32_t bits() const { return bits_; }
    std::uint32_t stuff() const { return stuff_; }

private:
    void putBit(std::uint32_t bit) {
        if (!crc_done_) {
            const std::uint32_t next = bit ^ ((crc_ >> (kCrcBits - 1)) & 1u);
            crc_ = (crc_ << 1) & kCrcMask;
            if (next) crc_ ^= kCrcPolynomial;
        }
        ++bits_;
        run_ = bit == last_ ? run_ + 1 : 1;
        last_ = bit;
        if (run_ == kStuffRun) {  // the complement goes out and starts a new run
            ++stuff_;
            last_ = bit ^ 1u;
            run_ = 1;
        }
    }

    std::uint32_t crc_ = 0;
    bool crc_done_ = false;
    std::uint32_t last_ = 2;  // none yet
    int run_ = 0;
    std::uint32_t bits_ = 0;
    std::uint32_t stuff_ = 0;
};

}  // namespace

FrameBits frameBits(const CanFrame& f) {
    const bool remote = isRemote(f);
    StuffCounter c;
    c.put(0, 1);  // SOF
    if (isExtended(f)) {
        c.put(f.id >> kIdExtensionBits, kBaseIdBits);
        c.put(0b11, 2);  // SRR, IDE
        c.put(f.id, kIdExtensionBits);
        c.put(remote ? 1 : 0, 1);
        c.put(0, 2);  // r1, r0
    } else {
        c.put(f.id, kBaseIdBits);
        c.put(remote ? 1 : 0, 1);
        c.put(0, 2);  // IDE, r0
    }
    c.put(f.length, kDlcBits);
    if (!remote) {
        for (std::uint8_t i = 0; i < f.length && i < 8; ++i) c.put(f.data[i], 8);
    }
    c.putCrc();
    return FrameBits{c.stuff(), c.bits() + c.stuff() + kUnstuffedTail};
}

std::uint32_t worstCaseFrameBits(bool extended, bool remote, std::uint8_t data_bytes) {
    const std::uint32_t header = extended ? 54 : 34;  // SOF..DLC plus CRC
    const std::uint32_t stuffed = header + (remote ? 0 : 8u * data_bytes);
    return stuffed + kUnstuffedTail + (stuffed - 1) / 4;
}

std::chrono::nanoseconds bitTime(std::uint64_t bits, std::uint32_t bitrate_bps) {
    return std::chrono::nanoseconds((bits * kNanosPerSecond + bitrate_bps / 2) / bitrate_bps);
}

std::uint32_t arbitrationKey(const CanFrame& f) {
    // base 11 | SRR or RTR | IDE | extension 18 | RTR (extended)
    const std::uint32_t rtr = isRemote(f) ? 1 : 0;
    if (!isExtended(f)) return (f.id << 21) | (rtr << 20);
    return ((f.id >> kIdExtensionBits) << 21) | (1u << 20) | (1u << 19) | ((f.id & 0x3FFFF) << 1) |
           rtr;
}

}  // namespace morvell
