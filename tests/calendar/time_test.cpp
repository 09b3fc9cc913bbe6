#include <brimsel/time.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "calendar_checks.h"

using Brimsel::Time;
using namespace calendar_test;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kTiny = std::numeric_limits<double>::denorm_min();

void expectBadText(const std::string& text) {
  SCOPED_TRACE("\"" + text + "\"");
  expectFailure([&] { Time::fromText(text); }, 2, "Invalid time");
}

}  // namespace

TEST(Time, ValidityBoundaries) {
  EXPECT_EQ(Time(0, 0, 0.0), Time());
  for (double second : {0.0, -0.0, kTiny, 58.75, 59.0}) EXPECT_NO_THROW(Time(23, 59, second)) << second;
  for (double second : {59.5, std::nextafter(59.0, 60.0), 60.0, -0.5, -kTiny, kNaN, -kNaN, kInf, -kInf}) {
    SCOPED_TRACE(second);
    expectFailure([&] { Time(0, 0, second); }, 2, "Invalid time");
  }
  for (auto [hour, minute] : {std::pair{24, 0}, {-1, 0}, {0, 60}, {0, -1}, {INT_MIN, 0}, {0, INT_MAX}}) {
    SCOPED_TRACE(testing::Message() << hour << ":" << minute);
    expectFailure([&] { Time(hour, minute, 0.0); }, 2, "Invalid time");
  }
}

TEST(Time, TextDropsTheFraction) {
  EXPECT_EQ("00:00:00", Time().asText());
  EXPECT_EQ("07:05:03", Time(7, 5, 3.99).asText());
  EXPECT_EQ("23:59:59", Time(23, 59, 59.0).asText());
  EXPECT_EQ("23:59:58", Time(23, 59, std::nextafter(59.0, 0.0)).asText());
  EXPECT_EQ("00:00:00", Time(0, 0, -0.0).asText());
}

TEST(Time, FromTextReadsFieldsLikeAtoiAndStrtod) {
  const std::pair<const char*, Time> cases[] = {
      {"08:15:30", Time(8, 15, 30.0)},      {"08:15:30.125", Time(8, 15, 30.125)}, {"08:15:3.", Time(8, 15, 3.0)},
      {"08:15:1.2.3", Time(8, 15, 1.2)},    {"08:15:.5", Time(8, 15, 0.5)},        {"08:15:..", Time(8, 15, 0.0)},
      {"08:15:::", Time(8, 15, 0.0)},       {"08:15:30:12", Time(8, 15, 30.0)},    {"1.:2.:30", Time(1, 2, 30.0)},
      {"..:..:59.0000", Time(0, 0, 59.0)},  {"00:00:000000001", Time(0, 0, 1.0)},  {"00:00:0.0000001", Time(0, 0, 1e-7)}};
  for (const auto& [text, time] : cases) {
    const Time t = Time::fromText(text);
    EXPECT_EQ(time, t) << text;
    EXPECT_EQ(time.second(), t.second()) << text;
  }
  EXPECT_EQ("08:15:30", Time::fromText("08:15:30.999").asText());
}

// The second must be exactly what the C library's strtod reads.
TEST(Time, SecondMatchesStrtodExactly) {
  std::mt19937 random(20240301u);
  const char alphabet[] = "0123456789.";
  for (int i = 0; i < 20000; ++i) {
    std::string field(1, alphabet[random() % 6u]);
    for (unsigned k = 1 + random() % 8u; k > 0; --k) field += alphabet[random() % 11u];
    const double expected = std::strtod(field.c_str(), nullptr);
    if (expected <= 59.0) {
      ASSERT_EQ(expected, Time::fromText("00:00:" + field).second()) << field;
    }
  }
}

TEST(Time, FromTextRejectsEveryFaultyStep) {
  for (const std::string& text : std::initializer_list<std::string>{
           // length 8 to 15
           "", "08:15", "08:15:3", "08:15:30.1234567",
           // digits, ':' and '.' only
           "12:30:45 ", " 12:30:45", "08-15-30", "-1:00:00", "+1:00:00", "12:30:4e1", "12:30:45,5", "12:30:45.5Z",
           std::string("12:30:45\0", 9), std::string("12:30:4\0", 8),
           // ':' at positions 2 and 5
           "8:15:30.0", "08.15.30", "0815:30:0", "08:1530:0",
           // well formed, no time of day
           "24:00:00", "08:15:59.5", "08:60:00", "00:00:60", "00:00:59.000001", "00:00:99999999."}) {
    expectBadText(text);
  }
}

TEST(Time, OrderAndEqualityUseTheExactSecond) {
  EXPECT_EQ(Time(12, 0, 0.25).asText(), Time(12, 0, 0.5).asText());
  EXPECT_EQ(Time(0, 0, 0.0), Time(0, 0, -0.0));
  expectStrictOrder<Time>({Time(0, 0, 0.0), Time(0, 0, 0.5), Time(0, 0, 59.0), Time(0, 1, 0.0), Time(0, 59, 59.0),
                           Time(1, 0, 0.0), Time(12, 0, 0.25), Time(12, 0, 0.5), Time(23, 59, 58.5),
                           Time(23, 59, 59.0)});
}

TEST(Time, EveryWholeSecondOfTheDayReadsBack) {
  for (int s = 0; s < 24 * 3600; ++s) {
    const Time t(s / 3600, s / 60 % 60, s % 60);
    ASSERT_EQ(t, Time::fromText(t.asText())) << t.asText();
    // With a fraction it reads back as the whole second below.
    ASSERT_EQ(t, Time::fromText(Time(t.hour(), t.minute(), t.second() + (s % 60 < 59 ? 0.75 : 0.0)).asText()));
  }
}

TEST(Time, CopyAndAssignment) { expectCopyAndAssignment(Time(8, 15, 30.125), Time(8, 15, 30.0)); }
