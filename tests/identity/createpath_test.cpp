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
using identity_test::TempRoot;

TEST(CreatePath, CreatesWhatIsMissingAndAcceptsWhatExists) {
  TempRoot root;
  EXPECT_EQ(createPath(root.sub("a/b/c")), root.sub("a/b/c/"));
  EXPECT_TRUE(fs::is_directory(root.sub("a/b/c")));
  EXPECT_EQ(createPath(root.sub("a/b/c/")), root.sub("a/b/c/"));
  EXPECT_TRUE(fs::is_empty(root.sub("a/b/c")));
  // Either separator, repeated ones collapsing.
  EXPECT_EQ(createPath(root.path() + "\\x//y\\\\/z/"), root.sub("x/y/z/"));
  EXPECT_TRUE(fs::is_directory(root.sub("x/y/z")));
}

TEST(CreatePath, FailuresNameTheDirectoryAndKeepWhatWasCreated) {
  TempRoot root;
  { std::ofstream(root.sub("f")) << "not a directory"; }
  expectFailure(root.sub("f/g/h"), root.sub("f/g/"), "ERROR_PATH_NOT_FOUND");
  // As the last component the file is no directory to return.
  expectFailure(root.sub("f/"), root.sub("f/"), "an undocumented error occured");
  // No file system here takes a name of 300 characters.
  const std::string strLong(300, 'n');
  expectFailure(root.sub("made/" + strLong + "/z"), root.sub("made/" + strLong + "/"),
                "an undocumented error occured");
  EXPECT_TRUE(fs::is_directory(root.sub("made")));
}

TEST(CreatePath, RelativePathsStartAtTheCurrentDirectory) {
  TempRoot root;
  CurrentDirectory cd(root.path());
  EXPECT_EQ(createPath("rel/a\\b"), root.sub("rel/a/b/").substr(root.path().size() + 1));
  EXPECT_TRUE(fs::is_directory(root.sub("rel/a/b")));
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
  CurrentDirectory cd(root.path());
  EXPECT_EQ(createPath("C:/x"), "C:/x/");
  EXPECT_TRUE(fs::is_directory(root.sub("C:/x")));
  // A leading backslash makes the path absolute, a doubled one is no share.
  std::string strBackslashed = root.sub("q");
  for (char& c : strBackslashed)
    if (c == '/') c = '\\';
  EXPECT_EQ(createPath(strBackslashed), root.sub("q/"));
  EXPECT_EQ(createPath("/" + root.sub("s")), root.sub("s/"));
  EXPECT_TRUE(fs::is_directory(root.sub("s")));
  EXPECT_EQ(createPath("//\\"), "/");
  // Nothing at all asks for the empty name, which does not exist.
  expectFailure("", "/", "ERROR_PATH_NOT_FOUND");
  expectFailure(std::string("\0/etc", 5), "/", "ERROR_PATH_NOT_FOUND");
}

#endif
