#include <brimsel/timestamp.h>

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "calendar_checks.h"

using Brimsel::Date;
using Brimsel::Time;
using Brimsel::Timestamp;
using calendar_test::civilFromDays;
using calendar_test::daysFromCivil;
using calendar_test::expectFailure;

namespace {

const Timestamp gEarlyForever(Timestamp::Forever);
const Timestamp gEarlyNever = Timestamp::Never;

void expectBadText(const std::string& text, int code, const std::string& legend) {
  SCOPED_TRACE("\"" + text + "\"");
  expectFailure([&] { Timestamp::fromText(text); }, code, legend);
}

}  // namespace

TEST(Timestamp, SentinelsAndDefault) {
  EXPECT_EQ(3, Timestamp::nINVALID_TIMESTAMP);
  EXPECT_EQ("0000-01-01 00:00:00", Timestamp::Forever.asText());
  EXPECT_EQ("0000-00-00 00:00:00", Timestamp::Never.asText());
  EXPECT_EQ(Timestamp::Forever, gEarlyForever);
  EXPECT_EQ(Timestamp::Never, gEarlyNever);

  const Timestamp t;
  EXPECT_EQ(Timestamp::Forever, t);
  EXPECT_TRUE(t.isForever());
  EXPECT_EQ("0000-01-01 00:00:00", t.asText());
  EXPECT_EQ(Timestamp::Never, Timestamp(0, 0, 0, 0, 0, 0.0));
  EXPECT_TRUE(Timestamp::Never.isValid());
  EXPECT_FALSE(Timestamp::Never.isForever());
  EXPECT_TRUE(Timestamp::Never < Timestamp::Forever);
  // The time part counts: a second past Forever is no longer Forever, though
  // its date part still is.
  const Timestamp later(0, 1, 1, 0, 0, 1.0);
  EXPECT_FALSE(later.isForever());
  EXPECT_TRUE(static_cast<const Date&>(later).isForever());
  EXPECT_FALSE(Timestamp(0, 1, 1, 0, 0, 0.5).isForever());
}

TEST(Timestamp, ConstructionReportsThePartAtFault) {
  expectFailure([] { Timestamp(2023, 2, 29, 12, 0, 0.0); }, 1, "Invalid date");
  expectFailure([] { Timestamp(2024, 2, 29, 24, 0, 0.0); }, 2, "Invalid time");
  expectFailure([] { Timestamp(2024, 2, 29, 0, 0, 59.5); }, 2, "Invalid time");
  // Both wrong: the date part is built first.
  expectFailure([] { Timestamp(2023, 2, 29, 24, 0, 0.0); }, 1, "Invalid date");
  EXPECT_NO_THROW(Timestamp(2024, 2, 29, 23, 59, 59.0));

  const Timestamp joined(Date(2024, 3, 1), Time(8, 15, 30.25));
  EXPECT_EQ(Timestamp(2024, 3, 1, 8, 15, 30.25), joined);
  EXPECT_EQ(2024, joined.year());
  EXPECT_EQ(3, joined.month());
  EXPECT_EQ(1, joined.day());
  EXPECT_EQ(8, joined.hour());
  EXPECT_EQ(15, joined.minute());
  EXPECT_EQ(30.25, joined.second());
}

TEST(Timestamp, OrderDateFirstThenTime) {
  EXPECT_TRUE(Timestamp(2024, 1, 1, 0, 0, 0.0) > Timestamp(2023, 12, 31, 23, 59, 59.0));
  EXPECT_TRUE(Timestamp(-1, 12, 31, 23, 59, 59.0) < Timestamp::Never);
  EXPECT_TRUE(Timestamp::Forever < Timestamp(1, 1, 1, 0, 0, 0.0));

  const std::vector<Timestamp> ordered = {
      Timestamp(INT_MIN, 1, 1, 23, 0, 0.0),  Timestamp(-1, 12, 31, 23, 59, 59.0), Timestamp::Never,
      Timestamp(0, 0, 0, 0, 0, 0.5),         Timestamp::Forever,                   Timestamp(0, 1, 1, 0, 0, 1.0),
      Timestamp(2023, 12, 31, 23, 59, 59.0), Timestamp(2024, 1, 1, 0, 0, 0.0),     Timestamp(2024, 1, 1, 0, 0, 0.25),
      Timestamp(2024, 1, 1, 0, 1, 0.0),      Timestamp(2024, 1, 1, 1, 0, 0.0),     Timestamp(2024, 1, 2, 0, 0, 0.0)};
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    for (std::size_t j = 0; j < ordered.size(); ++j) {
      const Timestamp& a = ordered[i];
      const Timestamp& b = ordered[j];
      SCOPED_TRACE(a.asText() + " vs " + b.asText());
      EXPECT_EQ(i < j, a < b);
      EXPECT_EQ(i > j, a > b);
      EXPECT_EQ(i <= j, a <= b);
      EXPECT_EQ(i >= j, a >= b);
      EXPECT_EQ(i == j, a == b);
      EXPECT_EQ(i != j, a != b);
    }
  }
}

TEST(Timestamp, TextAndTheViewsThroughItsParts) {
  const Timestamp t(2024, 3, 1, 8, 15, 30.75);
  EXPECT_EQ("2024-03-01 08:15:30", t.asText());
  EXPECT_EQ("2024-03-01", static_cast<const Date&>(t).asText());
  EXPECT_EQ("08:15:30", static_cast<const Time&>(t).asText());
  EXPECT_EQ("-005-03-01 23:59:59", Timestamp(-5, 3, 1, 23, 59, 59.0).asText());
  EXPECT_EQ("12345-01-01 00:00:00", Timestamp(12345, 1, 1, 0, 0, 0.0).asText());
  EXPECT_EQ("-2147483648-12-31 01:02:03", Timestamp(INT_MIN, 12, 31, 1, 2, 3.5).asText());
}

