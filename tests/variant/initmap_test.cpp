#include <brimsel/initmap.h>

#include <gtest/gtest.h>

#include <random>

using Brimsel::InitMap;

TEST(InitMap, WritesSortedLinesWithoutOuterLineFeeds) {
  InitMap map;
  map["b"] = "2";
  map["a"] = "1";
  EXPECT_EQ(map.initString(), "a\t1\nb\t2");
  EXPECT_EQ(InitMap().initString(), "");
  map["B"] = " x\r";
  map["a\xE9"] = "";
  EXPECT_EQ(map.initString(), "B\t x\r\na\t1\na\xE9\t\nb\t2") << "byte order, nothing trimmed";
}

TEST(InitMap, ReadsForgivingly) {
  const struct {
    const char* text;
    InitMap expected;
  } cases[] = {
      {"", {}},
      {"\n\n", {}},
      {"b\t2\n\n\na\t1\n", {{"a", "1"}, {"b", "2"}}},
      {"k\tv1\nk\tv2", {{"k", "v1"}}},
      {"k\t\t\tv", {{"k", "v"}}},
      {"\tk\tv", {{"k", "v"}}},
      {"k\tv\tw", {{"k", "v"}}},
      {"k\t", {}},
      {"k", {}},
      {"\t\t", {}},
      {"k\tv\r\n", {{"k", "v\r"}}},
      {" k \t v ", {{" k ", " v "}}},
      {"no tab\nx\ty\n\tonly\n", {{"x", "y"}}},
      {"a=b\tc#d", {{"a=b", "c#d"}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(InitMap::fromInitString(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(InitMap, RoundTripsMapsWithoutEmptyFieldsTabsOrLineFeeds) {
  std::mt19937 random(7);
  const char alphabet[] = "ab \r=\xFF";
  for (int round = 0; round < 300; ++round) {
    InitMap map;
    const int entries = static_cast<int>(random() % 6);
    for (int i = 0; i < entries; ++i) {
      std::string key(1 + random() % 4, 'k'), value(1 + random() % 4, 'v');
      for (char& c : key) c = alphabet[random() % (sizeof alphabet - 1)];
      for (char& c : value) c = alphabet[random() % (sizeof alphabet - 1)];
      map[key] = value;
    }
    EXPECT_EQ(InitMap::fromInitString(map.initString()), map) << map.initString();
  }
  // What does not survive: an empty value, a tab or a line feed in a value.
  const InitMap lossy = {{"e", ""}, {"t", "1\t2"}, {"n", "3\nx\t4"}};
  EXPECT_EQ(InitMap::fromInitString(lossy.initString()), (InitMap{{"n", "3"}, {"t", "1"}, {"x", "4"}}));
}
