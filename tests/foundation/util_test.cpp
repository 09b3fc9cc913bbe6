// SPDX-License-Identifier: MIT
#include <brimsel/util.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using V = std::vector<std::string>;

namespace {

std::string replaced(std::string s, const std::string& from, const std::string& to) {
  Brimsel::replace(s, from, to);
  return s;
}

}  // namespace

TEST(Trim, RemovesOnlyBlanksAndTabsAtTheEnds) {
  const struct {
    const char* text;
    const char *left, *right, *both;
  } cases[] = {
      {" \t a b \t", "a b \t", " \t a b", "a b"},
      {"\n x \r", "\n x \r", "\n x \r", "\n x \r"},
      {"\v\fx\v", "\v\fx\v", "\v\fx\v", "\v\fx\v"},
      {"", "", "", ""},
      // Blanks and tabs alone leave nothing.
      {" ", "", "", ""},
      {" \t \t", "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + '"');
    std::string l = c.text, r = c.text, b = c.text;
    EXPECT_EQ(&Brimsel::ltrim(l), &l);
    EXPECT_EQ(&Brimsel::rtrim(r), &r);
    EXPECT_EQ(&Brimsel::trim(b), &b);
    EXPECT_EQ(l, c.left);
    EXPECT_EQ(r, c.right);
    EXPECT_EQ(b, c.both);
  }
}

TEST(Replace, LeftToRightWithoutOverlapOrRescan) {
  EXPECT_EQ(replaced("aaa", "aa", "b"), "ba");
  EXPECT_EQ(replaced("aa", "a", "aa"), "aaaa");
  EXPECT_EQ(replaced("aabb", "ab", ""), "ab");
  EXPECT_EQ(replaced("abcabc", "", "x"), "abcabc");
  EXPECT_EQ(replaced("", "a", "b"), "");
  EXPECT_EQ(replaced("xyz", "xyz", "1"), "1");
  EXPECT_EQ(replaced("abab", "b", "ab"), "aabaab");
  EXPECT_EQ(replaced(std::string("a\0b\0", 4), std::string("\0", 1), "-"), "a-b-");
}

TEST(Tokenize, BySetSkipsRunsOfDelimitersAndByCharKeepsEmptyTokens) {
  const V none, empty{""}, abc{"a", "b", "c"};
  EXPECT_EQ(Brimsel::tokenize("a b  c", " "), abc);
  EXPECT_EQ(Brimsel::tokenize(" a\tb;c ", " \t;"), abc);
  EXPECT_EQ(Brimsel::tokenize(",a,,b,", ","), V({"a", "b"}));
  EXPECT_EQ(Brimsel::tokenize("", " "), empty);
  EXPECT_EQ(Brimsel::tokenize("", ""), empty);
  EXPECT_EQ(Brimsel::tokenize("   ", " "), none);
  EXPECT_EQ(Brimsel::tokenize("a b", ""), V({"a b"}));
  EXPECT_EQ(Brimsel::tokenize("\xff" "a\xff", "\xff"), V({"a"}));
  EXPECT_EQ(Brimsel::tokenize(std::string("x\0y", 3), std::string("\0", 1)), V({"x", "y"}));

  EXPECT_EQ(Brimsel::tokenize("a||b", '|'), V({"a", "", "b"}));
  EXPECT_EQ(Brimsel::tokenize("|", '|'), V({"", ""}));
  EXPECT_EQ(Brimsel::tokenize(",a", ','), V({"", "a"}));
  EXPECT_EQ(Brimsel::tokenize("", ','), empty);
  EXPECT_EQ(Brimsel::tokenize(std::string("a\0\0b", 4), '\0'), V({"a", "", "b"}));
}
