// Entries written on Linux, read back from a private rsyslogd.
#if !defined(_WIN32)

#include "eventlog_test.h"
#include "eventlogger_internal.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <set>

using Brimsel::EventLogger;
using Brimsel::Exception;
using namespace brimsel_test;

namespace {

const std::string kUiError = "[UI Events 0x40020106] An Error was posted. Legend was: ";
const std::string pid = std::to_string(static_cast<long>(getpid()));

class SyslogLog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { daemon_ = new SyslogDaemon; }
  static void TearDownTestSuite() {
    delete daemon_;
    Brimsel::detail::setSyslogSocketPath("");
  }
  void SetUp() override {
    ASSERT_TRUE(daemon_->running()) << daemon_->error;
    Brimsel::detail::setSyslogSocketPath(daemon_->socketPath);
  }
  // A source name of the running test's own, so that its entries are told apart.
  static std::string source(const std::string& suffix = "") {
    return std::string("brimsel-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
  }
  static SyslogDaemon* daemon_;
};

SyslogDaemon* SyslogLog::daemon_ = nullptr;

// Each datagram is "<PRI>Mmm dd hh:mm:ss SOURCE[PID]: MESSAGE", facility user,
// local time with the day padded with a blank; exceptions give their legend
// alone (not the code, explanation or location).
TEST_F(SyslogLog, EveryKindOfEntryHasItsSeverityCategoryIdentifierAndText) {
  const std::string name = source();
  EventLogger logger(name);
  logger.setLevel(EventLogger::LEVEL_TRACE);
  const time_t before = time(nullptr);
  const std::vector<bool> written = {
      logger.logError("disk full", EventLogger::LAYER_DATA),
      logger.logWarning("low memory", EventLogger::LAYER_DAL),
      logger.logMessage("started", EventLogger::LAYER_UI),
      logger.logDebug("x=1", EventLogger::LAYER_SERVICE),
      logger.logTrace("received 12 bytes", EventLogger::LAYER_CLIENT),
      logger.logUnknown(EventLogger::LAYER_DAEMON),
      logger.log(Exception("reader.cpp", 42, 4302, true, "cannot read"), EventLogger::LAYER_DATA),
      logger.log(Exception(4302, false, "retrying"), EventLogger::LAYER_DAEMON)};
  const time_t after = time(nullptr);
  const std::vector<std::pair<int, std::string>> expected = {
      {3, "[Data Events 0x40020106] An Error was posted. Legend was: disk full"},
      {4, "[Dal Events 0x80020105] A Warning was posted. Legend was: low memory"},
      {6, "[UI Events 0xC0020107] A Message was posted. Legend was: started"},
      {6, "[Data Events 0xC0020108] Debug info was posted. Legend was: x=1"},
      {6, "[UI Events 0xC0020109] Trace info was posted. Legend was: received 12 bytes"},
      {3, "[Daemon Events 0x40020104] An unknown exception was caught."},
      {3, "[Data Events 0x40020101] A Brimsel Exception Critical Error occured. Legend was: cannot read"},
      {4, "[Daemon Events 0x80020100] A Brimsel Exception Warning occured. Legend was: retrying"}};
  EXPECT_EQ(std::vector<bool>(expected.size(), true), written);
  std::set<std::string> stamps;
  for (time_t t = before; t <= after; ++t) {
    struct tm local;
    char text[32];
    ASSERT_NE(nullptr, localtime_r(&t, &local));
    stamps.insert(std::string(text, strftime(text, sizeof text, "%b %e %H:%M:%S", &local)));
  }
  const std::vector<SyslogEntry> got = daemon_->entries(name, expected.size());
  ASSERT_EQ(expected.size(), got.size());
  for (size_t i = 0; i < got.size(); ++i) {
    const std::string& message = expected[i].second;
    const std::string pri = "<" + std::to_string(8 + expected[i].first) + ">";
    EXPECT_EQ(message, got[i].message);
    EXPECT_EQ(expected[i].first, got[i].severity) << message;
    EXPECT_EQ(1, got[i].facility) << message;
    EXPECT_EQ(pid, got[i].procId) << message;
    EXPECT_EQ(pri + got[i].raw.substr(pri.size(), 15) + " " + name + "[" + pid + "]: " + message, got[i].raw);
    EXPECT_EQ(1u, stamps.count(got[i].raw.substr(pri.size(), 15))) << got[i].raw;
  }
}

// A new logger starts quiet; each level admits what the ones below admit, a
// level below 0 what 0 admits, above 3 what 3 admits. Errors, warnings,
// unknown-exception entries and exceptions pass at every level.
TEST_F(SyslogLog, LevelFiltersMessagesDebugAndTraceLinesOnly) {
  EXPECT_EQ(EventLogger::LEVEL_QUIET, EventLogger(source("-new")).level());
  const std::vector<std::string> all = {
      kUiError + "t",
      "[UI Events 0x80020105] A Warning was posted. Legend was: t",
      "[UI Events 0xC0020107] A Message was posted. Legend was: t",
      "[UI Events 0xC0020108] Debug info was posted. Legend was: t",
      "[UI Events 0xC0020109] Trace info was posted. Legend was: t",
      "[UI Events 0x40020104] An unknown exception was caught.",
      "[UI Events 0x80020100] A Brimsel Exception Warning occured. Legend was: t"};
  for (int level : {-1, 0, 1, 2, 3, 4}) {
    SCOPED_TRACE("level " + std::to_string(level));
    const std::string name = source(std::to_string(level + 10));
    EventLogger logger(name);
    if (level != 0) logger.setLevel(static_cast<EventLogger::Level>(level));
    const std::vector<bool> admitted = {true, true, level >= 1, level >= 2, level >= 3, true, true};
    EXPECT_EQ(admitted, writeEach(logger, "t", EventLogger::LAYER_UI));
    std::vector<std::string> expected;
    for (size_t i = 0; i < all.size(); ++i) {
      if (admitted[i]) expected.push_back(all[i]);
    }
    // Datagrams of one socket arrive in order, so an entry written in
    // excess shows as a wrong text among the first ones.
    EXPECT_EQ(expected, messages(daemon_->entries(name, expected.size())));
  }
}

TEST_F(SyslogLog, LayersChooseTheCategoryText) {
  const std::string name = source();
  EventLogger logger(name);
  const std::vector<std::pair<int, std::string>> layers = {
      {0, "Dal Events"}, {1, "Data Events"}, {2, "Data Events"}, {3, "UI Events"},       {4, "UI Events"},
      {5, "Daemon Events"}, {7, "UI Events"}, {-1, "UI Events"}, {65536 + 5, "UI Events"}};
  std::vector<std::string> expected;
  for (const auto& layer : layers) {
    EXPECT_TRUE(logger.logError("layer", static_cast<EventLogger::Layer>(layer.first)));
    expected.push_back("[" + layer.second + " 0x40020106] An Error was posted. Legend was: layer");
  }
  EXPECT_EQ(expected, messages(daemon_->entries(name, layers.size())));
}

// The text is passed unchanged: several lines stay one entry, a "%1" in it is
// not expanded again, a long text is not cut; like the Windows event log, the
// text ends at a zero byte. (rsyslog writes control bytes as #ooo.)
TEST_F(SyslogLog, TextIsPassedUnchanged) {
  const std::string name = source();
  EventLogger logger(name);
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"first line\nsecond line\r\nthird", "first line#012second line#015#012third"},
      {"100%1 sure", "100%1 sure"},
      {std::string(4000, 'x'), std::string(4000, 'x')},
      {std::string("before\0after", 12), "before"},
      {"", ""}};
  std::vector<std::string> expected;
  for (const auto& text : texts) {
    EXPECT_TRUE(logger.logError(text.first, EventLogger::LAYER_UI));
    expected.push_back(kUiError + text.second);
  }
  EXPECT_EQ(expected, messages(daemon_->entries(name, texts.size())));
}

