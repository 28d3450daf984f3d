// A configuration date and time: date in days since 1 January 1984, time in
// milliseconds after midnight, each 32 bits. Its text form is the template
// "dd-ccc-dddd dd:dd:dd:ddd" (d digit, c letter), 24 characters:
//
//     (0, 0)            <-> "01-Jan-1984 00:00:00:000"
//     (0, 90061001)      -> "02-Jan-1984 01:01:01:001"  (a time past one day carries)
//     (1, 1500)         <-  "02-jan-1984 00:00:01:500"  (month letters in any case)
//     (20454, 0)        <-> "01-Jan-2040 00:00:00:000"  (64-bit time: past 2038)
//
// Local time (the process's TZ); the epoch and the parse take standard time,
// the text shows the moment with the platform's daylight saving. Any thread
// (localtime_r / mktime).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct ConfigDateTime {
    uint32_t date = 0;  // days since 1 January 1984
    uint32_t time = 0;  // ms after midnight
    bool operator==(const ConfigDateTime&) const = default;
};

inline constexpr char kDateTimeTemplate[] = "dd-ccc-dddd dd:dd:dd:ddd";
inline constexpr std::size_t kDateTimeTextLength = 24;

// "dd-Mmm-yyyy hh:mm:ss:iii" with English month abbreviations, or
// "<invalid time of day value (out of range)>" when the platform cannot
// represent the moment.
std::string FormatConfigDateTime(uint32_t date, uint32_t time);

// Why text (at most its first 100 characters are looked at) is no date and
// time, as the message box shows it; nothing when it is one. The checks stop
// at the first failure: the length, each template position (counted from 0),
// the month abbreviation, then a moment before 1 January 1984 (no pair holds
// it). Day, hour, minute, second and millisecond are not
// range-checked: they carry (32-Jan-2009 is 01-Feb-2009).
std::optional<std::string> DateTimeTextError(std::string_view text);

// The pair for a text DateTimeTextError accepts: the fields as local
// standard time, date = whole days since the epoch, time = the rest in ms
// plus the milliseconds field, kept to its low 28 bits. Nothing for a text
// it refuses.
std::optional<ConfigDateTime> ParseConfigDateTime(std::string_view text);
