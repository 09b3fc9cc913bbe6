// SPDX-License-Identifier: MIT
#include <brimsel/date.h>
#include <brimsel/exception.h>

#include "calendar_constinit.h"
#include "calendar_text.h"
#include "platform/clock.h"

namespace Brimsel {

// Constant-initialised: no constructor runs for them, so none can throw.
BRIMSEL_CONSTINIT const Date Date::Forever(0, 1, 1);  // NOLINT(cert-err58-cpp)
BRIMSEL_CONSTINIT const Date Date::Never(0, 0, 0);    // NOLINT(cert-err58-cpp)
const int Date::nINVALID_DATE;

Date::~Date() {}

void Date::raiseInvalid() { throw Exception(nINVALID_DATE, false, "Invalid date"); }

std::string Date::asText() const {
  char buffer[32];
  const char* end = detail::putDate(buffer, _nYear, _nMonth, _nDay);
  return std::string(buffer, static_cast<std::size_t>(end - buffer));
}

Date Date::fromText(const std::string& text) {
  int year, month, day;
  if (!detail::readDateText(text.data(), text.size(), year, month, day)) raiseInvalid();
  return Date(year, month, day);
}

bool Date::isForever() const { return *this == Forever; }

const Date Date::now(Zone zone) {
  const platform::ClockFields f = platform::breakDown(platform::clockSeconds(), zone == LOCAL);
  return Date(f.tmYear + 1900, f.tmMonth + 1, f.tmDay);
}

}  // namespace Brimsel
