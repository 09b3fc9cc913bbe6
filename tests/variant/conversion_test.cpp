#include <brimsel/variant.h>

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <functional>
#include <limits>
#include <locale>
#include <sstream>

#include "helpers.h"

using Brimsel::Date;
using Brimsel::Time;
using Brimsel::Timestamp;
using Brimsel::Variant;

namespace {

const unsigned char kBytes[] = {1, 2, 3};
const char* const kKindWords[] = {"None", "int", "double", "string", "Date", "Time", "Timestamp", "Binary"};

// One conversion's result as text, or "<code>:<legend>" when it refuses.
std::string render(const std::function<void(std::ostream&)>& convert) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out.precision(17);
  try {
    convert(out);
  } catch (const Brimsel::Exception& e) {
    return std::to_string(e.errorCode()) + ":" + e.legend();
  }
  return out.str();
}

std::string timeText(const Time& t) {
  std::ostringstream out;
  out << t.asText() << '+' << (t.second() - std::floor(t.second()));
  return out.str();
}

enum Column { kInt, kDouble, kString, kDate, kTime, kTimestamp, kBinary, kColumns };

std::string convert(const Variant& v, int column) {
  switch (column) {
    case kInt: return render([&](std::ostream& o) { o << v.toInt(); });
    case kDouble: return render([&](std::ostream& o) { o << v.toDouble(); });
    case kString: return render([&](std::ostream& o) { o << '"' << v.toString() << '"'; });
    case kDate: return render([&](std::ostream& o) { o << v.toDate().asText(); });
    case kTime: return render([&](std::ostream& o) { o << timeText(v.toTime()); });
    case kTimestamp:
      return render([&](std::ostream& o) { o << v.toTimestamp().asText() << '+' << timeText(v.toTimestamp()); });
    default:
      return render([&](std::ostream& o) {
        const unsigned char* p = v.toBinary();
        o << "bytes";
        for (unsigned int i = 0; i < v.length(); ++i) o << ' ' << int(p[i]);
      });
  }
}

struct Row {
  const char* name;
  Variant value;
  const char* cells[kColumns];
};

// Every cell of the conversion matrix: a result, or the code and legend of
// the refusal.
const std::vector<Row>& matrix() {
  static const std::vector<Row> rows = {
      {"None", Variant(),
       {"4301:None > int", "4301:None > double", "4301:None > string", "4301:None > Date", "4301:None > Time",
        "4301:None > Timestamp", "4301:None > Binary"}},
      {"int", Variant(-12),
       {"-12", "-12", "\"-12\"", "4301:int > Date", "4301:int > Time", "4301:int > Timestamp",
        "4301:int > Binary"}},
      {"double", Variant(-3.99),
       {"-3", "-3.9900000000000002", "\"-3.99\"", "4301:double > Date", "4301:double > Time",
        "4301:double > Timestamp", "4301:double > Binary"}},
      {"date text", Variant(std::string("2024-02-29")),
       {"2024", "2024", "\"2024-02-29\"", "2024-02-29", "4301:2024-02-29 > Time", "4301:2024-02-29 > Timestamp",
        "4301:string > Binary"}},
      {"time text", Variant(std::string(" 08:15:30.5")),
       {"8", "8", "\" 08:15:30.5\"", "4301: 08:15:30.5 > Date", "4301: 08:15:30.5 > Time",
        "4301: 08:15:30.5 > Timestamp", "4301:string > Binary"}},
      {"timestamp text", Variant(std::string("2024-03-01T08:15:30.25")),
       {"2024", "2024", "\"2024-03-01T08:15:30.25\"", "4301:2024-03-01T08:15:30.25 > Date",
        "4301:2024-03-01T08:15:30.25 > Time", "2024-03-01 08:15:30+08:15:30+0.25", "4301:string > Binary"}},
      {"Date", Variant(Date(1999, 12, 31)),
       {"4301:Date > int", "4301:Date > double", "\"1999-12-31\"", "1999-12-31", "4301:Date > Time",
        "4301:Date > Timestamp", "4301:Date > Binary"}},
      {"Time", Variant(Time(7, 5, 3.5)),
       {"4301:Time > int", "4301:Time > double", "\"07:05:03\"", "4301:Time > Date", "07:05:03+0.5",
        "4301:Time > Timestamp", "4301:Time > Binary"}},
      {"Timestamp", Variant(Timestamp(-5, 3, 1, 23, 59, 58.75)),
       {"4301:Timestamp > int", "4301:Timestamp > double", "\"-005-03-01 23:59:58\"", "-005-03-01",
        "23:59:58+0.75", "-005-03-01 23:59:58+23:59:58+0.75", "4301:Timestamp > Binary"}},
      {"Binary", Variant(kBytes, 3),
       {"4301:Binary > int", "4301:Binary > double", "4301:Binary > string", "4301:Binary > Date",
        "4301:Binary > Time", "4301:Binary > Timestamp", "bytes 1 2 3"}},
  };
  return rows;
}

}  // namespace

