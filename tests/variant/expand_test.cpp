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
// search again from the front. Gives up (returns false) after `limit`
// replacements, which only a self-referring value reaches here.
bool restartAtTheFront(const std::string& templ, const VariableMap& vars, std::string& result, int limit) {
  result = templ;
  for (int n = 0; n < limit; ++n) {
    const std::size_t open = result.find("$(");
    if (open == std::string::npos) return true;
    const std::size_t close = result.find(')', open);
    if (close == std::string::npos) throw Brimsel::Exception(__FILE__, __LINE__, 3001, false, templ);
    const std::string name = result.substr(open + 2, close - open - 2);
    const auto found = vars.find(name);
    if (found == vars.end()) throw Brimsel::Exception(__FILE__, __LINE__, 3002, false, name);
    result.replace(open, close - open + 1, found->second.toString());
  }
  return false;
}

std::string outcome(const std::function<std::string()>& f) {
  try {
    return "=" + f();
  } catch (const Brimsel::Exception& e) {
    return std::to_string(e.errorCode()) + ":" + e.legend();
  }
}

}  // namespace

TEST(Expand, ReplacesReferencesLeftmostFirst) {
  const VariableMap vars = {{"x", Variant(5)},         {"s", text("$(x)")},       {"p", text("(y)")},
                            {"y", Variant(1)},         {"", text("empty")},       {"a$(b", text("odd")},
                            {"d", Variant(Date(1999, 12, 31), true)}, {"q", text("$")},
                            {"e", text("")},           {"Y", text("upper")},      {" y", text("blank")}};
  const struct {
    const char* templ;
    const char* result;
  } cases[] = {
      {"", ""},
      {"no references ) $ ( $ (", "no references ) $ ( $ ("},
      {"a$(x)b", "a5b"},
      {"$(x)$(x)", "55"},
      {"[$(s)]", "[5]"},
      {"$$(p)", "1"},           // the "$" before joins the "(" that the value begins with
      {"$(q)(x)", "5"},         // a value ending in "$" joins the "(" behind it
      {"$$(e)(y)", "1"},        // so does a "$" before an empty value
      {"$(q)$(e)(x)", "5"},
      {"$()", "empty"},
      {"$(a$(b))", "odd)"},
      {"$(d)", "1999-12-31"},   // the stored date, not the clock
      {"$(Y)$( y)", "upperblank"},
      {"$$$(x)", "$$5"},
  };
  for (const auto& c : cases) EXPECT_EQ(Brimsel::expand(c.templ, vars), c.result) << c.templ;
}

TEST(Expand, FailuresNameTheirCause) {
  const VariableMap vars = {{"x", Variant(5)},       {"open", text("$(x")},    {"none", Variant()},
                            {"bin", Variant(reinterpret_cast<const unsigned char*>("ab"), 2)},
                            {"self", text("a$(self)")}, {"ping", text("$(pong)")}, {"pong", text("[$(ping)]")},
                            {"dollar", text("$")},   {"joined", text("$(dollar)(joined)")}};
  const struct {
    const char* templ;
    const char* failure;
  } cases[] = {
      {"$(x", "3001:$(x"},
      {"ok $(x) $(open) more", "3001:ok $(x) $(open) more"},
      {"$(", "3001:$("},
      {"$(nope)", "3002:nope"},
      {"$(X)", "3002:X"},
      {"$(none)", "4301:None > string"},
      {"$(bin)", "4301:Binary > string"},
      {"<$(self)>", "3001:<$(self)>"},  // direct cycle
      {"$(ping)", "3001:$(ping)"},      // indirect cycle
      {"$(joined)", "3001:$(joined)"},  // a cycle only through a joining "$"
  };
  for (const auto& c : cases) {
    EXPECT_EQ(failure([&] { Brimsel::expand(c.templ, vars); }), c.failure) << c.templ;
  }
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
  int compared = 0;
  for (int round = 0; round < 3000; ++round) {
    VariableMap vars;
    for (const char* name : {"a", "b", "", "(", "$", "a$(b"}) vars[name] = Variant(randomText(6));
    if (round % 5 == 0) vars["b"] = Variant(round);
    const std::string templ = randomText(14);
    std::string expected;
    bool finished = false;
    const std::string reference = outcome([&] {
      finished = restartAtTheFront(templ, vars, expected, 2000);
      return expected;
    });
    const std::string got = outcome([&] { return Brimsel::expand(templ, vars); });
    if (reference[0] == '=' && !finished) {
      EXPECT_EQ(got, "3001:" + templ) << "a cycle that never ends";
      continue;
    }
    EXPECT_EQ(got, reference) << "template \"" << templ << "\"";
    ++compared;
  }
  EXPECT_GT(compared, 2000);
}

TEST(Variable, NamesAndValues) {
  const Variable unnamed;
  EXPECT_EQ(unnamed.name, "");
  EXPECT_EQ(unnamed.type(), Variant::vtNone);

  const unsigned char bytes[] = {1, 2};
  const Variable b("b", Variant(bytes, 2));
  Variable a("a", Variant(1));
  a = b;
  EXPECT_EQ(a.name, "a") << "a named target keeps its name";
  EXPECT_EQ(a.length(), 2u);
  EXPECT_NE(a.toBinary(), b.toBinary());

  Variable taker;
  taker = b;
  EXPECT_EQ(taker.name, "b");
  EXPECT_EQ(taker.type(), Variant::vtBinary);

  Variable self("s", Variant(3));
  Variable& alias = self;
  self = alias;
  EXPECT_EQ(self.name, "s");
  EXPECT_EQ(self.toInt(), 3);

  const Variable flagged("f", Variant(Date(1999, 12, 31), true));
  const Variable copy(flagged);
  EXPECT_EQ(copy.name, "f");
  EXPECT_NE(copy.toDate(), Date(1999, 12, 31)) << "the copy keeps the current-time flag";
  EXPECT_EQ(copy.toString(), "1999-12-31");

  // A map stores plain Variants, each a copy of its own.
  VariableMap vars;
  vars.emplace(b.name, b);
  EXPECT_NE(vars.at("b").toBinary(), b.toBinary());
}
