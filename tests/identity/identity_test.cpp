// SPDX-License-Identifier: MIT
// Version, Guid, UnitConversions, the library's own identity, and createPath
// below a temporary root with the path forms of each system.
#include <brimsel/exception.h>
#include <brimsel/guid.h>
#include <brimsel/unitconversions.h>
#include <brimsel/util.h>
#include <brimsel/version.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/syscall.h>

#include "child.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <set>
#include <tuple>

#include "support.h"

namespace fs = std::filesystem;
using Brimsel::Guid;
using Brimsel::Version;

namespace {

TEST(Version, CompareTellsHowTheOtherStandsAsDeepAsAsked) {
  std::mt19937 rng(5);
  const int parts[] = {INT_MIN, -1, 0, 1, INT_MAX};
  auto make = [&] {
    return Version(parts[rng() % 5], parts[rng() % 5], parts[rng() % 5], parts[rng() % 5]);
  };
  for (int round = 0; round < 5000; ++round) {
    const Version a = make(), b = make();
    const int depth = static_cast<int>(rng() % 7) - 1;  // -1 and 4 to 5 compare all four, like 3
    const int pa[] = {a.verMajor(), a.verMinor(), a.release(), a.build()};
    const int pb[] = {b.verMajor(), b.verMinor(), b.release(), b.build()};
    int expected = 0;
    for (int i = 0; i <= (depth >= 0 && depth < 3 ? depth : 3) && expected == 0; ++i)
      expected = (pb[i] > pa[i]) - (pb[i] < pa[i]);
    ASSERT_EQ(a.compare(b, depth), expected) << a.text() << " " << b.text() << " at " << depth;
  }
}

TEST(Version, TextFormsAndFromText) {
  EXPECT_EQ(Version(INT_MAX, INT_MIN, -1, 7).text(), "2147483647.-2147483648.-1.7");
  EXPECT_EQ(Version(3, 0, 1, 7).textLS() + " " + Version(3, 0, 1).textLS() + " " +
                Version(-3, -4, -5, -1).textLS(),
            "3.0-1.7 3.0-1 -3.-4--5.-1");
  const std::pair<std::string, const char*> read[] = {
      {"", "-1.-1.-1.-1"},
      {"v3 r0 b1 x0", "3.0.1.0"},
      {"3.0.1.0.99", "3.0.1.0"},
      {"-5", "5.-1.-1.-1"},
      {std::string("4.5\0.6", 6), "4.5.-1.-1"},
      {"2147483647.2147483648.99999999999999999999.1", "2147483647.2147483647.2147483647.1"},
      {std::string(124, ' ') + "1.2345", "1.23.-1.-1"},  // characters 125 to 128 are "1.23"
      {std::string(128, 'x') + "1.2.3.4", "-1.-1.-1.-1"}};
  for (const auto& [text, expected] : read)
    EXPECT_EQ(Version::fromText(text).text(), expected) << text;
}

// Upper case out, either case in; every character replaced by what it must
// not be (neighbours of the digit ranges among them) and the wrong lengths
// read as the null identifier.
TEST(Guid, TextForm) {
  const _GUID high = {0xFFFFFFFFUL, 0x0BCD, 0xABCD, {0xFF, 0xEE, 0, 0x0A, 0xB0, 0xC1, 0xD2, 0xE3}};
  EXPECT_EQ(Guid(high).asString(), "FFFFFFFF-0BCD-ABCD-FFEE-000AB0C1D2E3");
  EXPECT_EQ(Guid::fromString(std::string("ffffffff-0bcd-abcd-ffEE-000ab0c1d2e3\0x", 38)),
            Guid(high));
  EXPECT_EQ(Guid::null.asString(), "00000000-0000-0000-0000-000000000000");
  const std::string good = "12345678-9abc-DEF0-1234-56789abcdef0";
  for (std::size_t i = 0; i < good.size(); ++i) {
    for (char c : {'-', '0', 'g', 'G', '/', ':', '@', '`'}) {
      std::string bad = good;
      bad[i] = c;
      EXPECT_TRUE((c == '-') == (good[i] == '-') || Guid::fromString(bad) == Guid::null) << bad;
    }
  }
  for (const std::string& bad : {good.substr(1), good + "0", "{" + good + "}"})
    EXPECT_EQ(Guid::fromString(bad), Guid::null);
}

// New every time, random in every group, version 4 and variant 10, read back from their text.
TEST(Guid, CreatedIdentifiersAreNewAndRandom) {
  std::set<std::string> seen, groups[5];
  const std::pair<std::size_t, std::size_t> kGroups[] = {
      {0, 8}, {9, 4}, {14, 4}, {19, 4}, {24, 12}};
  for (int i = 0; i < 200; ++i) {
    const Guid g = Guid::create();
    const std::string s = g.asString();
    EXPECT_TRUE(seen.insert(s).second && Guid::fromString(s) == g) << s;
    EXPECT_TRUE(s[14] == '4' && std::string("89AB").find(s[19]) != std::string::npos) << s;
    for (int k = 0; k < 5; ++k) groups[k].insert(s.substr(kGroups[k].first, kGroups[k].second));
  }
  for (const auto& group : groups) EXPECT_GT(group.size(), 100u) << *group.begin();
}

#if !defined(_WIN32)
// The kernel refuses the random source in a child process: no identifier
// but Exception 0 with the reason. Without getrandom the device is read.
TEST(Guid, AFailedRandomSourceRaisesRatherThanHandOutAnIdentifier) {
  const std::string failure =
      "0:Failed to create a unique identifier: the system's random source failed (";
  const std::tuple<int, long, int, std::string> cases[] = {
      {EIO, -1, 0, failure + "Input/output error)"},
      {ENOSYS, -1, 0, "ok"},
      {ENOSYS, SYS_openat, EMFILE, failure + "Too many open files)"},
      {ENOSYS, SYS_read, EIO, failure + "Input/output error)"}};
  for (const auto& [getrandomError, second, secondError, expected] : cases) {
    const auto body = [&] {
      if (!support::refuseSystemCall(SYS_getrandom, getrandomError) ||
          !support::refuseSystemCall(second, secondError))
        return 2;
      return support::raised([] { Guid::create(); }) == expected ? 0 : 1;
    };
    EXPECT_EQ(support::inChild(body), "exit 0") << expected;
  }
}
#endif

// Each result is fixed to the last bit by the constants and the order of the operations.
TEST(UnitConversions, FiguresToTheLastBit) {
  using U = Brimsel::UnitConversions;
  const std::tuple<double (*)(double, bool), double, bool, double> cases[] = {
      {U::FehCelConversion, -42.0, true, -43.599999999999994},  // times 9, then divided by 5
      {U::FehCelConversion, 451.0, false, 232.7777777777778},   // times the double nearest 5/9
      {U::FtMeterConversion, 1.0, true, 3.2808399},
      {U::FtMeterConversion, 3.2808399, false, 1.0},
      {U::InchMillimeterConversion, 25.4, true, 1.0000005399999998},
      {U::InchMillimeterConversion, 0.0393701, false, 1.0},
      {U::InhgHpaConversion, 1013.25, true, 29.924689888275},
      {U::InhgHpaConversion, 29.92, false, 1013.0912003829485},
      {U::LbsKgsConversion, 1.0, true, 2.20462262},
      {U::LbsKgsConversion, 2.0, false, 0.9071848}};
  for (const auto& [convert, value, flag, expected] : cases)
    EXPECT_EQ(convert(value, flag), expected) << value;
}

TEST(Library, IdentityIsBuiltOnceAndIsTheVersionItsFileCarries) {
  EXPECT_EQ(Brimsel::product(), "Brimsel Foundation Class Library");
  EXPECT_EQ(Brimsel::copyright(),
            "Copyright (c) 2026 the Brimsel Foundation Class Library developers");
  EXPECT_EQ(Brimsel::version().text(), "3.0.1.0");
  EXPECT_EQ(&Brimsel::version(), &Brimsel::version());
#if defined(_WIN32)
  // The shipped DLL beside this program: file and product version, product name.
  std::vector<char> info(GetFileVersionInfoSizeA("brimsel.dll", nullptr));
  VS_FIXEDFILEINFO* fixed = nullptr;
  char* name = nullptr;
  UINT length = 0;
  ASSERT_TRUE(GetFileVersionInfoA("brimsel.dll", 0, static_cast<DWORD>(info.size()), info.data()) &&
              VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) &&
              VerQueryValueA(info.data(), "\\StringFileInfo\\040904b0\\ProductName",
                             reinterpret_cast<void**>(&name), &length));
  EXPECT_EQ(std::vector<DWORD>({fixed->dwFileVersionMS, fixed->dwFileVersionLS,
                                fixed->dwProductVersionMS, fixed->dwProductVersionLS}),
            std::vector<DWORD>({0x00030000u, 0x00010000u, 0x00030000u, 0x00010000u}));
  EXPECT_STREQ(name, Brimsel::product().c_str());
#endif
}