TEST(Conversion, MatrixCellByCell) {
  for (const Row& row : matrix()) {
    for (int column = 0; column < kColumns; ++column) {
      EXPECT_EQ(convert(row.value, column), row.cells[column]) << row.name << ", column " << column;
    }
    EXPECT_EQ(row.value.length(), row.value.type() == Variant::vtBinary ? 3u : 0xFFFFFFFFu) << row.name;
  }
}

TEST(Conversion, CoerceConvertsOrReportsTheSameLegendAs4302) {
  const Variant::VariantType targets[kColumns] = {Variant::vtInt,  Variant::vtDouble,    Variant::vtString,
                                                  Variant::vtDate, Variant::vtTime,      Variant::vtTimestamp,
                                                  Variant::vtBinary};
  for (const Row& row : matrix()) {
    for (int column = 0; column < kColumns; ++column) {
      std::string expected = row.cells[column];
      if (expected.compare(0, 5, "4301:") == 0) expected.replace(0, 4, "4302");
      Variant result;
      const std::string failed = failure([&] { result = Variant::coerce(row.value, targets[column]); });
      if (failed != "no exception") {
        EXPECT_EQ(failed, expected) << row.name << " to " << targets[column];
        continue;
      }
      EXPECT_EQ(result.type(), targets[column]) << row.name;
      EXPECT_EQ(convert(result, column), expected) << row.name << " to " << targets[column];
    }
    EXPECT_EQ(failure([&] { Variant::coerce(row.value, Variant::vtNone); }),
              std::string("4302:") + kKindWords[row.value.type()] + " > None")
        << row.name;
  }
}

TEST(Conversion, CoerceOutOfRangeKindGivesNone) {
  for (int t : {8, 100, -1, INT_MIN}) {
    EXPECT_EQ(Variant::coerce(Variant(5), static_cast<Variant::VariantType>(t)).type(), Variant::vtNone) << t;
  }
}

TEST(Conversion, NumberRules) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double d;
    const char* text;
  } printed[] = {{0.1, "0.1"},      {1234567.0, "1.23457e+06"}, {100.0, "100"},     {0.00001, "1e-05"},
                 {123456.0, "123456"}, {-0.0, "-0"},          {999999.5, "1e+06"}, {2.0 / 3, "0.666667"},
                 {inf, "inf"},      {-inf, "-inf"},             {nan, "nan"}};
  for (const auto& c : printed) EXPECT_EQ(Variant(c.d).toString(), c.text);
  EXPECT_EQ(Variant(INT_MIN).toString(), "-2147483648");

  // double to int truncates; what no int holds is refused.
  const std::pair<double, int> truncated[] = {{3.99, 3}, {-3.99, -3}, {2147483647.9, INT_MAX}, {-2147483648.9, INT_MIN}};
  for (const auto& c : truncated) EXPECT_EQ(Variant(c.first).toInt(), c.second) << c.first;
  for (double bad : {2147483648.0, -2147483649.0, 1e300, nan, -inf}) {
    EXPECT_EQ(failure([&] { Variant(bad).toInt(); }), "4301:double > int") << bad;
  }

  // Text to int as atoi, saturating.
  const std::pair<const char*, int> read[] = {
      {"42abc", 42},         {"abc", 0},           {"", 0},           {" \t\n\v\f\r-17", -17},
      {"+5", 5},             {"+-5", 0},           {"- 5", 0},        {"2147483648", INT_MAX},
      {"-2147483648", INT_MIN}, {"-99999999999999999999", INT_MIN}, {"0x1F", 0}, {"\xA0" "5", 0}};
  for (const auto& c : read) EXPECT_EQ(Variant(std::string(c.first)).toInt(), c.second) << '"' << c.first << '"';
}

