#include <brimsel/util.h>

#include <gtest/gtest.h>

#include <random>
#include <type_traits>

using Brimsel::StringList;

namespace {

StringList list(std::initializer_list<const char*> items) {
  StringList l;
  for (const char* s : items) l.push_back(s);
  return l;
}

std::string replaced(std::string s, const std::string& from, const std::string& to) {
  Brimsel::replace(s, from, to);
  return s;
}

template <typename F>
std::string trimmed(std::string s, F f) {
  std::string& r = f(s);
  EXPECT_EQ(&r, &s) << "returns its argument";
  return s;
}

}  // namespace

TEST(Trim, RemovesOnlyBlanksAndTabsAtTheRightEnd) {
  const std::string text = " \t a b \t";
  EXPECT_EQ(trimmed(text, Brimsel::ltrim), "a b \t");
  EXPECT_EQ(trimmed(text, Brimsel::rtrim), " \t a b");
  EXPECT_EQ(trimmed(text, Brimsel::trim), "a b");
  EXPECT_EQ(trimmed("line\r\n", Brimsel::trim), "line\r\n");
  EXPECT_EQ(trimmed("\n x \r", Brimsel::trim), "\n x \r");
  EXPECT_EQ(trimmed("\v\fx\v", Brimsel::trim), "\v\fx\v");
  EXPECT_EQ(trimmed("", Brimsel::trim), "");
}

TEST(Trim, BlankOnlyStringsBecomeEmpty) {
  for (const char* s : {" ", "\t", "   ", " \t \t"}) {
    EXPECT_EQ(trimmed(s, Brimsel::trim), "") << '"' << s << '"';
    EXPECT_EQ(trimmed(s, Brimsel::ltrim), "");
    EXPECT_EQ(trimmed(s, Brimsel::rtrim), "");
  }
}

TEST(Replace, LeftToRightWithoutOverlapOrRescan) {
  EXPECT_EQ(replaced("aaa", "aa", "b"), "ba");
  EXPECT_EQ(replaced("aa", "a", "aa"), "aaaa");
  EXPECT_EQ(replaced("aabb", "ab", ""), "ab");
  EXPECT_EQ(replaced("abcabc", "", "x"), "abcabc");
  EXPECT_EQ(replaced("", "a", "b"), "");
  EXPECT_EQ(replaced("a.b.c", ".", ""), "abc");
  EXPECT_EQ(replaced("xyz", "xyz", "1"), "1");
  EXPECT_EQ(replaced("abab", "b", "ab"), "aabaab");
  EXPECT_EQ(replaced("no match", "zz", "y"), "no match");
  EXPECT_EQ(replaced(std::string("a\0b\0", 4), std::string("\0", 1), "-"), "a-b-");
}

TEST(Replace, MatchesTheInPlaceRuleOnRandomText) {
  // The in-place loop of the rule itself, as the reference.
  auto reference = [](std::string s, const std::string& from, const std::string& to) {
    if (from.empty()) return s;
    std::string::size_type pos = 0;
    while ((pos = s.find(from, pos)) != std::string::npos) {
      s.replace(pos, from.size(), to);
      pos += to.size();
    }
    return s;
  };
  std::mt19937 rng(7);
  auto randomText = [&](std::size_t maxLen) {
    std::string s(rng() % (maxLen + 1), 'a');
    for (char& c : s) c = static_cast<char>('a' + rng() % 3);
    return s;
  };
  for (int i = 0; i < 3000; ++i) {
    const std::string s = randomText(40), from = randomText(3), to = randomText(4);
    ASSERT_EQ(replaced(s, from, to), reference(s, from, to)) << s << " / " << from << " / " << to;
  }
}

TEST(TokenizeBySet, RunsOfDelimitersAndTheEmptyString) {
  EXPECT_EQ(Brimsel::tokenize("a b  c", " "), list({"a", "b", "c"}));
  EXPECT_EQ(Brimsel::tokenize(",a,,b,", ","), list({"a", "b"}));
  EXPECT_EQ(Brimsel::tokenize("", " "), list({""}));
  EXPECT_EQ(Brimsel::tokenize("", ""), list({""}));
  EXPECT_EQ(Brimsel::tokenize("   ", " "), list({}));
  EXPECT_EQ(Brimsel::tokenize("a b", ""), list({"a b"}));
  EXPECT_EQ(Brimsel::tokenize(" a\tb;c ", " \t;"), list({"a", "b", "c"}));
  EXPECT_EQ(Brimsel::tokenize("\xff" "a\xff", "\xff"), list({"a"}));
  EXPECT_EQ(Brimsel::tokenize(std::string("x\0y", 3), std::string("\0", 1)), list({"x", "y"}));
}

TEST(TokenizeByChar, KeepsEmptyTokens) {
  EXPECT_EQ(Brimsel::tokenize("a||b", '|'), list({"a", "", "b"}));
  EXPECT_EQ(Brimsel::tokenize("|", '|'), list({"", ""}));
  EXPECT_EQ(Brimsel::tokenize("a,", ','), list({"a", ""}));
  EXPECT_EQ(Brimsel::tokenize(",a", ','), list({"", "a"}));
  EXPECT_EQ(Brimsel::tokenize("", ','), list({""}));
  EXPECT_EQ(Brimsel::tokenize("abc", ','), list({"abc"}));
  EXPECT_EQ(Brimsel::tokenize(std::string("a\0\0b", 4), '\0'), list({"a", "", "b"}));
}

TEST(TokenizeBoth, AgreeWithTheStepwiseRulesOnRandomText) {
  // Straight transcriptions of the two splitting procedures.
  auto bySet = [](const std::string& s, const std::string& d) {
    StringList out;
    std::string::size_type start = 0;
    while (start != std::string::npos) {
      std::string::size_type end = d.empty() ? std::string::npos : s.find_first_of(d, start);
      if (end != start) out.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
      start = (end == std::string::npos || d.empty()) ? std::string::npos : s.find_first_not_of(d, end);
    }
    return out;
  };
  auto byChar = [](const std::string& s, char d) {
    StringList out;
    std::string::size_type start = 0, end = 0;
    while (start != std::string::npos && end != std::string::npos) {
      end = s.find(d, start);
      out.push_back(end != std::string::npos ? s.substr(start, end - start) : s.substr(start));
      start = end + 1;
    }
    return out;
  };
  std::mt19937 rng(11);
  for (int i = 0; i < 3000; ++i) {
    std::string s(rng() % 24, 'x');
    for (char& c : s) c = "ab,; "[rng() % 5];
    const std::string delims = std::string(",; ").substr(0, rng() % 4);
    ASSERT_EQ(Brimsel::tokenize(s, delims), bySet(s, delims)) << '"' << s << "\" / \"" << delims << '"';
    ASSERT_EQ(Brimsel::tokenize(s, ','), byChar(s, ',')) << s;
  }
}

TEST(StringListType, IsAVectorOfStringsWithNothingAdded) {
  static_assert(std::is_base_of<std::vector<std::string>, StringList>::value, "a vector");
  static_assert(sizeof(StringList) == sizeof(std::vector<std::string>), "no fields added");
  static_assert(!std::is_polymorphic<StringList>::value, "no virtual operations");
  StringList a = list({"x", "y"});
  StringList b(a);
  StringList c;
  c = std::move(a);
  EXPECT_EQ(b, c);
  EXPECT_EQ(c.size(), 2u);
}
