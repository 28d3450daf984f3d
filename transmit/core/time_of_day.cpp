#include "transmit/core/time_of_day.h"

#include <ctime>

namespace {

constexpr int kEpochYear = 1984;
constexpr int64_t kMillisPerSecond = 1000;
constexpr int64_t kSecondsPerMinute = 60;
constexpr int64_t kSecondsPerHour = 3600;
constexpr int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

}  // namespace

int64_t LocalMillisSince1984(std::chrono::system_clock::time_point moment) {
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<milliseconds>(moment.time_since_epoch()).count();
    // Whole seconds rounded down, so the milliseconds part is never negative.
    int64_t seconds = sinceEpoch / kMillisPerSecond;
    int64_t millis = sinceEpoch % kMillisPerSecond;
    if (millis < 0) {
        millis += kMillisPerSecond;
        --seconds;
    }
    const auto clockTime = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (localtime_r(&clockTime, &local) == nullptr) return 0;
    const int64_t days =
        daysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                      static_cast<unsigned>(local.tm_mday)) -
        daysFromCivil(kEpochYear, 1, 1);
    const int64_t secondsOfDay =
        local.tm_hour * kSecondsPerHour + local.tm_min * kSecondsPerMinute + local.tm_sec;
    return (days * kSecondsPerDay + secondsOfDay) * kMillisPerSecond + millis;
}

std::array<uint8_t, timeofday::kBytes> TimeOfDayBytes(int64_t millisSince1984) {
    const int64_t days = millisSince1984 / timeofday::kMillisPerDay;
    const auto millisOfDay =
        static_cast<uint32_t>(millisSince1984 - days * timeofday::kMillisPerDay) &
        timeofday::kMillisMask;
    const auto dayCount = static_cast<uint16_t>(days);
    return {static_cast<uint8_t>(millisOfDay),       static_cast<uint8_t>(millisOfDay >> 8),
            static_cast<uint8_t>(millisOfDay >> 16), static_cast<uint8_t>(millisOfDay >> 24),
            static_cast<uint8_t>(dayCount),          static_cast<uint8_t>(dayCount >> 8)};
}
