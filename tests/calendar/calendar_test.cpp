// Date, Time and Timestamp against the reference calendar on random fields
// and texts; the exact texts callers see; clock readings.
#include <brimsel/timestamp.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

#include "platform/clock.h"
#include "reference/calendar.h"
#include "support.h"

using Brimsel::Date;
using Brimsel::Time;
using Brimsel::Timestamp;
using support::raised;

namespace {

// Copied before main runs: the sentinels hold their values by then.
const Date gEarlyNever(Date::Never);
const Timestamp gEarlyForever(Timestamp::Forever);

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const char* const kOutcomes[] = {"ok", "1:Invalid date", "2:Invalid time", "3:Invalid timestamp"};

// A field near the boundaries that matter, or anywhere.
int field(std::mt19937& rng, std::initializer_list<int> near) {
  if (rng() % 8 == 0) return static_cast<int>(rng());
  return near.begin()[rng() % near.size()] + static_cast<int>(rng() % 5) - 2;
}

// `text` with a few characters replaced, dropped or doubled.
std::string mangled(std::mt19937& rng, std::string text) {
  static const std::string alphabet("0123456789-:. TZ+x\0", 19);  // a zero byte ends a text
  for (unsigned n = rng() % 4; n > 0 && !text.empty(); --n) {
    const std::size_t at = rng() % text.size();
    switch (rng() % 3) {
      case 0: text[at] = alphabet[rng() % alphabet.size()]; break;
      case 1: text.erase(at, 1); break;
      default: text.insert(at, 1, text[at]);
    }
  }
  return text;
}

TEST(Calendar, SentinelsAndTheConstructorsChecks) {
  EXPECT_TRUE(Date() == Date::Forever && Date(0, 1, 1).isForever() && gEarlyNever == Date(0, 0, 0));
  EXPECT_TRUE(Timestamp() == gEarlyForever && gEarlyForever.isForever() && !Timestamp::Never.isForever());
  EXPECT_FALSE(Timestamp(0, 1, 1, 0, 0, 0.5).isForever() || Date::Never.isForever());
  std::mt19937 rng(3);
  for (int round = 0; round < 200000; ++round) {
    const reference::DateFields d{field(rng, {0, 4, -4, 100, -100, 400, -400, 1900, 2000, 2023, INT_MIN + 2, INT_MAX - 2}),
                                  field(rng, {0, 2, 2, 4, 12}), field(rng, {0, 29, 30, 31})};
    const reference::TimeFields t{field(rng, {0, 23}), field(rng, {0, 59}),
                                  round % 9 == 0 ? kNaN : field(rng, {0, 59}) + (rng() % 3) * 0.25};
    const std::string dateOutcome = raised([&] { Date(d.year, d.month, d.day); });
    const std::string timeOutcome = raised([&] { Time(t.hour, t.minute, t.second); });
    ASSERT_EQ(dateOutcome, reference::validDate(d) ? "ok" : "1:Invalid date") << d.year << "-" << d.month << "-" << d.day;
    ASSERT_EQ(timeOutcome, reference::validTime(t) ? "ok" : "2:Invalid time") << t.hour << ":" << t.minute << ":" << t.second;
    ASSERT_EQ(raised([&] { Timestamp(d.year, d.month, d.day, t.hour, t.minute, t.second); }),
              dateOutcome != "ok" ? dateOutcome : timeOutcome);
  }
}

TEST(Calendar, TextForms) {
  const Timestamp t(2024, 3, 1, 8, 15, 30.75);
  const std::pair<std::string, const char*> cases[] = {
      {Date(1, 2, 3).asText(), "0001-02-03"}, {Date(-5, 3, 1).asText(), "-005-03-01"},
      {Date(-1000, 1, 1).asText(), "-1000-01-01"}, {Date(12345, 1, 1).asText(), "12345-01-01"},
      {Date(INT_MIN, 1, 1).asText(), "-2147483648-01-01"}, {Date::Never.asText(), "0000-00-00"},
      {Time(7, 5, 3.99).asText(), "07:05:03"}, {Time(23, 59, std::nextafter(59.0, 0.0)).asText(), "23:59:58"},
      {t.asText(), "2024-03-01 08:15:30"}, {static_cast<const Date&>(t).asText(), "2024-03-01"},
      {static_cast<const Time&>(t).asText(), "08:15:30"}, {Timestamp().asText(), "0000-01-01 00:00:00"},
      {Timestamp(INT_MAX, 12, 31, 1, 2, 3.5).asText(), "2147483647-12-31 01:02:03"}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(text, expected);
}

// Texts near the three forms, read by the parsers and by the reference: the
// same fields or the same failure; what reads prints and reads back.
TEST(Calendar, ParsersAgreeWithTheReferenceOnRandomTexts) {
  std::mt19937 rng(4);
  const char* const seeds[] = {"2024-02-29 08:15:30.125", "-004-02-29T23:59:59", "0000-00-00Z00:00:59.0000",
                               "1900-02-28 1.:2.:3.", "2020-1--05 12:30:45"};
  int accepted = 0;
  for (int round = 0; round < 100000; ++round) {
    const std::string text = mangled(rng, seeds[round % 5]);
    reference::DateFields d{};
    reference::TimeFields t{};
    const int code = reference::readTimestamp(text, d, t);
    std::string got;
    ASSERT_EQ(raised([&] { got = Timestamp::fromText(text).asText(); }), kOutcomes[code]) << '"' << text << '"';
    const std::string dateText = text.substr(0, 10), timeText = text.substr(std::min<std::size_t>(text.size(), 11));
    const bool dateReads = reference::readDate(dateText, d) && reference::validDate(d);
    const bool timeReads = reference::readTime(timeText, t) && reference::validTime(t);
    ASSERT_EQ(raised([&] { ASSERT_EQ(Date::fromText(dateText), Date(d.year, d.month, d.day)); }),
              dateReads ? "ok" : "1:Invalid date") << '"' << dateText << '"';
    ASSERT_EQ(raised([&] { ASSERT_EQ(Time::fromText(timeText), Time(t.hour, t.minute, t.second)); }),
              timeReads ? "ok" : "2:Invalid time") << '"' << timeText << '"';
    if (code == 0) {
      ++accepted;
      const Timestamp whole(d.year, d.month, d.day, t.hour, t.minute, std::floor(t.second));
      ASSERT_EQ(Timestamp::fromText(got), whole) << got;
    }
  }
  EXPECT_GT(accepted, 10000);
}

void setZone(const char* zone) {
#ifdef _WIN32
  _putenv_s("TZ", zone);
  _tzset();
#else
  zone[0] != '\0' ? setenv("TZ", zone, 1) : unsetenv("TZ");
  tzset();
#endif
}

TEST(Clock, BreaksDownKnownInstants) {
  // 1970, a 400-year leap day, past 32 bits, 2100 (no leap day), 3000.
  const std::pair<std::int64_t, std::vector<int>> cases[] = {
      {0, {70, 0, 1, 0, 0, 0}}, {951782400, {100, 1, 29, 0, 0, 0}}, {2147483648LL, {138, 0, 19, 3, 14, 8}},
      {4107542399LL, {200, 1, 28, 23, 59, 59}}, {32503680000LL, {1100, 0, 1, 0, 0, 0}}};
  for (const auto& [seconds, expected] : cases) {
    const Brimsel::platform::ClockFields f = Brimsel::platform::breakDown(seconds, false);
    EXPECT_EQ(expected, std::vector<int>({f.tmYear, f.tmMonth, f.tmDay, f.tmHour, f.tmMinute, f.tmSecond})) << seconds;
  }
}

// Fixed offsets written alike for POSIX and the Microsoft runtime (west of
// Greenwich positive): each reading, whole or by parts, moved back by the
// offset, lies between two readings of the universal clock, without fraction.
TEST(Clock, NowInUniversalTimeAndInTheLocalZoneTZNames) {
  const char* const old = std::getenv("TZ");
  const std::string saved = old != nullptr ? old : "";
  for (const auto& [zone, offset] : {std::pair<const char*, int>{"BRM-05:30", 19800}, {"BRW+03", -10800}}) {
    setZone(zone);
    for (int i = 0; i < 4; ++i) {
      const Brimsel::Zone which = i % 2 ? Brimsel::UTC : Brimsel::LOCAL;
      const std::int64_t before = Brimsel::platform::clockSeconds();
      const Timestamp t = i < 2 ? Timestamp::now(which) : Timestamp(Date::now(which), Time::now(which));
      const std::int64_t after = Brimsel::platform::clockSeconds();
      const std::int64_t seconds = reference::daysFromCivil(t.year(), t.month(), t.day()) * 86400 + t.hour() * 3600 +
                                   t.minute() * 60 + static_cast<std::int64_t>(t.second()) - (i % 2 ? 0 : offset);
      EXPECT_TRUE(before <= seconds && seconds <= after && t.second() == std::floor(t.second()))
          << zone << " " << i << " " << t.asText();
    }
  }
  setZone(saved.c_str());
}

}  // namespace
