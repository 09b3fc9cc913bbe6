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

#include <climits>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <set>
#include <tuple>

#include "support.h"

namespace fs = std::filesystem;
using namespace Brimsel;

namespace {

// compare tells how the other version stands, part by part as deep as
// asked; the text forms, and what fromText reads: runs of digits (a sign is
// skipped), saturated, from the first 128 characters up to a zero byte;
// parts not found are -1.
TEST(Version, CompareTextFormsAndFromText) {
  std::mt19937 rng(5);
  const int values[] = {INT_MIN, -1, 0, 1, INT_MAX};
  for (int round = 0; round < 5000; ++round) {
    int p[8];  // the parts of a, then those of b
    for (int& part : p) part = values[rng() % 5];
    const Version a(p[0], p[1], p[2], p[3]), b(p[4], p[5], p[6], p[7]);
    // -1 and 4 to 5 compare all four parts, like 3.
    const int d = static_cast<int>(rng() % 7) - 1, n = d >= 0 && d < 3 ? d + 1 : 4;
    const std::vector<int> pa(p, p + n), pb(p + 4, p + 4 + n);
    ASSERT_EQ(a.compare(b, d), (pb > pa) - (pb < pa)) << a.text() << " " << b.text() << " at " << d;
  }
  // What fromText reads, as text() and textLS() write it.
  const std::pair<std::string, const char*> read[] = {
      {"v3 r0 b1 x7", "3.0.1.7 3.0-1.7"},
      {"3.0.1.0.99", "3.0.1.0 3.0-1"},
      {"-5", "5.-1.-1.-1 5.-1--1.-1"},
      {std::string("4.5\0.6", 6), "4.5.-1.-1 4.5--1.-1"},
      {"2147483647.2147483648.99999999999999999999.1",
       "2147483647.2147483647.2147483647.1 2147483647.2147483647-2147483647.1"},
      {std::string(124, ' ') + "1.2345", "1.23.-1.-1 1.23--1.-1"},  // characters 125 to 128
      {std::string(128, 'x') + "1.2.3.4", "-1.-1.-1.-1 -1.-1--1.-1"}};
  for (const auto& [text, expected] : read)
    EXPECT_EQ(Version::fromText(text).text() + " " + Version::fromText(text).textLS(), expected)
        << text;
}

// Upper case out, either case in; every character replaced by what it must
// not be (neighbours of the digit ranges among them), which reads as the null
// identifier unless it is a digit where a digit belongs or the '-' where that
// belongs; the wrong lengths read as null too. Created identifiers are new
// every time, random in every digit, version 4 and variant 10, and read back
// from their text.
TEST(Guid, TextFormAndCreatedIdentifiersOrTheReasonWhyNot) {
  const _GUID high = {0xFFFFFFFFUL, 0x0BCD, 0xABCD, {0xFF, 0xEE, 0, 0x0A, 0xB0, 0xC1, 0xD2, 0xE3}};
  EXPECT_EQ(Guid(high).asString(), "FFFFFFFF-0BCD-ABCD-FFEE-000AB0C1D2E3");
  EXPECT_EQ(Guid::fromString(std::string("ffffffff-0bcd-abcd-ffEE-000ab0c1d2e3\0x", 38)),
            Guid(high));
  EXPECT_EQ(Guid::null.asString(), "00000000-0000-0000-0000-000000000000");
  // Zero fields are read like any other, not taken for a refusal.
  EXPECT_EQ(Guid::fromString("00000000-0000-0000-0000-000000000001").asString(),
            "00000000-0000-0000-0000-000000000001");
  const std::string good = "12345678-9abc-DEF0-1234-56789abcdef0";
  for (std::size_t n = 0; n < good.size() * 8; ++n) {
    std::string bad = good;
    const char c = bad[n / 8] = "-0gG/:@`"[n % 8];
    EXPECT_EQ(Guid::fromString(bad) == Guid::null, c != (good[n / 8] == '-' ? '-' : '0')) << bad;
  }
  for (const std::string& bad : {good.substr(1), good + "0", "{" + good + "}"})
    EXPECT_EQ(Guid::fromString(bad), Guid::null);
  std::set<std::string> seen;
  std::set<std::pair<std::size_t, char>> digits;  // each position with the characters it took
  for (int i = 0; i < 400; ++i) {
    const Guid g = Guid::create();
    const std::string s = g.asString();
    EXPECT_TRUE(seen.insert(s).second && Guid::fromString(s) == g) << s;
    EXPECT_TRUE(s[14] == '4' && std::string("89AB").find(s[19]) != std::string::npos) << s;
    for (std::size_t k = 0; k < s.size(); ++k) digits.insert({k, s[k]});
  }
  // Thirty positions take all 16 digits; the variant's four, the version's '4' and the separators.
  EXPECT_EQ(digits.size(), 30 * 16 + 4 + 1 + 4u);
#if !defined(_WIN32)
  // The kernel refuses the random source in a child process: no identifier
  // but Exception 0 with the reason. Without getrandom the device is read.
  const std::string failure =
      "0:Failed to create a unique identifier: the system's random source failed (";
  const std::tuple<int, long, int, std::string> cases[] = {
      {EIO, -1, 0, failure + "Input/output error)"},
      {ENOSYS, -1, 0, "ok"},
      {ENOSYS, SYS_openat, EMFILE, failure + "Too many open files)"},
      {ENOSYS, SYS_read, EIO, failure + "Input/output error)"}};
  for (const auto& [getrandomError, second, secondError, expected] : cases) {
    const auto body = [&] {
      return !(support::refuseSystemCall(SYS_getrandom, getrandomError) &&
               support::refuseSystemCall(second, secondError) &&
               support::raised([] { Guid::create(); }) == expected);
    };
    EXPECT_EQ(support::inChild(body), "exit 0") << expected;
  }
#endif
}

// Each result is fixed to the last bit by the constants and the order of the
// operations; each row converts one value there (flag true) and one back.
TEST(UnitConversions, FiguresToTheLastBit) {
  const std::tuple<double (*)(double, bool), double, double, double, double> cases[] = {
      // Times 9, then divided by 5; back, times the double nearest 5/9.
      {UnitConversions::FehCelConversion, -42.0, -43.599999999999994, 451.0, 232.7777777777778},
      {UnitConversions::FtMeterConversion, 1.0, 3.2808399, 3.2808399, 1.0},
      {UnitConversions::InchMillimeterConversion, 25.4, 1.0000005399999998, 0.0393701, 1.0},
      {UnitConversions::InhgHpaConversion, 1013.25, 29.924689888275, 29.92, 1013.0912003829485},
      {UnitConversions::LbsKgsConversion, 1.0, 2.20462262, 2.0, 0.9071848}};
  for (const auto& [convert, there, thereResult, back, backResult] : cases)
    EXPECT_EQ(std::make_pair(convert(there, true), convert(back, false)),
              std::make_pair(thereResult, backResult));
}

TEST(Library, IdentityIsTheVersionItsFileCarries) {
  EXPECT_EQ(product(), "Brimsel Foundation Class Library");
  EXPECT_EQ(copyright(), "Copyright (c) 2026 the Brimsel Foundation Class Library developers");
  EXPECT_EQ(version().text(), "3.0.1.0");
#if defined(_WIN32)
  // The shipped DLL beside this program: file and product version, product name.
  std::vector<char> info(GetFileVersionInfoSizeA("brimsel.dll", nullptr));
  void *fixed = nullptr, *name = nullptr;
  UINT length = 0;
  ASSERT_TRUE(
      GetFileVersionInfoA("brimsel.dll", 0, static_cast<DWORD>(info.size()), info.data()) &&
      VerQueryValueA(info.data(), "\\", &fixed, &length) &&
      VerQueryValueA(info.data(), "\\StringFileInfo\\040904b0\\ProductName", &name, &length));
  const auto* f = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  EXPECT_EQ(std::vector<DWORD>({f->dwFileVersionMS, f->dwFileVersionLS, f->dwProductVersionMS,
                                f->dwProductVersionLS}),
            std::vector<DWORD>({0x00030000u, 0x00010000u, 0x00030000u, 0x00010000u}));
  EXPECT_STREQ(static_cast<const char*>(name), product().c_str());
#endif
}

// A fresh directory, the current one for the test's scope, removed after.
struct TempRoot {
  const fs::path old = fs::current_path();
  const fs::path dir = fs::temp_directory_path() / ("brimsel-" + Guid::create().asString());
  TempRoot() { fs::current_path(createPath(dir.string())); }
  ~TempRoot() {
    std::error_code ec;
    fs::current_path(old, ec);
    fs::remove_all(dir, ec);
  }
  // `rel`, written with '/', below the root in the form createPath returns.
  std::string sub(const std::string& rel) const { return (dir / rel).make_preferred().string(); }
};

// createPath(path) returns `where`, a directory, when `reason` is empty;
// otherwise it raises 4001 (not fatal, no place) naming `where` and the reason.
void expectOutcome(const std::string& path, const std::string& where,
                   const std::string& reason = "") {
  std::string got;
  Exception e(0, false, "");  // not fatal and no place, as the failure must be
  EXPECT_EQ(support::raised([&] { got = createPath(path); }, &e) + got,
            reason.empty()
                ? "ok" + where
                : "4001:Failed to create directory <" + where + "> because <" + reason + ">")
      << path;
  EXPECT_TRUE((!reason.empty() || fs::is_directory(where)) && !e.isFatal() && e.file().empty() &&
              e.line() == -1)
      << path;
}

#if defined(_WIN32)
// The reason createPath must give when `dir` is the one directory it asks
// for, as the system answers; empty when the system accepts it.
std::string reasonOfSystem(const std::string& dir) {
  const bool made = CreateDirectoryA(dir.c_str(), nullptr) && RemoveDirectoryA(dir.c_str());
  const DWORD error = GetLastError();
  if (made || error == ERROR_ALREADY_EXISTS) return "";
  return error == ERROR_PATH_NOT_FOUND ? "ERROR_PATH_NOT_FOUND" : "an undocumented error occured";
}
#endif

// Threads that create overlapping paths at the same moment all succeed too.
// On Linux, a path has no drives or shares and a zero byte ends it; on
// Windows, what comes before the first component created is taken as
// existing: the drive, "C:dir" of a drive-relative path, a share, or a
// leading backslash.
TEST(CreatePath, CreatesWhatIsMissingKeepsWhatExistsAndNamesWhatFails) {
  TempRoot root;
  expectOutcome(root.sub("") + "\\a//b\\\\/c/", root.sub("a/b/c/"));
  expectOutcome("rel/a\\b", root.sub("rel/a/b/").substr(root.sub("").size()));
  { std::ofstream(root.sub("f")) << "not a directory"; }
  expectOutcome(root.sub("f/g/h"), root.sub("f/g/"), "ERROR_PATH_NOT_FOUND");
  expectOutcome(root.sub("f/"), root.sub("f/"), "an undocumented error occured");
  const std::string tooLong(300, 'n');
  expectOutcome(root.sub("made/" + tooLong + "/z"), root.sub("made/" + tooLong + "/"),
                "an undocumented error occured");
  std::vector<std::future<void>> threads;
  for (int i = 0; i < 6; ++i)
    threads.push_back(std::async(std::launch::async, [&root, i] {
      for (int n = 0; n < 50; ++n) {
        const std::string rel = "r" + std::to_string(n) + "/t" + std::to_string(i % 3);
        EXPECT_EQ(createPath(root.sub(rel)), root.sub(rel + "/"));
      }
    }));
  for (auto& t : threads) support::endsInTime([&] { t.get(); }, "createPath");
#if !defined(_WIN32)
  expectOutcome("C:/x", "C:/x/");
  expectOutcome("\\" + root.sub("q").substr(1), root.sub("q/"));  // a leading '\' is the root
  expectOutcome("//\\", "/");
  expectOutcome(std::string("\0/etc", 5), "/", "ERROR_PATH_NOT_FOUND");
#else
  expectOutcome(root.sub("r1/r2").substr(2), root.sub("r1/r2/").substr(2));
  expectOutcome("\\", "\\");
  const std::string relative = root.sub("").substr(0, 2) + "dr\\sub";
  expectOutcome(relative, relative + "\\", reasonOfSystem(relative));
  EXPECT_FALSE(fs::exists(root.sub("dr")));
  std::string missing = "Q:";
  while (missing[0] > 'D' && (GetLogicalDrives() & (1u << (missing[0] - 'A'))) != 0) --missing[0];
  expectOutcome(missing + "\\x\\y", missing + "\\x\\", reasonOfSystem(missing + "\\x"));
  const std::string share = "\\\\brimsel-no-such-server\\share\\";
  expectOutcome("//brimsel-no-such-server/share/a/b", share + "a\\", reasonOfSystem(share + "a"));
  for (const char* p : {"", "C:", "\\\\server\\share"}) expectOutcome(p, "\\", reasonOfSystem(""));
#endif
}

}  // namespace
