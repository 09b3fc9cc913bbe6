#include <brimsel/util.h>
#include <brimsel/variable.h>

#include <gtest/gtest.h>

#include <random>

#include "helpers.h"

using Brimsel::Date;
using Brimsel::Variable;
using Brimsel::VariableMap;
using Brimsel::Variant;

namespace {

Variant text(const char* s) { return Variant(std::string(s)); }

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

}  // namespace

TEST(Expand, ReplacesReferencesLeftmostFirst) {
  const VariableMap vars = {{"x", Variant(5)},         {"s", text("$(x)")},       {"p", text("(y)")},
                            {"y", Variant(1)},         {"", text("empty")},       {"a$(b", text("odd")},
                            {"d", Variant(Date(1999, 12, 31), true)}, {"q", text("$")},
                            {"e", text("")},           {"Y", text("upper")},      {" y", text("blank")}};
  const std::pair<const char*, const char*> cases[] = {
      {"", ""}, {"no references ) $ ( $ (", "no references ) $ ( $ ("}, {"a$(x)b", "a5b"}, {"$(x)$(x)", "55"},
      {"[$(s)]", "[5]"}, {"$()", "empty"}, {"$(a$(b))", "odd)"}, {"$(Y)$( y)", "upperblank"}, {"$$$(x)", "$$5"},
      {"$$(p)", "1"},           // the "$" before joins the "(" that the value begins with
      {"$(q)(x)", "5"},         // a value ending in "$" joins the "(" behind it
      {"$$(e)(y)", "1"},        // so does a "$" before an empty value
      {"$(q)$(e)(x)", "5"},
      {"$(d)", "1999-12-31"}};  // the stored date, not the clock
  for (const auto& c : cases) EXPECT_EQ(Brimsel::expand(c.first, vars), c.second) << c.first;
}

TEST(Expand, FailuresNameTheirCause) {
  const VariableMap vars = {{"x", Variant(5)},       {"open", text("$(x")},    {"none", Variant()},
                            {"bin", Variant(reinterpret_cast<const unsigned char*>("ab"), 2)},
                            {"self", text("a$(self)")}, {"ping", text("$(pong)")}, {"pong", text("[$(ping)]")},
                            {"dollar", text("$")},   {"joined", text("$(dollar)(joined)")}};
  const std::pair<const char*, const char*> cases[] = {
      {"$(x", "3001:$(x"}, {"ok $(x) $(open) more", "3001:ok $(x) $(open) more"}, {"$(", "3001:$("},
      {"$(nope)", "3002:nope"}, {"$(X)", "3002:X"}, {"$(none)", "4301:None > string"},
      {"$(bin)", "4301:Binary > string"},
      {"<$(self)>", "3001:<$(self)>"},  // direct cycle
      {"$(ping)", "3001:$(ping)"},      // indirect cycle
      {"$(joined)", "3001:$(joined)"}};  // a cycle only through a joining "$"
  for (const auto& c : cases) EXPECT_EQ(failure([&] { Brimsel::expand(c.first, vars); }), c.second) << c.first;
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
    const std::string expected = restartAtTheFront(templ, vars, 2000);
    EXPECT_EQ(failure([&] { EXPECT_EQ("=" + Brimsel::expand(templ, vars), expected) << templ; }),
              expected[0] == '=' ? "no exception" : expected)
        << templ;
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
