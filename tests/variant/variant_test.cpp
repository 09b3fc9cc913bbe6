// SPDX-License-Identifier: MIT
// Variant: the conversion matrix and its legends, number texts against the C
// library on random input, owned buffers, assignment that fails cleanly, the
// current-time flag, kind numbers; Variable's names; expand against the
// restart-at-the-front reference and its limits; InitMap's init string.
#include <brimsel/initmap.h>
#include <brimsel/util.h>
#include <brimsel/variable.h>
#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <sstream>

#include "allocations.h"
#include "reference/text.h"
#include "support.h"

#if defined(__linux__)
#include "child.h"
#endif

using namespace Brimsel;
using std::string;
using support::raised;

namespace {

const char* const kKinds[] = {"None", "int",  "double",    "string",
                              "Date", "Time", "Timestamp", "Binary"};
const unsigned char kBytes[] = {0, 0xFF, 7};
#if defined(_WIN32)
const bool kWindows = true;
#else
const bool kWindows = false;
#endif

// A conversion's result as text (a time with its fraction), or "<code>:<legend>".
string convert(const Variant& v, int kind) {
  std::ostringstream o;
  o.precision(17);
  auto time = [&o](const Time& t) {
    o << t.asText() << '+' << t.second() - std::floor(t.second());
  };
  const string outcome = raised([&] {
    switch (kind) {
      case 1:
        o << v.toInt();
        break;
      case 2:
        o << v.toDouble();
        break;
      case 3:
        o << '"' << v.toString() << '"';
        break;
      case 4:
        o << v.toDate().asText();
        break;
      case 5:
        time(v.toTime());
        break;
      case 6:
        o << v.toTimestamp().asText() << ' ', time(v.toTimestamp());
        break;
      default:
        for (unsigned i = 0; i < v.length(); ++i) o << int(v.toBinary()[i]) << ' ';
    }
  });
  return outcome == "ok" ? o.str() : outcome;
}

// Each cell, converted and through coerce: a '!' is the legend of a refusal
// (4301, or 4302 from coerce), a lone '!' the usual "<kind> > <kind>".
TEST(Variant, ConversionMatrixAndCoerce) {
  const struct {
    Variant value;
    const char* cells[7];
  } rows[] = {
      {Variant(), {"!", "!", "!", "!", "!", "!", "!"}},
      {Variant(-12), {"-12", "-12", "\"-12\"", "!", "!", "!", "!"}},
      {Variant(-3.99), {"-3", "-3.9900000000000002", "\"-3.99\"", "!", "!", "!", "!"}},
      {Variant(string("2024-02-29")),
       {"2024", "2024", "\"2024-02-29\"", "2024-02-29", "!2024-02-29 > Time",
        "!2024-02-29 > Timestamp", "!"}},
      {Variant(string("2024-03-01T08:15:30.25")),
       {"2024", "2024", "\"2024-03-01T08:15:30.25\"", "!2024-03-01T08:15:30.25 > Date",
        "!2024-03-01T08:15:30.25 > Time", "2024-03-01 08:15:30 08:15:30+0.25", "!"}},
      {Variant(Date(1999, 12, 31)), {"!", "!", "\"1999-12-31\"", "1999-12-31", "!", "!", "!"}},
      {Variant(Time(7, 5, 3.5)), {"!", "!", "\"07:05:03\"", "!", "07:05:03+0.5", "!", "!"}},
      {Variant(Timestamp(-5, 3, 1, 23, 59, 58.75)),
       {"!", "!", "\"-005-03-01 23:59:58\"", "-005-03-01", "23:59:58+0.75",
        "-005-03-01 23:59:58 23:59:58+0.75", "!"}},
      {Variant(kBytes, 3), {"!", "!", "!", "!", "!", "!", "0 255 7 "}}};
  for (const auto& row : rows) {
    const string from = kKinds[row.value.type()];
    for (int kind = 1; kind <= 7; ++kind) {
      const string cell = row.cells[kind - 1];
      const string legend = cell.size() > 1 ? cell.substr(1) : from + " > " + kKinds[kind];
      EXPECT_EQ(convert(row.value, kind), cell[0] == '!' ? "4301:" + legend : cell)
          << from << " " << kind;
      Variant coerced;
      string got = raised(
          [&] { coerced = Variant::coerce(row.value, static_cast<Variant::VariantType>(kind)); });
      if (got == "ok") got = coerced.type() == kind ? convert(coerced, kind) : "wrong kind";
      EXPECT_EQ(got, cell[0] == '!' ? "4302:" + legend : cell) << from << " to " << kind;
    }
    EXPECT_EQ(raised([&] { Variant::coerce(row.value, Variant::vtNone); }),
              "4302:" + from + " > None");
    EXPECT_EQ(row.value.length(), row.value.type() == Variant::vtBinary ? 3u : Variant::nNO_LENGTH);
  }
  for (int kind : {8, -1, INT_MIN})
    EXPECT_EQ(Variant::coerce(Variant(5), Variant::VariantType(kind)).type(), 0);
}

// A number text read as the C library reads it, and the double written as a
// classic stream writes it.
void expectReadAsStrtod(const string& text) {
  const double got = Variant(text).toDouble(), expected = std::strtod(text.c_str(), nullptr);
  // The Microsoft runtime's strtod gives -0 for a signed text without digits, which C reads as +0.
  ASSERT_TRUE(std::memcmp(&got, &expected, sizeof got) == 0 ||
              (std::isnan(got) && std::isnan(expected)) || (kWindows && got == expected))
      << '"' << text << "\" " << got << " " << expected;
  const long long wide = std::strtoll(text.c_str(), nullptr, 10);
  ASSERT_EQ(Variant(text).toInt(), wide < INT_MIN   ? INT_MIN
                                   : wide > INT_MAX ? INT_MAX
                                                    : wide)
      << text;
  std::ostringstream printed;
  printed << got;
  ASSERT_TRUE(std::isnan(got) || Variant(got).toString() == printed.str()) << got;
}

// Random texts: long mantissas, far exponents, hexadecimal, words. Then
// what the generator does not make: many zeros after the point and a far
// exponent, out of range only by both together. Doubles to int at random.
TEST(Variant, NumbersAgreeWithTheCLibrary) {
  std::mt19937 rng(11);
  auto pick = [&](const char* options) { return options[rng() % std::strlen(options)]; };
  for (int round = 0; round < 30000; ++round) {
    string text = string(rng() % 2, pick(" \t\n")) + string(rng() % 2, pick("+-"));
    const bool hex = rng() % 4 == 0;
    text += hex ? "0x" : rng() % 8 == 0 ? pick("iInN") == 'n' ? "nan" : "InFinity" : "";
    for (unsigned n = rng() % 3 == 0 ? rng() % 700 : rng() % 20; n > 0; --n)
      text += pick(hex ? "0000189aF." : "00000123456789.");
    if (rng() % 2) text += string(1, pick(hex ? "pP" : "eE")) + string(rng() % 2, pick("+-"));
    for (unsigned n = rng() % 6; n > 0; --n) text += pick("0123456789");
    expectReadAsStrtod(text + string(rng() % 2, pick("x.e5")));
    const double edges[] = {2147483647.75, 2147483648.0, -2147483648.75, -2147483649.0};
    const double d = round < 4 ? edges[round]
                               : std::ldexp(static_cast<double>(rng()) - 2147483648.0,
                                            static_cast<int>(rng() % 3)) +
                                     (rng() % 4) / 4.0;
    ASSERT_EQ(raised([&] { ASSERT_EQ(Variant(d).toInt(), static_cast<int>(d)); }),
              d > -2147483649.0 && d < 2147483648.0 ? "ok" : "4301:double > int")
        << d;
  }
  for (const string& text :
       {"0." + string(1328, '0') + "1e1000", "0." + string(1310, '0') + "1e1000",
        "0x0." + string(300, '0') + "1p1200", "-0." + string(700, '0') + "1e1020"}) {
    expectReadAsStrtod(text);
  }
  EXPECT_EQ(
      Variant(std::numeric_limits<double>::quiet_NaN()).toString() + Variant(-HUGE_VAL).toString(),
      "nan-inf");
  EXPECT_EQ(raised([] { Variant(std::nan("")).toInt(); }), "4301:double > int");
  // A C locale with a decimal comma, where the machine has one, changes nothing.
  const string saved = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr ||
      std::setlocale(LC_ALL, "German_Germany.1252") != nullptr) {
    EXPECT_EQ(Variant(0.5).toString() + Variant(1234567.0).toString() +
                  Variant(Variant(string("1.5")).toDouble()).toString(),
              "0.51.23457e+061.5");
  }
  std::setlocale(LC_ALL, saved.c_str());
}