TEST(Conversion, TextToDoubleReadsWhatStrtodReads) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<const char*, double> cases[] = {
      {"0.5", 0.5},        {"  -1.25e3xyz", -1250.0}, {"+.5", 0.5},     {"5.", 5.0},       {".", 0.0},
      {"-", 0.0},          {"--1", 0.0},              {"-abc", 0.0},    {"1e+", 1.0},      {"1e-2", 0.01},
      {"0x1.8p1", 3.0},    {"0X1P-2", 0.25},          {"0x", 0.0},      {"0xg", 0.0},      {"0x.8", 0.5},
      {"-0x10", -16.0},    {"-0", -0.0},              {"inf", inf},     {"-Infinity", -inf}, {"INFINITE", inf},
      {"1e400", inf},      {"-1e400", -inf},          {"0.000000000000000000001e330", inf},
      {"-1e-400", -0.0},   {"0x1p-1080", 0.0},        {"4e-320", 4e-320}, {"0x1p-1074", 4.9406564584124654e-324},
      {"1000000000000000000000000000000e-20", 1e10},  {"0e99999999999999999999", 0.0},
      {"1e-99999999999999999999", 0.0},               {"\t\n 7", 7.0}, {"", 0.0},        {"1,5", 1.0}};
  for (const auto& c : cases) {
    const double got = Variant(std::string(c.first)).toDouble();
    EXPECT_EQ(got, c.second) << '"' << c.first << '"';
    EXPECT_EQ(std::signbit(got), std::signbit(c.second)) << '"' << c.first << '"';
  }
  for (const char* nan : {"nan", "-NaN", "nan(123)", "NaNx"}) {
    EXPECT_TRUE(std::isnan(Variant(std::string(nan)).toDouble())) << nan;
  }
}

namespace {

// A numeric punctuation with a decimal comma and thousands grouping.
struct CommaPunct : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

void expectClassicNumbers() {
  EXPECT_EQ(Variant(0.5).toString(), "0.5");
  EXPECT_EQ(Variant(1234567.0).toString(), "1.23457e+06");
  EXPECT_EQ(Variant(123456.0).toString(), "123456");
  EXPECT_EQ(Variant(1234567).toString(), "1234567");
  EXPECT_EQ(Variant(std::string("0.5")).toDouble(), 0.5);
  EXPECT_EQ(Variant(std::string("1,5")).toDouble(), 1.0);
  EXPECT_EQ(Variant(std::string("1.234")).toInt(), 1);
}

}  // namespace

TEST(Conversion, NumbersIgnoreTheLocale) {
  const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
  expectClassicNumbers();
  std::locale::global(saved);

  const std::string savedC = std::setlocale(LC_ALL, nullptr);
  const char* found = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252", "de-DE"}) {
    if ((found = std::setlocale(LC_ALL, name)) != nullptr) break;
  }
  if (found == nullptr || *std::localeconv()->decimal_point != ',') {
    std::setlocale(LC_ALL, savedC.c_str());
    GTEST_SKIP() << "no C locale with a decimal comma here (generate de_DE.UTF-8 to run this case)";
  }
  expectClassicNumbers();
  std::setlocale(LC_ALL, savedC.c_str());
}

TEST(Conversion, CurrentTimeFlagReadsTheLocalClockEveryTime) {
  const Variant date(Date(1999, 12, 31), true);
  const Variant time(Time(1, 2, 3.0), true);
  const Variant stamp(Timestamp(1999, 12, 31, 1, 2, 3.0), true);
  auto dateOf = [](const Timestamp& t) -> const Date& { return t; };
  auto timeOf = [](const Timestamp& t) -> const Time& { return t; };
  for (const Variant* v : {&date, &time, &stamp}) {
    // Bracketed by two readings of the clock, so a second passing between them does not matter.
    const Timestamp before = Timestamp::now(Brimsel::LOCAL);
    const Timestamp asStamp = v->toTimestamp();
    const Date asDate = v->toDate();
    const Time asTime = v->toTime();
    const Timestamp after = Timestamp::now(Brimsel::LOCAL);
    EXPECT_TRUE(before <= asStamp && asStamp <= after) << asStamp.asText();
    EXPECT_TRUE(dateOf(before) <= asDate && asDate <= dateOf(after)) << asDate.asText();
    EXPECT_TRUE(dateOf(before) != dateOf(after) || (timeOf(before) <= asTime && asTime <= timeOf(after)));
    // Coercion keeps one reading in an ordinary value.
    EXPECT_EQ(failure([&] { Variant::coerce(*v, Variant::vtDate).toTime(); }), "4301:Date > Time");
  }
  EXPECT_EQ(date.toString(), "1999-12-31");
  EXPECT_EQ(time.toString(), "01:02:03");
  EXPECT_EQ(stamp.toString(), "1999-12-31 01:02:03");
}
