#include <brimsel/date.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "calendar_checks.h"

using Brimsel::Date;
using namespace calendar_test;

namespace {

// Copied before main runs: the sentinels must hold their values by then.
const Date gEarlyForever = Date::Forever;
const Date gEarlyNever(Date::Never);

bool constructs(int year, int month, int day) {
  try {
    Date d(year, month, day);
    return true;
  } catch (const Brimsel::Exception& e) {
    EXPECT_EQ(1, e.errorCode());
    EXPECT_EQ("Invalid date", e.legend());
    EXPECT_FALSE(e.isFatal());
    EXPECT_EQ(-1, e.line());
    return false;
  }
}

void expectBadText(const std::string& text) {
  SCOPED_TRACE("\"" + text + "\"");
  expectFailure([&] { Date::fromText(text); }, 1, "Invalid date");
}

}  // namespace

TEST(Date, SentinelsAndDefault) {
  EXPECT_EQ(Date(0, 1, 1), Date::Forever);
  EXPECT_EQ("0000-01-01", Date().asText());
  EXPECT_EQ("0000-00-00", Date::Never.asText());
  EXPECT_EQ(Date::Forever, gEarlyForever);
  EXPECT_EQ(Date::Never, gEarlyNever);
  EXPECT_EQ(0, Date::Never.year() + Date::Never.month() + Date::Never.day());
  EXPECT_TRUE(Date().isForever());
  EXPECT_FALSE(Date::Never.isForever());
  EXPECT_FALSE(Date(1, 1, 1).isForever());
}

TEST(Date, ValidityBoundaries) {
  // Only the sentinels may have zero fields.
  EXPECT_TRUE(constructs(0, 0, 0));
  for (auto f : {Civil{0, 1, 0}, Civil{0, 0, 1}, Civil{0, 2, 0}, Civil{1, 0, 0}, Civil{-1, 0, 0}, Civil{2023, 13, 1},
                 Civil{2023, -1, 1}, Civil{2023, INT_MIN, 1}, Civil{2023, 1, INT_MAX}, Civil{2023, 1, -1}}) {
    EXPECT_FALSE(constructs(f.year, f.month, f.day)) << f.year << "-" << f.month << "-" << f.day;
  }
  // Leap years by signed remainders: INT_MIN leaves -48 by 400 and 0 by 4.
  for (int year : {2000, 2024, 0, -4, -400, 1600, INT_MIN}) {
    EXPECT_TRUE(constructs(year, 2, 29)) << year;
    EXPECT_FALSE(constructs(year, 2, 30)) << year;
  }
  for (int year : {1900, 2023, 2100, -100, -1, INT_MAX}) EXPECT_FALSE(constructs(year, 2, 29)) << year;
  const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int month = 1; month <= 12; ++month) {
    EXPECT_TRUE(constructs(-1, month, lengths[month - 1])) << month;
    EXPECT_FALSE(constructs(INT_MAX, month, lengths[month - 1] + 1)) << month;
  }
}

// Every (month, day) of three 400-year cycles, one negative, one with
// five-digit years, against an independent day count: exactly the days it
// produces are valid, they ascend, and their text reads back where it fits.
TEST(Date, EveryDayOfSeveral400YearCycles) {
  for (int firstYear : {-800, 1600, 9600}) {
    SCOPED_TRACE(firstYear);
    int accepted = 0;
    for (int year = firstYear; year < firstYear + 400; ++year) {
      for (int month = 1; month <= 12; ++month) {
        for (int day = 1; day <= 31; ++day) {
          const bool exists = civilFromDays(daysFromCivil(year, month, day)).day == day;
          ASSERT_EQ(exists, constructs(year, month, day)) << year << "-" << month << "-" << day;
          accepted += exists;
        }
      }
    }
    EXPECT_EQ(146097, accepted);

    Date previous(firstYear - 1, 12, 31);
    for (std::int64_t z = daysFromCivil(firstYear, 1, 1); z < daysFromCivil(firstYear + 400, 1, 1); ++z) {
      const Civil c = civilFromDays(z);
      const Date d(c.year, c.month, c.day);
      ASSERT_TRUE(previous < d) << d.asText();
      if (c.year <= 9999) {
        ASSERT_EQ(d, Date::fromText(d.asText())) << d.asText();
      } else {
        ASSERT_EQ(11u, d.asText().size());
      }
      previous = d;
    }
  }
}

TEST(Date, TextOfUnusualYears) {
  const std::pair<Date, const char*> cases[] = {
      {Date(1999, 12, 31), "1999-12-31"},  {Date(1, 2, 3), "0001-02-03"},
      {Date(-5, 3, 1), "-005-03-01"},      {Date(-999, 1, 1), "-999-01-01"},
      {Date(-1000, 1, 1), "-1000-01-01"},  {Date(12345, 1, 1), "12345-01-01"},
      {Date(INT_MAX, 12, 31), "2147483647-12-31"}, {Date(INT_MIN, 1, 1), "-2147483648-01-01"}};
  for (const auto& [date, text] : cases) EXPECT_EQ(text, date.asText());
  EXPECT_EQ(Date(-5, 3, 1), Date::fromText("-005-03-01"));
  expectBadText("12345-01-01");
}

TEST(Date, FromTextReadsFieldsLikeAtoi) {
  const std::pair<const char*, Date> cases[] = {
      {"2024-02-29", Date(2024, 2, 29)}, {"0000-00-00", Date::Never},     {"0000-01-01", Date::Forever},
      {"-004-02-29", Date(-4, 2, 29)},   {"20-0-01-01", Date(20, 1, 1)},  {"2020-1--05", Date(2020, 1, 5)},
      {"-0-0-01-01", Date::Forever},     {"-----01-01", Date::Forever},   {"0012-01-1-", Date(12, 1, 1)}};
  for (const auto& [text, date] : cases) EXPECT_EQ(date, Date::fromText(text)) << text;
}

TEST(Date, FromTextRejectsEveryFaultyStep) {
  for (const std::string& text : std::initializer_list<std::string>{
           // length
           "", "2024-2-29", "2024-02-29 ", "2024-----29", " 2024-02-29",
           // characters other than digits and '-'
           "2024/02/29", "2024-02-2x", "+024-02-29", " 024-02-29", "2024-02-2\t", "2024.02.29", "2024-02-2\xb9",
           // a NUL is no digit either: nothing after it is silently dropped
           std::string("2024-01-1\0", 10), std::string("2024-1\0-01", 10),
           // '-' not at positions 4 and 7
           "20240-2-29", "2024-022-9", "2024002-29", "-2024-02-2",
           // well formed, no date
           "2023-02-29", "2024----29", "2024-13-01", "2024-00-10", "2024-04-31", "0000-01-00", "0000-00-01",
           "2024--1-01", "1900-02-29", "-100-02-29"}) {
    expectBadText(text);
  }
}

TEST(Date, OrderIsByFieldsWithSentinelsInPlace) {
  expectStrictOrder<Date>({Date(INT_MIN, 1, 1), Date(-1, 12, 31), Date::Never, Date::Forever, Date(0, 1, 2),
                           Date(0, 2, 1), Date(1, 1, 1), Date(2023, 12, 31), Date(2024, 1, 1), Date(2024, 1, 31),
                           Date(2024, 2, 1), Date(INT_MAX, 12, 31)});
}

TEST(Date, CopyAndAssignment) {
  expectCopyAndAssignment(Date(2024, 2, 29), Date::Never);
  expectCopyAndAssignment(Date::Never, Date::Forever);
}