// Copies own their buffer (a shared one would be freed under them, which the
// address sanitizer sees); an assignment whose allocation fails changes nothing.
TEST(Variant, BuffersAreOwnedAndAFailedAssignmentChangesNothing) {
  const Variant none(nullptr, Variant::nNO_LENGTH), empty(kBytes, 0);
  EXPECT_TRUE(none.toBinary() == nullptr && Variant(none).toBinary() == nullptr &&
              empty.toBinary() != nullptr);
  auto source = std::make_unique<Variant>(kBytes, 3);
  Variant copy(*source), assigned(7), text(string(200, 'x'));
  assigned = *source;
  const Variant coerced = Variant::coerce(*source, Variant::vtBinary);
  EXPECT_TRUE(copy.toBinary() != source->toBinary() && assigned.toBinary() != source->toBinary());
  source.reset();
  for (const Variant* v : std::initializer_list<const Variant*>{&copy, &assigned, &coerced})
    EXPECT_EQ(convert(*v, 7), "0 255 7 ");
  const unsigned char* buffer = copy.toBinary();
  bool failed = false;
  support::failNextAllocation();
  try {
    copy = text;
  } catch (const std::bad_alloc&) {
    failed = true;
  }
  support::failNextAllocation(false);
  if (!failed) GTEST_SKIP() << "the library's allocations cannot fail here";
  EXPECT_EQ(copy.toBinary(), buffer);
  EXPECT_EQ(convert(Variant(copy), 7), "0 255 7 ");
  support::failNextAllocation();
  EXPECT_THROW(text = copy, std::bad_alloc);
  EXPECT_EQ(text.toString() + std::to_string(text.length()), string(200, 'x') + "4294967295");
  assigned = Variant(7);
  EXPECT_EQ(raised([&] { assigned.toBinary(); }) + std::to_string(assigned.length()),
            "4301:int > Binary4294967295");
}

