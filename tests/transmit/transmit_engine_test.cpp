// The transmit engine: frames built from messages, the time of day in local
// time, trigger matching on keys and received identifiers, key mapping.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>

#include "gui_test_support.h"
#include "transmit/key_codes.h"
#include "transmit/time_of_day.h"
#include "transmit_test_support.h"

namespace {

using namespace std::chrono;
using transmittest::enabledMessage;
using transmittest::FrameLog;

constexpr int kMessages = 20;

std::vector<uint8_t> bytesOf(const CanFrame& frame) {
    return std::vector<uint8_t>(frame.data, frame.data + frame.length);
}

class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (saved_.empty())
            unsetenv("TZ");
        else
            setenv("TZ", saved_.c_str(), 1);
        tzset();
    }

private:
    std::string saved_;
};

TEST(TimeOfDay, LocalTimesGiveMillisecondsOfTheDayAndDaysSince1984) {
    const struct {
        const char* zone;
        sys_time<milliseconds> utc;
        std::vector<uint8_t> expected;
    } cases[] = {
        // 12:00:00.000 local on 1 January 1984, five hours east of UTC.
        {"XYZ-5", sys_days{year{1984} / 1 / 1} + 7h, {0x00, 0x2E, 0x93, 0x02, 0x00, 0x00}},
        // Midnight local on 2 January 1984, three hours west of UTC.
        {"XYZ+3", sys_days{year{1984} / 1 / 2} + 3h, {0x00, 0x00, 0x00, 0x00, 0x01, 0x00}},
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
        // Last millisecond of a day.
        {"UTC0", sys_days{year{1984} / 1 / 1} + 24h - 1ms, {0xFF, 0x5B, 0x26, 0x05, 0x00, 0x00}},
    };
    for (const auto& row : cases) {
        TimeZone zone(row.zone);
        const auto bytes = TimeOfDayBytes(LocalMillisSince1984(row.utc));
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), row.expected) << row.zone;
    }
}

TEST(TransmitFrame, CarriesIdentifierLengthAndData) {
    TimeZone zone("XYZ-5");
    const auto noon1984 = sys_days{year{1984} / 1 / 1} + 7h;

    TransmitMessage plain = enabledMessage(0x321);
    plain.dlc = 2;
    plain.data = {0xA1, 0xA2, 0xA3, 0, 0, 0, 0, 0xA8};
    const CanFrame frame = TransmitEngine::BuildFrame(plain, noon1984);
    EXPECT_EQ(frame.id, 0x321u);
    EXPECT_EQ(frame.length, 2);
    EXPECT_EQ(frame.flags, 0);
    EXPECT_EQ(frame.data[2], 0xA3);  // bytes beyond the length go along unsent
    EXPECT_EQ(frame.data[7], 0xA8);

    TransmitMessage empty = plain;
    empty.dlc = 0;
    EXPECT_EQ(TransmitEngine::BuildFrame(empty, noon1984).length, 0);
}

class TransmitEngineTest : public ::testing::Test {
protected:
    void SetUp() override { guitest::clearSettings(); }

    void set(int i, const TransmitMessage& m) { ASSERT_TRUE(table.SetMessage(i, m)); }

    TTransmit table{kMessages};
    FrameLog log;
    TransmitEngine engine{table, log.sender()};
};

TEST_F(TransmitEngineTest, OnlyEnabledMessagesInRangeAreSentOnRequest) {
    TransmitMessage on = enabledMessage(0x111);
    TransmitMessage off = enabledMessage(0x222);
    off.enable = false;
    set(0, on);
    set(1, off);
    const struct {
        int index;
        std::vector<uint32_t> sent;
    } cases[] = {{0, {0x111}}, {1, {}}, {-1, {}}, {kMessages, {}}};
    for (const auto& row : cases) {
        log.clear();
        engine.Transmit(row.index);
        EXPECT_EQ(log.ids(), row.sent) << row.index;
    }
}

