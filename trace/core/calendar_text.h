// Local calendar texts with English month and weekday names, whatever the
// process locale.
#pragma once

#include <cstdint>
#include <ctime>

#include "trace/core/trace_text.h"

namespace canopen_trace {

inline constexpr char kTimeOutOfRangeText[] = "<invalid time of day value (out of range)>";

// A CANopen TIME value (milliseconds after midnight, days since 1 January
// 1984) as local time "05-Mar-2009 14:07:01:250". The epoch is local
// standard-time midnight; daylight saving of the moment itself follows the
// platform's rules. Milliseconds may exceed one day; days take 32 bits (the
// TIME message carries 16, a manager's configuration dates 32). Appends
// kTimeOutOfRangeText when the moment cannot be represented.
void AppendTimeOfDay(uint32_t milliseconds, uint32_t days, TextBuilder& out);

// `moment` as local time "Sun Mar 08 14:07:01 2009". Returns false (nothing
// appended) when the moment cannot be represented.
bool AppendTimestamp(std::time_t moment, TextBuilder& out);

}  // namespace canopen_trace
