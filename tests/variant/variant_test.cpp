// SPDX-License-Identifier: MIT
// Typed values: Variant (owned buffers, assignment, kind numbers, the
// conversion matrix, coercion, number rules, the current-time flag),
// Variable, expand and InitMap.
#include <brimsel/exception.h>
#include <brimsel/initmap.h>
#include <brimsel/util.h>
#include <brimsel/variable.h>
#include <brimsel/variant.h>

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <locale>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <vector>

using Brimsel::Date;
using Brimsel::InitMap;
using Brimsel::Time;
using Brimsel::Timestamp;
using Brimsel::Variable;
using Brimsel::VariableMap;
using Brimsel::Variant;

namespace {

// Runs `f`, which should fail with a non-fatal Brimsel::Exception, and returns
// "<code>:<legend>" so that a test compares both at once; "no exception" when
// `f` returns.
template <typename F>
std::string failure(F&& f) {
  try {
    f();
  } catch (const Brimsel::Exception& e) {
    EXPECT_FALSE(e.isFatal()) << e.legend();
    EXPECT_FALSE(e.file().empty()) << "raised without its source location: " << e.legend();
    return std::to_string(e.errorCode()) + ":" + e.legend();
  }
  return "no exception";
}

const unsigned char kBytes[] = {1, 2, 3};
const unsigned char kOwnBytes[] = {0x00, 0xFF, 0x7F, 0x80, 0x0A};
const char* const kKindWords[] = {"None", "int", "double", "string", "Date", "Time", "Timestamp", "Binary"};
const double kInf = std::numeric_limits<double>::infinity(), kNaN = std::numeric_limits<double>::quiet_NaN();
const unsigned int kNoLength = 0xFFFFFFFFu;

Variant text(const char* s) { return Variant(std::string(s)); }

// A buffer of its own holding the first `n` bytes of kOwnBytes.
bool holdsBytes(const Variant& v, unsigned int n) {
  return v.type() == Variant::vtBinary && v.length() == n && v.toBinary() != nullptr &&
         v.toBinary() != kOwnBytes && (n == 0 || std::memcmp(v.toBinary(), kOwnBytes, n) == 0);
}

enum Column { kInt, kDouble, kString, kDate, kTime, kTimestamp, kBinary, kColumns };

// One cell: the conversion's result as text (a time with its fraction apart),
// or "<code>:<legend>" of its refusal.
std::string convert(const Variant& v, int column) {
  std::ostringstream o;
  o.imbue(std::locale::classic());
  o.precision(17);
  auto time = [&o](const Time& t) { o << t.asText() << '+' << (t.second() - std::floor(t.second())); };
  const std::string failed = failure([&] {
    switch (column) {
      case kInt: o << v.toInt(); break;
      case kDouble: o << v.toDouble(); break;
      case kString: o << '"' << v.toString() << '"'; break;
      case kDate: o << v.toDate().asText(); break;
      case kTime: time(v.toTime()); break;
      case kTimestamp: o << v.toTimestamp().asText() << '+', time(v.toTimestamp()); break;
      default:
        o << "bytes";
        for (unsigned int i = 0; i < v.length(); ++i) o << ' ' << int(v.toBinary()[i]);
    }
  });
  return failed == "no exception" ? o.str() : failed;
}

struct Row {
  const char* name;
  Variant value;
  // A result, or the legend of a refusal (4301) after a '!'; a lone '!' is
  // the usual legend, "<row kind> > <column kind>".
  const char* cells[kColumns];
};

// Every cell of the conversion matrix.
const std::vector<Row>& matrix() {
  static const std::vector<Row> rows = {
      {"None", Variant(), {"!", "!", "!", "!", "!", "!", "!"}},
      {"int", Variant(-12), {"-12", "-12", "\"-12\"", "!", "!", "!", "!"}},
      {"double", Variant(-3.99), {"-3", "-3.9900000000000002", "\"-3.99\"", "!", "!", "!", "!"}},
      {"date text", Variant(std::string("2024-02-29")),
       {"2024", "2024", "\"2024-02-29\"", "2024-02-29", "!2024-02-29 > Time", "!2024-02-29 > Timestamp", "!"}},
      {"time text", Variant(std::string(" 08:15:30.5")),
       {"8", "8", "\" 08:15:30.5\"", "! 08:15:30.5 > Date", "! 08:15:30.5 > Time", "! 08:15:30.5 > Timestamp", "!"}},
      {"timestamp text", Variant(std::string("2024-03-01T08:15:30.25")),
       {"2024", "2024", "\"2024-03-01T08:15:30.25\"", "!2024-03-01T08:15:30.25 > Date",
        "!2024-03-01T08:15:30.25 > Time", "2024-03-01 08:15:30+08:15:30+0.25", "!"}},
      {"Date", Variant(Date(1999, 12, 31)), {"!", "!", "\"1999-12-31\"", "1999-12-31", "!", "!", "!"}},
      {"Time", Variant(Time(7, 5, 3.5)), {"!", "!", "\"07:05:03\"", "!", "07:05:03+0.5", "!", "!"}},
      {"Timestamp", Variant(Timestamp(-5, 3, 1, 23, 59, 58.75)),
       {"!", "!", "\"-005-03-01 23:59:58\"", "-005-03-01", "23:59:58+0.75", "-005-03-01 23:59:58+23:59:58+0.75", "!"}},
      {"Binary", Variant(kBytes, 3), {"!", "!", "!", "!", "!", "!", "bytes 1 2 3"}}};
  return rows;
}

// The cell of `row` in `column` as a conversion (4301) or coerce (4302) reports it.
std::string expected(const Row& row, int column, const char* code) {
  const char* cell = row.cells[column];
  if (cell[0] != '!') return cell;
  const std::string usual = std::string(kKindWords[row.value.type()]) + " > " + kKindWords[column + 1];
  return std::string(code) + ":" + (cell[1] != 0 ? cell + 1 : usual);
}

}  // namespace

