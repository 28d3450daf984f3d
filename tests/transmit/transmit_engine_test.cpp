// The transmit engine: frames built from messages, the time of day in local
// time, trigger matching on keys and received identifiers, key mapping.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>

#include "gui/key_codes.h"
#include "gui_support/gui_test_support.h"
#include "support/scoped_time_zone.h"
#include "transmit/core/time_of_day.h"
#include "transmit_test_support.h"

namespace {

using TimeZone = testsupport::ScopedTimeZone;

using namespace std::chrono;
using transmittest::enabledMessage;
using transmittest::FrameLog;
using transmittest::keyedMessage;
using transmittest::rxMessage;

constexpr int kMessages = 20;

std::vector<uint8_t> bytesOf(const CanFrame& frame) {
    return std::vector<uint8_t>(frame.data, frame.data + frame.length);
}

TEST(TimeOfDay, LocalTimesGiveMillisecondsOfTheDayAndDaysSince1984) {
    const struct {
        const char* zone;
        sys_time<milliseconds> utc;
        std::vector<uint8_t> expected;
    } cases[] = {
        // 08:30:15.250 summer time (UTC+2) on 15 July 2024: day 14806.
        {"CET-1CEST,M3.5.0,M10.5.0/3",
         sys_days{year{2024} / 7 / 15} + 6h + 30min + 15s + 250ms,
         {0xD2, 0x26, 0xD3, 0x01, 0xD6, 0x39}},
        // The same wall-clock time in winter (UTC+1) on 15 January 2024: day 14624.
        {"CET-1CEST,M3.5.0,M10.5.0/3",
         sys_days{year{2024} / 1 / 15} + 7h + 30min + 15s + 250ms,
         {0xD2, 0x26, 0xD3, 0x01, 0x20, 0x39}},
        // One millisecond before 1984: the negative count keeps 28 bits.
        {"UTC0", sys_days{year{1984} / 1 / 1} - 1ms, {0xFF, 0xFF, 0xFF, 0x0F, 0x00, 0x00}},
    };
    for (const auto& row : cases) {
        TimeZone zone(row.zone);
        const auto bytes = TimeOfDayBytes(LocalMillisSince1984(row.utc));
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), row.expected) << row.zone;
    }
}

class TransmitEngineTest : public ::testing::Test {
protected:
    void SetUp() override { guitest::clearSettings(); }

    void set(int i, const TransmitMessage& m) { ASSERT_TRUE(table.SetMessage(i, m)); }

    TTransmit table{kMessages, transmittest::settingsStore()};
    FrameLog log;
    TransmitEngine engine{table, log.sender()};
};

TEST_F(TransmitEngineTest, FramesCarryIdentifierLengthDataOrTheEngineClock) {
    TimeZone zone("XYZ+3");
    TransmitEngine clocked(table, log.sender(), [] {
        return system_clock::time_point(sys_days{year{1984} / 1 / 2} + 3h);
    });
    TransmitMessage plain = enabledMessage(0x321);
    plain.dlc = 2;
    plain.data = {0xA1, 0xA2, 0xA3, 0, 0, 0, 0, 0xA8};
    TransmitMessage empty = plain;
    empty.dlc = 0;
    set(0, plain);
    set(1, empty);
    set(2, {.enable = true, .transmitid = false, .nodeid = 0x10, .pdotype = 2, .timestamp = 1});
    for (int i : {0, 1, 2}) clocked.Transmit(i);
    const std::vector<CanFrame> frames = log.frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].id, 0x321u);
    EXPECT_EQ(frames[0].flags, 0);
    EXPECT_EQ(bytesOf(frames[0]), (std::vector<uint8_t>{0xA1, 0xA2}));
    EXPECT_EQ(frames[0].data[2], 0xA3);  // bytes beyond the length go along unsent
    EXPECT_EQ(frames[0].data[7], 0xA8);
    EXPECT_EQ(frames[1].length, 0);
    EXPECT_EQ(frames[2].id, 0x290u);
    EXPECT_EQ(bytesOf(frames[2]), (std::vector<uint8_t>{0, 0, 0, 0, 0x01, 0x00}));
}

TEST_F(TransmitEngineTest, RequestsAndTriggersSendEveryMatchingEnabledMessageInAscendingOrder) {
    set(7, keyedMessage(0x107, 0x74));  // F5
    set(2, keyedMessage(0x102, 0x74));
    set(3, {.id = 0x103, .keytrigger = true, .key = 0x74});  // disabled
    set(4, {.enable = true, .id = 0x104, .key = 0x74});      // no key trigger
    set(5, rxMessage(0x105, 0x181));
    set(9, rxMessage(0x109, 0x181));
    set(10, {.id = 0x10A, .rxtrigger = true, .rxid = 0x181});  // disabled
    set(11, {.enable = true,                                   // key "5" and identifier 0x20B
             .id = 0x10B,
             .keytrigger = true,
             .key = 0x35,
             .rxtrigger = true,
             .rxid = 0x20B});

    const struct {
        const char* what;
        std::function<void()> act;
        std::vector<uint32_t> sent;
    } cases[] = {
        {"request 2", [&] { engine.Transmit(2); }, {0x102}},
        {"request disabled", [&] { engine.Transmit(3); }, {}},
        {"request -1", [&] { engine.Transmit(-1); }, {}},
        {"F5", [&] { engine.OnKey(0x74); }, {0x102, 0x107}},
        {"key 5", [&] { engine.OnKey(0x35); }, {0x10B}},
        {"keypad 5", [&] { engine.OnKey(*VirtualKeyCode(Qt::Key_5, Qt::KeypadModifier)); }, {}},
        {"rx 181", [&] { engine.OnReceive(0x181); }, {0x105, 0x109}},
        {"rx 20B", [&] { engine.OnReceive(0x20B); }, {0x10B}},
        {"rx 0x20000181", [&] { engine.OnReceive(0x20000181); }, {}},  // whole values compared
    };
    for (const auto& row : cases) {
        log.clear();
        row.act();
        EXPECT_EQ(log.ids(), row.sent) << row.what;
    }
}

TEST(TransmitKeys, QtKeysMapToTheStoredKeyCodes) {
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        std::optional<uint16_t> code;
    } cases[] = {{Qt::Key_9, Qt::NoModifier, 0x39},
                 {Qt::Key_5, Qt::ShiftModifier, 0x35},
                 {Qt::Key_5, Qt::KeypadModifier, 0x65},
                 {Qt::Key_F3, Qt::ControlModifier, 0x72},
                 {Qt::Key_Return, Qt::NoModifier, std::nullopt}};
    for (const auto& row : cases)
        EXPECT_EQ(VirtualKeyCode(row.key, row.modifiers), row.code) << std::hex << row.key;
    // Only digits and function keys are on the selector.
    EXPECT_EQ(SelectorIndexOfPressedKey(0x41), std::nullopt);
    EXPECT_EQ(SelectorIndexOfPressedKey(0x65), std::nullopt);
}

}  // namespace
