// SPDX-License-Identifier: MIT
#include <brimsel/version.h>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

using Brimsel::Version;

TEST(Version, AllSixOperatorsAgreeOnAnAscendingList) {
  // Neighbours differ in one part only, with signed parts where an unsigned
  // comparison would go wrong.
  const std::vector<Version> v = {
      Version(INT_MIN, 5, 5, 5), Version(-1), Version(), Version(0, 0, 0, 1), Version(1, 2, 3, -7),
      Version(1, 2, 3, 4), Version(1, 2, 3, 5), Version(1, 2, 4), Version(1, 3, -2), Version(1, 3),
      Version(2, -1, 9, 9), Version(2), Version(INT_MAX)};
  for (std::size_t i = 0; i < v.size(); ++i) {
    for (std::size_t j = 0; j < v.size(); ++j) {
      SCOPED_TRACE(v[i].text() + " vs " + v[j].text());
      const Version &a = v[i], &b = v[j];
      EXPECT_EQ(std::vector<bool>({a == b, a != b, a < b, a > b, a <= b, a >= b}),
                std::vector<bool>({i == j, i != j, i < j, i > j, i <= j, i >= j}));
    }
  }
}

TEST(Version, CompareTellsHowTheOtherStandsAtEachDepth) {
  const Version v(3, 0, 1, 0);
  const int anDepths[6] = {0, 1, 2, 3, 4, -1};
  const struct {
    Version other;
    int anExpected[6];  // at the depths above
  } cases[] = {
      {Version(3, 0, 1, 0), {0, 0, 0, 0, 0, 0}},     {Version(4), {1, 1, 1, 1, 1, 1}},
      {Version(2, 9, 9, 9), {-1, -1, -1, -1, -1, -1}}, {Version(3, 1), {0, 1, 1, 1, 1, 1}},
      {Version(3, -1, 5, 5), {0, -1, -1, -1, -1, -1}}, {Version(3, 0, 2, -5), {0, 0, 1, 1, 1, 1}},
      {Version(3, 0, 0, 9), {0, 0, -1, -1, -1, -1}},   {Version(3, 0, 1, 9), {0, 0, 0, 1, 1, 1}},
      {Version(3, 0, 1, -1), {0, 0, 0, -1, -1, -1}},
  };
  for (const auto& c : cases) {
    for (int i = 0; i < 6; ++i) {
      SCOPED_TRACE(c.other.text() + " at depth " + std::to_string(anDepths[i]));
      EXPECT_EQ(v.compare(c.other, anDepths[i]), c.anExpected[i]);
      EXPECT_EQ(c.other.compare(v, anDepths[i]), -c.anExpected[i]) << "the other way round";
    }
  }
}

TEST(Version, TextForms) {
  EXPECT_EQ(Version(1, 2).text(), "1.2.0.0");
  EXPECT_EQ(Version(INT_MAX, INT_MIN, -1, 7).text(), "2147483647.-2147483648.-1.7");
  EXPECT_EQ(Version(3, 0, 1, 7).textLS(), "3.0-1.7");
  EXPECT_EQ(Version(3, 0, 1, -1).textLS(), "3.0-1.-1");
  EXPECT_EQ(Version(-3, -4, -5).textLS(), "-3.-4--5");
}

TEST(Version, FromTextReadsRunsOfDigitsFromTheFirst128Characters) {
  const struct {
    std::string text;
    Version expected;
  } cases[] = {
      {"", Version(-1, -1, -1, -1)},          {"abc", Version(-1, -1, -1, -1)},
      {"3, 0, 1, 0", Version(3, 0, 1, 0)},    {"v3 r0 b1 x0", Version(3, 0, 1, 0)},
      {"3.0.1.0.99", Version(3, 0, 1, 0)},    {"3.0", Version(3, 0, -1, -1)},
      {"-5", Version(5, -1, -1, -1)},         {"03.007", Version(3, 7, -1, -1)},
      {std::string("4.5\0" "6.7", 7), Version(4, 5, -1, -1)},
      // Saturation, and the rest of a saturated run is still one number.
      {"2147483647.2147483648.99999999999999999999.1", Version(INT_MAX, INT_MAX, INT_MAX, 1)},
      {"214748364.21474836470", Version(214748364, INT_MAX, -1, -1)},
      {std::string(60, '9') + ".1", Version(INT_MAX, 1, -1, -1)},
      // Characters 125 to 128 are "1.23": the "45" after them is cut off.
      {std::string(124, ' ') + "1.2345", Version(1, 23, -1, -1)},
      {std::string(128, 'x') + "1.2.3.4", Version(-1, -1, -1, -1)},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Version::fromText(c.text).text(), c.expected.text()) << '"' << c.text << '"';
}

// The version the library reports is the one its file carries.
TEST(Version, LibraryIdentityIsOneObjectForEveryThreadAndTheFilesVersion) {
  EXPECT_EQ(Brimsel::product(), "Brimsel Foundation Class Library");
  EXPECT_EQ(Brimsel::version().text(), "3.0.1.0");
  EXPECT_EQ(Brimsel::copyright().find("Copyright (c) 2026"), 0u);
  EXPECT_NE(Brimsel::copyright().find(Brimsel::product()), std::string::npos);
  std::vector<std::future<const Version*>> results;
  for (int i = 0; i < 8; ++i)
    results.push_back(std::async(std::launch::async, [] { return &Brimsel::version(); }));
  for (auto& r : results) {
    ASSERT_EQ(r.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(r.get(), &Brimsel::version());
  }
#if defined(_WIN32)
  // Found as LoadLibrary finds it: the one beside this program, which it uses.
  DWORD dwHandle = 0;
  std::vector<char> info(GetFileVersionInfoSizeA("brimsel.dll", &dwHandle));
  ASSERT_TRUE(GetFileVersionInfoA("brimsel.dll", 0, static_cast<DWORD>(info.size()), info.data()));
  VS_FIXEDFILEINFO* pFixed = nullptr;
  UINT nLength = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&pFixed), &nLength));
  EXPECT_EQ(Version(HIWORD(pFixed->dwFileVersionMS), LOWORD(pFixed->dwFileVersionMS),
                    HIWORD(pFixed->dwFileVersionLS), LOWORD(pFixed->dwFileVersionLS))
                .text(),
            Brimsel::version().text());
#endif
}
