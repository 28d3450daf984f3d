// SDO server engine: block transfers, protocol switch, faults and garbage.
// Node 5: requests on 0x605, responses on 0x585.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "protocol/crc16.h"
#include "sdo_server_fixture.h"

namespace {

using morvell::sdo::ServerFault;
using sdotest::Bytes;
using sdotest::Conversation;
using sdotest::ConversationRow;
using sdotest::pattern;
using sdotest::Responses;
using sdotest::SdoServerTest;

// A block end: command byte, CRC of value (little-endian), five zero bytes.
std::string blockEnd(std::uint8_t command, const Bytes& value, std::uint16_t crc_xor = 0) {
    const std::uint16_t crc = morvell::sdo::crc16(value) ^ crc_xor;
    char text[32];
    std::snprintf(text, sizeof text, "%02X%02X%02X0000000000", command, crc & 0xFF, crc >> 8);
    return text;
}

TEST_F(SdoServerTest, BlockTransfers) {
    config.block_size = 4;
    // clang-format off
    const ConversationRow rows[] = {
        // Only segment 1 arrived; the next block holds two segments.
        {"upload resends after the ack and takes its block size", pattern(35), pattern(35),
         {"A400200103000000 > C600200123000000",
          "A300000000000000 > 0101020304050607 0208090A0B0C0D0E 030F101112131415",
          "A201020000000000 > 0108090A0B0C0D0E 020F101112131415",
          "A2027F0000000000 > 01161718191A1B1C 821D1E1F20212223",
          "A2027F0000000000 > " + blockEnd(0xC1, pattern(35)), "A100000000000000 >"}},
        {"upload of an empty value", {}, {},
         {"A40020017F000000 > C600200100000000", "A300000000000000 > 8100000000000000",
          "A2017F0000000000 > DD00000000000000", "A100000000000000 >"}},
        // Segment 2 is lost; the last one ends the block early, acked at 1.
        {"download with a segment lost before the last one", {}, pattern(20),
         {"C600200114000000 > A400200104000000", "0101020304050607 >",
          "830F101112131400 > A201040000000000", "0108090A0B0C0D0E >",
          "820F101112131400 > A202040000000000",
          blockEnd(0xC5, pattern(20)) + " > A100000000000000"}},
    };
    // clang-format on
    expectConversations(rows);
}

struct ProtocolSwitchRow {
    std::size_t size;
    const char* request;  // threshold in byte 5
    const char* response;
};

TEST_F(SdoServerTest, BlockUploadSwitchesToNormalUploadAtThreshold) {
    const ProtocolSwitchRow rows[] = {
        {3, "A40020017F150000", "585#4700200101020300"},   // expedited
        {10, "A40020017F0A0000", "585#410020010A000000"},  // size == threshold
        {10, "A40020017F050000", "585#C60020010A000000"},  // above threshold
        {3, "A40020017F000000", "585#C600200103000000"},   // 0: no switch
    };
    for (const auto& row : rows) {
        objects.add(0x2000, 1, pattern(row.size));
        EXPECT_EQ(request(row.request), Responses{row.response}) << row.size << " " << row.request;
    }
}

struct BlockDownloadEndRow {
    const char* what;
    const char* initiate;
    std::string end;
    std::string response;
};

TEST_F(SdoServerTest, BlockDownloadEndChecksCrcAndSize) {
    const std::string good = blockEnd(0xD1, pattern(10));
    const BlockDownloadEndRow rows[] = {
        {"wrong crc", "C60020010A000000", blockEnd(0xD1, pattern(10), 1), "585#8000200104000405"},
        {"no crc announced", "C20020010A000000", "D100000000000000", "585#A100000000000000"},
        {"size mismatch", "C60020010B000000", good, "585#8000200110000706"},
        {"end without crc flag", "C60020010A000000", "D100000000000000", "585#8000200104000405"},
    };
    for (const auto& row : rows) {
        objects.add(0x2000, 1, {});
        request(row.initiate);
        request("0101020304050607");
        EXPECT_EQ(request("8208090A00000000"), Responses{"585#A2027F0000000000"}) << row.what;
        EXPECT_EQ(request(row.end), Responses{row.response}) << row.what;
        const bool stored = row.response == "585#A100000000000000";
        EXPECT_EQ(objects.value(0x2000, 1), stored ? pattern(10) : Bytes{}) << row.what;
        EXPECT_FALSE(server().deadline()) << row.what;
    }
}

TEST_F(SdoServerTest, BlockTransfersRefusedWhenDisabled) {
    config.block_transfer = false;
    objects.add(0x2000, 1, pattern(20));
    EXPECT_EQ(request("A40020017F000000"), Responses{"585#8000200101000405"});
    EXPECT_EQ(request("C600200114000000"), Responses{"585#8000200101000405"});
    EXPECT_EQ(request("4000200100000000"), Responses{"585#4100200114000000"});
}

// ---- Faults ----------------------------------------------------------------

struct FaultRow {
    const char* what;
    ServerFault fault;
    std::size_t writes;
    Conversation steps;
};

TEST_F(SdoServerTest, EachFaultChangesOnlyWhatItNames) {
    // clang-format off
    const FaultRow rows[] = {
        {"no answer", ServerFault::NoAnswer, 0,
         {"4000200100000000 >", "C600200114000000 >", "E000000000000000 >"}},
        {"wrong toggle in upload segments", ServerFault::WrongToggle, 0,
         {"4000200100000000 > 410020010A000000", "6000000000000000 > 1001020304050607",
          "7000000000000000 > 0908090A00000000"}},
        {"short frames of four bytes", ServerFault::ShortFrames, 0,
         {"4000200100000000 > 41002001", "6000000000000000 > 00010203",
          "E000000000000000 > 80002001"}},
        {"bad block CRC both ways", ServerFault::BadBlockCrc, 0,
         {"A40020017F000000 > C60020010A000000",
          "A300000000000000 > 0101020304050607 8208090A00000000",
          "A2027F0000000000 > " + blockEnd(0xD1, pattern(10), 0xFFFF), "A100000000000000 >",
          "C60020010A000000 > A40020017F000000", "0101020304050607 >",
          "8208090A00000000 > A2027F0000000000",
          blockEnd(0xD1, pattern(10)) + " > 8000200104000405"}},
    };
    // clang-format on
    for (const auto& row : rows) {
        objects.add(0x2000, 1, pattern(10));
        const std::size_t writes = objects.writeCount();
        server().setFault(row.fault);
        EXPECT_EQ(server().fault(), row.fault);
        converse(row.steps, row.what);
        EXPECT_EQ(objects.writeCount() - writes, row.writes) << row.what;
        EXPECT_FALSE(server().deadline()) << row.what;
        server().setFault(ServerFault::None);
        EXPECT_EQ(request("4000200100000000"), Responses{"585#410020010A000000"}) << row.what;
        request("8000200100000008");
    }
}

// ---- Garbage ---------------------------------------------------------------

TEST_F(SdoServerTest, SurvivesGarbageAndServesTheNextTransfer) {
    objects.add(0x2000, 1, pattern(40)).read_only = true;
    objects.add(0x2000, 3, {}).max_size = 1000;
    std::mt19937 random(20260);
    auto byte = [&] { return static_cast<std::uint8_t>(random()); };
    // Command bytes of real requests, so that deep states are reached too.
    const std::uint8_t commands[] = {0x40, 0x60, 0x70, 0x21, 0x23, 0x00, 0x10, 0x01, 0x11,
                                     0xA4, 0xA3, 0xA2, 0xA1, 0xC6, 0xC1, 0x81, 0x02, 0x80};
    for (int i = 0; i < 200000; ++i) {
        CanFrame f{};
        f.id = random() % 8 == 0 ? 0x585 : 0x605;
        f.length = static_cast<std::uint8_t>(random() % 10 == 0 ? random() % 8 : 8);
        for (auto& b : f.data) b = byte();
        if (random() % 2) f.data[0] = commands[random() % std::size(commands)];
        if (random() % 2) {
            f.data[1] = 0x00;
            f.data[2] = 0x20;
            f.data[3] = static_cast<std::uint8_t>(1 + random() % 3);
        }
        server().onFrame(f, now);
        advance(std::chrono::milliseconds(random() % 50));
        server().onTimer(now);
        if (auto d = server().deadline()) {
            ASSERT_GT(*d, now);
        }
        for (const CanFrame& out : server().takeFrames()) {
            ASSERT_EQ(out.id, 0x585u);
            ASSERT_EQ(out.length, 8u);
        }
    }
    request("8000000000000000");
    converse({"C600200303000000 > A40020037F000000", "8101020300000000 > A2017F0000000000",
              blockEnd(0xD1, pattern(3)) + " > A100000000000000"},
             "after garbage");
    EXPECT_EQ(objects.value(0x2000, 3), pattern(3));
}

}  // namespace