TEST(Conversion, MatrixCellByCell) {
  for (const Row& row : matrix()) {
    for (int column = 0; column < kColumns; ++column) {
      EXPECT_EQ(convert(row.value, column), expected(row, column, "4301")) << row.name << ", column " << column;
    }
    EXPECT_EQ(row.value.length(), row.value.type() == Variant::vtBinary ? 3u : 0xFFFFFFFFu) << row.name;
  }
}

// Every cell again through coerce: the same value in a Variant of the column's
// kind, or the same legend as 4302; to vtNone always fails, beyond 7 gives vtNone.
TEST(Conversion, CoerceConvertsOrReportsTheSameLegendAs4302) {
  for (const Row& row : matrix()) {
    for (int column = 0; column < kColumns; ++column) {
      const auto target = static_cast<Variant::VariantType>(column + 1);
      Variant result;
      std::string got = failure([&] { result = Variant::coerce(row.value, target); });
      if (got == "no exception") got = result.type() == target ? convert(result, column) : "wrong kind";
      EXPECT_EQ(got, expected(row, column, "4302")) << row.name << " to " << target;
    }
    EXPECT_EQ(failure([&] { Variant::coerce(row.value, Variant::vtNone); }),
              std::string("4302:") + kKindWords[row.value.type()] + " > None");
  }
  for (int t : {8, 100, -1, INT_MIN}) {
    EXPECT_EQ(Variant::coerce(Variant(5), static_cast<Variant::VariantType>(t)).type(), Variant::vtNone) << t;
  }
}

TEST(Conversion, NumberRules) {
  const std::pair<double, const char*> printed[] = {
      {0.1, "0.1"},     {1234567.0, "1.23457e+06"}, {100.0, "100"},       {0.00001, "1e-05"}, {123456.0, "123456"},
      {-0.0, "-0"},     {999999.5, "1e+06"},        {2.0 / 3, "0.666667"}, {kInf, "inf"},     {-kInf, "-inf"},
      {kNaN, "nan"}};
  for (const auto& c : printed) EXPECT_EQ(Variant(c.first).toString(), c.second);
  EXPECT_EQ(Variant(INT_MIN).toString(), "-2147483648");
  // double to int truncates; what no int holds is refused.
  const std::pair<double, int> truncated[] = {
      {3.99, 3}, {-3.99, -3}, {2147483647.9, INT_MAX}, {-2147483648.9, INT_MIN}};
  for (const auto& c : truncated) EXPECT_EQ(Variant(c.first).toInt(), c.second) << c.first;
  for (double bad : {2147483648.0, -2147483649.0, 1e300, kNaN, -kInf}) {
    EXPECT_EQ(failure([&] { Variant(bad).toInt(); }), "4301:double > int") << bad;
  }
  // Text to int as atoi, saturating.
  const std::pair<const char*, int> read[] = {
      {"42abc", 42},  {"abc", 0},     {"", 0},       {" \t\n\v\f\r-17", -17}, {"+5", 5},        {"+-5", 0},
      {"- 5", 0},     {"0x1F", 0},    {"\xA0" "5", 0}, {"2147483648", INT_MAX}, {"-2147483648", INT_MIN},
      {"-99999999999999999999", INT_MIN}};
  for (const auto& c : read) EXPECT_EQ(text(c.first).toInt(), c.second) << '"' << c.first << '"';
}