// Each logger writes under its own source; copies share it (and the level),
// and it stays open while any copy holds it.
TEST_F(SyslogLog, CopiesShareTheSourceUntilTheLastIsGone) {
  const std::string name = source();
  auto original = std::make_unique<EventLogger>(name);
  original->setLevel(EventLogger::LEVEL_DEBUG);
  EventLogger copy(*original);
  EventLogger assigned(source("-other"));
  EXPECT_TRUE(assigned.logError("own source", EventLogger::LAYER_UI));
  assigned = *original;
  assigned = assigned;
  original.reset();
  EXPECT_TRUE(copy.logDebug("copy", EventLogger::LAYER_UI));
  EXPECT_FALSE(copy.logTrace("the level is copied too", EventLogger::LAYER_UI));
  EXPECT_TRUE(assigned.logDebug("assigned", EventLogger::LAYER_UI));
  EXPECT_EQ((std::vector<std::string>{"[UI Events 0xC0020108] Debug info was posted. Legend was: copy",
                                      "[UI Events 0xC0020108] Debug info was posted. Legend was: assigned"}),
            messages(daemon_->entries(name, 2)));
  EXPECT_EQ(std::vector<std::string>{kUiError + "own source"}, messages(daemon_->entries(source("-other"))));
}

TEST_F(SyslogLog, ConcurrentWritersLoseNoEntry) {
  const std::string name = source();
  EventLogger logger(name);
  logger.setLevel(EventLogger::LEVEL_TRACE);
  const int threads = 4, perThread = 50;
  std::vector<std::thread> writers;
  std::vector<int> failures(threads, 0);
  std::set<std::string> expected;
  for (int t = 0; t < threads; ++t) {
    for (int i = 0; i < perThread; ++i) {
      expected.insert("[UI Events 0xC0020109] Trace info was posted. Legend was: " + std::to_string(t * 100 + i));
    }
    writers.emplace_back([&logger, &failures, t] {
      for (int i = 0; i < perThread; ++i) {
        failures[t] += logger.logTrace(std::to_string(t * 100 + i), EventLogger::LAYER_CLIENT) ? 0 : 1;
      }
    });
  }
  for (std::thread& w : writers) w.join();
  EXPECT_EQ(std::vector<int>(threads, 0), failures);
  const std::vector<std::string> got = messages(daemon_->entries(name, threads * perThread));
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_EQ(expected, std::set<std::string>(got.begin(), got.end()));
}

