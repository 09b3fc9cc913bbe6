#include <brimsel/timestamp.h>

#include <gtest/gtest.h>

#include <atomic>
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

namespace {

std::int64_t secondsOf(const Timestamp& t) {
  return calendar_test::daysFromCivil(t.year(), t.month(), t.day()) * 86400 + t.hour() * 3600 + t.minute() * 60 +
         static_cast<std::int64_t>(t.second());
}

// Sets TZ in this process and has the C runtime take it up; restores the
// previous setting when it goes.
class ZoneSetting {
 public:
  explicit ZoneSetting(const char* zone) : _bHadOld(std::getenv("TZ") != nullptr) {
    if (_bHadOld) _strOld = std::getenv("TZ");
    set(zone);
  }
  ~ZoneSetting() { set(_bHadOld ? _strOld.c_str() : nullptr); }

 private:
  static void set(const char* zone) {
#ifdef _WIN32
    _putenv_s("TZ", zone != nullptr ? zone : "");
    _tzset();
#else
    zone != nullptr ? setenv("TZ", zone, 1) : unsetenv("TZ");
    tzset();
#endif
  }
  bool _bHadOld;
  std::string _strOld;
};

// `reading`, moved back by `offset` seconds, must lie between two readings
// of the universal clock taken around it, and have no fraction.
template <class Reading>
void expectBetweenUniversalReadings(Reading reading, std::int64_t offset) {
  const std::int64_t before = Brimsel::platform::clockSeconds();
  const Timestamp value = reading();
  const std::int64_t after = Brimsel::platform::clockSeconds();
  EXPECT_LE(before, secondsOf(value) - offset) << value.asText();
  EXPECT_LE(secondsOf(value) - offset, after) << value.asText();
  EXPECT_EQ(0.0, value.second() - static_cast<int>(value.second()));
}

}  // namespace

TEST(Clock, BreaksDownKnownInstants) {
  const std::pair<std::int64_t, Brimsel::platform::ClockFields> cases[] = {
      {0, {70, 0, 1, 0, 0, 0}},
      {951782400, {100, 1, 29, 0, 0, 0}},         // a 400-year leap day
      {2147483648LL, {138, 0, 19, 3, 14, 8}},     // past the 32-bit range
      {4107542399LL, {200, 1, 28, 23, 59, 59}},   // 2100, no leap day
      {32503680000LL, {1100, 0, 1, 0, 0, 0}}};
  for (const auto& [seconds, x] : cases) {
    const Brimsel::platform::ClockFields f = Brimsel::platform::breakDown(seconds, false);
    EXPECT_EQ(std::vector<int>({x.tmYear, x.tmMonth, x.tmDay, x.tmHour, x.tmMinute, x.tmSecond}),
              std::vector<int>({f.tmYear, f.tmMonth, f.tmDay, f.tmHour, f.tmMinute, f.tmSecond}))
        << seconds;
  }
}

TEST(Clock, NowInUniversalTime) {
  expectBetweenUniversalReadings([] { return Timestamp::now(Brimsel::UTC); }, 0);
  expectBetweenUniversalReadings([] { return Timestamp(Date::now(Brimsel::UTC), Time::now(Brimsel::UTC)); }, 0);
  EXPECT_GE(Date::now(Brimsel::UTC).year(), 2024);
}

// Fixed offsets written the same way for POSIX and the Microsoft runtime
// (west of Greenwich positive), so no zone database is needed.
TEST(Clock, NowInLocalTimeFollowsTZ) {
  const std::pair<const char*, std::int64_t> zones[] = {{"BRM-05:30", 5 * 3600 + 1800}, {"BRW+03", -3 * 3600}};
  for (const auto& [name, offset] : zones) {
    SCOPED_TRACE(name);
    ZoneSetting zone(name);
    expectBetweenUniversalReadings([] { return Timestamp::now(Brimsel::LOCAL); }, offset);
    expectBetweenUniversalReadings([] { return Timestamp(Date::now(Brimsel::LOCAL), Time::now(Brimsel::LOCAL)); },
                                   offset);
    expectBetweenUniversalReadings([] { return Timestamp::now(Brimsel::UTC); }, 0);
  }
}

TEST(Clock, NowFromManyThreadsAtOnce) {
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&failures, i] {
      for (int k = 0; k < 2000; ++k) {
        try {
          if (Timestamp::now((i + k) % 2 == 0 ? Brimsel::UTC : Brimsel::LOCAL).year() < 2024) ++failures;
        } catch (const Brimsel::Exception&) {
          ++failures;
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(0, failures.load());
}