TEST(Timestamp, DeletedThroughEitherBase) {
  std::unique_ptr<Date> viaDate(new Timestamp(2024, 3, 1, 8, 15, 30.0));
  std::unique_ptr<Time> viaTime(new Timestamp(2024, 3, 1, 8, 15, 30.0));
  EXPECT_EQ(8, viaTime->hour());
  EXPECT_EQ(2024, viaDate->year());
  viaDate.reset();
  viaTime.reset();
}

TEST(Timestamp, FromTextSeparators) {
  const Timestamp expected(2024, 3, 1, 8, 15, 30.0);
  EXPECT_EQ(expected, Timestamp::fromText("2024-03-01 08:15:30"));
  EXPECT_EQ(expected, Timestamp::fromText("2024-03-01T08:15:30"));
  EXPECT_EQ(expected, Timestamp::fromText("2024-03-01Z08:15:30"));
  EXPECT_EQ(Timestamp(2024, 3, 1, 8, 15, 30.25), Timestamp::fromText("2024-03-01 08:15:30.25"));
  EXPECT_EQ(Timestamp(2024, 3, 1, 8, 15, 30.25), Timestamp::fromText("2024-03-01T08:15:30.25"));
  EXPECT_EQ(Timestamp::Never, Timestamp::fromText("0000-00-00 00:00:00"));
  EXPECT_EQ(Timestamp(-5, 3, 1, 0, 0, 0.0), Timestamp::fromText("-005-03-01 00:00:00"));
  // The lenient field reads of both parts carry over.
  EXPECT_EQ(Timestamp(2020, 1, 5, 1, 2, 3.0), Timestamp::fromText("2020-1--05 1.:2.:3."));

  // No separator at all.
  for (const char* text : {"", "2024-03-01", "2024-03-0108:15:30", "20240301081530"}) {
    expectBadText(text, 3, "Invalid timestamp");
  }
  // A blank anywhere is taken before any 'T' and a 'T' before any 'Z'.
  expectBadText("2024-03-01T08:15:30 ", 1, "Invalid date");
  expectBadText("2024-03-01T08:15:30Z", 2, "Invalid time");
  expectBadText("2024-03-01Z08:15:30T", 1, "Invalid date");
  expectBadText("2024-03-01  08:15:30", 2, "Invalid time");
  expectBadText(" 2024-03-01 08:15:30", 1, "Invalid date");
  // Faults of the parts keep their codes, the date part first.
  expectBadText("2024-3-01 08:15:30", 1, "Invalid date");
  expectBadText("2023-02-29 08:15:30", 1, "Invalid date");
  expectBadText("2023-02-29 08:15", 1, "Invalid date");
  expectBadText("2024-03-01 08:15", 2, "Invalid time");
  expectBadText("2024-03-01 24:00:00", 2, "Invalid time");
  expectBadText("2024-03-01 ", 2, "Invalid time");
  expectBadText(" ", 1, "Invalid date");
  expectBadText("T", 1, "Invalid date");
  expectBadText(std::string("2024-03-01 08:15:30\0", 20), 2, "Invalid time");
  expectBadText(std::string("2024-03-01\0 08:15:30", 20), 1, "Invalid date");
}

// Every day of two 400-year cycles, each with a different time of day,
// prints and reads back to an equal value.
TEST(Timestamp, RoundTripsOverWholeCycles) {
  for (int firstYear : {0, 9200}) {
    const std::int64_t first = daysFromCivil(firstYear, 1, 1);
    const std::int64_t last = daysFromCivil(firstYear + 400, 1, 1);
    for (std::int64_t z = first; z < last; ++z) {
      const calendar_test::Civil c = civilFromDays(z);
      const int mix = static_cast<int>(z - first);
      const Timestamp t(c.year, c.month, c.day, mix % 24, mix * 7 % 60, mix * 13 % 60);
      const std::string text = t.asText();
      ASSERT_EQ(19u, text.size()) << text;
      ASSERT_EQ(t, Timestamp::fromText(text)) << text;
    }
  }
  EXPECT_EQ(Timestamp(9999, 12, 31, 23, 59, 59.0), Timestamp::fromText("9999-12-31 23:59:59"));
  EXPECT_EQ(Timestamp(0, 1, 1, 0, 0, 0.0), Timestamp::fromText("0000-01-01 00:00:00"));
}

TEST(Timestamp, CopyAndAssignment) {
  const Timestamp original(2024, 2, 29, 23, 59, 59.0);
  EXPECT_EQ(original, Timestamp(original));

  Timestamp target;
  const Timestamp& result = (target = original);
  EXPECT_EQ(&target, &result);
  EXPECT_EQ(original, target);

  Timestamp self(2024, 3, 1, 8, 15, 30.5);
  Timestamp& alias = self;
  self = alias;
  EXPECT_EQ(Timestamp(2024, 3, 1, 8, 15, 30.5), self);

  // Assigning through the bases changes only that part.
  Timestamp mixed(2024, 3, 1, 8, 15, 30.0);
  static_cast<Date&>(mixed) = Date(1999, 12, 31);
  static_cast<Time&>(mixed) = Time(23, 0, 0.0);
  EXPECT_EQ(Timestamp(1999, 12, 31, 23, 0, 0.0), mixed);
}
