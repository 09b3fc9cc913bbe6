#include <brimsel/time.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "calendar_checks.h"

using Brimsel::Time;
using calendar_test::expectFailure;

namespace {

void expectInvalidTime(int hour, int minute, double second) {
  SCOPED_TRACE(testing::Message() << hour << ":" << minute << ":" << second);
  expectFailure([&] { Time t(hour, minute, second); }, 2, "Invalid time");
}

void expectBadText(const std::string& text) {
  SCOPED_TRACE("\"" + text + "\"");
  expectFailure([&] { Time::fromText(text); }, 2, "Invalid time");
}

void expectTime(const Time& t, int hour, int minute, double second) {
  EXPECT_EQ(hour, t.hour());
  EXPECT_EQ(minute, t.minute());
  EXPECT_EQ(second, t.second());
}

}  // namespace

TEST(Time, DefaultIsMidnight) {
  const Time t;
  expectTime(t, 0, 0, 0.0);
  EXPECT_EQ("00:00:00", t.asText());
  EXPECT_TRUE(t.isValid());
  EXPECT_EQ(2, Time::nINVALID_TIME);
}

TEST(Time, ValidityBoundaries) {
  EXPECT_NO_THROW(Time(23, 59, 59.0));
  EXPECT_NO_THROW(Time(0, 0, 0.0));
  EXPECT_NO_THROW(Time(12, 30, 58.75));
  EXPECT_NO_THROW(Time(0, 0, -0.0));
  EXPECT_NO_THROW(Time(0, 0, std::numeric_limits<double>::denorm_min()));
  expectInvalidTime(23, 59, 59.5);
  expectInvalidTime(23, 59, std::nextafter(59.0, 60.0));
  expectInvalidTime(0, 0, 60.0);
  expectInvalidTime(24, 0, 0.0);
  expectInvalidTime(0, 60, 0.0);
  expectInvalidTime(-1, 0, 0.0);
  expectInvalidTime(0, -1, 0.0);
  expectInvalidTime(0, 0, -0.5);
  expectInvalidTime(0, 0, -std::numeric_limits<double>::denorm_min());
  expectInvalidTime(0, 0, std::numeric_limits<double>::quiet_NaN());
  expectInvalidTime(0, 0, -std::numeric_limits<double>::quiet_NaN());
  expectInvalidTime(0, 0, std::numeric_limits<double>::infinity());
  expectInvalidTime(0, 0, -std::numeric_limits<double>::infinity());
  expectInvalidTime(INT_MIN, 0, 0.0);
  expectInvalidTime(0, INT_MAX, 0.0);
}

TEST(Time, TextDropsTheFraction) {
  EXPECT_EQ("07:05:03", Time(7, 5, 3.99).asText());
  EXPECT_EQ("23:59:59", Time(23, 59, 59.0).asText());
  EXPECT_EQ("23:59:58", Time(23, 59, std::nextafter(59.0, 0.0)).asText());
  EXPECT_EQ("12:00:00", Time(12, 0, 0.25).asText());
  EXPECT_EQ("00:00:00", Time(0, 0, -0.0).asText());
}

TEST(Time, FromTextReadsFieldsLikeAtoiAndStrtod) {
  expectTime(Time::fromText("08:15:30"), 8, 15, 30.0);
  expectTime(Time::fromText("08:15:30.125"), 8, 15, 30.125);
  expectTime(Time::fromText("12:30:45.5"), 12, 30, 45.5);
  expectTime(Time::fromText("08:15:3."), 8, 15, 3.0);
  expectTime(Time::fromText("08:15:1.2.3"), 8, 15, 1.2);
  expectTime(Time::fromText("08:15:.5"), 8, 15, 0.5);
  expectTime(Time::fromText("08:15:.."), 8, 15, 0.0);
  expectTime(Time::fromText("08:15:::"), 8, 15, 0.0);
  expectTime(Time::fromText("08:15:30:12"), 8, 15, 30.0);
  expectTime(Time::fromText("1.:2.:30"), 1, 2, 30.0);
  expectTime(Time::fromText("..:..:59.0000"), 0, 0, 59.0);
  expectTime(Time::fromText("23:59:059.0000"), 23, 59, 59.0);
  expectTime(Time::fromText("00:00:000000001"), 0, 0, 1.0);
  expectTime(Time::fromText("00:00:0.0000001"), 0, 0, 1e-7);
  EXPECT_EQ("08:15:30", Time::fromText("08:15:30.999").asText());
}

