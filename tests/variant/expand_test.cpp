// expand against the restart-at-the-front reference on random templates, and
// InitMap writing and reading its init string.
#include <brimsel/initmap.h>
#include <brimsel/variable.h>

#include <gtest/gtest.h>

#include <random>

#include "reference/text.h"
#include "support.h"

using namespace Brimsel;

namespace {

Variant text(const std::string& s) { return Variant(s); }

// "=<result>" of an expansion, or "<code>:<legend>" of its failure.
std::string expanded(const std::string& templ, const VariableMap& vars) {
  std::string result;
  const std::string outcome = support::raised([&] { result = "=" + expand(templ, vars); });
  return outcome == "ok" ? result : outcome;
}

}  // namespace

TEST(Expand, TheCasesCallersMeet) {
  const VariableMap vars = {{"x", Variant(5)}, {"s", text("$(x)")}, {"d", Variant(Date(1999, 12, 31), true)},
                            {"none", Variant()}, {"bin", Variant(nullptr, 0)}, {"self", text("a$(self)")},
                            {"ping", text("$(pong)")}, {"pong", text("[$(ping)]")}};
  const std::pair<const char*, const char*> cases[] = {
      {"a$(x)b$(s)", "=a5b5"}, {"$(d)", "=1999-12-31"},  // the stored date, not the clock
      {"ok $(x) $(x", "3001:ok $(x) $(x"}, {"$(X)", "3002:X"}, {"$(none)", "4301:None > string"},
      {"$(bin)", "4301:Binary > string"}, {"<$(self)>", "3001:<$(self)>"}, {"$(ping)", "3001:$(ping)"}};
  for (const auto& [templ, expected] : cases) EXPECT_EQ(expanded(templ, vars), expected) << templ;
}

// Values nested in values as deep as there are names expand: only a name
// that recurs inside its own text is a cycle.
TEST(Expand, DeepButFiniteNestingIsNoCycle) {
  VariableMap vars;
  for (int i = 0; i <= 1000; ++i) vars["v" + std::to_string(i)] = text("<$(v" + std::to_string(i + 1) + ")");
  vars["v1000"] = text("end");
  EXPECT_EQ(expanded("$(v0)", vars), "=" + std::string(1000, '<') + "end");
  // Each value opens a reference that the template closes: long, not deep.
  vars["open"] = text("$(");
  std::string templ = "$(open)";
  for (int i = 0; i < 3000; ++i) templ += "open)";
  EXPECT_EQ(expanded(templ + "v999)", vars), "=<end");
  vars["v1000"] = text("$(v500)");
  EXPECT_EQ(expanded("$(v0)", vars), "3001:$(v0)");
}

// The characters that matter, with names that hold "$(", ")" and nothing.
TEST(Expand, SameAsRestartingAtTheFront) {
  std::mt19937 rng(20240229);
  auto randomText = [&](unsigned max) {
    std::string s(rng() % (max + 1), ' ');
    for (char& c : s) c = "$$$(()))ab"[rng() % 10];
    return s;
  };
  for (int round = 0; round < 5000; ++round) {
    VariableMap vars;
    for (const char* name : {"a", "b", "", "(", "$", "a$(b"}) vars[name] = text(randomText(6));
    if (round % 5 == 0) vars["b"] = Variant(round);
    const std::string templ = randomText(14), expected = reference::expand(templ, vars, 2000);
    EXPECT_EQ(expanded(templ, vars), expected == "cycle" ? "3001:" + templ : expected) << templ;
  }
}

// Written in byte order, nothing trimmed, no outer line feeds; read forgivingly.
TEST(InitMap, WritesSortedLinesAndReadsForgivingly) {
  EXPECT_EQ(InitMap().initString(), "");
  EXPECT_EQ((InitMap{{"b", "2"}, {"a", "1"}, {"B", " x\r"}}).initString(), "B\t x\r\na\t1\nb\t2");
  const std::pair<const char*, InitMap> cases[] = {
      {"\n\n", {}}, {"b\t2\n\n\na\t1\n", {{"a", "1"}, {"b", "2"}}}, {"k\tv1\nk\tv2", {{"k", "v1"}}},
      {"\tk\t\tv\tw", {{"k", "v"}}}, {"k\t\nk", {}}, {"k\tv\r\n", {{"k", "v\r"}}}, {" k \t v ", {{" k ", " v "}}}};
  for (const auto& [in, map] : cases) EXPECT_EQ(InitMap::fromInitString(in), map) << in;
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    InitMap map;
    for (int i = static_cast<int>(rng() % 6); i > 0; --i) map[std::string(1 + rng() % 3, "ab =\r\xFF"[rng() % 6])] = std::string(1 + rng() % 3, "xy #"[rng() % 4]);
    EXPECT_EQ(InitMap::fromInitString(map.initString()), map) << map.initString();
  }
}
