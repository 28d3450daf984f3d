// SDO server engine: block transfers, faults, long values and garbage.
// Node 5: requests on 0x605, responses on 0x585.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "sdo_server_fixture.h"

namespace {

using morvell::sdo::ServerFault;
using sdotest::Access;
using sdotest::Bytes;
using sdotest::pattern;
using sdotest::SdoServerTest;
using Responses = std::vector<std::string>;

// "585#" + command byte + CRC of value (little-endian) + five zero bytes.
std::string blockEnd(std::uint8_t command, const Bytes& value, std::uint16_t crc_xor = 0) {
    const std::uint16_t crc = morvell::sdo::crc16(value) ^ crc_xor;
    char text[32];
    std::snprintf(text, sizeof text, "585#%02X%02X%02X0000000000", command, crc & 0xFF, crc >> 8);
    return text;
}

// ---- Block upload ----------------------------------------------------------

TEST_F(SdoServerTest, BlockUploadSendsBlocksAndEndWithCrc) {
    objects.add(0x2000, 1, pattern(20));
    EXPECT_EQ(request("A400200104000000"), Responses{"585#C600200114000000"});
    EXPECT_EQ(request("A300000000000000"),
              (Responses{"585#0101020304050607", "585#0208090A0B0C0D0E", "585#830F101112131400"}));
    EXPECT_EQ(request("A203040000000000"), Responses{blockEnd(0xC5, pattern(20))});
    EXPECT_TRUE(request("A100000000000000").empty());
    EXPECT_FALSE(server().deadline());
}

TEST_F(SdoServerTest, BlockUploadResendsAfterAckSequenceAndTakesNewBlockSize) {
    objects.add(0x2000, 1, pattern(35));
    request("A400200103000000");
    EXPECT_EQ(request("A300000000000000"),
              (Responses{"585#0101020304050607", "585#0208090A0B0C0D0E", "585#030F101112131415"}));
    // Only segment 1 arrived; the next block holds two segments.
    EXPECT_EQ(request("A201020000000000"),
              (Responses{"585#0108090A0B0C0D0E", "585#020F101112131415"}));
    EXPECT_EQ(request("A2027F0000000000"),
              (Responses{"585#01161718191A1B1C", "585#821D1E1F20212223"}));
    EXPECT_EQ(request("A2027F0000000000"), Responses{blockEnd(0xC1, pattern(35))});
}

TEST_F(SdoServerTest, BlockUploadWithoutClientCrcSendsNone) {
    objects.add(0x2000, 1, pattern(3));
    EXPECT_EQ(request("A00020017F000000"), Responses{"585#C600200103000000"});
    EXPECT_EQ(request("A300000000000000"), Responses{"585#8101020300000000"});
    EXPECT_EQ(request("A2017F0000000000"), Responses{"585#D100000000000000"});
}

TEST_F(SdoServerTest, BlockUploadOfEmptyValue) {
    objects.add(0x2000, 1, {});
    EXPECT_EQ(request("A40020017F000000"), Responses{"585#C600200100000000"});
    EXPECT_EQ(request("A300000000000000"), Responses{"585#8100000000000000"});
    EXPECT_EQ(request("A2017F0000000000"), Responses{"585#DD00000000000000"});
}

struct ProtocolSwitchRow {
    std::size_t size;
    const char* request;  // threshold in byte 5
    const char* response;
};

TEST_F(SdoServerTest, BlockUploadSwitchesToNormalUploadAtThreshold) {
    const ProtocolSwitchRow rows[] = {
        {3, "A40020017F150000", "585#4700200101020300"},   // expedited
        {10, "A40020017F150000", "585#410020010A000000"},  // segmented
        {10, "A40020017F0A0000", "585#410020010A000000"},  // size == threshold
        {0, "A40020017F150000", "585#4100200100000000"},
        {10, "A40020017F050000", "585#C60020010A000000"},  // above threshold
        {3, "A40020017F000000", "585#C600200103000000"},   // 0: no switch
    };
    for (const auto& row : rows) {
        objects.add(0x2000, 1, pattern(row.size));
        EXPECT_EQ(request(row.request), Responses{row.response}) << row.size << " " << row.request;
    }
    // A switched segmented upload continues with upload segment requests.
    objects.add(0x2000, 1, pattern(10));
    request("A40020017F150000");
    EXPECT_EQ(request("6000000000000000"), Responses{"585#0001020304050607"});
    EXPECT_EQ(request("7000000000000000"), Responses{"585#1908090A00000000"});
}

struct BlockUploadErrorRow {
    const char* what;
    std::vector<std::string> before;
    std::string request;
    std::string response;
};

TEST_F(SdoServerTest, BlockUploadProtocolErrorsAbort) {
    objects.add(0x2000, 1, pattern(30));
    const BlockUploadErrorRow rows[] = {
        {"block size 0", {}, "A400200100000000", "585#8000200102000405"},
        {"block size 128", {}, "A400200180000000", "585#8000200102000405"},
        {"ack beyond sent",
         {"A400200103000000", "A300000000000000"},
         "A2047F0000000000",
         "585#8000200103000405"},
        {"ack with block size 0",
         {"A400200103000000", "A300000000000000"},
         "A203000000000000",
         "585#8000200102000405"},
    };
    for (const auto& row : rows) {
        for (const auto& r : row.before) request(r);
        EXPECT_EQ(request(row.request), Responses{row.response}) << row.what;
        EXPECT_FALSE(server().deadline()) << row.what;
    }
}

// ---- Block download --------------------------------------------------------

TEST_F(SdoServerTest, BlockDownloadAcksLastInOrderSegmentAfterGap) {
    config.block_size = 4;
    objects.add(0x2000, 1, {});
    EXPECT_EQ(request("C600200128000000"), Responses{"585#A400200104000000"});
    EXPECT_EQ(objects.checkedSizes().back(), 40u);
    EXPECT_TRUE(request("0101020304050607").empty());
    EXPECT_TRUE(request("0208090A0B0C0D0E").empty());
    // Segment 3 is lost: segment 4 is dropped and the block acked at 2.
    EXPECT_EQ(request("04161718191A1B1C"), Responses{"585#A202040000000000"});
    EXPECT_TRUE(request("010F101112131415").empty());
    EXPECT_TRUE(request("02161718191A1B1C").empty());
    EXPECT_TRUE(request("031D1E1F20212223").empty());
    EXPECT_EQ(request("8424252627280000"), Responses{"585#A204040000000000"});
    EXPECT_EQ(objects.writeCount(), 0u);
    const std::uint16_t crc = morvell::sdo::crc16(pattern(40));
    char end[17];
    std::snprintf(end, sizeof end, "C9%02X%02X0000000000", crc & 0xFF, crc >> 8);
    EXPECT_EQ(request(end), Responses{"585#A100000000000000"});
    EXPECT_EQ(objects.value(0x2000, 1), pattern(40));
    EXPECT_FALSE(server().deadline());
}

TEST_F(SdoServerTest, BlockDownloadLostSegmentBeforeLastOne) {
    config.block_size = 4;
    objects.add(0x2000, 1, {});
    request("C600200114000000");
    request("0101020304050607");
    EXPECT_EQ(request("830F101112131400"), Responses{"585#A201040000000000"});
    EXPECT_TRUE(request("0108090A0B0C0D0E").empty());
    EXPECT_EQ(request("820F101112131400"), Responses{"585#A202040000000000"});
    EXPECT_EQ(request(blockEnd(0xC5, pattern(20)).substr(4)), Responses{"585#A100000000000000"});
    EXPECT_EQ(objects.value(0x2000, 1), pattern(20));
}

struct BlockDownloadEndRow {
    const char* what;
    const char* initiate;
    std::string end;
    std::string response;
};

TEST_F(SdoServerTest, BlockDownloadEndChecksCrcAndSize) {
    const std::string good = blockEnd(0xD1, pattern(10)).substr(4);
    const BlockDownloadEndRow rows[] = {
        {"good", "C60020010A000000", good, "585#A100000000000000"},
        {"wrong crc", "C60020010A000000", blockEnd(0xD1, pattern(10), 1).substr(4),
         "585#8000200104000405"},
        {"no crc announced", "C20020010A000000", "D100000000000000", "585#A100000000000000"},
        {"no size indicated", "C400200100000000", good, "585#A100000000000000"},
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
    EXPECT_EQ(uploadSegmented(0x2000, 1), pattern(20));
}

// ---- Faults ----------------------------------------------------------------

TEST_F(SdoServerTest, FaultNoAnswerIgnoresEveryRequest) {
    objects.add(0x2000, 1, pattern(20));
    server().setFault(ServerFault::NoAnswer);
    EXPECT_EQ(server().fault(), ServerFault::NoAnswer);
    for (const char* r : {"4000200100000000", "A40020017F000000", "C600200114000000",
                          "2F00200101000000", "E000000000000000"})
        EXPECT_TRUE(request(r).empty()) << r;
    EXPECT_FALSE(server().deadline());
    server().setFault(ServerFault::None);
    EXPECT_EQ(uploadSegmented(0x2000, 1), pattern(20));
}

TEST_F(SdoServerTest, FaultWrongToggleInSegmentResponses) {
    objects.add(0x2000, 1, pattern(10));
    server().setFault(ServerFault::WrongToggle);
    request("4000200100000000");
    EXPECT_EQ(request("6000000000000000"), Responses{"585#1001020304050607"});
    request("210020010A000000");
    EXPECT_EQ(request("0001020304050607"), Responses{"585#3000000000000000"});
    EXPECT_EQ(request("1908090A00000000"), Responses{"585#2000000000000000"});
}

TEST_F(SdoServerTest, FaultAbortAnswersEveryInitiate) {
    objects.add(0x2000, 1, pattern(10));
    server().setFault(ServerFault::Abort, 0x08000020);
    for (const char* r : {"4000200100000000", "2F00200101000000", "210020010A000000",
                          "A40020017F000000", "C60020010A000000"})
        EXPECT_EQ(request(r), Responses{"585#8000200120000008"}) << r;
    EXPECT_EQ(objects.writeCount(), 0u);
}

TEST_F(SdoServerTest, FaultShortFramesSendsFourBytes) {
    objects.add(0x2000, 1, pattern(10));
    server().setFault(ServerFault::ShortFrames);
    EXPECT_EQ(request("4000200100000000"), Responses{"585#41002001"});
    EXPECT_EQ(request("6000000000000000"), Responses{"585#00010203"});
    EXPECT_EQ(request("E000000000000000"), Responses{"585#80002001"});
}

TEST_F(SdoServerTest, FaultBadBlockCrc) {
    objects.add(0x2000, 1, pattern(10));
    server().setFault(ServerFault::BadBlockCrc);
    request("A40020017F000000");
    request("A300000000000000");
    EXPECT_EQ(request("A2027F0000000000"), Responses{blockEnd(0xD1, pattern(10), 0xFFFF)});
    request("A100000000000000");
    request("C60020010A000000");
    request("0101020304050607");
    request("8208090A00000000");
    EXPECT_EQ(request(blockEnd(0xD1, pattern(10)).substr(4)), Responses{"585#8000200104000405"});
    EXPECT_EQ(objects.writeCount(), 0u);
}

// ---- Long values -----------------------------------------------------------

constexpr std::size_t kLongValue = 200000;

TEST_F(SdoServerTest, LongValueUploadSegmentedAndBlock) {
    objects.add(0x2000, 1, pattern(kLongValue), Access::ReadOnly);
    EXPECT_EQ(uploadSegmented(0x2000, 1), pattern(kLongValue));
    EXPECT_EQ(uploadBlock(0x2000, 1, 127), pattern(kLongValue));
    EXPECT_EQ(uploadBlock(0x2000, 1, 50, 97), pattern(kLongValue));  // with losses
    EXPECT_FALSE(server().deadline());
}

TEST_F(SdoServerTest, LongValueDownloadSegmentedAndBlock) {
    objects.add(0x2000, 1, {});
    downloadSegmented(0x2000, 1, pattern(kLongValue));
    EXPECT_EQ(objects.value(0x2000, 1), pattern(kLongValue));
    objects.add(0x2000, 1, {});
    downloadBlock(0x2000, 1, pattern(kLongValue));
    EXPECT_EQ(objects.value(0x2000, 1), pattern(kLongValue));
    objects.add(0x2000, 1, {});
    config.block_size = 31;
    downloadBlock(0x2000, 1, pattern(kLongValue), 97);  // server of a new config, with losses
    EXPECT_EQ(objects.value(0x2000, 1), pattern(kLongValue));
    EXPECT_FALSE(server().deadline());
}

// ---- Garbage ---------------------------------------------------------------

TEST_F(SdoServerTest, SurvivesGarbageAndServesTheNextTransfer) {
    objects.add(0x2000, 1, pattern(40), Access::ReadOnly);
    objects.add(0x2000, 2, pattern(3));
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
    EXPECT_EQ(uploadSegmented(0x2000, 1), pattern(40));
    downloadBlock(0x2000, 3, pattern(100));
    EXPECT_EQ(objects.value(0x2000, 3), pattern(100));
}

}  // namespace
