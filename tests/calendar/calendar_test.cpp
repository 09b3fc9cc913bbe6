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
#include <cstdio>
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

// On random fields, the constructors accept what the reference calls valid
// (a Timestamp is a Date and a Time, each checked), and what they accept
// prints as "%04i-%02i-%02i %02i:%02i:%02i" of the whole second would, wide
// and negative years among them. On texts near the three forms (a character
// replaced, dropped or doubled, up to three times), the parsers and the
// reference read the same fields or fail alike; what reads prints and reads
// back. A zero byte ends a text, as in a C string, while the length rule
// counts the whole string.
TEST(Calendar, SentinelsAndRandomFieldsAndTextsAsTheReferenceHasThem) {
  EXPECT_TRUE(Date() == Date::Forever && Date(0, 1, 1).isForever() && gEarlyNever == Date(0, 0, 0));
  EXPECT_TRUE(Timestamp() == gEarlyForever && gEarlyForever.isForever() &&
              !Timestamp::Never.isForever());
  EXPECT_FALSE(Timestamp(0, 1, 1, 0, 0, 0.5).isForever() || Date::Never.isForever());
  EXPECT_EQ(Date::fromText(string("2024-02-2\0", 10)).asText(), "2024-02-02");
  const char* const seeds[] = {"2024-02-29 08:15:30.125", "-004-02-29T23:59:59",
                               "0000-00-00Z00:00:59.0000", "1900-02-28 1.:2.:3.",
                               "2020-1--05 12:30:45"};
  const char* const outcomes[] = {"ok", "1:Invalid date", "2:Invalid time", "3:Invalid timestamp"};
  const string alphabet("0123456789-:. TZ+x\0", 19);
  int accepted = 0;
  std::mt19937 rng(3);
  for (int round = 0; round < 200000; ++round) {
    reference::DateFields d{
        field(rng, {0, 4, -4, 100, -100, 400, -400, -1000, 2000, 10000, INT_MIN + 2, INT_MAX - 2}),
        field(rng, {0, 2, 2, 4, 12}), field(rng, {0, 29, 30, 31})};
    reference::TimeFields t{
        field(rng, {0, 23}), field(rng, {0, 59}),
        round % 9 == 0 ? std::nan("") : field(rng, {0, 59}) + (rng() % 3) * 0.25};
    ASSERT_EQ(raised([&] { Date(d.year, d.month, d.day); }), outcomes[!reference::validDate(d)])
        << d.year << "-" << d.month << "-" << d.day;
    ASSERT_EQ(raised([&] { Time(t.hour, t.minute, t.second); }),
              outcomes[2 * !reference::validTime(t)])
        << t.hour << ":" << t.minute << ":" << t.second;
    if (reference::validDate(d) && reference::validTime(t)) {
      char printed[64];
      std::snprintf(printed, sizeof printed, "%04i-%02i-%02i %02i:%02i:%02i", d.year, d.month,
                    d.day, t.hour, t.minute, static_cast<int>(t.second));
      const Timestamp stamp(d.year, d.month, d.day, t.hour, t.minute, t.second);
      ASSERT_EQ(stamp.asText(), printed);
      ASSERT_EQ(Date(stamp).asText() + " " + Time(stamp).asText(), printed);
    }
    string text = seeds[round % 5];
    for (unsigned n = rng() % 4; n > 0; --n) {
      const std::size_t at = rng() % text.size();
      const string with[] = {string(1, alphabet[rng() % alphabet.size()]), "", string(2, text[at])};
      text.replace(at, 1, with[rng() % 3]);
    }
    SCOPED_TRACE('"' + text + '"');
    const int code = reference::readTimestamp(text, d, t);
    string got;
    ASSERT_EQ(raised([&] { got = Timestamp::fromText(text).asText(); }), outcomes[code]);
    accepted += code == 0;
    ASSERT_TRUE(code != 0 || Timestamp::fromText(got) == Timestamp(d.year, d.month, d.day, t.hour,
                                                                   t.minute, std::floor(t.second)));
    // The first ten characters as a date, what follows the eleventh as a time.
    const string head = text.substr(0, 10),
                 tail = text.substr(std::min<std::size_t>(text.size(), 11));
    const bool headReads = reference::readDate(head, d) && reference::validDate(d);
    const bool tailReads = reference::readTime(tail, t) && reference::validTime(t);
    ASSERT_EQ(raised([&] { ASSERT_EQ(Date::fromText(head), Date(d.year, d.month, d.day)); }),
              outcomes[!headReads]);
    ASSERT_EQ(raised([&] { ASSERT_EQ(Time::fromText(tail), Time(t.hour, t.minute, t.second)); }),
              outcomes[2 * !tailReads]);
  }
  EXPECT_GT(accepted, 20000) << "texts that read";
}

// Under a zone written alike for POSIX and the Microsoft runtime (west of
// Greenwich positive), each reading, whole or by parts, moved back by the
// offset, lies between two readings of the universal clock; the zone stays
// for the rest of this program, which reads the local clock nowhere else.
// An instant the runtime cannot break down gives -1 in every field, which no
// calendar class accepts.
TEST(Clock, NowInUniversalTimeAndInTheLocalZoneTZNames) {
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
    // Seconds since 1970 by the reference's day count, moved back by the offset.
    const double seconds = reference::daysFromCivil(t.year(), t.month(), t.day()) * 86400.0 +
                           t.hour() * 3600 + t.minute() * 60 + t.second() - (i % 2 ? 0 : 19800);
    EXPECT_TRUE(before <= seconds && seconds <= after && seconds == std::floor(seconds))
        << i << " " << t.asText();
  }
  const auto f = platform::breakDown(std::numeric_limits<std::int64_t>::max(), false);
  EXPECT_EQ(std::vector<int>({f.tmYear, f.tmMonth, f.tmDay, f.tmHour, f.tmMinute, f.tmSecond}),
            std::vector<int>(6, -1));
}

// Every pair of `values` (with many ties) compares as their keys do; copies
// and assignment (to another value and to itself) keep the key.
template <class T, class Key>
void followsTheKey(const std::vector<T>& values, Key key) {
  for (const T& a : values)
    for (const T& b : values) {
      const auto ka = key(a), kb = key(b);
      ASSERT_EQ(std::vector<bool>({a == b, a != b, a<b, a> b}),
                std::vector<bool>({ka == kb, ka != kb, ka<kb, ka> kb}))
          << ::testing::PrintToString(ka) << " vs " << ::testing::PrintToString(kb);
      if constexpr (!std::is_same<T, Guid>::value) {  // Guid has no <= and >=
        ASSERT_EQ(std::vector<bool>({a <= b, a >= b}), std::vector<bool>({ka <= kb, ka >= kb}));
      }
      T target(b);
      ASSERT_EQ(&(target = a), &target);
      target = static_cast<const T&>(target);
      ASSERT_TRUE(key(target) == ka && key(T(target)) == ka);
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
