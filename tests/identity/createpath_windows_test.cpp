// createPath with the path forms of Windows: drives, paths rooted on the
// current drive, drive-relative paths and network shares.
#include <brimsel/util.h>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "createpath_support.h"

#if defined(_WIN32)

namespace fs = std::filesystem;
using Brimsel::createPath;
using identity_test::CurrentDirectory;
using identity_test::expectFailure;
using identity_test::TempRoot;

namespace {

bool underWine() {
  const HMODULE hNtdll = GetModuleHandleA("ntdll.dll");
  return hNtdll != nullptr && GetProcAddress(hNtdll, "wine_get_version") != nullptr;
}

// What createPath must say about `dir` when it is the one directory asked
// for: the system's own answer to creating it, told apart as createPath does.
// Empty when the system accepts it.
std::string reasonOfSystem(const std::string& dir) {
  if (CreateDirectoryA(dir.c_str(), nullptr)) {
    RemoveDirectoryA(dir.c_str());
    return "";
  }
  const DWORD dwError = GetLastError();
  if (dwError == ERROR_ALREADY_EXISTS) return "";
  return dwError == ERROR_PATH_NOT_FOUND ? "ERROR_PATH_NOT_FOUND" : "an undocumented error occured";
}

// A drive letter that names no drive here.
char missingDrive() {
  const DWORD dwDrives = GetLogicalDrives();
  for (char c = 'Q'; c > 'D'; --c)
    if ((dwDrives & (1u << (c - 'A'))) == 0) return c;
  return 0;
}

}  // namespace

TEST(CreatePathWindows, ForwardSlashesGiveTheBackslashForm) {
  TempRoot root;
  std::string strForward = root.path() + "/fw/a";
  for (char& c : strForward)
    if (c == '\\') c = '/';
  EXPECT_EQ(createPath(strForward), root.sub("fw/a/"));
  EXPECT_TRUE(fs::is_directory(root.sub("fw/a")));
}

TEST(CreatePathWindows, DriveLetterOfTheLinuxRootUnderWine) {
  if (!underWine()) GTEST_SKIP() << "Z: is the Linux root only under Wine";
  const std::string strBase = "Z:\\tmp\\brimsel-identity-" + Brimsel::Guid::create().asString();
  EXPECT_EQ(createPath(strBase + "/z1\\z2"), strBase + "\\z1\\z2\\");
  EXPECT_TRUE(fs::is_directory(strBase + "\\z1\\z2"));
  std::error_code ec;
  fs::remove_all(strBase, ec);
}

TEST(CreatePathWindows, RootedOnTheCurrentDrive) {
  TempRoot root;
  ASSERT_EQ(root.path()[1], ':');
  CurrentDirectory cd(root.path());
  const std::string strRooted = root.path().substr(2) + "\\r1\\r2";
  EXPECT_EQ(createPath(strRooted), strRooted + "\\");
  EXPECT_TRUE(fs::is_directory(root.sub("r1/r2")));
  // Nothing but the root: nothing to create.
  EXPECT_EQ(createPath("\\"), "\\");
}

TEST(CreatePathWindows, DriveRelativePathTakesItsFirstDirectoryAsExisting) {
  TempRoot root;
  CurrentDirectory cd(root.path());
  const std::string strDrive = root.path().substr(0, 2);
  // "C:dr" is taken as existing and never created.
  expectFailure(strDrive + "dr\\sub", strDrive + "dr\\sub\\",
                reasonOfSystem(strDrive + "dr\\sub"));
  EXPECT_FALSE(fs::exists(root.sub("dr")));
  createPath(root.sub("dr"));
  EXPECT_EQ(createPath(strDrive + "dr/sub"), strDrive + "dr\\sub\\");
  EXPECT_TRUE(fs::is_directory(root.sub("dr/sub")));
}

TEST(CreatePathWindows, MissingDriveGivesWhatTheSystemReports) {
  const char cDrive = missingDrive();
  if (cDrive == 0) GTEST_SKIP() << "every drive letter from E: to Q: is in use";
  const std::string strDrive = std::string(1, cDrive) + ":";
  // Only the first directory after the drive is asked for, and fails.
  expectFailure(strDrive + "\\x\\y", strDrive + "\\x\\", reasonOfSystem(strDrive + "\\x"));
  expectFailure(strDrive + "x\\y\\z", strDrive + "x\\y\\", reasonOfSystem(strDrive + "x\\y"));
}

TEST(CreatePathWindows, NetworkShareIsNeverCreated) {
  const std::string strShare = "\\\\brimsel-no-such-server\\share\\";
  expectFailure("//brimsel-no-such-server/share/a/b", strShare + "a\\",
                reasonOfSystem(strShare + "a"));
}

TEST(CreatePathWindows, BarePrefixesAskForTheEmptyName) {
  // A bare drive or share, or nothing at all, leaves one empty component.
  const std::string strReason = reasonOfSystem("");
  ASSERT_NE(strReason, "") << "the system created a directory without a name";
  expectFailure("", "\\", strReason);
  expectFailure("C:", "\\", strReason);
  expectFailure("\\\\server\\share", "\\", strReason);
}

TEST(CreatePathWindows, APathThatIsOnlyADriveGetsOneMoreBackslash) {
  TempRoot root;
  const std::string strDrive = root.path().substr(0, 3);  // "C:\"
  const std::string strReason = reasonOfSystem(strDrive);
  if (strReason.empty())
    EXPECT_EQ(createPath(strDrive), strDrive + "\\");
  else
    expectFailure(strDrive, strDrive + "\\", strReason);
}

#endif
