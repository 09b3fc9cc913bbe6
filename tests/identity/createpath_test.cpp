#include <brimsel/exception.h>
#include <brimsel/guid.h>
#include <brimsel/util.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "createpath_support.h"

namespace fs = std::filesystem;
using Brimsel::createPath;
using identity_test::CurrentDirectory;
using identity_test::expectFailure;
using identity_test::native;
using identity_test::TempRoot;

TEST(CreatePath, CreatesEveryMissingDirectoryOutermostFirst) {
  TempRoot root;
  const std::string strWanted = root.sub("a/b/c");
  EXPECT_EQ(createPath(strWanted), strWanted + native("/"));
  EXPECT_TRUE(fs::is_directory(root.sub("a")));
  EXPECT_TRUE(fs::is_directory(root.sub("a/b/c")));
  // Everything exists now: the same answer, nothing changes.
  EXPECT_EQ(createPath(strWanted), strWanted + native("/"));
  EXPECT_EQ(createPath(strWanted + native("/")), strWanted + native("/"));
  EXPECT_TRUE(fs::is_empty(root.sub("a/b/c")));
}

TEST(CreatePath, MixedRepeatedAndTrailingSeparatorsCollapse) {
  TempRoot root;
  EXPECT_EQ(createPath(root.path() + "\\x//y\\\\/z/"), root.sub("x/y/z/"));
  EXPECT_TRUE(fs::is_directory(root.sub("x/y/z")));
  EXPECT_EQ(createPath(root.path() + "/x\\y"), root.sub("x/y/"));
}

TEST(CreatePath, AFileInTheWayFailsAtTheNextComponent) {
  TempRoot root;
  { std::ofstream(root.sub("f")) << "not a directory"; }
  expectFailure(root.sub("f/g/h"), root.sub("f/g/"), "ERROR_PATH_NOT_FOUND");
  // As the last component the file is no directory to return.
  expectFailure(root.sub("f"), root.sub("f/"), "an undocumented error occured");
  expectFailure(root.sub("f/"), root.sub("f/"), "an undocumented error occured");
  EXPECT_TRUE(fs::is_regular_file(root.sub("f")));
}

TEST(CreatePath, OtherRefusalsAreUndocumentedAndEarlierDirectoriesStay) {
  TempRoot root;
  // No file system here takes a name of 300 characters.
  const std::string strLong(300, 'n');
  expectFailure(root.sub("made/" + strLong + "/z"), root.sub("made/" + strLong + "/"),
                "an undocumented error occured");
  EXPECT_TRUE(fs::is_directory(root.sub("made")));
}

TEST(CreatePath, RelativePathsStartAtTheCurrentDirectory) {
  TempRoot root;
  CurrentDirectory cd(root.path());
  EXPECT_EQ(createPath("rel/a\\b"), native("rel/a/b/"));
  EXPECT_TRUE(fs::is_directory(root.sub("rel/a/b")));
}

TEST(CreatePath, OverlappingCallsFromSeveralThreadsAllSucceed) {
  TempRoot root;
  std::vector<std::future<std::string>> results;
  for (int i = 0; i < 6; ++i) {
    const std::string strPath = root.sub("race/shared/deeper/t" + std::to_string(i % 3) + "/leaf");
    results.push_back(std::async(std::launch::async, [strPath] {
      std::string strLast;
      for (int n = 0; n < 50; ++n) strLast = createPath(strPath);
      return strLast;
    }));
  }
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(results[i].wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_EQ(results[i].get(),
              root.sub("race/shared/deeper/t" + std::to_string(i % 3) + "/leaf/"));
  }
}

#if !defined(_WIN32)

TEST(CreatePath, LinuxLeadingSeparatorMakesThePathAbsolute) {
  TempRoot root;
  std::string strBackslashed = root.sub("q");
  for (char& c : strBackslashed)
    if (c == '/') c = '\\';
  EXPECT_EQ(createPath(strBackslashed), root.sub("q/"));
  EXPECT_TRUE(fs::is_directory(root.sub("q")));
  // Nothing to create below the root itself.
  EXPECT_EQ(createPath("/"), "/");
  EXPECT_EQ(createPath("//\\"), "/");
}

TEST(CreatePath, LinuxHasNoDrivesOrShares) {
  TempRoot root;
  CurrentDirectory cd(root.path());
  EXPECT_EQ(createPath("C:/x"), "C:/x/");
  EXPECT_TRUE(fs::is_directory(root.sub("C:/x")));
  // A doubled leading separator is no network share, just the root.
  EXPECT_EQ(createPath("/" + root.sub("s")), root.sub("s/"));
  EXPECT_TRUE(fs::is_directory(root.sub("s")));
}

TEST(CreatePath, LinuxEmptyPathAsksForTheEmptyName) {
  expectFailure("", "/", "ERROR_PATH_NOT_FOUND");
  expectFailure(std::string("\0/etc", 5), "/", "ERROR_PATH_NOT_FOUND");
}

#endif