// Flagged values read the local clock at every call (bracketed by two
// readings); their text, a coercion and an unflagged assignment keep the
// stored value. A Variable keeps its name in an assignment, and takes one
// only when it has none.
TEST(Variant, CurrentTimeFlagReadsTheLocalClockEveryTime) {
  const Variant date(Date(1999, 12, 31), true), time(Time(1, 2, 3.0), true);
  const Variable stamp("s", Variant(Timestamp(1999, 12, 31, 1, 2, 3.0), true));
  for (const Variant* v : {&date, &time, static_cast<const Variant*>(&stamp)}) {
    const Timestamp before = Timestamp::now(LOCAL);
    const Timestamp asStamp = v->toTimestamp();
    const Date asDate = v->toDate();
    const Time asTime = v->toTime();
    const Timestamp after = Timestamp::now(LOCAL);
    EXPECT_TRUE(before <= asStamp && asStamp <= after && Date(before) <= asDate &&
                asDate <= Date(after))
        << asStamp.asText();
    EXPECT_TRUE(Date(before) != Date(after) || (Time(before) <= asTime && asTime <= Time(after)))
        << asTime.asText();
    EXPECT_EQ(raised([&] { Variant::coerce(*v, Variant::vtDate).toTime(); }), "4301:Date > Time");
  }
  EXPECT_EQ(date.toString() + " " + time.toString() + " " + stamp.toString(),
            "1999-12-31 01:02:03 1999-12-31 01:02:03");
  Variant v = date;
  v = Variant(string("1999-12-31"));
  EXPECT_EQ(v.toDate(), Date(1999, 12, 31));
  Variable a("a", Variant(1)), unnamed;
  a = stamp;
  unnamed = stamp;
  a = static_cast<const Variable&>(a);
  EXPECT_EQ(a.name + unnamed.name + Variable(stamp).name, "ass");
  for (const Variable* named : {&a, &unnamed})
    EXPECT_NE(named->toDate(), Date(1999, 12, 31)) << "the flag comes along";
}

