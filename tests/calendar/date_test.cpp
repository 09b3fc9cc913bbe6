#include <brimsel/date.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "calendar_checks.h"

using Brimsel::Date;
using calendar_test::civilFromDays;
using calendar_test::daysFromCivil;
using calendar_test::expectFailure;

namespace {

// Copied while the test program starts, before main: the sentinels must
// already hold their values then.
const Date gEarlyForever = Date::Forever;
const Date gEarlyNever(Date::Never);

void expectInvalidDate(int year, int month, int day) {
  SCOPED_TRACE(testing::Message() << year << "-" << month << "-" << day);
  expectFailure([&] { Date d(year, month, day); }, 1, "Invalid date");
}

void expectBadText(const std::string& text) {
  SCOPED_TRACE("\"" + text + "\"");
  expectFailure([&] { Date::fromText(text); }, 1, "Invalid date");
}

void expectDate(const Date& d, int year, int month, int day) {
  EXPECT_EQ(year, d.year());
  EXPECT_EQ(month, d.month());
  EXPECT_EQ(day, d.day());
}

}  // namespace

TEST(Date, SentinelsAndDefault) {
  expectDate(Date::Forever, 0, 1, 1);
  expectDate(Date::Never, 0, 0, 0);
  EXPECT_EQ(Date::Forever, gEarlyForever);
  EXPECT_EQ(Date::Never, gEarlyNever);
  EXPECT_EQ(1, Date::nINVALID_DATE);

  const Date d;
  EXPECT_EQ(Date::Forever, d);
  EXPECT_TRUE(d.isForever());
  EXPECT_TRUE(Date::Forever.isForever());
  EXPECT_FALSE(Date::Never.isForever());
  EXPECT_FALSE(Date(1, 1, 1).isForever());
  EXPECT_EQ("0000-01-01", d.asText());
  EXPECT_EQ("0000-00-00", Date::Never.asText());
  EXPECT_TRUE(Date(0, 0, 0) == Date::Never);
}

TEST(Date, YearZeroOnlyAdmitsTheSentinelsAsPartialDates) {
  expectInvalidDate(0, 1, 0);
  expectInvalidDate(0, 0, 1);
  expectInvalidDate(0, 2, 0);
  expectInvalidDate(1, 0, 0);
  expectInvalidDate(-1, 0, 0);
  // Year 0 is otherwise an ordinary leap year.
  EXPECT_NO_THROW(Date(0, 2, 29));
  EXPECT_NO_THROW(Date(0, 12, 31));
}

TEST(Date, MonthLengthsAndLeapYears) {
  const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int year : {2023, 1900, 2100, -100, -1, 1, INT_MAX}) {
    for (int month = 1; month <= 12; ++month) {
      EXPECT_NO_THROW(Date(year, month, lengths[month - 1])) << year << "-" << month;
      expectInvalidDate(year, month, lengths[month - 1] + 1);
      expectInvalidDate(year, month, 0);
      expectInvalidDate(year, month, -1);
    }
  }
  // Divisible by 4 and (by 400 or not by 100), with signed remainders.
  // INT_MIN leaves remainder -48 by 400 and 0 by 4.
  for (int year : {2000, 2024, 0, -4, -400, 1600, INT_MIN}) {
    EXPECT_NO_THROW(Date(year, 2, 29)) << year;
    expectInvalidDate(year, 2, 30);
  }
  for (int year : {1900, 2023, -100, -1, INT_MAX}) expectInvalidDate(year, 2, 29);
  for (int month : {0, 13, -1, INT_MIN, INT_MAX}) expectInvalidDate(2023, month, 1);
  expectInvalidDate(2023, 1, INT_MAX);
  expectInvalidDate(2023, 1, INT_MIN);
}

// Every (month, day) pair of three 400-year cycles, one of them negative,
// against an independent day count: the valid ones are exactly the days the
// count produces, in increasing order, and their text reads back.
TEST(Date, EveryDayOfSeveral400YearCycles) {
  for (int firstYear : {-800, 1600, 9600}) {
    SCOPED_TRACE(firstYear);
    const std::int64_t first = daysFromCivil(firstYear, 1, 1);
    const std::int64_t last = daysFromCivil(firstYear + 400, 1, 1);
    ASSERT_EQ(146097, last - first);
    std::int64_t accepted = 0;
    for (int year = firstYear; year < firstYear + 400; ++year) {
      for (int month = 1; month <= 12; ++month) {
        for (int day = 1; day <= 31; ++day) {
          const bool exists = civilFromDays(daysFromCivil(year, month, day)).day == day;
          bool valid = true;
          try {
            Date d(year, month, day);
          } catch (const Brimsel::Exception&) {
            valid = false;
          }
          ASSERT_EQ(exists, valid) << year << "-" << month << "-" << day;
          accepted += valid;
        }
      }
    }
    EXPECT_EQ(146097, accepted);

    Date previous = Date(firstYear - 1, 12, 31);
    for (std::int64_t z = first; z < last; ++z) {
      const calendar_test::Civil c = civilFromDays(z);
      const Date d(c.year, c.month, c.day);
      ASSERT_TRUE(previous < d && d > previous && previous != d) << d.asText();
      const std::string text = d.asText();
      // Years -999 to 9999 fit the ten characters that fromText reads.
      if (c.year >= -999 && c.year <= 9999) {
        ASSERT_EQ(10u, text.size()) << text;
        ASSERT_EQ(d, Date::fromText(text)) << text;
      } else {
        ASSERT_EQ(11u, text.size()) << text;
        expectBadText(text);
      }
      previous = d;
    }
  }
}

