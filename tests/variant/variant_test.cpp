// SPDX-License-Identifier: MIT
// Variant: the conversion matrix and its legends, number texts against the C
// library on random input, owned buffers, assignment that fails cleanly, the
// current-time flag, kind numbers; Variable's names; expand against the
// restart-at-the-front reference and its limits; InitMap's init string.
#include <brimsel/initmap.h>
#include <brimsel/util.h>
#include <brimsel/variable.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstring>
#include <new>
#include <random>
#include <sstream>

#include "allocations.h"
#include "child.h"
#include "reference/text.h"
#include "support.h"

using namespace Brimsel;
using std::string;
using support::raised;

namespace {

const unsigned char kBytes[] = {0, 0xFF, 7};

// The text of what coerce makes of `v` as `kind` (the bytes in decimal), or
// "<code>:<legend>" of its refusal.
string coerced(const Variant& v, int kind) {
  string text;
  const string outcome = raised([&] {
    const Variant c = Variant::coerce(v, static_cast<Variant::VariantType>(kind));
    text = c.type() != kind ? "kind " + std::to_string(c.type()) : kind != 7 ? c.toString() : "";
    for (unsigned i = 0; kind == 7 && i < c.length(); ++i)
      text += std::to_string(c.toBinary()[i]) + " ";
  });
  return outcome == "ok" ? text : outcome;
}

// Each row: what int, double, string, Date, Time, Timestamp and Binary make
// of the value; a '!' is the legend of a refusal, a lone '!' the usual
// "<from> > <to>". The conversions refuse with 4301, coerce with 4302; a
// kind out of range coerces to None. (None itself refuses every kind, as the
// expansion of a reference to it shows.)
TEST(Variant, ConversionMatrixAndCoerce) {
  const std::pair<Variant, const char*> rows[] = {
      {Variant(-12), "-12|-12|-12|!|!|!|!"},
      {Variant(-3.99), "-3|-3.99|-3.99|!|!|!|!"},
      {Variant(string("2024-02-29")),
       "2024|2024|2024-02-29|2024-02-29|!2024-02-29 > Time|!2024-02-29 > Timestamp|!"},
      {Variant(string("2024-03-01T08:15:30.25")),
       "2024|2024|2024-03-01T08:15:30.25|!2024-03-01T08:15:30.25 > Date|"
       "!2024-03-01T08:15:30.25 > Time|2024-03-01 08:15:30|!"},
      {Variant(Date(1999, 12, 31)), "!|!|1999-12-31|1999-12-31|!|!|!"},
      {Variant(Time(7, 5, 3.5)), "!|!|07:05:03|!|07:05:03|!|!"},
      {Variant(Timestamp(-5, 3, 1, 23, 59, 58.75)),
       "!|!|-005-03-01 23:59:58|-005-03-01|23:59:58|-005-03-01 23:59:58|!"},
      {Variant(kBytes, 3), "!|!|!|!|!|!|0 255 7 "}};
  const auto kinds = reference::tokenize("None int double string Date Time Timestamp Binary", ' ');
  for (const auto& [v, cells] : rows) {
    const std::vector<string> cell = reference::tokenize("!|" + string(cells), '|');  // None first
    for (int kind = 0; kind <= 7; ++kind) {
      const string usual = kinds[v.type()] + " > " + kinds[kind], c = cell[kind];
      EXPECT_EQ(coerced(v, kind), c[0] != '!' ? c : "4302:" + (c.size() > 1 ? c.substr(1) : usual))
          << usual;
    }
  }
  for (int kind : {8, -1, INT_MIN}) EXPECT_EQ(coerced(Variant(1), kind), "kind 0") << kind;
  EXPECT_EQ(raised([] { Variant::typeFromInt(8); }), "4300:8");  // the number is the legend
  EXPECT_EQ(raised([] { Variant(string("x")).toTimestamp(); }), "4301:x > Timestamp");
}

// A number text read as the C library reads it, as a double, an int and a
// kind number, and the double written as a classic stream writes it.
void expectReadAsStrtod(const string& text) {
  char* end = nullptr;
  const double got = Variant(text).toDouble(), read = std::strtod(text.c_str(), &end);
  // No number reads as +0 (the Microsoft runtime gives -0 for a sign alone).
  const double expected = end == text.c_str() ? 0.0 : read;
  ASSERT_TRUE(std::memcmp(&got, &expected, sizeof got) == 0 ||
              (std::isnan(got) && std::isnan(expected)))
      << '"' << text << "\" " << got << " " << expected;
  const auto n = std::clamp<long long>(std::strtoll(text.data(), nullptr, 10), INT_MIN, INT_MAX);
  ASSERT_EQ(Variant(text).toInt(), n) << text;
  // A kind number read from text is 0 to 7 by the same rule; the text is the legend of any other.
  ASSERT_EQ(raised([&] { ASSERT_EQ(Variant::typeFromText(text), n); }),
            n >= 0 && n <= 7 ? "ok" : "4300:" + text);
  // The double truncates into an int on the open interval (INT_MIN - 1, INT_MAX + 1).
  const bool fits = got > -2147483649.0 && got < 2147483648.0;
  ASSERT_EQ(raised([&] { ASSERT_EQ(Variant(got).toInt(), fits ? static_cast<int>(got) : 0); }),
            fits ? "ok" : "4301:double > int");
  std::ostringstream printed;
  printed << got;
  ASSERT_EQ(Variant(got).toString(), std::isnan(got) ? "nan" : printed.str()) << got;
}

// Random texts: long mantissas, far exponents, hexadecimal, words. Then
// what the generator does not make: many zeros after the point and a far
// exponent, out of range only by both together; doubles at the edges of int.
TEST(Variant, NumbersAgreeWithTheCLibrary) {
  std::mt19937 rng(11);
  auto pick = [&](const char* options) { return options[rng() % std::strlen(options)]; };
  for (int round = 0; round < 30000; ++round) {
    string text = string(rng() % 2, pick(" \t\n")) + string(rng() % 3, pick("+-"));
    const bool hex = rng() % 4 == 0;
    text += hex ? "0x" : rng() % 8 == 0 ? pick("iInN") == 'n' ? "nan" : "InFinity" : "";
    for (unsigned n = rng() % 3 == 0 ? rng() % 700 : rng() % 20; n > 0; --n)
      text += pick(hex ? "0000189aF." : "00000123456789.");
    if (rng() % 2) text += string(1, pick(hex ? "pP" : "eE")) + string(rng() % 2, pick("+-"));
    for (unsigned n = rng() % 6; n > 0; --n) text += pick("0123456789");
    expectReadAsStrtod(text + string(rng() % 2, pick("x.e5")));
  }
  for (const string& text : std::vector<string>{
           "0." + string(1328, '0') + "1e1000", "0." + string(1310, '0') + "1e1000",
           "0x0." + string(300, '0') + "1p1200", "-0." + string(700, '0') + "1e1020",
           "2147483647.75", "2147483648", "-2147483648.75", "-2147483649", "-nan", "-inf", "+-5"})
    expectReadAsStrtod(text);
  // A C locale with a decimal comma, where the machine has one, changes nothing.
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "German_Germany.1252")) {
    EXPECT_EQ(Variant(1234567.0).toString() + Variant(Variant(string("1.5")).toDouble()).toString(),
              "1.23457e+061.5");
    std::setlocale(LC_ALL, "C");  // where every C program starts
  }
}