// A source that cannot open (no socket, a socket nobody serves, a path too
// long for a socket) gives a logger whose every writer returns false.
TEST_F(SyslogLog, RefusedSourceWritesNothing) {
  const std::string stale = daemon_->dir + "/stale.sock";
  const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, stale.c_str());
  ASSERT_EQ(0, bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address));
  close(fd);  // the socket file stays, nobody reads it
  for (const std::string& path : {daemon_->dir + "/missing.sock", stale, "/tmp/" + std::string(200, 'n')}) {
    SCOPED_TRACE(path);
    Brimsel::detail::setSyslogSocketPath(path);
    EventLogger logger(source());
    logger.setLevel(EventLogger::LEVEL_TRACE);
    EXPECT_EQ(&logger, EventLogger::theLogger());
    EXPECT_EQ(std::vector<bool>(7, false), writeEach(logger, "x", EventLogger::LAYER_UI));
    EXPECT_FALSE(logger.log(Exception(5, true, "x"), EventLogger::LAYER_UI));
  }
}

// A logger opened before the daemon restarts writes to the new daemon on the
// same socket path; with no daemon, entries are refused, not reported written.
TEST(SyslogRestart, LoggerWritesAgainAfterTheDaemonRestarts) {
  SyslogDaemon daemon;
  ASSERT_TRUE(daemon.running()) << daemon.error;
  Brimsel::detail::setSyslogSocketPath(daemon.socketPath);
  EventLogger logger("brimsel-restart");
  Brimsel::detail::setSyslogSocketPath("");
  ASSERT_TRUE(logger.logError("before", EventLogger::LAYER_UI));
  ASSERT_EQ(1u, daemon.entries("brimsel-restart", 1).size());
  daemon.stop();
  ASSERT_TRUE(daemon.start()) << daemon.error;
  EXPECT_TRUE(logger.logError("after", EventLogger::LAYER_UI));
  EXPECT_EQ((std::vector<std::string>{kUiError + "before", kUiError + "after"}),
            messages(daemon.entries("brimsel-restart", 2)));
  daemon.stop();
  EXPECT_FALSE(logger.logError("nobody listens", EventLogger::LAYER_UI));
}

}  // namespace

#endif  // !_WIN32
