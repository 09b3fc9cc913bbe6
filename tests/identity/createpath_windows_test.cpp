// createPath with the path forms of Windows: drives, paths rooted on the
// current drive, drive-relative paths and network shares.
#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <brimsel/util.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "createpath_support.h"

namespace fs = std::filesystem;
using Brimsel::createPath;
using identity_test::CurrentDirectory;
using identity_test::expectFailure;
using identity_test::TempRoot;

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

TEST(CreatePathWindows, DriveForms) {
  TempRoot root;
  ASSERT_EQ(root.path().substr(1, 2), ":\\");
  std::string strForward = root.path() + "/fw/a";
  for (char& c : strForward)
    if (c == '\\') c = '/';
  EXPECT_EQ(createPath(strForward), root.sub("fw/a/"));
  EXPECT_TRUE(fs::is_directory(root.sub("fw/a")));
  // Only the drive: it is asked for itself and gets one more backslash.
  const std::string strDrive = root.path().substr(0, 3);
  const std::string strReason = reasonOfSystem(strDrive);
  if (strReason.empty()) {
    EXPECT_EQ(createPath(strDrive), strDrive + "\\");
  } else {
    expectFailure(strDrive, strDrive + "\\", strReason);
  }
  // Under Wine, Z: is the Linux root.
  const HMODULE hNtdll = GetModuleHandleA("ntdll.dll");
  if (hNtdll != nullptr && GetProcAddress(hNtdll, "wine_get_version") != nullptr) {
    const std::string strZ = "Z:\\tmp\\brimsel-identity-" + Brimsel::Guid::create().asString();
    EXPECT_EQ(createPath(strZ + "/z1\\z2"), strZ + "\\z1\\z2\\");
    EXPECT_TRUE(fs::is_directory(strZ + "\\z1\\z2"));
    fs::remove_all(strZ);
  }
}

TEST(CreatePathWindows, RootedAndDriveRelativeForms) {
  TempRoot root;
  CurrentDirectory cd(root.path());
  const std::string strRooted = root.path().substr(2) + "\\r1\\r2";
  EXPECT_EQ(createPath(strRooted), strRooted + "\\");
  EXPECT_TRUE(fs::is_directory(root.sub("r1/r2")));
  EXPECT_EQ(createPath("\\"), "\\");
  // In "C:dr\sub" the "C:dr" is taken as existing and never created.
  const std::string strDrive = root.path().substr(0, 2);
  expectFailure(strDrive + "dr\\sub", strDrive + "dr\\sub\\", reasonOfSystem(strDrive + "dr\\sub"));
  EXPECT_FALSE(fs::exists(root.sub("dr")));
  createPath(root.sub("dr"));
  EXPECT_EQ(createPath(strDrive + "dr/sub"), strDrive + "dr\\sub\\");
  EXPECT_TRUE(fs::is_directory(root.sub("dr/sub")));
}

TEST(CreatePathWindows, MissingDrivesSharesAndBarePrefixesFailAsTheSystemSays) {
  char cDrive = 'Q';
  while (cDrive > 'D' && (GetLogicalDrives() & (1u << (cDrive - 'A'))) != 0) --cDrive;
  ASSERT_GT(cDrive, 'D') << "every drive letter from E: to Q: is in use";
  const std::string strDrive = std::string(1, cDrive) + ":";
  // Only the first directory after the drive or share is asked for.
  expectFailure(strDrive + "\\x\\y", strDrive + "\\x\\", reasonOfSystem(strDrive + "\\x"));
  expectFailure(strDrive + "x\\y\\z", strDrive + "x\\y\\", reasonOfSystem(strDrive + "x\\y"));
  const std::string strShare = "\\\\brimsel-no-such-server\\share\\";
  expectFailure("//brimsel-no-such-server/share/a/b", strShare + "a\\", reasonOfSystem(strShare + "a"));
  // A bare drive or share, or nothing at all, leaves one empty component.
  const std::string strReason = reasonOfSystem("");
  ASSERT_NE(strReason, "");
  for (const char* psz : {"", "C:", "\\\\server\\share"}) expectFailure(psz, "\\", strReason);
}
#endif
