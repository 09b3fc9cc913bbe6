// A calendar text is read up to its first zero byte, as a C string would be;
// its length rule still counts the whole string.
#include <brimsel/timestamp.h>
#include <brimsel/variant.h>

#include <gtest/gtest.h>

#include "support.h"

namespace {

using namespace Brimsel;
using std::string;

TEST(ZeroByte, TextsEndAtTheirFirstZeroByte) {
  EXPECT_EQ(Date(2024, 2, 2), Date::fromText(string("2024-02-2\0", 10)));
  EXPECT_EQ(Time(8, 15, 3.0), Time::fromText(string("08:15:3\0z:", 10)));
  EXPECT_EQ(Timestamp(2024, 3, 1, 8, 15, 30.0), Timestamp::fromText(string("2024-03-01 08:15:30\0junk", 24)));
  EXPECT_EQ(Date(2024, 2, 2), Variant(string("2024-02-2\0", 10)).toDate());
  EXPECT_EQ("1:Invalid date", support::raised([] { Date::fromText(string("2024-02-02\0", 11)); }));
  EXPECT_EQ("1:Invalid date", support::raised([] { Date::fromText(string("2024-0\0-02", 10)); }));
  EXPECT_EQ("2:Invalid time", support::raised([] { Time::fromText(string("08:1\0:30", 8)); }));
  EXPECT_EQ("3:Invalid timestamp", support::raised([] { Timestamp::fromText(string("2024-03-01\0 08:15:30", 20)); }));
}

}  // namespace