TEST(Variant, KindNumbersFromIntAndText) {
  for (int n = 0; n <= 7; ++n) EXPECT_EQ(Variant::typeFromInt(n), n);
  for (int n : {8, -1, INT_MIN})
    EXPECT_EQ(raised([&] { Variant::typeFromInt(n); }), "4300:" + std::to_string(n));
  const std::pair<const char*, int> good[] = {
      {" 2", 2}, {"3 apples", 3}, {"int", 0}, {"+7", 7}, {"0007", 7}};
  for (const auto& [text, kind] : good) EXPECT_EQ(Variant::typeFromText(text), kind) << text;
  for (const char* bad : {"9 lives", "-1", "8", "99999999999999999999"}) {
    EXPECT_EQ(raised([&] { Variant::typeFromText(bad); }), string("4300:") + bad);
  }
}

// "=<result>" of an expansion, or "<code>:<legend>" of its failure.
string expanded(const string& templ, const VariableMap& vars) {
  string result;
  const string outcome = raised([&] { result = "=" + expand(templ, vars); });
  return outcome == "ok" ? result : outcome;
}

// Values nested in values as deep as there are names expand: only a name
// that recurs inside its own text is a cycle; it may recur beside it.
TEST(Expand, TheCasesCallersMeet) {
  VariableMap vars = {{"x", Variant(5)},
                      {"s", Variant(string("$(x)"))},
                      {"d", Variant(Date(1999, 12, 31), true)},
                      {"none", Variant()},
                      {"bin", Variant(nullptr, 0)},
                      {"self", Variant(string("a$(self)"))},
                      {"ping", Variant(string("$(pong)"))},
                      {"pong", Variant(string("[$(ping)]"))},
                      {"two", Variant(string("<$(s)$(s)>"))},
                      {"open", Variant(string("$("))}};
  const std::pair<const char*, const char*> cases[] = {
      {"a$(x)b$(s)", "=a5b5"},
      {"$(d)", "=1999-12-31"},  // the stored date, not the clock
      {"ok $(x) $(x", "3001:ok $(x) $(x"},
      {"$(X)", "3002:X"},
      {"$(none)", "4301:None > string"},
      {"$(bin)", "4301:Binary > string"},
      {"<$(self)>", "3001:<$(self)>"},
      {"$(ping)", "3001:$(ping)"},
      {"$(two)$(two)", "=<55><55>"},
      {"$(open)x)", "=5"}};
  for (const auto& [templ, expected] : cases) EXPECT_EQ(expanded(templ, vars), expected) << templ;
  for (int i = 0; i <= 1000; ++i)
    vars["v" + std::to_string(i)] = Variant("<$(v" + std::to_string(i + 1) + ")");
  vars["v1000"] = Variant(string("end"));
  EXPECT_EQ(expanded("$(v0)", vars), "=" + string(1000, '<') + "end");
  vars["v1000"] = Variant(string("$(v500)"));
  EXPECT_EQ(expanded("$(v0)", vars), "3001:$(v0)");
}

