// SPDX-License-Identifier: MIT
// Text forms of Date, Time and Timestamp side by side with snprintf/atoi/
// strtod and with POCO's DateTimeFormatter and DateTimeParser, on the same
// values and texts. Every benchmark produces or consumes a std::string, as
// the library's operations do.
#include <Poco/DateTime.h>
#include <Poco/DateTimeFormatter.h>
#include <Poco/DateTimeParser.h>
#include <benchmark/benchmark.h>
#include <brimsel/date.h>
#include <brimsel/time.h>
#include <brimsel/timestamp.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kValues = 64;  // a power of two, cycled through

struct Fields {
  int year, month, day, hour, minute, second;
};

const std::vector<Fields>& fields() {
  static const std::vector<Fields> values = [] {
    std::vector<Fields> v;
    for (std::size_t i = 0; i < kValues; ++i) {
      const int k = static_cast<int>(i);
      v.push_back(
          Fields{1990 + k, 1 + k % 12, 1 + k * 7 % 28, k * 5 % 24, k * 11 % 60, k * 13 % 60});
    }
    return v;
  }();
  return values;
}

template <class Make>
auto valuesOf(Make make) {
  std::vector<decltype(make(Fields{}))> v;
  for (const Fields& f : fields()) v.push_back(make(f));
  return v;
}

const std::vector<Brimsel::Timestamp>& timestamps() {
  static const auto v = valuesOf([](const Fields& f) {
    return Brimsel::Timestamp(f.year, f.month, f.day, f.hour, f.minute, f.second);
  });
  return v;
}
const std::vector<Poco::DateTime>& pocoTimes() {
  static const auto v = valuesOf([](const Fields& f) {
    return Poco::DateTime(f.year, f.month, f.day, f.hour, f.minute, f.second);
  });
  return v;
}
const std::vector<std::string>& timestampTexts() {
  static const auto v = valuesOf([](const Fields& f) {
    return Brimsel::Timestamp(f.year, f.month, f.day, f.hour, f.minute, f.second).asText();
  });
  return v;
}
const std::vector<std::string>& dateTexts() {
  static const auto v =
      valuesOf([](const Fields& f) { return Brimsel::Date(f.year, f.month, f.day).asText(); });
  return v;
}
const std::vector<std::string>& timeTexts() {
  static const auto v =
      valuesOf([](const Fields& f) { return Brimsel::Time(f.hour, f.minute, f.second).asText(); });
  return v;
}

// --- Formatting -----------------------------------------------------------

