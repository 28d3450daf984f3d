// The manager's background operations against a scripted device set: the
// whole read with its counts, steps, cancel and failures; the dates read
// from the nodes; the dialog's read; the command words.
#include "manager/core/manager_operations.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "fake_sdo.h"
#include "manager/core/manager_texts.h"

namespace {

using managertest::Bytes;
using managertest::FakeSdo;
using managertest::le;
using managertest::Transfer;

constexpr uint8_t kManager = 16;
constexpr char kNoObject[] = "Object does not exist in the object dictionary (0x06020000)";

// A manager whose tables hold 127 entries each, entry n of table t being
// t << 24 | n, and single entries with distinct values.
void fillManager(FakeSdo& sdo) {
    const uint16_t tables[] = {0x1F81, 0x1F26, 0x1F27, 0x1F84, 0x1F85, 0x1F86, 0x1F87, 0x1F88};
    for (int t = 0; t < 8; ++t) {
        sdo.set(kManager, tables[t], 0, {127});
        for (uint32_t n = 1; n <= 127; ++n)
            sdo.set(kManager, tables[t], static_cast<uint8_t>(n), le(uint32_t(t) << 24 | n, 4));
    }
    const uint16_t loads[] = {11, 12, 13, 21, 22, 23};
    for (uint8_t sub = 1; sub <= 3; ++sub) {
        sdo.set(kManager, 0x2101, sub, le(loads[sub - 1], 2));
        sdo.set(kManager, 0x2102, sub, le(loads[sub + 2], 2));
    }
    sdo.set(kManager, 0x2001, 0, Bytes{'R', 'u', 'n', 's'});
    sdo.set(kManager, 0x2011, 1, le(0x8003, 2));
    sdo.set(kManager, 0x2011, 2, {4});
    sdo.set(kManager, 0x2012, 1, le(0x0000, 2));
    sdo.set(kManager, 0x2012, 2, {8});
    const uint16_t settings[] = {0x8111, 500, 1000, 300, 5, 1000, 150};
    for (uint8_t sub = 1; sub <= 7; ++sub) sdo.set(kManager, 0x2000, sub, le(settings[sub - 1], 2));
}

class ReadManagerTest : public ::testing::Test {
protected:
    void SetUp() override { fillManager(sdo); }

    bool read() {
        OperationControl control{&abort, [this](float p) { progress.push_back(p); },
                                 [this](std::string line) { log.push_back(line); }};
        return ReadManager(sdo, kManager, config, control);
    }
    std::vector<int> counts() const {
        return std::vector<int>(config.entryCounts.begin(), config.entryCounts.end());
    }

