// createPath below a temporary root, with the path forms of each system.
#if defined(_WIN32)
#include <windows.h>
#endif

#include <brimsel/exception.h>
#include <brimsel/guid.h>
#include <brimsel/util.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>

#include "support.h"

namespace fs = std::filesystem;
using Brimsel::createPath;

namespace {

#if defined(_WIN32)
const char cSep = '\\';
#else
const char cSep = '/';
#endif

std::string swapped(std::string s, char from, char to) {
  std::replace(s.begin(), s.end(), from, to);
  return s;
}

// A fresh directory, the current one for the test's scope, removed after.
struct TempRoot {
  const fs::path old = fs::current_path();
  const std::string path = (fs::temp_directory_path() / ("brimsel-" + Brimsel::Guid::create().asString())).string();
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

// createPath(path) returns `where`, a directory, when `reason` is empty;
// otherwise it raises 4001 (not fatal, no location) naming `where` and the reason.
void expectOutcome(const std::string& path, const std::string& where, const std::string& reason = "") {
  std::string got;
  Brimsel::Exception e(0, false, "");
  const std::string outcome = support::raised([&] { got = createPath(path); }, &e);
  if (reason.empty()) {
    EXPECT_EQ(outcome + got, "ok" + where) << path;
    EXPECT_TRUE(fs::is_directory(where)) << where;
  } else {
    EXPECT_EQ(outcome, "4001:Failed to create directory <" + where + "> because <" + reason + ">") << path;
    EXPECT_TRUE(!e.isFatal() && e.file().empty() && e.line() == -1);
  }
}

}  // namespace

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
  expectOutcome(root.sub("made/" + tooLong + "/z"), root.sub("made/" + tooLong + "/"), "an undocumented error occured");
  EXPECT_TRUE(fs::is_directory(root.sub("made")));
}

TEST(CreatePath, OverlappingCallsFromSeveralThreadsAllSucceed) {
  TempRoot root;
  std::vector<std::future<std::string>> results;
  for (int i = 0; i < 6; ++i) {
    results.push_back(std::async(std::launch::async, [&root, i] {
      std::string last;
      for (int n = 0; n < 50; ++n) last = createPath(root.sub("r/s/t" + std::to_string(i % 3)));
      return last;
    }));
  }
  for (int i = 0; i < 6; ++i) {
    ASSERT_TRUE(support::readyWithin(results[i], std::chrono::seconds(60)));
    EXPECT_EQ(results[i].get(), root.sub("r/s/t" + std::to_string(i % 3) + "/"));
  }
}

#if !defined(_WIN32)
TEST(CreatePath, LinuxPathsHaveNoDrivesOrShares) {
  TempRoot root;
  expectOutcome("C:/x", "C:/x/");
  expectOutcome(swapped(root.sub("q"), '/', '\\'), root.sub("q/"));  // a leading backslash makes it absolute
  expectOutcome("//\\", "/");
  expectOutcome("", "/", "ERROR_PATH_NOT_FOUND");
  expectOutcome(std::string("\0/etc", 5), "/", "ERROR_PATH_NOT_FOUND");
}
#else
namespace {

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

}  // namespace

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
  for (const char* bare : {"", "C:", "\\\\server\\share"}) expectOutcome(bare, "\\", reasonOfSystem(""));
}
#endif
