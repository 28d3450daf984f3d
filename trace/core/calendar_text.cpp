#include "trace/core/calendar_text.h"

namespace canopen_trace {
namespace {

constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kWeekdayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

constexpr int kTimeEpochYear = 1984;
constexpr int64_t kSecondsPerDay = 86400;
constexpr uint32_t kMillisecondsPerSecond = 1000;

const char* monthName(int month) {
    return month >= 0 && month < 12 ? kMonthNames[month] : "???";
}
const char* weekdayName(int day) {
    return day >= 0 && day < 7 ? kWeekdayNames[day] : "???";
}

void appendClock(const std::tm& local, TextBuilder& out) {
    out.paddedDecimal(static_cast<uint32_t>(local.tm_hour), 2).put(':');
    out.paddedDecimal(static_cast<uint32_t>(local.tm_min), 2).put(':');
    out.paddedDecimal(static_cast<uint32_t>(local.tm_sec), 2);
}

}  // namespace

void AppendTimeOfDay(uint32_t milliseconds, uint32_t days, TextBuilder& out) {
    std::tm epoch{};
    epoch.tm_year = kTimeEpochYear - 1900;
    epoch.tm_mday = 1;
    epoch.tm_isdst = 0;  // standard time
    const std::time_t base = std::mktime(&epoch);
    std::tm local{};
    if (base == static_cast<std::time_t>(-1)) {
        out.text(kTimeOutOfRangeText);
        return;
    }
    const int64_t moment = static_cast<int64_t>(base) + int64_t{days} * kSecondsPerDay +
                           milliseconds / kMillisecondsPerSecond;
    const std::time_t asTime = static_cast<std::time_t>(moment);
    if (static_cast<int64_t>(asTime) != moment || localtime_r(&asTime, &local) == nullptr) {
        out.text(kTimeOutOfRangeText);
        return;
    }
    out.paddedDecimal(static_cast<uint32_t>(local.tm_mday), 2).put('-');
    out.text(monthName(local.tm_mon)).put('-');
    out.signedDecimal(int64_t{local.tm_year} + 1900).put(' ');
    appendClock(local, out);
    out.put(':').paddedDecimal(milliseconds % kMillisecondsPerSecond, 3);
}

bool AppendTimestamp(std::time_t moment, TextBuilder& out) {
    std::tm local{};
    if (localtime_r(&moment, &local) == nullptr) return false;
    out.text(weekdayName(local.tm_wday)).put(' ');
    out.text(monthName(local.tm_mon)).put(' ');
    out.paddedDecimal(static_cast<uint32_t>(local.tm_mday), 2).put(' ');
    appendClock(local, out);
    out.put(' ').signedDecimal(int64_t{local.tm_year} + 1900);
    return true;
}

}  // namespace canopen_trace
