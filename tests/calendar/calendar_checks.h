// Shared checks of the calendar tests.
#ifndef BRIMSEL_TESTS_CALENDAR_CHECKS_H
#define BRIMSEL_TESTS_CALENDAR_CHECKS_H

#include <brimsel/exception.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace calendar_test {

// Runs `action`, which must throw the calendar classes' kind of Exception:
// the given code and legend, not fatal, raised without a source location.
template <class Action>
void expectFailure(Action action, int code, const std::string& legend) {
  try {
    action();
    ADD_FAILURE() << "no exception; expected code " << code << " \"" << legend << "\"";
  } catch (const Brimsel::Exception& e) {
    EXPECT_EQ(code, e.errorCode());
    EXPECT_EQ(legend, e.legend());
    EXPECT_FALSE(e.isFatal());
    EXPECT_EQ("", e.file());
    EXPECT_EQ(-1, e.line());
  }
}

struct Civil {
  int year;
  int month;
  int day;
};

// Proleptic Gregorian day number (0 = 1970-01-01) and its inverse, by the
// era arithmetic of H. Hinnant's "chrono-Compatible Low-Level Date
// Algorithms": a second, independent account of the calendar to check the
// library's month lengths and leap years against.
inline std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

inline Civil civilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return Civil{static_cast<int>(yoe + era * 400 + (m <= 2)), m, d};
}

}  // namespace calendar_test

#endif
