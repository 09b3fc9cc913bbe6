// Temporary directories and expectations shared by the createPath tests.
#ifndef BRIMSEL_TESTS_IDENTITY_CREATEPATH_SUPPORT_H
#define BRIMSEL_TESTS_IDENTITY_CREATEPATH_SUPPORT_H

#include <brimsel/exception.h>
#include <brimsel/guid.h>
#include <brimsel/util.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace identity_test {

#if defined(_WIN32)
const char cSep = '\\';
#else
const char cSep = '/';
#endif

// `s` with every '/' turned into the separator createPath writes.
inline std::string native(std::string s) {
  for (char& c : s)
    if (c == '/') c = cSep;
  return s;
}

// A fresh directory under the system's temporary folder, removed with all
// its contents at the end of the test.
class TempRoot {
 public:
  TempRoot() {
    const std::filesystem::path p = std::filesystem::temp_directory_path() /
                                    ("brimsel-identity-" + Brimsel::Guid::create().asString());
    std::filesystem::create_directories(p);
    _str = p.string();
  }
  ~TempRoot() {
    std::error_code ec;
    std::filesystem::remove_all(_str, ec);
  }
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  const std::string& path() const { return _str; }
  // The path of `rel` (written with '/') below the root, in native form.
  std::string sub(const std::string& rel) const { return _str + native("/" + rel); }

 private:
  std::string _str;
};

// Makes `dir` the current directory for one scope.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& dir) : _old(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~CurrentDirectory() {
    std::error_code ec;
    std::filesystem::current_path(_old, ec);
  }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

 private:
  std::filesystem::path _old;
};

// createPath(path) raises error 4001, not fatal, without source location,
// naming `where` (the path up to and including the failing directory and its
// separator) and `reason`.
inline void expectFailure(const std::string& path, const std::string& where,
                          const std::string& reason) {
  try {
    const std::string strResult = Brimsel::createPath(path);
    ADD_FAILURE() << "createPath(\"" << path << "\") returned \"" << strResult << '"';
  } catch (const Brimsel::Exception& e) {
    EXPECT_EQ(e.errorCode(), 4001);
    EXPECT_FALSE(e.isFatal());
    EXPECT_EQ(e.file(), "");
    EXPECT_EQ(e.line(), -1);
    EXPECT_EQ(e.legend(), "Failed to create directory <" + where + "> because <" + reason + ">");
  }
}

}  // namespace identity_test

#endif  // BRIMSEL_TESTS_IDENTITY_CREATEPATH_SUPPORT_H
