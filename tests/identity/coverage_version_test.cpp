// SPDX-License-Identifier: MIT
#include <brimsel/version.h>

#include <gtest/gtest.h>

using Brimsel::Version;

// Assignment carries each of the four parts on its own (distinct values, so
// a part copied into the wrong place shows), survives self-assignment and
// chains like the built-in one.
TEST(Version, AssignmentCopiesEveryPartAndChains) {
  const Version source(3, -5, 70000, 2147483647);
  Version a;
  Version b(9, 9, 9, 9);
  const Version& result = (a = b = source);
  EXPECT_EQ(&result, &a);
  for (const Version* v : {&a, &b}) {
    EXPECT_EQ(v->verMajor(), 3);
    EXPECT_EQ(v->verMinor(), -5);
    EXPECT_EQ(v->release(), 70000);
    EXPECT_EQ(v->build(), 2147483647);
  }
  Version& self = a;
  a = self;
  EXPECT_EQ(a, source);
  EXPECT_EQ(a.text(), "3.-5.70000.2147483647");
}