TEST(Conversion, TextToDoubleReadsWhatStrtodReads) {
  const std::pair<const char*, double> cases[] = {
      {"0.5", 0.5},        {"  -1.25e3xyz", -1250.0}, {"+.5", 0.5},     {"5.", 5.0},       {".", 0.0},
      {"-", 0.0},          {"--1", 0.0},              {"-abc", 0.0},    {"1e+", 1.0},      {"1e-2", 0.01},
      {"0x1.8p1", 3.0},    {"0X1P-2", 0.25},          {"0x", 0.0},      {"0xg", 0.0},      {"0x.8", 0.5},
      {"-0x10", -16.0},    {"-0", -0.0},              {"inf", kInf},    {"-Infinity", -kInf}, {"INFINITE", kInf},
      {"1e400", kInf},     {"-1e400", -kInf},         {"0.000000000000000000001e330", kInf},
      {"-1e-400", -0.0},   {"0x1p-1080", 0.0},        {"4e-320", 4e-320}, {"0x1p-1074", 4.9406564584124654e-324},
      {"1000000000000000000000000000000e-20", 1e10},  {"0e99999999999999999999", 0.0},
      {"1e-99999999999999999999", 0.0},               {"\t\n 7", 7.0}, {"", 0.0},        {"1,5", 1.0}};
  for (const auto& c : cases) {
    const double got = text(c.first).toDouble();
    EXPECT_TRUE(got == c.second && std::signbit(got) == std::signbit(c.second)) << '"' << c.first << "\" " << got;
  }
  for (const char* nan : {"nan", "-NaN", "nan(123)", "NaNx"}) {
    EXPECT_TRUE(std::isnan(text(nan).toDouble())) << nan;
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
  EXPECT_EQ(Variant(0.5).toString() + " " + Variant(1234567.0).toString() + " " + Variant(1234567).toString(),
            "0.5 1.23457e+06 1234567");
  EXPECT_TRUE(text("0.5").toDouble() == 0.5 && text("1,5").toDouble() == 1.0 && text("1.234").toInt() == 1);
}

}  // namespace

// Under a C++ global locale and, where the machine has one, a C locale with a decimal comma.
TEST(Conversion, NumbersIgnoreTheLocale) {
  const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
  expectClassicNumbers();
  std::locale::global(saved);
  const std::string savedC = std::setlocale(LC_ALL, nullptr);
  const char* found = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252", "de-DE"}) {
    if ((found = std::setlocale(LC_ALL, name)) != nullptr) break;
  }
  const bool comma = found != nullptr && *std::localeconv()->decimal_point == ',';
  if (comma) expectClassicNumbers();
  std::setlocale(LC_ALL, savedC.c_str());
  if (!comma) GTEST_SKIP() << "no C locale with a decimal comma here (generate de_DE.UTF-8 to run this case)";
}

