#include <brimsel/timestamp.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "calendar_checks.h"
#include "platform/clock.h"

using Brimsel::Date;
using Brimsel::Time;
using Brimsel::Timestamp;
using calendar_test::daysFromCivil;

namespace {

std::int64_t secondsOf(const Timestamp& t) {
  return daysFromCivil(t.year(), t.month(), t.day()) * 86400 + t.hour() * 3600 + t.minute() * 60 +
         static_cast<std::int64_t>(t.second());
}

// Sets TZ for this process and lets the C runtime take it up; the previous
// setting comes back when the object goes.
class ZoneSetting {
 public:
  explicit ZoneSetting(const char* zone) {
    const char* old = std::getenv("TZ");
    _bHadOld = old != nullptr;
    if (_bHadOld) _strOld = old;
    set(zone);
  }
  ~ZoneSetting() { set(_bHadOld ? _strOld.c_str() : nullptr); }

 private:
  static void set(const char* zone) {
#ifdef _WIN32
    _putenv_s("TZ", zone != nullptr ? zone : "");
    _tzset();
#else
    if (zone != nullptr) {
      setenv("TZ", zone, 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
#endif
  }

  bool _bHadOld = false;
  std::string _strOld;
};

// Reads the universal clock around `reading` and checks that the reading,
// moved by `offsetSeconds` to universal time, falls between the two.
template <class Reading>
void expectBetweenUniversalReadings(Reading reading, std::int64_t offsetSeconds) {
  const Timestamp before = Timestamp::now(Brimsel::UTC);
  const Timestamp value = reading();
  const Timestamp after = Timestamp::now(Brimsel::UTC);
  const std::int64_t moved = secondsOf(value) - offsetSeconds;
  EXPECT_LE(secondsOf(before), moved) << value.asText() << " after " << before.asText();
  EXPECT_LE(moved, secondsOf(after)) << value.asText() << " before " << after.asText();
  EXPECT_EQ(0.0, value.second() - static_cast<int>(value.second()));
}

}  // namespace

TEST(Clock, BreaksDownKnownInstants) {
  struct Case {
    std::int64_t seconds;
    Brimsel::platform::ClockFields fields;
  };
  const Case cases[] = {
      {0, {70, 0, 1, 0, 0, 0}},
      {951782400, {100, 1, 29, 0, 0, 0}},         // 2000-02-29, a 400-year leap day
      {2147483648LL, {138, 0, 19, 3, 14, 8}},     // one past the 32-bit range
      {4107542399LL, {200, 1, 28, 23, 59, 59}},   // 2100-02-28, no leap day
      {32503680000LL, {1100, 0, 1, 0, 0, 0}},     // 3000-01-01
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seconds);
    const Brimsel::platform::ClockFields f = Brimsel::platform::breakDown(c.seconds, false);
    EXPECT_EQ(c.fields.tmYear, f.tmYear);
    EXPECT_EQ(c.fields.tmMonth, f.tmMonth);
    EXPECT_EQ(c.fields.tmDay, f.tmDay);
    EXPECT_EQ(c.fields.tmHour, f.tmHour);
    EXPECT_EQ(c.fields.tmMinute, f.tmMinute);
    EXPECT_EQ(c.fields.tmSecond, f.tmSecond);
  }
}

TEST(Clock, NowInUniversalTime) {
  const std::int64_t before = Brimsel::platform::clockSeconds();
  const Timestamp now = Timestamp::now(Brimsel::UTC);
  const std::int64_t after = Brimsel::platform::clockSeconds();
  EXPECT_LE(before, secondsOf(now));
  EXPECT_LE(secondsOf(now), after);
  EXPECT_GE(now.year(), 2024);

  expectBetweenUniversalReadings(
      [] {
        const Date d = Date::now(Brimsel::UTC);
        const Time t = Time::now(Brimsel::UTC);
        return Timestamp(d, t);
      },
      0);
}

// A fixed offset written the POSIX and the Microsoft way alike (west of
// Greenwich positive), so no zone database is needed on either system.
TEST(Clock, NowInLocalTimeFollowsTZ) {
  {
    ZoneSetting zone("BRM-05:30");
    expectBetweenUniversalReadings([] { return Timestamp::now(Brimsel::LOCAL); }, 5 * 3600 + 30 * 60);
    expectBetweenUniversalReadings(
        [] { return Timestamp(Date::now(Brimsel::LOCAL), Time::now(Brimsel::LOCAL)); }, 5 * 3600 + 30 * 60);
  }
  {
    ZoneSetting zone("BRW+03");
    expectBetweenUniversalReadings([] { return Timestamp::now(Brimsel::LOCAL); }, -3 * 3600);
  }
  {
    ZoneSetting zone("UTC0");
    expectBetweenUniversalReadings([] { return Timestamp::now(Brimsel::LOCAL); }, 0);
  }
}

TEST(Clock, NowFromManyThreadsAtOnce) {
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&failures, i] {
      for (int k = 0; k < 2000; ++k) {
        try {
          const Brimsel::Zone zone = (i + k) % 2 == 0 ? Brimsel::UTC : Brimsel::LOCAL;
          const Timestamp t = Timestamp::now(zone);
          if (!t.isValid() || t.year() < 2024) failures.fetch_add(1);
        } catch (const Brimsel::Exception&) {
          failures.fetch_add(1);
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(0, failures.load());
}
