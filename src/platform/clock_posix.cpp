// SPDX-License-Identifier: MIT
#include <time.h>

#include "platform/clock.h"

namespace Brimsel {
namespace platform {

std::int64_t clockSeconds() { return static_cast<std::int64_t>(::time(nullptr)); }

ClockFields breakDown(std::int64_t seconds, bool local) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm fields = {};
  struct tm* converted;
  if (local) {
    // No tzset here: like the Windows runtime, this takes TZ as it was when
    // first needed or when the program last called tzset, and concurrent
    // readings never rebuild the zone under one another.
    converted = ::localtime_r(&t, &fields);
  } else {
    converted = ::gmtime_r(&t, &fields);
  }
  if (converted == nullptr) return ClockFields{-1, -1, -1, -1, -1, -1};
  return ClockFields{fields.tm_year, fields.tm_mon, fields.tm_mday,
                     fields.tm_hour, fields.tm_min, fields.tm_sec};
}

}  // namespace platform
}  // namespace Brimsel
