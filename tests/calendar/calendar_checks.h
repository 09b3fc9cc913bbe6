// Shared checks of the calendar tests.
#ifndef BRIMSEL_TESTS_CALENDAR_CHECKS_H
#define BRIMSEL_TESTS_CALENDAR_CHECKS_H

#include <brimsel/exception.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace calendar_test {

// `action` must throw the calendar kind of Exception: this code and legend,
// not fatal, no source location.
template <class Action>
void expectFailure(Action action, int code, const std::string& legend) {
  try {
    action();
    ADD_FAILURE() << "no exception; expected code " << code;
  } catch (const Brimsel::Exception& e) {
    EXPECT_EQ(code, e.errorCode());
    EXPECT_EQ(legend, e.legend());
    EXPECT_FALSE(e.isFatal());
    EXPECT_EQ("", e.file());
    EXPECT_EQ(-1, e.line());
  }
}

// All six comparisons over every pair of `values`, listed in strictly
// increasing order.
template <class T>
void expectStrictOrder(const std::vector<T>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    for (std::size_t j = 0; j < values.size(); ++j) {
      const T& a = values[i];
      const T& b = values[j];
      SCOPED_TRACE(a.asText() + " vs " + b.asText() + " at " + std::to_string(i) + "," + std::to_string(j));
      EXPECT_EQ(i < j, a < b);
      EXPECT_EQ(i > j, a > b);
      EXPECT_EQ(i <= j, a <= b);
      EXPECT_EQ(i >= j, a >= b);
      EXPECT_EQ(i == j, a == b);
      EXPECT_EQ(i != j, a != b);
    }
  }
}

// Copy, assignment returning the target, and assignment to itself.
template <class T>
void expectCopyAndAssignment(const T& value, const T& other) {
  ASSERT_NE(value, other);
  EXPECT_EQ(value, T(value));
  T target(other);
  const T& result = (target = value);
  EXPECT_EQ(&target, &result);
  EXPECT_EQ(value, target);
  T& alias = target;
  target = alias;
  EXPECT_EQ(value, target);
}

struct Civil {
  int year, month, day;
};

// Proleptic Gregorian day number (0 = 1970-01-01) and back, by H. Hinnant's
// era arithmetic: an independent account of the calendar to check against.
inline std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

inline Civil civilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return Civil{static_cast<int>(yoe + era * 400 + (m <= 2)), m, static_cast<int>(doy - (153 * mp + 2) / 5 + 1)};
}

}  // namespace calendar_test

#endif
