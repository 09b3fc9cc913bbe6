// SPDX-License-Identifier: MIT
// Clock readings for the calendar classes.
#ifndef BRIMSEL_PLATFORM_CLOCK_H
#define BRIMSEL_PLATFORM_CLOCK_H

#include <cstdint>

namespace Brimsel {
namespace platform {

// The broken-down time as the C runtime gives it: years since 1900, months
// 0 to 11, day of the month 1 to 31, hour, minute, second.
struct ClockFields {
  int tmYear;
  int tmMonth;
  int tmDay;
  int tmHour;
  int tmMinute;
  int tmSecond;
};

// Seconds since 1970-01-01 00:00:00 UTC.
std::int64_t clockSeconds();

// `seconds` in universal time, or in the machine's local time (daylight
// saving included) when `local` is set. Local time follows TZ as the C
// runtime last read it: at its first use, or when the program last called
// tzset (_tzset on Windows). Safe to call from any thread. When the runtime cannot convert the
// value, every field is -1, which no calendar class accepts.
ClockFields breakDown(std::int64_t seconds, bool local);

}  // namespace platform
}  // namespace Brimsel

#endif  // BRIMSEL_PLATFORM_CLOCK_H
