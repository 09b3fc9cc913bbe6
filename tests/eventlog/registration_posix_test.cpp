// Event-source registration on Linux: one file per source below a temporary
// store root, read back as a person would read it.
#if !defined(_WIN32)

#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>

#include "eventlogger_internal.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using Brimsel::EventLogger;

namespace {

namespace fs = std::filesystem;

// Any function of the executable, as a module address.
void functionOfTheExecutable() {}

std::vector<std::string> listFolder(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The file as "name=value" lines; comment lines start with '#'.
std::map<std::string, std::string> readStore(const std::string& path, std::string* text = nullptr) {
  std::ifstream in(path);
  std::ostringstream all;
  all << in.rdbuf();
  if (text != nullptr) {
    *text = all.str();
  }
  std::map<std::string, std::string> values;
  std::istringstream lines(all.str());
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    const std::string::size_type eq = line.find('=');
    if (eq != std::string::npos) {
      values[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return values;
}

// Whether two paths name the same file.
bool sameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

// The file mapped at `address`, from the kernel's own list of mappings.
std::string mappedFile(const void* address) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  const unsigned long at = reinterpret_cast<unsigned long>(address);
  while (std::getline(maps, line)) {
    unsigned long from = 0;
    unsigned long to = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx", &from, &to) == 2 && from <= at && at < to) {
      const std::string::size_type slash = line.find('/');
      return slash == std::string::npos ? std::string() : line.substr(slash);
    }
  }
  return std::string();
}

class PosixRegistration : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/brimsel-registry-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    temp_ = pattern;
    root_ = temp_ + "/etc/brimsel/eventlog/Application";
    Brimsel::detail::setEventSourceStoreRoot(root_);
  }
  void TearDown() override {
    Brimsel::detail::setEventSourceStoreRoot("");
    std::error_code ec;
    fs::remove_all(temp_, ec);
  }

  std::string temp_;
  std::string root_;
};

TEST_F(PosixRegistration, WithoutModuleRegistersTheRunningExecutable) {
  EventLogger logger("brimsel-unregistered");
  // The folders of the store are created as needed.
  ASSERT_TRUE(logger.registerEventSource("Brimsel Test Source"));
  std::string text;
  const auto values = readStore(root_ + "/Brimsel Test Source", &text);
  EXPECT_EQ("5", values.at("CategoryCount")) << text;
  EXPECT_EQ("31", values.at("TypesSupported")) << text;
  const std::string path = values.at("EventMessageFile");
  EXPECT_EQ('/', path[0]);
  EXPECT_TRUE(sameFile("/proc/self/exe", path)) << path;
  EXPECT_EQ(path, values.at("CategoryMessageFile"));
  // Readable by anyone, like the registry's values.
  EXPECT_EQ(fs::perms(0644), fs::status(root_ + "/Brimsel Test Source").permissions() & fs::perms::all);
}

TEST_F(PosixRegistration, ModuleHandleChoosesTheRegisteredFile) {
  EventLogger logger("brimsel-module");
  const void* inLibrary = reinterpret_cast<const void*>(&Brimsel::Exception::explainErrorCode);
  const std::string library = mappedFile(inLibrary);
  ASSERT_NE(std::string::npos, library.find("libbrimsel")) << library;

  logger.setModuleHandle(inLibrary);
  ASSERT_TRUE(logger.registerEventSource("lib"));
  auto values = readStore(root_ + "/lib");
  EXPECT_EQ('/', values.at("EventMessageFile")[0]);
  EXPECT_TRUE(sameFile(library, values.at("EventMessageFile"))) << values.at("EventMessageFile");
  EXPECT_EQ(values.at("EventMessageFile"), values.at("CategoryMessageFile"));

  // A copy keeps the module; the executable's own address gives its file.
  EventLogger copy(logger);
  ASSERT_TRUE(copy.registerEventSource("copy"));
  EXPECT_TRUE(sameFile(library, readStore(root_ + "/copy").at("EventMessageFile")));
  logger.setModuleHandle(reinterpret_cast<const void*>(&functionOfTheExecutable));
  ASSERT_TRUE(logger.registerEventSource("exe"));
  EXPECT_TRUE(sameFile("/proc/self/exe", readStore(root_ + "/exe").at("EventMessageFile")));
}

TEST_F(PosixRegistration, RegisteringAgainReplacesTheFileWhole) {
  EventLogger logger("brimsel-again");
  ASSERT_TRUE(logger.registerEventSource("again"));
  logger.setModuleHandle(reinterpret_cast<const void*>(&Brimsel::Exception::explainErrorCode));
  ASSERT_TRUE(logger.registerEventSource("again"));
  const auto values = readStore(root_ + "/again");
  EXPECT_EQ(4u, values.size());
  EXPECT_NE(std::string::npos, values.at("EventMessageFile").find("libbrimsel"));
  // No temporary file is left beside it.
  EXPECT_EQ(std::vector<std::string>{"again"}, listFolder(root_));
}

TEST_F(PosixRegistration, NamesThatLeaveTheFolderAreRefused) {
  EventLogger logger("brimsel-names");
  for (const std::string& name : {std::string(), std::string("."), std::string(".."), std::string("a/b"),
                                  std::string("../escape"), std::string("/abs"), std::string("nul\0byte", 8)}) {
    EXPECT_FALSE(logger.registerEventSource(name)) << name;
  }
  // Nothing at all was written, inside the store or beside it.
  EXPECT_TRUE(listFolder(temp_).empty());
}

// A store that cannot be written (here: a file stands where a folder must
// be, which stops even root) gives false.
TEST_F(PosixRegistration, UnwritableStoreGivesFalse) {
  const std::string blocker = temp_ + "/blocker";
  std::ofstream(blocker) << "not a folder";
  Brimsel::detail::setEventSourceStoreRoot(blocker + "/Application");
  EventLogger logger("brimsel-unwritable");
  EXPECT_FALSE(logger.registerEventSource("source"));

  // A folder where the source's file must go cannot be replaced either.
  Brimsel::detail::setEventSourceStoreRoot(root_);
  ASSERT_TRUE(logger.registerEventSource("first"));
  ASSERT_TRUE(fs::create_directory(root_ + "/taken"));
  EXPECT_FALSE(logger.registerEventSource("taken"));
  // Nothing half-written is left behind.
  EXPECT_EQ((std::vector<std::string>{"first", "taken"}), listFolder(root_));
}

// Registering needs no open source and no syslog daemon.
TEST_F(PosixRegistration, WorksForALoggerWhoseSourceIsRefused) {
  Brimsel::detail::setSyslogSocketPath(temp_ + "/no.sock");
  EventLogger logger("brimsel-refused");
  Brimsel::detail::setSyslogSocketPath("");
  EXPECT_FALSE(logger.logError("nothing", EventLogger::LAYER_UI));
  EXPECT_TRUE(logger.registerEventSource("refused"));
}

}  // namespace

#endif  // !_WIN32