TEST_F(TransmitEngineTest, TriggersSendEveryMatchingEnabledMessageInAscendingOrder) {
    auto keyed = [](uint32_t id, uint16_t key) {
        TransmitMessage m = enabledMessage(id);
        m.keytrigger = true;
        m.key = key;
        return m;
    };
    auto received = [](uint32_t id, uint32_t rxid) {
        TransmitMessage m = enabledMessage(id);
        m.rxtrigger = true;
        m.rxid = rxid;
        return m;
    };
    set(7, keyed(0x107, 0x74));  // F5
    set(2, keyed(0x102, 0x74));
    TransmitMessage disabledF5 = keyed(0x103, 0x74);
    disabledF5.enable = false;
    set(3, disabledF5);
    TransmitMessage untriggeredF5 = keyed(0x104, 0x74);
    untriggeredF5.keytrigger = false;
    set(4, untriggeredF5);
    set(5, received(0x105, 0x181));
    set(9, received(0x109, 0x181));
    TransmitMessage disabledRx = received(0x10A, 0x181);
    disabledRx.enable = false;
    set(10, disabledRx);
    TransmitMessage both = keyed(0x10B, 0x35);  // key "5" and identifier 0x20B
    both.rxtrigger = true;
    both.rxid = 0x20B;
    set(11, both);

    const struct {
        const char* what;
        std::function<void()> act;
        std::vector<uint32_t> sent;
    } cases[] = {
        {"F5", [&] { engine.OnKey(0x74); }, {0x102, 0x107}},
        {"F6", [&] { engine.OnKey(0x75); }, {}},
        {"key 5", [&] { engine.OnKey(0x35); }, {0x10B}},
        {"keypad 5", [&] { engine.OnKey(*VirtualKeyCode(Qt::Key_5, Qt::KeypadModifier)); }, {}},
        {"rx 181", [&] { engine.OnReceive(0x181); }, {0x105, 0x109}},
        {"rx 20B", [&] { engine.OnReceive(0x20B); }, {0x10B}},
        {"rx 182", [&] { engine.OnReceive(0x182); }, {}},
        {"rx 0x20000181", [&] { engine.OnReceive(0x20000181); }, {}},  // whole values compared
    };
    for (const auto& row : cases) {
        log.clear();
        row.act();
        EXPECT_EQ(log.ids(), row.sent) << row.what;
    }
}

TEST_F(TransmitEngineTest, TimestampMessagesTakeTheEngineClock) {
    TimeZone zone("XYZ+3");
    TransmitEngine clocked(table, log.sender(), [] {
        return system_clock::time_point(sys_days{year{1984} / 1 / 2} + 3h);
    });
    TransmitMessage m = enabledMessage(0x100);
    m.timestamp = 1;
    m.dlc = 8;
    m.transmitid = false;
    m.pdotype = 2;
    m.nodeid = 0x10;
    set(0, m);
    clocked.Transmit(0);
    ASSERT_EQ(log.frames().size(), 1u);
    EXPECT_EQ(log.frames()[0].id, 0x290u);
    EXPECT_EQ(bytesOf(log.frames()[0]), (std::vector<uint8_t>{0, 0, 0, 0, 0x01, 0x00}));
}

TEST(TransmitKeys, QtKeysMapToTheStoredKeyCodes) {
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        std::optional<uint16_t> code;
    } cases[] = {
        {Qt::Key_0, Qt::NoModifier, 0x30},
        {Qt::Key_9, Qt::NoModifier, 0x39},
        {Qt::Key_5, Qt::ShiftModifier, 0x35},
        {Qt::Key_5, Qt::KeypadModifier, 0x65},
        {Qt::Key_F1, Qt::NoModifier, 0x70},
        {Qt::Key_F12, Qt::NoModifier, 0x7B},
        {Qt::Key_F3, Qt::ControlModifier, 0x72},
        {Qt::Key_A, Qt::NoModifier, 0x41},
        {Qt::Key_Return, Qt::NoModifier, std::nullopt},
        {Qt::Key_Space, Qt::NoModifier, std::nullopt},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(VirtualKeyCode(row.key, row.modifiers), row.code) << std::hex << row.key;
    }
}

TEST(TransmitKeys, SelectorIndexesCodesAndCaptions) {
    const struct {
        int index;
        uint16_t code;
        const char* caption;
    } cases[] = {{0, 0x30, "0"},   {7, 0x37, "7"},   {9, 0x39, "9"},
                 {10, 0x70, "F1"}, {11, 0x71, "F2"}, {21, 0x7B, "F12"}};
    for (const auto& row : cases) {
        EXPECT_EQ(KeyCodeOfSelectorIndex(row.index), row.code);
        EXPECT_EQ(SelectorIndexOfKeyCode(row.code), row.index);
        EXPECT_EQ(SelectorIndexOfPressedKey(row.code), row.index);
        EXPECT_EQ(KeyCaption(row.code), row.caption);
    }
    EXPECT_EQ(SelectorIndexOfPressedKey(0x41), std::nullopt);
    EXPECT_EQ(SelectorIndexOfPressedKey(0x65), std::nullopt);
}

}  // namespace
