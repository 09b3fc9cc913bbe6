// Version, Guid, UnitConversions and the library's own identity.
#include <brimsel/exception.h>
#include <brimsel/guid.h>
#include <brimsel/unitconversions.h>
#include <brimsel/version.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/syscall.h>
#include "child.h"
#endif

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <set>

#include "support.h"

using Brimsel::Guid;
using Brimsel::Version;

TEST(Version, CompareTellsHowTheOtherStandsAsDeepAsAsked) {
  std::mt19937 rng(5);
  const int parts[] = {INT_MIN, -1, 0, 1, INT_MAX};
  auto make = [&] { return Version(parts[rng() % 5], parts[rng() % 5], parts[rng() % 5], parts[rng() % 5]); };
  for (int round = 0; round < 5000; ++round) {
    const Version a = make(), b = make();
    const int depth = static_cast<int>(rng() % 7) - 1;  // -1 and 4 to 5 compare all four, like 3
    const int pa[] = {a.verMajor(), a.verMinor(), a.release(), a.build()};
    const int pb[] = {b.verMajor(), b.verMinor(), b.release(), b.build()};
    int expected = 0;
    for (int i = 0; i <= (depth >= 0 && depth < 3 ? depth : 3) && expected == 0; ++i) expected = (pb[i] > pa[i]) - (pb[i] < pa[i]);
    ASSERT_EQ(a.compare(b, depth), expected) << a.text() << " " << b.text() << " at " << depth;
  }
}

TEST(Version, TextFormsAndFromText) {
  EXPECT_EQ(Version(INT_MAX, INT_MIN, -1, 7).text(), "2147483647.-2147483648.-1.7");
  EXPECT_EQ(Version(3, 0, 1, 7).textLS() + " " + Version(3, 0, 1).textLS() + " " + Version(-3, -4, -5, -1).textLS(),
            "3.0-1.7 3.0-1 -3.-4--5.-1");
  const std::pair<std::string, const char*> read[] = {
      {"", "-1.-1.-1.-1"}, {"v3 r0 b1 x0", "3.0.1.0"}, {"3.0.1.0.99", "3.0.1.0"}, {"-5", "5.-1.-1.-1"},
      {"03.007", "3.7.-1.-1"}, {std::string("4.5\0" "6.7", 7), "4.5.-1.-1"},
      {"2147483647.2147483648.99999999999999999999.1", "2147483647.2147483647.2147483647.1"},
      {"214748364.21474836470", "214748364.2147483647.-1.-1"},
      {std::string(124, ' ') + "1.2345", "1.23.-1.-1"},  // characters 125 to 128 are "1.23"
      {std::string(128, 'x') + "1.2.3.4", "-1.-1.-1.-1"}};
  for (const auto& [text, expected] : read) EXPECT_EQ(Version::fromText(text).text(), expected) << text;
}

TEST(Guid, TextFormIsUpperCaseAndReadInEitherCase) {
  const _GUID high = {0xFFFFFFFFUL, 0x0BCD, 0xABCD, {0xFF, 0xEE, 0, 0x0A, 0xB0, 0xC1, 0xD2, 0xE3}};
  EXPECT_EQ(Guid(high).asString(), "FFFFFFFF-0BCD-ABCD-FFEE-000AB0C1D2E3");
  EXPECT_EQ(Guid::fromString(std::string("ffffffff-0bcd-abcd-ffEE-000ab0c1d2e3\0x", 38)), Guid(high));
  EXPECT_EQ(Guid::null.asString(), "00000000-0000-0000-0000-000000000000");
  // Every character replaced by what it must not be (neighbours of the
  // digit ranges among them), and the wrong lengths.
  const std::string good = "12345678-9abc-DEF0-1234-56789abcdef0";
  for (std::size_t i = 0; i < good.size(); ++i) {
    for (char c : {'-', '0', 'g', 'G', '/', ':', '@', '`'}) {
      std::string bad = good;
      bad[i] = c;
      if ((c == '-') != (good[i] == '-')) {
        EXPECT_EQ(Guid::fromString(bad), Guid::null) << bad;
      }
    }
  }
  for (const std::string& bad : {good.substr(1), good + "0", "{" + good + "}"}) EXPECT_EQ(Guid::fromString(bad), Guid::null);
}

