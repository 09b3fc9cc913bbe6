// SPDX-License-Identifier: MIT
// Date, Time and Timestamp against the reference calendar on random fields
// and texts; the exact texts callers see; clock readings; and what the value
// classes share: copies, assignment and the comparisons against a key.
#include "reference/calendar.h"

#include <brimsel/guid.h>
#include <brimsel/timestamp.h>
#include <brimsel/version.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <tuple>

#include "platform/clock.h"
#include "support.h"

using namespace Brimsel;
using std::string;
using support::raised;

namespace {

// Copied before main runs: the sentinels hold their values by then.
const Date gEarlyNever(Date::Never);
const Timestamp gEarlyForever(Timestamp::Forever);

// A field near the boundaries that matter, or anywhere.
int field(std::mt19937& rng, std::initializer_list<int> near) {
  if (rng() % 8 == 0) return static_cast<int>(rng());
  return near.begin()[rng() % near.size()] + (static_cast<int>(rng() % 5) - 2);
}

// The constructors accept what the reference calls valid; a Timestamp is a
// Date and a Time, each checked.
TEST(Calendar, SentinelsAndTheConstructorsChecks) {
  EXPECT_TRUE(Date() == Date::Forever && Date(0, 1, 1).isForever() && gEarlyNever == Date(0, 0, 0));
  EXPECT_TRUE(Timestamp() == gEarlyForever && gEarlyForever.isForever() &&
              !Timestamp::Never.isForever());
  EXPECT_FALSE(Timestamp(0, 1, 1, 0, 0, 0.5).isForever() || Date::Never.isForever());
  std::mt19937 rng(3);
  for (int round = 0; round < 200000; ++round) {
    const reference::DateFields d{
        field(rng, {0, 4, -4, 100, -100, 400, -400, 1900, 2000, 2023, INT_MIN + 2, INT_MAX - 2}),
        field(rng, {0, 2, 2, 4, 12}), field(rng, {0, 29, 30, 31})};
    const reference::TimeFields t{
        field(rng, {0, 23}), field(rng, {0, 59}),
        round % 9 == 0 ? std::nan("") : field(rng, {0, 59}) + (rng() % 3) * 0.25};
    ASSERT_EQ(raised([&] { Date(d.year, d.month, d.day); }),
              reference::validDate(d) ? "ok" : "1:Invalid date")
        << d.year << "-" << d.month << "-" << d.day;
    ASSERT_EQ(raised([&] { Time(t.hour, t.minute, t.second); }),
              reference::validTime(t) ? "ok" : "2:Invalid time")
        << t.hour << ":" << t.minute << ":" << t.second;
  }
}

// What asText gives beyond the four-digit years the round trip below sees,
// and what a text with a zero byte reads as: it ends there, as a C string
// would, while the length rule counts the whole string.
TEST(Calendar, TextForms) {
  const Timestamp t(2024, 3, 1, 8, 15, 30.75);
  const std::pair<string, const char*> cases[] = {
      {Date(-5, 3, 1).asText(), "-005-03-01"},
      {Date(-1000, 1, 1).asText(), "-1000-01-01"},
      {Date(12345, 1, 1).asText(), "12345-01-01"},
      {Date(INT_MIN, 1, 1).asText(), "-2147483648-01-01"},
      {Date::Never.asText(), "0000-00-00"},
      {Time(23, 59, std::nextafter(59.0, 0.0)).asText(), "23:59:58"},
      {static_cast<const Date&>(t).asText() + static_cast<const Time&>(t).asText(),
       "2024-03-0108:15:30"},
      {Timestamp(INT_MAX, 12, 31, 1, 2, 3.5).asText(), "2147483647-12-31 01:02:03"},
      {Date::fromText(string("2024-02-2\0", 10)).asText(), "2024-02-02"},
      {Time::fromText(string("08:15:3\0z:", 10)).asText(), "08:15:03"},
      {Timestamp::fromText(string("2024-03-01 08:15:30\0junk", 24)).asText(),
       "2024-03-01 08:15:30"},
      {raised([] { Date::fromText(string("2024-02-02\0", 11)); }), "1:Invalid date"},
      {raised([] { Date::fromText(string("2024-0\0-02", 10)); }), "1:Invalid date"},
      {raised([] { Time::fromText(string("08:1\0:30", 8)); }), "2:Invalid time"},
      {raised([] { Timestamp::fromText(string("2024-03-01\0 08:15:30", 20)); }),
       "3:Invalid timestamp"}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(text, expected);
}

// Texts near the three forms (a character replaced, dropped or doubled, up
// to three times), read by the parsers and by the reference: the same fields
// or the same failure; what reads prints and reads back.
TEST(Calendar, ParsersAgreeWithTheReferenceOnRandomTexts) {
  std::mt19937 rng(4);
  const char* const seeds[] = {"2024-02-29 08:15:30.125", "-004-02-29T23:59:59",
                               "0000-00-00Z00:00:59.0000", "1900-02-28 1.:2.:3.",
                               "2020-1--05 12:30:45"};
  const char* const outcomes[] = {"ok", "1:Invalid date", "2:Invalid time", "3:Invalid timestamp"};
  const string alphabet("0123456789-:. TZ+x\0", 19);  // a zero byte ends a text
  int accepted = 0;
  for (int round = 0; round < 100000; ++round) {
    string text = seeds[round % 5];
    for (unsigned n = rng() % 4; n > 0; --n) {
      const std::size_t at = rng() % text.size();
      const string with[] = {string(1, alphabet[rng() % alphabet.size()]), "", string(2, text[at])};
      text.replace(at, 1, with[rng() % 3]);
    }
    reference::DateFields d{};
    reference::TimeFields t{};
    const int code = reference::readTimestamp(text, d, t);
    string got;
    ASSERT_EQ(raised([&] { got = Timestamp::fromText(text).asText(); }), outcomes[code])
        << '"' << text << '"';
    const string dateText = text.substr(0, 10),
                 timeText = text.substr(std::min<std::size_t>(text.size(), 11));
    const bool dateReads = reference::readDate(dateText, d) && reference::validDate(d);
    const bool timeReads = reference::readTime(timeText, t) && reference::validTime(t);
    ASSERT_EQ(raised([&] { ASSERT_EQ(Date::fromText(dateText), Date(d.year, d.month, d.day)); }),
              dateReads ? "ok" : "1:Invalid date")
        << '"' << dateText << '"';
    ASSERT_EQ(
        raised([&] { ASSERT_EQ(Time::fromText(timeText), Time(t.hour, t.minute, t.second)); }),
        timeReads ? "ok" : "2:Invalid time")
        << '"' << timeText << '"';
    if (code == 0) {
      ++accepted;
      ASSERT_EQ(Timestamp::fromText(got),
                Timestamp(d.year, d.month, d.day, t.hour, t.minute, std::floor(t.second)))
          << got;
    }
  }
  EXPECT_GT(accepted, 10000);
}

// Seconds since 1970 by the reference's day count.
std::int64_t secondsOf(const Timestamp& t) {
  return reference::daysFromCivil(t.year(), t.month(), t.day()) * 86400 + t.hour() * 3600 +
         t.minute() * 60 + static_cast<std::int64_t>(t.second());
}

// The zone TZ names, "" for none, as the C runtime reads it.
void setZone(const string& zone) {
#ifdef _WIN32
  _putenv_s("TZ", zone.c_str());
  _tzset();
#else
  zone.empty() ? unsetenv("TZ") : setenv("TZ", zone.c_str(), 1);
  tzset();
#endif
}

// Under a zone written alike for POSIX and the Microsoft runtime (west of
// Greenwich positive), each reading, whole or by parts, moved back by the
// offset, lies between two readings of the universal clock. An instant the
// runtime cannot break down gives -1 in every field, which no calendar
// class accepts.
TEST(Clock, NowInUniversalTimeAndInTheLocalZoneTZNames) {
  const char* const old = std::getenv("TZ");
  const string saved = old != nullptr ? old : "";
  setZone("BRM-05:30");
  for (int i = 0; i < 4; ++i) {
    const Zone which = i % 2 ? UTC : LOCAL;
    const std::int64_t before = platform::clockSeconds();
    const Timestamp t =
        i < 2 ? Timestamp::now(which) : Timestamp(Date::now(which), Time::now(which));
    const std::int64_t after = platform::clockSeconds();
    const std::int64_t seconds = secondsOf(t) - (i % 2 ? 0 : 19800);
    EXPECT_TRUE(before <= seconds && seconds <= after && t.second() == std::floor(t.second()))
        << i << " " << t.asText();
  }
  setZone(saved);
  const platform::ClockFields f =
      platform::breakDown(std::numeric_limits<std::int64_t>::max(), false);
  EXPECT_EQ(std::vector<int>({f.tmYear, f.tmMonth, f.tmDay, f.tmHour, f.tmMinute, f.tmSecond}),
            std::vector<int>(6, -1));
}

// Every pair of `values` (with many ties) compares as their keys do; copies
// and assignment (to another value and to itself) keep the key.
template <class T, class Key>
void followsTheKey(const std::vector<T>& values, Key key) {
  for (const T& a : values) {
    for (const T& b : values) {
      const auto ka = key(a), kb = key(b);
      ASSERT_EQ(std::vector<bool>({a == b, a != b, a<b, a> b}),
                std::vector<bool>({ka == kb, ka != kb, ka<kb, ka> kb}))
          << ::testing::PrintToString(ka) << " vs " << ::testing::PrintToString(kb);
      if constexpr (!std::is_same<T, Guid>::value) {
        ASSERT_EQ(std::vector<bool>({a <= b, a >= b}), std::vector<bool>({ka <= kb, ka >= kb}));
      }
      T target(b);
      ASSERT_TRUE(key(target) == kb);
      ASSERT_EQ(&(target = a), &target);
      target = static_cast<const T&>(target);
      ASSERT_TRUE(key(target) == ka && key(T(target)) == ka);
    }
  }
}

// Identifiers compare as their fixed-width upper-case text does; digits with
// the high bit set catch a signed or byte-wise comparison of the numbers.
TEST(ValueClasses, CopiesAssignmentAndComparisonsFollowTheKey) {
  const std::vector<Date> dates = {Date::Never,       Date::Forever,    Date(INT_MIN, 12, 31),
                                   Date(-1, 1, 1),    Date(0, 1, 2),    Date(0, 2, 1),
                                   Date(2024, 2, 29), Date(2024, 3, 1), Date(INT_MAX, 1, 1)};
  const std::vector<Time> times = {Time(0, 0, 0.0),  Time(0, 0, -0.0),  Time(0, 0, 0.25),
                                   Time(0, 59, 0.5), Time(11, 0, 59.0), Time(22, 59, 0.25)};
  auto dateKey = [](const Date& d) { return std::make_tuple(d.year(), d.month(), d.day()); };
  auto timeKey = [](const Time& t) { return std::make_tuple(t.hour(), t.minute(), t.second()); };
  std::vector<Timestamp> stamps;
  std::vector<Version> versions;
  std::vector<Guid> guids;
  std::mt19937 rng(7);
  for (int i = 0; i < 81; ++i) {
    stamps.emplace_back(dates[i % 9], times[i % 6]);
    const int parts[] = {INT_MIN, 0, INT_MAX};
    versions.emplace_back(parts[i % 3], parts[i / 3 % 3], parts[i / 9 % 3], parts[i / 27]);
    string text;
    for (std::size_t n : {8, 4, 4, 4, 12}) {
      const string forms[] = {string(n, '0'), "8" + string(n - 1, '0'), "7" + string(n - 1, 'F'),
                              string(n - 2, '0') + "80"};
      text += (text.empty() ? "" : "-") + forms[rng() % 4];
    }
    guids.push_back(Guid::fromString(text));
  }
  followsTheKey(dates, dateKey);
  followsTheKey(times, timeKey);
  followsTheKey(stamps, [&](const Timestamp& t) { return std::tuple_cat(dateKey(t), timeKey(t)); });
  followsTheKey(versions, [](const Version& v) {
    return std::make_tuple(v.verMajor(), v.verMinor(), v.release(), v.build());
  });
  followsTheKey(guids, [](const Guid& g) { return g.asString(); });
}

}  // namespace
