#include <brimsel/version.h>

#include <gtest/gtest.h>

#include <climits>
#include <future>
#include <string>
#include <vector>

using Brimsel::Version;

namespace {

void expectParts(const Version& v, int nMajor, int nMinor, int nRelease, int nBuild) {
  EXPECT_EQ(v.verMajor(), nMajor);
  EXPECT_EQ(v.verMinor(), nMinor);
  EXPECT_EQ(v.release(), nRelease);
  EXPECT_EQ(v.build(), nBuild);
}

}  // namespace

TEST(Version, MissingArgumentsAreZero) {
  EXPECT_EQ(Version(), Version(0, 0, 0, 0));
  expectParts(Version(1, 2), 1, 2, 0, 0);
  expectParts(Version(3), 3, 0, 0, 0);
}

TEST(Version, AllSixOperatorsAgreeOnAnAscendingList) {
  // Each entry differs from the next in one part only, signed parts included.
  const std::vector<Version> ascending = {
      Version(INT_MIN, 5, 5, 5), Version(-1, 0, 0, 0), Version(0, 0, 0, 0),  Version(0, 0, 0, 1),
      Version(1, 2, 3, -7),      Version(1, 2, 3, 4),  Version(1, 2, 3, 5),  Version(1, 2, 4, 0),
      Version(1, 3, -2, 0),      Version(1, 3, 0, 0),  Version(2, -1, 9, 9), Version(2, 0, 0, 0),
      Version(INT_MAX, 0, 0, 0)};
  for (std::size_t i = 0; i < ascending.size(); ++i) {
    for (std::size_t j = 0; j < ascending.size(); ++j) {
      const Version& a = ascending[i];
      const Version& b = ascending[j];
      SCOPED_TRACE(a.text() + " vs " + b.text());
      EXPECT_EQ(a == b, i == j);
      EXPECT_EQ(a != b, i != j);
      EXPECT_EQ(a < b, i < j);
      EXPECT_EQ(a > b, i > j);
      EXPECT_EQ(a <= b, i <= j);
      EXPECT_EQ(a >= b, i >= j);
    }
  }
}

TEST(Version, CompareTellsHowTheOtherStandsAtEachDepth) {
  const Version v(3, 0, 1, 0);
  // Differences in the major show at every depth; later parts only from
  // their own depth on. Depth 3 and any other value compare all four parts.
  struct Case {
    Version other;
    int anExpected[6];  // depths 0, 1, 2, 3, 4, -1
  } cases[] = {
      {Version(3, 0, 1, 0), {0, 0, 0, 0, 0, 0}},
      {Version(4, 0, 0, 0), {1, 1, 1, 1, 1, 1}},
      {Version(2, 9, 9, 9), {-1, -1, -1, -1, -1, -1}},
      {Version(3, 1, 0, 0), {0, 1, 1, 1, 1, 1}},
      {Version(3, -1, 5, 5), {0, -1, -1, -1, -1, -1}},
      {Version(3, 0, 2, -5), {0, 0, 1, 1, 1, 1}},
      {Version(3, 0, 0, 9), {0, 0, -1, -1, -1, -1}},
      {Version(3, 0, 1, 9), {0, 0, 0, 1, 1, 1}},
      {Version(3, 0, 1, -1), {0, 0, 0, -1, -1, -1}},
  };
  const int anDepths[6] = {0, 1, 2, 3, 4, -1};
  for (const Case& c : cases) {
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(v.compare(c.other, anDepths[i]), c.anExpected[i])
          << c.other.text() << " at depth " << anDepths[i];
      // Seen from the other side the sign flips.
      EXPECT_EQ(c.other.compare(v, anDepths[i]), -c.anExpected[i]);
    }
  }
}