TEST(Date, TextOfUnusualYears) {
  EXPECT_EQ("1999-12-31", Date(1999, 12, 31).asText());
  EXPECT_EQ("0001-02-03", Date(1, 2, 3).asText());
  EXPECT_EQ("-005-03-01", Date(-5, 3, 1).asText());
  EXPECT_EQ("-001-01-01", Date(-1, 1, 1).asText());
  EXPECT_EQ("-999-01-01", Date(-999, 1, 1).asText());
  EXPECT_EQ("-1000-01-01", Date(-1000, 1, 1).asText());
  EXPECT_EQ("9999-12-31", Date(9999, 12, 31).asText());
  EXPECT_EQ("12345-01-01", Date(12345, 1, 1).asText());
  EXPECT_EQ("2147483647-12-31", Date(INT_MAX, 12, 31).asText());
  EXPECT_EQ("-2147483648-01-01", Date(INT_MIN, 1, 1).asText());
  EXPECT_EQ(Date(-5, 3, 1), Date::fromText("-005-03-01"));
}

TEST(Date, FromTextAcceptsTheFormAndReadsFieldsLikeAtoi) {
  expectDate(Date::fromText("2024-02-29"), 2024, 2, 29);
  EXPECT_EQ(Date::Never, Date::fromText("0000-00-00"));
  EXPECT_EQ(Date::Forever, Date::fromText("0000-01-01"));
  // Inside a field a '-' counts only in front; whatever follows the digits
  // is ignored, and a field without digits reads 0.
  expectDate(Date::fromText("20-0-01-01"), 20, 1, 1);
  expectDate(Date::fromText("2020-1--05"), 2020, 1, 5);
  expectDate(Date::fromText("-0-0-01-01"), 0, 1, 1);
  expectDate(Date::fromText("-----01-01"), 0, 1, 1);
  expectDate(Date::fromText("0012-01-1-"), 12, 1, 1);
}

TEST(Date, FromTextRejectsEveryFaultyStep) {
  // Length.
  for (const char* text : {"", "2024-2-29", "2024-02-29 ", "2024-----29", " 2024-02-29", "12345-01-01"}) {
    expectBadText(text);
  }
  // Characters other than digits and '-', wherever they stand.
  for (const char* text : {"2024/02/29", "2024-02-2x", "+024-02-29", " 024-02-29", "2024-02-2 ", "2024-02-2\t",
                           "2024.02.29", "2024-0a-29"}) {
    expectBadText(text);
  }
  // A NUL byte is no digit either: nothing after it is silently dropped.
  expectBadText(std::string("2024-01-1\0", 10));
  expectBadText(std::string("2024-1\0-01", 10));
  expectBadText(std::string("2024-02-2") + '\xb9');
  // The separators must stand at positions 4 and 7.
  for (const char* text : {"20240-2-29", "2024-022-9", "2024002-29", "2024-02029", "-2024-02-2"}) {
    expectBadText(text);
  }
  // Well formed, but no date.
  for (const char* text : {"2023-02-29", "2024----29", "2024-13-01", "2024-00-10", "2024-04-31", "0000-01-00",
                           "0000-00-01", "2024--1-01", "1900-02-29", "-100-02-29"}) {
    expectBadText(text);
  }
  EXPECT_EQ(Date(-4, 2, 29), Date::fromText("-004-02-29"));
}

TEST(Date, OrderIsByFieldsWithSentinelsInPlace) {
  EXPECT_TRUE(Date::Never < Date::Forever);
  EXPECT_TRUE(Date::Forever < Date(1, 1, 1));
  EXPECT_TRUE(Date(-1, 12, 31) < Date::Never);
  EXPECT_TRUE(Date::Forever < Date(2024, 1, 1));
  EXPECT_FALSE(Date::Forever > Date(2024, 1, 1));

  const std::vector<Date> dates = {Date(INT_MIN, 1, 1), Date(-1, 12, 31), Date::Never,      Date::Forever,
                                   Date(0, 1, 2),       Date(0, 2, 1),     Date(1, 1, 1),    Date(2023, 12, 31),
                                   Date(2024, 1, 1),    Date(2024, 1, 31), Date(2024, 2, 1), Date(INT_MAX, 12, 31)};
  for (std::size_t i = 0; i < dates.size(); ++i) {
    for (std::size_t j = 0; j < dates.size(); ++j) {
      const Date& a = dates[i];
      const Date& b = dates[j];
      SCOPED_TRACE(a.asText() + " vs " + b.asText());
      EXPECT_EQ(i < j, a < b);
      EXPECT_EQ(i > j, a > b);
      EXPECT_EQ(i <= j, a <= b);
      EXPECT_EQ(i >= j, a >= b);
      EXPECT_EQ(i == j, a == b);
      EXPECT_EQ(i != j, a != b);
    }
  }
}

TEST(Date, CopyAndAssignment) {
  const Date original(2024, 2, 29);
  const Date copy(original);
  EXPECT_EQ(original, copy);

  Date target(1999, 1, 1);
  const Date& result = (target = original);
  EXPECT_EQ(&target, &result);
  EXPECT_EQ(original, target);

  Date self(2024, 3, 1);
  Date& alias = self;
  self = alias;
  EXPECT_EQ(Date(2024, 3, 1), self);

  target = Date::Never;
  EXPECT_EQ(Date::Never, Date(target));
}
