#include <brimsel/initmap.h>

#include <gtest/gtest.h>

#include <random>

using Brimsel::InitMap;

TEST(InitMap, WritesSortedLinesWithoutOuterLineFeeds) {
  EXPECT_EQ(InitMap().initString(), "");
  const InitMap map = {{"b", "2"}, {"a", "1"}, {"B", " x\r"}, {"a\xE9", ""}};
  EXPECT_EQ(map.initString(), "B\t x\r\na\t1\na\xE9\t\nb\t2") << "byte order, nothing trimmed";
}

TEST(InitMap, ReadsForgivingly) {
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