TEST(Version, TextForms) {
  EXPECT_EQ(Version(3, 0, 1, 0).text(), "3.0.1.0");
  EXPECT_EQ(Version(-1, -1, -1, -1).text(), "-1.-1.-1.-1");
  EXPECT_EQ(Version(INT_MAX, INT_MIN, 0, 7).text(), "2147483647.-2147483648.0.7");
  EXPECT_EQ(Version(2, 5, 0, 0).text(), "2.5.0.0");
  EXPECT_EQ(Version(2, 5, 0, 0).textLS(), "2.5-0");
  EXPECT_EQ(Version(3, 0, 1, 0).textLS(), "3.0-1");
  EXPECT_EQ(Version(3, 0, 1, 7).textLS(), "3.0-1.7");
  EXPECT_EQ(Version(3, 0, 1, -1).textLS(), "3.0-1.-1");
  EXPECT_EQ(Version(-3, -4, -5, 0).textLS(), "-3.-4--5");
}

TEST(Version, FromTextSkipsEverythingButDigits) {
  expectParts(Version::fromText(""), -1, -1, -1, -1);
  expectParts(Version::fromText("abc"), -1, -1, -1, -1);
  expectParts(Version::fromText("3.0.1.0"), 3, 0, 1, 0);
  expectParts(Version::fromText("3, 0, 1, 0"), 3, 0, 1, 0);
  expectParts(Version::fromText("v3 r0 b1 x0"), 3, 0, 1, 0);
  expectParts(Version::fromText("3.0.1.0.99"), 3, 0, 1, 0);
  expectParts(Version::fromText("3.0"), 3, 0, -1, -1);
  expectParts(Version::fromText("release 12"), 12, -1, -1, -1);
  expectParts(Version::fromText("-5"), 5, -1, -1, -1);
  expectParts(Version::fromText("03.007"), 3, 7, -1, -1);
  expectParts(Version::fromText("1.2.3 trailing words"), 1, 2, 3, -1);
  expectParts(Version::fromText(std::string("4.5\0" "6.7", 7)), 4, 5, -1, -1);
}

TEST(Version, FromTextSaturatesLongNumbers) {
  expectParts(Version::fromText("2147483647.2147483648.99999999999999999999.4294967297"), INT_MAX,
              INT_MAX, INT_MAX, INT_MAX);
  expectParts(Version::fromText("214748364.21474836470.1"), 214748364, INT_MAX, 1, -1);
  // A saturated run is still read to its end: the next number is separate.
  expectParts(Version::fromText(std::string(300, '9') + ".1"), INT_MAX, -1, -1, -1);
  expectParts(Version::fromText(std::string(60, '9') + ".1"), INT_MAX, 1, -1, -1);
}

TEST(Version, FromTextReadsOnlyTheFirst128Characters) {
  const std::string pad(124, ' ');
  // Characters 125 to 128 are "1.23"; the "45" after the cut is not read.
  expectParts(Version::fromText(pad + "1.2345"), 1, 23, -1, -1);
  expectParts(Version::fromText(std::string(128, 'x') + "1.2.3.4"), -1, -1, -1, -1);
  expectParts(Version::fromText(std::string(127, 'x') + "7.2.3.4"), 7, -1, -1, -1);
}

TEST(Version, LibraryIdentity) {
  EXPECT_EQ(Brimsel::product(), "Brimsel Foundation Class Library");
  EXPECT_EQ(Brimsel::version().text(), "3.0.1.0");
  EXPECT_EQ(Brimsel::version(), Version(3, 0, 1, 0));
  const std::string& c = Brimsel::copyright();
  EXPECT_NE(c.find("Copyright"), std::string::npos);
  EXPECT_NE(c.find(Brimsel::product()), std::string::npos);
  EXPECT_EQ(c.find('\n'), std::string::npos) << "one line";

  // Every caller, on any thread, gets the same objects.
  std::vector<std::future<const void*>> results;
  for (int i = 0; i < 8; ++i)
    results.push_back(std::async(std::launch::async, [] {
      return static_cast<const void*>(&Brimsel::version());
    }));
  for (auto& r : results) {
    ASSERT_EQ(r.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(r.get(), &Brimsel::version());
  }
  EXPECT_EQ(&Brimsel::product(), &Brimsel::product());
  EXPECT_EQ(&Brimsel::copyright(), &Brimsel::copyright());
}
