// SPDX-License-Identifier: MIT
// createPath below a temporary root, with the path forms of each system.
#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <rpc.h>
#endif

// After the system's headers, which the library's must take as they are.
#include <brimsel/exception.h>
#include <brimsel/guid.h>
#include <brimsel/util.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <system_error>
#include <type_traits>
#include <vector>

namespace fs = std::filesystem;
using Brimsel::createPath;

#if defined(_WIN32)
static_assert(std::is_same<UUID, _GUID>::value, "one identifier type");
const char cSep = '\\';
#else
const char cSep = '/';
#endif

namespace {

// `s` with every `from` turned into `to`.
std::string swapped(std::string s, char from, char to) {
  std::replace(s.begin(), s.end(), from, to);
  return s;
}

// A fresh directory in the system's temporary folder, the current directory
// for the test's scope, removed with all its contents after.
struct TempRoot {
  const fs::path old = fs::current_path();
  const std::string path =
      (fs::temp_directory_path() / ("brimsel-" + Brimsel::Guid::create().asString())).string();
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
  std::string sub(const std::string& rel) const { return path + cSep + swapped(rel, '/', cSep); }
};

// createPath(path) returns `where`, then a directory, when `reason` is empty;
// otherwise it raises error 4001, not fatal, without source location, naming
// `where` (the path up to the failing directory and its separator) and the reason.
void expectOutcome(const std::string& path, const std::string& where, const std::string& reason = "") {
  try {
    EXPECT_EQ(createPath(path), reason.empty() ? where : "a failure because " + reason) << path;
    EXPECT_TRUE(fs::is_directory(where)) << where;
  } catch (const Brimsel::Exception& e) {
    EXPECT_EQ(std::to_string(e.errorCode()) + (e.isFatal() ? "Y" : "N") + e.file() + std::to_string(e.line()),
              "4001N-1");
    EXPECT_EQ(e.legend(), "Failed to create directory <" + where + "> because <" + reason + ">");
  }
}

}  // namespace

TEST(CreatePath, CreatesWhatIsMissingAndAcceptsWhatExists) {
  TempRoot root;
  expectOutcome(root.sub("a/b/c"), root.sub("a/b/c/"));
  expectOutcome(root.sub("a/b/c/"), root.sub("a/b/c/"));
  EXPECT_TRUE(fs::is_empty(root.sub("a/b/c")));
  // Either separator, repeated ones collapsing; relative to the current directory.
  expectOutcome(root.path + "\\x//y\\\\/z/", root.sub("x/y/z/"));
  expectOutcome("rel/a\\b", root.sub("rel/a/b/").substr(root.path.size() + 1));
}

TEST(CreatePath, FailuresNameTheDirectoryAndKeepWhatWasCreated) {
  TempRoot root;
  { std::ofstream(root.sub("f")) << "not a directory"; }
  expectOutcome(root.sub("f/g/h"), root.sub("f/g/"), "ERROR_PATH_NOT_FOUND");
  // As the last component the file is no directory to return.
  expectOutcome(root.sub("f/"), root.sub("f/"), "an undocumented error occured");
  // No file system here takes a name of 300 characters.
  const std::string strLong(300, 'n');
  expectOutcome(root.sub("made/" + strLong + "/z"), root.sub("made/" + strLong + "/"),
                "an undocumented error occured");
  EXPECT_TRUE(fs::is_directory(root.sub("made")));
}

TEST(CreatePath, OverlappingCallsFromSeveralThreadsAllSucceed) {
  TempRoot root;
  std::vector<std::future<std::string>> results;
  for (int i = 0; i < 6; ++i)
    results.push_back(std::async(std::launch::async, [&root, i] {
      std::string strLast;
      for (int n = 0; n < 50; ++n) strLast = createPath(root.sub("r/s/t" + std::to_string(i % 3)));
      return strLast;
    }));
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(results[i].wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_EQ(results[i].get(), root.sub("r/s/t" + std::to_string(i % 3) + "/"));
  }
}

#if !defined(_WIN32)

