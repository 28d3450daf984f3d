// The transmit table: defaults, loading with corrections, saving every value,
// identifiers and names, the invalid table, and reads racing replacements.
#include "transmit/core/transmit_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "gui/settings_store.h"
#include "gui_support/gui_test_support.h"
#include "transmit/core/transmit_engine.h"
#include "transmit_test_support.h"

namespace {

constexpr int kMessages = 20;

class TransmitTableTest : public ::testing::Test {
protected:
    void SetUp() override { guitest::clearSettings(); }

    static void store(const QString& key, const QVariant& value) {
        auto settings = OpenSettings();
        ASSERT_TRUE(settings);
        settings->setValue(key, value);
    }
};

TEST_F(TransmitTableTest, EmptyStoreGivesTwentyDisabledDefaultMessages) {
    TTransmit table(kMessages, transmittest::settingsStore());
    ASSERT_TRUE(table.valid());
    ASSERT_EQ(table.Count(), kMessages);
    for (int i : {0, kMessages - 1}) {
        TransmitMessage m{.name = "changed", .enable = true};
        ASSERT_TRUE(table.GetMessage(i, m));
        EXPECT_EQ(m, TransmitMessage{});
    }
}

TEST_F(TransmitTableTest, LoadingNarrowsAndCorrectsStoredValues) {
    using M = TransmitMessage;
    const struct {
        const char* key;
        QVariant stored;
        void (*expected)(M&);  // the change to the default message
    } cases[] = {
        {"0_id", 0x900, [](M& m) { m.id = 0x7FF; }},
        {"0_id", -1, [](M& m) { m.id = 0x7FF; }},  // unsigned comparison
        {"0_id", "abc", [](M&) {}},                // wrong kind: default kept
        {"0_nodeid", 0xC8, [](M& m) { m.nodeid = 0x7F; }},
        {"0_nodeid", 0x100, [](M& m) { m.nodeid = 1; }},  // low 8 bits first
        {"0_pdotype", 9, [](M& m) { m.pdotype = 7; }},
        {"0_pdotype", -2, [](M& m) { m.pdotype = -2; }},  // signed comparison
        {"0_rxid", 0x1000, [](M& m) { m.rxid = 0x7FF; }},
        {"0_dlc", 12, [](M& m) { m.dlc = 8; }},
        {"0_dlc", 0x103, [](M& m) { m.dlc = 3; }},
        {"0_key", 0x12345, [](M& m) { m.key = 0x2345; }},
        {"0_enable", 5, [](M& m) { m.enable = true; }},
        {"0_name", "ABCDEFGHIJKLMNOPQRSTUVWXY", [](M& m) { m.name = "ABCDEFGHIJKLMNOPQRST"; }},
    };
    for (const auto& row : cases) {
        guitest::clearSettings();
        store(row.key, row.stored);
        TTransmit table(kMessages, transmittest::settingsStore());
        M loaded, expected;
        row.expected(expected);
        ASSERT_TRUE(table.GetMessage(0, loaded));
        EXPECT_EQ(loaded, expected) << row.key << " = " << row.stored.toString().toStdString();
    }
}

TEST_F(TransmitTableTest, EveryValueOfEveryMessageIsWrittenAtDestruction) {
    const TransmitMessage changed{.name = "Speed",
                                  .enable = true,
                                  .transmitid = false,
                                  .id = 0x123,
                                  .transmitpdo = true,
                                  .nodeid = 0x05,
                                  .pdotype = 3,
                                  .keytrigger = true,
                                  .key = 0x74,
                                  .rxtrigger = true,
                                  .rxid = 0x181,
                                  .dlc = 3,
                                  .timestamp = 1,
                                  .data = {1, 2, 3, 4, 5, 6, 7, 0xFF}};
    {
        TTransmit table(kMessages, transmittest::settingsStore());
        ASSERT_TRUE(table.SetMessage(3, changed));
        auto settings = OpenSettings();
        EXPECT_FALSE(settings->contains("3_name")) << "edits stay in memory during a run";
    }
    auto settings = OpenSettings();
    EXPECT_EQ(settings->allKeys().size(), 420);  // 21 values of 20 messages

    const struct {
        const char* key;
        QString value;
    } written[] = {
        {"3_name", "Speed"},
        {"3_transmitid", "0"},
        {"3_id", "291"},
        {"19_nodeid", "64"},
    };
    for (const auto& row : written) {
        EXPECT_EQ(ReadString(*settings, row.key), row.value) << row.key;
    }

    TTransmit reloaded(kMessages, transmittest::settingsStore());
    TransmitMessage m;
    ASSERT_TRUE(reloaded.GetMessage(3, m));
    EXPECT_EQ(m, changed);
}

TEST_F(TransmitTableTest, EffectiveIdFollowsTheIdentifierOrPdoChoice) {
    const struct {
        bool transmitid;
        uint32_t id;
        int32_t pdotype;
        uint8_t nodeid;
        uint32_t expected;
    } cases[] = {
        {true, 0x123, 5, 0x05, 0x123},
        {false, 0x123, 0, 0x05, 0x185},
        {false, 0x123, 7, 0x7F, 0x57F},
    };
    TTransmit table(kMessages, transmittest::settingsStore());
    for (const auto& row : cases) {
        TransmitMessage m;
        m.transmitid = row.transmitid;
        m.id = row.id;
        m.pdotype = row.pdotype;
        m.nodeid = row.nodeid;
        m.enable = false;  // computed for disabled messages too
        ASSERT_TRUE(table.SetMessage(7, m));
        EXPECT_EQ(table.EffectiveId(7), row.expected) << row.pdotype;
    }
}

TEST_F(TransmitTableTest, DisplayNameOnlyForEnabledMessagesInRangeAndCut) {
    TTransmit table(kMessages, transmittest::settingsStore());
    TransmitMessage m;
    m.name = "Start";
    ASSERT_TRUE(table.SetMessage(2, m));
    EXPECT_EQ(table.DisplayName(2), "");
    m.enable = true;
    m.name = "0123456789012345678901234";  // cut to 20 characters
    ASSERT_TRUE(table.SetMessage(2, m));
    EXPECT_EQ(table.DisplayName(2), "01234567890123456789");
    ASSERT_TRUE(table.GetMessage(2, m));
    EXPECT_EQ(m.name, "01234567890123456789");
    {
        TTransmit invalid(-1, transmittest::settingsStore());  // empty and never saved
        EXPECT_FALSE(invalid.valid());
        EXPECT_EQ(invalid.Count(), 0);
        for (auto [t, outside] : {std::pair{&table, -1}, {&table, kMessages}, {&invalid, 0}}) {
            EXPECT_EQ(t->DisplayName(outside), "");
            EXPECT_EQ(t->EffectiveId(outside), 0u);
            TransmitMessage untouched;
            untouched.name = "mine";
            EXPECT_FALSE(t->GetMessage(outside, untouched));
            EXPECT_EQ(untouched.name, "mine");
            EXPECT_FALSE(t->SetMessage(outside, m));
        }
    }
    EXPECT_TRUE(OpenSettings()->allKeys().isEmpty());
}

// Receive triggers read records on another thread while they are replaced:
// every frame sent must come from one whole version of the record.
TEST_F(TransmitTableTest, ReceiveTriggersNeverSeeAHalfReplacedRecord) {
    TTransmit table(kMessages, transmittest::settingsStore());
    auto version = [](uint32_t id, uint8_t fill, uint8_t dlc) {
        TransmitMessage m;
        m.enable = true;
        m.rxtrigger = true;
        m.rxid = 0x181;
        m.id = id;
        m.dlc = dlc;
        m.data.fill(fill);
        m.name = std::string(20, static_cast<char>('a' + fill % 26));
        return m;
    };
    const TransmitMessage first = version(0x100, 0x11, 8);
    const TransmitMessage second = version(0x200, 0x22, 4);
    ASSERT_TRUE(table.SetMessage(0, first));

    std::mutex sentMutex;
    std::vector<CanFrame> sent;
    TransmitEngine engine(table, [&](const CanFrame& frame) {
        std::lock_guard guard(sentMutex);
        sent.push_back(frame);
    });
    std::atomic<bool> stop{false};
    std::thread receiver([&] {
        while (!stop.load()) engine.OnReceive(0x181);
    });
    // At least 20000 replacements, and on until the receiver has sent some frames.
    auto sentSome = [&] {
        std::lock_guard guard(sentMutex);
        return sent.size() >= 100;
    };
    for (int round = 0; round < 20000 || !sentSome(); ++round) {
        table.SetMessage(0, round % 2 == 0 ? second : first);
        (void)table.DisplayName(0);
    }
    stop.store(true);
    receiver.join();

    ASSERT_FALSE(sent.empty());
    for (const CanFrame& frame : sent) {
        const bool isFirst = frame.id == 0x100 && frame.length == 8 && frame.data[0] == 0x11 &&
                             frame.data[7] == 0x11;
        const bool isSecond = frame.id == 0x200 && frame.length == 4 && frame.data[0] == 0x22 &&
                              frame.data[7] == 0x22;
        ASSERT_TRUE(isFirst || isSecond)
            << std::hex << frame.id << " " << int(frame.length) << " " << int(frame.data[0]);
    }
}

}  // namespace
