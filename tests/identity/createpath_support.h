// Temporary directories and the expected failure of the createPath tests.
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

// A fresh directory in the system's temporary folder, removed with all its
// contents at the end of the test.
class TempRoot {
 public:
  TempRoot()
      : _str((std::filesystem::temp_directory_path() /
              ("brimsel-identity-" + Brimsel::Guid::create().asString()))
                 .string()) {
    std::filesystem::create_directories(_str);
  }
  ~TempRoot() {
    std::error_code ec;
    std::filesystem::remove_all(_str, ec);
  }
  const std::string& path() const { return _str; }
  // `rel`, written with '/', below the root in the form createPath returns.
  std::string sub(std::string rel) const {
    for (char& c : rel)
      if (c == '/') c = cSep;
    return _str + cSep + rel;
  }

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

 private:
  std::filesystem::path _old;
};

// createPath(path) raises error 4001, not fatal, without source location,
// naming `where` (the path up to the failing directory and its separator).
inline void expectFailure(const std::string& path, const std::string& where,
                          const std::string& reason) {
  try {
    ADD_FAILURE() << "createPath(\"" << path << "\") returned " << Brimsel::createPath(path);
  } catch (const Brimsel::Exception& e) {
    EXPECT_EQ(e.errorCode(), 4001);
    EXPECT_FALSE(e.isFatal());
    EXPECT_EQ(e.file() + std::to_string(e.line()), "-1");
    EXPECT_EQ(e.legend(), "Failed to create directory <" + where + "> because <" + reason + ">");
  }
}

}  // namespace identity_test

#endif  // BRIMSEL_TESTS_IDENTITY_CREATEPATH_SUPPORT_H