// Each flagged value reads the local clock on every call (bracketed by two
// readings, so a second passing between them does not matter); its text and a
// coercion keep the stored value.
TEST(Conversion, CurrentTimeFlagReadsTheLocalClockEveryTime) {
  const Variant date(Date(1999, 12, 31), true), time(Time(1, 2, 3.0), true);
  const Variant stamp(Timestamp(1999, 12, 31, 1, 2, 3.0), true);
  for (const Variant* v : {&date, &time, &stamp}) {
    const Timestamp before = Timestamp::now(Brimsel::LOCAL);
    const Timestamp asStamp = v->toTimestamp();
    const Date asDate = v->toDate();
    const Time asTime = v->toTime();
    const Timestamp after = Timestamp::now(Brimsel::LOCAL);
    const Date &dayBefore = before, &dayAfter = after;
    const Time &timeBefore = before, &timeAfter = after;
    EXPECT_TRUE(before <= asStamp && asStamp <= after) << asStamp.asText();
    EXPECT_TRUE(dayBefore <= asDate && asDate <= dayAfter) << asDate.asText();
    EXPECT_TRUE(dayBefore != dayAfter || (timeBefore <= asTime && asTime <= timeAfter)) << asTime.asText();
    EXPECT_EQ(failure([&] { Variant::coerce(*v, Variant::vtDate).toTime(); }), "4301:Date > Time");
  }
  EXPECT_EQ(date.toString() + " " + time.toString() + " " + stamp.toString(),
            "1999-12-31 01:02:03 1999-12-31 01:02:03");
}

TEST(Variant, BinaryBuffersAreOwnedAndLengthZeroIsReal) {
  const Variant empty(kOwnBytes, 0), other(kOwnBytes, 0);
  EXPECT_TRUE(holdsBytes(empty, 0) && holdsBytes(Variant(empty), 0));
  EXPECT_NE(empty.toBinary(), other.toBinary());
  const Variant none(nullptr, kNoLength);  // the pointer is not read
  EXPECT_TRUE(none.type() == Variant::vtBinary && none.toBinary() == nullptr && Variant(none).toBinary() == nullptr);
  EXPECT_EQ(Variant::coerce(none, Variant::vtBinary).length(), kNoLength);

  auto source = std::make_unique<Variant>(kOwnBytes, sizeof kOwnBytes);
  const Variant copy(*source);
  Variant assigned(7);
  assigned = *source;
  const Variant coerced = Variant::coerce(*source, Variant::vtBinary);
  const unsigned char* buffers[] = {source->toBinary(), copy.toBinary(), assigned.toBinary(), coerced.toBinary()};
  source.reset();  // a shared buffer would now be freed under the others (ASan sees it)
  EXPECT_TRUE(holdsBytes(copy, 5) && holdsBytes(assigned, 5) && holdsBytes(coerced, 5));
  EXPECT_EQ(std::set<const unsigned char*>(std::begin(buffers), std::end(buffers)).size(), 4u);
}

TEST(Variant, AssignmentReplacesEveryFieldAndIgnoresItself) {
  Variant v(kOwnBytes, sizeof kOwnBytes);
  const unsigned char* buffer = v.toBinary();
  Variant& alias = v;
  EXPECT_EQ(&(v = alias), &v);
  EXPECT_TRUE(v.toBinary() == buffer && holdsBytes(v, sizeof kOwnBytes));
  v = Variant(7);  // over a binary
  EXPECT_EQ(v.length(), kNoLength);
  EXPECT_EQ(failure([&] { v.toBinary(); }), "4301:int > Binary");
  // The current-time flag goes along with an assignment and away with the next.
  v = Variant(Date(1999, 12, 31), true);
  EXPECT_NE(v.toDate(), Date(1999, 12, 31));
  v = Variant(std::string("1999-12-31"));
  EXPECT_EQ(v.toDate(), Date(1999, 12, 31));
}

TEST(Variant, TypeFromIntAndText) {
  for (int n = 0; n <= 7; ++n) EXPECT_EQ(Variant::typeFromInt(n), n);
  for (int n : {8, -1, INT_MIN}) EXPECT_EQ(failure([&] { Variant::typeFromInt(n); }), "4300:" + std::to_string(n));
  // Read as atoi reads; a failure reports the whole text.
  const std::pair<const char*, int> good[] = {{"6", 6},  {" 2", 2},  {"3 apples", 3}, {"int", 0},   {"Binary", 0},
                                              {"", 0},   {"+7", 7},  {"\t\n 1x", 1},  {"-0", 0},    {"0007", 7}};
  for (const auto& c : good) EXPECT_EQ(Variant::typeFromText(c.first), c.second) << '"' << c.first << '"';
  for (const char* bad : {"42", "9 lives", "-1", "8", "99999999999999999999", "-99999999999999999999"}) {
    EXPECT_EQ(failure([&] { Variant::typeFromText(bad); }), std::string("4300:") + bad);
  }
}

