// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>
#include <brimsel/timestamp.h>

#include "calendar_constinit.h"
#include "calendar_text.h"
#include "platform/clock.h"

namespace Brimsel {

// Constant-initialised: no constructor runs for them, so none can throw.
BRIMSEL_CONSTINIT const Timestamp Timestamp::Forever(0, 1, 1, 0, 0, 0.0);  // NOLINT(cert-err58-cpp)
BRIMSEL_CONSTINIT const Timestamp Timestamp::Never(0, 0, 0, 0, 0, 0.0);    // NOLINT(cert-err58-cpp)
const int Timestamp::nINVALID_TIMESTAMP;

Timestamp::~Timestamp() {}

void Timestamp::raiseInvalid() { throw Exception(nINVALID_TIMESTAMP, false, "Invalid timestamp"); }

std::string Timestamp::asText() const {
  char buffer[48];
  char* end = detail::putDate(buffer, year(), month(), day());
  *end++ = ' ';
  end = detail::putTime(end, hour(), minute(), static_cast<int>(second()));
  return std::string(buffer, static_cast<std::size_t>(end - buffer));
}

Timestamp Timestamp::fromText(const std::string& text) {
  // Read as a C string: up to the first zero byte.
  const char* const begin = text.data();
  const std::size_t size = detail::cStringLength(begin, text.size());
  // A blank anywhere wins over 'T', and 'T' over 'Z'. A blank right after
  // ten characters is taken without a search: should an earlier blank exist,
  // the date part holds a blank either way and fails just the same.
  const void* separator =
      size > 10 && begin[10] == ' ' ? begin + 10 : std::memchr(begin, ' ', size);
  if (separator == nullptr) separator = std::memchr(begin, 'T', size);
  if (separator == nullptr) separator = std::memchr(begin, 'Z', size);
  if (separator == nullptr) raiseInvalid();
  const char* const cut = static_cast<const char*>(separator);

  // The date part is read and checked before the time part is looked at, so a
  // text that is wrong on both sides reports the date. The fields are checked
  // before any object is built, which keeps the common path free of copies.
  int year, month, day;
  if (!detail::readDateText(begin, static_cast<std::size_t>(cut - begin), year, month, day) ||
      !isValidDate(year, month, day)) {
    throw Exception(nINVALID_DATE, false, "Invalid date");
  }
  int hour, minute;
  double second;
  if (!detail::readTimeText(cut + 1, size - static_cast<std::size_t>(cut - begin) - 1, hour, minute,
                            second) ||
      !isValidTime(hour, minute, second)) {
    throw Exception(nINVALID_TIME, false, "Invalid time");
  }
  return Timestamp(year, month, day, hour, minute, second);
}

bool Timestamp::isForever() const { return *this == Forever; }

const Timestamp Timestamp::now(Zone zone) {
  // One reading for both parts, so they always belong together.
  const platform::ClockFields f = platform::breakDown(platform::clockSeconds(), zone == LOCAL);
  return Timestamp(f.tmYear + 1900, f.tmMonth + 1, f.tmDay, f.tmHour, f.tmMinute,
                   static_cast<double>(f.tmSecond));
}

}  // namespace Brimsel
