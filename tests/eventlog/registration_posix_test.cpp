// Event-source registration on Linux: one file per source below a temporary
// store root, read back as a person would read it.
#if !defined(_WIN32)

#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>

#include "eventlogger_internal.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
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

// The file's "name=value" lines; comment lines start with '#'.
std::map<std::string, std::string> readStore(const std::string& path) {
  std::map<std::string, std::string> values;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const std::string::size_type eq = line.find('=');
    if (!line.empty() && line[0] != '#' && eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
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

// Registering needs no open source: this logger's is refused. The folders
// of the store are created as needed.
TEST_F(PosixRegistration, WithoutModuleRegistersTheRunningExecutable) {
  Brimsel::detail::setSyslogSocketPath(temp_ + "/no.sock");
  EventLogger logger("brimsel-unregistered");
  Brimsel::detail::setSyslogSocketPath("");
  ASSERT_TRUE(logger.registerEventSource("Brimsel Test Source"));
  const auto values = readStore(root_ + "/Brimsel Test Source");
  EXPECT_EQ(4u, values.size());
  EXPECT_EQ("5", values.at("CategoryCount"));
  EXPECT_EQ("31", values.at("TypesSupported"));
  const std::string path = values.at("EventMessageFile");
  EXPECT_EQ('/', path[0]);
  EXPECT_TRUE(sameFile("/proc/self/exe", path)) << path;
  EXPECT_EQ(path, values.at("CategoryMessageFile"));
  // Readable by anyone, like the registry's values.
  EXPECT_EQ(fs::perms(0644), fs::status(root_ + "/Brimsel Test Source").permissions() & fs::perms::all);
}

// The module's file is registered; a copy keeps the module; registering
// again replaces the file whole, leaving no temporary file beside it.
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

  EventLogger copy(logger);
  ASSERT_TRUE(copy.registerEventSource("copy"));
  EXPECT_TRUE(sameFile(library, readStore(root_ + "/copy").at("EventMessageFile")));

  logger.setModuleHandle(reinterpret_cast<const void*>(&functionOfTheExecutable));
  ASSERT_TRUE(logger.registerEventSource("lib"));
  values = readStore(root_ + "/lib");
  EXPECT_EQ(4u, values.size());
  EXPECT_TRUE(sameFile("/proc/self/exe", values.at("EventMessageFile")));
  EXPECT_EQ((std::vector<std::string>{"copy", "lib"}), listFolder(root_));

  // An address in no module has no file to register: nothing is written.
  logger.setModuleHandle(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(0x10)));
  EXPECT_FALSE(logger.registerEventSource("nowhere"));
  EXPECT_EQ((std::vector<std::string>{"copy", "lib"}), listFolder(root_));
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

}  // namespace

#endif  // !_WIN32