void BM_CalendarFormatTimestamp_Brimsel(benchmark::State& state) {
  const auto& values = timestamps();
  std::size_t i = 0;
  for (auto _ : state) {
    std::string text = values[i++ % kValues].asText();
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_CalendarFormatTimestamp_Brimsel);

void BM_CalendarFormatTimestamp_Snprintf(benchmark::State& state) {
  const auto& values = fields();
  std::size_t i = 0;
  for (auto _ : state) {
    const Fields& f = values[i++ % kValues];
    char buffer[32];
    const int n = std::snprintf(buffer, sizeof buffer, "%04i-%02i-%02i %02i:%02i:%02i", f.year,
                                f.month, f.day, f.hour, f.minute, f.second);
    std::string text(buffer, static_cast<std::size_t>(n));
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_CalendarFormatTimestamp_Snprintf);

void BM_CalendarFormatTimestamp_Poco(benchmark::State& state) {
  const auto& values = pocoTimes();
  const std::string format = "%Y-%m-%d %H:%M:%S";
  std::size_t i = 0;
  for (auto _ : state) {
    std::string text = Poco::DateTimeFormatter::format(values[i++ % kValues], format);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_CalendarFormatTimestamp_Poco);

void BM_CalendarFormatDate_Brimsel(benchmark::State& state) {
  const auto dates =
      valuesOf([](const Fields& f) { return Brimsel::Date(f.year, f.month, f.day); });
  std::size_t i = 0;
  for (auto _ : state) {
    std::string text = dates[i++ % kValues].asText();
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_CalendarFormatDate_Brimsel);

void BM_CalendarFormatDate_Snprintf(benchmark::State& state) {
  const auto& values = fields();
  std::size_t i = 0;
  for (auto _ : state) {
    const Fields& f = values[i++ % kValues];
    char buffer[32];
    const int n = std::snprintf(buffer, sizeof buffer, "%04i-%02i-%02i", f.year, f.month, f.day);
    std::string text(buffer, static_cast<std::size_t>(n));
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_CalendarFormatDate_Snprintf);

void BM_CalendarFormatDate_Poco(benchmark::State& state) {
  const auto& values = pocoTimes();
  const std::string format = "%Y-%m-%d";
  std::size_t i = 0;
  for (auto _ : state) {
    std::string text = Poco::DateTimeFormatter::format(values[i++ % kValues], format);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_CalendarFormatDate_Poco);

void BM_CalendarFormatTime_Brimsel(benchmark::State& state) {
  const auto times =
      valuesOf([](const Fields& f) { return Brimsel::Time(f.hour, f.minute, f.second); });
  std::size_t i = 0;
  for (auto _ : state) {
    std::string text = times[i++ % kValues].asText();
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_CalendarFormatTime_Brimsel);

void BM_CalendarFormatTime_Snprintf(benchmark::State& state) {
  const auto& values = fields();
  std::size_t i = 0;
  for (auto _ : state) {
    const Fields& f = values[i++ % kValues];
    char buffer[32];
    const int n =
        std::snprintf(buffer, sizeof buffer, "%02i:%02i:%02i", f.hour, f.minute, f.second);
    std::string text(buffer, static_cast<std::size_t>(n));
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_CalendarFormatTime_Snprintf);

void BM_CalendarFormatTime_Poco(benchmark::State& state) {
  const auto& values = pocoTimes();
  const std::string format = "%H:%M:%S";
  std::size_t i = 0;
  for (auto _ : state) {
    std::string text = Poco::DateTimeFormatter::format(values[i++ % kValues], format);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_CalendarFormatTime_Poco);

// --- Parsing --------------------------------------------------------------

void BM_CalendarParseTimestamp_Brimsel(benchmark::State& state) {
  const auto& texts = timestampTexts();
  std::size_t i = 0;
  for (auto _ : state) {
    Brimsel::Timestamp t = Brimsel::Timestamp::fromText(texts[i++ % kValues]);
    benchmark::DoNotOptimize(t);
  }
}
BENCHMARK(BM_CalendarParseTimestamp_Brimsel);

// The same steps written with the C library: copy into buffers, check the
// characters with strspn, cut the fields, atoi and strtod.
bool parseWithCLibrary(const std::string& text, Fields& f, double& second) {
  std::vector<char> work(text.c_str(), text.c_str() + text.size() + 1);
  char* separator = std::strchr(work.data(), ' ');
  if (separator == nullptr) separator = std::strchr(work.data(), 'T');
  if (separator == nullptr) separator = std::strchr(work.data(), 'Z');
  if (separator == nullptr) return false;
  *separator = '\0';
  char date[12];
  const std::size_t dateLength = std::strlen(work.data());
  if (dateLength != 10) return false;
  std::memcpy(date, work.data(), 11);
  if (std::strspn(date, "0123456789-") != 10 || date[4] != '-' || date[7] != '-') return false;
  date[4] = date[7] = '\0';
  f.year = std::atoi(date);
  f.month = std::atoi(date + 5);
  f.day = std::atoi(date + 8);
  const char* timeText = separator + 1;
  const std::size_t timeLength = std::strlen(timeText);
  if (timeLength < 8 || timeLength > 15) return false;
  char time[16];
  std::memcpy(time, timeText, timeLength + 1);
  if (std::strspn(time, "0123456789:.") != timeLength || time[2] != ':' || time[5] != ':')
    return false;
  time[2] = time[5] = '\0';
  f.hour = std::atoi(time);
  f.minute = std::atoi(time + 3);
  second = std::strtod(time + 6, nullptr);
  return true;
}

void BM_CalendarParseTimestamp_CLibrary(benchmark::State& state) {
  const auto& texts = timestampTexts();
  std::size_t i = 0;
  for (auto _ : state) {
    Fields f{};
    double second = 0.0;
    const bool ok = parseWithCLibrary(texts[i++ % kValues], f, second);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(f);
    benchmark::DoNotOptimize(second);
  }
}
BENCHMARK(BM_CalendarParseTimestamp_CLibrary);

void BM_CalendarParseTimestamp_Poco(benchmark::State& state) {
  const auto& texts = timestampTexts();
  const std::string format = "%Y-%m-%d %H:%M:%S";
  std::size_t i = 0;
  for (auto _ : state) {
    int zone = 0;
    Poco::DateTime t = Poco::DateTimeParser::parse(format, texts[i++ % kValues], zone);
    benchmark::DoNotOptimize(t);
  }
}
BENCHMARK(BM_CalendarParseTimestamp_Poco);

void BM_CalendarParseDate_Brimsel(benchmark::State& state) {
  const auto& texts = dateTexts();
  std::size_t i = 0;
  for (auto _ : state) {
    Brimsel::Date d = Brimsel::Date::fromText(texts[i++ % kValues]);
    benchmark::DoNotOptimize(d);
  }
}
BENCHMARK(BM_CalendarParseDate_Brimsel);

void BM_CalendarParseDate_Poco(benchmark::State& state) {
  const auto& texts = dateTexts();
  const std::string format = "%Y-%m-%d";
  std::size_t i = 0;
  for (auto _ : state) {
    int zone = 0;
    Poco::DateTime t = Poco::DateTimeParser::parse(format, texts[i++ % kValues], zone);
    benchmark::DoNotOptimize(t);
  }
}
BENCHMARK(BM_CalendarParseDate_Poco);

void BM_CalendarParseTime_Brimsel(benchmark::State& state) {
  const auto& texts = timeTexts();
  std::size_t i = 0;
  for (auto _ : state) {
    Brimsel::Time t = Brimsel::Time::fromText(texts[i++ % kValues]);
    benchmark::DoNotOptimize(t);
  }
}
BENCHMARK(BM_CalendarParseTime_Brimsel);

void BM_CalendarParseTime_Poco(benchmark::State& state) {
  const auto& texts = timeTexts();
  const std::string format = "%H:%M:%S";
  std::size_t i = 0;
  for (auto _ : state) {
    int zone = 0;
    Poco::DateTime t = Poco::DateTimeParser::parse(format, texts[i++ % kValues], zone);
    benchmark::DoNotOptimize(t);
  }
}
BENCHMARK(BM_CalendarParseTime_Poco);

}  // namespace
