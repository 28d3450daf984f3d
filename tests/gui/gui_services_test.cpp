// Shared window services: result texts and the activity LEDs.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "gui/activity_led.h"
#include "gui/result_text.h"

namespace {

LibraryResult Record(int32_t code, const char* text) {
    LibraryResult record{};
    record.code = code;
    std::strncpy(record.text, text, sizeof record.text - 1);
    return record;
}

// --- ResultText ---------------------------------------------------------

// A detail follows a table text ending in a space directly, else after ": ";
// codes outside the table give nothing.
TEST(ResultTextTest, TableTextAndDetail) {
    struct Case {
        int32_t code;
        const char* detail;
        const char* expected;
    };
    const Case cases[] = {
        {2, "", "Unable to open Setup File: "},
        {2, "why", "Unable to open Setup File: why"},
        {11, "why", "Timeout occured - no response received: why"},
        {17, "ignored", ""},
        {-1, "ignored", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(ResultText(Record(c.code, c.detail)).toStdString(), c.expected);
    }
}

// Code 4 carries the parameter number as an unsigned byte, not as text.
TEST(ResultTextTest, InvalidParameterNumberIsAnUnsignedByte) {
    LibraryResult record{};
    record.code = 4;
    record.text[0] = static_cast<char>(200);
    record.text[1] = 'x';  // anything after the byte is not part of the text
    EXPECT_EQ(ResultText(record).toStdString(), "Invalid parameter number Parameter 200");
}

TEST(ResultTextTest, MakeResultCutsTo299BytesAndTerminates) {
    for (const auto& [length, kept] : {std::pair<int, size_t>{299, 299}, {300, 299}}) {
        SCOPED_TRACE(length);
        const LibraryResult record = MakeResult(15, QString(length, QLatin1Char('a')));
        EXPECT_EQ(record.code, 15);
        EXPECT_EQ(strnlen(record.text, sizeof record.text), kept);
        EXPECT_EQ(record.text[sizeof record.text - 1], '\0');
    }
}

// A one-shot timer on a virtual clock: fires once the clock reaches
// start + interval.
class FakeOneShotTimer : public OneShotTimer {
public:
    explicit FakeOneShotTimer(int intervalMs) : interval_(intervalMs) {}
    void start() override {
        running_ = true;
        due_ = now_ + interval_;
    }
    void stop() override { running_ = false; }
    // Moves the clock to `time`, one millisecond at a time, firing on the way.
    void advanceTo(int time, ActivityLed& led) {
        while (now_ < time) {
            ++now_;
            if (running_ && now_ >= due_) {
                running_ = false;
                led.timeout();
            }
        }
    }
    int now() const { return now_; }

private:
    int interval_;
    int now_ = 0;
    int due_ = 0;
    bool running_ = false;
};

constexpr int kLedMs = 39;

TEST(ActivityLedTest, BurstDrawsOnOnceAndGoesDarkAfterTheLastActivity) {
    FakeOneShotTimer timer(kLedMs);
    std::vector<std::pair<int, bool>> draws;
    ActivityLed led(timer, [&](bool on) { draws.emplace_back(timer.now(), on); });
    for (int time : {0, 10, 20, 30}) {
        timer.advanceTo(time, led);
        led.light();
        EXPECT_TRUE(led.lit());
    }
    timer.advanceTo(68, led);
    EXPECT_TRUE(led.lit());
    timer.advanceTo(200, led);
    EXPECT_FALSE(led.lit());
    const std::vector<std::pair<int, bool>> expected = {{0, true}, {69, false}};
    EXPECT_EQ(draws, expected);
}

}  // namespace
