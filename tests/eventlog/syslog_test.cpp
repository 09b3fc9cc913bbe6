// Entries written on Linux, read back from a private rsyslogd.
#if !defined(_WIN32)

#include "eventlog_test.h"
#include "eventlogger_internal.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>

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
  EXPECT_EQ(std::vector<bool>(8, true),
            (std::vector<bool>{logger.logError("disk full", EventLogger::LAYER_DATA),
                               logger.logWarning("low memory", EventLogger::LAYER_DAL),
                               logger.logMessage("started", EventLogger::LAYER_UI),
                               logger.logDebug("x=1", EventLogger::LAYER_SERVICE),
                               logger.logTrace("received 12 bytes", EventLogger::LAYER_CLIENT),
                               logger.logUnknown(EventLogger::LAYER_DAEMON),
                               logger.log(Exception("reader.cpp", 42, 4302, true, "cannot read"), EventLogger::LAYER_DATA),
                               logger.log(Exception(4302, false, "retrying"), EventLogger::LAYER_DAEMON)}));
  std::set<std::string> stamps;
  for (time_t t = before; t <= time(nullptr); ++t) {
    char text[32];
    stamps.insert(std::string(text, strftime(text, sizeof text, "%b %e %H:%M:%S", localtime(&t))));
  }
  const std::vector<std::pair<int, std::string>> expected = {
      {3, "[Data Events 0x40020106] An Error was posted. Legend was: disk full"},
      {4, "[Dal Events 0x80020105] A Warning was posted. Legend was: low memory"},
      {6, "[UI Events 0xC0020107] A Message was posted. Legend was: started"},
      {6, "[Data Events 0xC0020108] Debug info was posted. Legend was: x=1"},
      {6, "[UI Events 0xC0020109] Trace info was posted. Legend was: received 12 bytes"},
      {3, "[Daemon Events 0x40020104] An unknown exception was caught."},
      {3, "[Data Events 0x40020101] A Brimsel Exception Critical Error occured. Legend was: cannot read"},
      {4, "[Daemon Events 0x80020100] A Brimsel Exception Warning occured. Legend was: retrying"}};
  const std::vector<SyslogEntry> got = daemon_->entries(name, expected.size());
  ASSERT_EQ(expected.size(), got.size());
  for (size_t i = 0; i < got.size(); ++i) {
    const std::string pri = "<" + std::to_string(8 + expected[i].first) + ">", stamp = got[i].raw.substr(pri.size(), 15);
    EXPECT_EQ(expected[i], std::make_pair(got[i].severity, got[i].message));
    EXPECT_EQ(std::make_pair(1, pid), std::make_pair(got[i].facility, got[i].procId));  // facility user
    EXPECT_EQ(pri + stamp + " " + name + "[" + pid + "]: " + expected[i].second, got[i].raw);
    EXPECT_EQ(1u, stamps.count(stamp)) << got[i].raw;
  }
}

// A new logger starts quiet; each level admits what the ones below admit, a
// level below 0 what 0 admits, above 3 what 3 admits. Errors, warnings,
// unknown-exception entries and exceptions pass at every level.
TEST_F(SyslogLog, LevelFiltersMessagesDebugAndTraceLinesOnly) {
  EXPECT_EQ(EventLogger::LEVEL_QUIET, EventLogger(source("-new")).level());
  const std::vector<std::string> all = {kUiError + "t",
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
    // Datagrams of one socket arrive in order: an entry written in excess
    // shows as a wrong text among the first ones.
    EXPECT_EQ(expected, messages(daemon_->entries(name, expected.size())));
  }
}

// Layers choose the category text (any other layer gives "UI Events"). The
// text is passed unchanged: several lines stay one entry, a "%1" in it is not
// expanded again, a long text is not cut; like the Windows event log, the
// text ends at a zero byte. (rsyslog writes control bytes as #ooo.)
TEST_F(SyslogLog, LayersChooseTheCategoryAndTextsPassUnchanged) {
  const std::string name = source();
  EventLogger logger(name);
  struct Case {
    int layer;
    std::string text, category, shown;
  };
  const Case cases[] = {{0, "a", "Dal Events", "a"},
                        {1, "b", "Data Events", "b"},
                        {2, "c", "Data Events", "c"},
                        {3, "first line\nsecond line\r\nthird", "UI Events", "first line#012second line#015#012third"},
                        {4, "100%1 sure", "UI Events", "100%1 sure"},
                        {5, std::string(4000, 'x'), "Daemon Events", std::string(4000, 'x')},
                        {7, std::string("before\0after", 12), "UI Events", "before"},
                        {-1, "", "UI Events", ""},
                        {65536 + 5, "d", "UI Events", "d"}};
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    EXPECT_TRUE(logger.logError(c.text, static_cast<EventLogger::Layer>(c.layer))) << c.layer;
    expected.push_back("[" + c.category + " 0x40020106] An Error was posted. Legend was: " + c.shown);
  }
  EXPECT_EQ(expected, messages(daemon_->entries(name, expected.size())));
}

// Each logger writes under its own source; copies share it (and the level),
// and it stays open while any copy holds it.
TEST_F(SyslogLog, CopiesShareTheSourceUntilTheLastIsGone) {
  auto original = std::make_unique<EventLogger>(source());
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
            messages(daemon_->entries(source(), 2)));
  EXPECT_EQ(std::vector<std::string>{kUiError + "own source"}, messages(daemon_->entries(source("-other"))));
}

TEST_F(SyslogLog, ConcurrentWritersLoseNoEntry) {
  EventLogger logger(source());
  logger.setLevel(EventLogger::LEVEL_TRACE);
  std::vector<std::thread> writers;
  std::vector<int> failures(4, 0);
  std::multiset<std::string> expected;
  for (int t = 0; t < 4; ++t) {
    for (int i = t * 100; i < t * 100 + 50; ++i) {
      expected.insert("[UI Events 0xC0020109] Trace info was posted. Legend was: " + std::to_string(i));
    }
    writers.emplace_back([&logger, &failures, t] {
      for (int i = t * 100; i < t * 100 + 50; ++i) {
        failures[t] += logger.logTrace(std::to_string(i), EventLogger::LAYER_CLIENT) ? 0 : 1;
      }
    });
  }
  for (std::thread& w : writers) w.join();
  EXPECT_EQ(std::vector<int>(4, 0), failures);
  const std::vector<std::string> got = messages(daemon_->entries(source(), expected.size()));
  EXPECT_EQ(expected, std::multiset<std::string>(got.begin(), got.end()));
}

// A source that cannot open (no socket, a socket nobody serves, a path too
// long for a socket) gives a logger whose every writer returns false.
TEST_F(SyslogLog, RefusedSourceWritesNothing) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, (daemon_->dir + "/stale.sock").c_str());
  const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
  ASSERT_EQ(0, bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address));
  close(fd);  // the socket file stays, nobody reads it
  for (const std::string& path : {daemon_->dir + "/missing.sock", std::string(address.sun_path),
                                  "/tmp/" + std::string(200, 'n')}) {
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