    FakeSdo sdo;
    std::atomic<bool> abort{false};
    ManagerConfiguration config;
    std::vector<float> progress;
    std::vector<std::string> log;
};

TEST_F(ReadManagerTest, ReadsEveryTableAndSingleEntryInOrder) {
    ASSERT_TRUE(read());
    EXPECT_TRUE(config.configValid);
    EXPECT_EQ(counts(), std::vector<int>(7, 127));
    EXPECT_EQ(config.node(1).slaveAssignment, 0x00000001u);
    EXPECT_EQ(config.node(127).configDate, 0x0100007Fu);
    EXPECT_EQ(config.node(5).configTime, 0x02000005u);
    EXPECT_EQ(config.node(9).deviceType, 0x03000009u);
    EXPECT_EQ(config.node(9).vendorId, 0x04000009u);
    EXPECT_EQ(config.node(9).productCode, 0x05000009u);
    EXPECT_EQ(config.node(9).revisionNumber, 0x06000009u);
    EXPECT_EQ(config.node(9).serialNumber, 0x07000009u);
    EXPECT_EQ(config.ports[0], (CanPortState{11, 12, 13, 0x8003, 4}));
    EXPECT_EQ(config.ports[1], (CanPortState{21, 22, 23, 0x0000, 8}));
    EXPECT_EQ(config.statusMessage, "Runs");
    EXPECT_EQ(config.configWord, 0x8111);
    EXPECT_EQ(config.preBootDelay, 500u);
    EXPECT_EQ(config.postBootDelay, 1000u);
    EXPECT_EQ(config.sdoTimeout, 300u);
    EXPECT_EQ(config.sdoDelay, 5u);
    EXPECT_EQ(config.defaultHeartbeatTime, 1000u);
    EXPECT_EQ(config.defaultHeartbeatFactor, 150u);
    EXPECT_TRUE(log.empty());

    // 8 counts, 8 x 127 elements, 18 single entries, all uploads from the manager.
    ASSERT_EQ(sdo.transfers.size(), 8u + 8 * 127 + 18);
    EXPECT_EQ(sdo.transfers[0], (Transfer{true, kManager, 0x1F81, 0, {}}));
    EXPECT_EQ(sdo.transfers[1], (Transfer{true, kManager, 0x1F81, 1, {}}));
    EXPECT_EQ(sdo.transfers[128], (Transfer{true, kManager, 0x1F26, 0, {}}));
    const Transfer singles[] = {{true, kManager, 0x2101, 1, {}}, {true, kManager, 0x2101, 2, {}},
                                {true, kManager, 0x2101, 3, {}}, {true, kManager, 0x2102, 1, {}},
                                {true, kManager, 0x2102, 2, {}}, {true, kManager, 0x2102, 3, {}},
                                {true, kManager, 0x2001, 0, {}}, {true, kManager, 0x2011, 1, {}},
                                {true, kManager, 0x2011, 2, {}}, {true, kManager, 0x2012, 1, {}},
                                {true, kManager, 0x2012, 2, {}}, {true, kManager, 0x2000, 1, {}},
                                {true, kManager, 0x2000, 2, {}}, {true, kManager, 0x2000, 3, {}},
                                {true, kManager, 0x2000, 4, {}}, {true, kManager, 0x2000, 5, {}},
                                {true, kManager, 0x2000, 6, {}}, {true, kManager, 0x2000, 7, {}}};
    for (int i = 0; i < 18; ++i) EXPECT_EQ(sdo.transfers[8 + 8 * 127 + i], singles[i]) << i;

    // One step per element and single entry: 1034 reports, the last 100 %.
    ASSERT_EQ(progress.size(), 1034u);
    EXPECT_FLOAT_EQ(progress.front(), 100.0f / 1034);
    EXPECT_FLOAT_EQ(progress.back(), 100.0f);
}

TEST_F(ReadManagerTest, CountsAreCappedSharedAndSkipped) {
    // sdo changes, expected counts, rows read of 0x1F81
    struct Row {
        const char* what;
        std::function<void(FakeSdo&)> change;
        std::vector<int> counts;
    };
    const Row rows[] = {
        {"0x1F81 count 200 is read as 127",
         [](FakeSdo& s) { s.set(kManager, 0x1F81, 0, {200}); },
         {127, 127, 127, 127, 127, 127, 127}},
        {"0x1F81 takes the first byte of a longer reply",
         [](FakeSdo& s) {
             s.set(kManager, 0x1F81, 0, {3, 0, 0, 0});
         },
         {3, 127, 127, 127, 127, 127, 127}},
        {"0x1F81 count 0 reads no element",
         [](FakeSdo& s) { s.set(kManager, 0x1F81, 0, {0}); },
         {0, 127, 127, 127, 127, 127, 127}},
        {"0x1F27 lowers the shared count",
         [](FakeSdo& s) {
             s.set(kManager, 0x1F26, 0, {10});
             s.set(kManager, 0x1F27, 0, {5});
         },
         {127, 5, 127, 127, 127, 127, 127}},
        {"0x1F27 never raises it",
         [](FakeSdo& s) {
             s.set(kManager, 0x1F26, 0, {10});
             s.set(kManager, 0x1F27, 0, {20});
         },
         {127, 10, 127, 127, 127, 127, 127}},
        {"a two-byte count is no count",
         [](FakeSdo& s) {
             s.set(kManager, 0x1F85, 0, {4, 0});
         },
         {127, 127, 127, 0, 127, 127, 127}},
        {"0x1F88 without a count clears every count",
         [](FakeSdo& s) {
             s.entries.erase({kManager, 0x1F88, 0});
         },
         {0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        sdo = FakeSdo();
        fillManager(sdo);
        row.change(sdo);
        config = ManagerConfiguration();
        log.clear();
        EXPECT_TRUE(read()) << row.what;
        EXPECT_EQ(counts(), row.counts) << row.what;
        EXPECT_TRUE(config.configValid);
    }
    // The last row: the single entries were still read.
    EXPECT_EQ(config.configWord, 0x8111);
    EXPECT_EQ(log,
              (std::vector<std::string>{"Failed to read 0x1F88 sub 0 from the CANopen Manager: " +
                                        std::string(kNoObject)}));
}

TEST_F(ReadManagerTest, FailuresAndShortRepliesGiveZeroAndAreLogged) {
    sdo.set(kManager, 0x1F84, 3, le(0x1234, 2));
    sdo.fail(kManager, 0x1F85, 4, 11, "SDO time-out");
    sdo.fail(kManager, 0x2001, 0, 5, kNoObject);
    sdo.set(kManager, 0x2000, 2, {7});
    sdo.set(kManager, 0x2011, 2, le(4, 2));
    sdo.fail(kManager, 0x2102, 1, 11, "");
    ASSERT_TRUE(read());
    EXPECT_EQ(config.node(3).deviceType, 0u);
    EXPECT_EQ(config.node(4).vendorId, 0u);
    EXPECT_EQ(config.node(5).vendorId, 0x04000005u);
    EXPECT_EQ(config.statusMessage, "");
    EXPECT_EQ(config.preBootDelay, 0u);
    EXPECT_EQ(config.ports[0].bitRateCode, 0);
    EXPECT_EQ(config.ports[1].currentLoad, 0);
    EXPECT_EQ(log,
              (std::vector<std::string>{
                  "Unexpected reply of 2 bytes from the CANopen Manager for 0x1F84 sub 3 "
                  "(4 expected)",
                  "Failed to read 0x1F85 sub 4 from the CANopen Manager: SDO time-out",
                  "Failed to read 0x2102 sub 1 from the CANopen Manager: code 11",
                  "Failed to read 0x2001 sub 0 from the CANopen Manager: " + std::string(kNoObject),
                  "Unexpected reply of 2 bytes from the CANopen Manager for 0x2011 sub 2 "
                  "(1 expected)",
                  "Unexpected reply of 1 bytes from the CANopen Manager for 0x2000 sub 2 "
                  "(2 expected)"}));
}

TEST_F(ReadManagerTest, AManagerThatNeverAnswersLeavesEmptyTablesAndZeroSettings) {
    for (auto& [key, value] : sdo.entries)
        sdo.fail(std::get<0>(key), std::get<1>(key), std::get<2>(key), 11, "SDO time-out");
    ASSERT_TRUE(read());
    EXPECT_EQ(counts(), std::vector<int>(7, 0));
    EXPECT_EQ(sdo.transfers.size(), 8u + 18u);
    EXPECT_EQ(log.size(), 8u + 18u);
    EXPECT_FLOAT_EQ(progress.back(), 100.0f);
    EXPECT_EQ(config.configWord, 0);
}

TEST_F(ReadManagerTest, AnAbortEndsTheReadWithNoCountsAndNoValidConfiguration) {
    // transfer after which the cancel comes, transfers made, steps reported
    const struct {
        const char* what;
        std::size_t abortAfter;
        std::size_t transfers;
    } rows[] = {
        {"during 0x1F26", 128 + 5, 128 + 5},
        {"with the count of 0x1F26", 128 + 1, 128 + 2},  // its first element still comes
        {"during the single entries", 8 + 8 * 127 + 3, 8 + 8 * 127 + 3},
        {"at the last entry", 8 + 8 * 127 + 18, 8 + 8 * 127 + 18},
    };
    for (const auto& row : rows) {
        sdo.transfers.clear();
        abort = false;
        config = ManagerConfiguration();
        config.configWord = 0x1234;
        sdo.afterTransfer = [&](std::size_t count) {
            if (count == row.abortAfter) abort = true;
        };
        EXPECT_FALSE(read()) << row.what;
        EXPECT_EQ(sdo.transfers.size(), row.transfers) << row.what;
        EXPECT_EQ(counts(), std::vector<int>(7, 0)) << row.what;
        EXPECT_FALSE(config.configValid) << row.what;
    }
}

class ReadDatesTest : public ::testing::Test {
protected:
    bool run(uint8_t dateCount) {
        OperationControl control{&abort, [this](float p) { progress.push_back(p); },
                                 [this](std::string line) { log.push_back(line); }};
        return ReadDatesFromNodes(sdo, kManager, dateCount, control,
                                  [this](const NodeDateTime& d) { stored.push_back(d); });
    }
    void slave(uint8_t node, uint32_t date, uint32_t time) {
        sdo.set(node, 0x1000, 0, le(0x191, 4));
        sdo.set(node, 0x1020, 1, le(date, 4));
        sdo.set(node, 0x1020, 2, le(time, 4));
    }

    FakeSdo sdo;
    std::atomic<bool> abort{false};
    std::vector<float> progress;
    std::vector<std::string> log;
    std::vector<NodeDateTime> stored;
};

TEST_F(ReadDatesTest, CopiesEachPresentNodesDateAndTimeIntoTheManager) {
    slave(2, 9132, 36000000);
    slave(3, 1, 2);
    sdo.entries.erase({3, 0x1020, 1});  // a slave without 0x1020
    slave(4, 5, 6);
    sdo.fail(kManager, 0x1F26, 4, 5, kNoObject);
    slave(5, 7, 8);
    sdo.set(5, 0x1020, 2, le(8, 2));  // short time
    slave(6, 9, 10);
    sdo.fail(kManager, 0x1F27, 6, 11, "SDO time-out");
    slave(9, 1, 1);  // beyond the count
    ASSERT_TRUE(run(8));

    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0].node, 2);
    EXPECT_EQ(stored[0].value, (ConfigDateTime{9132, 36000000}));
    EXPECT_EQ(stored[1].node, 4);
    EXPECT_EQ(stored[2].node, 6);
    EXPECT_EQ(log, (std::vector<std::string>{
                       "Failed to read date from node 0x03 (3d)",
                       "Failed to write date for node 0x04 (4d) to CANopen Manager",
                       "Failed to read time from node 0x05 (5d)",
                       "Failed to write time for node 0x06 (6d) to CANopen Manager"}));
    // Node 2: 0x1000, 0x1020 sub 1 and 2, then the manager's 0x1F26 and 0x1F27.
    const std::vector<Transfer> node2(sdo.transfers.begin() + 1, sdo.transfers.begin() + 6);
    EXPECT_EQ(node2, (std::vector<Transfer>{{true, 2, 0x1000, 0, {}},
                                            {true, 2, 0x1020, 1, {}},
                                            {true, 2, 0x1020, 2, {}},
                                            {false, kManager, 0x1F26, 2, le(9132, 4)},
                                            {false, kManager, 0x1F27, 2, le(36000000, 4)}}));
    for (const Transfer& t : sdo.transfers) {
        EXPECT_LE(t.node == kManager ? t.subindex : t.node, 8) << "beyond the count";
        EXPECT_FALSE(!t.upload && t.index == 0x1F27 && t.subindex == 4)
            << "time after a failed date";
    }
    ASSERT_EQ(progress.size(), 127u);
    EXPECT_FLOAT_EQ(progress.back(), 100.0f);
}

TEST_F(ReadDatesTest, NoCountOrAnAbortReadsNothingAndTheProgressRunsOut) {
    slave(1, 1, 1);
    EXPECT_TRUE(run(0));
    EXPECT_TRUE(sdo.transfers.empty());
    EXPECT_EQ(progress.size(), 127u);
    EXPECT_FLOAT_EQ(progress.back(), 100.0f);

    progress.clear();
    slave(2, 2, 2);
    sdo.afterTransfer = [&](std::size_t count) {
        if (count == 2) abort = true;  // during node 1
    };
    EXPECT_FALSE(run(127));
    // Node 1 ends (read, stored, written); node 2 on are skipped.
    EXPECT_EQ(sdo.transfers.size(), 5u);
    EXPECT_EQ(stored.size(), 1u);
    EXPECT_EQ(progress.size(), 1u) << "no step after the cancel";
}

TEST(ReadNodeDateTime, NeedsTheVerifyConfigurationEntry) {
    // 0x1020 sub 0 (empty: missing), sub 1 and sub 2 present, expected value or message
    const struct {
        Bytes entries;
        bool date, time;
        const char* message;
    } rows[] = {
        {{2}, true, true, ""},
        {{3}, true, true, "Node was not found or does not support the Verify Configuration entry"},
        {{}, true, true, "Node was not found or does not support the Verify Configuration entry"},
        {{2, 0},
         true,
         true,
         "Node was not found or does not support the Verify Configuration entry"},
        {{2}, false, true, "Failed to read configuration date from node"},
        {{2}, true, false, "Failed to read configuration time from node"},
    };
    for (const auto& row : rows) {
        FakeSdo sdo;
        if (!row.entries.empty()) sdo.set(7, 0x1020, 0, row.entries);
        if (row.date) sdo.set(7, 0x1020, 1, le(9132, 4));
        if (row.time) sdo.set(7, 0x1020, 2, le(1500, 4));
        const NodeDateTimeRead read = ReadNodeDateTime(sdo, 7);
        EXPECT_EQ(read.message, row.message);
        if (row.message[0] == '\0') {
            ASSERT_TRUE(read.value);
            EXPECT_EQ(*read.value, (ConfigDateTime{9132, 1500}));
        } else {
            EXPECT_FALSE(read.value);
        }
    }
}

TEST(SendManagerCommand, WritesTheFourCharactersToTheCommandEntry) {
    using manager_map::ManagerCommand;
    const struct {
        ManagerCommand command;
        Bytes bytes;
    } rows[] = {
        {ManagerCommand::HardwareReset, {0x52, 0x53, 0x45, 0x54}},
        {ManagerCommand::ClearNetwork, {0x43, 0x6C, 0x72, 0x4E}},
        {ManagerCommand::ScanNetwork, {0x53, 0x63, 0x6E, 0x4E}},
        {ManagerCommand::ScanNetworkAndStore, {0x57, 0x72, 0x74, 0x4E}},
    };
    for (const auto& row : rows) {
        FakeSdo sdo;
        EXPECT_EQ(SendManagerCommand(sdo, 0x10, row.command).code, 0);
        ASSERT_EQ(sdo.transfers.size(), 1u);
        EXPECT_EQ(sdo.transfers[0], (Transfer{false, 0x10, 0x1F50, 5, row.bytes}));
    }
    FakeSdo refusing;
    refusing.fail(0x10, 0x1F50, 5, 8, "not open");
    EXPECT_EQ(SendManagerCommand(refusing, 0x10, ManagerCommand::HardwareReset).code, 8);
}

}  // namespace