TEST(CreatePath, LinuxPathsHaveNoDrivesOrShares) {
  TempRoot root;
  expectOutcome("C:/x", "C:/x/");
  // A leading backslash makes the path absolute, a doubled one is no share.
  expectOutcome(swapped(root.sub("q"), '/', '\\'), root.sub("q/"));
  expectOutcome("/" + root.sub("s"), root.sub("s/"));
  expectOutcome("//\\", "/");
  // Nothing at all asks for the empty name, which does not exist.
  expectOutcome("", "/", "ERROR_PATH_NOT_FOUND");
  expectOutcome(std::string("\0/etc", 5), "/", "ERROR_PATH_NOT_FOUND");
}

#else

namespace {

// The reason createPath must give when `dir` is the one directory it asks
// for: the system's own answer, told apart as createPath does. Empty when
// the system accepts it.
std::string reasonOfSystem(const std::string& dir) {
  if (CreateDirectoryA(dir.c_str(), nullptr)) {
    RemoveDirectoryA(dir.c_str());
    return "";
  }
  const DWORD dwError = GetLastError();
  if (dwError == ERROR_ALREADY_EXISTS) return "";
  return dwError == ERROR_PATH_NOT_FOUND ? "ERROR_PATH_NOT_FOUND" : "an undocumented error occured";
}

}  // namespace

TEST(CreatePathWindows, DriveRootedRelativeAndShareFormsAsTheSystemAnswers) {
  TempRoot root;
  ASSERT_EQ(root.path.substr(1, 2), ":\\");
  // Only the drive: it is asked for itself and gets one more backslash (no
  // path to look up afterwards).
  const std::string strDrive = root.path.substr(0, 3), strReason = reasonOfSystem(strDrive);
  if (strReason.empty())
    EXPECT_EQ(createPath(strDrive), strDrive + "\\");
  else
    expectOutcome(strDrive, strDrive + "\\", strReason);
  expectOutcome(root.path.substr(2) + "\\r1\\r2", root.path.substr(2) + "\\r1\\r2\\");
  expectOutcome("\\", "\\");
  // In "C:dr\sub" the "C:dr" is taken as existing and never created.
  const std::string strRelative = root.path.substr(0, 2) + "dr\\sub";
  expectOutcome(strRelative, strRelative + "\\", reasonOfSystem(strRelative));
  EXPECT_FALSE(fs::exists(root.sub("dr")));
  createPath(root.sub("dr"));
  expectOutcome(swapped(strRelative, '\\', '/'), strRelative + "\\");
  // Under Wine, Z: is the Linux root.
  const HMODULE hNtdll = GetModuleHandleA("ntdll.dll");
  if (hNtdll != nullptr && GetProcAddress(hNtdll, "wine_get_version") != nullptr) {
    const std::string strZ = "Z:\\tmp\\brimsel-" + Brimsel::Guid::create().asString();
    expectOutcome(strZ + "/z1\\z2", strZ + "\\z1\\z2\\");
    fs::remove_all(strZ);
  }
  // A missing drive or share: only the first directory after it is asked for.
  char cDrive = 'Q';
  while (cDrive > 'D' && (GetLogicalDrives() & (1u << (cDrive - 'A'))) != 0) --cDrive;
  ASSERT_GT(cDrive, 'D') << "every drive letter from E: to Q: is in use";
  const std::string strMissing = std::string(1, cDrive) + ":";
  expectOutcome(strMissing + "\\x\\y", strMissing + "\\x\\", reasonOfSystem(strMissing + "\\x"));
  expectOutcome(strMissing + "x\\y\\z", strMissing + "x\\y\\", reasonOfSystem(strMissing + "x\\y"));
  const std::string strShare = "\\\\brimsel-no-such-server\\share\\";
  expectOutcome("//brimsel-no-such-server/share/a/b", strShare + "a\\", reasonOfSystem(strShare + "a"));
  // A bare drive or share, or nothing at all, leaves one empty component.
  ASSERT_NE(reasonOfSystem(""), "");
  for (const char* psz : {"", "C:", "\\\\server\\share"}) expectOutcome(psz, "\\", reasonOfSystem(""));
}

#endif
