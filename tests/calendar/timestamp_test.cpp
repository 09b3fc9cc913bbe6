#include <brimsel/timestamp.h>

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "calendar_checks.h"

using Brimsel::Date;
using Brimsel::Time;
using Brimsel::Timestamp;
using namespace calendar_test;

namespace {

const Timestamp gEarlyForever(Timestamp::Forever);
const Timestamp gEarlyNever = Timestamp::Never;

const char* const kLegends[] = {"", "Invalid date", "Invalid time", "Invalid timestamp"};

}  // namespace

TEST(Timestamp, SentinelsAndDefault) {
  EXPECT_EQ("0000-01-01 00:00:00", Timestamp().asText());
  EXPECT_EQ("0000-00-00 00:00:00", Timestamp::Never.asText());
  EXPECT_EQ(Timestamp(), Timestamp::Forever);
  EXPECT_EQ(1, Timestamp::nINVALID_DATE);
  EXPECT_EQ(2, Timestamp::nINVALID_TIME);
  EXPECT_EQ(3, Timestamp::nINVALID_TIMESTAMP);
  EXPECT_EQ(Timestamp::Forever, gEarlyForever);
  EXPECT_EQ(Timestamp::Never, gEarlyNever);
  EXPECT_EQ(Timestamp::Never, Timestamp(0, 0, 0, 0, 0, 0.0));
  EXPECT_TRUE(Timestamp().isForever());
  EXPECT_FALSE(Timestamp::Never.isForever());
  // The time part counts, though the date part alone is still Forever.
  const Timestamp later(0, 1, 1, 0, 0, 0.5);
  EXPECT_FALSE(later.isForever());
  EXPECT_TRUE(static_cast<const Date&>(later).isForever());
}

TEST(Timestamp, ConstructionReportsThePartAtFault) {
  expectFailure([] { Timestamp(2023, 2, 29, 12, 0, 0.0); }, 1, "Invalid date");
  expectFailure([] { Timestamp(2024, 2, 29, 24, 0, 0.0); }, 2, "Invalid time");
  expectFailure([] { Timestamp(2024, 2, 29, 0, 0, 59.5); }, 2, "Invalid time");
  expectFailure([] { Timestamp(2023, 2, 29, 24, 0, 0.0); }, 1, "Invalid date");  // date part first
  const Timestamp joined(Date(2024, 3, 1), Time(8, 15, 30.25));
  EXPECT_EQ(Timestamp(2024, 3, 1, 8, 15, 30.25), joined);
  EXPECT_EQ(2024 + 3 + 1 + 8 + 15 + 30.25,
            joined.year() + joined.month() + joined.day() + joined.hour() + joined.minute() + joined.second());
}

TEST(Timestamp, OrderDateFirstThenTime) {
  expectStrictOrder<Timestamp>(
      {Timestamp(INT_MIN, 1, 1, 23, 0, 0.0), Timestamp(-1, 12, 31, 23, 59, 59.0), Timestamp::Never,
       Timestamp(0, 0, 0, 0, 0, 0.5), Timestamp::Forever, Timestamp(0, 1, 1, 0, 0, 1.0),
       Timestamp(2023, 12, 31, 23, 59, 59.0), Timestamp(2024, 1, 1, 0, 0, 0.0), Timestamp(2024, 1, 1, 0, 0, 0.25),
       Timestamp(2024, 1, 1, 0, 1, 0.0), Timestamp(2024, 1, 1, 1, 0, 0.0), Timestamp(2024, 1, 2, 0, 0, 0.0)});
}

