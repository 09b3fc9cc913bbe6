// SPDX-License-Identifier: MIT
// A calendar text is read up to its first zero byte, as a C string would be;
// its length rule still applies to the whole string.
#include <brimsel/exception.h>
#include <brimsel/timestamp.h>
#include <brimsel/variant.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace Brimsel;

int codeOf(void (*parse)(const std::string&), const std::string& text) {
  try {
    parse(text);
  } catch (const Exception& e) {
    return e.errorCode();
  }
  return 0;
}

TEST(ZeroByte, TextsEndAtTheirFirstZeroByte) {
  using std::string;
  EXPECT_EQ(Date(2024, 2, 2), Date::fromText(string("2024-02-2\0", 10)));
  EXPECT_EQ(Time(8, 15, 30.0), Time::fromText(string("08:15:30\0", 9)));
  EXPECT_EQ(Time(8, 15, 3.0), Time::fromText(string("08:15:3\0z:", 10)));
  EXPECT_EQ(Timestamp(2024, 3, 1, 8, 15, 30.0), Timestamp::fromText(string("2024-03-01 08:15:30\0junk", 24)));
  EXPECT_EQ(Date(2024, 2, 2), Variant(string("2024-02-2\0", 10)).toDate());
  EXPECT_EQ(Timestamp(2024, 3, 1, 8, 15, 30.0), Variant(string("2024-03-01T08:15:30\0", 20)).toTimestamp());

  auto date = [](const string& t) { Date::fromText(t); };
  auto time = [](const string& t) { Time::fromText(t); };
  auto stamp = [](const string& t) { Timestamp::fromText(t); };
  EXPECT_EQ(1, codeOf(date, string("2024-02-02\0", 11))) << "the length counts the whole string";
  EXPECT_EQ(1, codeOf(date, string("2024-0\0-02", 10))) << "a separator after the zero byte is not read";
  EXPECT_EQ(2, codeOf(time, string("08:1\0:30", 8)));
  EXPECT_EQ(3, codeOf(stamp, string("2024-03-01\0 08:15:30", 20)));
}

}  // namespace
