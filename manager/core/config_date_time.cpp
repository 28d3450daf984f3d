#include "manager/core/config_date_time.h"

#include <cctype>
#include <ctime>

#include "trace/core/calendar_text.h"

namespace {

constexpr std::size_t kMaxInspected = 100;
constexpr int64_t kSecondsPerDay = 86400;
constexpr uint32_t kTimeMask = 0x0FFFFFFF;
constexpr const char* kMonths[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                     "jul", "aug", "sep", "oct", "nov", "dec"};

struct Fields {
    unsigned day, month, year, hour, minute, second, millisecond;  // month 0-11
};

unsigned number(std::string_view text, std::size_t at, std::size_t digits) {
    unsigned value = 0;
    for (std::size_t i = at; i < at + digits; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

std::string lowerMonth(std::string_view text) {
    std::string month(text.substr(3, 3));
    for (char& c : month) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return month;
}

std::optional<unsigned> monthIndex(const std::string& lower) {
    for (unsigned i = 0; i < 12; ++i)
        if (lower == kMonths[i]) return i;
    return std::nullopt;
}

// Seconds of local standard-time fields, normalised by the platform.
std::optional<int64_t> standardSeconds(int year, int month, int day, int hour, int minute,
                                       int second) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = 0;
    const std::time_t seconds = std::mktime(&fields);
    if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<int64_t>(seconds);
}

// Seconds of the fields since the epoch (1 January 1984 00:00:00 standard time).
std::optional<int64_t> secondsSinceEpoch(const Fields& f) {
    const auto base = standardSeconds(1984, 0, 1, 0, 0, 0);
    const auto moment = standardSeconds(static_cast<int>(f.year), static_cast<int>(f.month),
                                        static_cast<int>(f.day), static_cast<int>(f.hour),
                                        static_cast<int>(f.minute), static_cast<int>(f.second));
    if (!base || !moment) return std::nullopt;
    return *moment - *base;
}

Fields fieldsOf(std::string_view text) {
    return {number(text, 0, 2),  *monthIndex(lowerMonth(text)), number(text, 7, 4),
            number(text, 12, 2), number(text, 15, 2),           number(text, 18, 2),
            number(text, 21, 3)};
}

std::string quotedChar(char c) {
    return std::string("\"") + c + "\"";
}

}  // namespace

std::string FormatConfigDateTime(uint32_t date, uint32_t time) {
    char buffer[64];
    canopen_trace::TextBuilder out(buffer, sizeof buffer);
    canopen_trace::AppendTimeOfDay(time, date, out);
    return std::string(buffer, out.length());
}

std::optional<std::string> DateTimeTextError(std::string_view text) {
    text = text.substr(0, kMaxInspected);
    const std::string prefix = "Invalid date and time format. ";
    if (text.size() != kDateTimeTextLength) return prefix + "Too many or too few characters.";
    for (std::size_t p = 0; p < kDateTimeTextLength; ++p) {
        const char expected = kDateTimeTemplate[p];
        const char found = text[p];
        const auto c = static_cast<unsigned char>(found);
        if (expected == 'c' && !std::isalpha(c))
            return prefix + "Letter expected at position " + std::to_string(p) + ", but found " +
                   quotedChar(found);
        if (expected == 'd' && !std::isdigit(c))
            return prefix + "Digit expected at position " + std::to_string(p) + ", but found " +
                   quotedChar(found);
        if (expected != 'c' && expected != 'd' && found != expected)
            return prefix + "Character " + quotedChar(expected) + " expected at position " +
                   std::to_string(p) + ", but found " + quotedChar(found);
    }
    const std::string month = lowerMonth(text);
    if (!monthIndex(month))
        return prefix + "Abbreviated month (jan, feb, ...) expected, but found \"" + month + "\"";
    const auto seconds = secondsSinceEpoch(fieldsOf(text));
    if (!seconds || *seconds < 0 || *seconds / kSecondsPerDay > UINT32_MAX)
        return std::string("Invalid date and time. The date must not lie before 01-Jan-1984.");
    return std::nullopt;
}

std::optional<ConfigDateTime> ParseConfigDateTime(std::string_view text) {
    if (DateTimeTextError(text)) return std::nullopt;
    const Fields f = fieldsOf(text);
    const int64_t t = *secondsSinceEpoch(f);
    const int64_t date = t / kSecondsPerDay;
    const int64_t time = f.millisecond + (t - date * kSecondsPerDay) * 1000;
    return ConfigDateTime{static_cast<uint32_t>(date), static_cast<uint32_t>(time) & kTimeMask};
}
