// The CANopen TIME_OF_DAY value of the local time: milliseconds after
// midnight (28 bits) and days since 1 January 1984, both local.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>

namespace timeofday {
constexpr int kBytes = 6;
constexpr int64_t kMillisPerDay = 86'400'000;
constexpr uint32_t kMillisMask = 0x0FFF'FFFF;
}  // namespace timeofday

// Milliseconds from 1984-01-01 00:00:00.000 local time to `moment` taken as
// local time (localtime_r, so it follows TZ). Negative before 1984.
int64_t LocalMillisSince1984(std::chrono::system_clock::time_point moment);

// The six bytes: milliseconds of the day, 32-bit little-endian with the high
// four bits cleared, then the day count, 16-bit little-endian.
std::array<uint8_t, timeofday::kBytes> TimeOfDayBytes(int64_t millisSince1984);