namespace {

// The expansion done the obvious way: replace the leftmost reference and
// search again from the front. Returns "=<result>" or "<code>:<legend>"; more
// than `limit` replacements, which only a self-referring value needs, is 3001.
std::string restartAtTheFront(const std::string& templ, const VariableMap& vars, int limit) {
  std::string s = templ;
  try {
    for (int n = 0; n < limit; ++n) {
      const std::size_t open = s.find("$(");
      if (open == std::string::npos) return "=" + s;
      const std::size_t close = s.find(')', open);
      if (close == std::string::npos) return "3001:" + templ;
      const auto found = vars.find(s.substr(open + 2, close - open - 2));
      if (found == vars.end()) return "3002:" + s.substr(open + 2, close - open - 2);
      s.replace(open, close - open + 1, found->second.toString());
    }
  } catch (const Brimsel::Exception& e) {
    return std::to_string(e.errorCode()) + ":" + e.legend();
  }
  return "3001:" + templ;
}

// "=<result>" of an expansion, or "<code>:<legend>" of its failure.
std::string expanded(const std::string& templ, const VariableMap& vars) {
  std::string result;
  const std::string failed = failure([&] { result = "=" + Brimsel::expand(templ, vars); });
  return failed == "no exception" ? result : failed;
}

}  // namespace

TEST(Expand, ReplacesReferencesLeftmostFirstOrNamesTheCause) {
  const VariableMap vars = {
      {"x", Variant(5)}, {"s", text("$(x)")}, {"p", text("(y)")}, {"y", Variant(1)}, {"", text("empty")},
      {"a$(b", text("odd")}, {"d", Variant(Date(1999, 12, 31), true)}, {"q", text("$")}, {"e", text("")},
      {"Y", text("upper")}, {" y", text("blank")}, {"open", text("$(x")}, {"none", Variant()},
      {"bin", Variant(reinterpret_cast<const unsigned char*>("ab"), 2)}, {"self", text("a$(self)")},
      {"ping", text("$(pong)")}, {"pong", text("[$(ping)]")}, {"joined", text("$(q)(joined)")}};
  const std::pair<const char*, const char*> cases[] = {
      {"", "="}, {"no references ) $ ( $ (", "=no references ) $ ( $ ("}, {"a$(x)b", "=a5b"}, {"$(x)$(x)", "=55"},
      {"[$(s)]", "=[5]"}, {"$()", "=empty"}, {"$(a$(b))", "=odd)"}, {"$(Y)$( y)", "=upperblank"}, {"$$$(x)", "=$$5"},
      {"$$(p)", "=1"},           // the "$" before joins the "(" that the value begins with
      {"$(q)(x)", "=5"},         // a value ending in "$" joins the "(" behind it
      {"$$(e)(y)", "=1"},        // so does a "$" before an empty value
      {"$(q)$(e)(x)", "=5"}, {"$(d)", "=1999-12-31"},  // the stored date, not the clock
      {"$(x", "3001:$(x"}, {"ok $(x) $(open) more", "3001:ok $(x) $(open) more"}, {"$(", "3001:$("},
      {"$(nope)", "3002:nope"}, {"$(X)", "3002:X"}, {"$(none)", "4301:None > string"},
      {"$(bin)", "4301:Binary > string"},
      {"<$(self)>", "3001:<$(self)>"},  // direct cycle
      {"$(ping)", "3001:$(ping)"},      // indirect cycle
      {"$(joined)", "3001:$(joined)"}};  // a cycle only through a joining "$"
  for (const auto& c : cases) EXPECT_EQ(expanded(c.first, vars), c.second) << c.first;
}

TEST(Expand, DeepButFiniteNestingIsNoCycle) {
  VariableMap vars;
  for (int i = 0; i < 900; ++i) vars["v" + std::to_string(i)] = text(("<$(v" + std::to_string(i + 1) + ")").c_str());
  vars["v900"] = text("end");
  EXPECT_EQ(Brimsel::expand("$(v0)", vars), std::string(900, '<') + "end");

  // Each value opens a reference that the template closes: long, not deep.
  vars["open"] = text("$(");
  std::string templ = "$(open)";
  for (int i = 0; i < 3000; ++i) templ += "open)";
  EXPECT_EQ(Brimsel::expand(templ + "v900)", vars), "end");
}