TEST(Timestamp, TextAndTheViewsThroughItsParts) {
  const Timestamp t(2024, 3, 1, 8, 15, 30.75);
  EXPECT_EQ("2024-03-01 08:15:30", t.asText());
  EXPECT_EQ("2024-03-01", static_cast<const Date&>(t).asText());
  EXPECT_EQ("08:15:30", static_cast<const Time&>(t).asText());
  EXPECT_EQ("-005-03-01 23:59:59", Timestamp(-5, 3, 1, 23, 59, 59.0).asText());
  EXPECT_EQ("12345-01-01 00:00:00", Timestamp(12345, 1, 1, 0, 0, 0.0).asText());
  EXPECT_EQ("-2147483648-12-31 01:02:03", Timestamp(INT_MIN, 12, 31, 1, 2, 3.5).asText());
  // Deleting through either base destroys the whole object (checked by the
  // address sanitizer build).
  std::unique_ptr<Date> viaDate(new Timestamp(t));
  std::unique_ptr<Time> viaTime(new Timestamp(t));
  EXPECT_EQ(8, viaTime->hour());
}

TEST(Timestamp, FromTextAcceptedForms) {
  const Timestamp expected(2024, 3, 1, 8, 15, 30.0);
  for (const char* text : {"2024-03-01 08:15:30", "2024-03-01T08:15:30", "2024-03-01Z08:15:30"}) {
    EXPECT_EQ(expected, Timestamp::fromText(text)) << text;
  }
  EXPECT_EQ(Timestamp(2024, 3, 1, 8, 15, 30.25), Timestamp::fromText("2024-03-01T08:15:30.25"));
  EXPECT_EQ(Timestamp(-5, 3, 1, 0, 0, 0.0), Timestamp::fromText("-005-03-01 00:00:00"));
  EXPECT_EQ(Timestamp(2020, 1, 5, 1, 2, 3.0), Timestamp::fromText("2020-1--05 1.:2.:3."));
}

TEST(Timestamp, FromTextFailuresNameThePart) {
  const std::pair<std::string, int> cases[] = {
      // no separator
      {"", 3}, {"2024-03-01", 3}, {"2024-03-0108:15:30", 3},
      // a blank anywhere goes before any 'T', a 'T' before any 'Z'
      {"2024-03-01T08:15:30 ", 1}, {"2024-03-01T08:15:30Z", 2}, {"2024-03-01Z08:15:30T", 1},
      {"2024-03-01  08:15:30", 2}, {" 2024-03-01 08:15:30", 1}, {" ", 1}, {"T", 1}, {"2024-03-01 ", 2},
      // the parts keep their codes; the date part is judged first
      {"2024-3-01 08:15:30", 1}, {"2023-02-29 08:15:30", 1}, {"2023-02-29 08:15", 1}, {"2024-03-01 08:15", 2},
      {"2024-03-01 24:00:00", 2}, {std::string("2024-03-01 08:15:30\0", 20), 2},
      {std::string("2024-03-01\0 08:15:30", 20), 1}};
  for (const auto& [text, code] : cases) {
    SCOPED_TRACE("\"" + text + "\"");
    expectFailure([&] { Timestamp::fromText(text); }, code, kLegends[code]);
  }
}

// Every day of two 400-year cycles, each at another time of day.
TEST(Timestamp, RoundTripsOverWholeCycles) {
  for (int firstYear : {0, 9600}) {
    const std::int64_t first = daysFromCivil(firstYear, 1, 1);
    for (std::int64_t z = first; z < daysFromCivil(firstYear + 400, 1, 1); ++z) {
      const Civil c = civilFromDays(z);
      const int mix = static_cast<int>(z - first);
      const Timestamp t(c.year, c.month, c.day, mix % 24, mix * 7 % 60, mix * 13 % 60);
      ASSERT_EQ(t, Timestamp::fromText(t.asText())) << t.asText();
    }
  }
}

TEST(Timestamp, CopyAndAssignment) {
  expectCopyAndAssignment(Timestamp(2024, 2, 29, 23, 59, 59.0), Timestamp::Never);
  // Assigning through a base changes only that part.
  Timestamp mixed(2024, 3, 1, 8, 15, 30.0);
  static_cast<Date&>(mixed) = Date(1999, 12, 31);
  static_cast<Time&>(mixed) = Time(23, 0, 0.0);
  EXPECT_EQ(Timestamp(1999, 12, 31, 23, 0, 0.0), mixed);
}
