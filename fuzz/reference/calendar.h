// SPDX-License-Identifier: MIT
// A second account of the calendar: validity by a day count (H. Hinnant's
// era arithmetic) and the text forms read the plain C way (length checks,
// strspn, cutting the fields, atoi and strtod). Texts are read as C strings,
// up to their first zero byte (the buffers are zero from there on), while
// the length rules count the whole string.
#ifndef BRIMSEL_FUZZ_REFERENCE_CALENDAR_H
#define BRIMSEL_FUZZ_REFERENCE_CALENDAR_H

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace reference {

struct DateFields {
  int year, month, day;
};
struct TimeFields {
  int hour, minute;
  double second;
};

// Days since 1970-01-01 in the proleptic Gregorian calendar.
inline std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400, yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

// Real dates, and the two sentinels 0000-00-00 and 0000-01-01.
inline bool validDate(const DateFields& f) {
  if (f.year == 0 && ((f.month == 0 && f.day == 0) || (f.month == 1 && f.day == 1))) return true;
  return f.month >= 1 && f.month <= 12 && f.day >= 1 &&
         daysFromCivil(f.year, f.month, f.day) <
             daysFromCivil(std::int64_t(f.year) + f.month / 12, f.month % 12 + 1, 1);
}

inline bool validTime(const TimeFields& f) {
  return f.hour >= 0 && f.hour < 24 && f.minute >= 0 && f.minute < 60 && f.second >= 0.0 &&
         f.second <= 59.0;
}

inline bool readDate(const std::string& text, DateFields& f) {
  char b[12] = {};
  if (text.size() != 10) return false;
  std::strncpy(b, text.c_str(), sizeof b - 1);
  if (std::strspn(b, "0123456789-") != std::strlen(b) || b[4] != '-' || b[7] != '-') return false;
  b[4] = b[7] = '\0';
  f = {std::atoi(b), std::atoi(b + 5), std::atoi(b + 8)};
  return true;
}

inline bool readTime(const std::string& text, TimeFields& f) {
  char b[16] = {};
  if (text.size() < 8 || text.size() > 15) return false;
  std::strncpy(b, text.c_str(), sizeof b - 1);
  if (std::strspn(b, "0123456789:.") != std::strlen(b) || b[2] != ':' || b[5] != ':') return false;
  b[2] = b[5] = '\0';
  f = {std::atoi(b), std::atoi(b + 3), std::strtod(b + 6, nullptr)};
  return true;
}

// The code a timestamp text fails with (3 no separator, 1 date, 2 time), 0 when it reads.
inline int readTimestamp(const std::string& text, DateFields& d, TimeFields& t) {
  const char* at = nullptr;
  for (char c : {' ', 'T', 'Z'}) at = at != nullptr ? at : std::strchr(text.c_str(), c);
  if (at == nullptr) return 3;
  if (!readDate(std::string(text.c_str(), at), d) || !validDate(d)) return 1;
  return readTime(std::string(at + 1), t) && validTime(t) ? 0 : 2;
}

}  // namespace reference

#endif