// Random templates and values over the characters that matter, compared with
// the restart-at-the-front expansion: same result, or same failure.
TEST(Expand, SameAsRestartingAtTheFront) {
  std::mt19937 random(20240229);
  const char alphabet[] = "$$$(()))ab";
  auto randomText = [&](int maxLength) {
    std::string s(random() % (maxLength + 1), ' ');
    for (char& c : s) c = alphabet[random() % (sizeof alphabet - 1)];
    return s;
  };
  for (int round = 0; round < 3000; ++round) {
    VariableMap vars;
    for (const char* name : {"a", "b", "", "(", "$", "a$(b"}) vars[name] = Variant(randomText(6));
    if (round % 5 == 0) vars["b"] = Variant(round);
    const std::string templ = randomText(14);
    EXPECT_EQ(expanded(templ, vars), restartAtTheFront(templ, vars, 2000)) << templ;
  }
}

TEST(Variable, AssignmentKeepsANameAndTakesOneOnlyWhenUnnamed) {
  const Variable b("b", Variant(Date(1999, 12, 31), true));
  Variable a("a", Variant(1)), unnamed;
  a = b;
  unnamed = b;
  EXPECT_EQ(a.name + unnamed.name + Variable(b).name, "abb");
  const Variable* all[] = {&a, &unnamed, &b};
  for (const Variable* v : all) {
    EXPECT_EQ(v->toString(), "1999-12-31");
    EXPECT_NE(v->toDate(), Date(1999, 12, 31)) << "the current-time flag comes along";
  }
}

// Written in byte order, nothing trimmed, no outer line feeds; read forgivingly.
TEST(InitMap, WritesSortedLinesAndReadsForgivingly) {
  EXPECT_EQ(InitMap().initString(), "");
  const InitMap map = {{"b", "2"}, {"a", "1"}, {"B", " x\r"}, {"a\xE9", ""}};
  EXPECT_EQ(map.initString(), "B\t x\r\na\t1\na\xE9\t\nb\t2");
  const std::pair<const char*, InitMap> cases[] = {
      {"", {}}, {"\n\n", {}}, {"b\t2\n\n\na\t1\n", {{"a", "1"}, {"b", "2"}}}, {"k\tv1\nk\tv2", {{"k", "v1"}}},
      {"k\t\t\tv", {{"k", "v"}}}, {"\tk\tv", {{"k", "v"}}}, {"k\tv\tw", {{"k", "v"}}}, {"k\t", {}}, {"k", {}},
      {"\t\t", {}}, {"k\tv\r\n", {{"k", "v\r"}}}, {" k \t v ", {{" k ", " v "}}},
      {"no tab\nx\ty\n\tonly\n", {{"x", "y"}}}, {"a=b\tc#d", {{"a=b", "c#d"}}}};
  for (const auto& c : cases) EXPECT_EQ(InitMap::fromInitString(c.first), c.second) << '"' << c.first << '"';
}

TEST(InitMap, RoundTripsMapsWithoutEmptyFieldsTabsOrLineFeeds) {
  std::mt19937 random(7);
  const char alphabet[] = "ab \r=\xFF";
  auto randomText = [&] {
    std::string s(1 + random() % 4, ' ');
    for (char& c : s) c = alphabet[random() % (sizeof alphabet - 1)];
    return s;
  };
  for (int round = 0; round < 300; ++round) {
    InitMap map;
    for (int i = static_cast<int>(random() % 6); i > 0; --i) map[randomText()] = randomText();
    EXPECT_EQ(InitMap::fromInitString(map.initString()), map) << map.initString();
  }
  // What does not survive: an empty value, a tab or a line feed in a value.
  const InitMap lossy = {{"e", ""}, {"t", "1\t2"}, {"n", "3\nx\t4"}};
  EXPECT_EQ(InitMap::fromInitString(lossy.initString()), (InitMap{{"n", "3"}, {"t", "1"}, {"x", "4"}}));
}