// The second must come out exactly as the C library's strtod gives it, for
// every kind of digit string the parser lets through.
TEST(Time, SecondMatchesStrtodExactly) {
  std::mt19937 random(20240301u);
  const char alphabet[] = "0123456789.";
  for (int i = 0; i < 20000; ++i) {
    const int length = 2 + static_cast<int>(random() % 8u);
    std::string field;
    for (int k = 0; k < length; ++k) {
      field += alphabet[random() % (k == 0 ? 6u : 11u)];  // start below 60
    }
    const double expected = std::strtod(field.c_str(), nullptr);
    if (!(expected <= 59.0)) continue;
    const Time t = Time::fromText("00:00:" + field);
    ASSERT_EQ(expected, t.second()) << field;
  }
}

TEST(Time, FromTextRejectsEveryFaultyStep) {
  // Length 8 to 15.
  for (const char* text : {"", "08:15", "08:15:3", "08:15:30.1234567", "08:15:30.12345678"}) expectBadText(text);
  // Digits, ':' and '.' only: no sign, no blank.
  for (const char* text : {"12:30:45 ", " 12:30:45", "08-15-30", "-1:00:00", "+1:00:00", "12:30:4e1", "12:30:4x",
                           "12:30:45,5", "12:30:45.5Z"}) {
    expectBadText(text);
  }
  expectBadText(std::string("12:30:45\0", 9));
  expectBadText(std::string("12:30:4\0", 8));
  // The colons at positions 2 and 5.
  for (const char* text : {"8:15:30.0", "08.15.30", "0815:30:0", "08:1530:0", "08:15.30:"}) expectBadText(text);
  // Well formed, but no time of day.
  for (const char* text : {"24:00:00", "08:15:59.5", "08:60:00", "99:00:00", "00:00:60", "00:00:59.000001",
                           "00:00:99999999."}) {
    expectBadText(text);
  }
}

TEST(Time, OrderAndEqualityUseTheExactSecond) {
  const Time a(12, 0, 0.25);
  const Time b(12, 0, 0.5);
  EXPECT_TRUE(a < b);
  EXPECT_TRUE(a != b);
  EXPECT_EQ(a.asText(), b.asText());
  EXPECT_TRUE(Time(0, 0, 0.0) == Time(0, 0, -0.0));

  const std::vector<Time> times = {Time(0, 0, 0.0),  Time(0, 0, 0.5),   Time(0, 0, 59.0),  Time(0, 1, 0.0),
                                   Time(0, 59, 59.0), Time(1, 0, 0.0),  Time(12, 0, 0.25), Time(12, 0, 0.5),
                                   Time(23, 0, 0.0),  Time(23, 59, 58.5), Time(23, 59, 59.0)};
  for (std::size_t i = 0; i < times.size(); ++i) {
    for (std::size_t j = 0; j < times.size(); ++j) {
      const Time& x = times[i];
      const Time& y = times[j];
      SCOPED_TRACE(testing::Message() << i << " vs " << j);
      EXPECT_EQ(i < j, x < y);
      EXPECT_EQ(i > j, x > y);
      EXPECT_EQ(i <= j, x <= y);
      EXPECT_EQ(i >= j, x >= y);
      EXPECT_EQ(i == j, x == y);
      EXPECT_EQ(i != j, x != y);
    }
  }
}

TEST(Time, EveryWholeSecondOfTheDayReadsBack) {
  Time previous(0, 0, 0.0);
  for (int s = 0; s < 24 * 3600; ++s) {
    const Time t(s / 3600, s / 60 % 60, s % 60);
    const std::string text = t.asText();
    ASSERT_EQ(8u, text.size());
    ASSERT_EQ(t, Time::fromText(text)) << text;
    if (s > 0) {
      ASSERT_TRUE(previous < t) << text;
    }
    // A fraction prints and reads back as the whole second below it.
    const Time fractional(t.hour(), t.minute(), t.second() + (t.second() < 59.0 ? 0.75 : 0.0));
    ASSERT_EQ(t, Time::fromText(fractional.asText()));
    previous = t;
  }
}

TEST(Time, CopyAndAssignment) {
  const Time original(8, 15, 30.125);
  EXPECT_EQ(original, Time(original));

  Time target;
  const Time& result = (target = original);
  EXPECT_EQ(&target, &result);
  EXPECT_EQ(original, target);

  Time self(23, 59, 59.0);
  Time& alias = self;
  self = alias;
  expectTime(self, 23, 59, 59.0);
}