#if defined(_WIN32)
const char cSep = '\\';
#else
const char cSep = '/';
#endif

// A fresh directory, the current one for the test's scope, removed after.
struct TempRoot {
  const fs::path old = fs::current_path();
  const std::string path =
      (fs::temp_directory_path() / ("brimsel-" + Guid::create().asString())).string();
  TempRoot() {
    fs::create_directories(path);
    fs::current_path(path);
  }
  ~TempRoot() {
    std::error_code ec;
    fs::current_path(old, ec);
    fs::remove_all(path, ec);
  }
  // `rel`, written with '/', below the root in the form createPath returns.
  std::string sub(std::string rel) const {
    std::replace(rel.begin(), rel.end(), '/', cSep);
    return path + cSep + rel;
  }
};

// createPath(path) returns `where`, a directory, when `reason` is empty;
// otherwise it raises 4001 (not fatal, no location) naming `where` and the reason.
void expectOutcome(const std::string& path, const std::string& where,
                   const std::string& reason = "") {
  std::string got;
  Brimsel::Exception e(0, false, "");
  const std::string outcome = support::raised([&] { got = Brimsel::createPath(path); }, &e);
  if (reason.empty()) {
    EXPECT_TRUE(outcome + got == "ok" + where && fs::is_directory(where))
        << path << ": " << outcome << got;
  } else {
    EXPECT_EQ(outcome, "4001:Failed to create directory <" + where + "> because <" + reason + ">")
        << path;
    EXPECT_TRUE(!e.isFatal() && e.file().empty() && e.line() == -1);
  }
}