// The characters that matter, with names that hold "$(", ")" and nothing.
TEST(Expand, SameAsRestartingAtTheFront) {
  std::mt19937 rng(20240229);
  auto randomText = [&](unsigned max) {
    string s(rng() % (max + 1), ' ');
    for (char& c : s) c = "$$$(()))ab"[rng() % 10];
    return s;
  };
  for (int round = 0; round < 5000; ++round) {
    VariableMap vars;
    for (const char* name : {"a", "b", "", "(", "$", "a$(b"}) vars[name] = Variant(randomText(6));
    if (round % 5 == 0) vars["b"] = Variant(round);
    const string templ = randomText(14), expected = reference::expand(templ, vars, 2000);
    EXPECT_EQ(expanded(templ, vars), expected == "cycle" ? "3001:" + templ : expected) << templ;
  }
}

// A self-reference, direct or through other names, and ten levels of ten
// references each (10^13 bytes) give 3001 with the template as legend in a
// child process limited to 256 MiB of address space; a 32 MiB value used
// three times still expands.
TEST(Expand, CyclesAndMultiplyingValuesStopInLittleMemory) {
  VariableMap vars;
  const string big(32u << 20, 'q');
  vars["big"] = Variant(big);
  vars["twice"] = Variant(string("$(big)$(big)"));
  EXPECT_TRUE(expand("$(twice)-$(big)", vars) == big + big + "-" + big);
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  vars["x"] = Variant("$(x)" + string(1u << 20, 'a'));
  vars["y"] = Variant("$(z)" + string(1u << 20, 'a'));  // y -> z -> y
  vars["z"] = Variant(string(1u << 20, 'b') + "$(y)");
  vars["d"] = Variant("$$(e)" + string(2u << 20, 'd'));  // d -> e -> d through a "$" left by d
  vars["e"] = Variant(string("(d)"));
  vars["v0"] = Variant(string(1024, 'z'));
  for (int level = 1; level <= 10; ++level) {
    string value;
    for (int i = 0; i < 10; ++i) value += "$(v" + std::to_string(level - 1) + ")";
    vars["v" + std::to_string(level)] = Variant(value);
  }
  for (const string templ : {"[$(x)]", "$(y)", "<$(v10)>", "$(d)"}) {
    EXPECT_EQ("exit 0", support::inChild(
                            [&] {
                              try {
                                return raised([&] { expand(templ, vars); }) == "3001:" + templ ? 0
                                                                                               : 1;
                              } catch (const std::bad_alloc&) {
                                return 3;
                              }
                            },
                            std::size_t(256) << 20, std::chrono::seconds(60)))
        << templ << " (exit 3: out of memory)";
  }
#endif
}

// Written in byte order, nothing trimmed, no outer line feeds; read forgivingly.
TEST(InitMap, WritesSortedLinesAndReadsForgivingly) {
  EXPECT_EQ(InitMap().initString(), "");
  EXPECT_EQ((InitMap{{"b", "2"}, {"a", "1"}, {"B", " x\r"}}).initString(), "B\t x\r\na\t1\nb\t2");
  const std::pair<const char*, InitMap> cases[] = {{"\n\n", {}},
                                                   {"b\t2\n\n\na\t1\n", {{"a", "1"}, {"b", "2"}}},
                                                   {"k\tv1\nk\tv2", {{"k", "v1"}}},
                                                   {"\tk\t\tv\tw", {{"k", "v"}}},
                                                   {"k\t\nk", {}},
                                                   {"k\tv\r\n", {{"k", "v\r"}}},
                                                   {" k \t v ", {{" k ", " v "}}}};
  for (const auto& [in, map] : cases) EXPECT_EQ(InitMap::fromInitString(in), map) << in;
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    InitMap map;
    for (int i = static_cast<int>(rng() % 6); i > 0; --i)
      map[string(1 + rng() % 3, "ab =\r\xFF"[rng() % 6])] =
          string(1 + rng() % 3, "xy #"[rng() % 4]);
    EXPECT_EQ(InitMap::fromInitString(map.initString()), map) << map.initString();
  }
}

}  // namespace