TEST(Guid, CreatedIdentifiersAreNewRandomAndSurviveTheirText) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    const Guid g = Guid::create();
    const std::string s = g.asString();
    EXPECT_TRUE(seen.insert(s).second) << "repeated " << s;
    EXPECT_EQ(Guid::fromString(s), g);
    EXPECT_TRUE(s[14] == '4' && std::string("89AB").find(s[19]) != std::string::npos) << s;  // version 4, variant 10
  }
}

#if !defined(_WIN32)
// The kernel refuses the random source in a child process: no identifier
// but Exception 0 with the reason. Without getrandom the device is read.
TEST(Guid, AFailedRandomSourceRaisesRatherThanHandOutAnIdentifier) {
  const std::string failure = "0:Failed to create a unique identifier: the system's random source failed (";
  const struct {
    long first;
    int firstError;
    long second;
    int secondError;
    std::string expected;
  } cases[] = {{SYS_getrandom, EIO, -1, 0, failure + "Input/output error)"},
               {SYS_getrandom, ENOSYS, -1, 0, "ok"},
               {SYS_getrandom, ENOSYS, SYS_openat, EMFILE, failure + "Too many open files)"},
               {SYS_getrandom, ENOSYS, SYS_read, EIO, failure + "Input/output error)"}};
  for (const auto& c : cases) {
    EXPECT_EQ(support::inChild([&] {
      if (!support::refuseSystemCall(c.first, c.firstError) || !support::refuseSystemCall(c.second, c.secondError)) return 2;
      return support::raised([] { Guid::create(); }) == c.expected ? 0 : 1;
    }), "exit 0") << c.expected;
  }
}
#endif

// Each result is fixed to the last bit by the constants and the order of the operations.
TEST(UnitConversions, FiguresToTheLastBit) {
  using U = Brimsel::UnitConversions;
  const struct {
    double (*convert)(double, bool);
    double value;
    bool flag;
    double expected;
  } cases[] = {{U::FehCelConversion, -42.0, true, -43.599999999999994},  // times 9, then divided by 5
               {U::FehCelConversion, 451.0, false, 232.7777777777778},   // times the double nearest 5/9
               {U::FtMeterConversion, 1.0, true, 3.2808399},          {U::FtMeterConversion, 3.2808399, false, 1.0},
               {U::InchMillimeterConversion, 25.4, true, 1.0000005399999998},
               {U::InchMillimeterConversion, 0.0393701, false, 1.0},
               {U::InhgHpaConversion, 1013.25, true, 29.924689888275},
               {U::InhgHpaConversion, 29.92, false, 1013.0912003829485},
               {U::LbsKgsConversion, 1.0, true, 2.20462262},          {U::LbsKgsConversion, 2.0, false, 0.9071848}};
  for (const auto& c : cases) EXPECT_EQ(c.convert(c.value, c.flag), c.expected) << (&c - cases);
}

TEST(Library, IdentityIsBuiltOnceAndIsTheVersionItsFileCarries) {
  EXPECT_EQ(Brimsel::product(), "Brimsel Foundation Class Library");
  EXPECT_EQ(Brimsel::copyright(), "Copyright (c) 2026 the Brimsel Foundation Class Library developers");
  EXPECT_EQ(Brimsel::version().text(), "3.0.1.0");
  EXPECT_EQ(&Brimsel::version(), &Brimsel::version());
#if defined(_WIN32)
  // The shipped DLL beside this program.
  std::vector<char> info(GetFileVersionInfoSizeA("brimsel.dll", nullptr));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(GetFileVersionInfoA("brimsel.dll", 0, static_cast<DWORD>(info.size()), info.data()) &&
              VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(Version(HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                    LOWORD(fixed->dwFileVersionLS)).text(), Brimsel::version().text());
#endif
}
