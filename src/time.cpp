// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>
#include <brimsel/time.h>

#include "calendar_text.h"
#include "platform/clock.h"

namespace Brimsel {

const int Time::nINVALID_TIME;

Time::~Time() {}

void Time::raiseInvalid() { throw Exception(nINVALID_TIME, false, "Invalid time"); }

std::string Time::asText() const {
  char buffer[32];
  // A valid second lies in 0.0 .. 59.0, so the truncating conversion is defined.
  const char* end = detail::putTime(buffer, _nHour, _nMinute, static_cast<int>(_dSecond));
  return std::string(buffer, static_cast<std::size_t>(end - buffer));
}

Time Time::fromText(const std::string& text) {
  int hour, minute;
  double second;
  if (!detail::readTimeText(text.data(), text.size(), hour, minute, second)) raiseInvalid();
  return Time(hour, minute, second);
}

const Time Time::now(Zone zone) {
  const platform::ClockFields f = platform::breakDown(platform::clockSeconds(), zone == LOCAL);
  return Time(f.tmHour, f.tmMinute, static_cast<double>(f.tmSecond));
}

}  // namespace Brimsel