// Copies own their buffer (a shared one would be freed under them, which the
// address sanitizer sees); an assignment whose allocation fails changes
// nothing. A Variable keeps its name in an assignment, and takes one only
// when it has none. Flagged values, assigned ones among them, read the local
// clock at every call (bracketed by two readings); their text and a coercion
// keep the stored value.
TEST(Variant, CopiesAndAssignmentsOfBuffersNamesAndTheCurrentTimeFlag) {
  const Variant none(nullptr, Variant::nNO_LENGTH), empty(kBytes, 0);
  EXPECT_TRUE(none.toBinary() == nullptr && Variant(none).toBinary() == nullptr &&
              empty.toBinary() != nullptr);
  auto source = std::make_unique<Variant>(kBytes, 3);
  Variant copy(*source), assigned(7), text(string(200, 'x'));
  assigned = *source;
  EXPECT_TRUE(copy.toBinary() != source->toBinary() && assigned.toBinary() != source->toBinary());
  source.reset();
  EXPECT_EQ(coerced(copy, 7) + coerced(assigned, 7), "0 255 7 0 255 7 ");
  // On Windows the C++ runtime's DLL copies the text, where no allocation can be made to fail.
#if !defined(_WIN32)
  const unsigned char* buffer = copy.toBinary();
  support::failNextAllocation();
  EXPECT_THROW(copy = text, std::bad_alloc);
  EXPECT_TRUE(copy.toBinary() == buffer && coerced(Variant(copy), 7) == "0 255 7 ");
#endif
  support::failNextAllocation();
  EXPECT_THROW(text = copy, std::bad_alloc);
  EXPECT_EQ(text.toString() + std::to_string(text.length()), string(200, 'x') + "4294967295");
  // Frees the bytes (the leak checker watches).
  EXPECT_TRUE((assigned = Variant(7)).length() == Variant::nNO_LENGTH);
  const Variant date(Date(1999, 12, 31), true), time(Time(1, 2, 3.0), true);
  const Variable stamp("s", Variant(Timestamp(1999, 12, 31, 1, 2, 3.0), true));
  Variable a("a", Variant(1)), unnamed;
  a = stamp;
  unnamed = stamp;
  EXPECT_EQ(a.name + unnamed.name + Variable(stamp).name, "ass");
  const Variant* const flagged[] = {&date, &time, &stamp, &a, &unnamed};
  for (const Variant* v : flagged) {
    const Timestamp before = Timestamp::now(LOCAL);
    const Timestamp read[] = {v->toTimestamp(), Timestamp(v->toDate(), v->toTime())};
    const Timestamp after = Timestamp::now(LOCAL);
    for (const Timestamp& t : read)
      EXPECT_TRUE(Date(before) != Date(after) || (before <= t && t <= after)) << t.asText();
    EXPECT_EQ(raised([&] { Variant::coerce(*v, Variant::vtDate).toTime(); }), "4301:Date > Time");
  }
  EXPECT_EQ(date.toString() + " " + time.toString() + " " + stamp.toString(),
            "1999-12-31 01:02:03 1999-12-31 01:02:03");
}

