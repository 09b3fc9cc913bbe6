// SPDX-License-Identifier: MIT
// Event-source registration on Linux: one file per source below a temporary
// store root, read back as a person would read it.
#if !defined(_WIN32)

#include "eventlog_test.h"

using Brimsel::EventLogger;

namespace {

namespace fs = std::filesystem;

void functionOfTheExecutable() {}

size_t countFiles(const std::string& dir) {
  return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
}

// The file's "name=value" lines; comment lines start with '#'.
std::map<std::string, std::string> readStore(const std::string& path) {
  std::map<std::string, std::string> values;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    const std::string::size_type eq = line.find('=');
    if (!line.empty() && line[0] != '#' && eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
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
  // The four values, both files naming `file` by an absolute path.
  void expectRegistered(const std::string& name, const std::string& file) {
    const auto values = readStore(root_ + "/" + name);
    EXPECT_EQ(4u, values.size());
    EXPECT_EQ("5", values.at("CategoryCount"));
    EXPECT_EQ("31", values.at("TypesSupported"));
    const std::string path = values.at("EventMessageFile");
    EXPECT_EQ('/', path[0]);
    std::error_code ec;
    EXPECT_TRUE(fs::equivalent(file, path, ec)) << path;
    EXPECT_EQ(path, values.at("CategoryMessageFile"));
  }

  std::string temp_, root_;
};

// Registering needs no open source (this logger's is refused). Without a
// module the running executable is registered, else the module's file (a
// copy keeps the module); registering again replaces the file whole, leaving
// no temporary file beside it. An address in no module has no file to
// register: nothing is written.
TEST_F(PosixRegistration, RegistersTheModuleFileOrTheRunningExecutable) {
  Brimsel::detail::setSyslogSocketPath(temp_ + "/no.sock");
  EventLogger logger("brimsel-unregistered");
  Brimsel::detail::setSyslogSocketPath("");
  ASSERT_TRUE(logger.registerEventSource("Brimsel Test Source"));
  expectRegistered("Brimsel Test Source", "/proc/self/exe");
  logger.setModuleHandle(reinterpret_cast<const void*>(&std::terminate));
  ASSERT_TRUE(EventLogger(logger).registerEventSource("Brimsel Test Source"));
  const std::string library = readStore(root_ + "/Brimsel Test Source")["EventMessageFile"];
  EXPECT_EQ(0u, fs::path(library).filename().string().rfind("libstdc++.so", 0)) << library;
  expectRegistered("Brimsel Test Source", library);
  logger.setModuleHandle(reinterpret_cast<const void*>(&functionOfTheExecutable));
  ASSERT_TRUE(logger.registerEventSource("Brimsel Test Source"));
  expectRegistered("Brimsel Test Source", "/proc/self/exe");
  logger.setModuleHandle(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(0x10)));
  EXPECT_FALSE(logger.registerEventSource("nowhere"));
  EXPECT_EQ(1u, countFiles(root_));
  EXPECT_EQ(fs::perms(0644), fs::status(root_ + "/Brimsel Test Source").permissions() & fs::perms::all);
}

// Names that would leave the folder, and a store that cannot be written (a
// file stands where a folder must be, or a folder where the source's file
// must go, which stops even root), give false and leave nothing half-written.
TEST_F(PosixRegistration, RefusedRegistrationsWriteNothing) {
  EventLogger logger("brimsel-refused");
  for (const std::string& name : {std::string(), std::string("."), std::string(".."), std::string("a/b"),
                                  std::string("../escape"), std::string("/abs"), std::string("nul\0byte", 8)}) {
    EXPECT_FALSE(logger.registerEventSource(name)) << name;
  }
  EXPECT_EQ(0u, countFiles(temp_));
  std::ofstream(temp_ + "/blocker") << "not a folder";
  Brimsel::detail::setEventSourceStoreRoot(temp_ + "/blocker/Application");
  EXPECT_FALSE(logger.registerEventSource("source"));
  Brimsel::detail::setEventSourceStoreRoot(root_);
  ASSERT_TRUE(fs::create_directories(root_ + "/taken"));
  EXPECT_FALSE(logger.registerEventSource("taken"));
  EXPECT_EQ(1u, countFiles(root_));
}

}  // namespace

#endif  // !_WIN32