// Several threads creating overlapping paths all succeed too.
TEST(CreatePath, CreatesWhatIsMissingKeepsWhatExistsAndNamesWhatFails) {
  TempRoot root;
  expectOutcome(root.sub("a/b/c"), root.sub("a/b/c/"));
  expectOutcome(root.path + "\\a//b\\\\/c/", root.sub("a/b/c/"));
  EXPECT_TRUE(fs::is_empty(root.sub("a/b/c")));
  expectOutcome("rel/a\\b", root.sub("rel/a/b/").substr(root.path.size() + 1));
  { std::ofstream(root.sub("f")) << "not a directory"; }
  expectOutcome(root.sub("f/g/h"), root.sub("f/g/"), "ERROR_PATH_NOT_FOUND");
  expectOutcome(root.sub("f/"), root.sub("f/"), "an undocumented error occured");
  const std::string tooLong(300, 'n');
  expectOutcome(root.sub("made/" + tooLong + "/z"), root.sub("made/" + tooLong + "/"),
                "an undocumented error occured");
  EXPECT_TRUE(fs::is_directory(root.sub("made")));
  std::vector<std::future<void>> threads;
  for (int i = 0; i < 6; ++i) {
    threads.push_back(std::async(std::launch::async, [&root, i] {
      for (int n = 0; n < 50; ++n)
        EXPECT_EQ(Brimsel::createPath(root.sub("r/s/t" + std::to_string(i % 3))),
                  root.sub("r/s/t" + std::to_string(i % 3) + "/"));
    }));
  }
  for (auto& t : threads) support::endsInTime([&] { t.get(); }, "createPath");
}

#if !defined(_WIN32)
TEST(CreatePath, LinuxPathsHaveNoDrivesOrShares) {
  TempRoot root;
  std::string backslashed = root.sub("q");
  std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
  expectOutcome("C:/x", "C:/x/");
  expectOutcome(backslashed, root.sub("q/"));  // a leading backslash makes it absolute
  expectOutcome("//\\", "/");
  expectOutcome("", "/", "ERROR_PATH_NOT_FOUND");
  expectOutcome(std::string("\0/etc", 5), "/", "ERROR_PATH_NOT_FOUND");
}
#else
// The reason createPath must give when `dir` is the one directory it asks
// for, as the system answers; empty when the system accepts it.
std::string reasonOfSystem(const std::string& dir) {
  if (CreateDirectoryA(dir.c_str(), nullptr)) {
    RemoveDirectoryA(dir.c_str());
    return "";
  }
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS) return "";
  return error == ERROR_PATH_NOT_FOUND ? "ERROR_PATH_NOT_FOUND" : "an undocumented error occured";
}

// What comes before the first component created is taken as existing: the
// drive, "C:dir" of a drive-relative path, a share, or a leading backslash.
TEST(CreatePath, WindowsDrivesSharesAndRootedPaths) {
  TempRoot root;
  ASSERT_EQ(root.path.substr(1, 2), ":\\");
  expectOutcome(root.path.substr(2) + "\\r1\\r2", root.path.substr(2) + "\\r1\\r2\\");
  expectOutcome("\\", "\\");
  const std::string relative = root.path.substr(0, 2) + "dr\\sub";
  expectOutcome(relative, relative + "\\", reasonOfSystem(relative));
  EXPECT_FALSE(fs::exists(root.sub("dr")));
  char drive = 'Q';
  while (drive > 'D' && (GetLogicalDrives() & (1u << (drive - 'A'))) != 0) --drive;
  const std::string missing = std::string(1, drive) + ":";
  expectOutcome(missing + "\\x\\y", missing + "\\x\\", reasonOfSystem(missing + "\\x"));
  expectOutcome(missing + "x\\y\\z", missing + "x\\y\\", reasonOfSystem(missing + "x\\y"));
  const std::string share = "\\\\brimsel-no-such-server\\share\\";
  expectOutcome("//brimsel-no-such-server/share/a/b", share + "a\\", reasonOfSystem(share + "a"));
  for (const char* bare : {"", "C:", "\\\\server\\share"})
    expectOutcome(bare, "\\", reasonOfSystem(""));
}
#endif

}  // namespace
