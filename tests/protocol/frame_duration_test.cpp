// Frame lengths on the wire against frames counted by hand (the first rows
// are the header's examples), the worst-case bound and arbitration order.
#include "protocol/frame_duration.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "protocol/can_frame.h"

namespace {

using namespace std::chrono_literals;

CanFrame frame(std::uint32_t id, std::vector<std::uint8_t> data, std::uint8_t flags = 0,
               std::uint8_t remote_dlc = 0) {
    CanFrame f{};
    f.id = id;
    f.flags = flags;
    f.length = static_cast<std::uint8_t>((flags & CANFRAME_FLAG_REMOTE) ? remote_dlc : data.size());
    for (std::size_t i = 0; i < data.size(); ++i) f.data[i] = data[i];
    return f;
}

constexpr std::uint8_t kExt = CANFRAME_FLAG_EXTENDED;
constexpr std::uint8_t kRtr = CANFRAME_FLAG_REMOTE;
const std::vector<std::uint8_t> k3C(8, 0x3C);

TEST(FrameDuration, BitsOfFramesCountedByHand) {
    // frame, stuff bits, total bits (intermission included)
    const std::vector<std::tuple<CanFrame, std::uint32_t, std::uint32_t>> rows = {
        // 19 zeros up to the DLC, CRC 0: stuff bits after zeros 5, 10, 15 and
        // (counting on into the CRC) 20, 25, 30.
        {frame(0x000, {}), 6, 53},
        // 11 ones: stuff bits after the 5th and 10th; then 7 zeros (RTR, IDE,
        // r0, DLC): 1 more; none in the CRC.
        {frame(0x7FF, {}), 3, 50},
        {frame(0x605, {0x40, 0x00, 0x21, 0x01, 0, 0, 0, 0}), 11, 122},
        {frame(0x000, {}, kExt), 7, 74},
        {frame(0x123, {0x11, 0x22, 0x33}), 1, 72},
        {frame(0x585, {0x00, 0x00, 0x07, 0x0E, 0x15, 0x1C, 0x23, 0x2A}), 5, 116},
        {frame(0x181, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}), 4, 115},
        {frame(0x000, std::vector<std::uint8_t>(8, 0x00)), 16, 127},
        {frame(0x7FF, std::vector<std::uint8_t>(8, 0xFF)), 15, 126},
        // Worst-case stuffing in the data: 3 stuff bits up to the DLC leave
        // "1" "1000"; "00" ends that run, then 1111 0000 ... gets a stuff bit
        // every 4 bits: 1 + 15 in the data, none in this CRC.
        {frame(0x000, k3C), 19, 130},
        {frame(0x000, k3C, kExt), 22, 153},
        {frame(0x1FFFFFFF, std::vector<std::uint8_t>(8, 0xFF), kExt), 18, 149},
        {frame(0x12345678, {1, 2, 3, 4, 5, 6, 7, 8}, kExt), 9, 140},
        {frame(0x12345678, {0xDE, 0xAD}, kExt), 1, 84},
        // Remote frames: DLC sent, no data field.
        {frame(0x000, {}, kRtr, 8), 5, 52},
        {frame(0x7FF, {}, kRtr, 8), 3, 50},
        {frame(0x1FFFFFFF, {}, kExt | kRtr), 7, 74},
    };
    for (const auto& [f, stuff, total] : rows) {
        const morvell::FrameBits bits = morvell::frameBits(f);
        EXPECT_EQ(bits.stuff, stuff) << morvell::toString(f);
        EXPECT_EQ(bits.total, total) << morvell::toString(f);
        EXPECT_LE(total, morvell::worstCaseFrameBits(morvell::isExtended(f), morvell::isRemote(f),
                                                     f.length))
            << morvell::toString(f);
    }
}

TEST(FrameDuration, WorstCaseBoundsAndBitTimes) {
    // format, remote, bytes, bound: 47 + 8n + (34 + 8n - 1) / 4, 67 + 8n + (54 + 8n - 1) / 4
    for (const auto& [extended, remote, bytes, bound] :
         std::vector<std::tuple<bool, bool, int, std::uint32_t>>{{false, false, 0, 55},
                                                                 {false, false, 8, 135},
                                                                 {true, false, 0, 80},
                                                                 {true, false, 8, 160},
                                                                 {false, true, 8, 55}}) {
        EXPECT_EQ(morvell::worstCaseFrameBits(extended, remote, static_cast<std::uint8_t>(bytes)),
                  bound)
            << extended << remote << bytes;
    }
    EXPECT_EQ(morvell::bitTime(111, 1000000), 111us);
    EXPECT_EQ(morvell::bitTime(53, 125000), 424us);
    EXPECT_EQ(morvell::bitTime(1, 800000), 1250ns);
    EXPECT_EQ(morvell::frameDuration(frame(0x000, k3C), 1000000), 130us);
}

TEST(FrameDuration, LowerArbitrationKeyWins) {
    // winner, loser
    const std::vector<std::pair<CanFrame, CanFrame>> contests = {
        {frame(0x100, {}), frame(0x101, {1})},
        {frame(0x123, {}), frame(0x123u << 18, {}, kExt)},        // IDE dominant wins
        {frame(0x123, {}), frame(0x123, {}, kRtr)},               // data before remote
        {frame(0x123, {}, kRtr), frame(0x123u << 18, {}, kExt)},  // IDE decides before RTR
        {frame(0x00000000, {}, kExt), frame(0x7FF, {})},          // base identifier first
        {frame(0x00000001, {}, kExt), frame(0x00000002, {}, kExt)},
        {frame(0x00000001, {}, kExt), frame(0x00000001, {}, kExt | kRtr)},
    };
    for (const auto& [winner, loser] : contests) {
        EXPECT_LT(morvell::arbitrationKey(winner), morvell::arbitrationKey(loser))
            << morvell::toString(winner) << " vs " << morvell::toString(loser);
    }
}

}  // namespace
