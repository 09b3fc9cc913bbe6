// SPDX-License-Identifier: MIT
// Date, Time and Timestamp against the reference calendar on random fields
// and texts; the exact texts callers see; clock readings; and what the value
// classes share: copies, assignment and the comparisons against a key.
#include "reference/calendar.h"

#include <brimsel/guid.h>
#include <brimsel/timestamp.h>
#include <brimsel/variant.h>
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
    const string dateOutcome = raised([&] { Date(d.year, d.month, d.day); });
    const string timeOutcome = raised([&] { Time(t.hour, t.minute, t.second); });
    ASSERT_EQ(dateOutcome, reference::validDate(d) ? "ok" : "1:Invalid date")
        << d.year << "-" << d.month << "-" << d.day;
    ASSERT_EQ(timeOutcome, reference::validTime(t) ? "ok" : "2:Invalid time")
        << t.hour << ":" << t.minute << ":" << t.second;
    ASSERT_EQ(raised([&] { Timestamp(d.year, d.month, d.day, t.hour, t.minute, t.second); }),
              dateOutcome != "ok" ? dateOutcome : timeOutcome);
  }
}

// What asText gives, and what a text with a zero byte reads as: it ends
// there, as a C string would, while the length rule counts the whole string.
TEST(Calendar, TextForms) {
  const Timestamp t(2024, 3, 1, 8, 15, 30.75);
  const std::pair<string, const char*> cases[] = {
      {Date(1, 2, 3).asText(), "0001-02-03"},
      {Date(-5, 3, 1).asText(), "-005-03-01"},
      {Date(-1000, 1, 1).asText(), "-1000-01-01"},
      {Date(12345, 1, 1).asText(), "12345-01-01"},
      {Date(INT_MIN, 1, 1).asText(), "-2147483648-01-01"},
      {Date::Never.asText(), "0000-00-00"},
      {Time(7, 5, 3.99).asText(), "07:05:03"},
      {Time(23, 59, std::nextafter(59.0, 0.0)).asText(), "23:59:58"},
      {t.asText(), "2024-03-01 08:15:30"},
      {static_cast<const Date&>(t).asText(), "2024-03-01"},
      {static_cast<const Time&>(t).asText(), "08:15:30"},
      {Timestamp().asText(), "0000-01-01 00:00:00"},
      {Timestamp(INT_MAX, 12, 31, 1, 2, 3.5).asText(), "2147483647-12-31 01:02:03"},
      {Variant(string("2024-02-2\0", 10)).toDate().asText(), "2024-02-02"},
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

// Texts near the three forms (a few characters replaced, dropped or
// doubled), read by the parsers and by the reference: the same fields or the
// same failure; what reads prints and reads back.
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
      switch (rng() % 3) {
        case 0:
          text[at] = alphabet[rng() % alphabet.size()];
          break;
        case 1:
          text.erase(at, 1);
          break;
        default:
          text.insert(at, 1, text[at]);
      }
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

// 1970, a 400-year leap day, past 32 bits, 2100 (no leap day), 3000, and
// what the runtime cannot convert.
TEST(Clock, BreaksDownKnownInstants) {
  const std::pair<std::int64_t, std::vector<int>> cases[] = {
      {0, {70, 0, 1, 0, 0, 0}},
      {951782400, {100, 1, 29, 0, 0, 0}},
      {2147483648LL, {138, 0, 19, 3, 14, 8}},
      {4107542399LL, {200, 1, 28, 23, 59, 59}},
      {32503680000LL, {1100, 0, 1, 0, 0, 0}},
      {std::numeric_limits<std::int64_t>::max(), {-1, -1, -1, -1, -1, -1}}};
  for (const auto& [seconds, expected] : cases) {
    const platform::ClockFields f = platform::breakDown(seconds, false);
    EXPECT_EQ(expected,
              std::vector<int>({f.tmYear, f.tmMonth, f.tmDay, f.tmHour, f.tmMinute, f.tmSecond}))
        << seconds;
  }
}

// Under a zone written alike for POSIX and the Microsoft runtime (west of
// Greenwich positive), each reading, whole or by parts, moved back by the
// offset, lies between two readings of the universal clock.
TEST(Clock, NowInUniversalTimeAndInTheLocalZoneTZNames) {
  const char* const old = std::getenv("TZ");
  const string saved = old != nullptr ? old : "";
#ifdef _WIN32
  _putenv_s("TZ", "BRM-05:30");
  _tzset();
#else
  setenv("TZ", "BRM-05:30", 1);
  tzset();
#endif
  for (int i = 0; i < 4; ++i) {
    const Zone which = i % 2 ? UTC : LOCAL;
    const std::int64_t before = platform::clockSeconds();
    const Timestamp t =
        i < 2 ? Timestamp::now(which) : Timestamp(Date::now(which), Time::now(which));
    const std::int64_t after = platform::clockSeconds();
    const std::int64_t seconds = reference::daysFromCivil(t.year(), t.month(), t.day()) * 86400 +
                                 t.hour() * 3600 + t.minute() * 60 +
                                 static_cast<std::int64_t>(t.second()) - (i % 2 ? 0 : 19800);
    EXPECT_TRUE(before <= seconds && seconds <= after && t.second() == std::floor(t.second()))
        << i << " " << t.asText();
  }
#ifdef _WIN32
  _putenv_s("TZ", saved.c_str());
  _tzset();
#else
  saved.empty() ? unsetenv("TZ") : setenv("TZ", saved.c_str(), 1);
  tzset();
#endif
}

// Random values with many ties, and a key whose order theirs must follow.
template <class T>
struct Values;

template <>
struct Values<Date> {
  static Date make(std::mt19937& rng) {
    const Date some[] = {Date::Never,       Date::Forever,    Date(INT_MIN, 12, 31),
                         Date(-1, 1, 1),    Date(0, 1, 2),    Date(0, 2, 1),
                         Date(2024, 2, 29), Date(2024, 3, 1), Date(INT_MAX, 1, 1)};
    return some[rng() % 9];
  }
  static auto key(const Date& d) { return std::make_tuple(d.year(), d.month(), d.day()); }
};

template <>
struct Values<Time> {
  static Time make(std::mt19937& rng) {
    const double seconds[] = {0.0, -0.0, 0.25, 0.5, 59.0};
    return Time(rng() % 3 * 11, rng() % 2 * 59, seconds[rng() % 5]);
  }
  static auto key(const Time& t) { return std::make_tuple(t.hour(), t.minute(), t.second()); }
};

template <>
struct Values<Timestamp> {
  static Timestamp make(std::mt19937& rng) {
    return Timestamp(Values<Date>::make(rng), Values<Time>::make(rng));
  }
  static auto key(const Timestamp& t) {
    return std::tuple_cat(Values<Date>::key(t), Values<Time>::key(t));
  }
};

template <>
struct Values<Version> {
  static Version make(std::mt19937& rng) {
    const int parts[] = {INT_MIN, -1, 0, 1, INT_MAX};
    return Version(parts[rng() % 5], parts[rng() % 5], parts[rng() % 5], parts[rng() % 5]);
  }
  static auto key(const Version& v) {
    return std::make_tuple(v.verMajor(), v.verMinor(), v.release(), v.build());
  }
};

// Identifiers compare as their fixed-width upper-case text does; digits with
// the high bit set catch a signed or byte-wise comparison of the numbers.
template <>
struct Values<Guid> {
  static Guid make(std::mt19937& rng) {
    string text;
    for (std::size_t n : {8, 4, 4, 4, 12}) {
      const string forms[] = {string(n, '0'), "8" + string(n - 1, '0'), "7" + string(n - 1, 'F'),
                              string(n - 2, '0') + "80"};
      text += (text.empty() ? "" : "-") + forms[rng() % 4];
    }
    return Guid::fromString(text);
  }
  static string key(const Guid& g) { return g.asString(); }
};

template <class T>
class ValueClass : public ::testing::Test {};
using Classes = ::testing::Types<Date, Time, Timestamp, Version, Guid>;
TYPED_TEST_SUITE(ValueClass, Classes);

TYPED_TEST(ValueClass, CopiesAssignmentAndComparisonsFollowTheKey) {
  using V = Values<TypeParam>;
  std::mt19937 rng(7);
  for (int round = 0; round < 3000; ++round) {
    const TypeParam a = V::make(rng), b = V::make(rng);
    const auto ka = V::key(a), kb = V::key(b);
    ASSERT_EQ(std::vector<bool>({a == b, a != b, a<b, a> b}),
              std::vector<bool>({ka == kb, ka != kb, ka<kb, ka> kb}))
        << ::testing::PrintToString(ka) << " vs " << ::testing::PrintToString(kb);
    if constexpr (!std::is_same<TypeParam, Guid>::value) {
      ASSERT_EQ(std::vector<bool>({a <= b, a >= b}), std::vector<bool>({ka <= kb, ka >= kb}));
    }
    TypeParam target(b);
    ASSERT_TRUE(V::key(target) == kb);
    ASSERT_EQ(&(target = a), &target);
    target = static_cast<const TypeParam&>(target);
    ASSERT_TRUE(V::key(target) == ka && V::key(TypeParam(target)) == ka);
  }
}

}  // namespace
