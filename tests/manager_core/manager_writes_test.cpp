// The manager window's typing rules and its three writes against a scripted
// device set: exact entries and bytes, counts, failure lines, table files.
#include "manager/core/manager_writes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fake_sdo.h"

namespace {

using managertest::Bytes;
using managertest::FakeSdo;
using managertest::le;
using managertest::Transfer;

constexpr uint8_t kManager = 16;
constexpr char kReadOnly[] = "Attempt to write a read only object (0x06010002)";

class WritesTest : public ::testing::Test {
protected:
    OperationControl control() {
        return OperationControl{&abort, nullptr, [this](std::string line) { log.push_back(line); }};
    }
    Transfer write(uint16_t index, uint8_t sub, Bytes data) {
        return {false, kManager, index, sub, std::move(data)};
    }

    FakeSdo sdo;
    std::atomic<bool> abort{false};
    std::vector<std::string> log;
};

TEST(TypingRules, TypedNumbersAreDecimalDigitsUpToTheFirstOther) {
    const std::pair<const char*, uint32_t> rows[] = {
        {"300", 300},      {"  12ab", 12},
        {"", 0},           {"   ", 0},
        {"-5", 0},         {"+5", 0},
        {"0x10", 0},       {"007", 7},
        {"65535", 65535},  {"4294967295", 4294967295u},
        {"4294967301", 5}, {"1 2", 1},
        {"\t5", 0},        {"99999999999999999999", 1661992959u},
    };
    for (const auto& [text, value] : rows) EXPECT_EQ(ParseTypedNumber(text), value) << text;
}

TEST(TypingRules, TypedHexIsHexDigitsUpToTheFirstOther) {
    const std::pair<const char*, uint32_t> rows[] = {
        {"191", 0x191},           {" 1a2B", 0x1A2B}, {"x1", 0},      {"", 0},
        {"FFFFFFFF", 0xFFFFFFFF}, {"0x10", 0},       {"12g4", 0x12}, {"00000191", 0x191},
    };
    for (const auto& [text, value] : rows) EXPECT_EQ(ParseTypedHex(text), value) << text;
}

TEST(TypingRules, MasksKeepTheirBitsAndLeaveTheOthers) {
    // typed, assignment before, retry factor result, guard time result
    const struct {
        const char* typed;
        uint32_t before, retry, guard;
    } rows[] = {
        {"300", 0x00000000, 0x00002C00, 0x012C0000},    // 300 & 0xFF = 44
        {"70000", 0x000000FF, 0x000070FF, 0x117000FF},  // 70000 & 0xFFFF = 4464
        {"99999", 0xFFFFFFFF, 0xFFFF9FFF, 0x869FFFFF},  // 99999 & 0xFFFF = 34463
        {"", 0x12345682, 0x12340082, 0x00005682},       // bits 1 and 7 carried
        {"255", 0xABCD0001, 0xABCDFF01, 0x00FF0001},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(WithRetryFactor(r.before, ParseTypedNumber(r.typed)), r.retry) << r.typed;
        EXPECT_EQ(WithGuardTime(r.before, ParseTypedNumber(r.typed)), r.guard) << r.typed;
    }
    EXPECT_EQ((WithGuardTime(0, 70000) >> 16), 4464u);
    EXPECT_EQ(((WithRetryFactor(0, 300) >> 8) & 0xFF), 44u);
}

TEST(TypingRules, ConfigurationWordKeepsTheBitsNoControlShows) {
    EXPECT_EQ(WithOperatingMode(0x0030, 1), 0x0031);
    EXPECT_EQ(WithOperatingMode(0xFFFF, 0), 0xFFFC);
    EXPECT_EQ(WithOperatingMode(0x0000, 7), 0x0003) << "the index is masked to two bits";
    EXPECT_EQ(WithSmartBridge(0x8101, 2), 0x8121);
    EXPECT_EQ(WithSmartBridge(0xFFFF, 0), 0xFFCF);
    EXPECT_EQ(WithFlag(0x0031, kDisableSdoChannelBit, true), 0x0131);
    EXPECT_EQ(WithFlag(0x8111, kStartInSetupBit, false), 0x0111);
}

TEST_F(WritesTest, NodeRowWritesOnlyTheEntriesWithinTheirCounts) {
    ManagerNodeRecord record;
    record.slaveAssignment = 0x00C82D1D;
    record.configDate = 9132;
    record.configTime = 36000000;
    // counts 0 and 1, node, the writes
    const struct {
        uint8_t slaveCount, dateCount, node;
        std::vector<Transfer> writes;
        uint8_t written;
    } rows[] = {
        {10, 0, 3, {write(0x1F81, 3, {0x1D, 0x2D, 0xC8, 0x00})}, kRowAssignment},
        {10, 0, 11, {}, 0},
        {0,
         5,
         5,
         {write(0x1F26, 5, {0xAC, 0x23, 0, 0}), write(0x1F27, 5, {0x00, 0x51, 0x25, 0x02})},
         kRowDate | kRowTime},
        {127,
         127,
         127,
         {write(0x1F81, 127, {0x1D, 0x2D, 0xC8, 0x00}), write(0x1F26, 127, {0xAC, 0x23, 0, 0}),
          write(0x1F27, 127, {0x00, 0x51, 0x25, 0x02})},
         kRowAssignment | kRowDate | kRowTime},
    };
    for (const auto& r : rows) {
        sdo.transfers.clear();
        std::array<uint8_t, manager_map::kEntryCounts> counts{};
        counts[0] = r.slaveCount;
        counts[1] = r.dateCount;
        const RowWriteOutcome outcome =
            WriteNodeRow(sdo, kManager, r.node, record, counts, control());
        EXPECT_EQ(sdo.transfers, r.writes) << int(r.node);
        EXPECT_EQ(outcome.written, r.written) << int(r.node);
        EXPECT_EQ(outcome.failed, 0);
    }
    EXPECT_TRUE(log.empty());
}

TEST_F(WritesTest, IdentityValuesAreWrittenWhenAskedForWithinTheirCounts) {
    ManagerNodeRecord record;
    record.deviceType = 0x00000191;
    record.serialNumber = 0x12345678;
    std::array<uint8_t, manager_map::kEntryCounts> counts{127, 127, 127, 127, 127, 127, 4};
    EXPECT_EQ(IdentityEntryOfColumn(10), kRowDeviceType);
    EXPECT_EQ(IdentityEntryOfColumn(14), kRowSerialNumber);
    EXPECT_EQ(IdentityEntryOfColumn(9), 0);
    EXPECT_EQ(IdentityEntryOfColumn(15), 0);
    // node, entries asked for, the writes
    const struct {
        uint8_t node, entries;
        std::vector<Transfer> writes;
    } rows[] = {
        {5, kRowDeviceType, {write(0x1F84, 5, {0x91, 0x01, 0, 0})}},
        {4, kRowSerialNumber, {write(0x1F88, 4, {0x78, 0x56, 0x34, 0x12})}},
        {5, kRowSerialNumber, {}},  // beyond count 6
        {2,
         kRowVendorId | kRowAssignment,
         {write(0x1F81, 2, {0, 0, 0, 0}), write(0x1F85, 2, {0, 0, 0, 0})}},
    };
    for (const auto& r : rows) {
        sdo.transfers.clear();
        WriteNodeRow(sdo, kManager, r.node, record, counts, control(), r.entries);
        EXPECT_EQ(sdo.transfers, r.writes) << int(r.node) << " " << int(r.entries);
    }
    sdo.fail(kManager, 0x1F86, 3, 5, kReadOnly);
    const RowWriteOutcome outcome =
        WriteNodeRow(sdo, kManager, 3, record, counts, control(), kRowProductCode);
    EXPECT_EQ(outcome.failed, kRowProductCode);
    EXPECT_EQ(log, std::vector<std::string>{"Failed to write product code for node 0x03 (3d) to "
                                            "the CANopen Manager (0x1F86 sub 3): " +
                                            std::string(kReadOnly)});
}

TEST_F(WritesTest, ARefusedEntryIsLoggedWithItsAbortAndTheRowGoesOn) {
    sdo.fail(kManager, 0x1F81, 3, 5, kReadOnly);
    sdo.fail(kManager, 0x1F27, 3, 1, "");
    std::array<uint8_t, manager_map::kEntryCounts> counts{};
    counts.fill(127);
    const RowWriteOutcome outcome =
        WriteNodeRow(sdo, kManager, 3, ManagerNodeRecord{}, counts, control());
    EXPECT_EQ(sdo.transfers.size(), 3u);
    EXPECT_EQ(outcome.written, kRowDate);
    EXPECT_EQ(outcome.failed, kRowAssignment | kRowTime);
    EXPECT_EQ(log, (std::vector<std::string>{
                       "Failed to write slave assignment for node 0x03 (3d) to the CANopen "
                       "Manager (0x1F81 sub 3): Attempt to write a read only object (0x06010002)",
                       "Failed to write time for node 0x03 (3d) to the CANopen Manager "
                       "(0x1F27 sub 3): code 1"}));
}

TEST_F(WritesTest, AnAbortStopsTheRowAfterTheTransferInFlight) {
    std::array<uint8_t, manager_map::kEntryCounts> counts{};
    counts.fill(127);
    sdo.afterTransfer = [this](std::size_t) { abort = true; };
    const RowWriteOutcome outcome =
        WriteNodeRow(sdo, kManager, 9, ManagerNodeRecord{}, counts, control());
    EXPECT_EQ(sdo.transfers.size(), 1u);
    EXPECT_EQ(outcome.written, kRowAssignment);
}

TEST_F(WritesTest, SettingsGoAsTwoBytesEachInSubindexOrder) {
    ManagerConfiguration config;
    config.configWord = 0x0031;
    config.preBootDelay = 99999;  // five digits typed: the low 16 bits, 34463
    config.postBootDelay = 1000;
    config.sdoTimeout = 0;
    config.sdoDelay = 5;
    config.defaultHeartbeatTime = 65535;
    config.defaultHeartbeatFactor = 150;
    EXPECT_EQ(WriteSettings(sdo, kManager, SettingsOf(config), control()), 0);
    EXPECT_EQ(sdo.transfers,
              (std::vector<Transfer>{write(0x2000, 1, {0x31, 0x00}), write(0x2000, 2, {0x9F, 0x86}),
                                     write(0x2000, 3, {0xE8, 0x03}), write(0x2000, 4, {0x00, 0x00}),
                                     write(0x2000, 5, {0x05, 0x00}), write(0x2000, 6, {0xFF, 0xFF}),
                                     write(0x2000, 7, {0x96, 0x00})}));
    EXPECT_TRUE(log.empty());
}

TEST_F(WritesTest, EachFailedSettingHasItsLineAndTheOthersAreStillWritten) {
    for (uint8_t sub = 1; sub <= 7; ++sub) sdo.fail(kManager, 0x2000, sub, 5, kReadOnly);
    EXPECT_EQ(WriteSettings(sdo, kManager, ManagerSettings{}, control()), 0xFE);
    EXPECT_EQ(sdo.transfers.size(), 7u);
    const char* const what[] = {"configuration",           "pre boot delay",
                                "post boot delay",         "SDO timeout",
                                "SDO back to back delay",  "default heartbeat time",
                                "default heartbeat factor"};
    ASSERT_EQ(log.size(), 7u);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(log[i], std::string("Failed to write ") + what[i] +
                              " to the CANopen Manager (0x2000 sub " + std::to_string(i + 1) +
                              "): " + kReadOnly);
}

class BridgeTableTest : public WritesTest {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("quorvane_bft_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string file(const std::string& name, const std::string& content) {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    std::filesystem::path dir;
};

TEST_F(BridgeTableTest, TheFileIsSentAsItsBytesWithCrLfAsLf) {
    // content, bytes sent
    const std::pair<std::string, std::string> rows[] = {
        {"0x181 -> 2\r\n0x182 -> 2\r\n", "0x181 -> 2\n0x182 -> 2\n"},
        {"a\rb\r", "a\rb\r"},
        {"a\r\r\nb", "a\r\nb"},
        {std::string(1000, 'x'), std::string(1000, 'x')},
        {std::string(999, 'x') + "\r\n", std::string(999, 'x') + "\n"},
        {std::string("\x00\xFF", 2), std::string("\x00\xFF", 2)},
    };
    for (const auto& [content, sent] : rows) {
        const BridgeTableFile read = ReadBridgeTableFile(file("t.txt", content));
        EXPECT_EQ(read.error, "");
        EXPECT_EQ(std::string(read.bytes.begin(), read.bytes.end()), sent);
    }
}

TEST_F(BridgeTableTest, FilesThatCannotBeSentAreRefusedWithALine) {
    const std::string empty = file("empty.txt", "");
    const std::string large = file("large.txt", std::string(1001, 'x'));
    const std::string huge = file("huge.txt", std::string(1 << 20, 'x'));
    const std::string missing = (dir / "missing.txt").string();
    const std::pair<std::string, std::string> rows[] = {
        {empty, "File " + empty + " is empty: no bridge forwarding table was sent"},
        {large, "File " + large +
                    " holds more than 1000 bytes, the most a bridge forwarding table may have: "
                    "nothing was sent"},
        {huge, "File " + huge +
                   " holds more than 1000 bytes, the most a bridge forwarding table may have: "
                   "nothing was sent"},
        {missing, "Failed to open file " + missing},
        {dir.string(), "Failed to read file " + dir.string()},
    };
    for (const auto& [path, line] : rows) {
        log.clear();
        EXPECT_FALSE(WriteBridgeTable(sdo, kManager, {1, path}, control())) << path;
        EXPECT_EQ(log, std::vector<std::string>{line});
        EXPECT_TRUE(ReadBridgeTableFile(path).bytes.empty());
    }
    EXPECT_TRUE(sdo.transfers.empty());
}

TEST_F(BridgeTableTest, EachPortHasItsEntryAndAFailedDownloadIsLogged) {
    const std::string path = file("t.txt", "1 2\r\n");
    EXPECT_TRUE(WriteBridgeTable(sdo, kManager, {1, path}, control()));
    EXPECT_TRUE(WriteBridgeTable(sdo, kManager, {2, path}, control()));
    EXPECT_EQ(sdo.transfers, (std::vector<Transfer>{write(0x2011, 3, {'1', ' ', '2', '\n'}),
                                                    write(0x2012, 3, {'1', ' ', '2', '\n'})}));
    sdo.fail(kManager, 0x2012, 3, 5, "Data cannot be transferred or stored (0x08000020)");
    EXPECT_FALSE(WriteBridgeTable(sdo, kManager, {2, path}, control()));
    EXPECT_EQ(log, std::vector<std::string>{
                       "Failed to write bridge forwarding table to the CANopen Manager "
                       "(0x2012 sub 3): Data cannot be transferred or stored (0x08000020)"});
}

}  // namespace