// "=<result>" of an expansion, or "<code>:<legend>" of its failure.
string expanded(const string& templ, const VariableMap& vars) {
  string result;
  const string outcome = raised([&] { result = "=" + expand(templ, vars); });
  return outcome == "ok" ? result : outcome;
}

// Random templates and values made of the characters that matter, with
// names that hold "$(", ")" and nothing, and values that are a number,
// nothing or bytes: unclosed references (3001), unknown names (3002), values
// that cannot be text (4301) and cycles (3001) among them, as the reference
// has them (a name recurring beside its own text among what they meet).
// A 32 MiB value used three times still expands; values nested as deep as
// there are names expand, and a name that recurs inside its own text at that
// depth is a cycle.
TEST(Expand, SameAsRestartingAtTheFrontAndStopsInLittleMemory) {
  std::mt19937 rng(20240229);
  auto randomText = [&](unsigned max) {
    string s(rng() % (max + 1), ' ');
    for (char& c : s) c = "$$$(()))ab"[rng() % 10];
    return s;
  };
  const Variant others[] = {Variant(20240229), Variant(), Variant(nullptr, 0)};
  for (int round = 0; round < 6000; ++round) {
    VariableMap vars;
    for (const char* name : {"a", "b", "", "(", "$", "a$(b"}) vars[name] = Variant(randomText(6));
    if (round % 4 == 0) vars[round % 8 ? "b" : "a"] = others[round / 8 % 3];
    const string templ = randomText(14), expected = reference::expand(templ, vars, 2000);
    EXPECT_EQ(expanded(templ, vars), expected == "cycle" ? "3001:" + templ : expected) << templ;
  }
  const string big(32u << 20, 'q');
  VariableMap vars = {{"big", Variant(big)}, {"twice", Variant(string("$(big)$(big)"))}};
  EXPECT_TRUE(expand("$(twice)-$(big)", vars) == big + big + "-" + big);
  for (int i = 0; i <= 1000; ++i)
    vars["v" + std::to_string(i)] = Variant("<$(v" + std::to_string(i + 1) + ")");
  vars["v1000"] = Variant(string("end"));
  EXPECT_EQ(expanded("$(v0)", vars), "=" + string(1000, '<') + "end");
  vars["v1000"] = Variant(string("$(v500)"));
  EXPECT_EQ(expanded("$(v0)", vars), "3001:$(v0)");
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // A self-reference, direct or through other names, and ten levels of ten
  // references each (10^13 bytes) give 3001 with the template as legend in a
  // child process limited to 256 MiB of address space (exit 125: it threw,
  // out of memory).
  vars["x"] = Variant("$(x)" + string(1u << 20, 'a'));
  vars["y"] = Variant("$(z)" + string(1u << 20, 'a'));  // y -> z -> y
  vars["z"] = Variant(string(1u << 20, 'b') + "$(y)");
  vars["d"] = Variant("$$(e)" + string(2u << 20, 'd'));  // d -> e -> d through a "$" left by d
  vars["e"] = Variant(string("(d)"));
  vars["w0"] = Variant(string(1024, 'z'));
  for (int level = 1; level <= 10; ++level)
    vars["w" + std::to_string(level)] =
        Variant(reference::replace(string(10, '#'), "#", "$(w" + std::to_string(level - 1) + ")"));
  for (const string templ : {"[$(x)]", "$(y)", "<$(w10)>", "$(d)"}) {
    const auto stops = [&] { return expanded(templ, vars) == "3001:" + templ ? 0 : 1; };
    EXPECT_EQ(support::inChild(stops, 256u << 20, std::chrono::seconds(60)), "exit 0") << templ;
  }
#endif
}

// Written in byte order, nothing trimmed, no outer line feeds; read
// forgivingly: runs of line feeds and tabs, a line of one field skipped,
// fields after the second ignored, the first line of a key wins.
TEST(InitMap, WritesSortedLinesAndReadsForgivingly) {
  EXPECT_EQ(InitMap().initString(), "");
  EXPECT_EQ((InitMap{{"b", "2"}, {"a", "1"}, {"B", " x\r"}}).initString(), "B\t x\r\na\t1\nb\t2");
  EXPECT_EQ(InitMap::fromInitString("\n\nb\t2\n\n\n\tk\t\tv\tw\nk\tv1\nq\t\nq\n a \t x\r\n"),
            (InitMap{{"b", "2"}, {"k", "v"}, {" a ", " x\r"}}));
}

}  // namespace
