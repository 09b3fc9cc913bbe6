// SPDX-License-Identifier: MIT
#include <time.h>

#include "platform/clock.h"

namespace Brimsel {
namespace platform {

std::int64_t clockSeconds() { return static_cast<std::int64_t>(::_time64(nullptr)); }

ClockFields breakDown(std::int64_t seconds, bool local) {
  const __time64_t t = static_cast<__time64_t>(seconds);
  // The runtime sets every field to -1 when it cannot convert; starting from
  // -1 keeps that true whatever a runtime leaves, so the return code need not
  // be inspected.
  struct tm fields;
  fields.tm_year = fields.tm_mon = fields.tm_mday = fields.tm_hour = fields.tm_min = fields.tm_sec =
      -1;
  if (local) {
    (void)::_localtime64_s(&fields, &t);
  } else {
    (void)::_gmtime64_s(&fields, &t);
  }
  return ClockFields{fields.tm_year, fields.tm_mon, fields.tm_mday,
                     fields.tm_hour, fields.tm_min, fields.tm_sec};
}

}  // namespace platform
}  // namespace Brimsel
